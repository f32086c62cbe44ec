#include "LiveProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kAnnounceWait = std::chrono::seconds(10);
constexpr auto kPoll = std::chrono::milliseconds(10);

}  // namespace

std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

LiveProcess::~LiveProcess()
{
    if (mPid > 0) {
        ::kill(mPid, SIGKILL);
        ::waitpid(mPid, nullptr, 0);
    }
    if (!mDir.empty() && !mKeep) {
        std::error_code ignored;
        std::filesystem::remove_all(mDir, ignored);
    }
}

std::string LiveProcess::log() const
{
    return readWholeFile(mDir + "/server.log");
}

bool LiveProcess::start(const std::string& simserver, const std::vector<std::string>& args, std::string& error)
{
    std::string pattern = "/tmp/live_test_XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = "cannot make a temporary folder";
        return false;
    }
    mDir = pattern;
    std::vector<std::string> argv = {simserver, "--port", "0", "--http", "0", "--record", recordFile()};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string out = mDir + "/summary.txt";
    const std::string err = mDir + "/server.log";
    mPid = ::fork();
    if (mPid == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(o, 1);
        ::dup2(e, 2);
        std::vector<char*> cargs;
        for (std::string& a : argv) {
            cargs.push_back(a.data());
        }
        cargs.push_back(nullptr);
        ::execv(cargs[0], cargs.data());
        ::_exit(127);
    }
    static const std::regex announced("watch live at http://[^ ]*:([0-9]+)/");
    const auto deadline = Clock::now() + kAnnounceWait;
    while (Clock::now() < deadline) {
        std::smatch m;
        const std::string text = log();
        if (std::regex_search(text, m, announced)) {
            mHttpPort = std::stoi(m[1]);
            return true;
        }
        std::this_thread::sleep_for(kPoll);
    }
    error = "simserver did not announce its live address: " + log();
    return false;
}

int LiveProcess::wait(double seconds)
{
    if (mPid <= 0) {
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
        int status = 0;
        if (::waitpid(mPid, &status, WNOHANG) == mPid) {
            mPid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (Clock::now() > deadline) {
            ::kill(mPid, SIGKILL);
            ::waitpid(mPid, nullptr, 0);
            mPid = -1;
            return -1;
        }
        std::this_thread::sleep_for(kPoll);
    }
}
