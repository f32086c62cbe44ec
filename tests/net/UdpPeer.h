#pragma once
// A plain POSIX UDP socket that plays the server side in the tests.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <stdexcept>
#include <string>

class UdpPeer {
public:
    static constexpr int kDefaultWaitMs = 2000;

    explicit UdpPeer(const char* host = "127.0.0.1")
    {
        mFd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = 0;
        ::inet_pton(AF_INET, host, &addr.sin_addr);
        if (mFd < 0 || ::bind(mFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            throw std::runtime_error("cannot bind test socket");
        }
        socklen_t len = sizeof mSelf;
        ::getsockname(mFd, reinterpret_cast<sockaddr*>(&mSelf), &len);
    }
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;
    ~UdpPeer() { ::close(mFd); }

    int port() const { return ntohs(mSelf.sin_port); }

    /// Waits for one datagram; remembers its sender as the reply address.
    std::optional<std::string> receive(int waitMs = kDefaultWaitMs)
    {
        pollfd pfd{mFd, POLLIN, 0};
        if (::poll(&pfd, 1, waitMs) != 1) {
            return std::nullopt;
        }
        char buffer[70000];
        socklen_t len = sizeof mLastSender;
        const ssize_t n = ::recvfrom(mFd, buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&mLastSender), &len);
        if (n < 0) {
            return std::nullopt;
        }
        mHaveSender = true;
        return std::string(buffer, static_cast<std::size_t>(n));
    }

    /// Sends to the last sender seen by receive().
    void reply(const std::string& text) { sendTo(mLastSender, text); }

    /// Sends to the address another peer learnt from its last datagram.
    void replyAs(const UdpPeer& other, const std::string& text) { sendTo(other.mLastSender, text); }

    bool haveSender() const { return mHaveSender; }

private:
    void sendTo(const sockaddr_in& to, const std::string& text)
    {
        ::sendto(mFd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
    }

    int mFd = -1;
    sockaddr_in mSelf{};
    sockaddr_in mLastSender{};
    bool mHaveSender = false;
};
