// The live HTTP side of simserver on a real (agentless, real-time) match: the
// event stream carries exactly the record, only the three GET paths are
// served, and a viewer that never reads costs the match nothing.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

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

}  // namespace
