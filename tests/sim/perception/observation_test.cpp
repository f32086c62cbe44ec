// What a robot is told it sees: observation geometry, the world-state
// document as the agent's own reader takes it, and the camera model.

#include <gtest/gtest.h>

#include <cmath>

#include "protocol/WorldDataApplication.h"
#include "sim/perception/Camera.h"
#include "sim/perception/Landmarks.h"
#include "sim/perception/WorldStateWriter.h"
#include "sim/physics/World.h"
#include "xml/XMLSerializer.h"

namespace {

posicaoXY flagPlace(const char* name)
{
    for (const Landmark& l : fieldLandmarks(FieldSpec{})) {
        if (std::string(l.name) == name) {
            return l.place;
        }
    }
    ADD_FAILURE() << "no flag " << name;
    return {0, 0};
}

struct ObservationCase {
    double headingDeg;
    const char* flag;
    double dist;
    double angleDeg;
};

class FlagObservationTest : public ::testing::TestWithParam<ObservationCase> {};

// Values worked out by hand for a robot at (-300, 200) on the default field.
TEST_P(FlagObservationTest, MatchesHandComputedValues)
{
    const ObservationCase& c = GetParam();
    const Observation o = observe({-300, 200}, degToRad(c.headingDeg), flagPlace(c.flag));
    EXPECT_NEAR(o.dist, c.dist, 1e-3) << c.flag;
    EXPECT_NEAR(o.angleDeg, c.angleDeg, 1e-3) << c.flag << " at heading " << c.headingDeg;
}

INSTANTIATE_TEST_SUITE_P(
    Default, FlagObservationTest,
    ::testing::Values(ObservationCase{0, "middle_center", 360.5551, 56.3099},
                      ObservationCase{0, "top_left_corner", 961.7692, -27.8973},
                      ObservationCase{0, "bottom_center", 540.8327, 146.3099},
                      ObservationCase{0, "top_left_pole", 602.0797, -48.3665},
                      ObservationCase{0, "bottom_right_pole", 1050.0, 90.0},
                      ObservationCase{170, "middle_center", 360.5551, -113.6901},
                      ObservationCase{170, "top_left_corner", 961.7692, 162.1027},
                      ObservationCase{170, "bottom_center", 540.8327, -23.6901},
                      ObservationCase{170, "top_left_pole", 602.0797, 141.6335},
                      ObservationCase{170, "bottom_right_pole", 1050.0, -80.0}));

TEST(Orientation, WholeDegreesFromThePlusXAxis)
{
    EXPECT_EQ(orientationDegrees(degToRad(90)), 0);     // facing +x
    EXPECT_EQ(orientationDegrees(degToRad(0)), 270);    // facing -y
    EXPECT_EQ(orientationDegrees(degToRad(180)), 90);   // facing +y
    EXPECT_EQ(orientationDegrees(degToRad(-90)), 180);  // facing -x
    EXPECT_EQ(orientationDegrees(degToRad(89.9)), 0);   // rounds, never 360
}

class WorldStateDocument : public ::testing::Test {
protected:
    WorldStateDocument() : scenario(defaultScenario(3)), physics(scenario), camera(scenario.camera, scenario.robots)
    {
        physics.placeForKickoff(robots, ball);
        ball.pos = {100, -50};
        camera.takeFrame(0.0);
    }

    WorldDataApplication readAs(std::size_t observer, const WorldStateHeader& header)
    {
        WorldStateWriter writer(scenario);
        const std::string& doc = writer.build(observer, robots, ball, camera, header);
        WorldDataApplication wd;
        EXPECT_TRUE(wd.read(XMLSerializer::documentToRoot(doc.data(), doc.size()))) << doc;
        return wd;
    }

    Scenario scenario;
    World physics;
    Camera camera;
    std::vector<RobotBody> robots;
    BallBody ball;
};

TEST_F(WorldStateDocument, TheAgentsReaderTakesEveryField)
{
    RobotCommand cmd;
    cmd.kind = RobotCommand::Kind::Wheels;
    cmd.left = 88.5957620831557;
    cmd.right = -32.596700064096;
    physics.command(robots[4], cmd);
    WorldStateHeader header{12.5, "warn ending", 2, 1};

    const WorldDataApplication wd = readAs(4, header);  // blue B1 at (300, 250), facing -x
    EXPECT_DOUBLE_EQ(wd.mTime, 12.5);
    EXPECT_EQ(wd.mAgentID, 5u);
    EXPECT_TRUE(wd.mStatus);
    EXPECT_EQ(wd.mMaxAgents, 6);
    EXPECT_EQ(wd.mPlayMode, "warn ending");
    EXPECT_EQ(wd.mNickname, "B1");
    EXPECT_EQ(wd.mScore.mYellow, 2);
    EXPECT_EQ(wd.mScore.mBlue, 1);
    const Observation b = observe(robots[4].pos, robots[4].heading, ball.pos);
    EXPECT_EQ(wd.mBall.mDist, static_cast<unsigned>(std::lround(b.dist)));
    EXPECT_NEAR(wd.mBall.mDegAngle, b.angleDeg, 1e-3);
    EXPECT_EQ(wd.Teammates().size(), 2u);
    EXPECT_EQ(wd.Opponents().size(), 3u);
    EXPECT_EQ(wd.mFlags.size(), kFlagCount);
    for (const Landmark& l : fieldLandmarks(scenario.field)) {
        const Flag f = wd.getFlag(l.name);
        const Observation o = observe(robots[4].pos, robots[4].heading, l.place);
        EXPECT_EQ(f.mDist, static_cast<unsigned>(o.dist)) << l.name;  // the reader truncates
        EXPECT_NEAR(f.mAngle, degToRad(o.angleDeg), 1e-4) << l.name;
    }
    EXPECT_NEAR(wd.mLastCommand.mLeftVelocity, 88.5958, 1e-4);
    EXPECT_NEAR(wd.mLastCommand.mRightVelocity, -32.5967, 1e-4);
}

TEST_F(WorldStateDocument, KicksAndSteeringAreEchoed)
{
    RobotCommand k;
    k.kind = RobotCommand::Kind::Kick;
    k.kickAngleDeg = -45.5;
    k.kickForce = 0.55;
    physics.command(robots[0], k);
    const WorldDataApplication wd = readAs(0, WorldStateHeader{});
    EXPECT_FLOAT_EQ(wd.mLastCommand.mdAngle, -45.5f);
    EXPECT_FLOAT_EQ(wd.mLastCommand.mStrength, 0.55f);

    RobotCommand g;
    g.kind = RobotCommand::Kind::Goto;
    g.gotoDist = 300;
    g.gotoAngleDeg = -20;
    physics.command(robots[1], g);
    const WorldDataApplication wg = readAs(1, WorldStateHeader{});
    EXPECT_EQ(wg.mLastCommand.mDist, 300u);
    EXPECT_EQ(wg.mLastCommand.miAngle, -20);
}

TEST_F(WorldStateDocument, AnUnseenRobotIsToldItIsLostAndOthersSeeItLost)
{
    Scenario s = scenario;
    s.camera.blackouts.push_back({2, 0.0, 1.0});
    Camera blackout(s.camera, s.robots);
    blackout.takeFrame(0.5);
    camera = blackout;

    const WorldDataApplication lost = readAs(1, WorldStateHeader{});
    EXPECT_FALSE(lost.mStatus);
    EXPECT_TRUE(lost.mFlags.empty());

    const WorldDataApplication other = readAs(0, WorldStateHeader{});
    EXPECT_TRUE(other.mStatus);
    EXPECT_FALSE(other.getAgent(2).found());
    EXPECT_TRUE(other.getAgent(3).found());
}

TEST(CameraModel, TheSameSeedRepeatsAndAnotherDiffers)
{
    Scenario s = defaultScenario(3);
    s.camera.distNoise = 5;
    s.camera.angleNoise = 1;
    s.camera.dropout = 0.2;
    const auto run = [&](std::uint64_t seed) {
        s.camera.seed = seed;
        Camera c(s.camera, s.robots);
        std::vector<double> draws;
        for (int step = 0; step < 50; ++step) {
            c.takeFrame(step * 0.066);
            for (std::size_t i = 0; i < s.robots.size(); ++i) {
                draws.push_back(c.seen(i));
            }
            draws.push_back(c.blur({1000, 10}).dist);
            draws.push_back(c.blur({1000, 179.9}).angleDeg);
        }
        return draws;
    };
    EXPECT_EQ(run(7), run(7));
    EXPECT_NE(run(7), run(8));

    // Noise stays plausible and angles stay wrapped.
    Camera c(s.camera, s.robots);
    double sum = 0;
    int unseen = 0;
    const int n = 4000;
    for (int i = 0; i < n; ++i) {
        const Observation o = c.blur({1000, 179.9});
        sum += o.dist - 1000;
        EXPECT_LE(std::fabs(o.angleDeg), 180.0);
        c.takeFrame(i);
        unseen += c.seen(0) ? 0 : 1;
    }
    EXPECT_NEAR(sum / n, 0.0, 0.5);
    EXPECT_NEAR(static_cast<double>(unseen) / n, 0.2, 0.03);
}

TEST(CameraModel, BlackoutsCoverTheirInterval)
{
    CameraSpec cameraSetup;
    cameraSetup.blackouts.push_back({5, 2.0, 3.0});
    Camera c(cameraSetup, defaultScenario(3).robots);
    const struct {
        double t;
        bool seen;
    } cases[] = {{1.99, true}, {2.0, false}, {2.5, false}, {3.0, true}};
    for (const auto& k : cases) {
        c.takeFrame(k.t);
        EXPECT_EQ(c.seen(4), k.seen) << k.t;
        EXPECT_TRUE(c.seen(3)) << k.t;
    }
}

}  // namespace
