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
};

Frame readFrame(const nlohmann::json& line)
{
    Frame f;
    const std::string mode = line.at("mode");
    f.playing = mode == "play on" || mode == "warn ending";
    f.ball = {line.at("ball").at("x"), line.at("ball").at("y")};
    for (const nlohmann::json& r : line.at("robots")) {
        f.robots.push_back({r.at("x"), r.at("y"), degToRad(r.at("heading").get<double>())});
    }
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

// Whether the ball's centre went through the robot's outline between two
// frames, judged in the robot's frame so that the robot's own motion counts.
bool centreCrossed(const RobotOutline& o, const Pose& before, const Pose& after, posicaoXY from, posicaoXY to)
{
    b2RayCastInput ray;
    ray.p1 = inRobotFrame(before, from);
    ray.p2 = inRobotFrame(after, to);
    ray.maxFraction = 1.0f;
    if (ray.p1 == ray.p2) {
        return false;
    }
    const b2Transform identity(b2Vec2(0.0f, 0.0f), b2Rot(0.0f));
    for (const b2PolygonShape& part : o.parts) {
        b2RayCastOutput out;
        if (part.RayCast(&out, ray, identity, 0)) {
            return true;
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
            for (const b2PolygonShape& part : outline.parts) {
                f.deepestBallPress = std::max(f.deepestBallPress, press(part, ti, ball, ballAt));
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
            if (havePrevious && previous.robots.size() == frame.robots.size() &&
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
