#include "sim/physics/Field.h"

#include <box2d/box2d.h>

#include <cmath>

#include "sim/physics/BodyShapes.h"
#include "sim/physics/Kinematics.h"

bool Field::inside(posicaoXY p, double tolerance) const
{
    const FieldSpec& f = mSpec;
    const double l = f.length / 2.0 + tolerance;
    const double w = f.width / 2.0 + tolerance;
    const double g = f.goalWidth / 2.0 + tolerance;
    if (std::fabs(p.y) > w || std::fabs(p.x) > l + f.goalDepth) {
        return false;
    }
    if (std::fabs(p.x) > l) {
        return std::fabs(p.y) < g;
    }
    // Not behind a corner's block: its face is the line where the distances
    // to the two walls add up to the block's leg.
    const double toWalls = (f.length / 2.0 - std::fabs(p.x)) + (f.width / 2.0 - std::fabs(p.y));
    return f.cornerBlock <= 0.0 || toWalls >= f.cornerBlock - tolerance * std::sqrt(2.0);
}

GoalFor Field::goalAt(posicaoXY p) const
{
    if (std::fabs(p.x) <= mSpec.length / 2.0 || !inside(p)) {
        return GoalFor::None;
    }
    return p.x > 0.0 ? GoalFor::Yellow : GoalFor::Blue;  // yellow attacks +x
}

bool Field::holdsSquare(posicaoXY centre, double heading, double size, double tolerance) const
{
    const double half = size / 2.0;
    const posicaoXY f = bearingDirection(heading);
    const posicaoXY l = {-f.y, f.x};
    for (const double a : {-half, half}) {
        for (const double b : {-half, half}) {
            if (!inside({centre.x + a * f.x + b * l.x, centre.y + a * f.y + b * l.y}, tolerance)) {
                return false;
            }
        }
    }
    return true;
}

b2Body* Field::build(b2World& world) const
{
    b2BodyDef def;
    b2Body* walls = world.CreateBody(&def);
    const b2ChainShape chain = fieldWalls(mSpec);
    b2FixtureDef fixture;
    fixture.shape = &chain;
    fixture.userData.pointer = static_cast<std::uintptr_t>(EnginePart::Wall);
    fixture.filter.categoryBits = kWallCategory;
    fixture.filter.maskBits = 0xFFFF;
    walls->CreateFixture(&fixture);
    return walls;
}
