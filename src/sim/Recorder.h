#pragma once
// The replay file: a header line with the field geometry and the robots'
// names, then one JSON object per step with the clock, the mode, the score,
// the ball and every robot's pose and last command, plus the kicks and the
// goal of that step. Positions are in the physical frame (mm), headings are
// field bearings in degrees.

#include <cstdio>
#include <string>
#include <vector>

#include "sim/Physics.h"
#include "sim/Referee.h"
#include "sim/Scenario.h"

/// \brief Writes the replay; a closed recorder ignores every call.
class Recorder {
public:
    Recorder() = default;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    ~Recorder();

    /// \brief Creates (truncates) `fileName`; false with `error` set on failure.
    bool open(const std::string& fileName, std::string& error);
    bool isOpen() const { return mFile != nullptr; }
    /// \brief Appends the line of one step (after the header line, on the first call).
    void record(const Scenario& scenario, const Referee& referee, const std::vector<RobotBody>& robots,
                const std::vector<char>& seen, const BallBody& ball, const StepEvents& events);
    /// \brief Pushes buffered lines to the file.
    void flush();
    /// \brief Flushes and closes; false when a write had failed.
    bool close();

private:
    void writeHeader(const Scenario& scenario);
    void writeLine();

    std::FILE* mFile = nullptr;
    bool mHeaderWritten = false;
    std::string mLine;
    bool mFailed = false;
};
