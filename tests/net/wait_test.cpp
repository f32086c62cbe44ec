// The wait between two receive attempts: it ends when a datagram lands,
// never outlasts its pause, and in blind mode always sleeps it whole.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "UdpPeer.h"
#include "net/Connection.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLongPauseUs = 1000000;
constexpr int kShortPauseUs = 20000;
// Scheduling slack allowed on a loaded machine.
constexpr double kSlackMs = 150;

struct WaitCase {
    const char* name;
    bool blind;
    bool datagramWaiting;
    int pauseUs;
    bool expectData;
    // The wait should take about the whole pause (else it should end at once).
    bool expectFullPause;
};

class WaitForDataTest : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitForDataTest, EndsOnArrivalOrAfterThePause)
{
    const WaitCase& c = GetParam();
    UdpPeer server;
    Connection conn;
    ASSERT_TRUE(conn.Init("127.0.0.1", server.port()));
    ASSERT_TRUE(conn.sendConnectionRequest("hello"));
    ASSERT_TRUE(server.receive().has_value());
    conn.setBlindWait(c.blind);
    if (c.datagramWaiting) {
        server.reply("<worldData/>");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    const auto start = Clock::now();
    EXPECT_EQ(conn.WaitForData(c.pauseUs), c.expectData);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

    const double pauseMs = c.pauseUs / 1000.0;
    if (c.expectFullPause) {
        EXPECT_GE(ms, pauseMs * 0.9);
        EXPECT_LE(ms, pauseMs + kSlackMs);
    } else {
        EXPECT_LT(ms, kSlackMs);
    }
    // The datagram the wait saw is still there to be received.
    EXPECT_EQ(conn.Receive(), c.datagramWaiting);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, WaitForDataTest,
    ::testing::Values(WaitCase{"ArrivalEndsTheWait", false, true, kLongPauseUs, true, false},
                      WaitCase{"SilenceLastsThePause", false, false, kShortPauseUs, false, true},
                      WaitCase{"SubMillisecondPause", false, false, 300, false, false},
                      WaitCase{"NegativePauseReturnsAtOnce", false, false, -5, false, false},
                      WaitCase{"BlindWaitSleepsThroughArrival", true, true, kShortPauseUs, false, true}),
    [](const ::testing::TestParamInfo<WaitCase>& info) { return info.param.name; });

TEST(WaitForDataUnopened, SleepsThePauseAndReportsNothing)
{
    Connection conn;
    const auto start = Clock::now();
    EXPECT_FALSE(conn.WaitForData(kShortPauseUs));
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    EXPECT_GE(ms, kShortPauseUs / 1000.0 * 0.9);
}

}  // namespace
