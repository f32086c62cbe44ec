// Motion, ball, kick and goal rules of the simulated field.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sim/Physics.h"

namespace {

Scenario oneRobot(posicaoXY at, double headingDeg)
{
    Scenario s = defaultScenario(3);
    s.robots.resize(1);
    s.robots[0].kickoff = at;
    s.robots[0].kickoffHeading = degToRad(headingDeg);
    return s;
}

RobotCommand wheels(double left, double right)
{
    RobotCommand c;
    c.kind = RobotCommand::Kind::Wheels;
    c.left = left;
    c.right = right;
    return c;
}

RobotCommand kick(double angleDeg, double force)
{
    RobotCommand c;
    c.kind = RobotCommand::Kind::Kick;
    c.kickAngleDeg = angleDeg;
    c.kickForce = force;
    return c;
}

double speed(posicaoXY v)
{
    return std::hypot(v.x, v.y);
}

struct WheelCase {
    double level;
    double expected;
};

class WheelSpeedTest : public ::testing::TestWithParam<WheelCase> {};

TEST_P(WheelSpeedTest, DeadBandGainAndClamp)
{
    const PhysicsSpec p;
    EXPECT_NEAR(wheelSpeed(GetParam().level, p), GetParam().expected, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Levels, WheelSpeedTest,
                         ::testing::Values(WheelCase{0.0, 0.0}, WheelCase{26.5, 0.0}, WheelCase{-26.5, 0.0},
                                           WheelCase{27.1737515808352, 8 * 0.6737515808352},
                                           WheelCase{88.5957620831557, 8 * (88.5957620831557 - 26.5)},
                                           WheelCase{-88.5957620831557, -8 * (88.5957620831557 - 26.5)},
                                           WheelCase{130.434697458164, 8 * (130.434697458164 - 26.5)},
                                           // beyond the top level: clamped, never faster
                                           WheelCase{1e9, 8 * (130.434697458164 - 26.5)},
                                           WheelCase{-1e9, -8 * (130.434697458164 - 26.5)},
                                           WheelCase{std::numeric_limits<double>::quiet_NaN(), 0.0},
                                           WheelCase{std::numeric_limits<double>::infinity(), 0.0}));

TEST(RobotMotion, StraightAheadAlongTheHeadingAndTurnsToTheRightWhenLeftIsFaster)
{
    const Scenario s = oneRobot({0, 0}, 90);  // facing +x
    Physics physics(s);
    std::vector<RobotBody> robots;
    BallBody ball;
    physics.placeForKickoff(robots, ball);
    ball.pos = {0, 500};  // out of the way
    StepEvents ev;

    physics.command(robots[0], wheels(88.5957620831557, 88.5957620831557));
    physics.step(robots, ball, ev);
    const double v = 8 * (88.5957620831557 - 26.5);
    EXPECT_NEAR(robots[0].pos.x, v * 0.066, 1e-6);
    EXPECT_NEAR(robots[0].pos.y, 0.0, 1e-6);
    EXPECT_NEAR(robots[0].heading, kPi / 2, 1e-12);

    physics.command(robots[0], wheels(88.5957620831557, 26.5));  // left faster
    const double before = robots[0].heading;
    physics.step(robots, ball, ev);
    EXPECT_NEAR(robots[0].heading - before, v / 75.0 * 0.066, 1e-9);

    // Within the dead band nothing moves.
    physics.command(robots[0], wheels(26.5, -26.5));
    const RobotBody still = robots[0];
    physics.step(robots, ball, ev);
    EXPECT_DOUBLE_EQ(robots[0].pos.x, still.pos.x);
    EXPECT_DOUBLE_EQ(robots[0].heading, still.heading);
}

TEST(RobotMotion, WallsAndOtherRobotsStopARobot)
{
    Scenario s = oneRobot({700, 0}, 90);
    s.robots.push_back(s.robots[0]);
    s.robots[1].vtId = 2;
    s.robots[1].kickoff = {600, 0};
    Physics physics(s);
    std::vector<RobotBody> robots;
    BallBody ball;
    physics.placeForKickoff(robots, ball);
    ball.pos = {0, 600};
    StepEvents ev;
    physics.command(robots[0], wheels(130, 130));
    for (int i = 0; i < 20; ++i) {
        physics.step(robots, ball, ev);
    }
    EXPECT_LE(robots[0].pos.x, 750 - 37.5 + 1e-9);
    EXPECT_GE(std::hypot(robots[0].pos.x - robots[1].pos.x, robots[0].pos.y - robots[1].pos.y), 75 - 1e-6);
}

TEST(BallMotion, KeepsItsShareOfVelocityAndBouncesOffTheSideWall)
{
    const Scenario s = oneRobot({-700, -600}, 90);
    Physics physics(s);
    std::vector<RobotBody> robots;
    BallBody ball;
    physics.placeForKickoff(robots, ball);
    StepEvents ev;

    ball.vel = {1000, 0};
    physics.step(robots, ball, ev);
    EXPECT_NEAR(ball.pos.x, 66.0, 1e-9);
    EXPECT_NEAR(ball.vel.x, 868.0, 1e-9);

    // Towards the y = +W/2 wall: stopped at the wall, back at 0.6 of its speed, then decayed.
    ball.pos = {0, 600};
    ball.vel = {0, 1000};
    physics.step(robots, ball, ev);
    EXPECT_NEAR(ball.pos.y, 650 - 21, 1e-9);
    EXPECT_NEAR(ball.vel.y, -1000 * 0.6 * 0.868, 1e-9);
    EXPECT_EQ(ev.goal, GoalFor::None);

    // End wall outside the goal mouth: a bounce, no goal.
    ball.pos = {700, 400};
    ball.vel = {2000, 0};
    physics.step(robots, ball, ev);
    EXPECT_EQ(ev.goal, GoalFor::None);
    EXPECT_NEAR(ball.pos.x, 750 - 21, 1e-9);
    EXPECT_LT(ball.vel.x, 0);
}

struct GoalCase {
    posicaoXY from;
    posicaoXY vel;
    GoalFor expected;
};

class GoalTest : public ::testing::TestWithParam<GoalCase> {};

TEST_P(GoalTest, CrossingAGoalLineBetweenThePosts)
{
    const Scenario s = oneRobot({0, -600}, 90);
    Physics physics(s);
    std::vector<RobotBody> robots;
    BallBody ball;
    physics.placeForKickoff(robots, ball);
    ball.pos = GetParam().from;
    ball.vel = GetParam().vel;
    StepEvents ev;
    physics.step(robots, ball, ev);
    EXPECT_EQ(ev.goal, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GoalTest,
    ::testing::Values(GoalCase{{740, 0}, {1000, 0}, GoalFor::Yellow},     // into blue's goal
                      GoalCase{{-740, 150}, {-1000, 0}, GoalFor::Blue},   // into yellow's goal
                      GoalCase{{740, 199}, {1000, 0}, GoalFor::Yellow},   // just inside the post
                      GoalCase{{740, 201}, {1000, 0}, GoalFor::None},     // just outside
                      GoalCase{{700, 0}, {500, 0}, GoalFor::None},        // short of the line
                      GoalCase{{700, -300}, {3000, 3000}, GoalFor::None}  // crosses the line beside the mouth
                      ));

struct KickCase {
    const char* name;
    double distance;     // ball centre from robot centre
    double bearingDeg;   // ball relative to heading
    double force;
    bool kicks;
    double ballSpeed;
};

class KickTest : public ::testing::TestWithParam<KickCase> {};

TEST_P(KickTest, ReachAngleAndForce)
{
    const KickCase& c = GetParam();
    const Scenario s = oneRobot({0, 0}, 90);
    Physics physics(s);
    std::vector<RobotBody> robots;
    BallBody ball;
    physics.placeForKickoff(robots, ball);
    const posicaoXY dir = bearingDirection(kPi / 2 + degToRad(c.bearingDeg));
    ball.pos = {c.distance * dir.x, c.distance * dir.y};
    EXPECT_EQ(physics.canKick(robots[0], ball), c.kicks) << c.name;

    physics.command(robots[0], kick(10, c.force));
    StepEvents ev;
    physics.step(robots, ball, ev);
    EXPECT_EQ(ev.kickers.size(), c.kicks ? 1u : 0u) << c.name;
    if (c.kicks) {
        // Measured after one step of decay, in the heading + 10 degrees direction.
        EXPECT_NEAR(speed(ball.vel), c.ballSpeed * 0.868, 1e-6) << c.name;
        if (c.ballSpeed > 0) {
            EXPECT_NEAR(radToDeg(bearingTo({0, 0}, {ball.vel.x, ball.vel.y})), 100.0, 1e-6) << c.name;
        }
    }
    EXPECT_FALSE(robots[0].kickPending) << "a kick is tried once";
}

INSTANTIATE_TEST_SUITE_P(Rule, KickTest,
                         ::testing::Values(KickCase{"in the mouth", 22, 0, 1.0, true, 2706},
                                           KickCase{"at the reach", 44.9, 30, 0.5, true, 1353},
                                           KickCase{"beyond the reach", 45.5, 0, 1.0, false, 0},
                                           KickCase{"at 59 degrees", 30, 59, 1.0, true, 2706},
                                           KickCase{"at -61 degrees", 30, -61, 1.0, false, 0},
                                           KickCase{"capped", 25, 0, 80.0, true, 3000},
                                           KickCase{"negative force", 25, 0, -1.0, true, 0}));

TEST(Kick, StopsTheWheels)
{
    const Scenario s = oneRobot({0, 0}, 90);
    Physics physics(s);
    std::vector<RobotBody> robots;
    BallBody ball;
    physics.placeForKickoff(robots, ball);
    ball.pos = {0, 500};
    StepEvents ev;
    physics.command(robots[0], wheels(130, 130));
    physics.step(robots, ball, ev);
    const posicaoXY before = robots[0].pos;
    physics.command(robots[0], kick(0, 1));
    physics.step(robots, ball, ev);
    EXPECT_DOUBLE_EQ(robots[0].pos.x, before.x);
}

TEST(BallContact, ARobotDrivingOntoTheBallHoldsItInItsMouthUntilItKicks)
{
    const Scenario s = oneRobot({-300, 0}, 90);
    Physics physics(s);
    std::vector<RobotBody> robots;
    BallBody ball;
    physics.placeForKickoff(robots, ball);
    ball.pos = {-200, 0};
    StepEvents ev;
    physics.command(robots[0], wheels(88.5957620831557, 88.5957620831557));
    for (int i = 0; i < 8; ++i) {
        physics.step(robots, ball, ev);
        const double d = std::hypot(ball.pos.x - robots[0].pos.x, ball.pos.y - robots[0].pos.y);
        EXPECT_GE(d, 20.0 - 1e-9);
    }
    const double d = std::hypot(ball.pos.x - robots[0].pos.x, ball.pos.y - robots[0].pos.y);
    EXPECT_LE(d, 25.0) << "the agents kick from 25 mm";
    EXPECT_TRUE(physics.canKick(robots[0], ball));

    // Pressed into the V of the mouth off the middle, the ball slides to the middle.
    ball = BallBody{};
    const posicaoXY fwd = bearingDirection(robots[0].heading);
    const posicaoXY right = bearingDirection(robots[0].heading + kPi / 2);
    ball.pos = {robots[0].pos.x + 45 * fwd.x + 35 * right.x, robots[0].pos.y + 45 * fwd.y + 35 * right.y};
    physics.command(robots[0], wheels(88.5957620831557, 88.5957620831557));
    for (int i = 0; i < 6; ++i) {
        physics.step(robots, ball, ev);
    }
    const posicaoXY rel{ball.pos.x - robots[0].pos.x, ball.pos.y - robots[0].pos.y};
    EXPECT_NEAR(rel.x * right.x + rel.y * right.y, 0.0, 1.0) << "centred";
    EXPECT_NEAR(rel.x * fwd.x + rel.y * fwd.y, 20.0, 1.0) << "in the apex";

    // Beside the robot the body keeps the ball at the sum of the radii.
    ball = BallBody{};
    ball.pos = {robots[0].pos.x, robots[0].pos.y + 30};
    physics.command(robots[0], wheels(26.5, 26.5));
    physics.step(robots, ball, ev);
    EXPECT_NEAR(std::hypot(ball.pos.x - robots[0].pos.x, ball.pos.y - robots[0].pos.y), 58.5, 1e-6);
}

}  // namespace
