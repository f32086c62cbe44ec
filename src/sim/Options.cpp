#include "sim/Options.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <CLI/CLI.hpp>

#include "sim/scenario/ScenarioFile.h"

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

void printHelp(std::ostream& out, const std::string& program)
{
    out << "Usage: " << program << " [options]\n"
        << "   or: " << program << " --render RECORD.jsonl [-o match.html]\n"
        << "A simulated Soccer Server: speaks the agents' UDP protocol, simulates the field,\n"
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
           "  --record FILE        write a replay: a header line (field, robot names, seed,\n"
           "                       programs), then one JSON object per step\n"
           "  --summary FILE       write the score, the goals and the statistics of each\n"
           "                       team and robot as JSON to FILE after the match\n"
           "  --yellow-program NAME, --blue-program NAME\n"
           "                       the program each team runs, named in the summary and\n"
           "                       the record (default: unknown)\n"
           "  --http PORT          also serve the match live over HTTP on PORT (0 = any\n"
           "                       free port): open http://ADDR:PORT/ in a web browser\n"
           "  --http-host ADDR     address the live HTTP server binds (default 127.0.0.1;\n"
           "                       anyone who can reach it can watch, nobody can change\n"
           "                       anything through it)\n"
           "  --render FILE        write the replay page of record FILE and exit: one HTML\n"
           "                       file that plays the match in a web browser, offline\n"
           "  -o, --output FILE    where --render writes (default: FILE ending in .html)\n"
           "  --page FILE          with --record: write the replay page of the match to FILE\n"
           "                       as it ends (also when stopped by a signal)\n"
           "  --quiet              no progress lines\n"
           "  --list-robots        print 'vt_id team nickname x y heading' per robot and exit\n"
           "  --agent-configs DIR  write one agent working directory per robot into DIR\n"
           "                       (config.ini from --agent-template, velocidade.ini copied\n"
           "                       from --velocidade) and exit\n"
           "  --agent-template F   settings every generated config.ini starts from\n"
           "  --velocidade F       speed file copied next to each generated config.ini\n"
           "  --help               this text\n"
           "  --version            the program's version\n"
           "\n"
           "Progress: one line per game second on standard error. Summary: standard output.\n"
           "Exit status: 0 after the match, 1 for a bad command line or scenario, 2 when the\n"
           "socket, the HTTP port or the record file cannot be opened (or, with --render,\n"
           "the record read or the page written), 128 + signal number when stopped by\n"
           "SIGINT or SIGTERM (the summary is printed and the record closed first).\n";
}

namespace {

/// One option that takes a value: its names for the parser, the message when
/// the value is unusable, and how a good value lands in the options.
struct ValueOption {
    const char* names;
    const char* error;
    bool (*apply)(const std::string& text, SimOptions& o);
};

constexpr std::size_t kMaxProgramName = 200;

bool setDouble(const std::string& text, double lo, double hi, bool loOpen, double& out)
{
    double d = 0;
    if (!toDouble(text.c_str(), d) || d > hi || d < lo || (loOpen && d == lo)) {
        return false;
    }
    out = d;
    return true;
}

// A team's program name is shown on pages and in JSON: printable and short.
bool setProgramName(const std::string& text, std::string& out)
{
    if (text.empty() || text.size() > kMaxProgramName) {
        return false;
    }
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return false;
        }
    }
    out = text;
    return true;
}

bool setText(const std::string& text, std::string& out)
{
    out = text;
    return true;
}

// In the order the old hand-written reader checked them, so that the first
// bad value named is the same.
const ValueOption kValueOptions[] = {
    {"--host", "", [](const std::string& t, SimOptions& o) { return setText(t, o.host); }},
    {"--port", "--port needs a number from 0 to 65535",
     [](const std::string& t, SimOptions& o) {
         long long n = 0;
         return toLong(t.c_str(), 0, 65535, n) && ((o.port = static_cast<int>(n)), true);
     }},
    {"--scenario", "", [](const std::string& t, SimOptions& o) { return setText(t, o.scenarioFile); }},
    {"--length", "--length needs seconds greater than 0 and at most 86400",
     [](const std::string& t, SimOptions& o) { return setDouble(t, 0, 86400, true, o.length); }},
    {"--step-timeout", "--step-timeout needs milliseconds from 1 to 60000",
     [](const std::string& t, SimOptions& o) {
         long long n = 0;
         return toLong(t.c_str(), 1, 60000, n) && ((o.stepTimeoutMs = static_cast<int>(n)), true);
     }},
    {"--wait", "--wait needs seconds from 0 to 3600",
     [](const std::string& t, SimOptions& o) { return setDouble(t, 0, 3600, false, o.waitSeconds); }},
    {"--seed", "--seed needs a whole number >= 0",
     [](const std::string& t, SimOptions& o) {
         long long n = 0;
         if (!toLong(t.c_str(), 0, LLONG_MAX, n)) {
             return false;
         }
         o.seedSet = true;
         o.seed = static_cast<std::uint64_t>(n);
         return true;
     }},
    {"--noise-dist", "--noise-dist needs a number from 0 to 1000000",
     [](const std::string& t, SimOptions& o) { return setDouble(t, 0, 1e6, false, o.noiseDist); }},
    {"--noise-angle", "--noise-angle needs a number from 0 to 1000000",
     [](const std::string& t, SimOptions& o) { return setDouble(t, 0, 1e6, false, o.noiseAngle); }},
    {"--dropout", "--dropout needs a number from 0 to 1",
     [](const std::string& t, SimOptions& o) { return setDouble(t, 0, 1, false, o.dropout); }},
    {"--record", "", [](const std::string& t, SimOptions& o) { return setText(t, o.recordFile); }},
    {"--summary", "", [](const std::string& t, SimOptions& o) { return setText(t, o.summaryFile); }},
    {"--yellow-program", "--yellow-program needs a name of 1 to 200 printable characters",
     [](const std::string& t, SimOptions& o) { return setProgramName(t, o.yellowProgram); }},
    {"--blue-program", "--blue-program needs a name of 1 to 200 printable characters",
     [](const std::string& t, SimOptions& o) { return setProgramName(t, o.blueProgram); }},
    {"--http", "--http needs a port number from 0 to 65535",
     [](const std::string& t, SimOptions& o) {
         long long n = 0;
         return toLong(t.c_str(), 0, 65535, n) && ((o.httpPort = static_cast<int>(n)), true);
     }},
    {"--http-host", "--http-host needs an address",
     [](const std::string& t, SimOptions& o) { return !t.empty() && setText(t, o.httpHost); }},
    {"--render", "", [](const std::string& t, SimOptions& o) { return setText(t, o.renderFile); }},
    {"--page", "", [](const std::string& t, SimOptions& o) { return setText(t, o.pageFile); }},
    {"-o,--output", "", [](const std::string& t, SimOptions& o) { return setText(t, o.outputFile); }},
    {"--agent-configs", "", [](const std::string& t, SimOptions& o) { return setText(t, o.agentConfigDir); }},
    {"--agent-template", "", [](const std::string& t, SimOptions& o) { return setText(t, o.agentTemplate); }},
    {"--velocidade", "", [](const std::string& t, SimOptions& o) { return setText(t, o.velocidadeFile); }},
};

constexpr std::size_t kValueOptionCount = sizeof(kValueOptions) / sizeof(kValueOptions[0]);

}  // namespace

ParseOutcome parseOptions(int argc, const char* const* argv, SimOptions& o, std::string& error)
{
    CLI::App app{"simserver"};
    app.set_help_flag();  // printHelp() has the text users know
    app.allow_extras();   // reported below in our own words
    bool help = false;
    app.add_flag("-h,--help", help);
    bool version = false;
    app.add_flag("--version", version);
    app.add_flag("--fast", o.fast);
    app.add_flag("--5v5", o.fiveASide);
    app.add_flag("--quiet", o.quiet);
    app.add_flag("--list-robots", o.listRobots);
    std::string texts[kValueOptionCount];
    CLI::Option* options[kValueOptionCount];
    for (std::size_t i = 0; i < kValueOptionCount; ++i) {
        // Repeating an option keeps its last value, as before.
        options[i] = app.add_option(kValueOptions[i].names, texts[i])
                         ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    }
    std::vector<std::string> blackoutTexts;
    CLI::Option* blackouts = app.add_option("--blackout", blackoutTexts);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ArgumentMismatch&) {
        // The only mismatch left is an option at the end without its value.
        error = std::string(argc > 1 ? argv[argc - 1] : "an option") + " needs a value";
        return ParseOutcome::Error;
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return ParseOutcome::Error;
    }
    if (help) {
        return ParseOutcome::Help;
    }
    if (version) {
        return ParseOutcome::Version;
    }
    if (!app.remaining().empty()) {
        error = "unknown option " + app.remaining().front() + " (see --help)";
        return ParseOutcome::Error;
    }
    for (std::size_t i = 0; i < kValueOptionCount; ++i) {
        if (options[i]->count() > 0 && !kValueOptions[i].apply(texts[i], o)) {
            error = kValueOptions[i].error;
            return ParseOutcome::Error;
        }
    }
    if (blackouts->count() > 0) {
        for (const std::string& text : blackoutTexts) {
            Blackout b;
            if (!toBlackout(text.c_str(), b)) {
                error = "--blackout needs ID:START-END (game seconds)";
                return ParseOutcome::Error;
            }
            o.blackouts.push_back(b);
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
    ScenarioFamily family;
    family.base = defaultScenario(o.fiveASide ? 5 : 3);
    if (!o.scenarioFile.empty()) {
        family = loadScenarioFamily(o.scenarioFile);
    }
    // A family is drawn with the match's seed: the same field for both matches of a pair.
    Scenario s = drawScenario(family, o.seedSet ? o.seed : family.base.camera.seed);
    // A value the command line sets is no longer drawn.
    const auto set = [&s](double& value, double given, const char* key) {
        value = given;
        s.drawn.erase(std::remove_if(s.drawn.begin(), s.drawn.end(),
                                     [key](const DrawnValue& d) { return d.key == key; }),
                      s.drawn.end());
    };
    if (o.length > 0) {
        set(s.rules.matchLength, o.length, "MATCH_LENGTH");
    }
    if (o.noiseDist >= 0) {
        set(s.camera.distNoise, o.noiseDist, "NOISE_DIST");
    }
    if (o.noiseAngle >= 0) {
        set(s.camera.angleNoise, o.noiseAngle, "NOISE_ANGLE");
    }
    if (o.dropout >= 0) {
        set(s.camera.dropout, o.dropout, "DROPOUT");
    }
    s.camera.blackouts.insert(s.camera.blackouts.end(), o.blackouts.begin(), o.blackouts.end());
    validateScenario(s);
    return s;
}
