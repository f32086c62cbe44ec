#pragma once
// Serves a match live over HTTP while it is played: the viewer page, a
// Server-Sent Events stream of the record (the header line, then one line
// per step) and the record so far, for viewers that join late or miss steps.
// The simulation only hands lines to the feed; the HTTP work runs on the
// server's own threads, and no viewer can hold the match back.

#include <memory>
#include <string>
#include <thread>

#include "sim/live/LiveAddress.h"
#include "sim/live/LiveFeed.h"

namespace httplib {
class Server;
}

/// \brief The HTTP side of a live match: GET "/", "/events" and "/record.jsonl", nothing
/// else; bound to the loopback, only to requests that name a loopback host.
class LiveServer {
public:
    /// \brief Streams at once at most; the rest are told to come back later (503).
    static constexpr std::size_t kMaxViewers = 40;

    /// \brief Serves `page` at "/".
    explicit LiveServer(std::string page);
    LiveServer(const LiveServer&) = delete;
    LiveServer& operator=(const LiveServer&) = delete;
    ~LiveServer();

    /// \brief Binds `host`:`port` (0 = any free port) and starts serving; false with `error` set.
    /// Call once.
    bool start(const std::string& host, int port, std::string& error);
    /// \brief The bound port, once started.
    int port() const { return mPort; }
    /// \brief Where the simulation publishes the record lines.
    LiveFeed& feed() { return mFeed; }
    /// \brief Ends every stream after its last line with the match's `summary`, giving
    /// the viewers a moment to receive it.
    void finish(const std::string& summary);
    /// \brief Ends every stream and stops serving; waits for the server's threads.
    void stop();

private:
    void route(const std::string& host);

    std::string mPage;
    LiveFeed mFeed;
    std::unique_ptr<httplib::Server> mHttp;
    std::thread mThread;
    int mPort = -1;
};
