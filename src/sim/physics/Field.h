#pragma once
// The field's outline as one set of answers: what lies inside the walls
// (the playing area and the goal pockets, not behind a corner's block) and
// which goal a point lies in. The walls the engine meets, the put-back of a
// robot, the referee's calls and the statistics all ask here.

#include "sim/physics/Bodies.h"
#include "sim/scenario/Scenario.h"

class b2Body;
class b2World;

class Field {
public:
    explicit Field(const FieldSpec& dimensions) : mSpec(dimensions) {}

    const FieldSpec& dimensions() const { return mSpec; }
    /// \brief Whether `p` lies inside the walls, or within `tolerance` (mm) beyond them.
    bool inside(posicaoXY p, double tolerance = 0.0) const;
    /// \brief Which goal `p` lies in: inside the walls and behind a goal line.
    GoalFor goalAt(posicaoXY p) const;
    /// \brief Whether every corner of a square of side `size` at `centre`, facing
    /// `heading`, lies inside the walls or within `tolerance` beyond them.
    bool holdsSquare(posicaoXY centre, double heading, double size, double tolerance) const;
    /// \brief Adds the walls to `world` as one static body.
    b2Body* build(b2World& world) const;

private:
    FieldSpec mSpec;
};
