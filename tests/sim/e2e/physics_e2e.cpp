// Seeded matches of real agents, judged from their records: no body sinks
// into another, the ball never goes through a robot, a ball in a goal is
// always given, and a ball nobody can free is put back into play.
// SOCCER_PHYSICS_SEEDS=N plays seeds 1..N (default 2).

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "e2e/MatchRunner.h"
#include "e2e/RecordCheck.h"
#include "sim/scenario/ScenarioFile.h"

namespace {

// A robot pushing with all its motors' force may sink this far into what it
// pushes (mm); the engine's rest slop is far smaller.
constexpr double kPressTolerance = 1.5;

int seedsToPlay()
{
    const char* env = std::getenv("SOCCER_PHYSICS_SEEDS");
    const int n = env != nullptr ? std::atoi(env) : 0;
    return n > 0 ? n : 2;
}

TEST(PhysicsInMatches, RecordsShowSoundBodiesAndAFairReferee)
{
    const Scenario scenario = loadScenario(SOCCER_SOURCE_DIR "/config/scenario-3v3.ini");
    for (int seed = 1; seed <= seedsToPlay(); ++seed) {
        MatchSetup setup;
        setup.scenarioFile = SOCCER_SOURCE_DIR "/config/scenario-3v3.ini";
        setup.serverArgs = {"--fast", "--seed", std::to_string(seed), "--noise-dist", "1", "--noise-angle", "0.2"};
        const MatchResult m = runMatch("physics-" + std::to_string(seed), setup);
        const DiscardOnSuccess discard{m};
        ASSERT_EQ(m.serverStatus, 0) << m.serverLog;
        const RecordFindings f = checkRecord(m.dir + "/record.jsonl", scenario);
        const std::string at = "seed " + std::to_string(seed);
        EXPECT_GT(f.playSteps, 800) << at;
        EXPECT_LT(f.deepestRobotPress, kPressTolerance) << at;
        EXPECT_LT(f.deepestBallPress, kPressTolerance) << at;
        EXPECT_EQ(f.ballThroughRobot, 0) << at;
        EXPECT_LE(f.ballInPocketSteps, 0) << at << ": a ball in a goal pocket during play";
        EXPECT_LE(f.longestStill, scenario.rules.stallTime + scenario.physics.timeStep) << at;
    }
}

}  // namespace
