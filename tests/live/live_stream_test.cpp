// The live HTTP side of simserver on a real (agentless) match: the event
// stream carries exactly the record, only the three GET paths are served and
// only for loopback names, a viewer that never reads costs the match nothing,
// and no slow or trickling client keeps the server from exiting.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include "LiveProcess.h"
#include "SseStream.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kStreamLimit = 30s;
constexpr double kExitSeconds = 15.0;
constexpr double kTimeStep = 0.066;
// The live viewers may cost the real-time step rate at most this share.
constexpr double kRateTolerance = 0.05;

long stepOf(const std::string& line)
{
    const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
    return j.is_object() && j.contains("step") && j["step"].is_number_integer() ? j["step"].get<long>() : -1;
}

// Sends a request whose headers never end; the bytes sent before the server
// cut the connection off (everything, if it never did).
std::size_t endlessHeaders(int port, std::size_t giveUpAfter)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::size_t sent = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
        std::string chunk = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        const std::string header = "X-More: " + std::string(1000, 'a') + "\r\n";
        while (sent < giveUpAfter) {
            const ssize_t n = ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL);
            if (n <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(n);
            chunk.clear();
            for (int i = 0; i < 64; ++i) {
                chunk += header;
            }
        }
    }
    ::close(fd);
    return sent;
}

int connectLoopback(int port, int receiveBuffer = 0)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A client on a thread of its own until the server drops it: either one that
// sends its request a byte at a time, never finishing it, or one that asks
// for `path` and then reads a little now and then, just enough to stay alive.
class SlowClient {
public:
    enum class Kind { Trickler, SlowReader };

    SlowClient(int port, Kind kind, const std::string& path = "/")
        : mFd(connectLoopback(port, kind == Kind::SlowReader ? 65536 : 0)),
          mThread([this, kind, path] { kind == Kind::Trickler ? trickle() : readSlowly(path); })
    {
    }
    SlowClient(const SlowClient&) = delete;
    SlowClient& operator=(const SlowClient&) = delete;
    ~SlowClient()
    {
        mStop = true;
        mThread.join();
        ::close(mFd);
    }
    /// Seconds from the start until the server dropped it, or -1 while it has not.
    double droppedAfter() const { return mDroppedAfter; }
    std::size_t received() const { return mReceived; }

private:
    void trickle()
    {
        const std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
        ::send(mFd, request.data(), request.size(), MSG_NOSIGNAL);
        while (!mStop) {
            char c = 'a';
            // The request never ends, so any answer (an error status, the end of the
            // stream, a reset, a failed send) means the server gave up on it.
            const ssize_t n = ::recv(mFd, &c, 1, MSG_DONTWAIT);
            if (n >= 0 || errno != EAGAIN || ::send(mFd, &c, 1, MSG_NOSIGNAL) != 1) {
                dropped();
                return;
            }
            std::this_thread::sleep_for(500ms);
        }
    }

    // Reads at about 500 KB/s through a small receive buffer: a tenth of what a
    // fast match streams, so the server's writes to it keep waiting, though never
    // long enough for a timeout.
    void readSlowly(const std::string& path)
    {
        const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        ::send(mFd, request.data(), request.size(), MSG_NOSIGNAL);
        std::vector<char> buffer(50000);
        while (!mStop) {
            for (std::size_t left = buffer.size(); left > 0;) {
                const ssize_t n = ::recv(mFd, buffer.data(), left, MSG_DONTWAIT);
                if (n == 0 || (n < 0 && errno != EAGAIN)) {
                    dropped();
                    return;
                }
                if (n < 0) {
                    break;
                }
                mReceived += static_cast<std::size_t>(n);
                left -= static_cast<std::size_t>(n);
            }
            std::this_thread::sleep_for(100ms);
        }
    }

    void dropped() { mDroppedAfter = std::chrono::duration<double>(std::chrono::steady_clock::now() - mStart).count(); }

    const std::chrono::steady_clock::time_point mStart = std::chrono::steady_clock::now();
    int mFd;
    std::atomic<bool> mStop{false};
    std::atomic<double> mDroppedAfter{-1.0};
    std::atomic<std::size_t> mReceived{0};
    std::thread mThread;
};

class LiveStream : public ::testing::Test {
protected:
    void startServer(const std::vector<std::string>& args)
    {
        // A server that refuses a request mid-body closes on the writer: an error, not a signal.
        std::signal(SIGPIPE, SIG_IGN);
        std::string error;
        ASSERT_TRUE(mServer.start(SIMSERVER_PATH, args, error)) << error;
    }

    void TearDown() override
    {
        if (HasFailure()) {
            mServer.keep();
        }
    }

    LiveProcess mServer;
};

TEST_F(LiveStream, TheStreamCarriesTheHeaderThenEveryStepAsRecordedThenTheSummary)
{
    startServer({"--wait", "0", "--length", "2"});
    std::string midMatchRecord;
    const std::vector<SseEvent> events = readEvents(mServer.httpPort(), kStreamLimit, [&](const SseEvent& e) {
        if (midMatchRecord.empty() && stepOf(e.data) >= 10) {
            httplib::Client client("127.0.0.1", mServer.httpPort());
            const auto res = client.Get("/record.jsonl");
            midMatchRecord = res ? res->body : "no answer";
        }
        return true;
    });
    ASSERT_EQ(mServer.wait(kExitSeconds), 0) << mServer.log();
    const std::vector<std::string> record = splitLines(readWholeFile(mServer.recordFile()));
    ASSERT_GT(record.size(), 30u);

    // The header, then from where the viewer joined a run of the record's lines to its very end.
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front().data, record.front());
    const std::size_t streamed = events.size() - 2;
    ASSERT_LT(streamed, record.size());
    const std::size_t from = record.size() - streamed;
    std::size_t steps = 0;
    for (std::size_t i = 0; i < streamed; ++i) {
        EXPECT_EQ(events[i + 1].data, record[from + i]) << "line " << i + 1 << " of the stream";
        steps += stepOf(events[i + 1].data) >= 0 ? 1 : 0;
    }
    EXPECT_GE(steps, 30u);

    const SseEvent& end = events.back();
    ASSERT_EQ(end.type, "end");
    const nlohmann::json closing = nlohmann::json::parse(end.data, nullptr, false);
    ASSERT_TRUE(closing.is_object()) << end.data;
    EXPECT_NE(closing.value("summary", "").find("final score"), std::string::npos) << end.data;

    // The record so far, fetched mid-match, is the start of the whole record.
    const std::string whole = readWholeFile(mServer.recordFile());
    ASSERT_GT(midMatchRecord.size(), record.front().size());
    EXPECT_EQ(whole.compare(0, midMatchRecord.size(), midMatchRecord), 0);
}

TEST_F(LiveStream, OnlyGetOfTheThreePathsIsServedAndOversizedRequestsAreCutOff)
{
    startServer({"--wait", "0", "--length", "2"});
    httplib::Client client("127.0.0.1", mServer.httpPort());
    client.set_read_timeout(5, 0);
    const std::string bigBody(1 << 20, 'x');
    const std::string longHeader(100000, 'h');
    struct Case {
        const char* method;
        const char* path;
        bool bigBody;
        bool longHeader;
        int status;  // 0: refused, with an error status or none at all
    };
    const Case cases[] = {
        {"GET", "/", false, false, 200},
        {"GET", "/record.jsonl", false, false, 200},
        {"GET", "/?from=3", false, false, 200},
        {"GET", "/index.html", false, false, 404},
        {"GET", "/../etc/passwd", false, false, 404},
        {"POST", "/", false, false, 405},
        {"PUT", "/events", false, false, 405},
        {"DELETE", "/record.jsonl", false, false, 405},
        {"HEAD", "/", false, false, 405},
        {"POST", "/record.jsonl", true, false, 0},
        {"POST", "/nowhere", true, false, 0},
        {"GET", "/", false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.path + (c.bigBody ? " with 1 MiB" : "") +
                     (c.longHeader ? " with a 100 kB header" : ""));
        httplib::Request req;
        req.method = c.method;
        req.path = c.path;
        if (c.bigBody) {
            req.body = bigBody;
            req.set_header("Content-Type", "text/plain");
        }
        if (c.longHeader) {
            req.set_header("X-Long", longHeader);
        }
        const httplib::Result res = client.send(req);
        if (c.status == 0) {
            EXPECT_TRUE(!res || res->status >= 400);
            continue;
        }
        ASSERT_TRUE(res) << httplib::to_string(res.error());
        EXPECT_EQ(res->status, c.status);
        if (c.status == 405) {
            EXPECT_EQ(res->get_header_value("Allow"), "GET");
        }
    }
    // Header lines without end: cut off long before the server's memory could suffer.
    constexpr std::size_t kFlood = std::size_t{256} << 20;
    EXPECT_LT(endlessHeaders(mServer.httpPort(), kFlood), kFlood);

    const auto page = client.Get("/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("<canvas id=\"field\""), std::string::npos);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(mServer.wait(kExitSeconds), 0) << mServer.log();
}

TEST_F(LiveStream, AViewerThatNeverReadsDoesNotSlowTheMatch)
{
    // Five a side makes the longest lines, to fill the stalled viewer's socket soonest.
    startServer({"--wait", "0", "--length", "4", "--5v5"});
    const StalledViewer stalled(mServer.httpPort());
    ASSERT_TRUE(stalled.ok());
    const std::vector<SseEvent> events = readEvents(mServer.httpPort(), kStreamLimit);
    ASSERT_EQ(mServer.wait(kExitSeconds), 0) << mServer.log();

    // The match's pace, as a viewer that keeps up sees it.
    long first = -1;
    long last = -1;
    std::chrono::steady_clock::time_point firstAt;
    std::chrono::steady_clock::time_point lastAt;
    for (const SseEvent& e : events) {
        const long step = stepOf(e.data);
        if (step < 0) {
            continue;
        }
        if (first < 0) {
            first = step;
            firstAt = e.at;
        }
        last = step;
        lastAt = e.at;
    }
    ASSERT_GT(last - first, 60);
    const double seconds = std::chrono::duration<double>(lastAt - firstAt).count();
    const double rate = static_cast<double>(last - first) / seconds;
    EXPECT_GE(rate, (1.0 - kRateTolerance) / kTimeStep) << rate << " steps/s";
}

TEST_F(LiveStream, SlowAndTricklingClientsHoldNoWorkerLongAndDoNotDelayTheExit)
{
    // A long fast match: tens of megabytes of record, far more than the kernel's
    // socket buffers hold for a viewer that drains them slowly.
    startServer({"--wait", "0", "--length", "2000", "--fast", "--5v5", "--quiet"});
    const int port = mServer.httpPort();
    const SlowClient trickler(port, SlowClient::Kind::Trickler);
    const SlowClient slowViewer(port, SlowClient::Kind::SlowReader, "/events");
    std::this_thread::sleep_for(3s);
    const SlowClient slowRecord(port, SlowClient::Kind::SlowReader, "/record.jsonl");

    // The summary is printed as the match ends; from then on the server only waits
    // for its viewers, and no slow one may keep it.
    const auto start = std::chrono::steady_clock::now();
    while (readWholeFile(mServer.summaryFile()).empty() && std::chrono::steady_clock::now() - start < 60s) {
        std::this_thread::sleep_for(10ms);
    }
    const auto ended = std::chrono::steady_clock::now();
    EXPECT_EQ(mServer.wait(kExitSeconds), 0) << mServer.log();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - ended).count(), 3.0);
    EXPECT_GT(trickler.droppedAfter(), 0.0);
    EXPECT_LT(trickler.droppedAfter(), 7.0);
    EXPECT_GT(slowViewer.received(), 0u);
    EXPECT_GT(slowRecord.received(), 0u);
}

TEST_F(LiveStream, ALoopbackServerAnswersOnlyRequestsForALoopbackHost)
{
    startServer({"--wait", "0", "--length", "2"});
    const std::string port = std::to_string(mServer.httpPort());
    // The names themselves are checked in the unit tests; here, that the server applies the check.
    const std::pair<std::string, int> cases[] = {
        {"localhost:" + port, 200}, {"evil.example:" + port, 403}, {"", 403}};
    for (const auto& [host, status] : cases) {
        SCOPED_TRACE("Host: " + host);
        httplib::Client client("127.0.0.1", mServer.httpPort());
        client.set_default_headers({{"Host", host}});
        const auto res = client.Get("/record.jsonl");
        ASSERT_TRUE(res) << httplib::to_string(res.error());
        EXPECT_EQ(res->status, status);
    }
    EXPECT_EQ(mServer.wait(kExitSeconds), 0) << mServer.log();
}

}  // namespace
