// The server's rules for its links: which refusals are logged, and when a
// robot whose agent went silent passes to the agent restarted in its place.

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <thread>

#include "ScriptedClient.h"
#include "sim/link/HolderSilence.h"
#include "sim/link/RefusalLog.h"
#include "sim/SimServer.h"

namespace {

using namespace std::chrono_literals;

PeerAddress address(std::uint16_t port)
{
    return PeerAddress{0x0100007f, port};
}

struct NicknameTraffic {
    const char* name;
    std::vector<std::pair<std::uint16_t, std::string>> requests;  // sender port, nickname; all for robot 0
    int lines;
};

class WrongNicknameLog : public ::testing::TestWithParam<NicknameTraffic> {};

TEST_P(WrongNicknameLog, IsCappedPerRobotAndSender)
{
    RefusalLog log;
    int lines = 0;
    for (const auto& [port, nickname] : GetParam().requests) {
        lines += log.logWrongNickname(0, address(port), nickname) ? 1 : 0;
    }
    EXPECT_EQ(lines, GetParam().lines);
}

std::vector<std::pair<std::uint16_t, std::string>> alternating(int times)
{
    std::vector<std::pair<std::uint16_t, std::string>> out;
    for (int i = 0; i < times; ++i) {
        out.push_back({1000, i % 2 ? "Y3" : "Y4"});
    }
    return out;
}

std::vector<std::pair<std::uint16_t, std::string>> distinct(int senders, int nicknames)
{
    std::vector<std::pair<std::uint16_t, std::string>> out;
    for (int s = 0; s < senders; ++s) {
        for (int n = 0; n < nicknames; ++n) {
            out.push_back({static_cast<std::uint16_t>(1000 + s), "N" + std::to_string(n)});
        }
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Traffic, WrongNicknameLog,
    ::testing::Values(NicknameTraffic{"oneRepeated", {{1000, "Y3"}, {1000, "Y3"}, {1000, "Y3"}}, 1},
                      NicknameTraffic{"twoAlternating", alternating(10000), 2},
                      NicknameTraffic{"manyNicknames", distinct(1, 50), RefusalLog::kNicknameLinesPerSender},
                      NicknameTraffic{"twoSenders", distinct(2, 1), 2},
                      NicknameTraffic{"everyPort", distinct(5000, 2),
                                      static_cast<int>(RefusalLog::kNicknameSenders) * 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RefusalLogTest, OtherRefusalsAreLoggedOnlyAtFirstAndApartFromNicknames)
{
    RefusalLog log;
    int lines = 0;
    for (int i = 0; i < 100; ++i) {
        lines += log.logOther() ? 1 : 0;
    }
    EXPECT_EQ(lines, RefusalLog::kOtherLines);
    EXPECT_TRUE(log.logWrongNickname(2, address(1), "Y3"));
    EXPECT_TRUE(log.logWrongNickname(3, address(1), "Y3")) << "another robot, another pair";
}

TEST(HolderSilenceTest, BothAMissedRunOfPlayAndTimeWithoutAWordAreNeeded)
{
    struct Case {
        int missed;
        std::chrono::milliseconds quiet;
        bool silent;
    };
    const Case cases[] = {{kSilentPlayStates, kSilentTime, true},
                          {kSilentPlayStates - 1, 10 * kSilentTime, false},  // a long pause in the game
                          {100 * kSilentPlayStates, kSilentTime - 1ms, false},  // fast mode: steps fly by
                          {0, 0ms, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(holderSilent(c.missed, c.quiet), c.silent) << c.missed << " " << c.quiet.count();
    }
}

// A one-robot real-time match on a free port, run on its own thread, its log captured.
class OneRobotMatch : public ::testing::Test {
protected:
    void start(double length)
    {
        Scenario scenario = defaultScenario(3);
        scenario.robots.resize(1);
        scenario.rules.matchLength = length;
        scenario.rules.warnEnding = 1.0;
        SimOptions options;
        options.port = 0;
        options.waitSeconds = 5;
        mServer = std::make_unique<SimServer>(scenario, options);
        std::string error;
        ASSERT_TRUE(mServer->open(error)) << error;
        mOldErr = std::cerr.rdbuf(mLog.rdbuf());
        mMatch = std::thread([this] { mStatus = mServer->run(mSummary); });
    }

    void finish()
    {
        mMatch.join();
        std::cerr.rdbuf(mOldErr);
        mOldErr = nullptr;
    }

    void TearDown() override
    {
        if (mMatch.joinable()) {
            finish();
        }
    }

    long logLines(const std::string& containing) const
    {
        std::istringstream in(mLog.str());
        long n = 0;
        for (std::string line; std::getline(in, line);) {
            n += line.find(containing) != std::string::npos ? 1 : 0;
        }
        return n;
    }

    std::unique_ptr<SimServer> mServer;
    std::thread mMatch;
    std::ostringstream mSummary;
    std::ostringstream mLog;
    std::streambuf* mOldErr = nullptr;
    int mStatus = -1;
};

TEST_F(OneRobotMatch, AlternatingWrongNicknamesWriteAFewLinesWhileEveryOneIsCounted)
{
    start(1.0);
    ScriptedClient holder(mServer->port());
    ASSERT_TRUE(holder.connect(1, "GO"));
    ScriptedClient intruder(mServer->port());
    constexpr int kRequests = 400;
    for (int i = 0; i < kRequests; ++i) {
        intruder.send(ScriptedClient::request(1, i % 2 ? "Y3" : "Y4"));
    }
    holder.ignore(4000);
    finish();
    EXPECT_EQ(mServer->traffic().wrongNickname, kRequests);
    EXPECT_EQ(logLines("has nickname"), 2) << mLog.str();
}

// An agent that dies is replaced by one restarted on another port: the robot
// passes to it once the first has gone silent, never while it still plays.
TEST_F(OneRobotMatch, ASilentHolderGivesItsRobotToTheSameNicknameFromANewAddressButALiveOneNever)
{
    start(6.0);
    ScriptedClient first(mServer->port());
    ASSERT_TRUE(first.connect(1, "GO"));
    ASSERT_GT(first.play(2.5), 10);

    // While the first plays, nobody else gets the robot, even with its nickname.
    ScriptedClient rival(mServer->port());
    rival.send(ScriptedClient::request(1, "GO"));
    EXPECT_EQ(rival.receive(), "<connect>false</connect>");
    ASSERT_GT(first.play(0.3), 2);

    // The first goes silent; a little later it is not yet silent long enough.
    first.ignore(500);
    ScriptedClient restarted(mServer->port());
    restarted.send(ScriptedClient::request(1, "GO"));
    EXPECT_EQ(restarted.receive(), "<connect>false</connect>");
    first.ignore(1200);
    ASSERT_TRUE(restarted.connect(1, "GO"));
    const long commandsBefore = mServer->robotStats()[0].commands;
    EXPECT_GT(restarted.play(1.0), 10);

    // The world states go to the new agent alone, and the old one's commands drive nothing.
    first.send(ScriptedClient::kWheels);
    EXPECT_EQ(first.ignore(300), 0);
    restarted.ignore(4000);
    finish();
    EXPECT_EQ(mStatus, 0);
    EXPECT_GT(mServer->robotStats()[0].commands, commandsBefore + 10);
    EXPECT_EQ(mServer->traffic().unknownSender, 1);
    EXPECT_EQ(mServer->traffic().refusedConnects, 2);
    EXPECT_EQ(logLines("taken back from the silent agent"), 1) << mLog.str();
}

}  // namespace
