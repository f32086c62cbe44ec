#include "sim/record/SummaryJson.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <nlohmann/json.hpp>

namespace {

constexpr int kIndent = 2;

nlohmann::ordered_json teamJson(const MatchReport& r, mrTeam team, int goals)
{
    const PlayFigures f = r.play.team(team);
    return {{"program", team == TEAM_YELLOW ? r.yellowProgram : r.blueProgram},
            {"goals", goals},
            {"kicks", f.kicks},
            {"shots", f.shots},
            {"passes", f.passes},
            {"possession", r.play.possession(team)}};
}

}  // namespace

nlohmann::ordered_json summaryJson(const MatchReport& r)
{
    nlohmann::ordered_json goals = nlohmann::ordered_json::array();
    for (const GoalRecord& g : r.referee.goals()) {
        goals.push_back({{"time", g.time}, {"for", g.side == GoalFor::Yellow ? "yellow" : "blue"}});
    }
    nlohmann::ordered_json freeBalls = nlohmann::ordered_json::array();
    for (const FreeBallRecord& f : r.referee.freeBalls()) {
        freeBalls.push_back(
            {{"time", f.time}, {"cause", freeBallCauseText(f.cause)}, {"x", f.ball.x}, {"y", f.ball.y}});
    }
    long putBack = 0;
    nlohmann::ordered_json robots = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < r.scenario.robots.size() && i < r.robots.size(); ++i) {
        const RobotSpec& setup = r.scenario.robots[i];
        const RobotStats& s = r.robots[i];
        const PlayFigures& f = r.play.robots()[i];
        robots.push_back({{"id", setup.vtId},
                          {"team", teamName(setup.team)},
                          {"nickname", setup.nickname},
                          {"admitted", s.admitted},
                          {"agentNickname", s.agentNickname},
                          {"connectReply", s.connectReply},
                          {"commands", s.commands},
                          {"kickCommands", s.kickCommands},
                          {"kicks", f.kicks},
                          {"shots", f.shots},
                          {"passes", f.passes},
                          {"nearestSteps", f.nearestSteps},
                          {"noAnswer", s.noAnswer},
                          {"dropouts", s.dropouts},
                          {"wrongNicknames", s.wrongNicknames},
                          {"putBack", s.putBack}});
        putBack += s.putBack;
    }
    // A field family's values as drawn for this match; empty for a fixed scenario.
    nlohmann::ordered_json field = nlohmann::ordered_json::object();
    for (const DrawnValue& d : r.scenario.drawn) {
        field[d.key] = d.isNumber ? nlohmann::ordered_json(d.number) : nlohmann::ordered_json(d.word);
    }
    return {{"seed", r.scenario.camera.seed},
            {"field", field},
            {"robotsPerTeam", r.scenario.robots.size() / 2},
            {"interrupted", r.interrupted},
            {"time", r.referee.time()},
            {"playTime", r.referee.playTime()},
            {"playSteps", r.play.playSteps()},
            {"score", {{"yellow", r.referee.yellow()}, {"blue", r.referee.blue()}}},
            {"goals", goals},
            {"freeBalls", freeBalls},
            {"robotsPutBack", putBack},
            {"teams",
             {{"yellow", teamJson(r, TEAM_YELLOW, r.referee.yellow())},
              {"blue", teamJson(r, TEAM_BLUE, r.referee.blue())}}},
            {"robots", robots},
            {"datagrams",
             {{"received", r.traffic.datagrams},
              {"oversized", r.traffic.oversized},
              {"invalid", r.traffic.invalid},
              {"unknownSender", r.traffic.unknownSender},
              {"refusedConnects", r.traffic.refusedConnects},
              {"wrongNickname", r.traffic.wrongNickname}}}};
}

std::string summaryLine(const MatchReport& report)
{
    nlohmann::ordered_json line = {{"type", "summary"}};
    line.update(summaryJson(report));
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

bool writeSummaryJson(const MatchReport& report, const std::string& fileName, std::string& error)
{
    const std::string partial = fileName + ".partial";
    {
        std::ofstream out(partial, std::ios::trunc);
        // Agents' nicknames come off the network: bad UTF-8 is replaced, never fatal.
        out << summaryJson(report).dump(kIndent, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
        out.close();
        if (!out) {
            std::remove(partial.c_str());
            error = "cannot write " + fileName;
            return false;
        }
    }
    if (std::rename(partial.c_str(), fileName.c_str()) != 0) {
        error = "cannot write " + fileName + ": " + std::strerror(errno);
        std::remove(partial.c_str());
        return false;
    }
    return true;
}
