// Self-localisation, heading and the way back to robot-relative vectors, for
// both colours and poses all over the field.

#include <cmath>
#include <tuple>

#include <gtest/gtest.h>

#include "support/WorldFixture.h"

namespace {

constexpr double kToleranciaMm = 4.0;
constexpr double kToleranciaRad = 0.01;

double angleDiff(double a, double b)
{
    return std::remainder(a - b, kTwoPi);
}

struct Pose {
    double x;
    double y;
    double headingDeg;
};

struct Field {
    double length;
    double width;
    double postToCorner;
};

constexpr Field kThreeASide{1500, 1300, 450};
constexpr Field kFiveASide{2200, 1800, 700};

class LocalisationTest : public ::testing::TestWithParam<std::tuple<mrTeam, Pose, Field>> {
protected:
    ScratchWorkDir dir;
};

TEST_P(LocalisationTest, RecoversPositionBallHeadingAndRelativeVectors)
{
    const mrTeam team = std::get<0>(GetParam());
    const Pose pose = std::get<1>(GetParam());
    const Field field = std::get<2>(GetParam());
    Scene scene;
    scene.length = field.length;
    scene.width = field.width;
    scene.postToCorner = field.postToCorner;
    scene.team = team;
    scene.me = {pose.x, pose.y};
    scene.heading = degToRad(pose.headingDeg);
    scene.ball = {-pose.x / 2 + 120, pose.y / 3 - 90};
    auto world = worldFromScene(scene, worldSettings(team));

    // The field's measures come from sight lines to far flags: their error
    // grows with the field.
    const double measureTolerance = 1.5 * field.length / kThreeASide.length;
    EXPECT_NEAR(world->compCampo(), scene.length, measureTolerance);
    EXPECT_NEAR(world->largCampo(), scene.width, measureTolerance);
    EXPECT_NEAR(world->distTraveCorner(), scene.postToCorner, measureTolerance);

    const posicaoXY eu = world->getMinhaPosicaoXY();
    EXPECT_NEAR(eu.x, pose.x, kToleranciaMm);
    EXPECT_NEAR(eu.y, pose.y, kToleranciaMm);

    const posicaoXY bola = world->getBolaXY();
    EXPECT_NEAR(bola.x, scene.ball.x, kToleranciaMm);
    EXPECT_NEAR(bola.y, scene.ball.y, kToleranciaMm);

    EXPECT_NEAR(angleDiff(world->getAgentOrientation(), scene.heading), 0, kToleranciaRad);

    // The robot's own spot has no direction, but must not give one that is no number.
    const vector_t aqui = world->getVectorFromAgentTo(eu);
    EXPECT_EQ(aqui.length, 0);
    EXPECT_TRUE(std::isfinite(aqui.angle));

    for (const posicaoXY alvo : {posicaoXY{500, -400}, posicaoXY{-600, 300}, posicaoXY{0, 0}, posicaoXY{700, 600}}) {
        const vector_t esperado = sceneRelative(scene, alvo);
        const vector_t obtido = world->getVectorFromAgentTo(alvo);
        EXPECT_NEAR(obtido.length, esperado.length, kToleranciaMm) << alvo;
        EXPECT_NEAR(angleDiff(obtido.angle, esperado.angle), 0, kToleranciaRad) << alvo;
    }
}

INSTANTIATE_TEST_SUITE_P(
    BothColoursEveryQuarter, LocalisationTest,
    ::testing::Combine(::testing::Values(TEAM_YELLOW, TEAM_BLUE),
                       ::testing::Values(Pose{-400, -300, 0}, Pose{-500, 350, 90}, Pose{450, -250, 200},
                                         Pose{300, 420, -135}, Pose{-120, 60, 45}, Pose{650, 10, 179},
                                         Pose{-680, -560, -80}),
                       ::testing::Values(kThreeASide)));

// The five-a-side field: the same error, with poses out to its corners.
INSTANTIATE_TEST_SUITE_P(
    FiveASideField, LocalisationTest,
    ::testing::Combine(::testing::Values(TEAM_YELLOW, TEAM_BLUE),
                       ::testing::Values(Pose{-590, -415, 0}, Pose{660, -350, 200}, Pose{-1020, -820, -80},
                                         Pose{1040, 800, 120}, Pose{950, 10, 179}),
                       ::testing::Values(kFiveASide)));

}  // namespace
