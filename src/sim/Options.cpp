#include "sim/Options.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool toDouble(const char* text, double& out)
{
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !std::isfinite(v)) {
        return false;
    }
    out = v;
    return true;
}

bool toLong(const char* text, long long lo, long long hi, long long& out)
{
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) {
        return false;
    }
    out = v;
    return true;
}

// "ID:START-END" in game seconds.
bool toBlackout(const char* text, Blackout& out)
{
    const char* colon = std::strchr(text, ':');
    const char* dash = colon ? std::strchr(colon + 1, '-') : nullptr;
    if (colon == nullptr || dash == nullptr) {
        return false;
    }
    long long id = 0;
    const std::string idText(text, colon);
    const std::string startText(colon + 1, dash);
    if (!toLong(idText.c_str(), 0, 1000000, id) || !toDouble(startText.c_str(), out.start) ||
        !toDouble(dash + 1, out.end) || out.start < 0 || out.end < out.start) {
        return false;
    }
    out.vtId = static_cast<int>(id);
    return true;
}

}  // namespace

void printHelp(std::ostream& out)
{
    out << "Usage: simserver [options]\n"
           "       simserver --render RECORD.jsonl [-o match.html]\n"
           "A simulated Soccer Server: speaks the agents' UDP protocol, simulates the field,\n"
           "the robots and the ball, and referees a match.\n"
           "\n"
           "Options:\n"
           "  --host ADDR          address to bind (default 127.0.0.1)\n"
           "  --port N             UDP port (default 20000; 0 = any free port)\n"
           "  --scenario FILE      scenario file (default: built-in 3 against 3)\n"
           "  --5v5                built-in 5 against 5 scenario (ignored with --scenario)\n"
           "  --length SECONDS     play time of the match (default: the scenario's, 60)\n"
           "  --fast               lock-step: step as soon as every robot answered, or after\n"
           "                       --step-timeout; game time runs ahead of the clock\n"
           "  --step-timeout MS    fast mode: longest wait for the answers (default 250)\n"
           "  --wait SECONDS       longest wait for every robot to connect before the\n"
           "                       kick-off (default 10; the match then starts anyway)\n"
           "  --seed N             camera seed (default: the scenario's SEED)\n"
           "  --noise-dist MM      camera distance noise, standard deviation\n"
           "  --noise-angle DEG    camera angle noise, standard deviation\n"
           "  --dropout P          chance per step that the camera misses a robot\n"
           "  --blackout ID:T1-T2  camera blackout of robot ID from T1 to T2 game seconds\n"
           "                       (repeatable)\n"
           "  --record FILE        write a replay: a header line (field, robot names), then\n"
           "                       one JSON object per step\n"
           "  --render FILE        write the replay page of record FILE and exit: one HTML\n"
           "                       file that plays the match in a web browser, offline\n"
           "  -o, --output FILE    where --render writes (default: FILE ending in .html)\n"
           "  --quiet              no progress lines\n"
           "  --list-robots        print 'vt_id team nickname x y heading' per robot and exit\n"
           "  --agent-configs DIR  write one agent working directory per robot into DIR\n"
           "                       (config.ini from --agent-template, velocidade.ini copied\n"
           "                       from --velocidade) and exit\n"
           "  --agent-template F   settings every generated config.ini starts from\n"
           "  --velocidade F       speed file copied next to each generated config.ini\n"
           "  --help               this text\n"
           "\n"
           "Progress: one line per game second on standard error. Summary: standard output.\n"
           "Exit status: 0 after the match, 1 for a bad command line or scenario, 2 when the\n"
           "socket or the record file cannot be opened (or, with --render, the record read or\n"
           "the page written), 128 + signal number when stopped by\n"
           "SIGINT or SIGTERM (the summary is printed and the record closed first).\n";
}

ParseOutcome parseOptions(int argc, const char* const* argv, SimOptions& o, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        const bool hasValue = i + 1 < argc;
        const char* value = hasValue ? argv[i + 1] : "";
        const auto needValue = [&]() {
            if (!hasValue) {
                error = opt + " needs a value";
                return false;
            }
            ++i;
            return true;
        };
        long long n = 0;
        double d = 0;
        if (opt == "--help" || opt == "-h") {
            return ParseOutcome::Help;
        } else if (opt == "--fast") {
            o.fast = true;
        } else if (opt == "--5v5") {
            o.fiveASide = true;
        } else if (opt == "--quiet") {
            o.quiet = true;
        } else if (opt == "--list-robots") {
            o.listRobots = true;
        } else if (opt == "--host") {
            if (!needValue()) return ParseOutcome::Error;
            o.host = value;
        } else if (opt == "--port") {
            if (!needValue()) return ParseOutcome::Error;
            if (!toLong(value, 0, 65535, n)) {
                error = "--port needs a number from 0 to 65535";
                return ParseOutcome::Error;
            }
            o.port = static_cast<int>(n);
        } else if (opt == "--scenario") {
            if (!needValue()) return ParseOutcome::Error;
            o.scenarioFile = value;
        } else if (opt == "--length") {
            if (!needValue()) return ParseOutcome::Error;
            if (!toDouble(value, d) || d <= 0 || d > 86400) {
                error = "--length needs seconds from 0 to 86400";
                return ParseOutcome::Error;
            }
            o.length = d;
        } else if (opt == "--step-timeout") {
            if (!needValue()) return ParseOutcome::Error;
            if (!toLong(value, 1, 60000, n)) {
                error = "--step-timeout needs milliseconds from 1 to 60000";
                return ParseOutcome::Error;
            }
            o.stepTimeoutMs = static_cast<int>(n);
        } else if (opt == "--wait") {
            if (!needValue()) return ParseOutcome::Error;
            if (!toDouble(value, d) || d < 0 || d > 3600) {
                error = "--wait needs seconds from 0 to 3600";
                return ParseOutcome::Error;
            }
            o.waitSeconds = d;
        } else if (opt == "--seed") {
            if (!needValue()) return ParseOutcome::Error;
            if (!toLong(value, 0, LLONG_MAX, n)) {
                error = "--seed needs a whole number >= 0";
                return ParseOutcome::Error;
            }
            o.seedSet = true;
            o.seed = static_cast<std::uint64_t>(n);
        } else if (opt == "--noise-dist" || opt == "--noise-angle" || opt == "--dropout") {
            if (!needValue()) return ParseOutcome::Error;
            const double hi = opt == "--dropout" ? 1.0 : 1e6;
            if (!toDouble(value, d) || d < 0 || d > hi) {
                error = opt + " needs a number from 0 to " + (opt == "--dropout" ? "1" : "1000000");
                return ParseOutcome::Error;
            }
            (opt == "--noise-dist" ? o.noiseDist : opt == "--noise-angle" ? o.noiseAngle : o.dropout) = d;
        } else if (opt == "--blackout") {
            if (!needValue()) return ParseOutcome::Error;
            Blackout b;
            if (!toBlackout(value, b)) {
                error = "--blackout needs ID:START-END (game seconds)";
                return ParseOutcome::Error;
            }
            o.blackouts.push_back(b);
        } else if (opt == "--record") {
            if (!needValue()) return ParseOutcome::Error;
            o.recordFile = value;
        } else if (opt == "--render") {
            if (!needValue()) return ParseOutcome::Error;
            o.renderFile = value;
        } else if (opt == "-o" || opt == "--output") {
            if (!needValue()) return ParseOutcome::Error;
            o.outputFile = value;
        } else if (opt == "--agent-configs") {
            if (!needValue()) return ParseOutcome::Error;
            o.agentConfigDir = value;
        } else if (opt == "--agent-template") {
            if (!needValue()) return ParseOutcome::Error;
            o.agentTemplate = value;
        } else if (opt == "--velocidade") {
            if (!needValue()) return ParseOutcome::Error;
            o.velocidadeFile = value;
        } else {
            error = "unknown option " + opt + " (see --help)";
            return ParseOutcome::Error;
        }
    }
    return ParseOutcome::Run;
}

std::string replayPageFile(const SimOptions& o)
{
    if (!o.outputFile.empty()) {
        return o.outputFile;
    }
    static const std::string kRecordEnding = ".jsonl";
    const std::string& r = o.renderFile;
    const std::size_t stem = r.size() > kRecordEnding.size() ? r.size() - kRecordEnding.size() : 0;
    const bool endsInJsonl = stem > 0 && r.compare(stem, std::string::npos, kRecordEnding) == 0;
    return (endsInJsonl ? r.substr(0, stem) : r) + ".html";
}

Scenario scenarioFor(const SimOptions& o)
{
    Scenario s = o.scenarioFile.empty() ? defaultScenario(o.fiveASide ? 5 : 3) : loadScenario(o.scenarioFile);
    if (o.length > 0) {
        s.rules.matchLength = o.length;
    }
    if (o.seedSet) {
        s.camera.seed = o.seed;
    }
    if (o.noiseDist >= 0) {
        s.camera.distNoise = o.noiseDist;
    }
    if (o.noiseAngle >= 0) {
        s.camera.angleNoise = o.noiseAngle;
    }
    if (o.dropout >= 0) {
        s.camera.dropout = o.dropout;
    }
    s.camera.blackouts.insert(s.camera.blackouts.end(), o.blackouts.begin(), o.blackouts.end());
    validateScenario(s);
    return s;
}
