#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <iterator>
#include <ostream>
#include <string>

#include "behaviour/BasicPlayer.h"

namespace {

constexpr double kMin = 26.5;
constexpr double kMax = 130.434697458164;

struct SpeedCase {
    const char* name;
    double request;
    double expected;
};

void PrintTo(const SpeedCase& c, std::ostream* os)
{
    *os << c.name;
}


class DiscreteSpeedTest : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(DiscreteSpeedTest, RoundsToNearestLevel)
{
    const SpeedCase& c = GetParam();
    const double got = BasicPlayer::DiscreteSpeed(c.request);
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(std::signbit(got), std::signbit(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Levels, DiscreteSpeedTest,
    ::testing::Values(SpeedCase{"zero", 0.0, kMin}, SpeedCase{"negativeZeroIsPositive", -0.0, kMin},
                      SpeedCase{"smallNegative", -1.0, -kMin}, SpeedCase{"thirtyThree", 33, 32.596700064096},
                      SpeedCase{"ninety", 90, 88.5957620831557}, SpeedCase{"ninetyThree", 93, 88.5957620831557},
                      SpeedCase{"ninetyNegative", -90, -88.5957620831557},
                      // (26.5 + 27.1737515808352) / 2: exactly on the mean goes up.
                      SpeedCase{"onFirstMeanGoesUp", 26.8368757904176, 27.1737515808352},
                      SpeedCase{"belowFirstMean", 26.83, kMin}, SpeedCase{"aboveTop", 133, kMax},
                      SpeedCase{"farBelowBottom", -173, -kMax},
                      SpeedCase{"infinity", std::numeric_limits<double>::infinity(), kMax},
                      SpeedCase{"nan", std::numeric_limits<double>::quiet_NaN(), kMin}),
    [](const auto& info) { return std::string(info.param.name); });

constexpr double kLevels[] = {
    26.5,             27.1737515808352, 28.5403484073564, 29.7275199330026, 30.7692307705761,
    31.7095882013831, 32.596700064096,  33.4782031837145, 34.3986235285784, 35.3982300649523,
    36.5128708434437, 37.7743094122629, 39.2106917979926, 40.8468965062284, 42.7046260622756,
    44.8021925258123, 47.1540511569392, 49.7702727545439, 52.6563426815607, 55.8139514832993,
    59.2437997314376, 62.9518643779293, 66.9610752901167, 71.3310909346848, 76.19046462625,
    81.789744370694,  88.5957620831557, 97.4805989810481, 110.162066327862, 130.434697458164,
};

TEST(DiscreteSpeed, EachLevelStaysAndEachMeanGoesUp)
{
    for (std::size_t i = 0; i < std::size(kLevels); ++i) {
        EXPECT_EQ(BasicPlayer::DiscreteSpeed(kLevels[i]), kLevels[i]) << i;
        EXPECT_EQ(BasicPlayer::DiscreteSpeed(-kLevels[i]), -kLevels[i]) << i;
        if (i + 1 < std::size(kLevels)) {
            const double mean = (kLevels[i] + kLevels[i + 1]) / 2;
            EXPECT_EQ(BasicPlayer::DiscreteSpeed(mean), kLevels[i + 1]) << i;
            EXPECT_EQ(BasicPlayer::DiscreteSpeed(std::nextafter(mean, 0.0)), kLevels[i]) << i;
        }
    }
}

}  // namespace
