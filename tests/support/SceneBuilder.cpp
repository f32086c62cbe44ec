#include "support/SceneBuilder.h"

#include <cmath>
#include <iomanip>
#include <sstream>

namespace {

constexpr double kSmallAreaLine = 0.8473;
constexpr double kGoalAreaLine = 0.743;
constexpr double kGoalAreaTopY = 0.19;
constexpr double kGoalAreaBottomY = 0.81;

double bearingOf(double dx, double dy)
{
    return std::atan2(dx, -dy);
}

double wrapDegrees(double degrees)
{
    while (degrees > 180) {
        degrees -= 360;
    }
    while (degrees < -180) {
        degrees += 360;
    }
    return degrees;
}

struct Observation {
    double distance;
    double angleDeg;
};

Observation observe(const posicaoXY& me, double physicalHeading, const posicaoXY& target)
{
    const double dx = target.x - me.x;
    const double dy = target.y - me.y;
    const double distance = std::sqrt(dx * dx + dy * dy);
    const double bearing = distance > 0 ? bearingOf(dx, dy) : physicalHeading;
    return Observation{distance, wrapDegrees(radToDeg(bearing - physicalHeading))};
}

}  // namespace

const std::vector<std::string>& sceneFlagIds()
{
    static const std::vector<std::string> ids = {
        "top_left_pole",       "bottom_left_pole",       "top_right_pole",       "bottom_right_pole",
        "top_left_corner",     "bottom_left_corner",     "top_right_corner",     "bottom_right_corner",
        "top_left_goal",       "bottom_left_goal",       "top_right_goal",       "bottom_right_goal",
        "top_left_small_area", "bottom_left_small_area", "top_right_small_area", "bottom_right_small_area",
        "top_center",          "middle_center",          "bottom_center",
    };
    return ids;
}

posicaoXY scenePhysicalFlag(const std::string& id, double length, double width, double postToCorner)
{
    const double x = length / 2;
    const double y = width / 2;
    const double d = postToCorner;
    if (id == "top_left_corner") return {-x, -y};
    if (id == "bottom_left_corner") return {-x, y};
    if (id == "top_right_corner") return {x, -y};
    if (id == "bottom_right_corner") return {x, y};
    // Each post stands D from the corner of its own name.
    if (id == "top_left_pole") return {-x, -y + d};
    if (id == "bottom_left_pole") return {-x, y - d};
    if (id == "top_right_pole") return {x, -y + d};
    if (id == "bottom_right_pole") return {x, y - d};
    // The area flags where the yellow world model places them.
    if (id == "top_left_small_area") return {-kSmallAreaLine * x, y - d};
    if (id == "bottom_left_small_area") return {-kSmallAreaLine * x, -y + d};
    if (id == "top_right_small_area") return {kSmallAreaLine * x, -y + d};
    if (id == "bottom_right_small_area") return {kSmallAreaLine * x, y - d};
    if (id == "top_left_goal") return {-kGoalAreaLine * x, -kGoalAreaTopY * y};
    if (id == "bottom_left_goal") return {-kGoalAreaLine * x, kGoalAreaBottomY * y};
    if (id == "top_right_goal") return {kGoalAreaLine * x, -kGoalAreaTopY * y};
    if (id == "bottom_right_goal") return {kGoalAreaLine * x, kGoalAreaBottomY * y};
    if (id == "top_center") return {0, -y};
    if (id == "bottom_center") return {0, y};
    return {0, 0};
}

posicaoXY sceneToPhysical(const Scene& scene, posicaoXY p)
{
    return scene.team == TEAM_BLUE ? posicaoXY{-p.x, -p.y} : p;
}

namespace {

double physicalHeading(const Scene& scene, double heading)
{
    return scene.team == TEAM_BLUE ? heading + kPi : heading;
}

}  // namespace

vector_t sceneRelative(const Scene& scene, posicaoXY p)
{
    const Observation o =
        observe(sceneToPhysical(scene, scene.me), physicalHeading(scene, scene.heading), sceneToPhysical(scene, p));
    return vector_t{o.distance, degToRad(o.angleDeg)};
}

std::string buildWorldState(const Scene& scene)
{
    const posicaoXY me = sceneToPhysical(scene, scene.me);
    const double heading = physicalHeading(scene, scene.heading);

    std::ostringstream out;
    out << std::setprecision(10);
    out << "<worldData><time>" << scene.time << "</time><agent_id>" << scene.myId << "</agent_id>"
        << "<status>" << (scene.meFound ? "found" : "lost") << "</status><max_agent>10</max_agent>"
        << "<playMode>" << scene.playMode << "</playMode><nickname>" << scene.myNickname << "</nickname>";

    const Observation ball = observe(me, heading, sceneToPhysical(scene, scene.ball));
    out << "<ball><dist>" << std::lround(ball.distance) << "</dist><angle>" << ball.angleDeg << "</angle></ball>";

    for (const SceneRobot& robot : scene.others) {
        const Observation o = observe(me, heading, sceneToPhysical(scene, robot.position));
        double orientation = std::fmod(radToDeg(physicalHeading(scene, robot.heading)), 360.0);
        if (orientation < 0) {
            orientation += 360;
        }
        const char* tag = robot.teammate ? "teamMate" : "opponent";
        out << '<' << tag << "><id>" << robot.id << "</id><nickname>" << robot.nickname << "</nickname><status>"
            << (robot.found ? "found" : "lost") << "</status><dist>" << std::lround(o.distance) << "</dist><angle>"
            << std::lround(o.angleDeg) << "</angle><orientation>" << std::lround(orientation)
            << "</orientation></" << tag << '>';
    }

    for (const std::string& id : sceneFlagIds()) {
        bool missing = false;
        for (const std::string& gone : scene.missingFlags) {
            missing = missing || gone == id;
        }
        if (missing) {
            continue;
        }
        const posicaoXY flag = scenePhysicalFlag(id, scene.length, scene.width, scene.postToCorner);
        const Observation o = observe(me, heading, flag);
        out << "<flag><id>" << id << "</id><dist>" << o.distance << "</dist><angle>" << o.angleDeg
            << "</angle></flag>";
    }

    out << "<score><yellow>0</yellow><blue>0</blue></score>";
    if (scene.echo == Scene::Echo::kWheels) {
        out << "<wheel_velocity><right>" << scene.echoRight << "</right><left>" << scene.echoLeft
            << "</left></wheel_velocity>";
    } else if (scene.echo == Scene::Echo::kKick) {
        out << "<kick><angle>0</angle><force>50</force></kick>";
    }
    out << "</worldData>";
    return out.str();
}
