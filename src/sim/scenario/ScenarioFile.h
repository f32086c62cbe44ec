#pragma once
// Scenario files: a property file (KEY=value lines, '#' comments) read over
// the built-in 3 against 3 defaults, every key optional, and the checks that
// a scenario is one the engine can play. A numeric value may be a range
// LOW..HIGH and KICK_MODEL a comma-separated list: the file is then a field
// family, drawn per match (sim/scenario/ScenarioFamily.h).

#include <string>

#include "sim/scenario/Scenario.h"
#include "sim/scenario/ScenarioFamily.h"

/// \brief Reads a scenario file, ranges and all, over the built-in defaults, and
/// checks every extreme of its ranges.
/// \throws ScenarioError naming the file and the offending key.
ScenarioFamily loadScenarioFamily(const std::string& fileName);

/// \brief Reads a scenario file over the built-in defaults; a family is drawn with the file's SEED.
/// \throws ScenarioError naming the file and the offending key.
Scenario loadScenario(const std::string& fileName);

/// \brief Checks the ranges and the robots; throws ScenarioError.
void validateScenario(const Scenario& scenario);
