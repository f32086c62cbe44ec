#pragma once
// Shared checks on the command a BasicPlayer has set.

#include <gtest/gtest.h>

#include "behaviour/BasicPlayer.h"

/// \brief Asserts a wheel command whose requested speeds were `left` / `right`.
inline void expectWheels(const BasicPlayer& player, double left, double right)
{
    const Command& cmd = player.command();
    ASSERT_EQ(cmd.kind(), WHEEL_VELOCITY);
    EXPECT_FLOAT_EQ(cmd.leftVelocity(), static_cast<float>(BasicPlayer::DiscreteSpeed(left)));
    EXPECT_FLOAT_EQ(cmd.rightVelocity(), static_cast<float>(BasicPlayer::DiscreteSpeed(right)));
}

/// \brief Asserts a kick at `angle` radians (within `toleranceDeg` degrees) with `strength`.
inline void expectKick(const BasicPlayer& player, double angle, double strength, double toleranceDeg = 1e-3)
{
    const Command& cmd = player.command();
    ASSERT_EQ(cmd.kind(), KICK);
    EXPECT_NEAR(cmd.mCommandType.mdAngle, angle * 180.0 / kPi, toleranceDeg);
    EXPECT_FLOAT_EQ(cmd.mCommandType.mStrength, static_cast<float>(strength));
}
