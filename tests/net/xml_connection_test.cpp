#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "net/XmlConnection.h"
#include "xml/XMLSerializer.h"

namespace {

XMLItem parse(const std::string& text)
{
    return XMLSerializer::documentToRoot(text.data(), text.size());
}

template <typename Message>
std::string writeNested(Message& message, unsigned int indent = 0)
{
    std::ostringstream out;
    XMLSerializer::writeNestedNode(&out, message, indent);
    return out.str();
}

TEST(ClientToServerConnect, ReadsWhatItWrites)
{
    ClientToServerConnect written;
    written.mType = "Client";
    written.mProtocolVersion = "1.0";
    written.mNickName = "GO";
    written.mRcId = 7;
    written.mVtId = -2;

    for (unsigned int indent : {0u, 1u}) {
        ClientToServerConnect read;
        ASSERT_TRUE(read.read(parse(writeNested(written, indent)))) << indent;
        EXPECT_EQ(read.mType, "Client");
        EXPECT_EQ(read.mProtocolVersion, "1.0");
        EXPECT_EQ(read.mNickName, "GO");
        EXPECT_EQ(read.mRcId, 7);
        EXPECT_EQ(read.mVtId, -2);
    }
}

TEST(ClientToServerConnect, RefusesOtherChildrenAndKeepsItsFields)
{
    for (const char* text :
         {"<connect><type>Client</type><protocol_version>1.0</protocol_version><rc_id>3</rc_id>"
          "<vt_id>4</vt_id></connect>",
          "<connect><type>Client</type><protocol_version>1.0</protocol_version><nickname>x</nickname>"
          "<vt_id>4</vt_id><rc_id>3</rc_id></connect>",
          "<connect>true</connect>", "<connect"}) {
        ClientToServerConnect message;
        message.mNickName = "kept";
        EXPECT_FALSE(message.read(parse(text))) << text;
        EXPECT_EQ(message.mNickName, "kept") << text;
    }
}

struct ServerConnectCase {
    const char* name;
    const char* text;
    bool accepted;
};

class ServerToClientConnectRead : public ::testing::TestWithParam<ServerConnectCase> {};

TEST_P(ServerToClientConnectRead, AcceptsOnlyTheThreeLeadingChildrenInOrder)
{
    const ServerConnectCase& c = GetParam();
    ServerToClientConnect message;
    EXPECT_EQ(message.read(parse(c.text)), c.accepted);
    if (c.accepted) {
        EXPECT_EQ(message.mType, "Server");
        EXPECT_EQ(message.mProtocolVersion, "1.0");
        EXPECT_EQ(message.mMovementMode, "wheels");
    } else {
        EXPECT_EQ(message.mType, "");
        EXPECT_EQ(message.mMovementMode, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ServerToClientConnectRead,
    ::testing::Values(
        ServerConnectCase{"exact",
                          "<connect><type>Server</type><protocol_version>1.0</protocol_version>"
                          "<movement_mode>wheels</movement_mode></connect>",
                          true},
        ServerConnectCase{"otherRootAndMoreChildren",
                          "<hello><type>Server</type><protocol_version>1.0</protocol_version>"
                          "<movement_mode>wheels</movement_mode><extra/></hello>",
                          true},
        ServerConnectCase{"wrongOrder",
                          "<connect><protocol_version>1.0</protocol_version><type>Server</type>"
                          "<movement_mode>wheels</movement_mode></connect>",
                          false},
        ServerConnectCase{"tooFew",
                          "<connect><type>Server</type><protocol_version>1.0</protocol_version>"
                          "</connect>",
                          false},
        ServerConnectCase{"corrupt", "<connect><type>", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
