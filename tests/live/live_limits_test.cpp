// What one connection may cost simserver's live HTTP server: a request with a
// body ends its connection, a kept-alive connection gets a fixed time for all
// its requests, and one address cannot take every worker from the page.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "LiveProcess.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr double kExitSeconds = 15.0;

// A raw TCP connection to the live port from loopback address `from`.
class RawConnection {
public:
    RawConnection(int port, const char* from = "127.0.0.1")
    {
        mFd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in me{};
        me.sin_family = AF_INET;
        inet_pton(AF_INET, from, &me.sin_addr);
        ::bind(mFd, reinterpret_cast<sockaddr*>(&me), sizeof me);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<std::uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        mConnected = ::connect(mFd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
    }
    ~RawConnection() { ::close(mFd); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool connected() const { return mConnected; }
    bool send(const std::string& bytes) { return ::send(mFd, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0; }

    // Everything received until the server closes or `ms` pass; `closed` says which.
    std::string readAll(int ms, bool& closed)
    {
        std::string got;
        closed = false;
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            pollfd p{mFd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) {
                continue;
            }
            char buf[4096];
            const ssize_t n = ::recv(mFd, buf, sizeof buf, 0);
            if (n <= 0) {
                closed = true;
                break;
            }
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }

private:
    int mFd = -1;
    bool mConnected = false;
};

std::size_t count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

const std::string kGetRecord = "GET /record.jsonl HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

class LiveLimits : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::signal(SIGPIPE, SIG_IGN);
        std::string error;
        ASSERT_TRUE(mServer.start(SIMSERVER_PATH, {"--wait", "0", "--length", "20", "--quiet"}, error)) << error;
    }
    void TearDown() override
    {
        if (HasFailure()) {
            mServer.keep();
        }
    }
    LiveProcess mServer;
};

TEST_F(LiveLimits, ARequestWithABodyIsAnsweredAndItsConnectionClosedSoTheBodyIsNeverARequest)
{
    const std::string smuggled = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const std::string requests[] = {
        "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(smuggled.size()) + "\r\n\r\n",
        "GET /nowhere HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(smuggled.size()) +
            "\r\n\r\n",
        "GET /record.jsonl HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n" +
            std::to_string(smuggled.size()) + "\r\n",
    };
    for (const std::string& request : requests) {
        SCOPED_TRACE(request.substr(0, request.find('\r')));
        RawConnection c(mServer.httpPort());
        ASSERT_TRUE(c.connected());
        c.send(request + smuggled);
        bool closed = false;
        const std::string answer = c.readAll(3000, closed);
        EXPECT_TRUE(closed);
        EXPECT_EQ(count(answer, "HTTP/1.1 "), 1u) << answer;
        EXPECT_EQ(answer.find("<canvas"), std::string::npos) << "the body was served as a request";
    }
}

TEST_F(LiveLimits, AKeptAliveConnectionGetsTenSecondsForAllItsRequests)
{
    RawConnection c(mServer.httpPort());
    ASSERT_TRUE(c.connected());
    const auto start = Clock::now();
    bool closed = false;
    std::size_t answers = 0;
    // A request every 1.5 s keeps the connection alive past any per-request limit.
    while (!closed && Clock::now() - start < 20s) {
        c.send(kGetRecord);
        const std::string got = c.readAll(1500, closed);
        answers += count(got, "HTTP/1.1 200");
    }
    const double lived = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_TRUE(closed);
    EXPECT_LT(lived, 13.0);
    EXPECT_GE(answers, 5u);
}

TEST_F(LiveLimits, ConnectionsBeyondAnAddresssShareAreClosedAndThePageStillLoadsForOthers)
{
    const int port = mServer.httpPort();
    // Many connections from one address, each keeping a request unfinished.
    std::vector<std::unique_ptr<RawConnection>> hogs;
    for (int i = 0; i < 40; ++i) {
        hogs.push_back(std::make_unique<RawConnection>(port, "127.0.0.2"));
        hogs.back()->send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
    }
    // And streams from three more addresses, up to what each may have.
    std::vector<std::unique_ptr<RawConnection>> streams;
    for (const char* from : {"127.0.0.3", "127.0.0.4", "127.0.0.5"}) {
        for (int i = 0; i < 16; ++i) {
            streams.push_back(std::make_unique<RawConnection>(port, from));
            streams.back()->send("GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        }
    }
    std::this_thread::sleep_for(500ms);
    std::size_t cutOff = 0;
    for (auto& hog : hogs) {
        bool closed = false;
        hog->readAll(10, closed);
        cutOff += closed ? 1 : 0;
    }
    EXPECT_GE(cutOff, 40u - 16u) << "connections from one address beyond its share";

    const auto asked = Clock::now();
    RawConnection viewer(port, "127.0.0.6");
    viewer.send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    bool closed = false;
    const std::string page = viewer.readAll(4000, closed);
    EXPECT_NE(page.find("HTTP/1.1 200"), std::string::npos) << page.substr(0, 200);
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - asked).count(), 3.0);
    hogs.clear();
    streams.clear();
    EXPECT_EQ(mServer.wait(40), 0) << mServer.log();
}

}  // namespace
