#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "common/ClientException.h"
#include "protocol/WorldDataApplication.h"

namespace {

const char* const kExample =
    "<worldData><time>120.5</time><agent_id>3</agent_id><status>found</status><max_agent>10</max_agent>"
    "<playMode>play on</playMode><nickname>r3</nickname><ball><dist>850</dist><angle>90</angle></ball>"
    "<teamMate><id>2</id><nickname>r2</nickname><status>found</status><dist>1200</dist><angle>45</angle>"
    "<orientation>90</orientation></teamMate><flag><id>top_left_pole</id><dist>2300.5</dist><angle>130</angle>"
    "</flag><score><yellow>0</yellow><blue>1</blue></score><wheel_velocity><right>20</right><left>-3</left>"
    "</wheel_velocity></worldData>";

const char* const kReadError = "Some error occurred while trying to read message received by server.\n";

struct Read {
    WorldDataApplication world;
    bool ok = false;
    std::string out;
};

Read readText(const std::string& text)
{
    Read r;
    ::testing::internal::CaptureStdout();
    r.ok = r.world.read(XMLSerializer::documentToRoot(text.data(), text.size()));
    r.out = ::testing::internal::GetCapturedStdout();
    return r;
}

Read readChildren(const std::string& children)
{
    return readText("<worldData>" + children + "</worldData>");
}

TEST(WorldDataRead, ExampleDocument)
{
    const Read r = readText(kExample);
    ASSERT_TRUE(r.ok);
    const WorldDataApplication& w = r.world;
    EXPECT_DOUBLE_EQ(w.mTime, 120.5);
    EXPECT_EQ(w.mPlayMode, "play on");
    EXPECT_TRUE(w.Me().found());
    EXPECT_EQ(w.Me().uid(), 3);
    EXPECT_EQ(w.mBall.mDist, 850u);
    EXPECT_FLOAT_EQ(w.mBall.mDegAngle, 90.0f);
    EXPECT_NEAR(w.mBall.mAngle, 1.5708, 1e-4);
    const Agent mate = w.getAgent(2);
    EXPECT_EQ(mate.position().position.length, 1200.0);
    EXPECT_NEAR(mate.position().position.angle, kPi / 4, 1e-9);
    EXPECT_EQ(w.getVector(w.getFlag("top_left_pole")).length, 2300.0);
    EXPECT_EQ(w.mScore.mBlue, 1);
    EXPECT_FLOAT_EQ(w.mLastCommand.mLeftVelocity, -3.0f);
}

TEST(WorldDataRead, FoundWithOnlyStatusAndId)
{
    const Read r = readChildren("<status>found</status><agent_id>4</agent_id>");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.world.Me().uid(), 4);
    EXPECT_EQ(r.world.Me().position().position.length, 0.0);
    EXPECT_TRUE(r.world.All().empty());
    EXPECT_EQ(r.world.mScore.mYellow, -1);
}

class StatusTest : public ::testing::TestWithParam<const char*> {};

TEST_P(StatusTest, OnlyTheExactWordFoundMeansSeen)
{
    const std::string status = GetParam();
    const Read r = readChildren(status + "<teamMate><id>1</id>" + status + "</teamMate><opponent><id>2</id></opponent>");
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.world.Me().found());
    ASSERT_EQ(r.world.Teammates().size(), 1u);
    EXPECT_FALSE(r.world.isAgentFound(1));
    EXPECT_TRUE(r.world.isAgentFound(2));  // no status at all counts as seen
}

INSTANTIATE_TEST_SUITE_P(Texts, StatusTest,
                         ::testing::Values("<status>lost</status>", "<status/>", "<status> found</status>"));

struct OrientationCase {
    const char* degrees;
    int expected;
};

class OrientationTest : public ::testing::TestWithParam<OrientationCase> {};

TEST_P(OrientationTest, BecomesWholeRadiansTowardZero)
{
    const Read r = readChildren(std::string("<teamMate><id>1</id><orientation>") + GetParam().degrees +
                                "</orientation></teamMate>");
    EXPECT_EQ(r.world.getAgent(1).position().orientation, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Degrees, OrientationTest,
                         ::testing::Values(OrientationCase{"90", 1}, OrientationCase{"359", 6},
                                           OrientationCase{"-90", -1}, OrientationCase{"57", 0}));

TEST(WorldDataRead, UnknownLeafAbortsButUnknownNestedIsSkipped)
{
    const Read bad = readChildren("<status>found</status><time>7</time><bogus>1</bogus><max_agent>4</max_agent>");
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.out, kReadError);
    EXPECT_DOUBLE_EQ(bad.world.mTime, 7.0);
    EXPECT_EQ(bad.world.mMaxAgents, 0);
    EXPECT_FALSE(bad.world.Me().found());

    const Read emptyBall = readChildren("<ball/>");
    EXPECT_FALSE(emptyBall.ok);
    EXPECT_EQ(emptyBall.out, kReadError);

    const Read skipped = readChildren("<time><x>1</x></time><extra><a/></extra><agent_id>2</agent_id>");
    EXPECT_TRUE(skipped.ok);
    EXPECT_EQ(skipped.out, "");
    EXPECT_EQ(skipped.world.mTime, 0.0);
}

TEST(WorldDataRead, ScoreOrderFlagsAndDuplicates)
{
    const Read r = readChildren(
        "<score><blue>3</blue><yellow>2</yellow></score><flag><id>c</id><dist>1234.9</dist></flag>"
        "<flag><id>c</id><dist>5</dist></flag><opponent><id>4</id><nickname>a</nickname></opponent>"
        "<teamMate><id>4</id><nickname>b</nickname></teamMate>");
    EXPECT_EQ(r.world.mScore.mBlue, 3);
    EXPECT_EQ(r.world.mScore.mYellow, 2);
    EXPECT_EQ(r.world.getFlag("c").mDist, 1234u);
    EXPECT_EQ(r.world.getAgent(4).nickname(), "a");
    try {
        (void)r.world.getFlag("middle_center");
        FAIL() << "no exception";
    } catch (const ClientException& e) {
        EXPECT_STREQ(e.what(), "Logic error in flag request");
    }
}

TEST(WorldDataRead, NumbersNeverWrapOrOverflow)
{
    const Read r = readChildren("<ball><dist>-5</dist><angle>1e40</angle></ball>"
                                "<teamMate><id>1</id><dist>-20</dist><angle>99999999999</angle></teamMate>"
                                "<flag><id>f</id><dist>-3.5</dist><angle>nan</angle></flag><time>inf</time>");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.world.mBall.mDist, 0u);
    EXPECT_EQ(r.world.mBall.mAngle, 0.0f);
    EXPECT_EQ(r.world.getAgent(1).position().position.length, 0.0);
    EXPECT_EQ(r.world.getAgent(1).position().position.angle, 0.0);
    EXPECT_EQ(r.world.getFlag("f").mDist, 0u);
    EXPECT_EQ(r.world.getFlag("f").mAngle, 0.0f);
    EXPECT_EQ(r.world.mTime, 0.0);
}

TEST(WorldDataRead, SurvivesRandomAndMutatedDocuments)
{
    const std::string seed = kExample;
    const std::string pieces[] = {"<ball/>", "</flag>", "<teamMate>", "<dist>-1</dist>", "<angle>1e99</angle>",
                                  "<x><y/></x>", "<![CDATA[9]]>", "<orientation>-2147483648</orientation>"};
    std::mt19937 rng(7u);
    for (int round = 0; round < 3000; ++round) {
        std::string text = seed;
        const unsigned int mutations = 1 + rng() % 6;
        for (unsigned int m = 0; m < mutations; ++m) {
            const std::size_t pos = rng() % text.size();
            if (rng() % 2 == 0) {
                text.insert(pos, pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))]);
            } else {
                text.erase(pos, 1 + rng() % 8);
            }
        }
        const Read r = readText(text);
        for (const Agent& agent : r.world.All()) {
            if (agent.found()) {
                ASSERT_TRUE(std::isfinite(agent.position().position.angle));
            }
        }
        ASSERT_TRUE(std::isfinite(r.world.mBall.mAngle));
    }
}

}  // namespace

// A message read after clear() must equal one read into a fresh object,
// whatever the earlier message held.
TEST(WorldDataClear, ReadingAfterClearEqualsReadingFresh)
{
    const std::string later =
        "<worldData><time>7</time><status>lost</status><flag><dist>5</dist></flag>"
        "<flag><id>x</id><angle>90</angle></flag></worldData>";
    WorldDataApplication reused;
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(reused.read(XMLSerializer::documentToRoot(kExample, std::strlen(kExample))));
    reused.clear();
    ASSERT_TRUE(reused.read(XMLSerializer::documentToRoot(later.data(), later.size())));
    ::testing::internal::GetCapturedStdout();
    const Read fresh = readText(later);

    EXPECT_EQ(reused.mTime, fresh.world.mTime);
    EXPECT_EQ(reused.mAgentID, fresh.world.mAgentID);
    EXPECT_EQ(reused.mMaxAgents, fresh.world.mMaxAgents);
    EXPECT_EQ(reused.mPlayMode, fresh.world.mPlayMode);
    EXPECT_EQ(reused.mNickname, fresh.world.mNickname);
    EXPECT_EQ(reused.mStatus, fresh.world.mStatus);
    EXPECT_EQ(reused.mBall.mDist, fresh.world.mBall.mDist);
    EXPECT_EQ(reused.mScore.mBlue, fresh.world.mScore.mBlue);
    EXPECT_EQ(reused.mLastCommand.mCommandEnum, fresh.world.mLastCommand.mCommandEnum);
    EXPECT_EQ(reused.mLastCommand.mRightVelocity, fresh.world.mLastCommand.mRightVelocity);
    EXPECT_TRUE(reused.mOthers.empty());
    ASSERT_EQ(reused.mFlags.size(), 2u);
    // A landmark without an id has an empty one, not the earlier message's.
    EXPECT_EQ(reused.mFlags[0].mId, "");
    EXPECT_EQ(reused.mFlags[0].mDist, 5u);
    EXPECT_EQ(reused.mFlags[1].mId, "x");
    EXPECT_EQ(reused.mFlags[1].mDist, fresh.world.mFlags[1].mDist);
}
