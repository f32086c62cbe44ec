#pragma once
// Runs a program as a child process in a scratch working directory, with
// its standard output and error captured, for tests of whole programs.

#include <sys/types.h>

#include <string>
#include <vector>

/// \brief A temporary directory, removed with its files when destroyed.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return mPath; }
    /// \brief Writes `content` to the file `name` inside the directory.
    void write(const std::string& name, const std::string& content) const;
    /// \brief The content of the file `name`, empty if absent.
    std::string read(const std::string& name) const;

private:
    std::string mPath;
};

/// \brief How a child ended and what it wrote.
struct ProcessResult {
    /// \brief Exit status, or 128 + signal number when killed.
    int status = -1;
    bool timedOut = false;
    std::string out;
    std::string err;
};

/// \brief A child process; killed on destruction if still running.
class ChildProcess {
public:
    /// \brief Starts `program` with `args` in `dir`; output lands in files of `dir`.
    ChildProcess(const std::string& program, const std::vector<std::string>& args, const ScratchDir& dir);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    /// \brief Waits up to `seconds`, then kills; returns status and output.
    ProcessResult wait(double seconds);
    /// \brief The child's process id.
    pid_t pid() const { return mPid; }
    /// \brief Whether the child has not ended yet.
    bool running();
    /// \brief The standard output written so far.
    std::string outputSoFar() const;
    /// \brief The standard error written so far.
    std::string errorsSoFar() const;

private:
    const ScratchDir& mDir;
    pid_t mPid = -1;
    int mStatus = -1;
};

/// \brief Runs to completion (or `seconds`) and returns the result.
ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args, const ScratchDir& dir,
                         double seconds = 20.0);
