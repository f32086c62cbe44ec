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

#include <httplib.h>

/// \brief What one request may cost.
struct HttpLimits {
    /// \brief Bytes of request line, headers and body together.
    std::size_t requestBytes = 32768;
    /// \brief Time from the request's first byte to its last.
    std::chrono::milliseconds requestTime{5000};
    /// \brief Time a response may spend waiting for its peer to take data, on top of
    /// one second per `drainBytesPerSecond` it has sent.
    std::chrono::milliseconds writeWaitAllowance{5000};
    std::size_t drainBytesPerSecond = 256 * 1024;
};

/// \brief An httplib::Server whose requests and responses are held to `HttpLimits`.
class CappedHttpServer : public httplib::Server {
public:
    explicit CappedHttpServer(const HttpLimits& limits) : mLimits(limits) {}

private:
    // The library's connection loop (keep-alive, one request after another) over
    // a socket stream that enforces the limits.
    bool process_and_close_socket(socket_t sock) override;

    const HttpLimits mLimits;
};
