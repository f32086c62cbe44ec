#pragma once
// cpp-httplib's server with bounds on what one request may cost. The library
// caps the length of each header line but neither their number nor the time
// they take, and it waits on a peer as long as the peer keeps it waiting just
// under its timeouts. Here a request may bring at most a fixed number of bytes
// within a fixed time; a response may keep waiting on its peer only as long as
// the bytes it has sent justify; and every wait is cut into short slices that
// end as soon as the server stops, so that no client can hold a worker for
// long or hold up the server's stop.

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

#include <httplib.h>

/// \brief What one request, and one connection, may cost.
struct HttpLimits {
    /// \brief Bytes of request line, headers and body together.
    std::size_t requestBytes = 32768;
    /// \brief Time from the request's first byte to its last.
    std::chrono::milliseconds requestTime{5000};
    /// \brief Time a response may spend waiting for its peer to take data, on top of
    /// one second per `drainBytesPerSecond` it has sent.
    std::chrono::milliseconds writeWaitAllowance{5000};
    std::size_t drainBytesPerSecond = 256 * 1024;
    /// \brief Time from a connection's start within which all its requests must have
    /// arrived: no request is read after it, however the connection was kept alive.
    /// A response under way (a stream) is held to the write limits instead.
    std::chrono::milliseconds connectionTime{10000};
    /// \brief Connections one client address may have served at once; more are closed unread.
    std::size_t connectionsPerAddress = 16;
    /// \brief Worker threads, and how many of them are kept for short requests: a
    /// connection served while only those are free gets one request, read within
    /// `reserveRequestTime`, and a short answer (see onReserve).
    std::size_t workers = 48;
    std::size_t reservedWorkers = 4;
    std::chrono::milliseconds reserveRequestTime{1000};
};

/// \brief An httplib::Server whose requests and connections are held to `HttpLimits`.
/// A request that carries a body is answered and its connection closed: no body is
/// ever read, so what follows it cannot be taken for the next request.
class CappedHttpServer : public httplib::Server {
public:
    explicit CappedHttpServer(const HttpLimits& limits);

    /// \brief Whether `req` came on a connection served by a reserved worker; such a
    /// request must get a short answer at once (no stream, nothing long).
    static bool onReserve(const httplib::Request& req);

private:
    // The library's connection loop (keep-alive, one request after another) over
    // a socket stream that enforces the limits.
    bool process_and_close_socket(socket_t sock) override;
    // Counts a connection of `address` in; false when the address has its fill.
    bool admit(const std::string& address);
    void release(const std::string& address);

    const HttpLimits mLimits;
    std::mutex mMutex;
    std::map<std::string, std::size_t> mPerAddress;
    std::size_t mBusy = 0;
};
