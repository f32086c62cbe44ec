// updateAll against a real UDP link on the loopback interface: the newest
// waiting world state is the one read.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "net/Connection.h"
#include "support/WorldFixture.h"

namespace {

// A stand-in server socket on an ephemeral loopback port.
class FakeServer {
public:
    FakeServer()
    {
        mSocket = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        bind(mSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        getsockname(mSocket, reinterpret_cast<sockaddr*>(&addr), &len);
        mPort = ntohs(addr.sin_port);
        timeval timeout{2, 0};
        setsockopt(mSocket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    ~FakeServer() { close(mSocket); }

    int port() const { return mPort; }

    /// Waits for one datagram from the agent and remembers where it came from.
    bool awaitAgent()
    {
        char buffer[256];
        socklen_t len = sizeof mAgent;
        return recvfrom(mSocket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&mAgent), &len) >= 0;
    }

    void sendToAgent(const std::string& text)
    {
        sendto(mSocket, text.data(), text.size() + 1, 0, reinterpret_cast<sockaddr*>(&mAgent), sizeof mAgent);
    }

private:
    int mSocket = -1;
    int mPort = 0;
    sockaddr_in mAgent{};
};

TEST(UpdateLoopbackTest, ReadsTheNewestWaitingWorldState)
{
    ScratchWorkDir dir;
    FakeServer server;
    Connection link;
    ASSERT_TRUE(link.Init("127.0.0.1", server.port()));
    link.Send("<hello/>");
    ASSERT_TRUE(server.awaitAgent());

    Properties settings = worldSettings(TEAM_YELLOW);
    settings.setProperty("TRIES", "50");
    settings.setProperty("SLEEP", "2000");
    WorldData world(settings);
    world.setConnection(&link);

    Scene s;
    s.myId = 3;
    server.sendToAgent(buildWorldState(s));
    s.myId = 4;
    s.playMode = "warn ending";
    server.sendToAgent(buildWorldState(s));
    usleep(50000);

    ASSERT_TRUE(world.updateAll());
    EXPECT_EQ(world.pv_my_id(), 4);
    EXPECT_EQ(world.mrPlayMode(), "warn ending");

    settings.setProperty("TRIES", "2");
    WorldData silencioso(settings);
    silencioso.setConnection(&link);
    EXPECT_FALSE(silencioso.updateAll());
}

}  // namespace
