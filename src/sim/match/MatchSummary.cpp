#include "sim/match/MatchSummary.h"

#include <cstdio>

MatchSummary summarize(const MatchReport& r)
{
    MatchSummary m;
    const std::vector<RobotSpec>& setups = r.scenario.robots;
    m.seed = r.scenario.camera.seed;
    m.drawn = r.scenario.drawn;
    m.robotsPerTeam = setups.size() / 2;
    m.interrupted = r.interrupted;
    m.time = r.referee.time();
    m.steps = r.referee.step();
    m.playTime = r.referee.playTime();
    m.playSteps = r.play.playSteps();
    m.yellow = r.referee.yellow();
    m.blue = r.referee.blue();
    for (const GoalRecord& g : r.referee.goals()) {
        SummaryGoal goal;
        goal.time = g.time;
        goal.side = g.side == GoalFor::Yellow ? "yellow" : "blue";
        goal.ownGoal = g.ownGoal;
        if (g.lastToucher >= 0 && static_cast<std::size_t>(g.lastToucher) < setups.size()) {
            const RobotSpec& by = setups[static_cast<std::size_t>(g.lastToucher)];
            goal.byId = by.vtId;
            goal.byTeam = teamName(by.team);
            goal.byNickname = by.nickname;
        }
        m.goals.push_back(goal);
    }
    for (const FreeBallRecord& f : r.referee.freeBalls()) {
        m.freeBalls.push_back({f.time, freeBallCauseText(f.cause), f.ball});
    }
    for (const mrTeam team : {TEAM_YELLOW, TEAM_BLUE}) {
        SummaryTeam t;
        t.team = teamName(team);
        t.program = team == TEAM_YELLOW ? r.yellowProgram : r.blueProgram;
        t.goals = team == TEAM_YELLOW ? m.yellow : m.blue;
        t.ownGoals = r.referee.ownGoals(team);
        t.play = r.play.team(team);
        t.possession = r.play.possession(team);
        m.teams.push_back(t);
    }
    for (std::size_t i = 0; i < setups.size() && i < r.robots.size() && i < r.play.robots().size(); ++i) {
        m.robots.push_back({setups[i].vtId, teamName(setups[i].team), setups[i].nickname, r.robots[i],
                            r.play.robots()[i]});
        m.robotsPutBack += r.robots[i].putBack;
    }
    m.traffic = r.traffic;
    return m;
}

void printSummary(std::ostream& out, const MatchSummary& m)
{
    char line[512];
    out << "=== simserver match summary ===\n";
    if (m.interrupted) {
        out << "match interrupted before the end\n";
    }
    std::snprintf(line, sizeof line, "final score: yellow %d - %d blue\n", m.yellow, m.blue);
    out << line;
    std::snprintf(line, sizeof line, "game time: %.3f s (%ld steps), play time %.3f s\n", m.time, m.steps,
                  m.playTime);
    out << line;
    out << "goals: " << m.goals.size() << "\n";
    for (const SummaryGoal& g : m.goals) {
        std::snprintf(line, sizeof line, "  goal at %.3f s for %s", g.time, g.side.c_str());
        out << line;
        if (g.byId > 0) {
            // Named after the robot that touched the ball last.
            std::snprintf(line, sizeof line, " (%sby robot %d %s %s)", g.ownGoal ? "own goal " : "", g.byId,
                          g.byTeam.c_str(), g.byNickname.c_str());
            out << line;
        }
        out << "\n";
    }
    out << "free-ball restarts: " << m.freeBalls.size() << "\n";
    for (const SummaryFreeBall& f : m.freeBalls) {
        std::snprintf(line, sizeof line, "  free ball at %.3f s: %s at (%.0f, %.0f)\n", f.time, f.cause.c_str(),
                      f.ball.x, f.ball.y);
        out << line;
    }
    out << "robots put back inside the walls: " << m.robotsPutBack << "\n";
    out << "seed: " << m.seed << "\n";
    if (!m.drawn.empty()) {
        out << "field drawn:";
        for (const DrawnValue& d : m.drawn) {
            out << " " << d.key << "=";
            if (d.isNumber) {
                out << d.number;
            } else {
                out << d.word;
            }
        }
        out << "\n";
    }
    for (const SummaryTeam& t : m.teams) {
        std::snprintf(line, sizeof line,
                      "%s (%s): kicks %ld, shots %ld, passes %ld, possession %.0f %%, own goals %d\n",
                      t.team.c_str(), t.program.c_str(), t.play.kicks, t.play.shots, t.play.passes,
                      100.0 * t.possession, t.ownGoals);
        out << line;
    }
    out << "robots:\n";
    for (const SummaryRobot& r : m.robots) {
        const RobotStats& s = r.stats;
        std::snprintf(line, sizeof line,
                      "  robot %d %s %s: admitted %s, connect reply %s, commands %ld, kick commands %ld, "
                      "kicks %ld, no answer %ld, camera drop-outs %ld, shots %ld, passes %ld\n",
                      r.id, r.team.c_str(), r.nickname.c_str(), s.admitted ? "yes" : "no", s.connectReply.c_str(),
                      s.commands, s.kickCommands, r.play.kicks, s.noAnswer, s.dropouts, r.play.shots, r.play.passes);
        out << line;
    }
    for (const SummaryRobot& r : m.robots) {
        if (r.stats.wrongNicknames > 0) {
            // The nickname came off the network: it may hold anything, so it is quoted as JSON is.
            std::snprintf(line, sizeof line, "  robot %d %s %s refused %ld connect requests with nickname %s\n",
                          r.id, r.team.c_str(), r.nickname.c_str(), r.stats.wrongNicknames,
                          quotedForLog(r.stats.lastWrongNickname).c_str());
            out << line;
        }
    }
    const TrafficStats& traffic = m.traffic;
    std::snprintf(line, sizeof line,
                  "datagrams: received %ld, dropped %ld (oversized %ld, invalid %ld, unknown sender %ld, "
                  "refused connects %ld, wrong nickname %ld)\n",
                  traffic.datagrams, traffic.dropped(), traffic.oversized, traffic.invalid, traffic.unknownSender,
                  traffic.refusedConnects, traffic.wrongNickname);
    out << line;
    out.flush();
}
