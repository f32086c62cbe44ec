#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/BasicUtils.h"
#include "protocol/Command.h"

namespace {

std::string wire(Command& command)
{
    std::ostringstream out;
    XMLSerializer::writeNestedNode(&out, command, 0);
    return out.str();
}

TEST(CommandWrite, WireFormsOfEachKind)
{
    Command command;
    command.setVelocity(10.0f, -10.0f);
    EXPECT_EQ(wire(command), "<command><wheel_velocities><right>-10</right><left>10</left></wheel_velocities></command>");
    command.setKick(kPi / 2.0, 80.0);
    EXPECT_EQ(wire(command), "<command><kick><angle>90</angle><force>80</force></kick></command>");
    command.setSteeringCommand(1500u, -30);
    EXPECT_EQ(wire(command), "<command><goto><dist>1500</dist><angle>-30</angle></goto></command>");
    command.setVelocity(-100.0f / 3.0f, 12.5f);
    EXPECT_EQ(wire(command),
              "<command><wheel_velocities><right>12.5</right><left>-33.3333</left></wheel_velocities></command>");
    EXPECT_FLOAT_EQ(command.mCommandType.mStrength, 80.0f);
}

TEST(CommandWrite, UnsetCommandWritesNoBody)
{
    Command command;
    std::ostringstream body;
    EXPECT_FALSE(command.mCommandType.write(&body, 0));
    EXPECT_EQ(body.str(), "");
    EXPECT_EQ(wire(command), "<command></command>");
}

XMLItem parse(const std::string& text)
{
    return XMLSerializer::documentToRoot(text.data(), text.size());
}

struct EchoCase {
    const char* body;
    bool matches;
    float right, left, angle, force;
    unsigned int dist;
};

void PrintTo(const EchoCase& c, std::ostream* os)
{
    *os << '"' << c.body << '"';
}

class CommandEchoTest : public ::testing::TestWithParam<EchoCase> {};

TEST_P(CommandEchoTest, ReadsOnlyTheFirstTwoChildrenAsAPair)
{
    const EchoCase& c = GetParam();
    CommandType body;
    EXPECT_EQ(body.read(parse(c.body)), c.matches);
    EXPECT_FLOAT_EQ(body.mRightVelocity, c.right);
    EXPECT_FLOAT_EQ(body.mLeftVelocity, c.left);
    EXPECT_FLOAT_EQ(body.mdAngle, c.angle);
    EXPECT_FLOAT_EQ(body.mStrength, c.force);
    EXPECT_EQ(body.mDist, c.dist);
    EXPECT_EQ(body.mCommandEnum, kNoCommand);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, CommandEchoTest,
    ::testing::Values(EchoCase{"<w><right>20</right><left>-5.5</left></w>", true, 20, -5.5f, 0, 0, 0},
                      EchoCase{"<w><left>20</left><right>10</right></w>", false, 0, 0, 0, 0, 0},
                      EchoCase{"<k><angle>45.5</angle><force>80</force><x/></k>", true, 0, 0, 45.5f, 80, 0},
                      EchoCase{"<g><dist>1200</dist><angle>-30</angle></g>", true, 0, 0, 0, 0, 1200},
                      EchoCase{"<g><dist>-5</dist><angle>7</angle></g>", true, 0, 0, 0, 0, 0},
                      EchoCase{"<g><x/><dist>1</dist><angle>2</angle></g>", false, 0, 0, 0, 0, 0},
                      EchoCase{"<k><angle>1</angle></k>", false, 0, 0, 0, 0, 0}));

TEST(CommandRead, WrittenCommandReadsBackThroughANestedFirstChild)
{
    Command sent;
    sent.setVelocity(-7.25f, 31.5f);
    Command echoed;
    EXPECT_TRUE(echoed.read(parse(wire(sent))));
    EXPECT_FLOAT_EQ(echoed.leftVelocity(), -7.25f);
    EXPECT_FLOAT_EQ(echoed.rightVelocity(), 31.5f);
    EXPECT_FALSE(echoed.read(parse("<command><right>1</right></command>")));
    EXPECT_FALSE(echoed.read(parse("<command/>")));
}

}  // namespace

// The per-cycle text must equal what the stream writer produces, for every kind.
TEST(CommandDatagramText, MatchesTheStreamWriter)
{
    struct Case {
        const char* name;
        std::function<void(Command&)> set;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<Case> cases = {
        {"unset", [](Command&) {}},
        {"wheels", [](Command& c) { c.setVelocity(-33.333333f, 12.5f); }},
        {"wheels whole", [](Command& c) { c.setVelocity(130.0f, -26.5f); }},
        {"wheels tiny", [](Command& c) { c.setVelocity(1e-7f, -0.0f); }},
        {"wheels huge", [](Command& c) { c.setVelocity(123456789.0f, 3.4e38f); }},
        {"wheels inf", [inf](Command& c) { c.setVelocity(inf, -inf); }},
        {"kick", [](Command& c) { c.setKick(-1.2345678, 0.75); }},
        {"goto", [](Command& c) { c.setSteeringCommand(4294967295u, -2147483647 - 1); }},
        {"nameless body", [](Command& c) { c.setVelocity(1, 2); c.mCommandType.mCommandName.clear(); }},
        {"unknown kind", [](Command& c) { c.setKick(1, 2); c.mCommandType.mCommandEnum = kNoCommand; }},
    };
    for (const Case& c : cases) {
        Command command;
        c.set(command);
        std::ostringstream stream;
        XMLSerializer::writeNestedNode(&stream, command, 0);
        std::string text = "stale";
        command.toDatagramText(text);
        EXPECT_EQ(text, stream.str()) << c.name;
    }
}
