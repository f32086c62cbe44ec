#include "HeadlessBrowser.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// Quiet, offline and reproducible: no first-run pages, no updates, no sync.
const char* const kHeadlessArgs[] = {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                     "--disable-background-networking", "--disable-component-update",
                                     "--disable-sync", "--disable-quic", "--hide-scrollbars",
                                     "--mute-audio"};

}  // namespace

std::string findChromium()
{
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        for (const char* name : {"chromium", "chromium-browser"}) {
            const std::string candidate = dir + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
    }
    return "";
}

int runHeadless(const std::string& chromium, const std::string& url, const std::string& extraArgs,
                const std::string& outFile, const std::string& workDir, int timeoutSeconds)
{
    std::vector<std::string> argv = {chromium};
    argv.insert(argv.end(), std::begin(kHeadlessArgs), std::end(kHeadlessArgs));
    argv.push_back("--user-data-dir=" + workDir + "/profile");
    std::istringstream extra(extraArgs);
    for (std::string a; extra >> a;) {
        argv.push_back(a);
    }
    argv.push_back(url);

    const pid_t pid = ::fork();
    if (pid == 0) {
        // Its own process group, so that a hung browser goes with all its helpers.
        ::setpgid(0, 0);
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open((workDir + "/chromium.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> args;
        for (std::string& a : argv) {
            args.push_back(a.data());
        }
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (pid < 0) {
        return -1;
    }
    ::setpgid(pid, pid);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (true) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            ::kill(-pid, SIGKILL);  // helpers left behind, if any
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
