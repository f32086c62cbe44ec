// Figures of play: which kicks are shots, which are passes, and who has the ball.

#include <gtest/gtest.h>

#include <vector>

#include "sim/match/PlayStatistics.h"

namespace {

// Default 3 against 3: robots 0-2 yellow (attacking +x), 3-5 blue.
constexpr int kYellowA = 1;
constexpr int kYellowB = 2;
constexpr int kBlueA = 4;

struct RollCase {
    const char* what;
    posicaoXY pos;
    posicaoXY vel;
    double goalLineX;
    bool expected;
};

TEST(RollsIntoGoal, ExtrapolatesTheFreeRollToTheGoalLine)
{
    const Scenario s = defaultScenario(3);
    // 1000 mm/s keeping 0.868 per 0.066 s rolls 1000*0.066*0.868/0.132 = 434 mm in all.
    const std::vector<RollCase> cases = {
        {"straight at the goal, close enough", {400, 0}, {1000, 0}, 750, true},
        {"straight at the goal, dies short", {300, 0}, {1000, 0}, 750, false},
        {"just reaches", {320, 0}, {1000, 0}, 750, true},
        {"away from the goal", {400, 0}, {-1000, 0}, 750, false},
        {"along the goal line", {700, 0}, {0, 1000}, 750, false},
        {"wide of the post", {600, 0}, {1000, 1500}, 750, false},
        {"angled inside the post", {600, 0}, {1000, 1000}, 750, true},
        {"blue's shot at the other goal", {-500, 100}, {-2500, 0}, -750, true},
        {"still ball", {740, 0}, {0, 0}, 750, false},
    };
    for (const RollCase& c : cases) {
        EXPECT_EQ(rollsIntoGoal(c.pos, c.vel, c.goalLineX, s.field, s.physics), c.expected) << c.what;
    }
    PhysicsSpec frictionless = s.physics;
    frictionless.ballKeep = 1.0;
    EXPECT_TRUE(rollsIntoGoal({-700, 0}, {1, 0}, 750, s.field, frictionless));
}

/// One step of a scripted match: who kicked, who touched, where the ball went.
struct Step {
    std::vector<int> kickers;
    std::vector<int> touchers;
    posicaoXY ball{0, 0};
    posicaoXY vel{0, 0};
    GoalFor goal = GoalFor::None;
};

struct Script {
    const char* what;
    std::vector<Step> steps;
    long yellowKicks, yellowShots, yellowPasses, blueKicks;
};

TEST(PlayStatistics, CountsKicksShotsAndPassesFromTheSteps)
{
    const Scenario s = defaultScenario(3);
    const posicaoXY slow{100, 0};
    const posicaoXY onTarget{2500, 0};
    const std::vector<Script> scripts = {
        {"a pass: the next touch is a teammate's", {{{kYellowA}, {kYellowA}, {0, 0}, slow}, {{}, {}}, {{}, {kYellowB}}}, 1, 0, 1, 0},
        {"intercepted: the next touch is an opponent's", {{{kYellowA}, {}, {0, 0}, slow}, {{}, {kBlueA}}}, 1, 0, 0, 0},
        {"the kicker touches it again first", {{{kYellowA}, {}, {0, 0}, slow}, {{}, {kYellowA}}, {{}, {kYellowB}}}, 1, 0, 0, 0},
        {"a scramble of both teams is no pass", {{{kYellowA}, {}, {0, 0}, slow}, {{}, {kYellowB, kBlueA}}}, 1, 0, 0, 0},
        {"the teammate's kick is the next touch", {{{kYellowA}, {}, {0, 0}, slow}, {{kYellowB}, {}, {0, 0}, slow}}, 2, 0, 1, 0},
        {"a goal ends the chance of a pass", {{{kYellowA}, {}, {760, 0}, onTarget, GoalFor::Yellow}, {{}, {kYellowB}}}, 1, 1, 0, 0},
        {"an own goal is no shot", {{{kYellowA}, {}, {-760, 0}, {-2500, 0}, GoalFor::Blue}}, 1, 0, 0, 0},
        {"a shot on target", {{{kYellowA}, {kYellowA}, {500, 0}, onTarget}}, 1, 1, 0, 0},
        {"deflected in its own step: no shot", {{{kYellowA}, {kBlueA}, {500, 0}, onTarget}}, 1, 0, 0, 0},
        {"blue shoots at the other goal", {{{kBlueA}, {}, {-500, 0}, {-2500, 0}}}, 0, 0, 0, 1},
    };
    for (const Script& script : scripts) {
        PlayStatistics play(s);
        std::vector<RobotBody> robots(s.robots.size());
        for (const Step& step : script.steps) {
            StepEvents events;
            events.kickers = step.kickers;
            events.touchers = step.touchers;
            events.goal = step.goal;
            play.afterStep(robots, BallBody{step.ball, step.vel}, events);
        }
        const PlayFigures yellow = play.team(TEAM_YELLOW);
        EXPECT_EQ(yellow.kicks, script.yellowKicks) << script.what;
        EXPECT_EQ(yellow.shots, script.yellowShots) << script.what;
        EXPECT_EQ(yellow.passes, script.yellowPasses) << script.what;
        EXPECT_EQ(play.team(TEAM_BLUE).kicks, script.blueKicks) << script.what;
        EXPECT_EQ(play.team(TEAM_BLUE).passes, 0) << script.what;
    }
}

TEST(PlayStatistics, AFreeBallEndsThePendingPass)
{
    const Scenario s = defaultScenario(3);
    PlayStatistics play(s);
    std::vector<RobotBody> robots(s.robots.size());
    StepEvents kick;
    kick.kickers = {kYellowA};
    play.afterStep(robots, BallBody{}, kick);
    play.playStopped();
    StepEvents touch;
    touch.touchers = {kYellowB};
    play.afterStep(robots, BallBody{}, touch);
    EXPECT_EQ(play.team(TEAM_YELLOW).passes, 0);
}

TEST(PlayStatistics, PossessionIsTheShareOfStepsWithTheNearestRobot)
{
    const Scenario s = defaultScenario(3);
    PlayStatistics play(s);
    std::vector<RobotBody> robots(s.robots.size());
    for (std::size_t i = 0; i < robots.size(); ++i) {
        robots[i].pos = {-600.0 + 200.0 * static_cast<double>(i), 0};  // yellow left, blue right
    }
    const StepEvents none;
    for (int i = 0; i < 3; ++i) {
        play.afterStep(robots, BallBody{{-550, 0}, {0, 0}}, none);
    }
    play.afterStep(robots, BallBody{{500, 0}, {0, 0}}, none);
    EXPECT_EQ(play.playSteps(), 4);
    EXPECT_DOUBLE_EQ(play.possession(TEAM_YELLOW), 0.75);
    EXPECT_DOUBLE_EQ(play.possession(TEAM_BLUE), 0.25);
    EXPECT_EQ(play.robots()[0].nearestSteps, 3);

    const PlayStatistics fresh(s);
    EXPECT_EQ(fresh.possession(TEAM_YELLOW), 0.0);
}

}  // namespace
