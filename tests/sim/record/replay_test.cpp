// The replay file's header line and the replay page built from a record.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "sim/Options.h"
#include "sim/record/Recorder.h"
#include "sim/record/ReplayPage.h"

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string tempPath(const std::string& name)
{
    return "/tmp/replay_test_" + std::to_string(::getpid()) + "_" + name;
}

long occurrences(const std::string& text, const std::string& what)
{
    long n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

TEST(ReplayRecord, HeaderLineComesFirstWithTheFieldAndEscapedNicknames)
{
    Scenario s = defaultScenario(3);
    s.robots[0].nickname = "G\"O\\\x01";
    Referee referee(s.rules, s.physics.timeStep);
    std::vector<RobotBody> bodies(s.robots.size());
    const std::vector<char> seen(s.robots.size(), 1);
    const BallBody ball;
    StepEvents events;

    const std::string file = tempPath("header.jsonl");
    Recorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.open(file, error)) << error;
    recorder.record(s, referee, bodies, seen, ball, events);
    recorder.record(s, referee, bodies, seen, ball, events);
    ASSERT_TRUE(recorder.close());

    std::istringstream lines(readAll(file));
    std::string header, first, second, extra;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_FALSE(std::getline(lines, extra)) << "only one header line";
    EXPECT_EQ(header.rfind("{\"type\":\"header\",\"field\":{\"length\":1500,\"width\":1300,\"goalWidth\":400,", 0),
              0u)
        << header;
    EXPECT_NE(header.find("\"nickname\":\"G\\\"O\\\\\\u0001\""), std::string::npos) << header;
    EXPECT_NE(header.find("{\"id\":6,\"team\":\"blue\",\"nickname\":\"B2\"}"), std::string::npos) << header;
    EXPECT_EQ(first.rfind("{\"step\":0,", 0), 0u);
    EXPECT_EQ(second.rfind("{\"step\":0,", 0), 0u);
    std::remove(file.c_str());
}

TEST(ReplayPage, TheRecordCannotEndItsScriptElement)
{
    const std::string pageTemplate =
        "<p>before</p><script id=\"record\" type=\"application/x-ndjson\"></script><script>run()</script>";
    const std::string record =
        "{\"type\":\"header\",\"robots\":[{\"nickname\":\"</script><script>evil()</script><!--\"}]}\n"
        "{\"step\":0,\"mode\":\"a & b > c\"}\n";
    std::string page, error;
    ASSERT_TRUE(buildReplayPage(pageTemplate, record, page, error)) << error;
    EXPECT_EQ(occurrences(page, "</script>"), 2) << page;  // the template's own two
    EXPECT_EQ(page.find("<!--"), std::string::npos);
    EXPECT_NE(page.find("\\u003c/script\\u003e\\u003cscript\\u003eevil()"), std::string::npos) << page;
    EXPECT_NE(page.find("\"a \\u0026 b \\u003e c\""), std::string::npos) << page;
    EXPECT_EQ(page.rfind("<p>before</p>", 0), 0u);
    const std::string tail = "c\"}\n</script><script>run()</script>";
    EXPECT_EQ(page.compare(page.size() - tail.size(), tail.size(), tail), 0) << page;

    EXPECT_FALSE(buildReplayPage("<html></html>", record, page, error));
    EXPECT_FALSE(error.empty());
}

TEST(ReplayPage, StepsAreCountedWithoutTheHeaderOrBrokenLines)
{
    EXPECT_EQ(countRecordSteps(""), 0);
    EXPECT_EQ(countRecordSteps("{\"type\":\"header\"}\n{\"step\":0}\n{\"step\":1}\n"), 2);
    EXPECT_EQ(countRecordSteps("{\"step\":0}\n\ngarbage\n{\"step\":1,\"time\":0.0"), 2);
}

TEST(ReplayPage, TheBuiltInTemplateIsTheRepositorysFile)
{
    const std::string file = readAll(std::string(SOCCER_SOURCE_DIR) + "/src/sim/record/replay/replay.html");
    ASSERT_FALSE(file.empty());
    EXPECT_TRUE(replayTemplate() == file) << "rebuild: the embedded page is stale";
}

TEST(ReplayPage, WritesThePageAndReportsUnreadableRecords)
{
    const std::string record = tempPath("page.jsonl");
    std::ofstream(record) << "{\"step\":0}\n{\"step\":1}\n";
    long steps = 0;
    std::string error;
    const std::string page = tempPath("page.html");
    ASSERT_TRUE(writeReplayPage(record, page, steps, error)) << error;
    EXPECT_EQ(steps, 2);
    EXPECT_NE(readAll(page).find("{\"step\":1}"), std::string::npos);
    EXPECT_FALSE(writeReplayPage(tempPath("missing.jsonl"), page, steps, error));
    EXPECT_NE(error.find("missing.jsonl"), std::string::npos) << error;
    EXPECT_FALSE(writeReplayPage(record, "/nonexistent-dir/page.html", steps, error));
    std::remove(record.c_str());
    std::remove(page.c_str());
}

TEST(ReplayPage, AFileThatIsNotARecordIsRefusedAndNoPageIsWritten)
{
    const std::string page = tempPath("not-a-record.html");
    for (const char* text : {"hello there\n", "SERVER_IP=127.0.0.1\nTEAM=1\n", "", "[1,2,3]\n{\"step\":0}\n",
                             "{\"type\":\"summary\"}\n"}) {
        const std::string input = tempPath("input.txt");
        std::ofstream(input) << text;
        long steps = 0;
        std::string error;
        std::remove(page.c_str());
        EXPECT_FALSE(writeReplayPage(input, page, steps, error)) << text;
        EXPECT_NE(error.find("not a record"), std::string::npos) << error;
        EXPECT_FALSE(std::ifstream(page).good()) << "no page for " << text;
        std::remove(input.c_str());
    }
    EXPECT_TRUE(looksLikeRecord("{\"type\":\"header\",\"robots\":[]}\n{\"step\":0}\n"));
}

TEST(ReplayPage, OutputNameDefaultsToTheRecordsWithHtml)
{
    const struct {
        const char* render;
        const char* output;
        const char* expected;
    } cases[] = {
        {"runs/x/record.jsonl", "", "runs/x/record.html"},
        {"match.log", "", "match.log.html"},
        {".jsonl", "", ".jsonl.html"},
        {"r.jsonl", "out/page.html", "out/page.html"},
    };
    for (const auto& c : cases) {
        SimOptions o;
        o.renderFile = c.render;
        o.outputFile = c.output;
        EXPECT_EQ(replayPageFile(o), c.expected) << c.render;
    }
    SimOptions o;
    std::string error;
    const char* argv[] = {"simserver", "--render", "r.jsonl", "-o", "m.html"};
    ASSERT_EQ(parseOptions(5, argv, o, error), ParseOutcome::Run) << error;
    EXPECT_EQ(o.renderFile, "r.jsonl");
    EXPECT_EQ(o.outputFile, "m.html");
    const char* missing[] = {"simserver", "--render"};
    EXPECT_EQ(parseOptions(2, missing, o, error), ParseOutcome::Error);
}

}  // namespace
