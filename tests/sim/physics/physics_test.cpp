// The simulated field on the physics engine: motors, rolling, kicks, the
// kicker mouth, contacts that never let bodies pass through one another,
// goals, and a field that favours neither colour.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <thread>
#include <tuple>

#include "sim/physics/BodyShapes.h"
#include "sim/match/Referee.h"
#include "sim/physics/Kinematics.h"
#include "sim/physics/World.h"

namespace {

constexpr double kTopLevel = 130.434697458164;
constexpr double kCruiseLevel = 88.5957620831557;
// How deep two bodies may press into each other while pushing (mm).
constexpr double kPressTolerance = 1.0;
constexpr int kMirrorSteps = 200;
// Until robots meet, a scene and its mirror differ only by rounding.
constexpr double kMirrorPlaceTolerance = 0.5;
constexpr double kMirrorHeadingTolerance = 0.01;

struct Pose {
    double x;
    double y;
    double headingDeg;
};

Scenario withRobots(std::vector<Pose> poses)
{
    Scenario s = defaultScenario(3);
    s.robots.resize(poses.size());
    for (std::size_t i = 0; i < poses.size(); ++i) {
        s.robots[i].vtId = static_cast<int>(i) + 1;
        s.robots[i].kickoff = {poses[i].x, poses[i].y};
        s.robots[i].kickoffHeading = degToRad(poses[i].headingDeg);
    }
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

// A point `ahead` mm in front of and `left` mm to the left of a robot.
posicaoXY relativeTo(const RobotBody& r, double ahead, double left)
{
    const posicaoXY f = bearingDirection(r.heading);
    const posicaoXY l = bearingDirection(r.heading - kPi / 2);
    return {r.pos.x + ahead * f.x + left * l.x, r.pos.y + ahead * f.y + left * l.y};
}

// One simulated scene: the engine, the robots' and the ball's poses.
struct Scene {
    explicit Scene(const Scenario& s) : scenario(s), physics(scenario), referee(scenario)
    {
        physics.placeForKickoff(robots, ball);
    }

    // Steps of play as the server runs them: the referee picks the kick and
    // makes its calls around the world's step.
    void steps(int n)
    {
        for (int i = 0; i < n; ++i) {
            referee.playStep(physics, robots, ball, events);
        }
    }

    Scenario scenario;
    World physics;
    Referee referee;
    std::vector<RobotBody> robots;
    BallBody ball;
    StepEvents events;
};

// True when the ball, shrunk by the tolerance, overlaps the robot's outline.
bool ballInsideRobot(const Scene& s, const RobotBody& r)
{
    const RobotOutline outline = robotOutline(s.scenario.physics);
    b2CircleShape core = ballShape(s.scenario.physics);
    core.m_radius -= toUnits(kPressTolerance);
    const b2Transform at(b2Vec2(toUnits(s.ball.pos.x), toUnits(s.ball.pos.y)), b2Rot(0));
    for (const b2PolygonShape& part : outline.parts) {
        if (b2TestOverlap(&part, 0, &core, 0, bodyTransform(r.pos, r.heading), at)) {
            return true;
        }
    }
    return false;
}

// How deep two robots press into each other (mm; 0 when apart).
double robotsPenetration(const Scene& s, const RobotBody& a, const RobotBody& b)
{
    const RobotOutline outline = robotOutline(s.scenario.physics);
    const b2Transform ta = bodyTransform(a.pos, a.heading);
    const b2Transform tb = bodyTransform(b.pos, b.heading);
    double deepest = 0.0;
    const std::array<const b2PolygonShape*, 3> parts = {&outline.parts[0], &outline.parts[1], &outline.mouth};
    for (const b2PolygonShape* pa : parts) {
        for (const b2PolygonShape* pb : parts) {
            b2Manifold m;
            b2CollidePolygons(&m, pa, ta, pb, tb);
            b2WorldManifold wm;
            wm.Initialize(&m, ta, pa->m_radius, tb, pb->m_radius);
            for (int i = 0; i < m.pointCount; ++i) {
                deepest = std::max(deepest, -toMm(wm.separations[i]));
            }
        }
    }
    return deepest;
}

// True when the ball's centre went through the robot's outline on its way
// from `from` to where it is now.
bool ballCrossedRobot(const Scene& s, const RobotBody& r, posicaoXY from)
{
    const RobotOutline outline = robotOutline(s.scenario.physics);
    b2RayCastInput ray;
    ray.p1 = b2Vec2(toUnits(from.x), toUnits(from.y));
    ray.p2 = b2Vec2(toUnits(s.ball.pos.x), toUnits(s.ball.pos.y));
    ray.maxFraction = 1.0f;
    if (ray.p1 == ray.p2) {
        return false;
    }
    for (const b2PolygonShape& part : outline.parts) {
        b2RayCastOutput out;
        if (part.RayCast(&out, ray, bodyTransform(r.pos, r.heading), 0)) {
            return true;
        }
    }
    return false;
}

bool robotInsideField(const Scene& s, const RobotBody& r)
{
    const double half = s.scenario.physics.robotSize / 2.0;
    return std::fabs(r.pos.x) <= s.scenario.field.length / 2.0 + s.scenario.field.goalDepth - half &&
           std::fabs(r.pos.y) <= s.scenario.field.width / 2.0 - half + kPressTolerance;
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
                                           WheelCase{kCruiseLevel, 8 * (kCruiseLevel - 26.5)},
                                           WheelCase{-kCruiseLevel, -8 * (kCruiseLevel - 26.5)},
                                           WheelCase{kTopLevel, 8 * (kTopLevel - 26.5)},
                                           // beyond the top level: clamped, never faster
                                           WheelCase{1e9, 8 * (kTopLevel - 26.5)},
                                           WheelCase{-1e9, -8 * (kTopLevel - 26.5)},
                                           WheelCase{std::numeric_limits<double>::quiet_NaN(), 0.0},
                                           WheelCase{std::numeric_limits<double>::infinity(), 0.0}));

TEST(RobotMotion, TheMotorsReachTheWheelsSpeedAndTurnRate)
{
    Scene s(withRobots({{0, 0, 90}}));  // facing +x
    s.ball.pos = {0, 500};              // out of the way
    const double v = 8 * (kCruiseLevel - 26.5);

    s.physics.command(s.robots[0], wheels(kCruiseLevel, kCruiseLevel));
    s.steps(3);
    const double x0 = s.robots[0].pos.x;
    s.steps(5);
    EXPECT_NEAR((s.robots[0].pos.x - x0) / (5 * 0.066), v, v * 0.01) << "steady forward speed";
    EXPECT_NEAR(s.robots[0].pos.y, 0.0, 0.01) << "no sideways drift";
    EXPECT_NEAR(s.robots[0].heading, kPi / 2, 1e-4);

    // Left wheel faster: the heading grows at (left - right) / base.
    s.physics.command(s.robots[0], wheels(kCruiseLevel, 26.5));
    s.steps(3);
    const double h0 = s.robots[0].heading;
    s.steps(2);
    EXPECT_NEAR(wrapAngle(s.robots[0].heading - h0) / (2 * 0.066), v / 75.0, v / 75.0 * 0.01);

    // Within the dead band the motors hold the robot still (the tyres' give
    // from the turn relaxes by micrometres).
    s.physics.command(s.robots[0], wheels(26.5, -26.5));
    s.steps(3);
    const RobotBody still = s.robots[0];
    s.steps(5);
    EXPECT_NEAR(s.robots[0].pos.x, still.pos.x, 0.02);
    EXPECT_NEAR(s.robots[0].pos.y, still.pos.y, 0.02);
    EXPECT_NEAR(s.robots[0].heading, still.heading, 1e-5);
}

// The engine's own step timer is replaced by the field's (it is never read):
// a change of link order or file that brought back the clock reads would
// cost an eighth of every step unnoticed.
TEST(EngineTimer, TheEnginesStepsAreNotTimed)
{
    b2Timer timer;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(timer.GetMilliseconds(), 0.0f);
}

class SidePushTest : public ::testing::TestWithParam<int> {};

// The wheels' grip holds in the engine's solver: a still robot pushed side-on
// by another at full power hardly slides, whatever the number of sub-steps.
TEST_P(SidePushTest, AStillRobotPushedSideOnHolds)
{
    // The pusher faces +y with its front on the still robot's left side.
    Scenario scenario = withRobots({{0, 0, 90}, {0, -76, 180}});
    scenario.physics.subSteps = GetParam();
    Scene s(scenario);
    s.ball.pos = {0, 500};
    s.physics.command(s.robots[1], wheels(kTopLevel, kTopLevel));
    s.steps(15);
    // The blow of the first touch may shove it a few millimetres; then they press.
    const double apart = std::hypot(s.robots[1].pos.x - s.robots[0].pos.x, s.robots[1].pos.y - s.robots[0].pos.y);
    ASSERT_GT(apart, 74.0) << "pressed against it";
    ASSERT_LT(apart, 81.0) << "pressed against it";
    const RobotBody before = s.robots[0];
    constexpr int kSteps = 30;
    s.steps(kSteps);
    const double slid = std::hypot(s.robots[0].pos.x - before.pos.x, s.robots[0].pos.y - before.pos.y);
    EXPECT_LE(slid / (kSteps * s.scenario.physics.timeStep), 5.0) << GetParam() << " sub-steps: mm/s";
    EXPECT_NEAR(wrapAngle(s.robots[0].heading - before.heading), 0.0, 0.01);
}

INSTANTIATE_TEST_SUITE_P(SubSteps, SidePushTest, ::testing::Values(4, 5, 6, 8, 12, 24));

TEST(RobotMotion, BadLevelsFromAClientNeverReachTheEngine)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Scene s(withRobots({{0, 0, 90}}));
    s.ball.pos = {0, 500};
    for (const RobotCommand& c : {wheels(nan, inf), wheels(-inf, 1e300), kick(nan, inf), kick(inf, nan)}) {
        s.physics.command(s.robots[0], c);
        s.steps(2);
        EXPECT_TRUE(std::isfinite(s.robots[0].pos.x) && std::isfinite(s.robots[0].heading));
        EXPECT_TRUE(std::isfinite(s.ball.pos.x) && std::isfinite(s.ball.vel.x));
        EXPECT_LE(speed(s.ball.vel), s.scenario.physics.kickMaxSpeed);
    }
}

struct ApproachCase {
    const char* name;
    std::vector<Pose> robots;
    std::vector<std::pair<double, double>> levels;
};

class RobotContactTest : public ::testing::TestWithParam<ApproachCase> {};

TEST_P(RobotContactTest, RobotsNeverOverlapNorLeaveTheField)
{
    const ApproachCase& c = GetParam();
    Scene s(withRobots(c.robots));
    s.ball.pos = {0, -600};
    for (std::size_t i = 0; i < s.robots.size(); ++i) {
        s.physics.command(s.robots[i], wheels(c.levels[i].first, c.levels[i].second));
    }
    for (int step = 0; step < 150; ++step) {
        s.steps(1);
        for (std::size_t i = 0; i < s.robots.size(); ++i) {
            ASSERT_TRUE(robotInsideField(s, s.robots[i])) << c.name << ": robot " << i << " at step " << step;
            for (std::size_t j = i + 1; j < s.robots.size(); ++j) {
                ASSERT_LT(robotsPenetration(s, s.robots[i], s.robots[j]), kPressTolerance)
                    << c.name << ": robots " << i << " and " << j << " at step " << step;
            }
        }
    }
    if (c.robots.size() == 2 && c.robots[0].y == c.robots[1].y) {
        const double gap = std::hypot(s.robots[0].pos.x - s.robots[1].pos.x, s.robots[0].pos.y - s.robots[1].pos.y);
        EXPECT_GE(gap, 75.0 - kPressTolerance) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pushing, RobotContactTest,
    ::testing::Values(
        ApproachCase{"head on", {{-200, 0, 90}, {200, 0, -90}}, {{kTopLevel, kTopLevel}, {kTopLevel, kTopLevel}}},
        ApproachCase{"back to back", {{-100, 0, -90}, {100, 0, 90}}, {{-kTopLevel, -kTopLevel}, {-kTopLevel, -kTopLevel}}},
        ApproachCase{"into a side", {{0, -200, 180}, {0, 100, 90}}, {{kTopLevel, kTopLevel}, {26.5, 26.5}}},
        ApproachCase{"at 45 degrees", {{-150, -150, 135}, {100, 100, -45}}, {{kTopLevel, kTopLevel}, {kTopLevel, kTopLevel}}},
        ApproachCase{"pressed against the wall", {{400, 500, 180}, {400, 350, 180}},
                     {{kTopLevel, kTopLevel}, {kTopLevel, kTopLevel}}},
        ApproachCase{"turning into the corner", {{-600, -500, -45}, {-450, -450, -60}},
                     {{kTopLevel, 90}, {kTopLevel, kTopLevel}}},
        ApproachCase{"three in a row against the end wall",
                     {{300, 100, 90}, {450, 100, 90}, {600, 100, 90}},
                     {{kTopLevel, kTopLevel}, {kTopLevel, kTopLevel}, {kTopLevel, kTopLevel}}}));

TEST(BallMotion, FreeRollingKeepsItsShareOfVelocityEachStep)
{
    Scene s(withRobots({{-700, -600, 90}}));
    s.ball.vel = {1000, 0};
    s.steps(1);
    double previous = speed(s.ball.vel);
    EXPECT_NEAR(previous, 868.0, 868.0 * 0.01);
    for (int i = 0; i < 5; ++i) {
        s.steps(1);
        EXPECT_NEAR(speed(s.ball.vel) / previous, 0.868, 0.868 * 0.01);
        previous = speed(s.ball.vel);
    }
}

TEST(BallMotion, BouncesOffAWallAtItsRestitution)
{
    Scene s(withRobots({{-700, -600, 90}}));
    s.ball.pos = {0, 500};
    s.ball.vel = {0, 1000};
    double before = 0.0;
    for (int i = 0; i < 10 && s.ball.vel.y >= 0; ++i) {
        before = s.ball.vel.y;
        s.steps(1);
    }
    ASSERT_LT(s.ball.vel.y, 0.0);
    // The step of the bounce mixes rolling before and after it: compare the
    // step after it with the one before, two steps of rolling apart.
    const double after = -s.ball.vel.y;
    s.steps(1);
    EXPECT_NEAR(-s.ball.vel.y / (before * 0.868 * 0.868), 0.6, 0.1);
    EXPECT_LT(after, before);
}

struct ShotCase {
    const char* name;
    double headingDeg;  // of the robot in the way, if any
    bool robot;
    posicaoXY from;
    posicaoXY towards;
};

class ShotTest : public ::testing::TestWithParam<ShotCase> {};

TEST_P(ShotTest, AFullSpeedBallNeverPassesThroughWhatStandsInItsWay)
{
    const ShotCase& c = GetParam();
    Scene s(c.robot ? withRobots({{0, 0, c.headingDeg}}) : withRobots({{-600, -500, 90}}));
    const double dx = c.towards.x - c.from.x;
    const double dy = c.towards.y - c.from.y;
    const double len = std::hypot(dx, dy);
    s.ball.pos = c.from;
    s.ball.vel = {3000 * dx / len, 3000 * dy / len};
    for (int step = 0; step < 20; ++step) {
        const posicaoXY from = s.ball.pos;
        s.steps(1);
        if (c.robot) {
            ASSERT_FALSE(ballInsideRobot(s, s.robots[0])) << c.name << " at step " << step;
            ASSERT_FALSE(ballCrossedRobot(s, s.robots[0], from)) << c.name << " at step " << step;
        } else {
            // Never beyond the wall: on its own side of the line through the
            // target square to the shot.
            const double along = ((s.ball.pos.x - c.towards.x) * dx + (s.ball.pos.y - c.towards.y) * dy) / len;
            ASSERT_LT(along, 0.0) << c.name << " at step " << step;
            ASSERT_EQ(s.events.goal, GoalFor::None) << c.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Obstacles, ShotTest,
    ::testing::Values(ShotCase{"robot facing the shot", -90, true, {-200, 0}, {0, 0}},
                      ShotCase{"robot's back", 90, true, {-200, 0}, {0, 0}},
                      ShotCase{"robot's side", 0, true, {-200, 0}, {0, 0}},
                      ShotCase{"robot turned 30 degrees", 30, true, {-200, 0}, {0, 0}},
                      ShotCase{"robot's corner", 45, true, {-200, 0}, {0, 0}},
                      ShotCase{"robot's prong tip", -90, true, {-200, 37}, {0, 37}},
                      ShotCase{"side wall", 0, false, {0, 450}, {0, 650}},
                      ShotCase{"end wall beside the goal", 0, false, {550, -400}, {750, -400}},
                      ShotCase{"a post", 0, false, {550, 200}, {750, 200}},
                      ShotCase{"a post at an angle", 0, false, {610, 60}, {750, 200}}));

struct GoalCase {
    posicaoXY from;
    posicaoXY vel;
    GoalFor expected;
};

class GoalTest : public ::testing::TestWithParam<GoalCase> {};

TEST_P(GoalTest, TheBallsCentreInAGoalPocketIsAGoal)
{
    Scene s(withRobots({{0, -600, 90}}));
    s.ball.pos = GetParam().from;
    s.ball.vel = GetParam().vel;
    GoalFor goal = GoalFor::None;
    for (int i = 0; i < 10 && goal == GoalFor::None; ++i) {
        s.steps(1);
        goal = s.events.goal;
    }
    EXPECT_EQ(goal, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GoalTest,
    ::testing::Values(GoalCase{{740, 0}, {1000, 0}, GoalFor::Yellow},      // into blue's goal
                      GoalCase{{-740, 150}, {-1000, 0}, GoalFor::Blue},    // into yellow's goal
                      GoalCase{{740, 170}, {300, 0}, GoalFor::Yellow},     // inside the post, slowly
                      GoalCase{{700, 0}, {100, 0}, GoalFor::None},         // short of the line
                      GoalCase{{700, -300}, {3000, 3000}, GoalFor::None},  // beside the mouth
                      GoalCase{{745, 0}, {3000, 0}, GoalFor::Yellow}));    // off the back wall: counted first

TEST(Goal, APocketIsAGoalWhateverPutTheBallThere)
{
    Scene s(withRobots({{0, -600, 90}}));
    EXPECT_EQ(s.physics.field().goalAt({760, 0}), GoalFor::Yellow);
    EXPECT_EQ(s.physics.field().goalAt({-800, -150}), GoalFor::Blue);
    EXPECT_EQ(s.physics.field().goalAt({749, 0}), GoalFor::None);
    EXPECT_EQ(s.physics.field().goalAt({760, 250}), GoalFor::None);
    // A ball set down in the pocket, still, is a goal at the next step.
    s.ball.pos = {800, 50};
    s.steps(1);
    EXPECT_EQ(s.events.goal, GoalFor::Yellow);
}

struct KickCase {
    const char* name;
    double distance;    // ball centre from robot centre
    double bearingDeg;  // ball relative to the heading
    double force;
    bool kicks;
    double ballSpeed;
};

class KickTest : public ::testing::TestWithParam<KickCase> {};

TEST_P(KickTest, ReachAngleAndForce)
{
    const KickCase& c = GetParam();
    Scene s(withRobots({{0, 0, 90}}));
    const posicaoXY dir = bearingDirection(kPi / 2 + degToRad(c.bearingDeg));
    s.ball.pos = {c.distance * dir.x, c.distance * dir.y};
    EXPECT_EQ(s.physics.canKick(s.robots[0], s.ball), c.kicks) << c.name;

    s.physics.command(s.robots[0], kick(0, c.force));
    s.steps(1);
    EXPECT_EQ(s.events.kickers.size(), c.kicks ? 1u : 0u) << c.name;
    if (c.kicks) {
        // After one step of rolling, straight ahead.
        EXPECT_NEAR(speed(s.ball.vel), c.ballSpeed * 0.868, c.ballSpeed * 0.01 + 1.0) << c.name;
    }
    EXPECT_FALSE(s.robots[0].kickPending) << "a kick is tried once";
}

INSTANTIATE_TEST_SUITE_P(Rule, KickTest,
                         ::testing::Values(KickCase{"seated in the mouth", 21, 0, 1.0, true, 2706},
                                           KickCase{"at the reach", 44.9, 10, 0.5, true, 1353},
                                           KickCase{"beyond the reach", 45.5, 0, 1.0, false, 0},
                                           KickCase{"at 59 degrees", 44, 59, 1.0, true, 2706},
                                           KickCase{"at -61 degrees", 44, -61, 1.0, false, 0},
                                           KickCase{"capped", 25, 0, 80.0, true, 3000},
                                           KickCase{"negative force", 25, 0, -1.0, true, 0}));

TEST(Mouth, ABallDrivenIntoSitsInTheMouthAndCanBeKicked)
{
    Scene s(withRobots({{-300, 0, 90}}));
    s.ball.pos = {-200, 18};  // a little off the middle
    s.physics.command(s.robots[0], wheels(kCruiseLevel, kCruiseLevel));
    s.steps(10);
    const double d = std::hypot(s.ball.pos.x - s.robots[0].pos.x, s.ball.pos.y - s.robots[0].pos.y);
    EXPECT_GE(d, s.scenario.physics.mouthDepth - 1.0) << "never deeper than the V";
    EXPECT_LE(d, 25.0) << "pushed into the V and carried along: the agents kick from 25 mm";
    EXPECT_GT(s.ball.pos.x, -200.0) << "dribbled";
    EXPECT_TRUE(s.physics.canKick(s.robots[0], s.ball));

    s.physics.command(s.robots[0], kick(0, 1.0));
    s.steps(1);
    EXPECT_EQ(s.events.kickers, std::vector<int>{0});
    EXPECT_GT(s.ball.vel.x, 2000.0);
}

TEST(Mouth, ABallTouchingASideOrTheBackCannotBeKicked)
{
    for (const auto& [ahead, left] : {std::pair{0.0, 58.6}, std::pair{0.0, -58.6}, std::pair{-58.6, 0.0},
                                      std::pair{20.0, 58.6}}) {
        Scene s(withRobots({{0, 0, 90}}));
        s.ball.pos = relativeTo(s.robots[0], ahead, left);
        s.physics.command(s.robots[0], kick(0, 1.0));
        s.steps(1);
        EXPECT_TRUE(s.events.kickers.empty()) << ahead << ", " << left;
        EXPECT_LT(speed(s.ball.vel), 1.0);
    }
}

enum class BallAt { Seated, MouthEdge, AgainstWall };

class WideKickTest : public ::testing::TestWithParam<std::tuple<double, BallAt>> {};

// A mouth-limited kick leaves through the mouth: at the asked angle within
// the mouth's opening, at its edge beyond it, at full speed; against a wall
// it never passes the wall.
TEST_P(WideKickTest, TheBallLeavesThroughTheMouth)
{
    const struct {
        double angleDeg;
        BallAt at;
    } c{std::get<0>(GetParam()), std::get<1>(GetParam())};
    const bool wall = c.at == BallAt::AgainstWall;
    // Facing the side wall y = +650 with the seated ball touching it, or facing +x in the open.
    Scenario mouthLimited = withRobots({wall ? Pose{0, 650 - 21 - 20, 180} : Pose{0, 0, 90}});
    mouthLimited.physics.kickModel = KickModel::Mouth;
    Scene s(mouthLimited);
    const double depth = c.at == BallAt::MouthEdge ? 40.0 : s.scenario.physics.mouthDepth;
    s.ball.pos = relativeTo(s.robots[0], depth, 0);
    const double opening = radToDeg(kickOpening(s.scenario.physics));
    ASSERT_GT(opening, 25.0);
    ASSERT_LT(opening, 40.0);

    s.physics.command(s.robots[0], kick(c.angleDeg, 1.0));
    s.steps(1);
    ASSERT_EQ(s.events.kickers, std::vector<int>{0});
    if (wall) {
        for (int i = 0; i < 20; ++i) {
            ASSERT_LE(s.ball.pos.y, 650 - 21 + kPressTolerance) << c.angleDeg << " at step " << i;
            s.steps(1);
        }
        return;
    }
    const double expected = std::min(c.angleDeg, opening);
    const double left = radToDeg(wrapAngle(bearingTo({0, 0}, {s.ball.vel.x, s.ball.vel.y}) - s.robots[0].heading));
    EXPECT_NEAR(left, expected, 1.0) << c.angleDeg;
    EXPECT_NEAR(speed(s.ball.vel), 2706 * 0.868, 2706 * 0.02) << c.angleDeg << ": no prong in the way";
}

INSTANTIATE_TEST_SUITE_P(Angles, WideKickTest,
                         ::testing::Combine(::testing::Values(0.0, 20.0, 45.0, 90.0, 135.0, 180.0),
                                            ::testing::Values(BallAt::Seated, BallAt::MouthEdge,
                                                              BallAt::AgainstWall)));

class AimedKickTest : public ::testing::TestWithParam<double> {};

// An aimed kick leaves at the asked angle, whatever it is, straight through
// its own kicker without touching it, and meets a robot standing in its way.
TEST_P(AimedKickTest, LeavesAsAskedThroughItsKickerButNotThroughAnother)
{
    const double angleDeg = GetParam();
    Scenario scenario = withRobots({{0, 0, 90}, {0, 0, 0}});
    ASSERT_EQ(scenario.physics.kickModel, KickModel::Aimed) << "the default";
    // The other robot 400 mm out along the kick's line.
    const posicaoXY line = bearingDirection(kPi / 2 + degToRad(angleDeg));
    scenario.robots[1].kickoff = {400 * line.x, 400 * line.y};
    Scene s(scenario);
    s.ball.pos = relativeTo(s.robots[0], s.scenario.physics.mouthDepth, 0);

    s.physics.command(s.robots[0], kick(angleDeg, 1.0));
    s.steps(1);
    ASSERT_EQ(s.events.kickers, std::vector<int>{0});
    EXPECT_NEAR(s.events.kickAskedDeg, angleDeg, 1e-9);
    EXPECT_NEAR(wrapAngle(s.events.kickLeftBearing - s.robots[0].heading - degToRad(angleDeg)), 0.0, 1e-9);
    // Not yet at the other robot: it flies on unhindered.
    const double left = radToDeg(wrapAngle(bearingTo({0, 0}, s.ball.vel) - s.robots[0].heading));
    EXPECT_NEAR(wrapAngle(degToRad(left - angleDeg)), 0.0, degToRad(1.0)) << angleDeg;
    EXPECT_NEAR(speed(s.ball.vel), 2706 * 0.868, 2706 * 0.02) << angleDeg << ": the kicker is no obstacle";
    bool hit = false;
    for (int i = 0; i < 10 && !hit; ++i) {
        const posicaoXY from = s.ball.pos;
        s.steps(1);
        EXPECT_EQ(std::count(s.events.touchers.begin(), s.events.touchers.end(), 0), 0) << angleDeg;
        EXPECT_FALSE(ballCrossedRobot(s, s.robots[1], from)) << angleDeg << " at step " << i;
        hit = std::count(s.events.touchers.begin(), s.events.touchers.end(), 1) > 0;
    }
    EXPECT_TRUE(hit) << angleDeg << ": the robot in the way stops the ball";
    EXPECT_EQ(s.events.passing, -1) << "parted";
}

INSTANTIATE_TEST_SUITE_P(Angles, AimedKickTest, ::testing::Values(0.0, 90.0, 150.0, 180.0, -120.0));

// Kicks that cannot carry the ball away never leave it inside its kicker:
// one into a wall right ahead, repeated, and one too weak to pass the robot.
TEST(AimedKick, NeverLeavesTheBallInsideItsKicker)
{
    for (const auto& [angleDeg, force, gap] : {std::tuple{0.0, 1.0, 3.0}, std::tuple{10.0, 1.0, 3.0},
                                               std::tuple{180.0, 0.02, 300.0}, std::tuple{120.0, 0.05, 300.0}}) {
        // Facing the side wall y = +650, the seated ball `gap` mm short of it.
        Scene s(withRobots({{0, 650 - 21 - 20 - gap, 180}}));
        s.ball.pos = relativeTo(s.robots[0], s.scenario.physics.mouthDepth, 0);
        for (int i = 0; i < 20; ++i) {
            s.physics.command(s.robots[0], kick(angleDeg, force));
            s.steps(1);
        }
        s.steps(5);
        EXPECT_FALSE(ballInsideRobot(s, s.robots[0])) << angleDeg << " degrees, force " << force;
        EXPECT_EQ(s.events.passing, -1) << angleDeg;
    }
}

TEST(AimedKick, ItsKickerMeetsTheBallAgainOnceTheyHaveParted)
{
    // Kicked backwards against the wall behind: it bounces back into the kicker.
    Scene s(withRobots({{0, 650 - 200, 0}}));
    s.ball.pos = relativeTo(s.robots[0], s.scenario.physics.mouthDepth, 0);
    s.physics.command(s.robots[0], kick(180, 1.0));
    bool touchedAgain = false;
    for (int i = 0; i < 15; ++i) {
        s.steps(1);
        touchedAgain = touchedAgain || (i > 0 && !s.events.touchers.empty());
        EXPECT_FALSE(ballInsideRobot(s, s.robots[0]) && s.events.passing < 0) << "at step " << i;
    }
    EXPECT_TRUE(touchedAgain);
}

// A weak kick beside the mouth towards a wall close by: the ball comes back
// into its kicker and stops there, gets its contact back and is pushed out.
// While it lies inside, the step names the kicker as the one it passes.
TEST(AimedKick, ABallThatStopsInItsKickerIsNamedPassingUntilItIsOut)
{
    for (const auto& [angleDeg, force, gap] : {std::tuple{110.0, 0.15, 0.0}, std::tuple{135.0, 0.1, 0.0},
                                               std::tuple{105.0, 0.15, 2.0}, std::tuple{55.0, 0.2, 10.0}}) {
        // Along the side wall y = +650, `gap` mm off it: kicks at positive angles go towards it.
        Scene s(withRobots({{0, 650 - 37.5 - 2 - gap, 90}}));
        s.ball.pos = relativeTo(s.robots[0], s.scenario.physics.mouthDepth, 0);
        s.physics.command(s.robots[0], kick(angleDeg, force));
        for (int i = 0; i < 30; ++i) {
            s.steps(1);
            EXPECT_FALSE(ballInsideRobot(s, s.robots[0]) && s.events.passing != 0)
                << angleDeg << " degrees, force " << force << ", at step " << i;
        }
        EXPECT_FALSE(ballInsideRobot(s, s.robots[0])) << angleDeg << " degrees: out in the end";
    }
}

TEST(KickTies, TheNearerRobotKicksAndAnExactTieIsDrawnWithoutFavouringAColour)
{
    // A yellow robot and its mirror, a blue one, both with the ball in their
    // mouths and kicking in the same step.
    const auto winner = [](std::uint64_t seed, double yellowAway, double blueAway) {
        Scenario scenario = withRobots({{-yellowAway, 0, 90}, {blueAway, 0, -90}});
        scenario.robots[0].team = TEAM_YELLOW;
        scenario.robots[1].team = TEAM_BLUE;
        scenario.camera.seed = seed;
        Scene s(scenario);
        s.physics.command(s.robots[0], kick(0, 1.0));
        s.physics.command(s.robots[1], kick(0, 1.0));
        s.steps(1);
        EXPECT_EQ(s.events.kickers.size(), 1u) << "only the kick that went off counts";
        EXPECT_FALSE(s.robots[0].kickPending || s.robots[1].kickPending);
        return s.events.kickers.empty() ? -1 : s.events.kickers[0];
    };
    constexpr int kSeeds = 200;
    int yellow = 0;
    for (int seed = 1; seed <= kSeeds; ++seed) {
        yellow += winner(static_cast<std::uint64_t>(seed), 20.0, 20.0) == 0 ? 1 : 0;
        ASSERT_EQ(winner(static_cast<std::uint64_t>(seed), 20.0, 20.5), 0) << seed;
        ASSERT_EQ(winner(static_cast<std::uint64_t>(seed), 20.5, 20.0), 1) << seed;
    }
    // Half of the ties each, within about three standard deviations.
    EXPECT_GT(yellow, kSeeds / 2 - 22);
    EXPECT_LT(yellow, kSeeds / 2 + 22);
}

struct OutsideCase {
    const char* name;
    Pose robot;
    bool putBack;
};

class OutsideTest : public ::testing::TestWithParam<OutsideCase> {};

TEST_P(OutsideTest, ARobotOutsideTheWallsComesBackInside)
{
    const OutsideCase& c = GetParam();
    // Another robot stands where the first would come back, and the ball beside it.
    Scene s(withRobots({c.robot, {-690, 0, 0}}));
    s.ball.pos = {-690, 100};
    s.steps(1);
    EXPECT_EQ(s.events.putBack, c.putBack ? std::vector<int>{0} : std::vector<int>{}) << c.name;
    s.steps(5);
    ASSERT_TRUE(robotInsideField(s, s.robots[0])) << c.name;
    EXPECT_LT(robotsPenetration(s, s.robots[0], s.robots[1]), kPressTolerance) << c.name;
    EXPECT_FALSE(ballInsideRobot(s, s.robots[0])) << c.name;
    if (c.putBack) {
        const posicaoXY wanted = {std::clamp(c.robot.x, -750 + 55.0, 750 - 55.0),
                                  std::clamp(c.robot.y, -650 + 55.0, 650 - 55.0)};
        EXPECT_LT(std::hypot(s.robots[0].pos.x - wanted.x, s.robots[0].pos.y - wanted.y), 200.0)
            << c.name << ": the nearest free place";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Places, OutsideTest,
    ::testing::Values(OutsideCase{"beyond a side wall", {200, 800, 30}, true},
                      OutsideCase{"beyond an end wall beside the goal", {900, -400, 0}, true},
                      OutsideCase{"behind the goal pocket, where a robot stands inside", {-900, 0, 90}, true},
                      OutsideCase{"inside a goal pocket", {790, 0, 90}, false},
                      OutsideCase{"in the open", {0, 0, 0}, false}));

// Distance of `p` in front of its corner's block (mm; negative behind it).
double beforeCornerBlock(const FieldSpec& f, posicaoXY p)
{
    return ((f.length / 2.0 - std::fabs(p.x)) + (f.width / 2.0 - std::fabs(p.y)) - f.cornerBlock) / std::sqrt(2.0);
}

class CornerBlockTest : public ::testing::TestWithParam<posicaoXY> {};  // the corner's signs

TEST_P(CornerBlockTest, KeepsTheBallAndRobotsOutOfTheCorner)
{
    const posicaoXY sign = GetParam();
    // A robot in the opposite corner pokes behind its block.
    Scenario sc = withRobots({{0, 0, 0}, {-sign.x * 700, -sign.y * 600, 0}});
    sc.field.cornerBlock = 70;
    Scene s(sc);
    s.ball.pos = {sign.x * 400, sign.y * 600};
    s.ball.vel = {sign.x * 1500, 0};  // along the wall into the corner
    for (int i = 0; i < 15; ++i) {
        s.steps(1);
        ASSERT_GT(beforeCornerBlock(sc.field, s.ball.pos), 21.0 - kPressTolerance) << "step " << i;
    }
    const RobotBody& r = s.robots[1];
    for (const posicaoXY c : {posicaoXY{-37.5, -37.5}, {-37.5, 37.5}, {37.5, -37.5}, {37.5, 37.5}}) {
        EXPECT_GT(beforeCornerBlock(sc.field, {r.pos.x + c.x, r.pos.y + c.y}), -kPressTolerance);
    }
    EXPECT_FALSE(s.physics.field().inside({sign.x * 740, sign.y * 640})) << "a ball behind a block is out";
}

INSTANTIATE_TEST_SUITE_P(Corners, CornerBlockTest,
                         ::testing::Values(posicaoXY{1, 1}, posicaoXY{1, -1}, posicaoXY{-1, 1}, posicaoXY{-1, -1}));

TEST(BallMotion, BouncesOffARobotAsAPlasticBall)
{
    // Straight into the back of a robot standing still.
    Scene s(withRobots({{0, 0, 90}}));
    s.ball.pos = {-200, 0};
    s.ball.vel = {1000, 0};
    double before = 0.0;
    for (int i = 0; i < 10 && s.ball.vel.x > 0; ++i) {
        before = s.ball.vel.x;
        s.steps(1);
    }
    ASSERT_LT(s.ball.vel.x, 0.0);
    s.steps(1);
    const double ratio = -s.ball.vel.x / (before * 0.868 * 0.868);
    EXPECT_GT(ratio, 0.2);
    EXPECT_LT(ratio, 0.5);
}

TEST(Touches, TheRobotsThatTouchedTheBallAreReported)
{
    Scene s(withRobots({{-300, 0, 90}, {0, 300, 90}}));
    s.ball.pos = {-240, 0};
    s.physics.command(s.robots[0], wheels(kCruiseLevel, kCruiseLevel));
    bool touched = false;
    for (int i = 0; i < 5; ++i) {
        s.steps(1);
        touched = touched || s.events.touchers == std::vector<int>{0};
        EXPECT_TRUE(s.events.touchers.empty() || s.events.touchers == std::vector<int>{0});
    }
    EXPECT_TRUE(touched);
}

// A scene and its mirror (turned by half a turn about the centre, the
// robots listed the other way round, as the other colour sees it), driven
// alike. Returns how far apart (mm) the mirror's bodies get from the mirror
// of the scene's and the worst heading difference, over `steps` steps or,
// with `untilContact`, until two robots come within touching distance.
struct MirrorRun {
    double place = 0.0;
    double heading = 0.0;
};

MirrorRun runMirrored(const std::vector<Pose>& scene, posicaoXY ballPos, posicaoXY ballVel, int steps, bool untilContact)
{
    std::vector<Pose> mirror;
    for (auto it = scene.rbegin(); it != scene.rend(); ++it) {
        mirror.push_back({-it->x, -it->y, it->headingDeg + 180});
    }
    Scene a(withRobots(scene));
    Scene b(withRobots(mirror));
    const std::vector<std::pair<double, double>> levels = {
        {kTopLevel, 100}, {80, kTopLevel}, {kCruiseLevel, kCruiseLevel}, {60, -60}};
    a.ball.pos = ballPos;
    b.ball.pos = {-ballPos.x, -ballPos.y};
    a.ball.vel = ballVel;
    b.ball.vel = {-ballVel.x, -ballVel.y};
    const std::size_t n = scene.size();
    MirrorRun run;
    for (int step = 0; step < steps; ++step) {
        if (step % 40 == 0) {
            for (std::size_t i = 0; i < n; ++i) {
                const auto [l, r] = levels[(i + static_cast<std::size_t>(step / 40)) % levels.size()];
                a.physics.command(a.robots[i], wheels(l, r));
                b.physics.command(b.robots[n - 1 - i], wheels(l, r));
            }
        }
        a.steps(1);
        b.steps(1);
        bool touching = false;
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = i + 1; j < n; ++j) {
                touching = touching || std::hypot(a.robots[i].pos.x - a.robots[j].pos.x,
                                                  a.robots[i].pos.y - a.robots[j].pos.y) < 110.0;
            }
        }
        if (untilContact && touching) {
            break;
        }
        run.place = std::max(run.place, std::hypot(a.ball.pos.x + b.ball.pos.x, a.ball.pos.y + b.ball.pos.y));
        for (std::size_t i = 0; i < n; ++i) {
            const RobotBody& ra = a.robots[i];
            const RobotBody& rb = b.robots[n - 1 - i];
            run.place = std::max(run.place, std::hypot(ra.pos.x + rb.pos.x, ra.pos.y + rb.pos.y));
            run.heading = std::max(run.heading, std::fabs(wrapAngle(ra.heading - rb.heading + kPi)));
        }
    }
    return run;
}

TEST(Symmetry, AMirroredSceneMovesAsTheMirrorOfTheSceneUntilRobotsMeet)
{
    // Driving, turning, wheels and ball alike for both colours. Once robots
    // collide, the engine's sequential solver meets the contacts in another
    // order in the mirror, and with wheels that hold the robots part by a
    // millimetre or two, which later collisions grow past any tolerance.
    const MirrorRun run = runMirrored({{-500, -200, 60}, {-150, 100, 200}, {300, -350, -30}, {100, 250, 135}},
                                      {-100, -50}, {400, 250}, kMirrorSteps, true);
    EXPECT_LT(run.place, kMirrorPlaceTolerance);
    EXPECT_LT(run.heading, kMirrorHeadingTolerance);
}

TEST(Determinism, TheSameCommandsGiveTheSamePosesToTheLastBit)
{
    const auto run = [] {
        Scene s(withRobots({{-300, 0, 80}, {-100, 40, -100}}));
        s.ball.pos = {-200, 10};
        s.physics.command(s.robots[0], wheels(kTopLevel, 100));
        s.physics.command(s.robots[1], wheels(kTopLevel, kTopLevel));
        s.steps(200);
        return std::vector<double>{s.robots[0].pos.x, s.robots[0].pos.y, s.robots[1].heading, s.ball.pos.x,
                                   s.ball.pos.y};
    };
    EXPECT_EQ(run(), run());
}

}  // namespace
