// The figures of play of a real match: summary.json, the record's closing line
// and the record's own steps must tell the same story.

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "e2e/MatchRunner.h"

namespace {

constexpr double kShareTolerance = 1e-9;

TEST(MatchStatistics, SummaryFileRecordAndStepsAgree)
{
    char summaryName[] = "/tmp/sim_e2e_summaryXXXXXX";
    const int fd = mkstemp(summaryName);
    ASSERT_GE(fd, 0);
    close(fd);
    MatchSetup setup;
    setup.serverArgs = {"--fast",           "--length",       "30",     "--seed",  "4",
                        "--yellow-program", "agent \"gold\"", "--summary", summaryName};
    const MatchResult m = runMatch("statistics", setup);
    const DiscardOnSuccess discard_m{m};
    ASSERT_EQ(m.serverStatus, 0) << m.serverLog;
    ASSERT_FALSE(m.record.empty());
    EXPECT_EQ(m.badRecordLines, 0);

    std::ifstream in(summaryName);
    const nlohmann::json summary = nlohmann::json::parse(in, nullptr, false);
    std::remove(summaryName);
    ASSERT_TRUE(summary.is_object());
    ASSERT_TRUE(m.closing.is_object()) << "the record has no closing summary line";
    nlohmann::json closing = m.closing;
    EXPECT_EQ(closing["type"], "summary");
    closing.erase("type");
    EXPECT_EQ(closing, summary);

    EXPECT_EQ(m.header["seed"], 4);
    EXPECT_EQ(m.header["programs"]["yellow"], "agent \"gold\"");
    EXPECT_EQ(m.header["programs"]["blue"], "unknown");
    EXPECT_EQ(summary["seed"], 4);
    EXPECT_EQ(summary["interrupted"], false);

    // Goals and kicks against the steps of the record.
    const RecordStep& last = m.record.back();
    EXPECT_EQ(summary["score"]["yellow"], last.yellow);
    EXPECT_EQ(summary["score"]["blue"], last.blue);
    std::map<int, long> kicksInRecord;
    for (const RecordStep& step : m.record) {
        for (int k : step.kicks) {
            ++kicksInRecord[k];
        }
    }
    std::map<std::string, long> teamKicks, teamShots, teamPasses, teamNearest;
    for (const nlohmann::json& r : summary["robots"]) {
        const std::string team = r["team"];
        const int id = r["id"];
        EXPECT_EQ(r["kicks"].get<long>(), kicksInRecord[id]) << "robot " << id;
        EXPECT_LE(r["shots"].get<long>(), r["kicks"].get<long>()) << "robot " << id;
        EXPECT_LE(r["passes"].get<long>(), r["kicks"].get<long>()) << "robot " << id;
        teamKicks[team] += r["kicks"].get<long>();
        teamShots[team] += r["shots"].get<long>();
        teamPasses[team] += r["passes"].get<long>();
        teamNearest[team] += r["nearestSteps"].get<long>();
    }
    const long playSteps = summary["playSteps"];
    EXPECT_GT(playSteps, 0);
    EXPECT_EQ(teamNearest["yellow"] + teamNearest["blue"], playSteps);
    double shares = 0.0;
    for (const char* team : {"yellow", "blue"}) {
        const nlohmann::json& t = summary["teams"][team];
        EXPECT_EQ(t["goals"], summary["score"][team]) << team;
        EXPECT_EQ(t["kicks"].get<long>(), teamKicks[team]) << team;
        EXPECT_EQ(t["shots"].get<long>(), teamShots[team]) << team;
        EXPECT_EQ(t["passes"].get<long>(), teamPasses[team]) << team;
        shares += t["possession"].get<double>();
    }
    EXPECT_NEAR(shares, 1.0, kShareTolerance);
    EXPECT_EQ(summary["teams"]["yellow"]["program"], "agent \"gold\"");
}

}  // namespace
