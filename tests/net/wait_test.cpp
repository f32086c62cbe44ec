// The wait between two receive attempts: it ends when a datagram lands,
// never outlasts its pause, and in blind mode always sleeps it whole.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
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

// --- The receive that waits: one call that ends when a datagram lands ---

struct ReceiveWithinCase {
    const char* name;
    // Datagrams from the server already waiting, "d0".."dN-1", oldest first.
    int waiting;
    // Datagrams from a foreign host, sent after the server's.
    int foreign;
    int pauseUs;
    bool blind;
    // The datagram expected to be kept, empty when none.
    const char* kept;
    bool expectFullPause;
};

class ReceiveWithinTest : public ::testing::TestWithParam<ReceiveWithinCase> {};

TEST_P(ReceiveWithinTest, KeepsTheNewestFromTheServer)
{
    const ReceiveWithinCase& c = GetParam();
    UdpPeer server;
    UdpPeer stranger("127.0.0.2");
    Connection conn;
    ASSERT_TRUE(conn.Init("127.0.0.1", server.port()));
    ASSERT_TRUE(conn.sendConnectionRequest("hello"));
    ASSERT_TRUE(server.receive().has_value());
    conn.setBlindWait(c.blind);
    for (int i = 0; i < c.waiting; ++i) {
        server.reply("d" + std::to_string(i));
    }
    for (int i = 0; i < c.foreign; ++i) {
        stranger.replyAs(server, "steer");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));

    const auto start = Clock::now();
    const bool kept = conn.ReceiveWithin(c.pauseUs);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    EXPECT_EQ(kept, c.kept[0] != '\0');
    if (kept) {
        EXPECT_EQ(conn.getData(), c.kept);
    }
    if (c.expectFullPause) {
        EXPECT_GE(ms, c.pauseUs / 1000.0 * 0.9);
    }
    EXPECT_LT(ms, c.pauseUs / 1000.0 + kSlackMs);
    // Everything that was waiting has been taken.
    EXPECT_FALSE(conn.Receive());
}

INSTANTIATE_TEST_SUITE_P(
    Waits, ReceiveWithinTest,
    ::testing::Values(ReceiveWithinCase{"OneWaiting", 1, 0, kLongPauseUs, false, "d0", false},
                      ReceiveWithinCase{"MoreThanOneBatch", 11, 0, kLongPauseUs, false, "d10", false},
                      ReceiveWithinCase{"ForeignAfterTheServer", 2, 3, kLongPauseUs, false, "d1", false},
                      ReceiveWithinCase{"OnlyForeign", 0, 2, kShortPauseUs, false, "", false},
                      ReceiveWithinCase{"SilenceLastsThePause", 0, 0, kShortPauseUs, false, "", true},
                      ReceiveWithinCase{"ZeroPauseOnlyLooks", 2, 0, 0, false, "d1", false},
                      ReceiveWithinCase{"BlindSleepsFirst", 2, 0, kShortPauseUs, true, "d1", true}),
    [](const ::testing::TestParamInfo<ReceiveWithinCase>& info) { return info.param.name; });

TEST(ReceiveWithin, ArrivalEndsTheWait)
{
    UdpPeer server;
    Connection conn;
    ASSERT_TRUE(conn.Init("127.0.0.1", server.port()));
    ASSERT_TRUE(conn.sendConnectionRequest("hello"));
    ASSERT_TRUE(server.receive().has_value());
    std::thread late([&server] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        server.reply("late");
    });
    const auto start = Clock::now();
    const bool kept = conn.ReceiveWithin(kLongPauseUs);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    late.join();
    EXPECT_TRUE(kept);
    EXPECT_EQ(conn.getData(), "late");
    EXPECT_LT(ms, 50 + kSlackMs);
}

}  // namespace
