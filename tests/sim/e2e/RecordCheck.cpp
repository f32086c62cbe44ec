#include "e2e/RecordCheck.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/physics/BodyShapes.h"

namespace {

struct Pose {
    double x = 0.0;
    double y = 0.0;
    double heading = 0.0;  // field bearing, radians
};

struct Frame {
    bool playing = false;
    posicaoXY ball;
    std::vector<Pose> robots;
    std::vector<int> ids;
    /// The robot that kicked in the step and the kicker the ball still passes through, or 0.
    int kicker = 0;
    int passing = 0;
};

Frame readFrame(const nlohmann::json& line)
{
    Frame f;
    const std::string mode = line.at("mode");
    f.playing = mode == "play on" || mode == "warn ending";
    f.ball = {line.at("ball").at("x"), line.at("ball").at("y")};
    for (const nlohmann::json& r : line.at("robots")) {
        f.robots.push_back({r.at("x"), r.at("y"), degToRad(r.at("heading").get<double>())});
        f.ids.push_back(r.at("id").get<int>());
    }
    if (line.contains("kick")) {
        f.kicker = line.at("kick").at("id").get<int>();
    }
    f.passing = line.value("passing", 0);
    return f;
}

b2Transform transformOf(const Pose& p)
{
    return bodyTransform({p.x, p.y}, p.heading);
}

std::vector<const b2PolygonShape*> solidParts(const RobotOutline& o)
{
    return {&o.parts[0], &o.parts[1], &o.mouth};
}

double press(const b2PolygonShape& a, const b2Transform& ta, const b2Shape& b, const b2Transform& tb)
{
    b2Manifold m;
    if (b.GetType() == b2Shape::e_circle) {
        b2CollidePolygonAndCircle(&m, &a, ta, static_cast<const b2CircleShape*>(&b), tb);
    } else {
        b2CollidePolygons(&m, &a, ta, static_cast<const b2PolygonShape*>(&b), tb);
    }
    b2WorldManifold wm;
    wm.Initialize(&m, ta, a.m_radius, tb, b.m_radius);
    double deepest = 0.0;
    for (int i = 0; i < m.pointCount; ++i) {
        deepest = std::max(deepest, -toMm(wm.separations[i]));
    }
    return deepest;
}

// The ball's centre as the robot sees it: in the robot's own frame, mm.
b2Vec2 inRobotFrame(const Pose& robot, posicaoXY ball)
{
    return b2MulT(transformOf(robot), b2Vec2(toUnits(ball.x), toUnits(ball.y)));
}

// How far `p` lies inside the convex `part` (negative: outside), in mm.
double depthInside(const b2PolygonShape& part, b2Vec2 p)
{
    double depth = 1e9;
    for (int i = 0; i < part.m_count; ++i) {
        depth = std::min(depth, -toMm(b2Dot(part.m_normals[i], p - part.m_vertices[i])));
    }
    return depth;
}

// Whether the ball's centre went through the robot's outline between two
// frames, judged in the robot's frame so that the robot's own motion counts.
// Only the two ends of the ball's path are known: a ball that bounced off a
// prong's tip cuts the corner on the straight line between them by a few
// millimetres, so only a path deeper inside a part counts.
bool centreCrossed(const RobotOutline& o, const Pose& before, const Pose& after, posicaoXY from, posicaoXY to)
{
    constexpr double kThroughDepth = 8.0;
    const b2Vec2 p1 = inRobotFrame(before, from);
    const b2Vec2 p2 = inRobotFrame(after, to);
    const int samples = std::max(1, static_cast<int>(toMm((p2 - p1).Length())));
    for (int k = 0; k <= samples; ++k) {
        const float t = static_cast<float>(k) / static_cast<float>(samples);
        const b2Vec2 p = p1 + t * (p2 - p1);
        for (const b2PolygonShape& part : o.parts) {
            if (depthInside(part, p) > kThroughDepth) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

RecordFindings checkRecord(const std::string& recordFile, const Scenario& scenario)
{
    std::ifstream in(recordFile);
    if (!in) {
        throw std::runtime_error("cannot read " + recordFile);
    }
    const RobotOutline outline = robotOutline(scenario.physics);
    const b2CircleShape ball = ballShape(scenario.physics);
    const double halfLength = scenario.field.length / 2.0;
    const double halfGoal = scenario.field.goalWidth / 2.0;
    const double dt = scenario.physics.timeStep;

    RecordFindings f;
    Frame previous;
    bool havePrevious = false;
    long inPocket = 0;
    posicaoXY stillAt{0.0, 0.0};
    double stillFor = -1.0;
    for (std::string text; std::getline(in, text);) {
        const nlohmann::json line = nlohmann::json::parse(text, nullptr, false);
        if (!line.is_object() || !line.contains("step")) {
            continue;
        }
        const Frame frame = readFrame(line);
        if (!frame.playing) {
            havePrevious = false;
            inPocket = 0;
            stillFor = -1.0;
            continue;
        }
        ++f.playSteps;
        const b2Transform ballAt(b2Vec2(toUnits(frame.ball.x), toUnits(frame.ball.y)), b2Rot(0));
        for (std::size_t i = 0; i < frame.robots.size(); ++i) {
            const b2Transform ti = transformOf(frame.robots[i]);
            // A kicked ball passes its own kicker, and only that one robot.
            const int id = frame.ids[i];
            const bool passed = id == frame.kicker || id == frame.passing || (havePrevious && id == previous.passing);
            for (const b2PolygonShape& part : outline.parts) {
                if (!passed) {
                    f.deepestBallPress = std::max(f.deepestBallPress, press(part, ti, ball, ballAt));
                }
            }
            for (std::size_t j = i + 1; j < frame.robots.size(); ++j) {
                const b2Transform tj = transformOf(frame.robots[j]);
                for (const b2PolygonShape* a : solidParts(outline)) {
                    for (const b2PolygonShape* b : solidParts(outline)) {
                        f.deepestRobotPress = std::max(f.deepestRobotPress, press(*a, ti, *b, tj));
                    }
                }
            }
            // A kick-off or free-ball placement moves bodies without crossing the space between.
            if (!passed && havePrevious && previous.robots.size() == frame.robots.size() &&
                centreCrossed(outline, previous.robots[i], frame.robots[i], previous.ball, frame.ball)) {
                ++f.ballThroughRobot;
            }
        }
        const bool pocket = std::fabs(frame.ball.x) > halfLength && std::fabs(frame.ball.y) < halfGoal;
        inPocket = pocket ? inPocket + 1 : 0;
        f.ballInPocketSteps = std::max(f.ballInPocketSteps, inPocket);
        if (stillFor < 0.0 || std::hypot(frame.ball.x - stillAt.x, frame.ball.y - stillAt.y) >
                                  scenario.rules.stallDistance) {
            stillAt = frame.ball;
            stillFor = 0.0;
        } else {
            stillFor += dt;
            f.longestStill = std::max(f.longestStill, stillFor);
        }
        previous = frame;
        havePrevious = true;
    }
    if (f.playSteps == 0) {
        throw std::runtime_error(recordFile + " holds no step of play");
    }
    return f;
}
