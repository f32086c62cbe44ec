#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "geometry/BasicUtils.h"
#include "protocol/Command.h"

namespace {

std::string wire(Command& command)
{
    std::ostringstream out;
    XMLSerializer::writeNestedNode(&out, command, 0);
    return out.str();
}

TEST(CommandWrite, WheelVelocitiesPutTheRightWheelFirst)
{
    Command command;
    command.setVelocity(10.0f, -10.0f);
    EXPECT_EQ(wire(command), "<command><wheel_velocities><right>-10</right><left>10</left></wheel_velocities></command>");
    command.setVelocity(-100.0f / 3.0f, 12.5f);
    EXPECT_EQ(wire(command),
              "<command><wheel_velocities><right>12.5</right><left>-33.3333</left></wheel_velocities></command>");
    EXPECT_FLOAT_EQ(command.leftVelocity(), -100.0f / 3.0f);
    EXPECT_FLOAT_EQ(command.rightVelocity(), 12.5f);
}

TEST(CommandWrite, KickCarriesDegrees)
{
    Command command;
    command.setKick(kPi / 2.0, 80.0);
    EXPECT_EQ(wire(command), "<command><kick><angle>90</angle><force>80</force></kick></command>");
}

TEST(CommandWrite, SteeringGoal)
{
    Command command;
    command.setSteeringCommand(1500u, -30);
    EXPECT_EQ(wire(command), "<command><goto><dist>1500</dist><angle>-30</angle></goto></command>");
}

TEST(CommandWrite, UnsetCommandWritesNoLeaves)
{
    Command command;
    EXPECT_EQ(command.kind(), kNoCommand);
    std::ostringstream body;
    EXPECT_FALSE(command.mCommandType.write(&body, 0));
    EXPECT_EQ(body.str(), "");
    // The nameless body is left out rather than written as malformed tags.
    EXPECT_EQ(wire(command), "<command></command>");
}

TEST(CommandWrite, LastSetterDecidesWhatIsWritten)
{
    Command command;
    command.setKick(0.0, 50.0);
    command.setVelocity(1.0f, 2.0f);
    EXPECT_EQ(wire(command), "<command><wheel_velocities><right>2</right><left>1</left></wheel_velocities></command>");
    // The kick values stay behind, unwritten.
    EXPECT_FLOAT_EQ(command.mCommandType.mStrength, 50.0f);
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
    int iAngle;
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
    body.mCommandName = "kept";
    EXPECT_EQ(body.read(parse(c.body)), c.matches);
    EXPECT_FLOAT_EQ(body.mRightVelocity, c.right);
    EXPECT_FLOAT_EQ(body.mLeftVelocity, c.left);
    EXPECT_FLOAT_EQ(body.mdAngle, c.angle);
    EXPECT_FLOAT_EQ(body.mStrength, c.force);
    EXPECT_EQ(body.mDist, c.dist);
    EXPECT_EQ(body.miAngle, c.iAngle);
    EXPECT_EQ(body.mCommandName, "kept");
    EXPECT_EQ(body.mCommandEnum, kNoCommand);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, CommandEchoTest,
    ::testing::Values(
        EchoCase{"<wheel_velocity><right>20</right><left>-5.5</left></wheel_velocity>", true, 20, -5.5f, 0, 0, 0, 0},
        EchoCase{"<x><left>20</left><right>10</right></x>", false, 0, 0, 0, 0, 0, 0},
        EchoCase{"<kick><angle>45.5</angle><force>80</force><right>1</right></kick>", true, 0, 0, 45.5f, 80, 0, 0},
        EchoCase{"<goto><dist>1200</dist><angle>-30</angle></goto>", true, 0, 0, 0, 0, 1200, -30},
        EchoCase{"<goto><dist>-5</dist><angle>7</angle></goto>", true, 0, 0, 0, 0, 0, 7},
        EchoCase{"<goto><other/><dist>1</dist><angle>2</angle></goto>", false, 0, 0, 0, 0, 0, 0},
        EchoCase{"<kick><angle>1</angle></kick>", false, 0, 0, 0, 0, 0, 0},
        EchoCase{"<kick/>", false, 0, 0, 0, 0, 0, 0}));

TEST(CommandRead, HandsANestedFirstChildToTheBody)
{
    Command command;
    EXPECT_TRUE(command.read(parse("<command><kick><angle>10</angle><force>3</force></kick></command>")));
    EXPECT_FLOAT_EQ(command.mCommandType.mdAngle, 10.0f);
    EXPECT_TRUE(command.read(parse("<command><kick><bad/></kick></command>")));
    EXPECT_FALSE(command.read(parse("<command><right>1</right></command>")));
    EXPECT_FALSE(command.read(parse("<command/>")));
}

TEST(CommandRead, WrittenCommandReadsBack)
{
    Command sent;
    sent.setVelocity(-7.25f, 31.5f);
    Command echoed;
    EXPECT_TRUE(echoed.read(parse(wire(sent))));
    EXPECT_FLOAT_EQ(echoed.leftVelocity(), -7.25f);
    EXPECT_FLOAT_EQ(echoed.rightVelocity(), 31.5f);
}

}  // namespace
