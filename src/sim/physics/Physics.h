#pragma once
// Kept for code that still names it: the plain bodies and the motors' rules.
// New code includes sim/physics/Bodies.h (plain types) or World.h (the engine).

#include "sim/physics/Bodies.h"
#include "sim/physics/Kinematics.h"
