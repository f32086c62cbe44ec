#include "sim/match/MatchStats.h"

#include <cstdio>

std::string quotedForLog(const std::string& text)
{
    constexpr std::size_t kMaxShown = 40;
    std::string out = "'";
    for (std::size_t i = 0; i < text.size() && i < kMaxShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += c >= 0x20 && c < 0x7f && c != '\'' ? static_cast<char>(c) : '?';
    }
    out += text.size() > kMaxShown ? "'..." : "'";
    return out;
}

void printSummary(std::ostream& out, const MatchReport& report)
{
    const Scenario& scenario = report.scenario;
    const Referee& referee = report.referee;
    const std::vector<RobotStats>& robots = report.robots;
    const TrafficStats& traffic = report.traffic;
    const bool interrupted = report.interrupted;
    char line[512];
    out << "=== simserver match summary ===\n";
    if (interrupted) {
        out << "match interrupted before the end\n";
    }
    std::snprintf(line, sizeof line, "final score: yellow %d - %d blue\n", referee.yellow(), referee.blue());
    out << line;
    std::snprintf(line, sizeof line, "game time: %.3f s (%ld steps), play time %.3f s\n", referee.time(),
                  referee.step(), referee.playTime());
    out << line;
    out << "goals: " << referee.goals().size() << "\n";
    for (const GoalRecord& g : referee.goals()) {
        std::snprintf(line, sizeof line, "  goal at %.3f s for %s\n", g.time,
                      g.side == GoalFor::Yellow ? "yellow" : "blue");
        out << line;
    }
    out << "free-ball restarts: " << referee.freeBalls().size() << "\n";
    for (const FreeBallRecord& f : referee.freeBalls()) {
        std::snprintf(line, sizeof line, "  free ball at %.3f s: %s at (%.0f, %.0f)\n", f.time,
                      freeBallCauseText(f.cause), f.ball.x, f.ball.y);
        out << line;
    }
    long putBack = 0;
    for (const RobotStats& s : robots) {
        putBack += s.putBack;
    }
    out << "robots put back inside the walls: " << putBack << "\n";
    out << "seed: " << scenario.camera.seed << "\n";
    for (const mrTeam team : {TEAM_YELLOW, TEAM_BLUE}) {
        const PlayFigures f = report.play.team(team);
        const std::string& program = team == TEAM_YELLOW ? report.yellowProgram : report.blueProgram;
        std::snprintf(line, sizeof line, "%s (%s): kicks %ld, shots %ld, passes %ld, possession %.0f %%\n",
                      teamName(team), program.c_str(), f.kicks, f.shots, f.passes,
                      100.0 * report.play.possession(team));
        out << line;
    }
    out << "robots:\n";
    for (std::size_t i = 0; i < robots.size() && i < scenario.robots.size(); ++i) {
        const RobotSpec& robotSetup = scenario.robots[i];
        const RobotStats& s = robots[i];
        std::snprintf(line, sizeof line,
                      "  robot %d %s %s: admitted %s, connect reply %s, commands %ld, kick commands %ld, "
                      "kicks %ld, no answer %ld, camera drop-outs %ld, shots %ld, passes %ld\n",
                      robotSetup.vtId, teamName(robotSetup.team), robotSetup.nickname.c_str(), s.admitted ? "yes" : "no",
                      s.connectReply.c_str(), s.commands, s.kickCommands, s.kicks, s.noAnswer, s.dropouts,
                      report.play.robots()[i].shots, report.play.robots()[i].passes);
        out << line;
    }
    for (std::size_t i = 0; i < robots.size() && i < scenario.robots.size(); ++i) {
        const RobotSpec& robotSetup = scenario.robots[i];
        const RobotStats& s = robots[i];
        if (s.wrongNicknames > 0) {
            // The nickname came off the network: it may hold anything, so it is quoted as JSON is.
            std::snprintf(line, sizeof line, "  robot %d %s %s refused %ld connect requests with nickname %s\n",
                          robotSetup.vtId, teamName(robotSetup.team), robotSetup.nickname.c_str(), s.wrongNicknames,
                          quotedForLog(s.lastWrongNickname).c_str());
            out << line;
        }
    }
    std::snprintf(line, sizeof line,
                  "datagrams: received %ld, dropped %ld (oversized %ld, invalid %ld, unknown sender %ld, "
                  "refused connects %ld, wrong nickname %ld)\n",
                  traffic.datagrams, traffic.dropped(), traffic.oversized, traffic.invalid, traffic.unknownSender,
                  traffic.refusedConnects, traffic.wrongNickname);
    out << line;
    out.flush();
}
