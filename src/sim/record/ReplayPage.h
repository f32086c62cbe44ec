#pragma once
// The replay page: the viewer template (built into the program) with a
// record embedded in it, one self-contained HTML file that needs no network.

#include <cstddef>
#include <string>
#include <string_view>

/// \brief The viewer page as kept in the repository, with no record in it.
std::string_view replayTemplate();

/// \brief Whether `record` opens as a record does: with its header line, or a step.
bool looksLikeRecord(std::string_view record);

/// \brief How many lines of `record` are steps (the header line is not one).
long countRecordSteps(std::string_view record);

/// \brief `pageTemplate` with `record` embedded; false with `error` set when
/// the template has no place for it.
bool buildReplayPage(std::string_view pageTemplate, std::string_view record, std::string& page,
                     std::string& error);

/// \brief Longest record rendered: hours of five a side; the page holds it all in memory.
inline constexpr std::size_t kMaxRenderedRecordBytes = std::size_t{256} << 20;

/// \brief Reads `recordFile` (at most kMaxRenderedRecordBytes) and writes the page to
/// `htmlFile`; false with `error` set when either fails. `steps` receives the number of
/// steps embedded.
bool writeReplayPage(const std::string& recordFile, const std::string& htmlFile, long& steps,
                     std::string& error);
