#include "sim/record/SummaryJson.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <nlohmann/json.hpp>

namespace {

constexpr int kIndent = 2;

}  // namespace

nlohmann::ordered_json summaryJson(const MatchSummary& m)
{
    nlohmann::ordered_json goals = nlohmann::ordered_json::array();
    for (const SummaryGoal& g : m.goals) {
        nlohmann::ordered_json goal = {{"time", g.time}, {"for", g.side}, {"ownGoal", g.ownGoal}};
        // The robot that touched the ball last, when one did.
        goal["by"] = g.byId > 0 ? nlohmann::ordered_json{{"id", g.byId}, {"team", g.byTeam}, {"nickname", g.byNickname}}
                                : nlohmann::ordered_json(nullptr);
        goals.push_back(goal);
    }
    nlohmann::ordered_json freeBalls = nlohmann::ordered_json::array();
    for (const SummaryFreeBall& f : m.freeBalls) {
        freeBalls.push_back({{"time", f.time}, {"cause", f.cause}, {"x", f.ball.x}, {"y", f.ball.y}});
    }
    nlohmann::ordered_json teams = nlohmann::ordered_json::object();
    for (const SummaryTeam& t : m.teams) {
        teams[t.team] = {{"program", t.program},      {"goals", t.goals},   {"ownGoals", t.ownGoals},
                         {"kicks", t.play.kicks},     {"shots", t.play.shots}, {"passes", t.play.passes},
                         {"possession", t.possession}};
    }
    nlohmann::ordered_json robots = nlohmann::ordered_json::array();
    for (const SummaryRobot& r : m.robots) {
        const RobotStats& s = r.stats;
        robots.push_back({{"id", r.id},
                          {"team", r.team},
                          {"nickname", r.nickname},
                          {"admitted", s.admitted},
                          {"agentNickname", s.agentNickname},
                          {"connectReply", s.connectReply},
                          {"commands", s.commands},
                          {"kickCommands", s.kickCommands},
                          {"kicks", r.play.kicks},
                          {"shots", r.play.shots},
                          {"passes", r.play.passes},
                          {"nearestSteps", r.play.nearestSteps},
                          {"noAnswer", s.noAnswer},
                          {"dropouts", s.dropouts},
                          {"wrongNicknames", s.wrongNicknames},
                          {"putBack", s.putBack}});
    }
    // A field family's values as drawn for this match; empty for a fixed scenario.
    nlohmann::ordered_json field = nlohmann::ordered_json::object();
    for (const DrawnValue& d : m.drawn) {
        field[d.key] = d.isNumber ? nlohmann::ordered_json(d.number) : nlohmann::ordered_json(d.word);
    }
    return {{"seed", m.seed},
            {"field", field},
            {"robotsPerTeam", m.robotsPerTeam},
            {"interrupted", m.interrupted},
            {"time", m.time},
            {"playTime", m.playTime},
            {"playSteps", m.playSteps},
            {"score", {{"yellow", m.yellow}, {"blue", m.blue}}},
            {"goals", goals},
            {"freeBalls", freeBalls},
            {"robotsPutBack", m.robotsPutBack},
            {"teams", teams},
            {"robots", robots},
            {"datagrams",
             {{"received", m.traffic.datagrams},
              {"oversized", m.traffic.oversized},
              {"invalid", m.traffic.invalid},
              {"unknownSender", m.traffic.unknownSender},
              {"refusedConnects", m.traffic.refusedConnects},
              {"wrongNickname", m.traffic.wrongNickname}}}};
}

std::string summaryLine(const MatchSummary& summary)
{
    nlohmann::ordered_json line = {{"type", "summary"}};
    line.update(summaryJson(summary));
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

bool writeSummaryJson(const MatchSummary& summary, const std::string& fileName, std::string& error)
{
    const std::string partial = fileName + ".partial";
    {
        std::ofstream out(partial, std::ios::trunc);
        // Agents' nicknames come off the network: bad UTF-8 is replaced, never fatal.
        out << summaryJson(summary).dump(kIndent, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
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
