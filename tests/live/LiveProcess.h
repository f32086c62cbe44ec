#pragma once
// Runs simserver serving its match live (no agents: the robots stand where
// the kick-off puts them) for the live tests, and stops it when done.

#include <sys/types.h>

#include <string>
#include <vector>

/// \brief One simserver process with --http on a free port, in its own temporary folder.
class LiveProcess {
public:
    LiveProcess() = default;
    LiveProcess(const LiveProcess&) = delete;
    LiveProcess& operator=(const LiveProcess&) = delete;
    /// \brief Kills the server if it still runs; removes the folder unless `keep` was asked.
    ~LiveProcess();

    /// \brief Starts `simserver` with `args` after the live and record options; false with `error` set
    /// when it does not announce its live address in time.
    bool start(const std::string& simserver, const std::vector<std::string>& args, std::string& error);
    /// \brief The live HTTP port.
    int httpPort() const { return mHttpPort; }
    /// \brief The record the server writes.
    std::string recordFile() const { return mDir + "/record.jsonl"; }
    /// \brief Where the server's standard output (its summary) goes.
    std::string summaryFile() const { return mDir + "/summary.txt"; }
    /// \brief The server's standard error so far.
    std::string log() const;
    /// \brief The exit status, or -1 when it did not end within `seconds` (it is then killed).
    int wait(double seconds);
    /// \brief Keeps the folder for a look after a failure.
    void keep() { mKeep = true; }

private:
    pid_t mPid = -1;
    std::string mDir;
    int mHttpPort = -1;
    bool mKeep = false;
};

/// \brief The whole content of a file ("" when it cannot be read).
std::string readWholeFile(const std::string& path);

/// \brief The lines of `text`, without their newlines.
std::vector<std::string> splitLines(const std::string& text);
