// Matches under a camera blackout, under hostile traffic, and twice with the
// same seed.

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <map>
#include <random>
#include <regex>
#include <thread>

#include "e2e/MatchRunner.h"

namespace {

long count(const std::string& text, const std::string& what)
{
    long n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

long summaryNumber(const std::string& summary, const std::string& pattern)
{
    std::smatch m;
    return std::regex_search(summary, m, std::regex(pattern)) ? std::stol(m[1]) : -1;
}

bool isWheels(const RecordRobot& r, double left, double right)
{
    return r.cmd == "wheel_velocities" && std::fabs(r.left - left) < 1e-3 && std::fabs(r.right - right) < 1e-3;
}

constexpr double kSlow = 88.5958;

// Real time: the agent's recovery schedule runs on the wall clock.
TEST(Blackout, TheLostAgentRunsItsRecoveryAndPlaysAgainWhenSeen)
{
    MatchSetup setup;
    setup.serverArgs = {"--length", "7", "--blackout", "2:2-5"};
    setup.logLevel = "DEBUG";
    setup.timeoutSeconds = 40;
    const MatchResult m = runMatch("blackout", setup);
    const DiscardOnSuccess discard_m{m};
    ASSERT_EQ(m.serverStatus, 0) << m.serverLog;
    for (std::size_t i = 0; i < m.agentStatus.size(); ++i) {
        EXPECT_EQ(m.agentStatus[i], 0) << m.agentDirs[i];
    }

    long unseen = 0;
    bool slowLeftWhileLost = false;
    bool recoveryDrawn = false;
    long playedAfter = 0;
    std::string lastCmd;
    for (const RecordStep& step : m.record) {
        const RecordRobot& r = step.robot(2);
        if (!r.seen) {
            ++unseen;
            EXPECT_GE(step.time, 2.0 - 1e-9);
            EXPECT_LT(step.time, 5.0);
            slowLeftWhileLost = slowLeftWhileLost || isWheels(r, -kSlow, kSlow);
            // From 1.1 s on the recovery draws among its four actions.
            recoveryDrawn = recoveryDrawn || isWheels(r, kSlow, -kSlow) || isWheels(r, kSlow, kSlow) ||
                            isWheels(r, -kSlow, -kSlow);
        } else if (step.time > 5.5 && step.playing()) {
            const std::string cmd = r.cmd + std::to_string(r.left) + std::to_string(r.right);
            playedAfter += cmd != lastCmd ? 1 : 0;
            lastCmd = cmd;
        }
    }
    EXPECT_EQ(unseen, 45);  // 3 s of 0.066 s steps
    EXPECT_EQ(summaryNumber(m.summary, "robot 2 yellow Y1: .*camera drop-outs (\\d+)"), unseen);
    EXPECT_TRUE(slowLeftWhileLost);

    const std::string log = m.agentLog(1);
    EXPECT_GT(count(log, "Agent is lost at "), 0);
    EXPECT_EQ(count(log, "Starting lost time counter at "), 1);
    EXPECT_GT(count(log, "Agent perfoming left turn action after "), 0);
    EXPECT_GT(count(log, "Agent perfoming random action numbered "), 0);
    EXPECT_TRUE(recoveryDrawn || count(log, "Agent perfoming random action numbered 0") > 0);
    const std::size_t found = log.find("Agent was found, lost time counter was reset after ");
    ASSERT_NE(found, std::string::npos);
    EXPECT_NE(log.find(": minha atual posicao eh ", found), std::string::npos) << "plays again when seen";
    EXPECT_GT(playedAfter, 1);

    // The other robots never lost sight of themselves.
    EXPECT_EQ(count(m.agentLog(0), "Agent is lost at "), 0);
}

class Sender {
public:
    Sender()
    {
        mFd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in me{};
        me.sin_family = AF_INET;
        inet_pton(AF_INET, "127.0.0.1", &me.sin_addr);
        ::bind(mFd, reinterpret_cast<sockaddr*>(&me), sizeof me);
    }
    ~Sender() { ::close(mFd); }
    void send(int port, const std::string& data)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        ::sendto(mFd, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

private:
    int mFd = -1;
};

TEST(Hostile, MalformedAndForeignTrafficIsCountedAndDroppedAndTheMatchGoesOn)
{
    constexpr int kJunk = 60;
    constexpr int kHuge = 3;
    constexpr int kBadConnects = 8;
    constexpr int kForeignCommands = 12;
    MatchSetup setup;
    // Real time, so that the traffic surely lands while the robots play.
    setup.serverArgs = {"--length", "5"};
    setup.duringMatch = [&](int port) {
        Sender junk;
        Sender stranger;
        std::mt19937 rng(99);
        std::this_thread::sleep_for(std::chrono::milliseconds(1600));
        for (int round = 0; round < 4; ++round) {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            for (int i = 0; i < kJunk / 4; ++i) {
                std::string bytes(1 + rng() % 3000, '\0');
                for (char& c : bytes) {
                    c = static_cast<char>(rng());
                }
                junk.send(port, bytes);
            }
            for (int i = 0; i < kBadConnects / 4; ++i) {
                junk.send(port, i % 2 ? "<connect><type>Client</type><vt_id>1</vt_id></connect>"
                                      : "<connect><type>Client</type><protocol_version>1.0</protocol_version>"
                                        "<nickname>X</nickname><rc_id>9</rc_id><vt_id>99</vt_id></connect>");
            }
            for (int i = 0; i < kForeignCommands / 4; ++i) {
                stranger.send(port, "<command><kick><angle>0</angle><force>1</force></kick></command>");
            }
        }
        for (int i = 0; i < kHuge; ++i) {
            junk.send(port, std::string(65000, 'x'));
        }
    };
    const MatchResult m = runMatch("hostile", setup);
    const DiscardOnSuccess discard_m{m};
    ASSERT_EQ(m.serverStatus, 0) << m.serverLog;
    for (std::size_t i = 0; i < m.agentStatus.size(); ++i) {
        EXPECT_EQ(m.agentStatus[i], 0) << m.agentDirs[i];
    }
    // Junk longer than any client message is dropped unread, as are the huge ones.
    const long oversized = summaryNumber(m.summary, "oversized (\\d+)");
    EXPECT_GE(oversized, kHuge) << m.summary;
    EXPECT_EQ(summaryNumber(m.summary, "invalid (\\d+)") + oversized, kJunk + kHuge) << m.summary;
    EXPECT_EQ(summaryNumber(m.summary, "refused connects (\\d+)"), kBadConnects) << m.summary;
    EXPECT_EQ(summaryNumber(m.summary, "unknown sender (\\d+)"), kForeignCommands) << m.summary;

    // The agents played on throughout.
    long playSteps = 0;
    for (const RecordStep& step : m.record) {
        playSteps += step.playing() ? 1 : 0;
    }
    static const std::regex line("robot (\\d+) \\w+ \\S+: admitted yes, connect reply true, commands (\\d+)");
    int robots = 0;
    for (std::sregex_iterator it(m.summary.begin(), m.summary.end(), line), end; it != end; ++it) {
        ++robots;
        EXPECT_GE(std::stol((*it)[2]), playSteps * 9 / 10) << (*it)[0];
    }
    EXPECT_EQ(robots, 6) << m.summary;
}

TEST(Determinism, TheSameSeedGivesTheSameRecord)
{
    MatchSetup setup;
    setup.serverArgs = {"--fast", "--length", "10", "--seed", "5", "--noise-dist", "2", "--noise-angle", "0.5",
                        "--step-timeout", "2000"};
    const MatchResult a = runMatch("determinism_a", setup);
    const DiscardOnSuccess discard_a{a};
    const MatchResult b = runMatch("determinism_b", setup);
    const DiscardOnSuccess discard_b{b};
    ASSERT_EQ(a.serverStatus, 0) << a.serverLog;
    ASSERT_EQ(b.serverStatus, 0) << b.serverLog;
    const std::string ra = readFile(a.dir + "/record.jsonl");
    const std::string rb = readFile(b.dir + "/record.jsonl");
    ASSERT_GT(ra.size(), 1000u);
    EXPECT_TRUE(ra == rb) << "the records of " << a.dir << " and " << b.dir << " differ";

    // A different seed draws different noise, so the play differs.
    setup.serverArgs[4] = "6";
    const MatchResult c = runMatch("determinism_c", setup);
    const DiscardOnSuccess discard_c{c};
    ASSERT_EQ(c.serverStatus, 0) << c.serverLog;
    EXPECT_FALSE(ra == readFile(c.dir + "/record.jsonl"));
}

}  // namespace
