#include <gtest/gtest.h>

#include <unistd.h>

#include "common/Timer.h"

namespace {

TEST(TimevalSubtract, CarriesOnTheSubtrahend)
{
    struct Case {
        timeval x, y, expected;
    };
    const Case cases[] = {
        {{5, 100}, {3, 900000}, {1, 100100}},
        {{5, 900000}, {3, 100}, {2, 899900}},
        {{5, 0}, {5, 0}, {0, 0}},
        {{2, 3500000}, {1, 0}, {4, 500000}},
    };
    for (const Case& c : cases) {
        timeval x = c.x;
        timeval y = c.y;
        const double yBefore = timeval_to_double(y);
        const timeval r = timeval_subtract(x, y);
        EXPECT_EQ(r.tv_sec, c.expected.tv_sec);
        EXPECT_EQ(r.tv_usec, c.expected.tv_usec);
        EXPECT_DOUBLE_EQ(timeval_to_double(y), yBefore);  // same instant, normalised
    }
}

TEST(Timer, NewTimerIsNotInitialisedAndNeverOver)
{
    Timer t;
    EXPECT_TRUE(t.isPaused());
    EXPECT_FALSE(t.isInitialized());
    EXPECT_EQ(t.getTotalTime(), 0.0);
    EXPECT_FALSE(t.isTimeOver(0.0));
    ::testing::internal::CaptureStdout();
    const timeval spent = t.getSpentTimevalTime();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "An error occured: Timer wasn't initialized at all.\n");
    EXPECT_EQ(spent.tv_sec, 0);
    EXPECT_EQ(spent.tv_usec, 0);
}

TEST(Timer, StretchesAddUpAcrossPauses)
{
    Timer t;
    t.startTimer();
    usleep(20000);
    t.stopTimer();
    const double first = t.getTotalTime();
    EXPECT_GE(first, 0.02);
    usleep(30000);
    EXPECT_EQ(t.getTotalTime(), first);  // stopped: nothing accrues
    EXPECT_EQ(t.getSpentTime(), 0.0);
    t.startTimer();
    usleep(10000);
    EXPECT_GE(t.getTotalTime(), first + 0.01);
    EXPECT_LT(t.getTotalTime(), first + 0.03 + 0.2);
    EXPECT_TRUE(t.isTimeOver(first));
}

TEST(Timer, RestartWhileRunningKeepsTheStartTime)
{
    Timer t(true);
    const timeval start = t.getStartTime();
    usleep(2000);
    t.startTimer();
    EXPECT_EQ(t.getStartTime().tv_sec, start.tv_sec);
    EXPECT_EQ(t.getStartTime().tv_usec, start.tv_usec);
}

TEST(Timer, ReadableTime)
{
    Timer t;
    EXPECT_EQ(t.getReadableTime(125.9), (std::vector<int>{2, 5}));
    EXPECT_EQ(t.getReadableTime(59.99), (std::vector<int>{0, 59}));
}

}  // namespace
