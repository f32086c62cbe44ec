#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <ostream>
#include <string>

#include "PlayerProbe.h"
#include "behaviour/BasicPlayer.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct PrimitiveCase {
    const char* name;
    const BuildConstants* build;
    std::function<void(BasicPlayer&)> call;
    double left;
    double right;
};

void PrintTo(const PrimitiveCase& c, std::ostream* os)
{
    *os << c.name;
}


class PrimitiveTest : public ::testing::TestWithParam<PrimitiveCase> {};

TEST_P(PrimitiveTest, RequestsItsWheelPair)
{
    const PrimitiveCase& c = GetParam();
    BasicPlayer player(TEAM_YELLOW, *c.build);
    c.call(player);
    expectWheels(player, c.left, c.right);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PrimitiveTest,
    ::testing::Values(
        PrimitiveCase{"stop", &kMainBuild, [](BasicPlayer& p) { p.pv_stop(); }, 0, 0},
        PrimitiveCase{"straight", &kMainBuild, [](BasicPlayer& p) { p.pv_go_straight(-60); }, -60, -60},
        PrimitiveCase{"quickLeft", &kMainBuild, [](BasicPlayer& p) { p.pv_quick_turn_left(); }, -133, 133},
        PrimitiveCase{"quickRight", &kMainBuild, [](BasicPlayer& p) { p.pv_quick_turn_right(); }, 133, -133},
        PrimitiveCase{"turnLeft", &kMainBuild, [](BasicPlayer& p) { p.pv_turn_left(); }, -110, 110},
        PrimitiveCase{"turnRight", &kMainBuild, [](BasicPlayer& p) { p.pv_turn_right(); }, 110, -110},
        PrimitiveCase{"turnLeftC", &kVariantC, [](BasicPlayer& p) { p.pv_turn_left(); }, -110, 110},
        PrimitiveCase{"turnLeftPivotB", &kVariantB, [](BasicPlayer& p) { p.pv_turn_left(); }, 0, 50},
        PrimitiveCase{"turnRightPivotB", &kVariantB, [](BasicPlayer& p) { p.pv_turn_right(); }, 50, 0},
        PrimitiveCase{"slowLeftB", &kVariantB, [](BasicPlayer& p) { p.pv_slow_turn_left(); }, -90, 90},
        PrimitiveCase{"slowRight", &kMainBuild, [](BasicPlayer& p) { p.pv_slow_turn_right(); }, 90, -90},
        PrimitiveCase{"curveLeft", &kMainBuild, [](BasicPlayer& p) { p.pv_curve_left(); }, 33, 133},
        PrimitiveCase{"curveRight", &kMainBuild, [](BasicPlayer& p) { p.pv_curve_right(); }, 133, 33},
        PrimitiveCase{"curveLeft2Forward", &kMainBuild, [](BasicPlayer& p) { p.pv_curve_left2(0); }, 33, 90},
        PrimitiveCase{"curveLeft2Back", &kMainBuild, [](BasicPlayer& p) { p.pv_curve_left2(1); }, -60, -33},
        PrimitiveCase{"curveLeft2AnyNonZeroIsBack", &kMainBuild, [](BasicPlayer& p) { p.pv_curve_left2(-7); },
                      -60, -33},
        PrimitiveCase{"curveRight2Forward", &kMainBuild, [](BasicPlayer& p) { p.pv_curve_right2(0); }, 90, 33},
        PrimitiveCase{"curveRight2Back", &kMainBuild, [](BasicPlayer& p) { p.pv_curve_right2(1); }, -33, -90},
        PrimitiveCase{"lastCallWins", &kMainBuild,
                      [](BasicPlayer& p) {
                          p.pv_kick(1.0, 0.5);
                          p.pv_curve_right();
                      },
                      133, 33}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SetVelocity, SendsQuantisedValuesLeftAndRightApart)
{
    BasicPlayer player(TEAM_BLUE);
    player.pv_set_velocity(200, -200);
    EXPECT_FLOAT_EQ(player.command().leftVelocity(), 130.434697458164f);
    EXPECT_FLOAT_EQ(player.command().rightVelocity(), -130.434697458164f);

    player.pv_set_velocity(-0.0, 0);
    EXPECT_EQ(player.command().leftVelocity(), 26.5f);
    EXPECT_EQ(player.command().rightVelocity(), 26.5f);

    player.pv_set_velocity(-1, 0);
    EXPECT_EQ(player.command().leftVelocity(), -26.5f);
    EXPECT_EQ(player.command().rightVelocity(), 26.5f);
}

TEST(SetVelocity, NonFiniteRequestBecomesStopOnBothWheels)
{
    for (const auto& [left, right] : {std::pair{kNaN, 90.0}, std::pair{90.0, kInf}, std::pair{-kInf, -kInf}}) {
        BasicPlayer player(TEAM_YELLOW);
        player.pv_set_velocity(left, right);
        expectWheels(player, 0, 0);
    }
}

TEST(Kick, UnsendableValuesBecomeStop)
{
    const double cases[][2] = {{kNaN, 1.0}, {0.3, kNaN}, {kInf, 1.0}, {0.3, -kInf}, {1e300, 1.0}, {0.3, 1e300}};
    for (const auto& c : cases) {
        BasicPlayer player(TEAM_YELLOW);
        player.pv_kick(c[0], c[1]);
        expectWheels(player, 0, 0);
    }
}

TEST(Flush, WithoutConnectionDoesNothing)
{
    BasicPlayer player(TEAM_YELLOW);
    player.pv_stop();
    player.pv_flush();
    expectWheels(player, 0, 0);
}

}  // namespace
