#include "sim/perception/Landmarks.h"

namespace {

// Where the goal-area and small-area lines stand, as fractions of the half
// length, and the goal-area flags' distances from the long axis, as fractions
// of the half width (top flags at y < 0). The agents' world model places
// these flags the same way.
constexpr double kGoalAreaX = 0.743;
constexpr double kGoalAreaTopY = 0.19;
constexpr double kGoalAreaBottomY = 0.81;
constexpr double kSmallAreaX = 1.0 - 0.1527;

}  // namespace

std::array<Landmark, kFlagCount> fieldLandmarks(const FieldSpec& field)
{
    const double hl = field.length / 2.0;
    const double hw = field.width / 2.0;
    const double d = field.poleOffset();
    const double gx = kGoalAreaX * hl;
    const double sx = kSmallAreaX * hl;
    return {{
        {"top_left_pole", {-hl, -hw + d}},
        {"bottom_left_pole", {-hl, hw - d}},
        {"top_right_pole", {hl, -hw + d}},
        {"bottom_right_pole", {hl, hw - d}},
        {"top_left_corner", {-hl, -hw}},
        {"bottom_left_corner", {-hl, hw}},
        {"top_right_corner", {hl, -hw}},
        {"bottom_right_corner", {hl, hw}},
        {"top_left_goal", {-gx, -kGoalAreaTopY * hw}},
        {"bottom_left_goal", {-gx, kGoalAreaBottomY * hw}},
        {"top_right_goal", {gx, -kGoalAreaTopY * hw}},
        {"bottom_right_goal", {gx, kGoalAreaBottomY * hw}},
        // The left small-area flags stand crosswise, as the agents' own flag table has them.
        {"top_left_small_area", {-sx, hw - d}},
        {"bottom_left_small_area", {-sx, -hw + d}},
        {"top_right_small_area", {sx, -hw + d}},
        {"bottom_right_small_area", {sx, hw - d}},
        {"top_center", {0.0, -hw}},
        {"middle_center", {0.0, 0.0}},
        {"bottom_center", {0.0, hw}},
    }};
}
