// The real agent program fed hostile traffic: random bytes, empty and
// oversized datagrams, states from a foreign host, states with absurd
// numbers, missing landmarks, repeated uids and crowds of robots. It must
// stay up, only ever send well-formed commands with finite numbers, and
// answer the next valid state.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "FakeServer.h"
#include "ProcessRunner.h"
#include "WorldScene.h"

namespace {

constexpr int kHandshakeWaitMs = 5000;
constexpr int kReplyWaitMs = 1000;
// Enough for the agent to work through what was sent and answer.
constexpr int kSettleMs = 300;
constexpr int kPaceMs = 30;
constexpr std::size_t kLargestUdpPayload = 65507;

std::string playingState()
{
    return WorldScene().text();
}

// Every <tag> value of `doc` replaced by `value`.
std::string withValues(std::string doc, const std::string& tag, const std::string& value)
{
    const std::regex element("<" + tag + ">[^<]*</" + tag + ">");
    return std::regex_replace(doc, element, "<" + tag + ">" + value + "</" + tag + ">");
}

// `elements` inserted before the first landmark.
std::string withRobots(const std::string& elements)
{
    std::string doc = playingState();
    doc.insert(doc.find("<flag>"), elements);
    return doc;
}

std::string robot(const char* side, long long id, const char* status = "found")
{
    return std::string("<") + side + "><id>" + std::to_string(id) + "</id><nickname>X</nickname><status>" + status +
           "</status><dist>400</dist><angle>12</angle><orientation>90</orientation></" + side + ">";
}

struct Traffic {
    std::vector<std::string> datagrams;
    bool fromForeignHost = false;
    // Whether each datagram may draw a command (a playable state).
    bool mayAnswer = false;
    // One at a time, each given the time to be read; otherwise sent in one burst.
    bool paced = false;
};

Traffic randomFlood()
{
    std::mt19937 rng(7);
    Traffic t;
    const std::string valid = playingState();
    for (int i = 0; i < 3000; ++i) {
        std::string bytes(rng() % 1500, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(rng());
        }
        t.datagrams.push_back(bytes);
    }
    // Valid states with a few bytes flipped reach deeper into the reader.
    for (int i = 0; i < 500; ++i) {
        std::string bytes = valid;
        for (int k = 0; k < 4; ++k) {
            bytes[rng() % bytes.size()] = static_cast<char>(rng());
        }
        t.datagrams.push_back(bytes);
    }
    t.mayAnswer = true;
    return t;
}

Traffic emptyAndHuge()
{
    Traffic t;
    t.datagrams.assign(200, std::string());
    for (int i = 0; i < 10; ++i) {
        t.datagrams.push_back(std::string(kLargestUdpPayload, static_cast<char>('<' + i)));
    }
    // A valid state padded past the receive buffer: cut short, so not a document.
    std::string padded = playingState();
    padded.insert(padded.find("<flag>"), std::string(40000, ' '));
    t.datagrams.push_back(padded);
    return t;
}

Traffic foreignStates()
{
    Traffic t;
    t.datagrams.assign(20, playingState());
    t.fromForeignHost = true;
    return t;
}

Traffic absurdNumbers()
{
    Traffic t;
    const std::string valid = playingState();
    for (const char* value : {"nan", "-nan", "inf", "-inf", "1e308", "-1e308", "1e-320", "-5", "0",
                              "99999999999999999999", "0x1p1000", "", "1e999"}) {
        for (const char* tag : {"dist", "angle", "orientation", "time"}) {
            t.datagrams.push_back(withValues(valid, tag, value));
        }
        t.datagrams.push_back(withValues(withValues(withValues(valid, "dist", value), "angle", value), "time", value));
    }
    t.paced = true;
    t.mayAnswer = true;
    return t;
}

Traffic missingFlags()
{
    Traffic t;
    const std::string allFlags = "<flag>.*</flag>";
    WorldScene scene;
    t.datagrams.push_back(std::regex_replace(scene.text(), std::regex(allFlags), ""));
    // Only one or two landmarks left: too few to place the robot by.
    for (std::size_t keep : {1u, 2u, 3u}) {
        WorldScene few;
        few.missingFlags = {"top_left_pole",     "bottom_left_pole",   "top_right_pole",       "bottom_right_pole",
                            "top_left_corner",   "bottom_left_corner", "top_right_corner",     "bottom_right_corner",
                            "top_left_goal",     "bottom_left_goal",   "top_right_goal",       "bottom_right_goal",
                            "top_left_small_area", "bottom_left_small_area", "top_right_small_area",
                            "bottom_right_small_area", "top_center", "middle_center", "bottom_center"};
        few.missingFlags.resize(few.missingFlags.size() - keep);
        t.datagrams.push_back(few.text());
    }
    t.paced = true;
    t.mayAnswer = true;
    return t;
}

Traffic duplicateUids()
{
    Traffic t;
    std::string same;
    for (int i = 0; i < 6; ++i) {
        same += robot("teamMate", 2) + robot("opponent", 2);
    }
    t.datagrams.push_back(withRobots(same));
    // Another robot claiming this robot's own uid, on both sides.
    t.datagrams.push_back(withRobots(robot("teamMate", 1) + robot("opponent", 1, "lost")));
    t.datagrams.push_back(withRobots(robot("opponent", -1) + robot("teamMate", 4294967295LL) +
                                     robot("opponent", 99999999999LL)));
    t.paced = true;
    t.mayAnswer = true;
    return t;
}

Traffic crowds()
{
    Traffic t;
    std::string many;
    for (int i = 0; i < 80; ++i) {
        many += robot(i % 2 ? "opponent" : "teamMate", 10 + i);
    }
    t.datagrams.push_back(withRobots(many));
    std::string bare;
    for (int i = 0; i < 1200; ++i) {
        bare += i % 2 ? "<opponent/>" : "<teamMate/>";
    }
    t.datagrams.push_back(withRobots(bare));
    std::string thousands;
    for (int i = 0; i < 1800; ++i) {
        thousands += "<opponent><id>" + std::to_string(i) + "</id></opponent>";
    }
    t.datagrams.push_back(withRobots(thousands));
    t.paced = true;
    t.mayAnswer = true;
    return t;
}

struct HostileCase {
    const char* name;
    std::function<Traffic()> make;
};

class HostileTraffic : public ::testing::TestWithParam<HostileCase> {
protected:
    void SetUp() override
    {
        writeAgentFiles(dir.path(), server.port());
        agent = std::make_unique<ChildProcess>(AGENT_BINARY, std::vector<std::string>{}, dir);
        ASSERT_TRUE(server.handshake(kHandshakeWaitMs)) << agent->errorsSoFar();
        // The first seen state fixes the base position; later ones are played.
        for (int i = 0; i < 20 && commands.empty(); ++i) {
            server.send(playingState());
            collect(kReplyWaitMs / 10);
        }
        ASSERT_FALSE(commands.empty()) << "the agent never played";
    }

    // Takes every datagram arriving within `waitMs` of the last one and checks it.
    void collect(int waitMs)
    {
        while (auto datagram = server.receive(waitMs)) {
            std::string why;
            EXPECT_TRUE(isWellFormedCommand(*datagram, why)) << why;
            commands.push_back(*datagram);
        }
    }

    ScratchDir dir;
    FakeServer server;
    std::unique_ptr<ChildProcess> agent;
    std::vector<std::string> commands;
};

TEST_P(HostileTraffic, AgentStaysUpSendsOnlyValidCommandsAndAnswersTheNextValidState)
{
    const Traffic traffic = GetParam().make();
    FakeServer foreign("127.0.0.2");
    commands.clear();
    for (const std::string& datagram : traffic.datagrams) {
        if (traffic.fromForeignHost) {
            foreign.sendTo(server, datagram);
        } else {
            server.send(datagram);
        }
        if (traffic.paced) {
            collect(kPaceMs);
        }
    }
    collect(kSettleMs);
    if (!traffic.mayAnswer) {
        EXPECT_TRUE(commands.empty()) << GetParam().name << " drew " << commands.size() << " commands";
    }
    ASSERT_TRUE(agent->running()) << agent->errorsSoFar();

    commands.clear();
    server.send(playingState());
    collect(kReplyWaitMs / 2);
    EXPECT_EQ(commands.size(), 1u) << "no answer to a valid state after " << GetParam().name;

    WorldScene over;
    over.playMode = "time over";
    server.send(over.text());
    const ProcessResult end = agent->wait(5);
    EXPECT_FALSE(end.timedOut);
    EXPECT_EQ(end.status, 0) << end.err;
}

INSTANTIATE_TEST_SUITE_P(Traffic, HostileTraffic,
                         ::testing::Values(HostileCase{"RandomFlood", randomFlood},
                                           HostileCase{"EmptyAndHuge", emptyAndHuge},
                                           HostileCase{"ForeignHost", foreignStates},
                                           HostileCase{"AbsurdNumbers", absurdNumbers},
                                           HostileCase{"MissingFlags", missingFlags},
                                           HostileCase{"DuplicateUids", duplicateUids},
                                           HostileCase{"Crowds", crowds}),
                         [](const ::testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

}  // namespace
