#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "PlayerProbe.h"
#include "Pitch.h"
#include "common/Logger.h"

namespace {

constexpr double kAngleTolerance = 0.5;

// --- kickToGoal: the robot 100 mm in front of the opponent goal ---

struct ShotCase {
    const char* name;
    bool opponent;
    double bearingDeg;
    posicaoXY target;
};

void PrintTo(const ShotCase& c, std::ostream* os)
{
    *os << c.name;
}

class KickToGoalTest : public ::testing::TestWithParam<ShotCase> {};

TEST_P(KickToGoalTest, AimsAwayFromTheGoalkeeper)
{
    const ShotCase& c = GetParam();
    Scene scene = facingGoal({650, 0});
    scene.others = {robot(5, !c.opponent, relativePoint(scene, 80, c.bearingDeg))};
    Pitch pitch(scene);
    pitch.player().kickToGoal();
    expectKick(pitch.player(), sceneRelative(scene, c.target).angle, 1.0, kAngleTolerance);
}

// Posts at y = -200 (left) and 200 (right); the targets sit 5 mm inside them
// and 1 mm behind the line.
INSTANTIATE_TEST_SUITE_P(Mouth, KickToGoalTest,
                         ::testing::Values(ShotCase{"opponentOnLeftShootsRight", true, -30, {751, 195}},
                                           ShotCase{"opponentOnRightShootsLeft", true, 30, {751, -195}},
                                           ShotCase{"teammateIsNoGoalkeeper", false, -30, {751, 0}},
                                           ShotCase{"opponentBesideTheMouthIgnored", true, -80, {751, 0}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KickToGoal, OutsideTheMouthAimsAtTheNearerTarget)
{
    Scene scene = facingGoal({500, -400});
    Pitch pitch(scene);
    pitch.player().kickToGoal();
    expectKick(pitch.player(), sceneRelative(scene, {751, -195}).angle, 1.0, kAngleTolerance);
}

// --- clearBall ---

struct BlockCase {
    const char* name;
    bool teammate;
    double distance;
    bool blocks;
};

void PrintTo(const BlockCase& c, std::ostream* os)
{
    *os << c.name;
}

class ClearBallTest : public ::testing::TestWithParam<BlockCase> {};

double clearanceAngle(Scene scene)
{
    Pitch pitch(scene);
    pitch.player().clearBall();
    EXPECT_EQ(pitch.player().command().kind(), KICK);
    EXPECT_FLOAT_EQ(pitch.player().command().mCommandType.mStrength, 1.0f);
    return pitch.player().command().mCommandType.mdAngle;
}

TEST_P(ClearBallTest, OnlyNearRobotsBlock)
{
    const BlockCase& c = GetParam();
    const Scene open = facingGoal({-500, 0});
    Scene scene = open;
    scene.others = {robot(4, c.teammate, relativePoint(scene, c.distance, 0))};
    const double free = clearanceAngle(open);
    const double got = clearanceAngle(scene);
    if (c.blocks) {
        EXPECT_GT(std::fabs(got - free), 10.0);
    } else {
        EXPECT_NEAR(got, free, 1e-3);
    }
}

INSTANTIATE_TEST_SUITE_P(Ranges, ClearBallTest,
                         ::testing::Values(BlockCase{"opponentAt339", false, 339, true},
                                           BlockCase{"opponentAt340", false, 340, false},
                                           BlockCase{"teammateAt89", true, 89, true},
                                           BlockCase{"teammateAt90", true, 90, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ClearBall, AttackZoneKeepsThePreviousCommand)
{
    Pitch pitch(facingGoal({400, 0}));
    pitch.player().pv_go_straight(60);
    pitch.player().clearBall();
    expectWheels(pitch.player(), 60, 60);
}

// --- passe ---

Scene passScene()
{
    Scene scene = facingGoal({0, 0});
    scene.others = {robot(2, true, {400, 300})};
    return scene;
}

// `text` with the first `from` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The observed values of flag `id` in a message text: "<dist>..</dist><angle>..</angle>".
std::string flagValues(const std::string& text, const std::string& id)
{
    const std::string head = "<flag><id>" + id + "</id>";
    const std::size_t start = text.find(head);
    if (start == std::string::npos) {
        return "";
    }
    const std::size_t from = start + head.size();
    return text.substr(from, text.find("</flag>", from) - from);
}

// The message text with the goal-area flag observed where the post is, so the
// goal area has no depth.
std::string withFlatGoalArea(const std::string& text)
{
    return replaced(text, "<id>top_right_goal</id>" + flagValues(text, "top_right_goal"),
                    "<id>top_right_goal</id>" + flagValues(text, "top_right_pole"));
}

TEST(Passe, ScalesByTheGoalAreaDepth)
{
    Pitch pitch(passScene());
    pitch.player().passe(2);
    const Command& cmd = pitch.player().command();
    ASSERT_EQ(cmd.kind(), KICK);
    EXPECT_TRUE(std::isfinite(cmd.mCommandType.mStrength));
    EXPECT_NE(cmd.mCommandType.mStrength, 1.0f);
    // Between the receiver on the right and the right post.
    EXPECT_GT(cmd.mCommandType.mdAngle, radToDeg(sceneRelative(passScene(), {750, 200}).angle));
    EXPECT_LT(cmd.mCommandType.mdAngle, radToDeg(sceneRelative(passScene(), {400, 300}).angle));
}

TEST(Passe, WithoutGoalAreaDepthKicksAtFullStrength)
{
    Pitch pitch(passScene());
    const std::string text = withFlatGoalArea(buildWorldState(passScene()));
    ASSERT_NE(text, buildWorldState(passScene()));
    ASSERT_TRUE(pitch.world().updateFromText(text.data(), text.size()));
    pitch.player().passe(2);
    const Command& cmd = pitch.player().command();
    ASSERT_EQ(cmd.kind(), KICK);
    EXPECT_FLOAT_EQ(cmd.mCommandType.mStrength, 1.0f);
}

// --- ICanGoToBall: ball 100 mm ahead; robots on the same line ---

struct RaceCase {
    const char* name;
    double opponentToBall;
    double teammateToBall;  // 0: no teammate
    bool expected;
};

void PrintTo(const RaceCase& c, std::ostream* os)
{
    *os << c.name;
}

class ICanGoToBallTest : public ::testing::TestWithParam<RaceCase> {};

TEST_P(ICanGoToBallTest, ComparesWithTheNearestRivals)
{
    const RaceCase& c = GetParam();
    Scene scene = facingGoal({-200, 0});
    scene.ball = relativePoint(scene, 100, 0);
    scene.others = {robot(7, false, relativePoint(scene, 100 + c.opponentToBall, 0))};
    if (c.teammateToBall != 0) {
        scene.others.push_back(robot(2, true, relativePoint(scene, 100 + c.teammateToBall, 0)));
    }
    Pitch pitch(scene);
    EXPECT_EQ(pitch.player().ICanGoToBall(60), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Rivals, ICanGoToBallTest,
                         ::testing::Values(RaceCase{"opponentTooClose", 150, 0, false},
                                           RaceCase{"opponentFarNoTeammate", 170, 0, true},
                                           RaceCase{"opponentFarTeammateNearer", 170, -50, false},
                                           RaceCase{"opponentFarTeammateFarther", 200, 120, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- tentaSeSoltar and carregar ---

TEST(TentaSeSoltar, RunsTheLastWheelCommandBackwards)
{
    Scene scene = facingGoal({0, 0});
    scene.echo = Scene::Echo::kWheels;
    scene.echoLeft = 50;
    scene.echoRight = 30;
    Pitch pitch(scene);
    pitch.player().tentaSeSoltar();
    expectWheels(pitch.player(), -50, -30);
}

TEST(Carregar, HostileAgentCountIsBounded)
{
    Scene scene = facingGoal({300, 0});
    scene.ball = relativePoint(scene, 20, 0);
    Pitch pitch(scene);
    std::string text = buildWorldState(scene);
    text = replaced(text, "<max_agent>10</max_agent>", "<max_agent>2147483647</max_agent>");
    ASSERT_TRUE(pitch.world().updateFromText(text.data(), text.size()));
    ASSERT_EQ(pitch.world().maxAgents(), 2147483647);
    // Every uid probed leaves a debug line; the scan must stop long before max_agent.
    LogParameters::instance().active(true);
    LogParameters::instance().level(log_DEBUG);
    ::testing::internal::CaptureStderr();
    pitch.player().carregar(vector_t{400, 0});
    const std::string log = ::testing::internal::GetCapturedStderr();
    LogParameters::instance().active(false);
    EXPECT_EQ(pitch.player().command().kind(), KICK);
    std::size_t probes = 0;
    for (std::size_t at = log.find("nao encontrado"); at != std::string::npos; at = log.find("nao encontrado", at + 1)) {
        ++probes;
    }
    EXPECT_GT(probes, 0u);
    EXPECT_LE(probes, 256u);
}

}  // namespace
