// Flag table, zones, base position, clamping and the strategic positions,
// on measured fields.

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "common/ClientException.h"
#include "support/WorldFixture.h"

namespace {

constexpr double kTolMm = 4.0;
constexpr double kTolRad = 0.012;

double angleDiff(double a, double b)
{
    return std::remainder(a - b, kTwoPi);
}

void expectVectorTo(const Scene& scene, const vector_t& obtido, posicaoXY alvo)
{
    const vector_t esperado = sceneRelative(scene, alvo);
    EXPECT_NEAR(obtido.length, esperado.length, kTolMm) << "target " << alvo;
    EXPECT_NEAR(angleDiff(obtido.angle, esperado.angle), 0, kTolRad) << "target " << alvo;
}

// Standing on the top-left corner facing the opposite corner of the goal line
// measures the field exactly: one corner is at distance 0 and the others lie at
// observed angles 0 and 90 degrees.
Scene exactMeasureScene(mrTeam team, double L, double W, double D)
{
    Scene s;
    s.team = team;
    s.length = L;
    s.width = W;
    s.postToCorner = D;
    const posicaoXY cantoFisico{-L / 2, -W / 2};
    s.me = team == TEAM_BLUE ? posicaoXY{L / 2, W / 2} : cantoFisico;
    s.heading = team == TEAM_BLUE ? -kPi / 2 : kPi / 2;
    return s;
}

class TacticsTest : public ::testing::Test {
protected:
    ScratchWorkDir dir;
};

struct FlagCase {
    mrTeam team;
    flag_t flag;
    double x;
    double y;
};

class FlagTableTest : public ::testing::TestWithParam<FlagCase> {
protected:
    ScratchWorkDir dir;
};

TEST_P(FlagTableTest, PlacesFlagsPerColour)
{
    const FlagCase c = GetParam();
    auto world = worldFromScene(exactMeasureScene(c.team, 100, 60, 20), worldSettings(c.team));
    const posicaoXY p = world->mrFlagXY(c.flag);
    EXPECT_NEAR(p.x, c.x, 1e-9);
    EXPECT_NEAR(p.y, c.y, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    L100W60D20, FlagTableTest,
    ::testing::Values(FlagCase{TEAM_BLUE, TOP_LEFT_CORNER, 50, 30}, FlagCase{TEAM_YELLOW, TOP_LEFT_CORNER, -50, -30},
                      FlagCase{TEAM_BLUE, BOTTOM_RIGHT_CORNER, -50, -30},
                      FlagCase{TEAM_YELLOW, BOTTOM_RIGHT_CORNER, 50, 30},
                      FlagCase{TEAM_BLUE, TOP_LEFT_POLE, 50, -10}, FlagCase{TEAM_BLUE, TOP_RIGHT_POLE, -50, 10},
                      FlagCase{TEAM_YELLOW, TOP_LEFT_POLE, -50, 10}, FlagCase{TEAM_YELLOW, TOP_RIGHT_POLE, 50, -10},
                      FlagCase{TEAM_YELLOW, BOTTOM_LEFT_POLE, -50, -10},
                      FlagCase{TEAM_YELLOW, BOTTOM_RIGHT_POLE, 50, 10},
                      FlagCase{TEAM_YELLOW, TOP_RIGHT_SMALL_AREA, 0.8473 * 50, -10},
                      FlagCase{TEAM_BLUE, TOP_RIGHT_SMALL_AREA, -0.8473 * 50, 10},
                      FlagCase{TEAM_YELLOW, TOP_LEFT_SMALL_AREA, -50 + 0.1527 * 50, 10},
                      FlagCase{TEAM_BLUE, TOP_LEFT_SMALL_AREA, 50 - 0.1527 * 50, -10},
                      FlagCase{TEAM_YELLOW, TOP_RIGHT_GOAL_AREA, 0.743 * 50, -0.19 * 30},
                      FlagCase{TEAM_BLUE, BOTTOM_LEFT_GOAL_AREA, 0.743 * 50, -0.81 * 30},
                      FlagCase{TEAM_BLUE, TOP_CENTER, 0, 30}, FlagCase{TEAM_YELLOW, BOTTOM_CENTER, 0, 30},
                      FlagCase{TEAM_YELLOW, CENTER, 0, 0}));

TEST_F(TacticsTest, UnmeasuredFieldAndUnknownFlag)
{
    Scene s;
    s.team = TEAM_BLUE;
    s.meFound = false;
    auto world = worldFromScene(s, worldSettings(TEAM_BLUE));
    const posicaoXY canto = world->mrFlagXY(TOP_LEFT_CORNER);
    EXPECT_EQ(canto.x, -5000);
    EXPECT_EQ(canto.y, -5000);

    const posicaoXY desconhecida = world->mrFlagXY(static_cast<flag_t>(19));
    EXPECT_EQ(desconhecida.x, 0);
    EXPECT_EQ(desconhecida.y, 0);
}

TEST_F(TacticsTest, MissingFlagFailsWithTheFlagMessage)
{
    Scene s;
    s.missingFlags = {"top_center"};
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW));
    try {
        world->getMinhaPosicaoXY();
        FAIL() << "no exception";
    } catch (const ClientException& e) {
        EXPECT_STREQ(e.what(), "Logic error in flag request");
    }
    EXPECT_NO_THROW(world->mrFlag("middle_center"));
    EXPECT_THROW(world->mrFlag("no_such_flag"), ClientException);
}

TEST_F(TacticsTest, ZonesAlongTheLength)
{
    auto world = worldFromScene(exactMeasureScene(TEAM_YELLOW, 2000, 1200, 400), worldSettings(TEAM_YELLOW));
    ASSERT_EQ(world->compCampo(), 2000);
    const struct {
        double x;
        zonaEstrategica zona;
    } casos[] = {{-1001, ZONA_INDEFINIDA}, {-1000, ZONA_DEFESA},     {-250.1, ZONA_DEFESA},
                 {-250, ZONA_MEIOCAMPO},   {249.9, ZONA_MEIOCAMPO},  {250, ZONA_INDEFINIDA},
                 {251, ZONA_ATAQUE},       {1000, ZONA_ATAQUE},      {1001, ZONA_INDEFINIDA}};
    for (const auto& c : casos) {
        EXPECT_EQ(world->getZona(posicaoXY{c.x, 123}), c.zona) << c.x;
    }
}

TEST_F(TacticsTest, BaseRectangleAndClamping)
{
    Properties p = worldSettings(TEAM_YELLOW);
    p.setProperty("Y_MINIMO", "0.25");
    p.setProperty("Y_MAXIMO", "0.75");
    auto world = worldFromScene(exactMeasureScene(TEAM_YELLOW, 2000, 1200, 400), p);

    EXPECT_TRUE(std::isnan(world->getPosBase().x));
    EXPECT_FALSE(world->isPosBaseSetted());
    world->setPosBase();
    EXPECT_TRUE(world->isPosBaseSetted());
    EXPECT_NEAR(world->getPosBase().x, -500, 1e-9);
    EXPECT_NEAR(world->getPosBase().y, 0, 1e-9);
    EXPECT_NEAR(world->getXminimo(), -1000, 1e-9);
    EXPECT_NEAR(world->getXmaximo(), 1000, 1e-9);
    EXPECT_NEAR(world->getYminimo(), -300, 1e-9);
    EXPECT_NEAR(world->getYmaximo(), 300, 1e-9);

    const posicaoXY dentro = world->normalizaPosicao(posicaoXY{10, -20});
    EXPECT_EQ(dentro.x, 10);
    EXPECT_EQ(dentro.y, -20);
    const posicaoXY fora = world->normalizaPosicao(posicaoXY{-1500, 700});
    EXPECT_NEAR(fora.x, -1000, 1e-9);
    EXPECT_NEAR(fora.y, 300, 1e-9);
}

// L 2000, W 1200, base (-500, 0), attraction 0.5 / 0.5.
Scene fieldPlayerScene(mrTeam team, posicaoXY me, double heading, posicaoXY ball)
{
    Scene s;
    s.team = team;
    s.length = 2000;
    s.width = 1200;
    s.postToCorner = 400;
    s.me = me;
    s.heading = heading;
    s.ball = ball;
    return s;
}

TEST_F(TacticsTest, StrategicPositionFollowsTheBallBothColours)
{
    for (const mrTeam team : {TEAM_YELLOW, TEAM_BLUE}) {
        const Scene s = fieldPlayerScene(team, {-200, 250}, 1.0, {400, -300});
        auto world = worldFromScene(s, worldSettings(team));
        world->setPosBase();
        expectVectorTo(s, world->posEstrategica(), posicaoXY{-300, -150});
    }
}

TEST_F(TacticsTest, StrategicPositionIsClampedToTheRectangle)
{
    Properties p = worldSettings(TEAM_YELLOW);
    p.setProperty("X_MAXIMO", "0.4");
    const Scene s = fieldPlayerScene(TEAM_YELLOW, {300, -100}, -2.0, {990, 0});
    auto world = worldFromScene(s, p);
    world->setPosBase();
    EXPECT_NEAR(world->getXmaximo(), -200, 1.5);
    expectVectorTo(s, world->posEstrategica(), posicaoXY{world->getXmaximo(), 0});
}

TEST_F(TacticsTest, GoalkeeperHoldsBaseWhileTheBallIsFar)
{
    for (const mrTeam team : {TEAM_YELLOW, TEAM_BLUE}) {
        Scene s = fieldPlayerScene(team, {-900, 0}, kPi / 2, {-700, 0});
        auto world = worldFromScene(s, worldSettings(team, "GO"));
        world->setPosBase();
        // 200 mm: the post rules apply; the ball is level with the goal, so yellow follows its y
        // and blue takes the field player's position.
        const posicaoXY gol{-1000 + 25, 0};
        if (team == TEAM_YELLOW) {
            expectVectorTo(s, world->posEstrategicaGoleiro(), gol);
        } else {
            expectVectorTo(s, world->posEstrategicaGoleiro(), posicaoXY{-500 + 0.5 * -700, 0});
        }
        s.ball = {-699, 0};
        ASSERT_TRUE(loadScene(*world, s));
        expectVectorTo(s, world->posEstrategicaGoleiro(), world->getPosBase());
    }
}

TEST_F(TacticsTest, GoalkeeperGuardsTheNearerPostForAWideBall)
{
    // Yellow: the post table puts TOP_LEFT_POLE at y = W/2 - D (200) and BOTTOM_LEFT_POLE at -200.
    Scene s = fieldPlayerScene(TEAM_YELLOW, {-850, 100}, kPi / 2, {-800, 250});
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW, "GO"));
    world->setPosBase();
    expectVectorTo(s, world->posEstrategicaGoleiro(), posicaoXY{-1000 + 25, 200 - 25});

    s.me = {-850, -150};
    s.ball = {-800, -250};
    ASSERT_TRUE(loadScene(*world, s));
    expectVectorTo(s, world->posEstrategicaGoleiro(), posicaoXY{-1000 + 25, -200 + 25});

    s.me = {-850, 100};
    s.ball = {-800, 120};
    ASSERT_TRUE(loadScene(*world, s));
    expectVectorTo(s, world->posEstrategicaGoleiro(), posicaoXY{-1000 + 25, 120});
}

TEST_F(TacticsTest, ReceiverAdvancesHalfwayButStopsShortOfTheGoalLine)
{
    for (const mrTeam team : {TEAM_YELLOW, TEAM_BLUE}) {
        Scene s = fieldPlayerScene(team, {200, 300}, 0.3, {0, 0});
        auto world = worldFromScene(s, worldSettings(team));
        world->setPosBase();
        // Strategic point: (-500, 0) + 0.5 * ball = (-500, 0); halfway from x 200 to 1000 is 600.
        expectVectorTo(s, world->posEstrategicaReceptor(), posicaoXY{600, 0});

        s.me = {940, 300};
        ASSERT_TRUE(loadScene(*world, s));
        expectVectorTo(s, world->posEstrategicaReceptor(), posicaoXY{950, 0});

        s.me = {960, 300};
        ASSERT_TRUE(loadScene(*world, s));
        expectVectorTo(s, world->posEstrategicaReceptor(), posicaoXY{-500, 0});
    }
}

TEST_F(TacticsTest, ShootingZoneDependsOnTheBuild)
{
    Scene s = fieldPlayerScene(TEAM_YELLOW, {870, 0}, kPi / 2, {0, 0});
    auto principal = worldFromScene(s, worldSettings(TEAM_YELLOW), kMainBuild);
    auto variante = worldFromScene(s, worldSettings(TEAM_YELLOW), kVariantB);
    EXPECT_TRUE(principal->isAgenteZonaChuteAGol());
    EXPECT_FALSE(variante->isAgenteZonaChuteAGol());

    s.me = {800, 0};
    ASSERT_TRUE(loadScene(*principal, s));
    EXPECT_FALSE(principal->isAgenteZonaChuteAGol());
}

TEST_F(TacticsTest, PenaltyKeeperGoesForABallInTheMouth)
{
    Scene s = fieldPlayerScene(TEAM_YELLOW, {-900, 50}, kPi / 2, {-960, 10});
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW, "GO"));
    const vector_t bola = world->pv_ball();
    const vector_t alvo = world->pos_penalty();
    EXPECT_EQ(alvo.length, bola.length);
    EXPECT_EQ(alvo.angle, bola.angle);

    s.ball = {-700, 150};
    ASSERT_TRUE(loadScene(*world, s));
    expectVectorTo(s, world->pos_penalty(), posicaoXY{-975, 150});
}

TEST_F(TacticsTest, MarkingStandsBetweenBallAndOpponentTowardsOwnGoal)
{
    Scene s = fieldPlayerScene(TEAM_YELLOW, {0, 0}, kPi / 2, {200, 0});
    s.others.push_back(SceneRobot{7, "o7", false, {0, 300}, 0});
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW));
    world->setPosBase();
    // Midpoint (100, 150), pulled 50 mm (half of KICKABLE) towards the own goal at (-1000, 0).
    const double dx = -1100;
    const double dy = -150;
    const double n = std::sqrt(dx * dx + dy * dy);
    const vector_t marca = world->posMarcacao(7, false);
    const posicaoXY esperado{100 + 50 * dx / n, 150 + 50 * dy / n};
    expectVectorTo(s, marca, esperado);

    const vector_t parado = world->posMarcacao(99, true);
    EXPECT_EQ(parado.length, 0);
}

TEST_F(TacticsTest, DefenderStandsInFrontOfTheSmallArea)
{
    Scene s = fieldPlayerScene(TEAM_YELLOW, {-600, 0}, kPi / 2, {0, 500});
    s.others.push_back(SceneRobot{2, "GO", true, {-950, 0}, kPi / 2});
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW));
    const double x = -1000 + 0.1527 * 1000 + 37;
    // Ball wide on +y, beyond the small-area flags (|y| 200): stand 30 mm on the other side.
    expectVectorTo(s, world->posEstrategicaZagueiro(), posicaoXY{x, -30});
}

}  // namespace
