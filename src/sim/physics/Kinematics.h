#pragma once
// Angles, bearings and what the motors make of a command.

#include "sim/physics/Bodies.h"
#include "sim/scenario/Scenario.h"

/// \brief Wraps an angle into [-pi, pi].
double wrapAngle(double a);
/// \brief Unit vector of a field bearing.
posicaoXY bearingDirection(double bearing);
/// \brief Field bearing of the way from `from` to `to` (0 when they coincide).
double bearingTo(posicaoXY from, posicaoXY to);
/// \brief Ground speed (mm/s) of a wheel driven at `level`: zero within the dead band.
double wheelSpeed(double level, const PhysicsSpec& physics);
/// \brief `level` clamped to the motors' range (a non-finite level stops the wheel).
double clampLevel(double level, const PhysicsSpec& physics);
/// \brief Ground speeds (mm/s) the robot's command asks of its wheels now: its wheel
/// levels, the steering law towards a goto target, or stopped (kick, none).
void wheelTargets(const RobotBody& robot, const PhysicsSpec& physics, double& left, double& right);
