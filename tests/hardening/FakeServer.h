#pragma once
// The server's end of an agent's link for tests of the whole program: a UDP
// socket on a chosen loopback address, and the check that a datagram is one
// well-formed command carrying finite numbers.

#include <netinet/in.h>

#include <optional>
#include <string>

class FakeServer {
public:
    /// \brief Binds a free port on `host`.
    explicit FakeServer(const char* host = "127.0.0.1");
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    int port() const { return mPort; }
    /// \brief The next datagram within `waitMs`, from anyone.
    std::optional<std::string> receive(int waitMs);
    /// \brief Sends to whoever spoke last.
    void send(const std::string& bytes);
    /// \brief Sends from this socket to the peer `other` last heard from.
    void sendTo(const FakeServer& other, const std::string& bytes);
    /// \brief Runs the server's half of the connect exchange; false if it did not complete.
    bool handshake(int waitMs);

private:
    int mFd = -1;
    int mPort = 0;
    sockaddr_in mPeer{};
};

/// \brief True if `datagram` is exactly one wheel or kick command with finite numbers,
/// optionally closed by one zero byte; otherwise false with the reason in `why`.
bool isWellFormedCommand(const std::string& datagram, std::string& why);

/// \brief Settings and speed file of a yellow field player "A1" talking to 127.0.0.1:`port`.
void writeAgentFiles(const std::string& dir, int port, const std::string& extraSettings = "");
