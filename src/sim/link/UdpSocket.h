#pragma once
// The server's one UDP socket (IPv4, non-blocking). Clients are told apart
// by their source address.

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

/// \brief A client's address (IPv4 host and port, network byte order).
struct PeerAddress {
    std::uint32_t host = 0;
    std::uint16_t port = 0;

    bool operator==(const PeerAddress& o) const { return host == o.host && port == o.port; }
    bool operator!=(const PeerAddress& o) const { return !(*this == o); }
    /// \brief "a.b.c.d:port".
    std::string text() const;
};

/// \brief A bound, non-blocking UDP socket.
class UdpSocket {
public:
    UdpSocket() = default;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    ~UdpSocket();

    /// \brief Binds to `host`:`port` (port 0 = any free port); false with `error` set on failure.
    bool open(const std::string& host, int port, std::string& error);
    /// \brief The bound port.
    int port() const;
    /// \brief Waits until a datagram is waiting or `timeoutMs` passed (-1 = no limit).
    /// False on timeout or when a signal interrupted the wait.
    bool waitReadable(int timeoutMs) const;
    /// \brief Takes one waiting datagram into `buf`; its full length (which may exceed
    /// `capacity`, then the datagram is cut), or -1 when none is waiting.
    long receive(char* buf, std::size_t capacity, PeerAddress& from) const;
    /// \brief Sends one datagram; false when the system refused it.
    bool send(const PeerAddress& to, const char* data, std::size_t size) const;

private:
    int mFd = -1;
};
