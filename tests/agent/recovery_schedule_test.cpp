#include <gtest/gtest.h>

#include <vector>

#include "agent/RecoverySchedule.h"

namespace {

// Deterministic draws: 0, 1, 2, 3, 0, ... and a count of the calls.
int gDraws = 0;
int countingDraw()
{
    return gDraws++ % kRecoveryActionCount;
}

class RecoveryScheduleTest : public ::testing::Test {
protected:
    void SetUp() override { gDraws = 0; }
    RecoverySchedule schedule{&countingDraw};
};

}  // namespace

TEST_F(RecoveryScheduleTest, RepeatsTheLastCommandThenTurnsLeftBeforeAnyDraw)
{
    EXPECT_EQ(schedule.next(0.0), RecoveryMove::kRepeatLast);
    EXPECT_EQ(schedule.next(0.3), RecoveryMove::kRepeatLast);
    EXPECT_EQ(schedule.next(0.6), RecoveryMove::kSlowTurnLeft);
    EXPECT_EQ(schedule.next(0.8), RecoveryMove::kSlowTurnLeft);
    EXPECT_EQ(schedule.next(1.0999), RecoveryMove::kSlowTurnLeft);
    EXPECT_EQ(gDraws, 0);
    EXPECT_EQ(schedule.action(), -1);
    EXPECT_DOUBLE_EQ(schedule.multiplier(), 1.0);
}

TEST_F(RecoveryScheduleTest, DrawsAtTheStretchingMomentsAndKeepsTheActionBetween)
{
    // Change moments 1.1 x (1.0, 1.7, 2.4, 3.1): 1.1, 1.87, 2.64, 3.41 s.
    struct Step {
        double lost;
        int drawsSoFar;
        RecoveryMove move;
    };
    const std::vector<Step> steps = {
        {1.1, 1, RecoveryMove::kSlowTurnLeft},    {1.5, 1, RecoveryMove::kSlowTurnLeft},
        {1.86, 1, RecoveryMove::kSlowTurnLeft},   {1.87, 2, RecoveryMove::kSlowTurnRight},
        {2.63, 2, RecoveryMove::kSlowTurnRight},  {2.64, 3, RecoveryMove::kForward},
        {3.40, 3, RecoveryMove::kForward},        {3.41, 4, RecoveryMove::kBackward},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(schedule.next(s.lost), s.move) << "at " << s.lost << " s";
        EXPECT_EQ(gDraws, s.drawsSoFar) << "at " << s.lost << " s";
    }
}

TEST_F(RecoveryScheduleTest, DrawsAtMostOncePerCycleAfterALongGap)
{
    // Unseen for 5 s in one go: the moments 1.1, 1.87, 2.64, 3.41, 4.18, 4.95
    // are all past, but each cycle catches up by one draw only.
    for (int cycle = 1; cycle <= 6; ++cycle) {
        schedule.next(5.0);
        EXPECT_EQ(gDraws, cycle);
    }
    schedule.next(5.0);
    EXPECT_EQ(gDraws, 6);
    EXPECT_NEAR(schedule.multiplier(), 1.0 + 6 * kCriticalChangeActionIncrement, 1e-9);
}

TEST_F(RecoveryScheduleTest, ResetStartsTheMomentsOverButKeepsTheLastAction)
{
    schedule.next(1.2);
    schedule.next(2.0);
    ASSERT_EQ(gDraws, 2);
    schedule.reset();
    EXPECT_DOUBLE_EQ(schedule.multiplier(), 1.0);
    EXPECT_EQ(schedule.action(), 1);
    // A new loss: the turn phase first, then a draw at 1.1 s again.
    EXPECT_EQ(schedule.next(0.7), RecoveryMove::kSlowTurnLeft);
    schedule.next(1.1);
    EXPECT_EQ(gDraws, 3);
}

TEST(RecoveryScheduleDefaultTest, UnseededDrawsAreInRangeAndRepeatable)
{
    // rand() is never seeded, so the sequence is that of seed 1.
    std::srand(1);
    std::vector<int> first;
    for (int i = 0; i < 20; ++i) {
        first.push_back(drawRecoveryAction());
        EXPECT_GE(first.back(), 0);
        EXPECT_LT(first.back(), kRecoveryActionCount);
    }
    std::srand(1);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(drawRecoveryAction(), first[i]);
    }
}
