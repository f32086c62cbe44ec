#include "ProcessRunner.h"

#include <dirent.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

constexpr const char* kOutFile = ".stdout";
constexpr const char* kErrFile = ".stderr";
constexpr auto kPollPause = std::chrono::milliseconds(5);

int decodeStatus(int raw)
{
    if (WIFEXITED(raw)) {
        return WEXITSTATUS(raw);
    }
    return WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
}

}  // namespace

ScratchDir::ScratchDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base != nullptr ? base : "/tmp") + "/agent-test-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    mPath = templ;
}

ScratchDir::~ScratchDir()
{
    if (DIR* d = opendir(mPath.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") {
                unlink((mPath + "/" + name).c_str());
            }
        }
        closedir(d);
    }
    rmdir(mPath.c_str());
}

void ScratchDir::write(const std::string& name, const std::string& content) const
{
    std::ofstream out(mPath + "/" + name, std::ios::trunc);
    out << content;
}

std::string ScratchDir::read(const std::string& name) const
{
    std::ifstream in(mPath + "/" + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args, const ScratchDir& dir)
    : mDir(dir)
{
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);

    const std::string out = dir.path() + "/" + kOutFile;
    const std::string err = dir.path() + "/" + kErrFile;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int rc = posix_spawn(&mPid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        throw std::runtime_error("cannot start " + program);
    }
}

ChildProcess::~ChildProcess()
{
    if (running()) {
        kill(mPid, SIGKILL);
        waitpid(mPid, nullptr, 0);
    }
}

bool ChildProcess::running()
{
    if (mStatus != -1) {
        return false;
    }
    int raw = 0;
    const pid_t r = waitpid(mPid, &raw, WNOHANG);
    if (r == mPid) {
        mStatus = decodeStatus(raw);
        return false;
    }
    return r == 0;
}

ProcessResult ChildProcess::wait(double seconds)
{
    ProcessResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            kill(mPid, SIGKILL);
            int raw = 0;
            waitpid(mPid, &raw, 0);
            mStatus = decodeStatus(raw);
            break;
        }
        std::this_thread::sleep_for(kPollPause);
    }
    result.status = mStatus;
    result.out = mDir.read(kOutFile);
    result.err = mDir.read(kErrFile);
    return result;
}

std::string ChildProcess::outputSoFar() const
{
    return mDir.read(kOutFile);
}

std::string ChildProcess::errorsSoFar() const
{
    return mDir.read(kErrFile);
}

ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args, const ScratchDir& dir,
                         double seconds)
{
    ChildProcess child(program, args, dir);
    return child.wait(seconds);
}
