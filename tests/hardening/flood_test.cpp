// simserver under a flood of datagrams during a real-time match: the one
// admitted agent keeps getting its world states at the match's pace, and
// every datagram longer than a client message is counted as oversized.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <atomic>
#include <chrono>
#include <regex>
#include <thread>
#include <vector>

#include "ProcessRunner.h"
#include "ScriptedClient.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kStepSeconds = 0.066;
// Real time: about two steps, one late step allowed, never a stall.
constexpr double kRealTimeGap = 2.0 * kStepSeconds + 0.02;
// Fast mode: a flood can fill the socket's buffer so that the kernel drops the
// agent's answer; the step then waits out its timeout (250 ms), never longer.
constexpr double kFastGap = 0.25 + kStepSeconds;

// Floods `port` from a socket of its own with `datagram`, as fast as it can, until stopped.
class Flooder {
public:
    Flooder(int port, std::string datagram) : mThread([this, port, d = std::move(datagram)] { run(port, d); }) {}
    ~Flooder()
    {
        mStop = true;
        mThread.join();
    }
    long sent() const { return mSent; }

private:
    void run(int port, const std::string& datagram)
    {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<std::uint16_t>(port));
        inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        while (!mStop) {
            if (::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) > 0) {
                ++mSent;
            }
        }
        ::close(fd);
    }

    std::atomic<bool> mStop{false};
    std::atomic<long> mSent{0};
    std::thread mThread;
};

int listeningPort(const ChildProcess& server)
{
    static const std::regex listening("listening on [0-9.]+:(\\d+)");
    for (int i = 0; i < 200; ++i) {
        std::smatch m;
        const std::string log = server.errorsSoFar();
        if (std::regex_search(log, m, listening)) {
            return std::stoi(m[1]);
        }
        std::this_thread::sleep_for(10ms);
    }
    return -1;
}

// Nested elements: the costliest kind of datagram to read that is still short enough to be read.
std::string nestedXml(std::size_t bytes)
{
    std::string d = "<command><kick>";
    while (d.size() + 30 < bytes) {
        d += "<a>1</a>";
    }
    return d + "</kick></command>";
}

struct Pace {
    const char* name;
    std::vector<std::string> args;
    bool stopped;  // ended by SIGTERM once the flood is over
    double longestGap;
};

class Flood : public ::testing::TestWithParam<Pace> {};

// In fast mode the scripted agent answers at once, so the steps follow each other
// much faster than in real time, until the flood is over.
TEST_P(Flood, WorldStatesKeepTheirPaceAndLongDatagramsAreCountedAsOversized)
{
    ScratchDir dir;
    std::vector<std::string> args = {"--port", "0", "--wait", "1"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    ChildProcess server(SIMSERVER_BINARY, args, dir);
    const int port = listeningPort(server);
    ASSERT_GT(port, 0) << server.errorsSoFar();
    ScriptedClient agent(port);
    ASSERT_TRUE(agent.connect(1, "GO"));
    agent.play(2.0);  // into the play

    std::vector<Clock::time_point> states;
    std::atomic<bool> flooding{true};
    long sent = 0;
    std::thread flood([&] {
        {
            const Flooder large(port, std::string(60000, '<'));
            std::this_thread::sleep_for(1500ms);
            sent = large.sent();
        }
        const Flooder parsed(port, nestedXml(2000));
        std::this_thread::sleep_for(1500ms);
        flooding = false;
    });
    while (flooding) {
        const std::string d = agent.receive(20);
        if (d.find("<worldData>") != std::string::npos) {
            states.push_back(Clock::now());
            agent.send(ScriptedClient::kWheels);
        }
    }
    flood.join();
    if (GetParam().stopped) {
        ::kill(server.pid(), SIGTERM);
    }
    const ProcessResult r = server.wait(15);
    ASSERT_EQ(r.status, GetParam().stopped ? 128 + SIGTERM : 0) << r.err;

    ASSERT_GT(states.size(), 30u);
    double longest = 0.0;
    for (std::size_t i = 1; i < states.size(); ++i) {
        longest = std::max(longest, std::chrono::duration<double>(states[i] - states[i - 1]).count());
    }
    EXPECT_LE(longest, GetParam().longestGap) << "longest gap between world states under the flood";
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.out, m, std::regex("oversized (\\d+)"))) << r.out;
    EXPECT_GT(std::stol(m[1]), 100) << r.out;
    EXPECT_LE(std::stol(m[1]), sent);
    std::cout << GetParam().name << " flood: " << sent << " datagrams of 60000 bytes sent, " << m[1] << " counted oversized; longest gap "
              << static_cast<int>(longest * 1000) << " ms\n";
}

INSTANTIATE_TEST_SUITE_P(Modes, Flood,
                         ::testing::Values(Pace{"realTime", {"--length", "6"}, false, kRealTimeGap},
                                           Pace{"fast", {"--fast", "--length", "20000"}, true, kFastGap}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
