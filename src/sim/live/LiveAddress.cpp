#include "sim/live/LiveAddress.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>

namespace {

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The host part of a Host header: "[::1]:8080" -> "::1", "a.b:80" -> "a.b".
std::string hostPart(const std::string& header)
{
    if (!header.empty() && header.front() == '[') {
        const std::size_t close = header.find(']');
        return close == std::string::npos ? std::string() : header.substr(1, close - 1);
    }
    const std::size_t colon = header.find(':');
    if (colon != std::string::npos && header.find(':', colon + 1) != std::string::npos) {
        return header;  // a bare IPv6 literal
    }
    return header.substr(0, colon);
}

bool sameAddress(const std::string& a, const std::string& b)
{
    in6_addr x{};
    in6_addr y{};
    if (::inet_pton(AF_INET6, a.c_str(), &x) == 1 && ::inet_pton(AF_INET6, b.c_str(), &y) == 1) {
        return std::equal(x.s6_addr, x.s6_addr + 16, y.s6_addr);
    }
    return lowered(a) == lowered(b);
}

// One of this machine's addresses of `family` that another machine could reach, or "".
std::string reachableAddress(int family)
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return "";
    }
    std::string found;
    for (const ifaddrs* i = list; i != nullptr && found.empty(); i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != family || (i->ifa_flags & IFF_UP) == 0) {
            continue;
        }
        char text[INET6_ADDRSTRLEN] = "";
        if (family == AF_INET) {
            const in_addr& a = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr;
            if ((ntohl(a.s_addr) >> 24) != 127 && ::inet_ntop(AF_INET, &a, text, sizeof text) != nullptr) {
                found = text;
            }
        } else {
            const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(i->ifa_addr)->sin6_addr;
            // Link-local addresses need a zone a browser's address bar does not take.
            if (!IN6_IS_ADDR_LOOPBACK(&a) && !IN6_IS_ADDR_LINKLOCAL(&a) &&
                ::inet_ntop(AF_INET6, &a, text, sizeof text) != nullptr) {
                found = text;
            }
        }
    }
    ::freeifaddrs(list);
    return found;
}

}  // namespace

bool isLoopbackHost(const std::string& host)
{
    const std::string h = lowered(host);
    if (h == "localhost" || h == "localhost.") {
        return true;
    }
    in_addr v4{};
    if (::inet_pton(AF_INET, h.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    return ::inet_pton(AF_INET6, h.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

bool hostHeaderAllowed(const std::string& hostHeader, const std::string& boundHost)
{
    const std::string host = hostPart(hostHeader);
    return !host.empty() && (isLoopbackHost(host) || sameAddress(host, boundHost));
}

std::string liveAddress(const std::string& host, int port)
{
    std::string shown = host;
    if (host == "0.0.0.0" || host.empty()) {
        shown = reachableAddress(AF_INET);
        shown = shown.empty() ? "127.0.0.1" : shown;
    } else if (host == "::") {
        shown = reachableAddress(AF_INET6);
        shown = shown.empty() ? reachableAddress(AF_INET) : shown;
        shown = shown.empty() ? "::1" : shown;
    }
    const bool ipv6 = shown.find(':') != std::string::npos;
    return "http://" + (ipv6 ? "[" + shown + "]" : shown) + ":" + std::to_string(port) + "/";
}
