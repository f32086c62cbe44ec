// A field family's drawn values as the record's header and summary.json state them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "sim/record/Recorder.h"
#include "sim/match/MatchSummary.h"
#include "sim/record/SummaryJson.h"

namespace {

Scenario drawnScenario()
{
    Scenario s = defaultScenario(3);
    s.drawn.push_back({"BALL_KEEP", true, 0.8525, "0.8525"});
    s.drawn.push_back({"KICK_MODEL", false, 0.0, "mouth"});
    return s;
}

TEST(DrawnValues, TheRecordsHeaderStatesThem)
{
    for (const bool family : {true, false}) {
        const Scenario s = family ? drawnScenario() : defaultScenario(3);
        Referee referee(s);
        std::vector<RobotBody> bodies(s.robots.size());
        const std::vector<char> seen(s.robots.size(), 1);
        std::string header;
        Recorder recorder;
        recorder.setLineSink([&header](const std::string& line) {
            if (header.empty()) {
                header = line;
            }
        });
        recorder.record(s, referee, bodies, seen, BallBody(), StepEvents());
        const nlohmann::json parsed = nlohmann::json::parse(header);
        const nlohmann::json expected =
            family ? nlohmann::json{{"BALL_KEEP", 0.8525}, {"KICK_MODEL", "mouth"}} : nlohmann::json::object();
        EXPECT_EQ(parsed.at("drawn"), expected) << header;
    }
}

TEST(DrawnValues, SummaryJsonStatesThemAsItsField)
{
    const Scenario s = drawnScenario();
    Referee referee(s);
    const std::vector<RobotStats> robots(s.robots.size());
    const PlayStatistics play(s);
    const TrafficStats traffic;
    const MatchReport report{s, referee, robots, play, traffic, "agent", "statue"};
    const nlohmann::ordered_json j = summaryJson(summarize(report));
    EXPECT_EQ(j.at("field").at("BALL_KEEP"), 0.8525);
    EXPECT_EQ(j.at("field").at("KICK_MODEL"), "mouth");
}

}  // namespace
