#pragma once
// Scenario files: a property file (KEY=value lines, '#' comments) read over
// the built-in 3 against 3 defaults, every key optional, and the checks that
// a scenario is one the engine can play.

#include <string>

#include "sim/scenario/Scenario.h"

/// \brief Reads a scenario file over the built-in defaults.
/// \throws ScenarioError naming the file and the offending key.
Scenario loadScenario(const std::string& fileName);

/// \brief Checks the ranges and the robots; throws ScenarioError.
void validateScenario(const Scenario& scenario);
