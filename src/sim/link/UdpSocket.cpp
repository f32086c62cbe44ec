#include "sim/link/UdpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Room for a burst of commands from every robot while a step is computed.
constexpr int kReceiveBufferBytes = 1 << 20;

}  // namespace

std::string PeerAddress::text() const
{
    char buf[INET_ADDRSTRLEN] = {0};
    in_addr a{};
    a.s_addr = host;
    inet_ntop(AF_INET, &a, buf, sizeof buf);
    return std::string(buf) + ":" + std::to_string(ntohs(port));
}

UdpSocket::~UdpSocket()
{
    if (mFd >= 0) {
        ::close(mFd);
    }
}

bool UdpSocket::open(const std::string& host, int port, std::string& error)
{
    if (port < 0 || port > 65535) {
        error = "port out of range: " + std::to_string(port);
        return false;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
            error = "cannot resolve host " + host;
            return false;
        }
        addr.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
        freeaddrinfo(found);
    }
    mFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (mFd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int size = kReceiveBufferBytes;
    setsockopt(mFd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    if (::bind(mFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error = "cannot bind " + host + ":" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(mFd);
        mFd = -1;
        return false;
    }
    return true;
}

int UdpSocket::port() const
{
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (mFd < 0 || getsockname(mFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        return -1;
    }
    return ntohs(addr.sin_port);
}

bool UdpSocket::waitReadable(int timeoutMs) const
{
    pollfd p{mFd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN) != 0;
}

long UdpSocket::receive(char* buf, std::size_t capacity, PeerAddress& from) const
{
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    // MSG_TRUNC reports the datagram's real length even when it did not fit.
    const ssize_t n = ::recvfrom(mFd, buf, capacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&addr), &len);
    if (n < 0) {
        return -1;
    }
    from.host = addr.sin_addr.s_addr;
    from.port = addr.sin_port;
    return static_cast<long>(n);
}

bool UdpSocket::send(const PeerAddress& to, const char* data, std::size_t size) const
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = to.host;
    addr.sin_port = to.port;
    const ssize_t n = ::sendto(mFd, data, size, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    return n == static_cast<ssize_t>(size);
}
