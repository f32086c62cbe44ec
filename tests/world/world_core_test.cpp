// Construction, the update from document texts (hostile ones included), the
// queries on robots and ball, and the history of own positions.

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "common/ClientException.h"
#include "common/Convert.h"
#include "support/WorldFixture.h"

namespace {

class WorldCoreTest : public ::testing::Test {
protected:
    ScratchWorkDir dir;
};

std::string whatOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ClientException& e) {
        return e.what();
    }
    return "no exception";
}

TEST_F(WorldCoreTest, ReadsSettingsAndSpeedFile)
{
    Properties p = worldSettings(TEAM_BLUE, "r7");
    p.setProperty("SLEEP", "1500");
    WorldData world(p);
    EXPECT_EQ(world.getISleep(), 1500);
    EXPECT_EQ(world.getAgentTeam(), TEAM_BLUE);
    EXPECT_EQ(world.nickname(), "r7");
    EXPECT_EQ(world.vel_max(), 80);
    EXPECT_EQ(world.length_near(), 100);
    EXPECT_TRUE(std::isnan(world.getXminimo()));
    EXPECT_TRUE(world.pv_i_am_lost());

    p.eraseProperty("KICKABLE");
    EXPECT_THROW(WorldData{p}, BadParameter);
}

using SpeedFileDeathTest = WorldCoreTest;

TEST_F(SpeedFileDeathTest, MissingOrMalformedSpeedFileEndsTheProcessWith255)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Properties p = worldSettings(TEAM_YELLOW);
    dir.writeFile("velocidade.ini", "VEL_MAX 80\n");
    EXPECT_EXIT(WorldData{p}, ::testing::ExitedWithCode(255), "velocidade.ini.*neither a comment nor KEY=value");

    std::remove((dir.path() + "/velocidade.ini").c_str());
    EXPECT_EXIT(WorldData{p}, ::testing::ExitedWithCode(255), "velocidade.ini.*No such file");
}

TEST_F(WorldCoreTest, UpdateWithoutServerKeepsThePreviousState)
{
    Properties p = worldSettings(TEAM_YELLOW);
    p.setProperty("TRIES", "3");
    p.setProperty("SLEEP", "100");
    WorldData world(p);
    Scene s;
    s.myId = 5;
    ASSERT_TRUE(loadScene(world, s));
    EXPECT_FALSE(world.updateAll());
    EXPECT_EQ(world.pv_my_id(), 5);
    EXPECT_FALSE(world.pv_i_am_lost());

    p.setProperty("TRIES", "-2");
    WorldData negativo(p);
    EXPECT_FALSE(negativo.updateAll());
}

TEST_F(WorldCoreTest, FailedReadReplacesTheMessage)
{
    Properties settings_world = worldSettings(TEAM_YELLOW);
    WorldData world(settings_world);
    ASSERT_TRUE(loadScene(world, Scene{}));
    ASSERT_FALSE(world.pv_i_am_lost());

    const std::string desconhecido = "<worldData><status>found</status><bogus>1</bogus></worldData>";
    EXPECT_FALSE(world.updateFromText(desconhecido.data(), desconhecido.size()));
    EXPECT_TRUE(world.pv_i_am_lost());

    ASSERT_TRUE(loadScene(world, Scene{}));
    const std::string lixo = "<worldData><status>found</sta";
    EXPECT_FALSE(world.updateFromText(lixo.data(), lixo.size()));
    EXPECT_TRUE(world.pv_i_am_lost());
    EXPECT_THROW(world.mrTopCenter(), ClientException);

    // The server's trailing zero byte is not part of the document.
    const std::string comZero = std::string("<worldData><status>found</status><agent_id>4</agent_id></worldData>") + '\0';
    EXPECT_TRUE(world.updateFromText(comZero.data(), comZero.size()));
    EXPECT_EQ(world.pv_my_id(), 4);
    EXPECT_FALSE(world.pv_i_am_lost());
}

TEST_F(WorldCoreTest, QueriesOnRobotsAndBall)
{
    Scene s;
    s.me = {0, 0};
    s.heading = kPi / 2;
    s.ball = {250, 0};
    s.myId = 1;
    s.others = {SceneRobot{2, "t2", true, {300, 0}, kPi / 2, true}, SceneRobot{3, "t3", true, {-500, 0}, 0, false},
                SceneRobot{8, "o8", false, {-100, 0}, 0, true}, SceneRobot{9, "o9", false, {400, 0}, 0, true}};
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW));

    EXPECT_TRUE(world->pv_is_game_on());
    EXPECT_EQ(world->pv_ball().length, 250);
    EXPECT_EQ(world->pv_ballDeg().angle, 0);
    EXPECT_EQ(world->mr_number_found_teammates(), 1);
    EXPECT_EQ(world->mr_number_found_opponents(), 2);
    EXPECT_EQ(world->mr_found_players(), (std::vector<int>{2, 8, 9}));
    EXPECT_EQ(world->mr_teammate_by_nickname("t3"), 3);
    EXPECT_EQ(world->mr_teammate_by_nickname("o8"), -1);
    EXPECT_EQ(world->mr_teammate_by_nickname("nobody"), -1);

    EXPECT_TRUE(world->pv_teammate_is_found(1));
    EXPECT_FALSE(world->pv_teammate_is_found(3));
    EXPECT_TRUE(world->uidTeammateExists(3));
    EXPECT_FALSE(world->uidOpponentExists(2));
    EXPECT_EQ(whatOf([&] { world->pv_opponent_is_found(2); }), "Requested uid 2 was not found");
    EXPECT_EQ(whatOf([&] { world->pv_teammate(3); }), "Position request on not found client");

    EXPECT_EQ(world->pv_closest_teammate_to_ball(), 2);
    EXPECT_EQ(world->pv_closest_opponent_to_ball(), 9);
    EXPECT_EQ(world->pv_closest_teammate_to_teammate(2), 2);
    EXPECT_EQ(world->pv_closest_opponent_to_teammate(2), 9);
    EXPECT_EQ(world->pv_closest_player().length, 100);
    EXPECT_EQ(world->mr_closest_from_teammates_to_ball({3, 7, 2}), 2);
    EXPECT_EQ(world->mr_closest_from_opponents_to_ball({8, 9}), 9);
    EXPECT_EQ(whatOf([&] { world->mr_closest_from_opponents_to_ball({8, 2}); }), "Requested uid 2 was not found");
    EXPECT_EQ(world->mr_agent(9).position.length, 400);

    EXPECT_EQ(world->orientation(2), 1);  // whole radians of 90 degrees
    EXPECT_EQ(world->orientation(3), 0);  // not seen
    EXPECT_EQ(world->orientation(42), 0);
    const double minha = world->orientation(1);
    EXPECT_GE(minha, 0);
    EXPECT_LT(minha, kTwoPi);

    s.meFound = false;
    ASSERT_TRUE(loadScene(*world, s));
    EXPECT_EQ(whatOf([&] { world->pv_ball(); }), "World::pv_ball() request on lost agent");
    EXPECT_EQ(whatOf([&] { world->pv_ballDeg(); }), "World::pv_ballDeg() request on lost agent");
    EXPECT_EQ(whatOf([&] { world->pv_closest_player(); }), "World::pv_closest_player() request when agent is lost");
    EXPECT_EQ(whatOf([&] { world->getBolaXY(); }), "World::pv_ball() request on lost agent");
    EXPECT_FALSE(world->pv_teammate_is_found(1));
    const vector_t centro = world->mrCentro();
    const vector_t perdido = world->getVectorFromAgentTo(posicaoXY{100, 100});
    EXPECT_EQ(perdido.length, centro.length);
    EXPECT_EQ(perdido.angle, centro.angle);
}

TEST_F(WorldCoreTest, ClosestInListKeepsWholeMillimetres)
{
    Properties settings_world = worldSettings(TEAM_YELLOW);
    WorldData world(settings_world);
    auto lista = [](double a, double b) {
        AgentList l;
        l.push_back(Agent(side_TEAMMATE, 1, "a", agentVector{vector_t{a, 0}, 0}));
        l.push_back(Agent(side_TEAMMATE, 2, "b", agentVector{vector_t{b, 0}, 0}));
        return l;
    };
    const vector_t eu{0, 0};
    EXPECT_EQ(world.ClosestInList(eu, AgentList{}), -1);
    EXPECT_EQ(world.ClosestInList(eu, lista(100.9, 100.2)), 1);
    EXPECT_EQ(world.ClosestInList(eu, lista(100.2, 99.9)), 2);
    EXPECT_EQ(world.ClosestInList(eu, lista(50, 50)), 1);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(world.ClosestInList(eu, lista(nan, 1e30)), 2);
    EXPECT_EQ(world.ClosestInList(eu, lista(1e300, nan)), 1);
}

TEST_F(WorldCoreTest, HistoryKeepsTheLastThreePositions)
{
    Scene s;
    s.heading = 0.4;
    auto world = worldFromScene(s, worldSettings(TEAM_YELLOW));
    const posicaoXY agora = world->getUltimaPosicao();  // nothing saved: where it is now
    EXPECT_NEAR(agora.x, 0, 4);
    EXPECT_NEAR(agora.y, 0, 4);

    for (int i = 1; i <= 4; ++i) {
        s.me = {100.0 * i, 0};
        ASSERT_TRUE(loadScene(*world, s));
        world->salvaMinhaUltimaPosicao();
    }
    EXPECT_EQ(world->numUltimasPosicoes(), 3u);
    EXPECT_NEAR(world->getUltimaPosicao().x, 200, 4);

    // A failed save still drops the oldest.
    s.missingFlags = {"top_center"};
    ASSERT_TRUE(loadScene(*world, s));
    world->salvaMinhaUltimaPosicao();
    EXPECT_EQ(world->numUltimasPosicoes(), 2u);
    EXPECT_NEAR(world->getUltimaPosicao().x, 300, 4);

    Properties settings_vazio = worldSettings(TEAM_YELLOW);
    WorldData vazio(settings_vazio);
    EXPECT_TRUE(std::isnan(vazio.getUltimaPosicao().x));
}

// Every query a behaviour may make, on whatever the message holds; only the
// program's own exception may come out.
void exerciseQueries(WorldData& world)
{
    auto seguro = [](const std::function<void()>& call) {
        try {
            call();
        } catch (const ClientException&) {
        }
    };
    seguro([&] { world.getMinhaPosicaoXY(); });
    seguro([&] { world.getBolaXY(); });
    seguro([&] { world.getAgentOrientation(); });
    seguro([&] { world.orientation(world.pv_my_id()); });
    seguro([&] { world.posEstrategica(); });
    seguro([&] { world.posEstrategicaGoleiro(); });
    seguro([&] { world.posEstrategicaReceptor(); });
    seguro([&] { world.posEstrategicaZagueiro(); });
    seguro([&] { world.pos_penalty(); });
    seguro([&] { world.posMarcacao(8, true); });
    seguro([&] { world.mr_iAmClosestToBall(GRUPO_TODO); });
    seguro([&] { world.mr_iAmClosestToBall(GRUPO_MEU_TIME_SEM_GOLEIRO); });
    seguro([&] { world.pv_can_kick(); });
    seguro([&] { world.isMarcado(world.pv_ball()); });
    seguro([&] { world.isJogadorPertoBolaPreso(); });
    seguro([&] { world.estouPreso(); });
    seguro([&] { world.receptor(); });
    seguro([&] { world.getFatorAberturaGol(world.pv_me()); });
    seguro([&] { world.isAgenteZonaChuteAGol(); });
    seguro([&] { world.getZona(world.getMinhaPosicaoXY()); });
    seguro([&] { world.pv_closest_player(); });
    seguro([&] { world.getVelBall(); });
    seguro([&] { world.salvaMinhaUltimaPosicao(); });
}

TEST_F(WorldCoreTest, HostileNumbersNeitherCrashNorHang)
{
    Properties settings_world = worldSettings(TEAM_YELLOW);
    WorldData world(settings_world);
    world.setPosBase();
    const char* documentos[] = {
        "<worldData><status>found</status><ball><dist>nan</dist><angle>inf</angle></ball>"
        "<flag><id>top_center</id><dist>1e300</dist><angle>-nan</angle></flag>"
        "<flag><id>middle_center</id><dist>-5</dist><angle>1e39</angle></flag></worldData>",
        "<worldData><status>found</status><teamMate><id>99999999999</id><dist>1e20</dist><angle>1e20</angle>"
        "<orientation>nan</orientation></teamMate><opponent><dist>4294967296</dist><angle>-1e308</angle>"
        "</opponent></worldData>",
        "<worldData><status>found</status><ball><dist>0</dist><angle>0</angle></ball></worldData>",
        "",
        "<",
    };
    for (const char* doc : documentos) {
        world.updateFromText(doc, std::strlen(doc));
        exerciseQueries(world);
    }
    // All flags at one spot: zero-sized field, coincident circle centres.
    Scene ponto;
    ponto.length = 0;
    ponto.width = 0;
    ponto.postToCorner = 0;
    loadScene(world, ponto);
    exerciseQueries(world);
}

TEST_F(WorldCoreTest, MutatedDocumentsAreHandled)
{
    Scene s;
    s.me = {-200, 100};
    s.heading = 1.0;
    s.ball = {150, -80};
    s.others = {SceneRobot{2, "t2", true, {300, 0}, 0, true}, SceneRobot{3, "GO", true, {-700, 0}, 0, true},
                SceneRobot{8, "o8", false, {100, 50}, 0, true}};
    s.echo = Scene::Echo::kWheels;
    s.echoLeft = 30;
    const std::string base = buildWorldState(s);
    Properties settings_world = worldSettings(TEAM_YELLOW);
    WorldData world(settings_world);
    world.setPosBase();

    std::mt19937 rng(12345);
    const std::string alfabeto("<>/0123456789.-+eEnaif \0x", 25);
    for (int i = 0; i < 300; ++i) {
        std::string doc = base;
        const int mutacoes = 1 + static_cast<int>(rng() % 8);
        for (int m = 0; m < mutacoes && !doc.empty(); ++m) {
            const std::size_t pos = rng() % doc.size();
            switch (rng() % 3) {
            case 0: doc[pos] = alfabeto[rng() % alfabeto.size()]; break;
            case 1: doc.erase(pos, 1 + rng() % 20); break;
            default: doc.insert(pos, 1, alfabeto[rng() % alfabeto.size()]); break;
            }
        }
        world.updateFromText(doc.data(), doc.size());
        exerciseQueries(world);
    }
}

}  // namespace
