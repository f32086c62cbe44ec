#include "sim/live/LiveServer.h"

#include <chrono>
#include <csignal>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "sim/live/CappedHttpServer.h"

namespace {

using namespace std::chrono_literals;

// Every stream holds one worker thread, so the pool leaves room for the page
// and record requests beside the most streams allowed.
constexpr std::size_t kWorkerThreads = LiveServer::kMaxViewers + 8;
// About 20 s of real-time play: a viewer further behind skips the oldest steps
// and fetches them from the record.
constexpr std::size_t kViewerBacklog = 300;
// The record kept for late viewers: hours of five a side in real time.
constexpr std::size_t kMaxRecordBytes = std::size_t{256} << 20;
// Steps written to a stream in one go when it is behind.
constexpr std::size_t kLinesPerWrite = 256;
// A stream is written at most this often (a browser draws about this often):
// in fast mode each viewer then wakes for a batch of steps rather than for
// every step, which leaves the processor to the simulation.
constexpr auto kMinWriteInterval = 16ms;
// A stream with nothing new gets a comment this often, which also finds dead peers.
constexpr auto kHeartbeat = 2000ms;
// Requests are a line and a few headers: no body is ever needed, and the whole
// request stays well under the cap (a browser's is about a kilobyte) and arrives
// at once; one that trickles in is dropped after a few seconds.
constexpr std::size_t kMaxRequestBody = 4096;
// A connection has 10 s for all its requests, a client address at most 16 connections
// served at once (a browser opens about 6), and the last 4 workers only answer short
// requests, so that the page loads however many streams or slow clients hold the rest.
constexpr HttpLimits kLimits{32768,
                             std::chrono::milliseconds(5000),
                             std::chrono::milliseconds(5000),
                             256 * 1024,
                             std::chrono::milliseconds(10000),
                             16,
                             kWorkerThreads,
                             4,
                             std::chrono::milliseconds(1000)};
constexpr time_t kReadTimeoutSeconds = 3;
// A viewer whose socket takes no data for this long is dropped, as is one that
// drains it too slowly on the whole (see HttpLimits).
constexpr time_t kWriteTimeoutSeconds = 3;
// The record is sent in pieces of about this size, straight from the feed.
constexpr std::size_t kRecordPieceBytes = 64 * 1024;
constexpr time_t kKeepAliveSeconds = 2;
constexpr std::size_t kKeepAliveRequests = 20;
// How long the end of the match waits for the viewers to get its summary.
constexpr auto kFinishGrace = 1000ms;
constexpr auto kFinishPoll = 20ms;
// Longest wait for the server's thread to start listening.
constexpr auto kStartWait = 2000ms;
constexpr auto kStartPoll = 1ms;
// The browser's pause before it reconnects a dropped stream.
constexpr const char* kRetryMs = "2000";

bool isServedPath(const std::string& path)
{
    return path == "/" || path == "/events" || path == "/record.jsonl";
}

// One SSE message per record line. A line never holds a newline, but if one
// ever did it would still arrive whole, as several data fields.
void appendEvent(std::string& out, const std::string& line)
{
    std::size_t start = 0;
    while (true) {
        const std::size_t end = line.find('\n', start);
        out += "data: ";
        for (std::size_t i = start; i < (end == std::string::npos ? line.size() : end); ++i) {
            if (line[i] != '\r') {
                out += line[i];
            }
        }
        out += '\n';
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    out += '\n';
}

}  // namespace

LiveServer::LiveServer(std::string page) : mPage(std::move(page)), mFeed(kViewerBacklog, kMaxRecordBytes) {}

LiveServer::~LiveServer()
{
    stop();
}

void LiveServer::route(const std::string& host)
{
    httplib::Server& http = *mHttp;
    http.set_payload_max_length(kMaxRequestBody);
    http.set_read_timeout(kReadTimeoutSeconds, 0);
    http.set_write_timeout(kWriteTimeoutSeconds, 0);
    http.set_keep_alive_timeout(kKeepAliveSeconds);
    http.set_keep_alive_max_count(kKeepAliveRequests);
    // Steps are small writes that must not wait for the previous one's acknowledgement.
    http.set_tcp_nodelay(true);
    http.set_default_headers({{"X-Content-Type-Options", "nosniff"}, {"Cache-Control", "no-store"}});

    const bool loopback = isLoopbackHost(host);
    http.set_pre_routing_handler([loopback, host](const httplib::Request& req, httplib::Response& res) {
        if (loopback && !hostHeaderAllowed(req.get_header_value("Host"), host)) {
            res.status = 403;
            res.set_content("this server only answers requests for " + host + " or localhost\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (!isServedPath(req.path)) {
            res.status = 404;
            res.set_content("not found\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.method != "GET") {
            res.status = 405;
            res.set_header("Allow", "GET");
            res.set_content("only GET\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (CappedHttpServer::onReserve(req) && req.path != "/") {
            // The workers kept for the page serve nothing long: no stream, no record.
            res.status = 503;
            res.set_header("Retry-After", "10");
            res.set_content("server busy\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    http.Get("/", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(mPage, "text/html; charset=utf-8");
    });

    // The record as far as it went when asked, piece by piece from the feed itself.
    http.Get("/record.jsonl", [this](const httplib::Request&, httplib::Response& res) {
        const std::size_t end = mFeed.published();
        res.set_chunked_content_provider(
            "application/x-ndjson",
            [this, end, next = std::size_t{0}, headerSent = false, piece = std::string()](
                std::size_t, httplib::DataSink& sink) mutable {
                piece.clear();
                if (!headerSent) {
                    headerSent = true;
                    if (const SharedLine header = mFeed.header()) {
                        piece = *header + '\n';
                    }
                }
                next = mFeed.appendSteps(next, end, kRecordPieceBytes, piece);
                if (!piece.empty() && !sink.write(piece.data(), piece.size())) {
                    return false;
                }
                if (next >= end) {
                    sink.done();
                }
                return true;
            });
    });

    http.Get("/events", [this](const httplib::Request&, httplib::Response& res) {
        const std::optional<LiveFeed::ViewerId> viewer = mFeed.join(kMaxViewers);
        if (!viewer) {
            res.status = 503;
            res.set_header("Retry-After", "10");
            res.set_content("too many viewers\n", "text/plain");
            return;
        }
        const LiveFeed::ViewerId id = *viewer;
        res.set_chunked_content_provider(
            "text/event-stream",
            [this, id, started = false, behind = false, lastWrite = std::chrono::steady_clock::time_point()](
                std::size_t, httplib::DataSink& sink) mutable {
                // Once the match is over, a viewer still behind (a full batch last time)
                // gets the next batch at once: the server is about to go.
                if (!behind || !mFeed.finished()) {
                    std::this_thread::sleep_until(lastWrite + kMinWriteInterval);
                }
                std::string out;
                if (!started) {
                    started = true;
                    out += "retry: ";
                    out += kRetryMs;
                    out += "\n\n";
                }
                const LiveFeed::Batch batch = mFeed.next(id, kHeartbeat, kLinesPerWrite);
                behind = batch.lines.size() >= kLinesPerWrite;
                for (const SharedLine& line : batch.lines) {
                    appendEvent(out, *line);
                }
                if (batch.ended) {
                    out += "event: end\n";
                    appendEvent(out, mFeed.closing());
                } else if (out.empty()) {
                    out = ": waiting\n\n";
                }
                if (!sink.write(out.data(), out.size())) {
                    return false;
                }
                lastWrite = std::chrono::steady_clock::now();
                if (batch.ended) {
                    sink.done();
                }
                return true;
            },
            [this, id](bool) { mFeed.leave(id); });
    });
}

bool LiveServer::start(const std::string& host, int port, std::string& error)
{
    // A viewer that goes away mid-write is an error on its own stream, never the end of the match.
    std::signal(SIGPIPE, SIG_IGN);
    mHttp = std::make_unique<CappedHttpServer>(kLimits);
    route(host);
    const int bound = port == 0 ? mHttp->bind_to_any_port(host) : (mHttp->bind_to_port(host, port) ? port : -1);
    if (bound <= 0) {
        error = "cannot serve HTTP on " + host + ":" + std::to_string(port) +
                " (not an address of this machine, or the port is taken)";
        mHttp.reset();
        return false;
    }
    mPort = bound;
    mThread = std::thread([this] { mHttp->listen_after_bind(); });
    // The library's stop() only acts on a running server, so stop() must not come earlier.
    const auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (!mHttp->is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kStartPoll);
    }
    return true;
}

void LiveServer::finish(const std::string& summary)
{
    nlohmann::json closing = {{"summary", summary}};
    // Nicknames in the summary come from the network: never let bad UTF-8 throw.
    mFeed.finish(closing.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    const auto deadline = std::chrono::steady_clock::now() + kFinishGrace;
    while (!mFeed.drained() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kFinishPoll);
    }
}

void LiveServer::stop()
{
    mFeed.close();
    if (mHttp) {
        mHttp->stop();
    }
    if (mThread.joinable()) {
        mThread.join();
    }
}
