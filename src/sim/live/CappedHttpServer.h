#pragma once
// cpp-httplib's server with a cap on what one request may send. The library
// caps the length of each header line but not their number, so a client that
// sends headers without end would make the server's memory grow; here every
// request may bring at most a fixed number of bytes, and a connection that
// goes beyond it is dropped.

#include <cstddef>

#include <httplib.h>

/// \brief An httplib::Server whose requests may each bring at most `requestBytes`.
class CappedHttpServer : public httplib::Server {
public:
    /// \brief Requests of at most `requestBytes` (request line, headers and any body).
    explicit CappedHttpServer(std::size_t requestBytes) : mRequestBytes(requestBytes) {}

private:
    // The library's connection loop (keep-alive, one request after another) over
    // a socket stream that counts what it reads.
    bool process_and_close_socket(socket_t sock) override;

    const std::size_t mRequestBytes;
};
