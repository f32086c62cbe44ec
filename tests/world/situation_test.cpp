// Decisions on the current game situation: nearness to the ball, the kicker,
// marking, being stuck, the last command, the pass receiver and goal openness.

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/WorldFixture.h"

namespace {

// This robot at the centre facing the opponent's goal (+x); robots placed on
// the x axis are seen at exactly 0 or 180 degrees, so their distances are exact.
Scene centreScene(posicaoXY ball)
{
    Scene s;
    s.me = {0, 0};
    s.heading = kPi / 2;
    s.ball = ball;
    return s;
}

SceneRobot mate(int id, const std::string& nick, posicaoXY p, bool found = true)
{
    return SceneRobot{id, nick, true, p, 0, found};
}

SceneRobot rival(int id, posicaoXY p)
{
    return SceneRobot{id, "o" + std::to_string(id), false, p, 0, true};
}

struct ClosestCase {
    const char* name;
    std::vector<SceneRobot> others;
    grupos_t grupo;
    bool closest;
};

class ClosestToBallTest : public ::testing::TestWithParam<ClosestCase> {
protected:
    ScratchWorkDir dir;
};

// Ball 200 mm ahead of this robot.
TEST_P(ClosestToBallTest, JudgesAgainstTheGroup)
{
    const ClosestCase c = GetParam();
    Scene s = centreScene({200, 0});
    s.others = c.others;
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW));
    EXPECT_EQ(world->mr_iAmClosestToBall(c.grupo), c.closest) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Groups, ClosestToBallTest,
    ::testing::Values(
        ClosestCase{"no teammate", {}, GRUPO_MEUTIME, true},
        ClosestCase{"teammate tie", {mate(2, "t2", {400, 0})}, GRUPO_MEUTIME, true},
        ClosestCase{"teammate nearer", {mate(2, "t2", {350, 0})}, GRUPO_MEUTIME, false},
        ClosestCase{"unseen teammate", {mate(2, "t2", {210, 0}, false)}, GRUPO_MEUTIME, true},
        ClosestCase{"goalkeeper nearer", {mate(2, "GO", {300, 0}), mate(3, "t3", {500, 0})}, GRUPO_MEUTIME, false},
        ClosestCase{"goalkeeper left out",
                    {mate(2, "GO", {300, 0}), mate(3, "t3", {500, 0})},
                    GRUPO_MEU_TIME_SEM_GOLEIRO,
                    true},
        ClosestCase{"no goalkeeper: all teammates", {mate(3, "t3", {300, 0})}, GRUPO_MEU_TIME_SEM_GOLEIRO, false},
        ClosestCase{"only a goalkeeper", {mate(2, "GO", {210, 0})}, GRUPO_MEU_TIME_SEM_GOLEIRO, true},
        ClosestCase{"no opponent", {}, GRUPO_TIMEOPONENTE, true},
        ClosestCase{"opponent tie", {rival(8, {400, 0})}, GRUPO_TIMEOPONENTE, true},
        ClosestCase{"opponent nearer", {rival(8, {250, 0})}, GRUPO_TIMEOPONENTE, false},
        ClosestCase{"everybody, nobody", {}, GRUPO_TODO, true},
        ClosestCase{"everybody, opponent tie", {rival(8, {400, 0})}, GRUPO_TODO, true},
        ClosestCase{"everybody, teammate tie loses", {mate(2, "t2", {400, 0})}, GRUPO_TODO, false},
        ClosestCase{"everybody, both farther", {mate(2, "t2", {500, 0}), rival(8, {600, 0})}, GRUPO_TODO, true},
        ClosestCase{"everybody, opponent nearer", {mate(2, "t2", {500, 0}), rival(8, {250, 0})}, GRUPO_TODO,
                    false}));

class SituationTest : public ::testing::Test {
protected:
    ScratchWorkDir dir;
};

TEST_F(SituationTest, KickerArmsThenKicksFromTheShorterReach)
{
    Scene s = centreScene({30, 0});
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW));

    EXPECT_FALSE(world->pv_can_kick());  // armed: 30 > 25
    EXPECT_EQ(world->getEstadoSolenoide(), SOLENOIDE_ARMADO);
    EXPECT_EQ(world->recuoSolenoide(), 25);
    EXPECT_FALSE(world->pv_can_kick());  // behind the ball, nobody near
    EXPECT_EQ(world->getEstadoSolenoide(), SOLENOIDE_ARMADO);

    s.others.push_back(rival(8, {0, 150}));  // marked: 150 < 2 * 100
    ASSERT_TRUE(loadScene(*world, s));
    EXPECT_TRUE(world->pv_can_kick());
    EXPECT_EQ(world->getEstadoSolenoide(), SOLENOIDE_EM_CHUTE);
    EXPECT_TRUE(world->pv_can_kick());
    EXPECT_EQ(world->getEstadoSolenoide(), SOLENOIDE_EM_CHUTE);

    s.ball = {150, 0};
    ASSERT_TRUE(loadScene(*world, s));
    EXPECT_FALSE(world->pv_can_kick());
    EXPECT_EQ(world->getEstadoSolenoide(), SOLENOIDE_DESARMADO);
    EXPECT_EQ(world->recuoSolenoide(), 37);
}

TEST_F(SituationTest, KickerKicksAtOnceWithinTheShortReachOrWhenNotBehindTheBall)
{
    auto world = worldFromScene(centreScene({20, 0}), worldSettings(TEAM_YELLOW));
    EXPECT_TRUE(world->pv_can_kick());
    EXPECT_EQ(world->getEstadoSolenoide(), SOLENOIDE_EM_CHUTE);

    // Ball behind this robot (smaller field x): an armed kicker reaches 37.
    world->setEstadoSolenoide(SOLENOIDE_ARMADO);
    ASSERT_TRUE(loadScene(*world, centreScene({-30, 0})));
    EXPECT_TRUE(world->pv_can_kick());
    EXPECT_EQ(world->getEstadoSolenoide(), SOLENOIDE_EM_CHUTE);
}

TEST_F(SituationTest, MarkingDependsOnColourAndSide)
{
    for (const mrTeam team : {TEAM_YELLOW, TEAM_BLUE}) {
        Scene s = centreScene({300, 0});
        s.team = team;
        s.others = {rival(8, {-100, 0})};  // right behind this robot
        auto world = worldFromScene(s, worldSettings(team));
        const vector_t atras{40, kPi};
        const vector_t frente{40, 0};
        EXPECT_EQ(world->isMarcado(atras), team == TEAM_YELLOW);
        EXPECT_FALSE(world->isMarcado(frente));  // 140 mm from the opponent

        s.others = {rival(8, {100, 0})};
        ASSERT_TRUE(loadScene(*world, s));
        EXPECT_EQ(world->isMarcado(frente), team != TEAM_YELLOW);

        s.others.clear();
        ASSERT_TRUE(loadScene(*world, s));
        EXPECT_FALSE(world->isMarcado(frente));
    }
}

TEST_F(SituationTest, TeammateStuckWithOpponentAtTheBall)
{
    Scene s = centreScene({520, 0});
    s.others = {mate(2, "t2", {500, 0}), rival(8, {537, 0})};
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW));
    EXPECT_TRUE(world->isJogadorPertoBolaPreso());

    s.others[1].position = {538, 0};
    ASSERT_TRUE(loadScene(*world, s));
    EXPECT_FALSE(world->isJogadorPertoBolaPreso());

    s.others.pop_back();
    ASSERT_TRUE(loadScene(*world, s));
    EXPECT_FALSE(world->isJogadorPertoBolaPreso());
}

struct CommandCase {
    Scene::Echo echo;
    float left;
    float right;
    movimento kind;
};

class LastCommandTest : public ::testing::TestWithParam<CommandCase> {
protected:
    ScratchWorkDir dir;
};

TEST_P(LastCommandTest, ClassifiesTheEcho)
{
    const CommandCase c = GetParam();
    Scene s = centreScene({200, 0});
    s.echo = c.echo;
    s.echoLeft = c.left;
    s.echoRight = c.right;
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW));
    EXPECT_EQ(world->mrUltimoComandoEnviado(), c.kind);
}

INSTANTIATE_TEST_SUITE_P(Echoes, LastCommandTest,
                         ::testing::Values(CommandCase{Scene::Echo::kWheels, 30, 30, MOV_RETO_FRENTE},
                                           CommandCase{Scene::Echo::kWheels, -30, -30, MOV_RETO_TRAS},
                                           CommandCase{Scene::Echo::kWheels, 0, 0, MOV_PARADO},
                                           CommandCase{Scene::Echo::kWheels, 0.5f, -0.5f, MOV_CURVA_DIR},
                                           CommandCase{Scene::Echo::kWheels, -0.5f, 0.5f, MOV_CURVA_ESQ},
                                           CommandCase{Scene::Echo::kWheels, 40, 30, MOV_CURVA_DIR},
                                           CommandCase{Scene::Echo::kKick, 0, 0, MOV_PARADO},
                                           CommandCase{Scene::Echo::kNone, 0, 0, MOV_PARADO}));

TEST_F(SituationTest, StuckWhenDrivingWithoutMoving)
{
    Scene s = centreScene({200, 0});
    s.me = {-300, 200};
    s.echo = Scene::Echo::kWheels;
    s.echoLeft = s.echoRight = 30;
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW));
    world->salvaMinhaUltimaPosicao();
    EXPECT_FALSE(world->estouPreso());  // one saved position is no history
    world->salvaMinhaUltimaPosicao();
    world->salvaMinhaUltimaPosicao();

    s.me = {-295, 200};
    ASSERT_TRUE(loadScene(*world, s));
    EXPECT_TRUE(world->estouPreso());

    s.echoLeft = s.echoRight = 0;
    ASSERT_TRUE(loadScene(*world, s));
    EXPECT_FALSE(world->estouPreso());

    s.echoLeft = s.echoRight = 30;
    s.me = {-280, 200};
    ASSERT_TRUE(loadScene(*world, s));
    EXPECT_FALSE(world->estouPreso());
}

TEST_F(SituationTest, ReceiverSkipsGoalkeepersAndPrefersTheFreeAttacker)
{
    // A field player: t2 near the opponent's goal and unmarked beats this robot.
    Scene s = centreScene({0, 200});
    s.myId = 1;
    s.others = {mate(2, "t2", {600, 300}), rival(8, {-700, 0})};
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW));
    EXPECT_EQ(world->receptor(), 2);

    // A goalkeeper teammate is never chosen, however well placed; ties keep the earlier one.
    s.others = {mate(3, "GO", {650, 0}), mate(4, "t4", {-200, 300}), rival(8, {-700, 0})};
    ASSERT_TRUE(loadScene(*world, s));
    EXPECT_EQ(world->receptor(), 4);

    // This robot as goalkeeper seeing nobody keeps its own id.
    auto goleiro = worldFromScene(centreScene({0, 200}), worldSettings(TEAM_YELLOW, "GO"));
    EXPECT_EQ(goleiro->receptor(), 1);
}

TEST_F(SituationTest, GoalOpenness)
{
    Scene s = centreScene({100, 0});
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW));
    EXPECT_DOUBLE_EQ(world->getFatorAberturaGol(world->pv_me()), 1.0);

    s.others = {rival(8, {300, 0})};
    ASSERT_TRUE(loadScene(*world, s));
    const double bloqueado = world->getFatorAberturaGol(world->pv_me());
    EXPECT_GT(bloqueado, 0.0);
    EXPECT_LT(bloqueado, 0.6);

    // A teammate standing at the viewpoint does not block it, nor does this robot on its account.
    s.others = {mate(2, "t2", {60, 0})};
    ASSERT_TRUE(loadScene(*world, s));
    EXPECT_DOUBLE_EQ(world->getFatorAberturaGol(world->pv_teammate(2)), 1.0);

    // Posts 2 mm apart, 750 mm away: a window of no whole degree has nothing open.
    Scene fechado = centreScene({100, 0});
    fechado.postToCorner = fechado.width / 2 - 1;
    ASSERT_TRUE(loadScene(*world, fechado));
    EXPECT_EQ(world->getFatorAberturaGol(world->pv_me()), 0.0);
}

TEST_F(SituationTest, BallDisplacementAndKickKinematics)
{
    Scene s = centreScene({100, 0});
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW));
    world->saveLastPosBall();
    s.ball = {130, 40};
    ASSERT_TRUE(loadScene(*world, s));
    const vector_t vel = world->getVelBall();
    EXPECT_NEAR(vel.length, 50, 3);
    EXPECT_NEAR(vel.angle, std::atan2(40, 30), 0.06);

    const vector_t um = world->getVetorVelocidade(1, vector_t{66, 0});
    EXPECT_NEAR(um.length, 1000, 1e-9);
    const vector_t dois = world->getVetorVelocidade(2, vector_t{100, kPi / 2});
    EXPECT_NEAR(dois.length, 100 / (0.066 * (1 + 0.868)), 1e-9);
    EXPECT_NEAR(dois.angle, kPi / 2, 1e-12);
    EXPECT_EQ(world->getVetorVelocidade(0.5, vector_t{100, 0}).length, 0);
    // A huge cycle count ends, at the limit of the geometric sum.
    EXPECT_NEAR(world->getVetorVelocidade(1e300, vector_t{100, 0}).length, 100 * (1 - 0.868) / 0.066, 1e-9);

    const vector_t forca = world->getForca(vector_t{0, 0}, vector_t{1, 0});
    EXPECT_NEAR(forca.length, 3.3 / (0.066 * 0.541166) / 25000, 1e-12);
    EXPECT_NEAR(forca.angle, 0, 1e-12);
}

}  // namespace
