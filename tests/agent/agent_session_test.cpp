#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ProcessRunner.h"
#include "WorldScene.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReplyWaitMs = 1000;
// Long enough for a second datagram of the same cycle to show up.
constexpr int kQuietWaitMs = 80;
constexpr auto kCyclePause = std::chrono::milliseconds(40);
constexpr const char* kSlowLeft = "<right>88.5958</right><left>-88.5958</left>";
constexpr const char* kSlowRight = "<right>-88.5958</right><left>88.5958</left>";

// The server's side of the link: one socket, replies to whoever spoke last.
class TestServer {
public:
    explicit TestServer(const char* host = "127.0.0.1")
    {
        mFd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        inet_pton(AF_INET, host, &addr.sin_addr);
        if (mFd < 0 || bind(mFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            throw std::runtime_error("cannot bind the test server");
        }
        socklen_t len = sizeof addr;
        getsockname(mFd, reinterpret_cast<sockaddr*>(&addr), &len);
        mPort = ntohs(addr.sin_port);
    }
    ~TestServer() { close(mFd); }

    int port() const { return mPort; }

    std::optional<std::string> receive(int waitMs)
    {
        pollfd pfd{mFd, POLLIN, 0};
        if (poll(&pfd, 1, waitMs) != 1) {
            return std::nullopt;
        }
        char buffer[20000];
        socklen_t len = sizeof mPeer;
        const ssize_t n = recvfrom(mFd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&mPeer), &len);
        if (n < 0) {
            return std::nullopt;
        }
        return std::string(buffer, static_cast<std::size_t>(n));
    }

    /// Sends to whoever spoke last.
    void send(const std::string& text) { sendTo(mPeer, text); }
    /// Sends from this socket to whoever spoke last to `other`.
    void sendAs(const TestServer& other, const std::string& text) { sendTo(other.mPeer, text); }

private:
    void sendTo(const sockaddr_in& to, const std::string& text)
    {
        sendto(mFd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

    int mFd = -1;
    int mPort = 0;
    sockaddr_in mPeer{};
};

// The command text without the blanks and line ends of the layout or the terminating zero.
std::string compact(const std::string& datagram)
{
    std::string text;
    for (char c : datagram) {
        if (c != '\0' && c != '\n' && c != '\r' && c != '\t' && c != ' ') {
            text += c;
        }
    }
    return text;
}

// One of the four random moves: a slow turn either way, or both wheels alike.
bool isRecoveryMove(const std::string& command)
{
    if (command.find(kSlowLeft) != std::string::npos || command.find(kSlowRight) != std::string::npos) {
        return true;
    }
    const auto r = command.find("<right>");
    const auto l = command.find("<left>");
    if (r == std::string::npos || l == std::string::npos) {
        return false;
    }
    const std::string right = command.substr(r + 7, command.find("</right>") - r - 7);
    const std::string left = command.substr(l + 6, command.find("</left>") - l - 6);
    return right == left;
}

constexpr const char* kServerConnect =
    "<connect><type>Server</type><protocol_version>1.0</protocol_version><movement_mode>wheel</movement_mode></connect>";

// Settings of a yellow field player A1 talking to 127.0.0.1:`port`, and its speed file.
void writeAgentFiles(const ScratchDir& dir, int port, const std::string& extra)
{
    dir.write("config.ini",
              "SERVER_IP=127.0.0.1\nPORT_TEAM=" + std::to_string(port) +
                  "\nVERSION=1.0\nSLEEP=1000\nTRIES=2000\nTEAM=2\nVT_ID=1\nRC_ID=1\nNICK_NAME=A1\n"
                  "POS_BASE_X=0.35\nPOS_BASE_Y=0.5\nKICKABLE=80\nFATOR_ATRACAO_X=0.5\nFATOR_ATRACAO_Y=0.5\n"
                  "X_MINIMO=0.1\nX_MAXIMO=0.9\nY_MINIMO=0.1\nY_MAXIMO=0.9\n" +
                  extra);
    dir.write("velocidade.ini",
              "VEL_MAX=130\nVEL_MAX_CURVE=90\nVEL_MAX_SPIN=110\nANGLE_SPIN=0.5\nBIG_ANGLE=1.2\n"
              "ANGLE_VEL_MAX=0.3\nLENGTH_NEAR=70\n");
}

class AgentSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeAgentFiles(dir, server.port(), "LOG_ENABLED=YES\nLOG_LEVEL=DEBUG\n");
        agent = std::make_unique<ChildProcess>(AGENT_BINARY, std::vector<std::string>{}, dir);
        handshake();
    }

    void handshake()
    {
        const auto request = server.receive(kReplyWaitMs * 5);
        ASSERT_TRUE(request.has_value()) << "no connect request";
        EXPECT_NE(compact(*request).find("<type>Client</type>"), std::string::npos) << *request;
        server.send("<connect>true</connect>");
        server.send(kServerConnect);
        const auto reply = server.receive(kReplyWaitMs);
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(*reply, "<connect>true</connect>");
    }

    // Sends one state and returns the commands it drew (normally none or one).
    std::vector<std::string> exchange(const WorldScene& scene)
    {
        server.send(scene.text());
        std::vector<std::string> commands;
        if (auto first = server.receive(kReplyWaitMs)) {
            commands.push_back(compact(*first));
            while (auto more = server.receive(kQuietWaitMs)) {
                commands.push_back(compact(*more));
            }
        }
        return commands;
    }

    // Sends one state that is expected to draw no command.
    std::vector<std::string> exchangeSilently(const WorldScene& scene)
    {
        server.send(scene.text());
        std::vector<std::string> commands;
        while (auto more = server.receive(kQuietWaitMs * 3)) {
            commands.push_back(compact(*more));
        }
        return commands;
    }

    // Waits until `text` has been written `count` times to the agent's
    // standard error (its log) or output; the sync point between steps.
    bool waitFor(const std::string& text, int count = 1, bool onOutput = false)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < deadline) {
            const std::string written = onOutput ? agent->outputSoFar() : agent->errorsSoFar();
            int found = 0;
            for (auto at = written.find(text); at != std::string::npos; at = written.find(text, at + 1)) {
                ++found;
            }
            if (found >= count) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    void fixBasePosition()
    {
        WorldScene seen;
        seen.playMode = "before kick off";
        EXPECT_TRUE(exchangeSilently(seen).empty());
        ASSERT_TRUE(waitFor("A1: posBase calculada igual a: "));
    }

    void endMatch()
    {
        WorldScene over;
        over.playMode = "time over";
        EXPECT_TRUE(exchangeSilently(over).empty());
        const ProcessResult r = agent->wait(5);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("Player A1 Ending program."), std::string::npos);
        result = r;
    }

    TestServer server;
    ScratchDir dir;
    std::unique_ptr<ChildProcess> agent;
    ProcessResult result;
};

}  // namespace

TEST_F(AgentSession, WaitsSilentlyUntilSeenAndIdlesWhileTheGameIsNotOn)
{
    WorldScene lost;
    lost.robotFound = false;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(exchangeSilently(lost).empty()) << "command before the robot was seen";
    }
    fixBasePosition();
    WorldScene idle;
    idle.playMode = "before kick off";
    EXPECT_TRUE(exchangeSilently(idle).empty()) << "command while seen and not playing";
    endMatch();
    EXPECT_NE(result.err.find(" - Where's my robot's body?!?"), std::string::npos);
    EXPECT_NE(result.err.find("A1: posBase calculada igual a: "), std::string::npos);
}

TEST_F(AgentSession, SendsOneCommandPerStateWhilePlaying)
{
    fixBasePosition();
    for (const char* mode : {"play on", "play on", "play on", "warn ending", "play on"}) {
        WorldScene scene;
        scene.playMode = mode;
        const auto commands = exchange(scene);
        ASSERT_EQ(commands.size(), 1u) << mode;
        EXPECT_EQ(commands[0].rfind("<command>", 0), 0u) << commands[0];
        std::this_thread::sleep_for(kCyclePause);
    }
    endMatch();
    EXPECT_NE(result.err.find("A1: minha atual posicao eh "), std::string::npos);
}

TEST_F(AgentSession, RecoversOnAScheduleWhileLostEvenWhenNotPlaying)
{
    fixBasePosition();
    WorldScene play;
    const auto played = exchange(play);
    ASSERT_EQ(played.size(), 1u);

    WorldScene lost;
    lost.robotFound = false;
    lost.playMode = "before kick off";
    // The agent's lost time for a state lies between bounds taken from our
    // own send and receive moments, so the checks hold however slow the machine.
    int repeats = 0;
    int leftTurns = 0;
    int randomMoves = 0;
    bool first = true;
    Clock::time_point firstSent;
    Clock::time_point firstAnswered;
    for (double upper = 0.0; upper < 1.8;) {
        const auto sent = Clock::now();
        const auto commands = exchange(lost);
        const auto answered = Clock::now();
        ASSERT_EQ(commands.size(), 1u) << "one recovery command per state";
        if (first) {
            first = false;
            firstSent = sent;
            firstAnswered = answered;
        }
        const double lower = std::chrono::duration<double>(sent - firstAnswered).count();
        upper = std::chrono::duration<double>(answered - firstSent).count();
        const std::string& c = commands[0];
        if (upper < 0.6) {
            EXPECT_EQ(c, played[0]) << "the last command is repeated at first";
            ++repeats;
        } else if (lower >= 0.6 && upper < 1.1) {
            EXPECT_NE(c.find(kSlowLeft), std::string::npos) << "between " << lower << " and " << upper << " s: " << c;
            ++leftTurns;
        } else if (lower >= 1.1) {
            EXPECT_TRUE(isRecoveryMove(c)) << "between " << lower << " and " << upper << " s: " << c;
            ++randomMoves;
        }
        std::this_thread::sleep_for(kCyclePause);
    }
    EXPECT_GT(repeats, 0);
    EXPECT_GT(leftTurns, 0);
    EXPECT_GT(randomMoves, 0);

    // Found again: the reset is logged and the robot plays again.
    const auto again = exchange(play);
    EXPECT_EQ(again.size(), 1u);
    endMatch();
    EXPECT_NE(result.err.find("Agent was found, lost time counter was reset after "), std::string::npos);
    EXPECT_NE(result.err.find("Agent perfoming random action -1after 1.1s not found by camera"), std::string::npos);
    if (::testing::Test::HasFailure()) {
        std::cerr << result.err;
    }
}

TEST_F(AgentSession, SurvivesACycleThatCannotPlaceTheRobot)
{
    const std::string line = "Client A1 exception: loop principal:Logic error in flag request\n";
    WorldScene noCorner;
    noCorner.playMode = "before kick off";
    noCorner.missingFlags = {"bottom_left_corner"};
    // Fails while fixing the base position: reported, and the wait goes on.
    EXPECT_TRUE(exchangeSilently(noCorner).empty());
    ASSERT_TRUE(waitFor(line, 1, true));
    fixBasePosition();

    // Fails while playing: reported, nothing sent, and the next state is played.
    noCorner.playMode = "play on";
    EXPECT_TRUE(exchangeSilently(noCorner).empty());
    ASSERT_TRUE(waitFor(line, 2, true));
    WorldScene play;
    EXPECT_EQ(exchange(play).size(), 1u);
    endMatch();
}

TEST(AgentSourceFilter, AnswersFromAnotherHostNeedTheSetting)
{
    for (const bool acceptAnySource : {false, true}) {
        TestServer server;
        TestServer elsewhere("127.0.0.2");
        ScratchDir dir;
        writeAgentFiles(dir, server.port(), acceptAnySource ? "TRIES=300\nACCEPT_ANY_SOURCE=YES\n" : "TRIES=300\n");
        ChildProcess agent(AGENT_BINARY, {}, dir);
        ASSERT_TRUE(server.receive(kReplyWaitMs * 5).has_value()) << "no connect request";
        elsewhere.sendAs(server, "<connect>true</connect>");
        elsewhere.sendAs(server, kServerConnect);
        const auto reply = server.receive(kReplyWaitMs);
        if (acceptAnySource) {
            ASSERT_TRUE(reply.has_value());
            EXPECT_EQ(*reply, "<connect>true</connect>");
        } else {
            EXPECT_FALSE(reply.has_value()) << *reply;
            EXPECT_EQ(agent.wait(5).status, 255);
        }
    }
}
