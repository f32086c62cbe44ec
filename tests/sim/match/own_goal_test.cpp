// Own goals: the referee names each goal after the robot that touched the
// ball last, and calls it an own goal when that robot's side conceded.

#include <gtest/gtest.h>

#include "sim/match/Referee.h"
#include "sim/physics/World.h"

namespace {

RobotSpec robotAt(int vtId, mrTeam team, double x, double y, double headingDeg)
{
    RobotSpec r;
    r.vtId = vtId;
    r.team = team;
    r.kickoff = {x, y};
    r.kickoffHeading = degToRad(headingDeg);
    return r;
}

struct ShotCase {
    const char* name;
    bool blueInTheWay;
    int expectedBy;
    bool ownGoal;
};

class OwnGoalTest : public ::testing::TestWithParam<ShotCase> {};

// A yellow kick at 45 degrees towards the blue goal misses it; a blue robot in
// its path turns it in, and that goal is blue's own.
TEST_P(OwnGoalTest, TheLastTouchBeforeTheGoalDecides)
{
    const ShotCase& c = GetParam();
    Scenario s = defaultScenario(3);
    // The ball sits in the yellow robot's mouth and leaves along y = x - 508.5,
    // meeting the blue robot's face y = 112.5 at x = 600.
    s.robots = {robotAt(1, TEAM_YELLOW, 320 - 20 * std::sqrt(0.5), -188.5 - 20 * std::sqrt(0.5), 135)};
    if (c.blueInTheWay) {
        s.robots.push_back(robotAt(2, TEAM_BLUE, 620, 150, 180));  // its back to the ball
    }
    World physics(s);
    Referee referee(s);
    std::vector<RobotBody> robots;
    BallBody ball;
    StepEvents events;
    physics.placeForFreeBall(robots, ball, {320, -188.5});
    RobotCommand kick;
    kick.kind = RobotCommand::Kind::Kick;
    kick.kickForce = 1.0;
    physics.command(robots[0], kick);
    for (int i = 0; i < 30 && events.goal == GoalFor::None; ++i) {
        referee.playStep(physics, robots, ball, events);
        referee.scored(events.goal);
    }
    if (c.expectedBy < 0) {
        EXPECT_TRUE(referee.goals().empty()) << c.name;
        return;
    }
    ASSERT_EQ(referee.goals().size(), 1u) << c.name;
    EXPECT_EQ(referee.goals()[0].side, GoalFor::Yellow) << c.name;
    EXPECT_EQ(referee.goals()[0].lastToucher, c.expectedBy) << c.name;
    EXPECT_EQ(referee.goals()[0].ownGoal, c.ownGoal) << c.name;
    EXPECT_EQ(referee.ownGoals(TEAM_BLUE), c.ownGoal ? 1 : 0) << c.name;
    EXPECT_EQ(referee.ownGoals(TEAM_YELLOW), 0) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Shots, OwnGoalTest,
                         ::testing::Values(ShotCase{"wide of the goal", false, -1, false},
                                           ShotCase{"turned in by blue", true, 1, true}));

TEST(OwnGoal, AGoalAfterARestartHasNoToucherUntilSomeoneTouches)
{
    RulesSpec rules;
    Referee r(rules, 0.1, {TEAM_YELLOW, TEAM_BLUE});
    r.ballTouched(0);
    r.ballTouched(-1);  // a step without a touch keeps the last toucher
    EXPECT_EQ(r.lastToucher(), 0);
    r.scored(GoalFor::Blue);  // yellow's own goal
    EXPECT_TRUE(r.goals().back().ownGoal);
    EXPECT_EQ(r.ownGoals(TEAM_YELLOW), 1);
    EXPECT_EQ(r.lastToucher(), -1) << "the kick-off starts afresh";
    r.scored(GoalFor::Yellow);
    EXPECT_FALSE(r.goals().back().ownGoal);
    EXPECT_EQ(r.goals().back().lastToucher, -1);
}

// The nearest kicker kicks; robots as near as makes no difference (a
// micrometre, far below what the engine's floats tell apart) are drawn.
TEST(KickTies, ATieWithinTheToleranceIsDrawnAndAnyRealLeadWins)
{
    const auto wins = [](std::vector<KickRequest> requests) {
        std::vector<int> count(3, 0);
        for (std::uint64_t seed = 1; seed <= 200; ++seed) {
            Referee r(RulesSpec{}, 0.066, {}, FieldSpec{}, seed);
            ++count[static_cast<std::size_t>(r.chooseKicker(requests))];
        }
        return count;
    };
    const std::vector<int> tie = wins({{0, 20.0}, {1, 20.0 + 4e-4}});
    EXPECT_GT(tie[0], 70);
    EXPECT_GT(tie[1], 70);
    const std::vector<int> threeWay = wins({{2, 30.0005}, {0, 30.0}, {1, 30.0}});
    for (int n : threeWay) {
        EXPECT_GT(n, 40) << "each of three tied robots wins about a third";
    }
    EXPECT_EQ(wins({{0, 20.0}, {1, 20.01}})[0], 200);
    EXPECT_EQ(wins({{1, 20.01}, {0, 20.0}})[0], 200) << "whatever the order";
    Referee r(RulesSpec{}, 0.066);
    EXPECT_EQ(r.chooseKicker({}), -1);
}

}  // namespace
