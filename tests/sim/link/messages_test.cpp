// What the server makes of every kind of datagram, and the server itself
// facing a scripted client and hostile traffic on the loopback.

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <thread>

#include "sim/link/ClientMessages.h"
#include "sim/SimServer.h"
#include "ScriptedClient.h"

namespace {

using K = ClientMessageKind;

ClientMessage readText(const std::string& text)
{
    return readClientMessage(text.data(), text.size());
}

struct MessageCase {
    const char* name;
    std::string text;
    ClientMessageKind kind;
};

class ClientMessageTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ClientMessageTest, IsClassified)
{
    EXPECT_EQ(readText(GetParam().text).kind, GetParam().kind) << GetParam().name;
}

const std::string kWheels =
    "<command><wheel_velocities><right>88.5958</right><left>-32.5967</left></wheel_velocities></command>";
const std::string kRequest =
    "<connect><type>Client</type><protocol_version>1.0</protocol_version><nickname>GO</nickname>"
    "<rc_id>3</rc_id><vt_id>4</vt_id></connect>";

INSTANTIATE_TEST_SUITE_P(
    Datagrams, ClientMessageTest,
    ::testing::Values(
        MessageCase{"wheels", kWheels, K::Command},
        MessageCase{"wheels with the zero byte", kWheels + std::string(1, '\0'), K::Command},
        MessageCase{"kick", "<command><kick><angle>90</angle><force>1</force></kick></command>", K::Command},
        MessageCase{"goto", "<command><goto><dist>100</dist><angle>-5</angle></goto></command>", K::Command},
        MessageCase{"wheels in the wrong order",
                    "<command><wheel_velocities><left>1</left><right>1</right></wheel_velocities></command>",
                    K::Invalid},
        MessageCase{"a body of another kind's pair",
                    "<command><wheel_velocities><angle>1</angle><force>1</force></wheel_velocities></command>",
                    K::Invalid},
        MessageCase{"empty command", "<command/>", K::Invalid},
        MessageCase{"two zero bytes", kWheels + std::string(2, '\0'), K::Invalid},
        MessageCase{"request", kRequest, K::ConnectRequest},
        MessageCase{"request without nickname",
                    "<connect><type>Client</type><protocol_version>1.0</protocol_version><rc_id>3</rc_id>"
                    "<vt_id>4</vt_id></connect>",
                    K::BadConnect},
        MessageCase{"reply true", "<connect>true</connect>", K::ConnectReply},
        MessageCase{"reply false", "<connect>false</connect>", K::ConnectReply},
        MessageCase{"reply in capitals", "<connect>TRUE</connect>", K::Invalid},
        MessageCase{"unknown root", "<worldData><time>1</time></worldData>", K::Invalid},
        MessageCase{"not XML", "hello", K::Invalid}, MessageCase{"unclosed", "<command><kick>", K::Invalid},
        MessageCase{"empty", "", K::Invalid}));

TEST(ClientMessages, ValuesAreTakenAndBounded)
{
    const ClientMessage w = readText(kWheels);
    EXPECT_EQ(w.command.kind, RobotCommand::Kind::Wheels);
    EXPECT_NEAR(w.command.right, 88.5958, 1e-4);
    EXPECT_NEAR(w.command.left, -32.5967, 1e-4);

    const ClientMessage r = readText(kRequest);
    EXPECT_EQ(r.request.type, "Client");
    EXPECT_EQ(r.request.nickname, "GO");
    EXPECT_EQ(r.request.rcId, 3);
    EXPECT_EQ(r.request.vtId, 4);

    // Numbers that are no finite numbers read as 0 and never reach the physics.
    const ClientMessage nan = readText(
        "<command><wheel_velocities><right>nan</right><left>1e400</left></wheel_velocities></command>");
    EXPECT_EQ(nan.command.right, 0.0);
    EXPECT_EQ(nan.command.left, 0.0);

    const std::string big(kMaxDatagramBytes + 1, ' ');
    EXPECT_EQ(readClientMessage(big.data(), big.size()).kind, K::Invalid);
    EXPECT_EQ(readClientMessage(nullptr, 10).kind, K::Invalid);
}

TEST(ClientMessages, RandomBytesAndMutatedMessagesNeverCrash)
{
    std::mt19937 rng(12345);
    const std::string seeds[] = {kWheels, kRequest, "<connect>true</connect>"};
    for (int i = 0; i < 3000; ++i) {
        std::string s = seeds[i % 3];
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits && !s.empty(); ++e) {
            s[rng() % s.size()] = static_cast<char>(rng() % 256);
        }
        if (i % 5 == 0) {
            s.resize(rng() % (s.size() + 1));
        }
        readClientMessage(s.data(), s.size());
    }
    SUCCEED();
}

// The default scenario's nicknames: yellow GO, Y1, Y2, then blue GO, B1, B2.
std::string nicknameOf(int vtId)
{
    static const char* const names[] = {"GO", "Y1", "Y2", "GO", "B1", "B2"};
    return vtId >= 1 && vtId <= 6 ? names[vtId - 1] : "X";
}

std::string request(int vtId, const std::string& type = "Client", const std::string& nickname = "")
{
    std::ostringstream s;
    s << "<connect><type>" << type << "</type><protocol_version>1.0</protocol_version><nickname>"
      << (nickname.empty() ? nicknameOf(vtId) : nickname) << "</nickname><rc_id>" << vtId << "</rc_id><vt_id>"
      << vtId << "</vt_id></connect>";
    return s.str();
}

const std::string kServerConnect =
    "<connect><type>Server</type><protocol_version>1.0</protocol_version>"
    "<movement_mode>wheel_velocities</movement_mode></connect>";

// A quiet lock-step server on a free loopback port, as the tests below drive it.
SimOptions loopbackOptions(double waitSeconds)
{
    SimOptions options;
    options.port = 0;
    options.fast = true;
    options.quiet = true;
    options.waitSeconds = waitSeconds;
    options.stepTimeoutMs = 50;
    return options;
}

TEST(ServerOnLoopback, HandshakeCommandsAndHostileTrafficAreCountedAndTheMatchGoesOn)
{
    Scenario scenario = defaultScenario(3);
    scenario.robots.resize(2);
    scenario.rules.matchLength = 3.0;
    scenario.rules.warnEnding = 1.0;
    SimServer server(scenario, loopbackOptions(5));
    std::string error;
    ASSERT_TRUE(server.open(error)) << error;
    std::ostringstream summary;
    int status = -1;
    std::thread match([&] { status = server.run(summary); });

    ScriptedClient one(server.port());
    ScriptedClient intruder(server.port());
    one.send(request(1));
    EXPECT_EQ(one.receive(), "<connect>true</connect>");
    EXPECT_EQ(one.receive(), kServerConnect);
    one.send("<connect>true</connect>");
    EXPECT_NE(one.receive().find("<agent_id>1</agent_id>"), std::string::npos);

    intruder.send(request(1));  // taken
    EXPECT_EQ(intruder.receive(), "<connect>false</connect>");
    intruder.send(request(9));  // unknown
    EXPECT_EQ(intruder.receive(), "<connect>false</connect>");
    intruder.send(request(2, "Server"));  // not a client
    EXPECT_EQ(intruder.receive(), "<connect>false</connect>");
    intruder.send("<connect><type>Client</type></connect>");  // malformed
    EXPECT_EQ(intruder.receive(), "<connect>false</connect>");
    intruder.send(kWheels);  // commands from an address that holds no robot
    intruder.send("<connect>true</connect>");
    std::mt19937 rng(7);
    for (int i = 0; i < 20; ++i) {
        std::string junk(1 + rng() % 2000, '\0');
        for (char& c : junk) {
            c = static_cast<char>(rng());
        }
        intruder.send(junk);
    }
    intruder.send(std::string(65000, '<'));

    // The second robot's agent asks late and never replies: the robot stays free.
    ScriptedClient two(server.port());
    two.send(request(2));
    EXPECT_EQ(two.receive(), "<connect>true</connect>");

    ASSERT_TRUE(one.waitForMode("play on"));
    one.send(kWheels + std::string(1, '\0'));
    ASSERT_TRUE(one.waitForMode("time over"));
    match.join();

    EXPECT_EQ(status, 0);
    EXPECT_TRUE(server.referee().finished());
    const TrafficStats& t = server.traffic();
    EXPECT_EQ(t.refusedConnects, 4);
    EXPECT_EQ(t.unknownSender, 2);
    EXPECT_EQ(t.invalid, 20);
    EXPECT_EQ(t.oversized, 1);
    const RobotStats& r1 = server.robotStats()[0];
    EXPECT_TRUE(r1.admitted);
    EXPECT_EQ(r1.connectReply, "true");
    EXPECT_EQ(r1.commands, 1);
    EXPECT_GT(r1.noAnswer, 0);
    EXPECT_FALSE(server.robotStats()[1].admitted);
    EXPECT_EQ(server.robotStats()[1].connectReply, "none");
    EXPECT_NE(summary.str().find("final score: yellow 0 - 0 blue"), std::string::npos) << summary.str();
    EXPECT_NE(summary.str().find("refused connects 4"), std::string::npos) << summary.str();
}

// Robots are admitted by the agent's reply, and only under the scenario's nickname.
TEST(ServerOnLoopback, AnUnfinishedHandshakeLeavesTheRobotFreeAndWrongNicknamesAreRefused)
{
    Scenario scenario = defaultScenario(3);
    scenario.rules.matchLength = 2.0;
    scenario.rules.warnEnding = 1.0;
    SimServer server(scenario, loopbackOptions(3));
    std::string error;
    ASSERT_TRUE(server.open(error)) << error;
    std::ostringstream summary;
    int status = -1;
    std::thread match([&] { status = server.run(summary); });

    {
        // Asks, gets the answer, and goes away before replying.
        ScriptedClient lost(server.port());
        lost.send(request(1));
        EXPECT_EQ(lost.receive(), "<connect>true</connect>");
        EXPECT_EQ(lost.receive(), kServerConnect);
    }
    ScriptedClient restarted(server.port());
    restarted.send(request(1));
    EXPECT_EQ(restarted.receive(), "<connect>true</connect>");
    EXPECT_EQ(restarted.receive(), kServerConnect);
    restarted.send("<connect>true</connect>");
    EXPECT_NE(restarted.receive().find("<agent_id>1</agent_id>"), std::string::npos);

    // A five a side yellow team's robots 4 and 5 (Y3, Y4) against blue's GO and B1; a
    // nickname in another case; the other side's keeper asking as the yellow one.
    ScriptedClient intruder(server.port());
    const std::pair<int, const char*> wrong[] = {{4, "Y3"}, {5, "Y4"}, {2, "y1"}, {6, "GO"}, {4, "Y3"}};
    for (const auto& [vtId, nickname] : wrong) {
        intruder.send(request(vtId, "Client", nickname));
        EXPECT_EQ(intruder.receive(), "<connect>false</connect>") << vtId << " " << nickname;
    }
    // A reply from an address whose request was refused admits nothing.
    intruder.send("<connect>true</connect>");

    // Declining the server's connect message leaves the robot free for another agent.
    ScriptedClient declining(server.port());
    declining.send(request(3));
    EXPECT_EQ(declining.receive(), "<connect>true</connect>");
    EXPECT_EQ(declining.receive(), kServerConnect);
    declining.send("<connect>false</connect>");
    ScriptedClient third(server.port());
    third.send(request(3));
    EXPECT_EQ(third.receive(), "<connect>true</connect>");
    EXPECT_EQ(third.receive(), kServerConnect);
    third.send("<connect>true</connect>");
    EXPECT_NE(third.receive().find("<agent_id>3</agent_id>"), std::string::npos);

    ASSERT_TRUE(restarted.waitForMode("time over", 8000));
    match.join();
    EXPECT_EQ(status, 0);
    const std::vector<RobotStats>& robots = server.robotStats();
    EXPECT_TRUE(robots[0].admitted);
    EXPECT_EQ(robots[0].connectReply, "true");
    EXPECT_TRUE(robots[2].admitted);
    for (std::size_t i : {1, 3, 4, 5}) {
        EXPECT_FALSE(robots[i].admitted) << i;
    }
    EXPECT_EQ(robots[3].wrongNicknames, 2);
    EXPECT_EQ(robots[3].lastWrongNickname, "Y3");
    EXPECT_EQ(server.traffic().wrongNickname, 5);
    EXPECT_EQ(server.traffic().refusedConnects, 5);
    EXPECT_EQ(server.traffic().unknownSender, 1);
    EXPECT_NE(summary.str().find("robot 4 blue GO refused 2 connect requests with nickname 'Y3'"), std::string::npos)
        << summary.str();
}

}  // namespace
