#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "behaviour/BasicPlayer.h"
#include "net/Connection.h"

namespace {

// A UDP socket on the loopback standing in for the server.
class LoopbackServer {
public:
    LoopbackServer()
    {
        mFd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        ::bind(mFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        ::getsockname(mFd, reinterpret_cast<sockaddr*>(&addr), &len);
        mPort = ntohs(addr.sin_port);
    }
    ~LoopbackServer() { ::close(mFd); }

    int port() const { return mPort; }

    /// The next datagram's bytes, or "<none>" after a second.
    std::string receive()
    {
        pollfd p{mFd, POLLIN, 0};
        if (::poll(&p, 1, 1000) != 1) {
            return "<none>";
        }
        char buffer[2048];
        const ssize_t n = ::recv(mFd, buffer, sizeof buffer, 0);
        return n < 0 ? "<error>" : std::string(buffer, static_cast<std::size_t>(n));
    }

private:
    int mFd = -1;
    int mPort = 0;
};

class FlushTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(connection.Init("127.0.0.1", server.port()));
        player.setConnection(&connection);
    }

    LoopbackServer server;
    Connection connection;
    BasicPlayer player{TEAM_YELLOW};
};

TEST_F(FlushTest, SendsWheelCommandRightWheelFirstWithTerminator)
{
    player.pv_set_velocity(-90, 0);
    player.pv_flush();
    const std::string expected =
        "<command><wheel_velocities><right>26.5</right><left>-88.5958</left></wheel_velocities></command>";
    EXPECT_EQ(server.receive(), expected + std::string(1, '\0'));
}

TEST_F(FlushTest, SendsKickInDegrees)
{
    player.pv_kick(kPi / 2, 0.2);
    player.pv_flush();
    const std::string expected = "<command><kick><angle>90</angle><force>0.2</force></kick></command>";
    EXPECT_EQ(server.receive(), expected + std::string(1, '\0'));
}

}  // namespace
