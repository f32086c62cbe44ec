// The page served live by simserver, in headless Chromium, during a real
// match of the real agents: it draws the field with both teams while the
// match goes on, catches up with what it missed by joining late, and at the
// end holds every step, the server's summary and the finished replay page.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "DevToolsBrowser.h"
#include "HeadlessBrowser.h"
#include "LiveProcess.h"
#include "PngImage.h"
#include "e2e/MatchRunner.h"

namespace {

using namespace std::chrono_literals;

constexpr int kShotWidth = 1000;
constexpr int kShotHeight = 760;
constexpr auto kPageWait = 30s;
constexpr auto kPoll = 100ms;
constexpr auto kJoinLate = 2s;
// Steps the page must have drawn live before the screenshot.
constexpr int kLiveFrames = 30;
// The page's team fills and grass, and how much of each a drawn field shows at least.
constexpr int kYellow[3] = {0xff, 0xcc, 0x00};
constexpr int kBlue[3] = {0x1f, 0x5f, 0xe0};
constexpr int kGrass[3] = {0x2e, 0x7d, 0x45};
constexpr int kColourTolerance = 12;
constexpr long kMinTeamPixels = 400;
constexpr long kMinGrassPixels = 100000;
// Where the screenshot is also copied, when set (the README's picture).
const char* const kShotCopyVariable = "SOCCER_LIVE_SHOT";

// A port that was free a moment ago, for a server that must be told its port.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0;
    ::close(fd);
    return ok ? ntohs(a.sin_port) : -1;
}

std::string pageState(DevToolsBrowser& browser)
{
    const nlohmann::json v = browser.evaluate("document.body.dataset.state");
    return v.is_string() ? v.get<std::string>() : "<none>";
}

long pageFrames(DevToolsBrowser& browser)
{
    const nlohmann::json v = browser.evaluate("Number(document.body.dataset.loadedFrames)");
    return v.is_number() ? v.get<long>() : -1;
}

// Polls the page until `done` holds or the wait is over.
template <typename Done>
bool waitFor(Done done)
{
    const auto deadline = std::chrono::steady_clock::now() + kPageWait;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return false;
}

TEST(LiveInBrowser, ThePageFollowsAMatchOfTheAgentsAndEndsWithItsSummary)
{
    const char* skip = std::getenv("SOCCER_SKIP_BROWSER");
    if (skip != nullptr && std::string(skip) == "1") {
        GTEST_SKIP() << "SOCCER_SKIP_BROWSER=1: the live page is not checked in a browser";
    }
    const std::string chromium = findChromium();
    ASSERT_FALSE(chromium.empty())
        << "chromium is not installed (scripts/bootstrap.sh installs it; SOCCER_SKIP_BROWSER=1 skips this test)";
    std::string pattern = "/tmp/live_browser_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::string dir = pattern;
    const int httpPort = freePort();
    ASSERT_GT(httpPort, 0);

    MatchSetup setup;
    setup.serverArgs = {"--length", "15", "--http", std::to_string(httpPort)};
    std::string state;
    long liveFrames = -1;
    long finalFrames = -1;
    bool downloadShown = false;
    std::string savedPage;
    std::string summary;
    PngImage shot;
    setup.duringMatch = [&](int) {
        // Joining after the kick-off, the page must catch up from the record.
        std::this_thread::sleep_for(kJoinLate);
        DevToolsBrowser browser;
        std::string error;
        ASSERT_TRUE(browser.open(chromium, dir, "http://127.0.0.1:" + std::to_string(httpPort) + "/", kShotWidth,
                                 kShotHeight, error))
            << error;
        ASSERT_TRUE(waitFor([&] { return pageState(browser) == "live" && pageFrames(browser) >= kLiveFrames; }))
            << "state " << pageState(browser) << ", frames " << pageFrames(browser);
        // A moment for the next animation frame to draw what came in.
        std::this_thread::sleep_for(200ms);
        state = pageState(browser);
        liveFrames = pageFrames(browser);
        const std::string png = browser.screenshot();
        std::string decodeError;
        EXPECT_TRUE(decodePng(png, shot, decodeError)) << decodeError;
        if (const char* copy = std::getenv(kShotCopyVariable)) {
            std::ofstream(copy, std::ios::binary) << png;
        }
        EXPECT_TRUE(waitFor([&] { return pageState(browser) == "finished"; })) << pageState(browser);
        finalFrames = pageFrames(browser);
        downloadShown = browser.evaluate("!document.getElementById('live-download').hidden") == true;
        const nlohmann::json saved =
            browser.evaluate("fetch(document.getElementById('live-download').href).then((r) => r.text())");
        savedPage = saved.is_string() ? saved.get<std::string>() : "";
        const nlohmann::json text = browser.evaluate("document.getElementById('live-summary').textContent");
        summary = text.is_string() ? text.get<std::string>() : "";
    };
    const MatchResult m = runMatch("live", setup);
    DiscardOnSuccess discard{m};
    ASSERT_EQ(m.serverStatus, 0) << m.serverLog;

    EXPECT_EQ(state, "live");
    EXPECT_GE(liveFrames, kLiveFrames);
    ASSERT_EQ(shot.width, kShotWidth);
    EXPECT_GE(shot.countNear(kGrass[0], kGrass[1], kGrass[2], kColourTolerance), kMinGrassPixels);
    EXPECT_GE(shot.countNear(kYellow[0], kYellow[1], kYellow[2], kColourTolerance), kMinTeamPixels);
    EXPECT_GE(shot.countNear(kBlue[0], kBlue[1], kBlue[2], kColourTolerance), kMinTeamPixels);

    // Though it joined late, the page ends with every step of the record.
    EXPECT_EQ(finalFrames, static_cast<long>(m.record.size()));
    EXPECT_TRUE(downloadShown);
    // The replay page it saves is the one the server makes of the record.
    const std::string rendered = m.dir + "/rendered.html";
    const std::string render = std::string(SIMSERVER_PATH) + " --render " + m.dir + "/record.jsonl -o " + rendered +
                               " > /dev/null";
    ASSERT_EQ(std::system(render.c_str()), 0) << render;
    EXPECT_TRUE(savedPage == readFile(rendered)) << "saved page of " << savedPage.size() << " bytes differs";
    EXPECT_NE(summary.find("final score"), std::string::npos) << summary;
    if (!::testing::Test::HasFailure()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
}

}  // namespace
