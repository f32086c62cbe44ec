#pragma once
// The replay file: a header line with the field geometry, the robots'
// names, the camera seed and each team's program, then one JSON object per
// step with the clock, the mode, the score, the ball and every robot's pose
// and last command, plus the kicks (with the angle asked and the bearing the
// ball left on), a kicker the ball still passes through, the goal, a free ball with its cause and
// the robots put back inside the walls in that step; a closing line
// carries the match's summary. Positions are in the physical frame (mm),
// headings are field bearings in degrees.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "sim/physics/Bodies.h"
#include "sim/match/Referee.h"
#include "sim/scenario/Scenario.h"

/// \brief Writes the replay; with neither a file nor a line sink it ignores every call.
class Recorder {
public:
    Recorder() = default;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    ~Recorder();

    /// \brief Creates (truncates) `fileName`; false with `error` set on failure.
    bool open(const std::string& fileName, std::string& error);
    bool isOpen() const { return mFile != nullptr; }
    /// \brief Also hands every line (header first, newline included) to `sink`, file or not.
    void setLineSink(std::function<void(const std::string&)> sink) { mSink = std::move(sink); }
    /// \brief The programs the header names for each team.
    void setPrograms(const std::string& yellow, const std::string& blue)
    {
        mYellowProgram = yellow;
        mBlueProgram = blue;
    }
    /// \brief Appends the line of one step (after the header line, on the first call).
    void record(const Scenario& scenario, const Referee& referee, const std::vector<RobotBody>& robots,
                const std::vector<char>& seen, const BallBody& ball, const StepEvents& events);
    /// \brief Appends the closing line: `summary`, one JSON object whose "type" is "summary"
    /// (only after a header, so never alone in a file).
    void writeSummary(const std::string& summary);
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
    std::function<void(const std::string&)> mSink;
    std::string mYellowProgram;
    std::string mBlueProgram;
};
