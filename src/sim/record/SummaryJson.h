#pragma once
// The machine-readable rendering of the match summary (summary.json): who
// played, the score and the goals (own goals named), each team's figures of play and each robot's counters.

#include <string>

#include <nlohmann/json_fwd.hpp>

#include "sim/match/MatchSummary.h"

/// \brief The summary as a JSON document.
nlohmann::ordered_json summaryJson(const MatchSummary& summary);

/// \brief The summary on one line, marked "type":"summary", for the end of a record.
std::string summaryLine(const MatchSummary& summary);

/// \brief Writes the summary to `fileName` whole or not at all (written beside it, then
/// renamed); false with `error` set on failure.
bool writeSummaryJson(const MatchSummary& summary, const std::string& fileName, std::string& error);
