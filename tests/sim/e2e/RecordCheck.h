#pragma once
// Reads a match record back and judges its physics the way a viewer would:
// bodies that sink into one another, a ball that goes through a robot, a
// ball left lying in a goal or lying still longer than the referee allows.

#include <string>

#include "sim/scenario/Scenario.h"

/// \brief What a record shows.
struct RecordFindings {
    long playSteps = 0;
    /// \brief Deepest that two robots pressed into each other (mm).
    double deepestRobotPress = 0.0;
    /// \brief Deepest the ball sank into a robot (mm).
    double deepestBallPress = 0.0;
    /// \brief Steps in which the ball's centre went through a robot's outline.
    long ballThroughRobot = 0;
    /// \brief Play steps in a row, at most, with the ball's centre in a goal pocket.
    long ballInPocketSteps = 0;
    /// \brief Longest stretch of play (s) in which the ball stayed within the stall distance.
    double longestStill = 0.0;
};

/// \brief Judges the record in `recordFile` made with `scenario`'s bodies and rules.
/// \throws std::runtime_error when the file cannot be read or holds no record.
RecordFindings checkRecord(const std::string& recordFile, const Scenario& scenario);
