// Whole matches of real agents on the real simulated server.

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <regex>

#include "e2e/MatchRunner.h"

namespace {

struct RobotLine {
    std::string team;
    std::string nickname;
    bool admitted = false;
    std::string reply;
    long commands = 0;
    long kicks = 0;
    long noAnswer = 0;
    long dropouts = 0;
};

std::map<int, RobotLine> robotLines(const std::string& summary)
{
    static const std::regex line(
        "robot (\\d+) (\\w+) (\\S+): admitted (yes|no), connect reply (\\w+), commands (\\d+), kick commands "
        "\\d+, kicks (\\d+), no answer (\\d+), camera drop-outs (\\d+)");
    std::map<int, RobotLine> out;
    for (std::sregex_iterator it(summary.begin(), summary.end(), line), end; it != end; ++it) {
        const std::smatch& m = *it;
        RobotLine r;
        r.team = m[2];
        r.nickname = m[3];
        r.admitted = m[4] == "yes";
        r.reply = m[5];
        r.commands = std::stol(m[6]);
        r.kicks = std::stol(m[7]);
        r.noAnswer = std::stol(m[8]);
        r.dropouts = std::stol(m[9]);
        out[std::stoi(m[1])] = r;
    }
    return out;
}

long summaryNumber(const std::string& summary, const std::string& pattern)
{
    std::smatch m;
    return std::regex_search(summary, m, std::regex(pattern)) ? std::stol(m[1]) : -1;
}

void expectEveryAgentEndedWell(const MatchResult& m, std::size_t agents = 6)
{
    ASSERT_EQ(m.agentStatus.size(), agents);
    for (std::size_t i = 0; i < m.agentStatus.size(); ++i) {
        EXPECT_EQ(m.agentStatus[i], 0) << m.agentDirs[i] << "\n" << m.agentLog(i).substr(0, 2000);
    }
}

// The physical constants are tuned for this: alone on the field, a field
// player reaches the still ball on the centre spot, kicks it and scores.
TEST(Match, ALoneAgentReachesTheBallAndKicksIt)
{
    char name[] = "/tmp/sim_e2e_lone_XXXXXX.ini";
    const int fd = ::mkstemps(name, 4);
    ASSERT_GE(fd, 0);
    const std::string text = "ROBOT_2=yellow Y1 -400 -250 90\n";
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fd);
    MatchSetup setup;
    setup.scenarioFile = name;
    setup.serverArgs = {"--fast", "--length", "20"};
    const MatchResult m = runMatch("lone", setup);
    const DiscardOnSuccess discard_m{m};
    ::unlink(name);
    ASSERT_EQ(m.serverStatus, 0) << m.serverLog;
    ASSERT_EQ(m.agentStatus.size(), 1u);
    EXPECT_EQ(m.agentStatus[0], 0);
    long firstKick = -1;
    for (const RecordStep& step : m.record) {
        if (!step.kicks.empty() && firstKick < 0) {
            firstKick = step.step;
        }
    }
    ASSERT_GE(firstKick, 0) << m.summary;
    EXPECT_LE(firstKick * 0.066, 8.0) << "the first kick comes within a few seconds";
}

TEST(Match, FiveAgainstFiveGetsGoing)
{
    MatchSetup setup;
    setup.scenarioFile = SOCCER_SOURCE_DIR "/config/scenario-5v5.ini";
    setup.serverArgs = {"--fast", "--length", "20"};
    const MatchResult m = runMatch("five", setup);
    const DiscardOnSuccess discard_m{m};
    ASSERT_EQ(m.serverStatus, 0) << m.serverLog;
    expectEveryAgentEndedWell(m, 10);
    long kicks = 0;
    for (const RecordStep& step : m.record) {
        kicks += static_cast<long>(step.kicks.size());
    }
    EXPECT_GT(kicks, 0) << "nobody reached the ball\n" << m.summary;
}

TEST(Match, ThreeAgainstThreeForThirtyGameSeconds)
{
    MatchSetup setup;
    setup.serverArgs = {"--fast", "--length", "30"};
    const MatchResult m = runMatch("match", setup);
    const DiscardOnSuccess discard_m{m};
    ASSERT_EQ(m.serverStatus, 0) << m.serverLog;
    expectEveryAgentEndedWell(m);
    ASSERT_FALSE(m.record.empty());
    EXPECT_EQ(m.badRecordLines, 0);

    long playSteps = 0;
    std::map<int, long> kicksInRecord;
    long goalsInRecord = 0;
    for (const RecordStep& step : m.record) {
        playSteps += step.playing() ? 1 : 0;
        for (int k : step.kicks) {
            ++kicksInRecord[k];
        }
        goalsInRecord += step.goal.empty() ? 0 : 1;
    }
    const std::map<int, RobotLine> robots = robotLines(m.summary);
    ASSERT_EQ(robots.size(), 6u) << m.summary;
    long kicks = 0;
    for (const auto& [id, r] : robots) {
        EXPECT_TRUE(r.admitted) << id;
        EXPECT_EQ(r.reply, "true") << id;
        // Every agent answers every world state in play, bar a few.
        EXPECT_GE(r.commands, playSteps * 9 / 10) << "robot " << id << "\n" << m.summary;
        EXPECT_LE(r.noAnswer, playSteps / 10) << "robot " << id;
        EXPECT_EQ(r.kicks, kicksInRecord[id]) << "robot " << id;
        kicks += r.kicks;
    }
    EXPECT_GT(kicks, 0) << m.summary;

    // The summary and the record tell the same story.
    const RecordStep& last = m.record.back();
    EXPECT_EQ(last.mode, "time over");
    EXPECT_EQ(summaryNumber(m.summary, "final score: yellow (\\d+)"), last.yellow);
    EXPECT_EQ(summaryNumber(m.summary, "final score: yellow \\d+ - (\\d+) blue"), last.blue);
    EXPECT_EQ(summaryNumber(m.summary, "goals: (\\d+)"), goalsInRecord);
    EXPECT_EQ(summaryNumber(m.summary, "\\((\\d+) steps\\)"), last.step);
    EXPECT_EQ(summaryNumber(m.summary, "play time (\\d+)\\."), 30);
    EXPECT_EQ(summaryNumber(m.summary, "dropped (\\d+)"), 0);
}

// "...: minha atual posicao eh PosicaoXY (x, y)" lines of one agent's log, in order.
std::vector<std::pair<double, double>> loggedPositions(const std::string& log)
{
    static const std::regex line(": minha atual posicao eh PosicaoXY \\(([-0-9.e+]+), ([-0-9.e+]+)\\)");
    std::vector<std::pair<double, double>> out;
    for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it) {
        out.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
    }
    return out;
}

// How closely an agent can know where it is at physical point (x, y). It
// trilaterates from the two bottom corner flags and reads their distances as
// whole millimetres, so each radius may be up to 1 mm short; where the two
// circles cross at a shallow angle (near the bottom line) that error grows by
// 1 / sqrt(1 - |cos|) of the angle between the sight lines. Elsewhere 2 mm.
double tolerance(double x, double y)
{
    const double hl = 750.0;
    const double hw = 650.0;
    const double r1 = std::hypot(x + hl, y - hw);
    const double r2 = std::hypot(x - hl, y - hw);
    const double cosine = ((x + hl) * (x - hl) + (y - hw) * (y - hw)) / (r1 * r2);
    const double spread = std::sqrt(2.0) / std::sqrt(std::max(1e-6, 1.0 - std::fabs(cosine)));
    return std::max(2.0, spread + 0.5);
}

TEST(Match, EveryPositionAnAgentWorksOutIsItsTruePositionInItsOwnFrame)
{
    MatchSetup setup;
    setup.serverArgs = {"--fast", "--length", "8", "--step-timeout", "1000"};
    setup.logLevel = "DEBUG";
    const MatchResult m = runMatch("localisation", setup);
    const DiscardOnSuccess discard_m{m};
    ASSERT_EQ(m.serverStatus, 0) << m.serverLog;
    expectEveryAgentEndedWell(m);

    for (std::size_t i = 0; i < m.agentDirs.size(); ++i) {
        const int id = static_cast<int>(i) + 1;
        const std::vector<std::pair<double, double>> logged = loggedPositions(m.agentLog(i));
        ASSERT_GT(logged.size(), 50u) << m.agentDirs[i];
        // The agent logs one position per world state it plays on, in order:
        // match each with the next recorded play step where the robot stood there.
        std::size_t s = 0;
        double worst = 0;
        long skipped = -static_cast<long>(logged.size());
        for (const auto& [x, y] : logged) {
            bool found = false;
            double nearest = 1e9;
            for (; s < m.record.size() && !found; ++s) {
                if (!m.record[s].playing()) {
                    continue;
                }
                ++skipped;
                const RecordRobot& r = m.record[s].robot(id);
                // The blue frame is the physical one turned by half a turn.
                const double sign = r.team == "blue" ? -1.0 : 1.0;
                const double err = std::hypot(sign * r.x - x, sign * r.y - y);
                nearest = std::min(nearest, err);
                if (err <= tolerance(r.x, r.y)) {
                    worst = std::max(worst, err);
                    found = true;
                }
            }
            ASSERT_TRUE(found) << "robot " << id << ": logged (" << x << ", " << y
                               << ") matches no later true position; nearest " << nearest << " mm";
        }
        // In lock-step the agent plays every state, so hardly any is passed over.
        EXPECT_LE(skipped, 3) << "robot " << id;
        RecordProperty("worst_error_robot_" + std::to_string(id), std::to_string(worst));
        RecordProperty("skipped_robot_" + std::to_string(id), std::to_string(skipped));
    }
}

}  // namespace
