#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>

#include "PlayerProbe.h"
#include "behaviour/BasicPlayer.h"

namespace {

enum Law { kOriginal, kGoTo, kOriginalKeeper, kGoToKeeper };

double deg(double d)
{
    return degToRad(d);
}
double above(double x)
{
    return std::nextafter(x, std::numeric_limits<double>::infinity());
}
double below(double x)
{
    return std::nextafter(x, -std::numeric_limits<double>::infinity());
}

struct SteerCase {
    const char* name;
    const BuildConstants* build;
    Law law;
    double distance;
    double bearing;
    double left;
    double right;
};

void PrintTo(const SteerCase& c, std::ostream* os)
{
    *os << c.name;
}


class SteeringTest : public ::testing::TestWithParam<SteerCase> {};

TEST_P(SteeringTest, ChoosesTheBandsCommand)
{
    const SteerCase& c = GetParam();
    BasicPlayer player(TEAM_YELLOW, *c.build);
    const vector_t target{c.distance, c.bearing};
    switch (c.law) {
    case kOriginal:
        player.pv_go_to_original(target);
        break;
    case kGoTo:
        player.pv_go_to(target);
        break;
    case kOriginalKeeper:
        player.pv_go_to_original_goleiro(target);
        break;
    case kGoToKeeper:
        player.pv_go_to_goleiro(target);
        break;
    }
    expectWheels(player, c.left, c.right);
}

const BuildConstants* const M = &kMainBuild;
const BuildConstants* const B = &kVariantB;
const BuildConstants* const C = &kVariantC;

// Requested wheel pairs of the primitives the laws end in.
#define TURN_RIGHT 110, -110
#define TURN_LEFT -110, 110
#define PIVOT_RIGHT 50, 0
#define PIVOT_LEFT 0, 50
#define CURVE_RIGHT2_FWD 90, 33
#define CURVE_LEFT2_FWD 33, 90
#define CURVE_RIGHT2_BACK -33, -90
#define CURVE_LEFT2_BACK -60, -33
#define CURVE_RIGHT 133, 33
#define CURVE_LEFT 33, 133
#define STOP 0, 0

INSTANTIATE_TEST_SUITE_P(
    Original, SteeringTest,
    ::testing::Values(
        SteerCase{"behindRightTurnsOnSpot", M, kOriginal, 5, deg(100), TURN_RIGHT},
        SteerCase{"behindRightPivotsInB", B, kOriginal, 500, deg(100), PIVOT_RIGHT},
        SteerCase{"justPastHalfPiTurns", M, kOriginal, 200, above(kPi / 2), TURN_RIGHT},
        SteerCase{"justPastMinusHalfPiTurnsLeft", M, kOriginal, 200, below(-kPi / 2), TURN_LEFT},
        SteerCase{"pivotLeftInB", B, kOriginal, 200, below(-kPi / 2), PIVOT_LEFT},
        SteerCase{"halfPiIsStillAhead", M, kOriginal, 200, kPi / 2, CURVE_RIGHT2_FWD},
        SteerCase{"farOnLimitStraight", M, kOriginal, 200, deg(45), 133, 133},
        SteerCase{"farPastLimitCurves", M, kOriginal, 200, above(deg(45)), CURVE_RIGHT2_FWD},
        SteerCase{"farPastNegLimitCurves", M, kOriginal, 200, below(-deg(45)), CURVE_LEFT2_FWD},
        SteerCase{"at120IsMidBand", M, kOriginal, 120, deg(40), CURVE_RIGHT2_FWD},
        SteerCase{"above120IsFarBand", M, kOriginal, above(120), deg(40), 133, 133},
        SteerCase{"midOnLimitStraight", M, kOriginal, 100, deg(35), 90, 90},
        SteerCase{"midPastNegLimit", M, kOriginal, 100, below(-deg(35)), CURVE_LEFT2_FWD},
        SteerCase{"at70IsNearBand", M, kOriginal, 70, deg(40), 90, 90},
        SteerCase{"nearPastLimit", M, kOriginal, 70, above(deg(55)), 30, 0},
        SteerCase{"nearPastNegLimit", M, kOriginal, 50, below(-deg(55)), 0, 30},
        SteerCase{"nearPast55WithinCsLimit", C, kOriginal, 50, deg(58), 90, 90},
        SteerCase{"nearPastCsLimit", C, kOriginal, 50, above(deg(60)), 40, 0},
        SteerCase{"nearPastCsNegLimit", C, kOriginal, 50, below(-deg(60)), 0, 40},
        SteerCase{"at25Stops", M, kOriginal, 25, 0, STOP},
        SteerCase{"justAbove25Moves", M, kOriginal, above(25), 0, 90, 90},
        SteerCase{"bearingWrappedFromAbove", M, kOriginal, 200, deg(100 + 360), TURN_RIGHT},
        SteerCase{"bearingWrappedFromBelow", M, kOriginal, 200, deg(-350), 133, 133}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    GoTo, SteeringTest,
    ::testing::Values(
        // At exactly pi/3 and 2pi/3 the target is not "beside": no hand-over.
        SteerCase{"thirdPiNotHandedOver", M, kGoTo, 50, kPi / 3, -30, 0},
        SteerCase{"justPastThirdPiHandedOver", M, kGoTo, 50, above(kPi / 3), 30, 0},
        SteerCase{"handedOverUsesCsLimit", C, kGoTo, 50, deg(61), 40, 0},
        SteerCase{"halfPiHandedOver", M, kGoTo, 50, kPi / 2, 30, 0},
        SteerCase{"justBelowTwoThirdsPiHandedOver", M, kGoTo, 50, below(2 * kPi / 3), TURN_RIGHT},
        SteerCase{"twoThirdsPiReverses", M, kGoTo, 50, 2 * kPi / 3, -30, 0},
        SteerCase{"minusTwoThirdsPiReverses", M, kGoTo, 50, -2 * kPi / 3, 0, -30},
        SteerCase{"minusHalfPiHandedOverPivotsB", B, kGoTo, 200, below(-kPi / 2), PIVOT_LEFT},
        SteerCase{"behindReversesStraight", M, kGoTo, 200, deg(170), -133, -133},
        SteerCase{"farAheadStraight", M, kGoTo, 200, 0, 133, 133},
        SteerCase{"farPastLimit", M, kGoTo, 200, above(deg(45)), CURVE_RIGHT2_FWD},
        SteerCase{"midOnLimitStraight", M, kGoTo, 100, deg(45), 90, 90},
        SteerCase{"midPastLimit", M, kGoTo, 100, above(deg(45)), CURVE_RIGHT2_FWD},
        SteerCase{"midBehindCurvesBack", M, kGoTo, 100, deg(-130), CURVE_RIGHT2_BACK},
        SteerCase{"midBehindOtherSide", M, kGoTo, 100, deg(130), CURVE_LEFT2_BACK},
        SteerCase{"midBehindStraightBack", M, kGoTo, 100, deg(180), -90, -90},
        SteerCase{"nearOnLimitStraight", M, kGoTo, 70, deg(55), 90, 90},
        SteerCase{"nearPastNegLimit", M, kGoTo, 50, deg(-56), 0, -30},
        SteerCase{"nearPastNegLimitC", C, kGoTo, 50, deg(-56), 0, -40},
        SteerCase{"nearBehindRight", M, kGoTo, 50, deg(-124), 0, -30},
        SteerCase{"nearBehindRightC", C, kGoTo, 50, deg(-124), 0, -40},
        SteerCase{"nearBehindStraight", C, kGoTo, 50, deg(175), -90, -90},
        SteerCase{"at25Stops", M, kGoTo, 25, 0, STOP},
        SteerCase{"justAbove25Moves", M, kGoTo, 25.0001, 0, 90, 90}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Keeper, SteeringTest,
    ::testing::Values(
        SteerCase{"originalBehindTurns", M, kOriginalKeeper, 100, above(kPi / 2), TURN_RIGHT},
        SteerCase{"originalBehindPivotsB", B, kOriginalKeeper, 100, below(-kPi / 2), PIVOT_LEFT},
        SteerCase{"originalFarStraight93", M, kOriginalKeeper, 200, deg(45), 93, 93},
        SteerCase{"originalFarCurveRight", M, kOriginalKeeper, 200, above(deg(45)), CURVE_RIGHT},
        SteerCase{"originalMidCurveLeft", M, kOriginalKeeper, 150, below(-deg(45)), CURVE_LEFT},
        SteerCase{"originalAt150Straight90", M, kOriginalKeeper, 150, 0, 90, 90},
        SteerCase{"originalNearOnLimit", C, kOriginalKeeper, 50, deg(60), 90, 90},
        SteerCase{"originalNearPastLimit", M, kOriginalKeeper, 50, above(deg(60)), 90, 0},
        SteerCase{"originalNearPastNegLimit", M, kOriginalKeeper, 11, below(-deg(60)), 0, 90},
        SteerCase{"originalAt10Stops", M, kOriginalKeeper, 10, 0, STOP},
        SteerCase{"besideHandedOver", M, kGoToKeeper, 40, deg(70), 90, 0},
        SteerCase{"nearStraightWhateverBearing", M, kGoToKeeper, 40, deg(30), 90, 90},
        SteerCase{"nearBehindStraightBack", M, kGoToKeeper, 40, deg(170), -90, -90},
        SteerCase{"at35Stops", M, kGoToKeeper, 35, 0, STOP},
        SteerCase{"at50IsNearBand", M, kGoToKeeper, 50, deg(50), 90, 90},
        SteerCase{"farForward93", M, kGoToKeeper, 200, 0, 93, 93},
        SteerCase{"farReverse173", M, kGoToKeeper, 200, deg(180), -173, -173},
        SteerCase{"at150Forward90", M, kGoToKeeper, 150, 0, 90, 90},
        SteerCase{"farPastLimit", M, kGoToKeeper, 200, above(deg(45)), CURVE_RIGHT2_FWD},
        SteerCase{"midBehindCurvesBack", M, kGoToKeeper, 100, deg(-130), CURVE_RIGHT2_BACK},
        SteerCase{"twoThirdsPiNotHandedOver", M, kGoToKeeper, 100, 2 * kPi / 3, CURVE_LEFT2_BACK}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Steering, UnusableTargetStopsEveryLaw)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const vector_t v : {vector_t{200, nan}, vector_t{inf, 0.1}, vector_t{nan, nan}, vector_t{200, -inf}}) {
        BasicPlayer player(TEAM_YELLOW);
        player.pv_go_to(v);
        expectWheels(player, 0, 0);
        player.pv_go_straight(90);
        player.pv_go_to_original(v);
        expectWheels(player, 0, 0);
        player.pv_go_straight(90);
        player.pv_go_to_goleiro(v);
        expectWheels(player, 0, 0);
        player.pv_go_straight(90);
        player.pv_go_to_original_goleiro(v);
        expectWheels(player, 0, 0);
    }
}

TEST(Steering, HugeBearingIsReducedNotLoopedOn)
{
    BasicPlayer player(TEAM_YELLOW);
    player.pv_go_to(vector_t{200, 1e300});
    EXPECT_EQ(player.command().kind(), WHEEL_VELOCITY);
    player.pv_go_to_original(vector_t{200, -1e18});
    EXPECT_EQ(player.command().kind(), WHEEL_VELOCITY);
}

}  // namespace
