#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "common/ClientException.h"
#include "protocol/WorldDataApplication.h"

namespace {

const char* const kExample =
    "<worldData><time>120.5</time><agent_id>3</agent_id><status>found</status><max_agent>10</max_agent>"
    "<playMode>play on</playMode><nickname>r3</nickname><ball><dist>850</dist><angle>-12.5</angle></ball>"
    "<teamMate><id>2</id><nickname>r2</nickname><status>found</status><dist>1200</dist><angle>45</angle>"
    "<orientation>90</orientation></teamMate><flag><id>top_left_pole</id><dist>2300.5</dist><angle>130</angle>"
    "</flag><score><yellow>0</yellow><blue>1</blue></score><wheel_velocity><right>20</right><left>20</left>"
    "</wheel_velocity></worldData>";

const char* const kReadError = "Some error occurred while trying to read message received by server.\n";

struct Read {
    WorldDataApplication world;
    bool ok;
    std::string out;
};

Read readText(const std::string& text)
{
    Read r;
    const XMLItem root = XMLSerializer::documentToRoot(text.data(), text.size());
    ::testing::internal::CaptureStdout();
    r.ok = r.world.read(root);
    r.out = ::testing::internal::GetCapturedStdout();
    return r;
}

std::string doc(const std::string& children)
{
    return "<worldData>" + children + "</worldData>";
}

TEST(WorldDataRead, ExampleDocument)
{
    const Read r = readText(kExample);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.out, "");
    const WorldDataApplication& w = r.world;
    EXPECT_DOUBLE_EQ(w.mTime, 120.5);
    EXPECT_EQ(w.mMaxAgents, 10);
    EXPECT_EQ(w.mPlayMode, "play on");
    EXPECT_TRUE(w.isAgentFound());
    EXPECT_EQ(w.Me().uid(), 3);
    EXPECT_EQ(w.Me().nickname(), "r3");
    EXPECT_EQ(w.Me().position().position.length, 0.0);
    EXPECT_EQ(w.mBall.mDist, 850u);
    EXPECT_FLOAT_EQ(w.mBall.mDegAngle, -12.5f);
    EXPECT_NEAR(w.mBall.mAngle, -0.2181662, 1e-6);
    const Agent mate = w.getAgent(2);
    EXPECT_EQ(mate.nickname(), "r2");
    EXPECT_EQ(mate.position().position.length, 1200.0);
    EXPECT_NEAR(mate.position().position.angle, kPi / 4, 1e-9);
    EXPECT_EQ(mate.position().orientation, 1);
    EXPECT_TRUE(w.Opponents().empty());
    const Flag& pole = w.getFlag("top_left_pole");
    EXPECT_EQ(pole.mDist, 2300u);
    const vector_t v = w.getVector(pole);
    EXPECT_EQ(v.length, 2300.0);
    EXPECT_NEAR(v.angle, 130.0 * kPi / 180.0, 1e-6);
    EXPECT_EQ(w.mScore.mYellow, 0);
    EXPECT_EQ(w.mScore.mBlue, 1);
    EXPECT_FLOAT_EQ(w.mLastCommand.mRightVelocity, 20.0f);
    EXPECT_FLOAT_EQ(w.mLastCommand.mLeftVelocity, 20.0f);
}

TEST(WorldDataRead, MissingElementsKeepInitialValues)
{
    const Read r = readText(doc("<status>found</status><agent_id>4</agent_id>"));
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.world.Me().found());
    EXPECT_EQ(r.world.Me().uid(), 4);
    EXPECT_EQ(r.world.Me().position().position.angle, 0.0);
    EXPECT_TRUE(r.world.All().empty());
    EXPECT_TRUE(r.world.mFlags.empty());
    EXPECT_EQ(r.world.mScore.mYellow, -1);
    EXPECT_EQ(r.world.mScore.mBlue, -1);
    EXPECT_EQ(r.world.mLastCommand.mCommandEnum, kNoCommand);
}

class StatusTest : public ::testing::TestWithParam<const char*> {};

TEST_P(StatusTest, OnlyTheExactWordFoundMeansSeen)
{
    const std::string status = GetParam();
    const Read r = readText(doc(status + "<teamMate><id>1</id>" + status + "<dist>5</dist></teamMate>"));
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.world.isAgentFound());
    EXPECT_FALSE(r.world.Me().found());
    const AgentList mates = r.world.Teammates();
    ASSERT_EQ(mates.size(), 1u);
    EXPECT_FALSE(mates[0].found());
    EXPECT_FALSE(r.world.isAgentFound(1));
}

INSTANTIATE_TEST_SUITE_P(Texts, StatusTest,
                         ::testing::Values("<status>lost</status>", "<status/>", "<status>Found</status>",
                                           "<status> found</status>", "<status>found2</status>"));

TEST(WorldDataRead, RobotWithoutStatusCountsAsSeen)
{
    const Read r = readText(doc("<opponent><id>9</id><dist>300</dist></opponent><opponent><nickname>x</nickname>"
                                "<dist>1</dist></opponent>"));
    ASSERT_TRUE(r.ok);
    const AgentList opponents = r.world.Opponents();
    ASSERT_EQ(opponents.size(), 2u);
    EXPECT_TRUE(opponents[0].found());
    EXPECT_EQ(opponents[0].side(), side_OPPONENT);
    EXPECT_EQ(opponents[1].uid(), -1);
    EXPECT_EQ(opponents[1].nickname(), "x");
    EXPECT_EQ(r.world.getAgent(9).position().position.length, 300.0);
}

struct OrientationCase {
    const char* degrees;
    int expected;
};

class OrientationTest : public ::testing::TestWithParam<OrientationCase> {};

TEST_P(OrientationTest, BecomesWholeRadiansTowardZero)
{
    const Read r = readText(doc(std::string("<teamMate><id>1</id><orientation>") + GetParam().degrees +
                                "</orientation></teamMate>"));
    EXPECT_EQ(r.world.getAgent(1).position().orientation, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Degrees, OrientationTest,
                         ::testing::Values(OrientationCase{"90", 1}, OrientationCase{"359", 6},
                                           OrientationCase{"-90", -1}, OrientationCase{"57", 0},
                                           OrientationCase{"-180", -3}, OrientationCase{"junk", 0}));

TEST(WorldDataRead, UnknownLeafAbortsAndLeavesMeUnfound)
{
    const Read r = readText(doc("<status>found</status><time>7</time><bogus>1</bogus><max_agent>4</max_agent>"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.out, kReadError);
    EXPECT_DOUBLE_EQ(r.world.mTime, 7.0);
    EXPECT_EQ(r.world.mMaxAgents, 0);
    EXPECT_FALSE(r.world.Me().found());
    EXPECT_EQ(r.world.Me().uid(), -1);
}

TEST(WorldDataRead, KindDecidesDispatch)
{
    const Read emptyBall = readText(doc("<ball/>"));
    EXPECT_FALSE(emptyBall.ok);
    EXPECT_EQ(emptyBall.out, kReadError);

    const Read nested = readText(doc("<time><x>1</x></time><extra><a/></extra><agent_id>2</agent_id>"));
    EXPECT_TRUE(nested.ok);
    EXPECT_EQ(nested.out, "");
    EXPECT_EQ(nested.world.mTime, 0.0);
    EXPECT_EQ(nested.world.Me().uid(), 2);
}

TEST(WorldDataRead, ScoreOrderAndRepeats)
{
    const Read r = readText(doc("<score><blue>3</blue><yellow>2</yellow></score><ball><dist>1</dist></ball>"
                                "<ball><dist>2</dist></ball><time>1</time><time>2</time>"));
    EXPECT_EQ(r.world.mScore.mBlue, 3);
    EXPECT_EQ(r.world.mScore.mYellow, 2);
    EXPECT_EQ(r.world.mBall.mDist, 2u);
    EXPECT_EQ(r.world.mTime, 2.0);
}

TEST(WorldDataRead, FlagLookups)
{
    const Read r = readText(doc("<flag><id>top_center</id><dist>1234.9</dist><angle>90</angle></flag>"
                                "<flag><id>top_center</id><dist>5</dist></flag>"
                                "<flag><id>bottom_center</id><dist>-3.5</dist><angle>nan</angle></flag>"));
    EXPECT_EQ(r.world.mFlags.size(), 3u);
    EXPECT_EQ(r.world.getFlag("top_center").mDist, 1234u);
    EXPECT_NEAR(r.world.getFlag("top_center").mAngle, 1.5707963, 1e-6);
    EXPECT_EQ(r.world.getFlag("bottom_center").mDist, 0u);
    EXPECT_EQ(r.world.getFlag("bottom_center").mAngle, 0.0f);
    try {
        (void)r.world.getFlag("middle_center");
        FAIL() << "no exception";
    } catch (const ClientException& e) {
        EXPECT_STREQ(e.what(), "Logic error in flag request");
    }
}

TEST(WorldDataRead, NumbersNeverWrapOrOverflow)
{
    const Read r = readText(doc("<ball><dist>-5</dist><angle>1e40</angle></ball>"
                                "<teamMate><id>1</id><dist>-20</dist><angle>99999999999</angle></teamMate>"
                                "<flag><id>f</id><dist>1e20</dist></flag><time>inf</time>"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.world.mBall.mDist, 0u);
    EXPECT_EQ(r.world.mBall.mAngle, 0.0f);
    EXPECT_EQ(r.world.getAgent(1).position().position.length, 0.0);
    EXPECT_EQ(r.world.getAgent(1).position().position.angle, 0.0);
    EXPECT_EQ(r.world.getFlag("f").mDist, 0u);
    EXPECT_EQ(r.world.mTime, 0.0);
}

TEST(WorldDataRead, DuplicateUidsAnswerWithTheFirst)
{
    const Read r = readText(doc("<opponent><id>4</id><nickname>a</nickname></opponent>"
                                "<teamMate><id>4</id><nickname>b</nickname></teamMate>"));
    EXPECT_EQ(r.world.getAgent(4).nickname(), "a");
    EXPECT_THROW((void)r.world.getAgent(8), ClientException);
}

TEST(WorldDataRead, ErroneousDocumentReadsNothing)
{
    const Read r = readText("<worldData><time>1");
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.world.Me().found());
    EXPECT_TRUE(r.world.All().empty());
}

TEST(WorldDataRead, SurvivesRandomAndMutatedDocuments)
{
    const std::string seed = kExample;
    const std::string pieces[] = {"<ball/>", "<flag>", "</flag>", "<teamMate>", "<opponent><id>1</id></opponent>",
                                  "<dist>-1</dist>", "<angle>1e99</angle>", "<status>found</status>", "<x><y/></x>",
                                  "&amp;", "<![CDATA[9]]>", "<orientation>-2147483648</orientation>"};
    std::mt19937 rng(7u);
    int reads = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = seed;
        const int mutations = 1 + static_cast<int>(rng() % 6);
        for (int m = 0; m < mutations; ++m) {
            const std::size_t pos = rng() % (text.size() + 1);
            switch (rng() % 3) {
            case 0:
                text.insert(pos, pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))]);
                break;
            case 1:
                if (pos < text.size()) {
                    text.erase(pos, 1 + rng() % 8);
                }
                break;
            default:
                if (pos < text.size()) {
                    text[pos] = static_cast<char>(rng() % 256);
                }
                break;
            }
        }
        const XMLItem root = XMLSerializer::documentToRoot(text.data(), text.size());
        WorldDataApplication world;
        ::testing::internal::CaptureStdout();
        const bool ok = world.read(root);
        (void)::testing::internal::GetCapturedStdout();
        reads += ok ? 1 : 0;
        for (const Agent& agent : world.All()) {
            if (agent.found()) {
                EXPECT_TRUE(std::isfinite(agent.position().position.angle));
            }
        }
        EXPECT_TRUE(std::isfinite(world.mBall.mAngle));
        EXPECT_TRUE(std::isfinite(world.mTime));
    }
    EXPECT_GT(reads, 0);
}

}  // namespace
