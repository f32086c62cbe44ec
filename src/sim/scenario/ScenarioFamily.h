#pragma once
// A field family: a scenario some of whose numbers are ranges LOW..HIGH and
// whose kick model may be a list, so that a verdict can be asked to hold over
// what is not known about a real field. Each match draws its values from its
// seed, one draw per key: both matches of a pair (same seed) play the same
// field, and adding a range to a family leaves the other keys' draws as they were.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/scenario/Scenario.h"

/// \brief A numeric key that varies from match to match, both ends included.
struct NumberRange {
    std::string key;
    double low = 0.0;
    double high = 0.0;
};

/// \brief A scenario with its ranges; a fixed scenario has none.
struct ScenarioFamily {
    /// \brief Every fixed value; each ranged key holds its low end.
    Scenario base;
    /// \brief Ordered by key.
    std::vector<NumberRange> ranges;
    /// \brief The kick models a match draws from; empty when the file names one (or none).
    std::vector<KickModel> kickModels;

    /// \brief Whether anything is drawn.
    bool varies() const { return !ranges.empty() || kickModels.size() > 1; }
};

/// \brief Most keys of one family that may be ranges: every corner of the
/// ranges is checked against the engine's limits, 2^n of them.
inline constexpr std::size_t kMaxRangedKeys = 12;

/// \brief The key of the kick model, and its two words.
inline constexpr const char* kKickModelKey = "KICK_MODEL";

/// \brief "aimed" or "mouth".
const char* kickModelName(KickModel model);

/// \brief The model named `word`; false for any other word.
bool parseKickModel(const std::string& word, KickModel& out);

/// \brief Where each plain numeric key of a scenario file lives in `s`.
std::map<std::string, double*> numberFields(Scenario& s);

/// \brief The match of `family` with `seed`: each range drawn uniformly (to six
/// significant digits, inside its ends), the kick model drawn from its list, the
/// draws listed in `drawn`, and the camera's seed set to `seed`. A fixed family
/// gives its base unchanged but for the seed.
Scenario drawScenario(const ScenarioFamily& family, std::uint64_t seed);

/// \brief Checks every corner of the family's ranges (each ranged key at either
/// end, with each kick model listed) as a scenario of its own, so that no draw
/// can break the engine's limits.
/// \throws ScenarioError naming the ranged keys of the corner that fails.
void validateFamily(const ScenarioFamily& family);
