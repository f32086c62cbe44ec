// Field families: ranges drawn per match from its seed, and the files refused.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

#include "sim/Options.h"
#include "sim/scenario/ScenarioFamily.h"
#include "sim/scenario/ScenarioFile.h"

namespace {

class TempFile {
public:
    explicit TempFile(const std::string& text)
    {
        char name[] = "/tmp/family_testXXXXXX";
        const int fd = mkstemp(name);
        EXPECT_GE(fd, 0);
        close(fd);
        std::ofstream(name) << text;
        mName = name;
    }
    ~TempFile() { std::remove(mName.c_str()); }
    const std::string& name() const { return mName; }

private:
    std::string mName;
};

const char* const kFamily =
    "SEED=7\nBALL_KEEP=0.80..0.90\nWALL_RESTITUTION=0.4..0.7\nMOTOR_ACCEL=8000..14000\n"
    "NOISE_DIST=0..6\nKICK_MODEL=aimed,mouth\nFIELD_LENGTH=1500\n";

Scenario matchOf(const std::string& file, std::uint64_t seed)
{
    SimOptions o;
    o.scenarioFile = file;
    o.seedSet = true;
    o.seed = seed;
    return scenarioFor(o);
}

std::string drawnText(const Scenario& s)
{
    std::string text;
    for (const DrawnValue& d : s.drawn) {
        text += d.key + "=" + d.word + " ";
    }
    return text;
}

TEST(FieldFamily, APairSharesItsDrawAndAnotherSeedDrawsAnotherField)
{
    const TempFile file(kFamily);
    const Scenario a = matchOf(file.name(), 11);
    const Scenario b = matchOf(file.name(), 11);
    EXPECT_EQ(drawnText(a), drawnText(b));
    EXPECT_EQ(a.physics.ballKeep, b.physics.ballKeep);
    EXPECT_EQ(a.physics.kickModel, b.physics.kickModel);
    ASSERT_EQ(a.drawn.size(), 5u) << drawnText(a);
    int differing = 0;
    for (std::uint64_t seed = 12; seed < 20; ++seed) {
        differing += drawnText(matchOf(file.name(), seed)) != drawnText(a) ? 1 : 0;
    }
    EXPECT_EQ(differing, 8);
    // Without --seed the file's SEED draws, as loadScenario does.
    SimOptions o;
    o.scenarioFile = file.name();
    EXPECT_EQ(drawnText(scenarioFor(o)), drawnText(loadScenario(file.name())));
    EXPECT_EQ(drawnText(scenarioFor(o)), drawnText(matchOf(file.name(), 7)));
}

TEST(FieldFamily, DrawsStayInsideTheirRangesAndReachBothModels)
{
    const TempFile file(kFamily);
    const ScenarioFamily family = loadScenarioFamily(file.name());
    ASSERT_EQ(family.ranges.size(), 4u);
    int mouth = 0;
    double lowest = 1.0;
    double highest = 0.0;
    for (std::uint64_t seed = 0; seed < 200; ++seed) {
        const Scenario s = drawScenario(family, seed);
        EXPECT_EQ(s.camera.seed, seed);
        EXPECT_GE(s.physics.ballKeep, 0.80);
        EXPECT_LE(s.physics.ballKeep, 0.90);
        EXPECT_GE(s.physics.motorAccel, 8000.0);
        EXPECT_LE(s.physics.motorAccel, 14000.0);
        EXPECT_GE(s.camera.distNoise, 0.0);
        EXPECT_LE(s.camera.distNoise, 6.0);
        EXPECT_EQ(s.field.length, 1500.0) << "a fixed key is not drawn";
        for (const DrawnValue& d : s.drawn) {
            if (d.key == "BALL_KEEP") {
                EXPECT_EQ(d.number, s.physics.ballKeep) << "the stated value is the one played";
            }
        }
        mouth += s.physics.kickModel == KickModel::Mouth ? 1 : 0;
        lowest = std::min(lowest, s.physics.ballKeep);
        highest = std::max(highest, s.physics.ballKeep);
    }
    EXPECT_GT(mouth, 60);
    EXPECT_LT(mouth, 140);
    EXPECT_LT(lowest, 0.81) << "the draw spans its range";
    EXPECT_GT(highest, 0.89);
}

TEST(FieldFamily, AFixedFileIsReadAsBeforeAndDrawsNothing)
{
    for (const char* name : {"/config/scenario-3v3.ini", "/config/scenario-5v5.ini"}) {
        const std::string file = std::string(SOCCER_SOURCE_DIR) + name;
        const ScenarioFamily family = loadScenarioFamily(file);
        EXPECT_FALSE(family.varies()) << name;
        const Scenario s = matchOf(file, 99);
        EXPECT_TRUE(s.drawn.empty()) << name;
        EXPECT_EQ(s.physics.ballKeep, family.base.physics.ballKeep);
        EXPECT_EQ(s.physics.kickModel, KickModel::Aimed);
    }
    const TempFile mouth("KICK_MODEL=mouth\n");
    EXPECT_EQ(loadScenario(mouth.name()).physics.kickModel, KickModel::Mouth);
    EXPECT_TRUE(loadScenario(mouth.name()).drawn.empty());
}

TEST(FieldFamily, TheShippedFamiliesAreTheFixedFieldsWithRanges)
{
    for (const char* size : {"3v3", "5v5"}) {
        const std::string dir = std::string(SOCCER_SOURCE_DIR) + "/config/scenario-";
        const ScenarioFamily family = loadScenarioFamily(dir + size + "-family.ini");
        const Scenario fixed = loadScenario(dir + size + ".ini");
        EXPECT_EQ(family.ranges.size(), 10u) << size;
        Scenario drawn = drawScenario(family, 5);
        validateScenario(drawn);
        // Put back the fixed file's values of the drawn keys: nothing else may differ.
        Scenario copy = fixed;
        const auto fixedFields = numberFields(copy);
        const auto drawnFields = numberFields(drawn);
        for (const NumberRange& r : family.ranges) {
            *drawnFields.at(r.key) = *fixedFields.at(r.key);
        }
        for (const auto& [key, value] : fixedFields) {
            EXPECT_EQ(*drawnFields.at(key), *value) << size << " " << key;
        }
        ASSERT_EQ(drawn.robots.size(), fixed.robots.size());
        for (std::size_t i = 0; i < fixed.robots.size(); ++i) {
            EXPECT_EQ(drawn.robots[i].kickoff.x, fixed.robots[i].kickoff.x);
            EXPECT_EQ(drawn.robots[i].kickoff.y, fixed.robots[i].kickoff.y);
        }
    }
}

TEST(FieldFamily, ACommandLineValueReplacesItsDraw)
{
    const TempFile file(kFamily);
    SimOptions o;
    o.scenarioFile = file.name();
    o.noiseDist = 2.5;
    const Scenario s = scenarioFor(o);
    EXPECT_EQ(s.camera.distNoise, 2.5);
    EXPECT_EQ(drawnText(s).find("NOISE_DIST"), std::string::npos) << drawnText(s);
}

class BadFamilyTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(BadFamilyTest, IsRefusedInOneLineNamingTheKey)
{
    const TempFile file(GetParam().first);
    try {
        loadScenarioFamily(file.name());
        ADD_FAILURE() << "accepted: " << GetParam().first;
    } catch (const ScenarioError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(GetParam().second), std::string::npos) << what;
        EXPECT_EQ(what.find('\n'), std::string::npos) << what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadFamilyTest,
    ::testing::Values(std::make_pair("BALL_KEEP=0.9..0.8\n", "BALL_KEEP: the range 0.9..0.8 has LOW above HIGH"),
                      std::make_pair("BALL_KEEP=0.8..high\n", "BALL_KEEP: not a range"),
                      std::make_pair("BALL_KEEP=..0.8\n", "BALL_KEEP: not a range"),
                      std::make_pair("SEED=1..5\n", "SEED: takes no range"),
                      std::make_pair("SUB_STEPS=6..12\n", "SUB_STEPS: takes no range"),
                      std::make_pair("PROTOCOL_VERSION=1..2\n", "PROTOCOL_VERSION: takes no range"),
                      std::make_pair("ROBOT_1=yellow GO -600..-500 0 90\n", "ROBOT_1: takes no range"),
                      std::make_pair("BLACKOUT_1=1 1..2 3\n", "BLACKOUT_1: takes no range"),
                      std::make_pair("KICK_MODEL=sideways\n", "KICK_MODEL: unknown kick model 'sideways'"),
                      std::make_pair("KICK_MODEL=aimed,Mouth\n", "KICK_MODEL: unknown kick model 'Mouth'"),
                      std::make_pair("KICK_MODEL=aimed,aimed\n", "KICK_MODEL: names aimed twice"),
                      std::make_pair("KICK_MODEL=aimed,\n", "KICK_MODEL: names no kick model"),
                      // every extreme of the ranges must keep to the engine's limits
                      std::make_pair("BALL_KEEP=0.8..1.2\n", "BALL_KEEP=1.2"),
                      std::make_pair("KICK_MAX_SPEED=2000..9000\n", "KICK_MAX_SPEED=9000"),
                      std::make_pair("WHEEL_GAIN=4..1e6\n", "WHEEL_GAIN=1e+06"),
                      std::make_pair("BALL_ROBOT_RESTITUTION=0.3..0.9\nKICK_MAX_SPEED=2000..3000\n",
                                     "BALL_ROBOT_RESTITUTION=0.9, KICK_MAX_SPEED=3000"),
                      std::make_pair("FIELD_LENGTH=1200..1500\nROBOT_1=yellow GO -700 0 90\n",
                                     "FIELD_LENGTH=1200"),
                      std::make_pair("A_KEY=1\nBALL_KEEP=0.8..0.9\n", "A_KEY: unknown key"),
                      std::make_pair("BALL_KEEP=0.80..0.81\nBALL_MASS=0.04..0.05\nBALL_RADIUS=20..21\n"
                                     "BALL_ROBOT_FRICTION=0..0.1\nBALL_ROBOT_RESTITUTION=0.3..0.4\n"
                                     "DROPOUT=0..0.01\nGRIP_ACCEL=15000..20000\nKICK_MAX_SPEED=2800..3000\n"
                                     "KICK_SPEED_PER_FORCE=2600..2706\nMOTOR_ACCEL=10000..12000\n"
                                     "NOISE_ANGLE=0..1\nNOISE_DIST=0..1\nWALL_RESTITUTION=0.5..0.6\n",
                                     "WALL_RESTITUTION: at most 12 keys")));

}  // namespace
