// How the live HTTP side of simserver bears its viewers: runs an agentless
// match served live, with a probe viewer that measures the step rate, plus
// any number of ordinary viewers and of viewers that never read, and prints
// the rate against the nominal one and what each viewer received.
//
//   live_viewers build/simserver --viewers 20 --stalled 1 --length 20

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "LiveProcess.h"
#include "SseStream.h"

namespace {

using Clock = std::chrono::steady_clock;
// The scenarios' protocol cycle, for the nominal real-time rate.
constexpr double kTimeStep = 0.066;
// Room beyond the match length for the start, the kick-off pause and the end.
constexpr double kSlackSeconds = 30.0;

// Only the step number, without parsing the whole line: the viewers must cost
// the shared processor little, or they measure themselves.
long stepOf(const std::string& line)
{
    static const std::string kStep = "{\"step\":";
    if (line.compare(0, kStep.size(), kStep) != 0) {
        return -1;
    }
    return std::strtol(line.c_str() + kStep.size(), nullptr, 10);
}

// What one viewer saw.
struct Seen {
    long firstStep = -1;
    long lastStep = -1;
    Clock::time_point firstAt;
    Clock::time_point lastAt;
    long received = 0;
    long skipped = 0;  // steps missing between two it received
    bool ended = false;
};

Seen watch(int port, std::chrono::milliseconds limit)
{
    Seen s;
    readEvents(
        port, limit,
        [&](const SseEvent& e) {
            if (e.type == "end") {
                s.ended = true;
                return false;
            }
            const long step = stepOf(e.data);
            if (step < 0) {
                return true;
            }
            if (s.firstStep < 0) {
                s.firstStep = step;
                s.firstAt = e.at;
            } else if (step > s.lastStep + 1) {
                s.skipped += step - s.lastStep - 1;
            }
            s.lastStep = step;
            s.lastAt = e.at;
            ++s.received;
            return true;
        },
        false);
    return s;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Step rate of a live simserver match under many viewers"};
    std::string simserver;
    int viewers = 20;
    int stalled = 0;
    double length = 20.0;
    bool fast = false;
    bool fiveASide = false;
    app.add_option("simserver", simserver, "the simserver program")->required()->check(CLI::ExistingFile);
    app.add_option("--viewers", viewers, "ordinary viewers beside the probe")->check(CLI::Range(0, 200));
    app.add_option("--stalled", stalled, "viewers that never read")->check(CLI::Range(0, 200));
    app.add_option("--length", length, "play time, seconds")->check(CLI::Range(1.0, 3600.0));
    app.add_flag("--fast", fast, "lock-step mode (no agents: as fast as the server goes)");
    app.add_flag("--5v5", fiveASide, "five a side (longer lines)");
    CLI11_PARSE(app, argc, argv);
    std::signal(SIGPIPE, SIG_IGN);

    std::vector<std::string> args = {"--wait", "0", "--quiet", "--length", std::to_string(length)};
    if (fast) {
        args.push_back("--fast");
    }
    if (fiveASide) {
        args.push_back("--5v5");
    }
    LiveProcess server;
    std::string error;
    if (!server.start(simserver, args, error)) {
        std::fprintf(stderr, "live_viewers: %s\n", error.c_str());
        return 1;
    }
    const auto limit = std::chrono::milliseconds(static_cast<long>((length + kSlackSeconds) * 1000));
    std::vector<std::unique_ptr<StalledViewer>> stalls;
    for (int i = 0; i < stalled; ++i) {
        stalls.push_back(std::make_unique<StalledViewer>(server.httpPort()));
    }
    std::vector<Seen> seen(static_cast<std::size_t>(viewers) + 1);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&, i] { seen[i] = watch(server.httpPort(), limit); });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    const int status = server.wait(kSlackSeconds);
    const std::vector<std::string> record = splitLines(readWholeFile(server.recordFile()));
    long steps = 0;
    for (const std::string& line : record) {
        steps += stepOf(line) >= 0 ? 1 : 0;
    }

    const Seen& probe = seen.front();
    const double seconds = std::chrono::duration<double>(probe.lastAt - probe.firstAt).count();
    const double rate = seconds > 0 ? static_cast<double>(probe.lastStep - probe.firstStep) / seconds : 0.0;
    long fewest = steps;
    long skipped = 0;
    int ended = 0;
    for (const Seen& s : seen) {
        fewest = std::min(fewest, s.received);
        skipped += s.skipped;
        ended += s.ended ? 1 : 0;
    }
    std::printf("%s, %d viewers + probe, %d stalled: %.2f steps/s", fast ? "fast" : "real time", viewers, stalled,
                rate);
    if (!fast) {
        std::printf(" (nominal %.2f, %+.1f %%)", 1.0 / kTimeStep, 100.0 * (rate * kTimeStep - 1.0));
    }
    std::printf("; record %ld steps; fewest received by a viewer %ld, skipped in all %ld, ended %d of %zu; "
                "server exit %d\n",
                steps, fewest, skipped, ended, seen.size(), status);
    return status == 0 ? 0 : 1;
}
