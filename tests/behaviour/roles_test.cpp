#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "PlayerProbe.h"
#include "Pitch.h"
#include "common/ClientException.h"
#include "common/Logger.h"

namespace {

// The world model's kick margin is 100 mm and the kicker reaches 25 mm when
// armed: a ball 20 mm ahead can be kicked at once, one 150 mm away cannot.
constexpr double kKickableBall = 20;
// Positions come from trilateration of rounded observations.
constexpr double kAngleTolerance = 0.5;

struct ChaseCase {
    const char* name;
    double distance;
    double bearingDeg;
    double left;
    double right;
};

void PrintTo(const ChaseCase& c, std::ostream* os)
{
    *os << c.name;
}

class LoneChaserTest : public ::testing::TestWithParam<ChaseCase> {};

TEST_P(LoneChaserTest, DrivesTowardsTheBall)
{
    const ChaseCase& c = GetParam();
    for (const mrTeam team : {TEAM_YELLOW, TEAM_BLUE}) {
        Scene scene = facingGoal({-100, 100}, team);
        scene.ball = relativePoint(scene, c.distance, c.bearingDeg);
        Pitch pitch(scene);
        pitch.player().jogador();
        expectWheels(pitch.player(), c.left, c.right);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bearings, LoneChaserTest,
    ::testing::Values(ChaseCase{"farAhead", 500, 0, 133, 133}, ChaseCase{"farSlightlyLeft", 500, -30, 133, 133},
                      ChaseCase{"farBesideRight", 500, 80, 90, 33},
                      ChaseCase{"farBehindReverses", 500, -170, -133, -133},
                      ChaseCase{"midAhead", 110, 10, 90, 90}, ChaseCase{"midBehindLeftCurvesBack", 110, 125, -60, -33},
                      ChaseCase{"besideBehindLeftTurns", 300, -100, -110, 110}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Jogador, ShootsFromTheShootingZone)
{
    Scene scene = facingGoal({620, 0});
    scene.ball = relativePoint(scene, kKickableBall, 0);
    Pitch pitch(scene);
    pitch.player().jogador();
    // Straight down the field axis onto the goal line.
    expectKick(pitch.player(), 0.0, 1.0, kAngleTolerance);
}

TEST(Jogador, AttackerThatIsItsOwnReceiverPushesByTeam)
{
    for (const mrTeam team : {TEAM_YELLOW, TEAM_BLUE}) {
        Scene scene = facingGoal({400, -100}, team);
        scene.heading = kPi / 2 + 0.3;
        scene.ball = relativePoint(scene, kKickableBall, 0);
        Pitch pitch(scene);
        const double o = pitch.world().orientation(pitch.world().pv_my_id());
        LogParameters::instance().active(true);
        LogParameters::instance().level(log_DEBUG);
        ::testing::internal::CaptureStderr();
        pitch.player().jogador();
        const std::string log = ::testing::internal::GetCapturedStderr();
        LogParameters::instance().active(false);
        EXPECT_NE(log.find("Decidi carregar a bola."), std::string::npos);
        expectKick(pitch.player(), team == TEAM_BLUE ? kPi - o : -o, 0.2, kAngleTolerance);
    }
}

// An attacker far from goal with a teammate close to the goal: the teammate
// is the receiver. An opponent 70 mm from it, ahead of this robot, marks it
// for a blue agent only (the marking test depends on the colour).
Scene attackWithReceiver(mrTeam team)
{
    Scene scene = facingGoal({200, -300}, team);
    scene.ball = relativePoint(scene, kKickableBall, 0);
    scene.others = {robot(2, true, {700, 50}), robot(7, false, {700, 120})};
    return scene;
}

TEST(Jogador, AttackerPassesToAFreeReceiver)
{
    Pitch pitch(attackWithReceiver(TEAM_YELLOW));
    ASSERT_EQ(pitch.world().receptor(), 2);
    pitch.player().jogador();
    const Command& cmd = pitch.player().command();
    ASSERT_EQ(cmd.kind(), KICK);
    EXPECT_NE(cmd.mCommandType.mStrength, 0.2f);
}

TEST(Jogador, AttackerKicksAtTheNearerPostWhenTheReceiverIsMarked)
{
    const Scene scene = attackWithReceiver(TEAM_BLUE);
    Pitch pitch(scene);
    ASSERT_EQ(pitch.world().receptor(), 2);
    pitch.player().jogador();
    // The post at y = -200 is the nearer one.
    expectKick(pitch.player(), sceneRelative(scene, {750, -200}).angle, 0.2, kAngleTolerance);
}

TEST(Jogador, DefenderClearsThroughTheMiddle)
{
    Scene scene = facingGoal({-500, 0});
    scene.ball = relativePoint(scene, kKickableBall, 0);
    Pitch pitch(scene);
    pitch.player().jogador();
    const Command& cmd = pitch.player().command();
    ASSERT_EQ(cmd.kind(), KICK);
    EXPECT_FLOAT_EQ(cmd.mCommandType.mStrength, 1.0f);
    EXPECT_NEAR(cmd.mCommandType.mdAngle, 0.0, 2.0);
}

TEST(Jogador, MidfielderPushesUnlessMarked)
{
    Scene scene = facingGoal({0, 0});
    scene.ball = relativePoint(scene, kKickableBall, 0);
    scene.others = {robot(2, true, {150, 300})};
    {
        Pitch pitch(scene);
        pitch.player().jogador();
        expectKick(pitch.player(), -pitch.world().orientation(pitch.world().pv_my_id()), 0.2, kAngleTolerance);
    }
    // An opponent right behind marks a yellow robot: it passes instead.
    scene.others.push_back(robot(7, false, {-60, 0}));
    Pitch pitch(scene);
    pitch.player().jogador();
    const Command& cmd = pitch.player().command();
    ASSERT_EQ(cmd.kind(), KICK);
    EXPECT_NE(cmd.mCommandType.mStrength, 0.2f);
    EXPECT_GT(cmd.mCommandType.mdAngle, 0.0f) << "towards the receiver on the right";
}

struct EstadoCase {
    const char* name;
    double teammateToBall;
    double opponentToBall;
    int expected;
};

void PrintTo(const EstadoCase& c, std::ostream* os)
{
    *os << c.name;
}

class EstadoAgentTest : public ::testing::TestWithParam<EstadoCase> {};

TEST_P(EstadoAgentTest, ClassifiesBallControl)
{
    const EstadoCase& c = GetParam();
    // Ball, teammate and opponent on one line ahead, so the distances are exact.
    Scene scene = facingGoal({-200, 0});
    scene.ball = relativePoint(scene, 300, 0);
    scene.others = {robot(2, true, relativePoint(scene, 300 - c.teammateToBall, 0)),
                    robot(7, false, relativePoint(scene, 300 + c.opponentToBall, 0))};
    Pitch pitch(scene);
    EXPECT_EQ(pitch.player().estado_agent(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Distances, EstadoAgentTest,
                         ::testing::Values(EstadoCase{"teammateNearAndCloser", 30, 50, MEU_TIME_COM_BOLA},
                                           EstadoCase{"teammateCloserButNotNear", 40, 50, PENALTY},
                                           EstadoCase{"opponentCloser", 50, 40, TIME_ADVERSARIO_COM_BOLA},
                                           EstadoCase{"equallyNear", 30, 30, PENALTY}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EstadoAgent, KickableBallIsMine)
{
    Scene scene = facingGoal({-200, 0});
    scene.ball = relativePoint(scene, kKickableBall, 0);
    Pitch pitch(scene);
    EXPECT_EQ(pitch.player().estado_agent(), ESTOU_COM_BOLA);
}

// --- Goalkeeper ---

Scene keeperScene()
{
    Scene scene = facingGoal({-700, 0}, TEAM_YELLOW, "GO");
    return scene;
}

TEST(Goleiro, ClearsWhenItCanKickAndSeesNoTeammate)
{
    Scene scene = keeperScene();
    scene.ball = relativePoint(scene, kKickableBall, 0);
    Pitch pitch(scene);
    pitch.player().goleiro();
    const Command& cmd = pitch.player().command();
    ASSERT_EQ(cmd.kind(), KICK);
    EXPECT_FLOAT_EQ(cmd.mCommandType.mStrength, 1.0f);
}

TEST(Goleiro, PassesToTheNearestFreeTeammate)
{
    Scene scene = keeperScene();
    scene.ball = relativePoint(scene, kKickableBall, 0);
    scene.others = {robot(2, true, {-400, 300}), robot(3, true, {200, -300})};
    Pitch pitch(scene);
    pitch.player().goleiro();
    const Command& cmd = pitch.player().command();
    ASSERT_EQ(cmd.kind(), KICK);
    EXPECT_GT(cmd.mCommandType.mdAngle, 0.0f) << "towards teammate 2 on the right";
}

struct KeeperMoveCase {
    const char* name;
    double ballDistance;
    double opponentFromKeeper;
    bool teammateAtBall;
    bool goesToBall;
};

void PrintTo(const KeeperMoveCase& c, std::ostream* os)
{
    *os << c.name;
}

class GoleiroMoveTest : public ::testing::TestWithParam<KeeperMoveCase> {};

TEST_P(GoleiroMoveTest, LeavesTheGoalOnlyForANearUncontestedBall)
{
    const KeeperMoveCase& c = GetParam();
    Scene scene = keeperScene();
    scene.ball = relativePoint(scene, c.ballDistance, 0);
    scene.others = {robot(7, false, relativePoint(scene, c.opponentFromKeeper, 0))};
    if (c.teammateAtBall) {
        scene.others.push_back(robot(2, true, {scene.ball.x, scene.ball.y - 30}));
    } else {
        scene.others.push_back(robot(2, true, {300, 400}));
    }
    Pitch pitch(scene);
    pitch.player().goleiro();

    BasicPlayer expected(TEAM_YELLOW);
    expected.setWorldData(&pitch.world());
    expected.pv_go_to_goleiro(c.goesToBall ? pitch.world().pv_ball() : pitch.world().posEstrategicaGoleiro());
    ASSERT_EQ(pitch.player().command().kind(), WHEEL_VELOCITY);
    EXPECT_EQ(pitch.player().command().leftVelocity(), expected.command().leftVelocity());
    EXPECT_EQ(pitch.player().command().rightVelocity(), expected.command().rightVelocity());
}

INSTANTIATE_TEST_SUITE_P(
    Branches, GoleiroMoveTest,
    ::testing::Values(KeeperMoveCase{"ownBallOpponentFar", 50, 120, true, true},
                      KeeperMoveCase{"ownBallOpponentNear", 50, 100, true, false},
                      KeeperMoveCase{"looseBallOpponentFar", 70, 160, false, true},
                      KeeperMoveCase{"looseBallOpponentAt150", 70, 150, false, false},
                      KeeperMoveCase{"looseBallTooFar", 90, 300, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Robots not seen: they count as infinitely far away ---

enum class Role { kKeeper, kReceiver };
enum class Expect { kKeeperToBall, kKeeperHome, kClear, kStrategic, kReceiverSpot };

struct UnseenCase {
    const char* name;
    Role role;
    bool teammateSeen;
    bool opponentSeen;
    double ballDistance;
    Expect expected;
};

void PrintTo(const UnseenCase& c, std::ostream* os)
{
    *os << c.name;
}

class UnseenRobotTest : public ::testing::TestWithParam<UnseenCase> {};

// The other robots are listed as the server lists every robot, with status
// "lost" for the ones the camera misses.
Scene unseenScene(const UnseenCase& c, mrTeam team)
{
    Scene scene = c.role == Role::kKeeper ? facingGoal({-700, 0}, team, "GO") : facingGoal({150, 300}, team, "Y2");
    scene.ball = relativePoint(scene, c.ballDistance, 0);
    SceneRobot teammate = c.role == Role::kKeeper ? robot(2, true, {0, 400})
                                                  : robot(2, true, {scene.ball.x + 30, scene.ball.y});
    teammate.found = c.teammateSeen;
    SceneRobot opponent = robot(7, false, {300, -400});
    opponent.found = c.opponentSeen;
    scene.others = {teammate, opponent};
    return scene;
}

TEST_P(UnseenRobotTest, TheRoleStillDecides)
{
    const UnseenCase& c = GetParam();
    for (const BuildConstants* build : {&kMainBuild, &kVariantC}) {
        for (const mrTeam team : {TEAM_YELLOW, TEAM_BLUE}) {
            SCOPED_TRACE(std::string(build->name) + (team == TEAM_BLUE ? " blue" : " yellow"));
            Pitch pitch(unseenScene(c, team), *build);
            WorldData& w = pitch.world();
            ASSERT_EQ(w.mr_number_found_teammates(), c.teammateSeen ? 1 : 0);
            ASSERT_EQ(w.mr_number_found_opponents(), c.opponentSeen ? 1 : 0);
            if (c.role == Role::kKeeper) {
                ASSERT_NO_THROW(pitch.player().goleiro());
            } else {
                ASSERT_NO_THROW(pitch.player().receptor());
            }

            BasicPlayer expected(team, *build);
            expected.setWorldData(&w);
            switch (c.expected) {
            case Expect::kKeeperToBall: expected.pv_go_to_goleiro(w.pv_ball()); break;
            case Expect::kKeeperHome: expected.pv_go_to_goleiro(w.posEstrategicaGoleiro()); break;
            case Expect::kClear: expected.clearBall(); break;
            case Expect::kStrategic: expected.pv_go_to(w.posEstrategica()); break;
            case Expect::kReceiverSpot: expected.pv_go_to(w.posEstrategicaReceptor()); break;
            }
            const Command& got = pitch.player().command();
            ASSERT_EQ(got.kind(), expected.command().kind());
            EXPECT_EQ(got.leftVelocity(), expected.command().leftVelocity());
            EXPECT_EQ(got.rightVelocity(), expected.command().rightVelocity());
            EXPECT_EQ(got.mCommandType.mdAngle, expected.command().mCommandType.mdAngle);
            EXPECT_EQ(got.mCommandType.mStrength, expected.command().mCommandType.mStrength);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sides, UnseenRobotTest,
    ::testing::Values(
        // Nobody guards a loose ball near the goal: the keeper takes it.
        UnseenCase{"keeperNoOpponentNearBall", Role::kKeeper, true, false, 70, Expect::kKeeperToBall},
        UnseenCase{"keeperNoTeammateNearBall", Role::kKeeper, false, true, 70, Expect::kKeeperToBall},
        UnseenCase{"keeperNobodyNearBall", Role::kKeeper, false, false, 70, Expect::kKeeperToBall},
        UnseenCase{"keeperNobodyFarBall", Role::kKeeper, false, false, 300, Expect::kKeeperHome},
        // Nobody seen to pass to: clear (also in the build that skips the count).
        UnseenCase{"keeperWithBallNoTeammate", Role::kKeeper, false, true, 20, Expect::kClear},
        UnseenCase{"keeperWithBallNobody", Role::kKeeper, false, false, 20, Expect::kClear},
        UnseenCase{"receiverNoTeammate", Role::kReceiver, false, true, 200, Expect::kStrategic},
        UnseenCase{"receiverNobody", Role::kReceiver, false, false, 200, Expect::kStrategic},
        // The teammate at the ball has it while no opponent is seen.
        UnseenCase{"receiverNoOpponent", Role::kReceiver, true, false, 200, Expect::kReceiverSpot}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EstadoAgent, AnUnseenSideIsInfinitelyFar)
{
    Scene scene = facingGoal({-200, 0});
    scene.ball = relativePoint(scene, 300, 0);
    scene.others = {robot(2, true, relativePoint(scene, 270, 0)), robot(7, false, relativePoint(scene, 350, 0))};
    const auto estado = [&scene](bool teammateSeen, bool opponentSeen) {
        Scene s = scene;
        s.others[0].found = teammateSeen;
        s.others[1].found = opponentSeen;
        Pitch pitch(s);
        return pitch.player().estado_agent();
    };
    EXPECT_EQ(estado(true, false), MEU_TIME_COM_BOLA);
    EXPECT_EQ(estado(false, true), TIME_ADVERSARIO_COM_BOLA);
    EXPECT_EQ(estado(false, false), PENALTY);
}

}  // namespace
