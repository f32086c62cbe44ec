// The replay page in a real (headless) browser: a whole match on the real
// server and agents, rendered and loaded, must show what the server's
// summary says; a hostile record must be shown, never run.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include <gtest/gtest.h>

#include "HeadlessBrowser.h"
#include "PngImage.h"
#include "e2e/MatchRunner.h"
#include "sim/record/ReplayPage.h"

namespace {

constexpr int kBrowserTimeoutSeconds = 120;
constexpr int kRenderTimeoutSeconds = 60;
// Virtual time for the page's scripts before the DOM is dumped or the shot taken.
const char* const kVirtualTime = "--virtual-time-budget=5000";
constexpr int kShotWidth = 1000;
constexpr int kShotHeight = 760;
// The page's team fills and grass, and how much of each a drawn field shows at least.
constexpr int kYellow[3] = {0xff, 0xcc, 0x00};
constexpr int kBlue[3] = {0x1f, 0x5f, 0xe0};
constexpr int kGrass[3] = {0x2e, 0x7d, 0x45};
constexpr int kColourTolerance = 12;
constexpr long kMinTeamPixels = 400;
constexpr long kMinGrassPixels = 100000;

std::string quoted(const std::string& s)
{
    std::string q = "'";
    for (const char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

std::string bodyAttribute(const std::string& dom, const std::string& name)
{
    std::smatch body;
    if (!std::regex_search(dom, body, std::regex("<body[^>]*>"))) {
        return "<no body>";
    }
    const std::string tag = body.str();
    std::smatch m;
    return std::regex_search(tag, m, std::regex(" " + name + "=\"([^\"]*)\"")) ? m[1].str() : "<absent>";
}

std::string elementText(const std::string& dom, const std::string& id)
{
    std::smatch m;
    return std::regex_search(dom, m, std::regex("id=\"" + id + "\"[^>]*>([^<]*)<")) ? m[1].str() : "<absent>";
}

long summaryNumber(const std::string& summary, const std::string& pattern, int group = 1)
{
    std::smatch m;
    return std::regex_search(summary, m, std::regex(pattern)) ? std::stol(m[group]) : -1;
}

class ReplayInBrowser : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* skip = std::getenv("SOCCER_SKIP_BROWSER");
        if (skip != nullptr && std::string(skip) == "1") {
            GTEST_SKIP() << "SOCCER_SKIP_BROWSER=1: the replay page is not checked in a browser";
        }
        mChromium = findChromium();
        ASSERT_FALSE(mChromium.empty())
            << "chromium is not installed (scripts/bootstrap.sh installs it; SOCCER_SKIP_BROWSER=1 skips this test)";
        std::string pattern = "/tmp/replay_browser_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        mDir = pattern;
    }

    void TearDown() override
    {
        if (!mDir.empty() && !HasFailure()) {
            std::error_code ignored;
            std::filesystem::remove_all(mDir, ignored);
        }
    }

    // The page of `record`, written by simserver itself.
    std::string render(const std::string& record)
    {
        const std::string page = mDir + "/match.html";
        const std::string command = "timeout " + std::to_string(kRenderTimeoutSeconds) + " " +
                                    quoted(SIMSERVER_PATH) + " --render " + quoted(record) + " -o " +
                                    quoted(page) + " > /dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return page;
    }

    std::string dumpDom(const std::string& page, const std::string& fragment)
    {
        const std::string out = mDir + "/dom.html";
        EXPECT_EQ(runHeadless(mChromium, "file://" + page + fragment, std::string(kVirtualTime) + " --dump-dom",
                              out, mDir, kBrowserTimeoutSeconds),
                  0)
            << "see " << mDir << "/chromium.log";
        return readFile(out);
    }

    PngImage screenshot(const std::string& page, const std::string& fragment)
    {
        const std::string shot = mDir + "/shot.png";
        const std::string args = std::string(kVirtualTime) + " --screenshot=" + shot + " --window-size=" +
                                 std::to_string(kShotWidth) + "," + std::to_string(kShotHeight);
        EXPECT_EQ(runHeadless(mChromium, "file://" + page + fragment, args, mDir + "/shot.out", mDir,
                              kBrowserTimeoutSeconds),
                  0)
            << "see " << mDir << "/chromium.log";
        PngImage image;
        std::string error;
        EXPECT_TRUE(decodePng(readFile(shot), image, error)) << error;
        return image;
    }

    std::string mChromium;
    std::string mDir;
};

TEST_F(ReplayInBrowser, AWholeMatchPlaysBackWithTheServersScoreAndGoals)
{
    MatchSetup setup;
    setup.scenarioFile = std::string(SOCCER_SOURCE_DIR) + "/config/scenario-5v5.ini";
    setup.serverArgs = {"--fast", "--length", "30", "--seed", "3"};
    const MatchResult m = runMatch("replay", setup);
    DiscardOnSuccess discard{m};
    ASSERT_EQ(m.serverStatus, 0) << m.serverLog;
    const std::string record = m.dir + "/record.jsonl";
    const long steps = countRecordSteps(readFile(record));
    ASSERT_GT(steps, 400);
    const long yellow = summaryNumber(m.summary, "final score: yellow (\\d+) - (\\d+) blue", 1);
    const long blue = summaryNumber(m.summary, "final score: yellow (\\d+) - (\\d+) blue", 2);
    const long goals = summaryNumber(m.summary, "goals: (\\d+)");
    ASSERT_GE(goals, 0) << m.summary;

    const std::string page = render(record);
    // Opened at the end, paused: the score on show is the final one.
    const std::string dom = dumpDom(page, "#t=100000");
    EXPECT_EQ(bodyAttribute(dom, "data-state"), "ready");
    EXPECT_EQ(bodyAttribute(dom, "data-frames"), std::to_string(steps));
    EXPECT_EQ(bodyAttribute(dom, "data-loaded-frames"), std::to_string(steps));
    EXPECT_EQ(bodyAttribute(dom, "data-final-score"), std::to_string(yellow) + "-" + std::to_string(blue));
    EXPECT_EQ(bodyAttribute(dom, "data-goals"), std::to_string(goals));
    EXPECT_EQ(elementText(dom, "score-yellow"), std::to_string(yellow));
    EXPECT_EQ(elementText(dom, "score-blue"), std::to_string(blue));
    EXPECT_NE(elementText(dom, "final").find("yellow " + std::to_string(yellow) + " - " + std::to_string(blue) +
                                             " blue, " + std::to_string(goals) + " goal"),
              std::string::npos)
        << elementText(dom, "final");

    // At the kick-off every robot stands on the field: both colours show.
    const PngImage shot = screenshot(page, "#t=0");
    ASSERT_EQ(shot.width, kShotWidth);
    EXPECT_GE(shot.countNear(kGrass[0], kGrass[1], kGrass[2], kColourTolerance), kMinGrassPixels);
    EXPECT_GE(shot.countNear(kYellow[0], kYellow[1], kYellow[2], kColourTolerance), kMinTeamPixels);
    EXPECT_GE(shot.countNear(kBlue[0], kBlue[1], kBlue[2], kColourTolerance), kMinTeamPixels);
}

TEST_F(ReplayInBrowser, AHostileRecordIsShownNeverRun)
{
    const std::string step =
        "{\"step\":%d,\"time\":%s,\"mode\":\"play on\",\"score\":{\"yellow\":%d,\"blue\":0},"
        "\"ball\":{\"x\":0,\"y\":0},\"robots\":[{\"id\":1,\"team\":\"yellow\",\"x\":-100,\"y\":0,"
        "\"heading\":90,\"seen\":true,\"cmd\":{\"type\":\"none\"}}],\"kicks\":[]%s}\n";
    char line[512];
    std::ofstream out(mDir + "/hostile.jsonl");
    out << "{\"type\":\"header\",\"robots\":[{\"id\":1,\"team\":\"yellow\",\"nickname\":"
           "\"</script><script>document.body.dataset.pwned='yes'</script><!--\"}]}\n";
    std::snprintf(line, sizeof line, step.c_str(), 0, "0.000", 0, "");
    out << line;
    out << "<img src=x onerror=\"document.body.dataset.pwned='yes'\">\n";
    std::snprintf(line, sizeof line, step.c_str(), 1, "0.066", 1, ",\"goal\":\"yellow\"");
    out << line;
    out << "{\"step\":2,\"time\":0.1";  // cut short, as by a crash mid-line
    out.close();

    const std::string dom = dumpDom(render(mDir + "/hostile.jsonl"), "");
    EXPECT_EQ(bodyAttribute(dom, "data-state"), "ready");
    EXPECT_EQ(bodyAttribute(dom, "data-pwned"), "<absent>");
    EXPECT_EQ(bodyAttribute(dom, "data-frames"), "4");
    EXPECT_EQ(bodyAttribute(dom, "data-loaded-frames"), "2");
    EXPECT_EQ(bodyAttribute(dom, "data-goals"), "1");
    EXPECT_EQ(bodyAttribute(dom, "data-final-score"), "1-0");
}

}  // namespace
