// Scenario files, agent settings made from them, the command line, and the
// referee's clock.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

#include "sim/AgentConfigs.h"
#include "sim/Options.h"
#include "sim/match/Referee.h"
#include "sim/scenario/ScenarioFile.h"
#include "sim/scenario/Scenario.h"

namespace {

std::string writeTemp(const std::string& text)
{
    char name[] = "/tmp/scenario_testXXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    close(fd);
    std::ofstream(name) << text;
    return name;
}

void expectSameScenario(const Scenario& a, const Scenario& b)
{
    EXPECT_EQ(a.field.length, b.field.length);
    EXPECT_EQ(a.field.width, b.field.width);
    EXPECT_EQ(a.field.goalWidth, b.field.goalWidth);
    EXPECT_EQ(a.field.cornerBlock, b.field.cornerBlock);
    EXPECT_EQ(a.physics.wheelGain, b.physics.wheelGain);
    EXPECT_EQ(a.physics.ballKeep, b.physics.ballKeep);
    EXPECT_EQ(a.physics.mouthDepth, b.physics.mouthDepth);
    EXPECT_EQ(a.physics.kickSpeedPerForce, b.physics.kickSpeedPerForce);
    EXPECT_EQ(a.rules.matchLength, b.rules.matchLength);
    EXPECT_EQ(a.camera.seed, b.camera.seed);
    ASSERT_EQ(a.robots.size(), b.robots.size());
    for (std::size_t i = 0; i < a.robots.size(); ++i) {
        EXPECT_EQ(a.robots[i].vtId, b.robots[i].vtId);
        EXPECT_EQ(a.robots[i].team, b.robots[i].team);
        EXPECT_EQ(a.robots[i].nickname, b.robots[i].nickname);
        EXPECT_DOUBLE_EQ(a.robots[i].kickoff.x, b.robots[i].kickoff.x);
        EXPECT_DOUBLE_EQ(a.robots[i].kickoff.y, b.robots[i].kickoff.y);
        EXPECT_NEAR(a.robots[i].kickoffHeading, b.robots[i].kickoffHeading, 1e-12);
    }
}

TEST(ScenarioFiles, TheShippedFilesAreTheBuiltInScenarios)
{
    expectSameScenario(loadScenario(SOCCER_SOURCE_DIR "/config/scenario-3v3.ini"), defaultScenario(3));
    expectSameScenario(loadScenario(SOCCER_SOURCE_DIR "/config/scenario-5v5.ini"), defaultScenario(5));
    const Scenario five = defaultScenario(5);
    EXPECT_EQ(five.robots.size(), 10u);
    EXPECT_EQ(five.robots[0].nickname, "GO");
    EXPECT_EQ(five.robots[5].nickname, "GO");
}

TEST(ScenarioFiles, KeysOverrideTheDefaultsAndRobotsReplaceThem)
{
    const std::string file = writeTemp(
        "# a small test field\nFIELD_LENGTH=2000\nSEED=42\nNOISE_DIST=3.5\n"
        "ROBOT_7=blue B7 100 -20 -90 0.25\nROBOT_3=yellow GO -900 0 90\nBLACKOUT_1=7 2 4.5\n");
    const Scenario s = loadScenario(file);
    std::remove(file.c_str());
    EXPECT_EQ(s.field.length, 2000);
    EXPECT_EQ(s.field.width, 1300);
    EXPECT_EQ(s.camera.seed, 42u);
    EXPECT_EQ(s.camera.distNoise, 3.5);
    ASSERT_EQ(s.robots.size(), 2u);
    EXPECT_EQ(s.robots[0].vtId, 3);  // ordered by vt_id
    EXPECT_EQ(s.robots[1].team, TEAM_BLUE);
    EXPECT_EQ(s.robots[1].dropout, 0.25);
    EXPECT_NEAR(s.robots[1].kickoffHeading, -kPi / 2, 1e-12);
    ASSERT_EQ(s.camera.blackouts.size(), 1u);
    EXPECT_EQ(s.camera.blackouts[0].vtId, 7);
    EXPECT_EQ(s.camera.blackouts[0].end, 4.5);
}

class BadScenarioTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(BadScenarioTest, IsRefusedWithTheKeyNamed)
{
    const std::string file = writeTemp(GetParam().first);
    try {
        loadScenario(file);
        ADD_FAILURE() << "accepted: " << GetParam().first;
    } catch (const ScenarioError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().second), std::string::npos) << e.what();
    }
    std::remove(file.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadScenarioTest,
    ::testing::Values(std::make_pair("FIELD_LENGHT=1500\n", "unknown key"),
                      std::make_pair("FIELD_LENGTH=15x0\n", "FIELD_LENGTH"),
                      std::make_pair("FIELD_LENGTH=nan\n", "FIELD_LENGTH"),
                      std::make_pair("FIELD_LENGTH=-3\n", "FIELD_LENGTH"),
                      std::make_pair("BALL_KEEP=1.5\n", "BALL_KEEP"),
                      std::make_pair("ROBOT_1=green GO 0 0 0\n", "team"),
                      std::make_pair("ROBOT_1=yellow <b> 0 0 0\n", "nickname"),
                      std::make_pair("ROBOT_1=yellow GO 0 0\n", "ROBOT_1"),
                      std::make_pair("ROBOT_1=yellow GO 5000 0 0\n", "outside the field"),
                      std::make_pair("ROBOT_x=yellow GO 0 0 0\n", "ROBOT_<vt_id>"),
                      std::make_pair("BLACKOUT_1=9 1 2\n", "unknown vt_id"),
                      std::make_pair("BLACKOUT_1=1 3 2\n", "BLACKOUT_1"),
                      std::make_pair("not a property line\n", "KEY=value"),
                      // physical constants that must be positive, and bodies that overlap at kick-off
                      std::make_pair("ROBOT_MASS=0\n", "ROBOT_MASS"),
                      std::make_pair("BALL_MASS=-1\n", "BALL_MASS"),
                      std::make_pair("MOTOR_ACCEL=0\n", "MOTOR_ACCEL"),
                      std::make_pair("ROBOT_MASS=1e300\n", "ROBOT_MASS"),
                      std::make_pair("GRIP_ACCEL=1e300\n", "GRIP_ACCEL"),
                      std::make_pair("WHEEL_GAIN=1e6\n", "WHEEL_GAIN"),
                      std::make_pair("STALL_TIME=1e300\n", "STALL_TIME"),
                      std::make_pair("KICKOFF_PAUSE=1e300\n", "pauses"),
                      std::make_pair("SUB_STEPS=0\n", "SUB_STEPS"),
                      std::make_pair("STALL_TIME=0\n", "STALL_TIME"),
                      std::make_pair("BALL_KEEP=0\n", "BALL_KEEP"),
                      std::make_pair("ROBOT_SIZE=0\n", "ROBOT_SIZE"),
                      std::make_pair("MOUTH_HALF_WIDTH=40\n", "MOUTH"),
                      std::make_pair("MOUTH_DEPTH=60\n", "MOUTH"),
                      std::make_pair("KICK_MAX_SPEED=9000\n", "SUB_STEPS"),
                      // every speed the engine is handed stays under its largest move per sub-step
                      std::make_pair("KICK_MAX_SPEED=9000\n", "KICK_MAX_SPEED"),
                      std::make_pair("WHEEL_BASE=10\n", "WHEEL_BASE"),
                      std::make_pair("BALL_ROBOT_RESTITUTION=0.9\nKICK_MAX_SPEED=3000\n", "BALL_ROBOT_RESTITUTION"),
                      std::make_pair("STALL_DISTANCE=0\n", "STALL_DISTANCE"),
                      std::make_pair("CORNER_BLOCK=-1\n", "CORNER_BLOCK"),
                      std::make_pair("CORNER_BLOCK=450\n", "CORNER_BLOCK"),
                      std::make_pair("MOUTH_HALF_WIDTH=21\n", "no kick direction"),
                      std::make_pair("ROBOT_1=yellow GO 0 200 0\nROBOT_2=yellow Y1 60 220 0\n", "overlap at kick-off"),
                      std::make_pair("ROBOT_1=yellow GO 30 0 90\n", "the ball's place"),
                      std::make_pair("ROBOT_1=yellow GO 740 300 90\n", "wall"),
                      std::make_pair("ROBOT_1=yellow GO -375 450 0\n", "the ball's place")));

TEST(ScenarioFiles, AMissingFileIsReported)
{
    EXPECT_THROW(loadScenario("/nonexistent/scenario.ini"), ScenarioError);
}

TEST(AgentSettings, BasePositionIsTheKickOffPlaceInTheTeamsOwnFrame)
{
    const Scenario s = defaultScenario(3);
    const posicaoXY yellow = basePositionFractions(s.field, s.robots[1]);  // (-250, -200)
    EXPECT_NEAR(yellow.x, 500.0 / 1500.0, 1e-12);
    EXPECT_NEAR(yellow.y, 450.0 / 1300.0, 1e-12);
    const posicaoXY blue = basePositionFractions(s.field, s.robots[4]);  // (250, 200), turned
    EXPECT_NEAR(blue.x, 500.0 / 1500.0, 1e-12);
    EXPECT_NEAR(blue.y, 450.0 / 1300.0, 1e-12);

    Properties base;
    base.setProperty("LOG_LEVEL", "DEBUG");
    base.setProperty("NICK_NAME", "overwritten");
    const Properties p = agentSettings(base, s, s.robots[3], "127.0.0.1", 20123);
    EXPECT_EQ(p.Get("TEAM"), "1");
    EXPECT_EQ(p.Get("VT_ID"), "4");
    EXPECT_EQ(p.Get("NICK_NAME"), "GO");
    EXPECT_EQ(p.Get("PORT_TEAM"), "20123");
    EXPECT_EQ(p.Get("LOG_LEVEL"), "DEBUG");
    EXPECT_EQ(p.Get("X_MAXIMO"), "0.2");  // the goalkeeper's rectangle
    for (const char* key : {"SLEEP", "TRIES", "KICKABLE", "FATOR_ATRACAO_X", "Y_MINIMO", "POS_BASE_X"}) {
        EXPECT_FALSE(p.Get(key).empty()) << key;
    }
}

TEST(CommandLine, OptionsAndTheirErrors)
{
    SimOptions o;
    std::string error;
    const char* good[] = {"simserver", "--fast",      "--length", "30", "--seed",     "9",
                          "--port",    "0",           "--blackout", "2:1.5-3", "--record", "r.jsonl"};
    ASSERT_EQ(parseOptions(12, good, o, error), ParseOutcome::Run) << error;
    EXPECT_TRUE(o.fast);
    EXPECT_EQ(o.length, 30);
    EXPECT_EQ(o.seed, 9u);
    EXPECT_EQ(o.port, 0);
    ASSERT_EQ(o.blackouts.size(), 1u);
    EXPECT_EQ(o.blackouts[0].vtId, 2);
    EXPECT_EQ(o.blackouts[0].start, 1.5);
    EXPECT_EQ(o.recordFile, "r.jsonl");
    const Scenario s = scenarioFor(o);
    EXPECT_EQ(s.rules.matchLength, 30);
    EXPECT_EQ(s.camera.seed, 9u);

    const char* help[] = {"simserver", "--help"};
    EXPECT_EQ(parseOptions(2, help, o, error), ParseOutcome::Help);
    const std::vector<std::vector<const char*>> bad = {
        {"simserver", "--length"},        {"simserver", "--length", "-1"}, {"simserver", "--port", "70000"},
        {"simserver", "--blackout", "2"}, {"simserver", "--frobnicate"},   {"simserver", "--dropout", "2"}};
    for (const auto& argv : bad) {
        SimOptions fresh;
        EXPECT_EQ(parseOptions(static_cast<int>(argv.size()), argv.data(), fresh, error), ParseOutcome::Error)
            << argv[1];
    }
}

TEST(RefereeClock, PauseThenPlayThenWarningThenTimeOver)
{
    RulesSpec rules;
    rules.matchLength = 1.0;   // 10 steps
    rules.kickoffPause = 0.2;  // 2 steps
    rules.warnEnding = 0.3;    // 3 steps
    rules.timeOverLength = 0.1;
    Referee r(rules, 0.1);
    std::vector<PlayMode> modes{r.mode()};
    while (!r.finished()) {
        r.tick();
        modes.push_back(r.mode());
    }
    using P = PlayMode;
    const std::vector<PlayMode> expected = {P::BeforeKickOff, P::BeforeKickOff, P::PlayOn,     P::PlayOn,
                                            P::PlayOn,        P::PlayOn,        P::PlayOn,     P::PlayOn,
                                            P::PlayOn,        P::WarnEnding,    P::WarnEnding, P::WarnEnding,
                                            P::TimeOver,      P::TimeOver};
    EXPECT_EQ(modes, expected);
    EXPECT_NEAR(r.playTime(), 1.0, 1e-12);
    EXPECT_STREQ(playModeText(P::BeforeKickOff), "before kick off");
    EXPECT_STREQ(playModeText(P::WarnEnding), "warn ending");
    EXPECT_STREQ(playModeText(P::TimeOver), "time over");
}

TEST(RefereeClock, AGoalCountsAndPausesWithoutEatingPlayTime)
{
    RulesSpec rules;
    rules.matchLength = 1.0;
    rules.kickoffPause = 0.2;
    rules.warnEnding = 0.0;
    Referee r(rules, 0.1);
    r.tick();
    r.tick();
    r.tick();  // one play step done
    ASSERT_EQ(r.mode(), PlayMode::PlayOn);
    r.scored(GoalFor::Blue);
    EXPECT_EQ(r.blue(), 1);
    EXPECT_EQ(r.mode(), PlayMode::BeforeKickOff);
    ASSERT_EQ(r.goals().size(), 1u);
    EXPECT_NEAR(r.goals()[0].time, 0.3, 1e-12);
    r.tick();
    r.tick();
    EXPECT_EQ(r.mode(), PlayMode::PlayOn);
    EXPECT_NEAR(r.playTime(), 0.1, 1e-12);
}

TEST(RefereeStall, ABallThatStaysPutForTheStallTimeIsPutBackIntoPlay)
{
    RulesSpec rules;
    rules.matchLength = 100.0;
    rules.kickoffPause = 0.0;
    rules.stallTime = 1.0;  // 10 steps
    rules.stallDistance = 5.0;
    Referee r(rules, 0.1);
    r.tick();
    ASSERT_EQ(r.mode(), PlayMode::PlayOn);
    int step = 0;
    // Jiggling within the distance counts as still; one real move starts over.
    for (; step < 9; ++step) {
        EXPECT_FALSE(r.ballStalled({100.0 + (step % 2) * 4.0, 50.0})) << step;
    }
    EXPECT_FALSE(r.ballStalled({120.0, 50.0})) << "moved on";
    for (step = 0; step < 9; ++step) {
        EXPECT_FALSE(r.ballStalled({120.0, 52.0})) << step;
    }
    EXPECT_TRUE(r.ballStalled({121.0, 50.0}));
    r.freeBall(FreeBallCause::Stalled, {121.0, 50.0});
    EXPECT_EQ(r.mode(), PlayMode::BeforeKickOff);
    ASSERT_EQ(r.freeBalls().size(), 1u);
    EXPECT_EQ(r.yellow() + r.blue(), 0) << "no score";
    EXPECT_FALSE(r.ballStalled({121.0, 50.0})) << "the watch starts over";
}

TEST(RefereeStall, ABallRattlingInACornerIsStalledWithTheDefaults)
{
    RulesSpec rules;  // 10 s, 100 mm
    rules.matchLength = 100.0;
    rules.kickoffPause = 0.0;
    Referee r(rules, 0.1);
    r.tick();
    bool stalled = false;
    int step = 0;
    // Kicked against the walls again and again, the ball shakes by 25 mm.
    for (; step < 200 && !stalled; ++step) {
        stalled = r.ballStalled({-720.0 + (step % 3) * 12.5, 610.0 - (step % 2) * 10.0});
    }
    EXPECT_TRUE(stalled);
    EXPECT_EQ(step, 101);
}

struct PathCase {
    const char* name;
    double speed;   // along the wall (mm/s)
    double jitter;  // to and fro across it, step by step (mm)
    long stalledAt; // play step of the free ball; -1: never in 60 s
};

class StallPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(StallPathTest, AFreeBallForAPileUpNeverForABallInPlay)
{
    const PathCase& c = GetParam();
    RulesSpec rules;  // the defaults: 10 s, 100 mm
    rules.matchLength = 1000.0;
    rules.kickoffPause = 0.0;
    constexpr double kStep = 0.066;
    Referee r(rules, kStep);
    r.tick();
    long stalledAt = -1;
    for (long step = 0; step < 910 && stalledAt < 0; ++step) {
        const double along = c.speed * static_cast<double>(step) * kStep;
        if (r.ballStalled({-600.0 + along, 629.0 - c.jitter * static_cast<double>(step % 3)})) {
            stalledAt = step;
        }
    }
    EXPECT_EQ(stalledAt, c.stalledAt) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, StallPathTest,
    ::testing::Values(PathCase{"lying still", 0.0, 0.0, 152},
                      PathCase{"creeping along a wall under a robot's pushes", 10.0, 8.0, 152},
                      PathCase{"creeping faster, 150 mm in 10 s", 15.0, 8.0, 152},
                      PathCase{"rolling slowly, 250 mm in 10 s", 25.0, 0.0, -1},
                      PathCase{"rolling freely across the field", 300.0, 0.0, -1}));

TEST(RefereeStall, FreeBallSpotsAreOnePerQuarter)
{
    RulesSpec rules;
    const std::vector<posicaoXY> spots = freeBallSpots(rules);
    ASSERT_EQ(spots.size(), 4u);
    int quarters = 0;
    for (const posicaoXY& p : spots) {
        quarters |= 1 << ((p.x > 0 ? 1 : 0) + (p.y > 0 ? 2 : 0));
    }
    EXPECT_EQ(quarters, 0xF);
}

}  // namespace
