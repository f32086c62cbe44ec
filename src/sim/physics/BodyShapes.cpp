#include "sim/physics/BodyShapes.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

b2Vec2 point(double xMm, double yMm)
{
    return {toUnits(xMm), toUnits(yMm)};
}

// A mouth's walls must slant at least this much (radians), and leave this
// much of the robot behind the apex (mm).
constexpr double kMinWallAngle = 0.05;
constexpr double kMinBackDepth = 5.0;
// How far a robot's hull, the shape robots and walls meet, stands out of its
// square (mm): robots pressed together by their motors sink this far into
// each other's hulls before the solver holds them, and no further into the
// squares themselves.
constexpr double kHullMargin = 2.0;
// Share of the engine's largest move per sub-step a body may use.
constexpr double kEngineMoveMargin = 0.9;

bool overlap(const b2Shape& a, const b2Transform& ta, const b2Shape& b, const b2Transform& tb)
{
    return b2TestOverlap(&a, 0, &b, 0, ta, tb);
}

}  // namespace

bool mouthGeometry(const PhysicsSpec& p, MouthGeometry& out)
{
    const double half = p.robotSize / 2.0;
    // Each wall is the tangent from its prong's tip to the seated ball.
    const double tipX = half - p.mouthDepth;
    const double tipY = p.mouthHalfWidth;
    const double toTip = std::hypot(tipX, tipY);
    if (p.mouthHalfWidth <= 0.0 || toTip <= p.ballRadius) {
        return false;
    }
    const double angle = std::atan2(tipY, tipX) - std::asin(p.ballRadius / toTip);
    if (angle < kMinWallAngle || angle > kPi / 2.0 - kMinWallAngle) {
        return false;
    }
    out.wallAngle = angle;
    out.apexX = half - p.mouthHalfWidth / std::tan(angle);
    return out.apexX > -half + kMinBackDepth;
}

double kickOpening(const PhysicsSpec& p)
{
    MouthGeometry mouth;
    return mouthGeometry(p, mouth) ? mouth.wallAngle : 0.0;
}

double robotTopPointSpeed(const PhysicsSpec& p)
{
    const double wheel = p.wheelGain * std::max(0.0, p.maxLevel - p.deadBand);
    const double corner = p.robotSize / std::sqrt(2.0);
    // The wheels' speeds lie in a square; a point's speed is largest at one
    // of its corners: both forward, or one forward and one back.
    return std::max(wheel, 2.0 * wheel * corner / p.wheelBase);
}

double ballTopSpeed(const PhysicsSpec& p)
{
    const double e = p.ballRobotRestitution;
    return std::max(p.kickMaxSpeed, e * p.kickMaxSpeed + (1.0 + e) * robotTopPointSpeed(p));
}

double engineSpeedLimit(const PhysicsSpec& p)
{
    return kEngineMoveMargin * kMaxMoveMm * p.subSteps / p.timeStep;
}

RobotOutline robotOutline(const PhysicsSpec& p)
{
    MouthGeometry mouth;
    mouthGeometry(p, mouth);
    const double half = p.robotSize / 2.0;
    const double tip = p.mouthHalfWidth;
    RobotOutline o;
    const b2Vec2 left[5] = {point(-half, 0.0), point(-half, half), point(half, half), point(half, tip),
                            point(mouth.apexX, 0.0)};
    const b2Vec2 right[5] = {point(-half, 0.0), point(mouth.apexX, 0.0), point(half, -tip), point(half, -half),
                             point(-half, -half)};
    o.parts[0].Set(left, 5);
    o.parts[1].Set(right, 5);
    const b2Vec2 mouthFill[3] = {point(mouth.apexX, 0.0), point(half, -tip), point(half, tip)};
    o.mouth.Set(mouthFill, 3);
    o.hull.SetAsBox(toUnits(half + kHullMargin), toUnits(half + kHullMargin));
    return o;
}

b2CircleShape ballShape(const PhysicsSpec& p)
{
    b2CircleShape c;
    c.m_radius = toUnits(p.ballRadius);
    return c;
}

b2ChainShape fieldWalls(const FieldSpec& f)
{
    const double l = f.length / 2.0;
    const double w = f.width / 2.0;
    const double g = f.goalWidth / 2.0;
    const double d = l + f.goalDepth;
    // The engine's walls are one-sided, facing right of their direction: listed
    // counter-clockwise, then reversed, so that they face the inside.
    std::vector<b2Vec2> loop;
    // A corner is one point, or the two ends of its block's face, in the order
    // the walls reach them.
    const auto corner = [&](b2Vec2 first, b2Vec2 at, b2Vec2 second) {
        if (f.cornerBlock > 0.0) {
            loop.push_back(first);
            loop.push_back(second);
        } else {
            loop.push_back(at);
        }
    };
    const double c = f.cornerBlock;
    corner(point(-l, -w + c), point(-l, -w), point(-l + c, -w));
    corner(point(l - c, -w), point(l, -w), point(l, -w + c));
    loop.insert(loop.end(), {point(l, -g), point(d, -g), point(d, g), point(l, g)});  // +x goal pocket
    corner(point(l, w - c), point(l, w), point(l - c, w));
    corner(point(-l + c, w), point(-l, w), point(-l, w - c));
    loop.insert(loop.end(), {point(-l, g), point(-d, g), point(-d, -g), point(-l, -g)});  // -x goal pocket
    std::reverse(loop.begin(), loop.end());
    b2ChainShape chain;
    chain.CreateLoop(loop.data(), static_cast<int>(loop.size()));
    return chain;
}

b2Transform bodyTransform(posicaoXY pos, double heading)
{
    return b2Transform(point(pos.x, pos.y), b2Rot(static_cast<float>(engineAngle(heading))));
}

void checkBodiesApart(const Scenario& s)
{
    const RobotOutline outline = robotOutline(s.physics);
    const b2CircleShape ball = ballShape(s.physics);
    const b2ChainShape walls = fieldWalls(s.field);
    const b2Transform origin(b2Vec2(0, 0), b2Rot(0));
    const auto robotOverlaps = [&](const b2Transform& t, const b2Shape& other, const b2Transform& to) {
        for (const b2PolygonShape& part : outline.parts) {
            if (overlap(part, t, other, to)) {
                return true;
            }
        }
        return false;
    };
    const auto wallsOverlap = [&](const b2Shape& shape, const b2Transform& t) {
        for (int i = 0; i < walls.GetChildCount(); ++i) {
            b2EdgeShape edge;
            walls.GetChildEdge(&edge, i);
            if (overlap(edge, origin, shape, t)) {
                return true;
            }
        }
        return false;
    };
    std::vector<posicaoXY> ballSpots = freeBallSpots(s.rules);
    ballSpots.push_back({0.0, 0.0});
    for (std::size_t i = 0; i < s.robots.size(); ++i) {
        const RobotSpec& r = s.robots[i];
        const std::string name = "ROBOT_" + std::to_string(r.vtId);
        const b2Transform t = bodyTransform(r.kickoff, r.kickoffHeading);
        if (wallsOverlap(outline.hull, t)) {
            throw ScenarioError(name + ": kick-off place overlaps a wall");
        }
        for (const posicaoXY& spot : ballSpots) {
            if (robotOverlaps(t, ball, b2Transform(point(spot.x, spot.y), b2Rot(0)))) {
                throw ScenarioError(name + ": kick-off place overlaps the ball's place at (" +
                                    std::to_string(static_cast<int>(spot.x)) + ", " +
                                    std::to_string(static_cast<int>(spot.y)) + ")");
            }
        }
        for (std::size_t j = i + 1; j < s.robots.size(); ++j) {
            const RobotSpec& o = s.robots[j];
            const b2Transform to = bodyTransform(o.kickoff, o.kickoffHeading);
            if (overlap(outline.hull, t, outline.hull, to)) {
                throw ScenarioError(name + " and ROBOT_" + std::to_string(o.vtId) + " overlap at kick-off");
            }
        }
    }
    for (const posicaoXY& spot : ballSpots) {
        if (wallsOverlap(ball, b2Transform(point(spot.x, spot.y), b2Rot(0)))) {
            throw ScenarioError("a free-ball spot puts the ball into a wall");
        }
    }
}
