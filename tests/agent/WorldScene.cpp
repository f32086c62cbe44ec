#include "WorldScene.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSmallAreaX = 0.8473;
constexpr double kGoalAreaX = 0.743;

struct Landmark {
    const char* id;
    FieldPoint at;
};

std::vector<Landmark> landmarks()
{
    const double l = WorldScene::kLength / 2;
    const double w = WorldScene::kWidth / 2;
    const double d = WorldScene::kCornerToPost;
    return {
        {"top_left_corner", {-l, -w}},
        {"bottom_left_corner", {-l, w}},
        {"top_right_corner", {l, -w}},
        {"bottom_right_corner", {l, w}},
        // The left-hand posts are named crosswise to their corners.
        {"top_left_pole", {-l, w - d}},
        {"bottom_left_pole", {-l, -w + d}},
        {"top_right_pole", {l, -w + d}},
        {"bottom_right_pole", {l, w - d}},
        {"top_left_goal", {-kGoalAreaX * l, -0.19 * w}},
        {"bottom_left_goal", {-kGoalAreaX * l, 0.81 * w}},
        {"top_right_goal", {kGoalAreaX * l, -0.19 * w}},
        {"bottom_right_goal", {kGoalAreaX * l, 0.81 * w}},
        {"top_left_small_area", {-kSmallAreaX * l, w - d}},
        {"bottom_left_small_area", {-kSmallAreaX * l, -w + d}},
        {"top_right_small_area", {kSmallAreaX * l, -w + d}},
        {"bottom_right_small_area", {kSmallAreaX * l, w - d}},
        {"top_center", {0.0, -w}},
        {"middle_center", {0.0, 0.0}},
        {"bottom_center", {0.0, w}},
    };
}

struct Observation {
    double dist;
    double angleDeg;
};

Observation observe(const FieldPoint& from, double heading, const FieldPoint& target)
{
    const double dx = target.x - from.x;
    const double dy = target.y - from.y;
    // Field bearing theta points along (sin theta, -cos theta).
    double relative = std::atan2(dx, -dy) - heading;
    relative = std::atan2(std::sin(relative), std::cos(relative));
    return {std::hypot(dx, dy), relative * 180.0 / kPi};
}

void robotElement(std::ostringstream& out, const char* element, int id, const char* nick, const Observation& o)
{
    out << '<' << element << "><id>" << id << "</id><nickname>" << nick << "</nickname><status>found</status><dist>"
        << std::lround(o.dist) << "</dist><angle>" << std::lround(o.angleDeg) << "</angle><orientation>90</orientation></"
        << element << '>';
}

}  // namespace

std::string WorldScene::text(const std::string& nickname) const
{
    std::ostringstream out;
    out << "<worldData><time>" << time << "</time><agent_id>1</agent_id><status>"
        << (robotFound ? "found" : "lost") << "</status><max_agent>10</max_agent><playMode>" << playMode
        << "</playMode><nickname>" << nickname << "</nickname>";
    if (robotFound) {
        const Observation b = observe(robot, heading, ball);
        out << "<ball><dist>" << std::lround(b.dist) << "</dist><angle>" << b.angleDeg << "</angle></ball>";
        robotElement(out, "teamMate", 2, "A2", observe(robot, heading, teammate));
        robotElement(out, "opponent", 7, "B7", observe(robot, heading, opponent));
        for (const Landmark& f : landmarks()) {
            if (std::find(missingFlags.begin(), missingFlags.end(), f.id) != missingFlags.end()) {
                continue;
            }
            const Observation o = observe(robot, heading, f.at);
            out << "<flag><id>" << f.id << "</id><dist>" << o.dist << "</dist><angle>" << o.angleDeg << "</angle></flag>";
        }
    }
    out << "<score><yellow>0</yellow><blue>0</blue></score></worldData>";
    return out.str();
}
