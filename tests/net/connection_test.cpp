#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "UdpPeer.h"
#include "net/Connection.h"

namespace {

constexpr int kSilenceMs = 100;
constexpr int kPortWrap = 65536;

// A connection opened on a loopback peer that already knows the agent's address.
class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(conn.Init("127.0.0.1", server.port()));
        ASSERT_TRUE(conn.sendConnectionRequest("hello"));
        ASSERT_EQ(server.receive(), "hello");
    }

    UdpPeer server;
    Connection conn;
};

TEST_F(ConnectionTest, ReceiveKeepsTheNewestDatagram)
{
    for (const char* text : {"one", "two", "three"}) {
        server.reply(text);
    }
    EXPECT_TRUE(conn.Receive());
    EXPECT_EQ(conn.getData(), "three");
    EXPECT_FALSE(conn.Receive());
}

TEST_F(ConnectionTest, ReceiveOneTakesDatagramsOldestFirst)
{
    for (const char* text : {"one", "two", "three"}) {
        server.reply(text);
    }
    for (const char* text : {"one", "two", "three"}) {
        ASSERT_TRUE(conn.ReceiveOne());
        EXPECT_EQ(conn.getData(), text);
    }
    EXPECT_FALSE(conn.ReceiveOne());
}

TEST_F(ConnectionTest, EmptyPollKeepsThePreviousDatagram)
{
    server.reply("kept");
    ASSERT_TRUE(conn.Receive());
    EXPECT_FALSE(conn.Receive());
    EXPECT_FALSE(conn.ReceiveOne());
    EXPECT_EQ(conn.getData(), "kept");
    EXPECT_EQ(std::string(conn.data(), conn.size()), "kept");
}

TEST_F(ConnectionTest, DatagramIsTakenWholeIncludingZeroBytes)
{
    server.reply(std::string("ab\0", 3));
    ASSERT_TRUE(conn.ReceiveOne());
    EXPECT_EQ(conn.getData(), std::string("ab\0", 3));
    server.reply("");
    ASSERT_TRUE(conn.ReceiveOne());
    EXPECT_EQ(conn.getData(), "");
}

struct FramingCase {
    const char* name;
    std::function<bool(Connection&)> send;
    std::string wire;
};

TEST_F(ConnectionTest, FramingOfEachSender)
{
    const FramingCase cases[] = {
        {"Send", [](Connection& c) { return c.Send("abc"); }, std::string("abc\0", 4)},
        {"request", [](Connection& c) { return c.sendConnectionRequest("abc"); }, "abc"},
        {"accept", [](Connection& c) { return c.sendConnectionResponse(true); },
         "<connect>true</connect>"},
        {"refuse", [](Connection& c) { return c.sendConnectionResponse(false); },
         "<connect>false</connect>"},
    };
    for (const FramingCase& c : cases) {
        EXPECT_TRUE(c.send(conn)) << c.name;
        EXPECT_EQ(server.receive(), c.wire) << c.name;
    }
}

TEST_F(ConnectionTest, LongestMessageFitsAndOneMoreIsRefused)
{
    const std::string longest(Connection::kMaxMessageLength, 'x');
    ASSERT_TRUE(conn.Send(longest));
    EXPECT_EQ(server.receive()->size(), Connection::kMaxMessageLength + 1);
    ASSERT_TRUE(conn.sendConnectionRequest(longest));
    EXPECT_EQ(server.receive()->size(), Connection::kMaxMessageLength);

    const std::string tooLong = longest + "y";
    for (const auto& send : {std::function<bool()>([&] { return conn.Send(tooLong); }),
                             std::function<bool()>([&] { return conn.sendConnectionRequest(tooLong); })}) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(send());
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("16384"), std::string::npos) << err;
        EXPECT_EQ(err.back(), '\n');
        EXPECT_FALSE(server.receive(kSilenceMs).has_value());
    }
}

TEST_F(ConnectionTest, ForeignHostIsDroppedUnlessAnySourceIsAccepted)
{
    UdpPeer stranger("127.0.0.2");
    server.reply("mine");
    ASSERT_TRUE(conn.Receive());

    stranger.replyAs(server, "steer");
    EXPECT_FALSE(conn.Receive());
    stranger.replyAs(server, "steer");
    EXPECT_FALSE(conn.ReceiveOne());
    EXPECT_EQ(conn.getData(), "mine");

    // A foreign datagram ahead of the server's does not hide it.
    stranger.replyAs(server, "steer");
    server.reply("second");
    ASSERT_TRUE(conn.ReceiveOne());
    EXPECT_EQ(conn.getData(), "second");

    conn.setAcceptAnySource(true);
    stranger.replyAs(server, "steer");
    ASSERT_TRUE(conn.Receive());
    EXPECT_EQ(conn.getData(), "steer");
}

TEST(ConnectionInit, PortIsReducedToItsLow16Bits)
{
    UdpPeer server;
    Connection conn;
    ASSERT_TRUE(conn.Init("127.0.0.1", server.port() + kPortWrap));
    ASSERT_TRUE(conn.Send("x"));
    EXPECT_EQ(server.receive(), std::string("x\0", 2));
}

TEST(ConnectionInit, UnresolvableHostIsReportedWithThePortAsGiven)
{
    Connection conn;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(conn.Init("no-such-host.invalid", 70000));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("SDLNet_ResolveHost(no-such-host.invalid,70000) ", 0), 0u) << err;
    EXPECT_TRUE(err.empty() || err.back() != '\n') << err;
    EXPECT_FALSE(conn.isOpen());
    EXPECT_FALSE(conn.Send("x"));
}

TEST(ConnectionInit, UnopenedOrClosedConnectionIsInert)
{
    UdpPeer server;
    Connection opened;
    ASSERT_TRUE(opened.Init("127.0.0.1", server.port()));
    opened.Close();
    Connection neverOpened;
    for (Connection* conn : {&neverOpened, &opened}) {
        EXPECT_FALSE(conn->isOpen());
        EXPECT_FALSE(conn->Send("x"));
        EXPECT_FALSE(conn->sendConnectionRequest("x"));
        EXPECT_FALSE(conn->sendConnectionResponse(true));
        EXPECT_FALSE(conn->Receive());
        EXPECT_FALSE(conn->ReceiveOne());
        EXPECT_EQ(conn->getData(), "");
        EXPECT_EQ(conn->size(), 0u);
    }
    EXPECT_FALSE(server.receive(kSilenceMs).has_value());
}

}  // namespace
