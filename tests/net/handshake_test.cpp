#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "UdpPeer.h"
#include "agent/Client.h"
#include "net/ClientConnector.h"

namespace {

constexpr int kSilenceMs = 100;
constexpr const char* kSleepMicros = "1000";
constexpr const char* kAccept = "<connect>true</connect>";
constexpr const char* kRefuse = "<connect>false</connect>";
constexpr const char* kServerConnect =
    "<connect><type>Server</type><protocol_version>1.0</protocol_version>"
    "<movement_mode>wheels</movement_mode></connect>";
constexpr const char* kServerConnectReordered =
    "<connect><protocol_version>1.0</protocol_version><type>Server</type>"
    "<movement_mode>wheels</movement_mode></connect>";

Client makeClient(int tries, const std::string& nick = "r3")
{
    Properties props;
    props.setProperty("VERSION", "1.0");
    props.setProperty("SLEEP", kSleepMicros);
    props.setProperty("TRIES", std::to_string(tries));
    props.setProperty("TEAM", "1");
    props.setProperty("VT_ID", "4");
    props.setProperty("RC_ID", "3");
    props.setProperty("NICK_NAME", nick);
    return Client(props);
}

// A connector on a loopback server; the connector's connection is freed here,
// since in the program it lives until the process ends.
class HandshakeTest : public ::testing::Test {
protected:
    HandshakeTest() : connector("127.0.0.1", server.port()), owned(connector.getConnection()) {}

    // Lets the server learn the agent's address and queues `datagrams` before the
    // handshake starts, so the polls see them without any timing dependence.
    void queue(const std::vector<std::string>& datagrams)
    {
        ASSERT_TRUE(connector.getConnection()->sendConnectionRequest("probe"));
        ASSERT_EQ(server.receive(), "probe");
        for (const std::string& d : datagrams) {
            server.reply(d);
        }
    }

    UdpPeer server;
    ClientConnector connector;
    std::unique_ptr<Connection> owned;
};

struct ExchangeCase {
    const char* name;
    std::vector<std::string> datagrams;
    int tries;
    bool connected;
    std::optional<std::string> reply;
    std::string stdoutText;
};

class HandshakeExchangeTest : public HandshakeTest,
                              public ::testing::WithParamInterface<ExchangeCase> {};

TEST_P(HandshakeExchangeTest, ResultReplyAndReport)
{
    const ExchangeCase& c = GetParam();
    queue(c.datagrams);
    Client client = makeClient(c.tries);

    testing::internal::CaptureStdout();
    const bool connected = connector.ConnectToServer(client);
    const std::string out = testing::internal::GetCapturedStdout();

    EXPECT_EQ(connected, c.connected);
    EXPECT_EQ(server.receive(), connector.generateMsgConnectServer(client));
    EXPECT_EQ(server.receive(kSilenceMs), c.reply);
    EXPECT_EQ(out, c.stdoutText);
}

const std::string kAcceptSeen = std::string(" Message received: ") + kAccept + "\n";
const std::string kRefusalSeen = std::string(" Message received: ") + kRefuse +
                                 "\nConnection refused by the Soccer Server\nInvalid message received\n";

INSTANTIATE_TEST_SUITE_P(
    Exchanges, HandshakeExchangeTest,
    ::testing::Values(
        ExchangeCase{"acceptedThenConnect", {kAccept, kServerConnect}, 1, true, kAccept, kAcceptSeen},
        ExchangeCase{"childrenInWrongOrderStillConnects",
                     {kAccept, kServerConnectReordered}, 1, true, kRefuse, kAcceptSeen},
        ExchangeCase{"refusalUsesOneTry", {kRefuse, kAccept, kServerConnect}, 2, true, kAccept,
                     kRefusalSeen + kAcceptSeen},
        ExchangeCase{"refusalUsesTheOnlyTry", {kRefuse, kAccept, kServerConnect}, 1, false,
                     std::nullopt, kRefusalSeen},
        ExchangeCase{"connectBeforeAcceptanceIsCorrupt", {kServerConnect, kAccept, kServerConnect}, 2,
                     true, kAccept,
                     std::string(" Message received: ") + kServerConnect +
                         "\nConnection error: answer message corrupted.\nInvalid message received\n" +
                         kAcceptSeen},
        ExchangeCase{"capitalTrueIsNoAcceptance", {"<connect>TRUE</connect>", kAccept}, 1, false,
                     std::nullopt,
                     " Message received: <connect>TRUE</connect>\nInvalid message received\n"},
        ExchangeCase{"emptyAnswer", {"", kAccept, kServerConnect}, 2, true, kAccept,
                     " Message received: \nConnection answer is empty!! Something is wrong with the "
                     "client.\n" + kAcceptSeen},
        ExchangeCase{"garbageAnswer", {"<connect", kAccept, kServerConnect}, 2, true, kAccept,
                     " Message received: <connect\nConnection error: answer message corrupted.\n"
                     "Invalid message received\n" + kAcceptSeen},
        ExchangeCase{"zeroTriesNeverReceives", {kAccept, kServerConnect}, 0, false, std::nullopt, ""},
        ExchangeCase{"silentServer", {}, 3, false, std::nullopt, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HandshakeTest, AnswersAServerThatRepliesToTheRequest)
{
    std::optional<std::string> request;
    std::optional<std::string> reply;
    std::thread scripted([&] {
        request = server.receive();
        server.reply(kAccept);
        server.reply(kServerConnect);
        reply = server.receive();
    });
    Client client = makeClient(2000);
    testing::internal::CaptureStdout();
    const bool connected = connector.ConnectToServer(client);
    testing::internal::GetCapturedStdout();
    scripted.join();

    EXPECT_TRUE(connected);
    EXPECT_EQ(request, connector.generateMsgConnectServer(client));
    EXPECT_EQ(reply, kAccept);
}

TEST_F(HandshakeTest, UnresolvedServerRunsOutOfTries)
{
    testing::internal::CaptureStderr();
    ClientConnector unresolved("no-such-host.invalid", 4464);
    testing::internal::GetCapturedStderr();
    std::unique_ptr<Connection> freed(unresolved.getConnection());
    Client client = makeClient(3);
    EXPECT_FALSE(unresolved.ConnectToServer(client));
}

TEST(ConnectRequest, ExactText)
{
    ClientConnector connector("127.0.0.1", 4464);
    std::unique_ptr<Connection> owned(connector.getConnection());

    Client named = makeClient(1);
    EXPECT_EQ(connector.generateMsgConnectServer(named),
              "<connect><type>Client</type><protocol_version>1.0</protocol_version>"
              "<nickname>r3</nickname><rc_id>3</rc_id><vt_id>4</vt_id></connect>");
    Client unnamed = makeClient(1, "");
    EXPECT_EQ(connector.generateMsgConnectServer(unnamed),
              "<connect><type>Client</type><protocol_version>1.0</protocol_version>"
              "<nickname/><rc_id>3</rc_id><vt_id>4</vt_id></connect>");
}

}  // namespace
