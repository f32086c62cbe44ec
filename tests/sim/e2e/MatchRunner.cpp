#include "e2e/MatchRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "common/Properties.h"
#include "sim/AgentConfigs.h"
#include "sim/match/ScenarioFile.h"

namespace {

using Clock = std::chrono::steady_clock;

// Owns the processes of one match and never leaves one behind.
class Processes {
public:
    ~Processes()
    {
        for (pid_t pid : mPids) {
            if (pid > 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        }
    }

    std::size_t start(const std::vector<std::string>& argv, const std::string& cwd, const std::string& out,
                      const std::string& err)
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::chdir(cwd.c_str()) != 0) {
                ::_exit(126);
            }
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(o, 1);
            ::dup2(e, 2);
            std::vector<char*> args;
            for (const std::string& a : argv) {
                args.push_back(const_cast<char*>(a.c_str()));
            }
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        mPids.push_back(pid);
        return mPids.size() - 1;
    }

    bool running(std::size_t i) const { return mPids[i] > 0; }

    // The exit status, or -1 after `seconds` (the process is then killed).
    int wait(std::size_t i, double seconds)
    {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (true) {
            int status = 0;
            const pid_t r = ::waitpid(mPids[i], &status, WNOHANG);
            if (r == mPids[i]) {
                mPids[i] = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (Clock::now() > deadline) {
                ::kill(mPids[i], SIGKILL);
                ::waitpid(mPids[i], nullptr, 0);
                mPids[i] = -1;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

private:
    std::vector<pid_t> mPids;
};

int serverPort(const std::string& log)
{
    static const std::regex listening("simserver: listening on [^:]*:([0-9]+) ");
    std::smatch m;
    return std::regex_search(log, m, listening) ? std::stoi(m[1]) : -1;
}

}  // namespace

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool parseRecordLine(const std::string& line, RecordStep& out)
{
    const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.is_object() || !j.contains("step")) {
        return false;
    }
    try {
        out.step = j.at("step").get<long>();
        out.time = j.at("time").get<double>();
        out.mode = j.at("mode").get<std::string>();
        out.yellow = j.at("score").at("yellow").get<int>();
        out.blue = j.at("score").at("blue").get<int>();
        for (const nlohmann::json& r : j.at("robots")) {
            RecordRobot rr;
            rr.id = r.at("id").get<int>();
            rr.team = r.at("team").get<std::string>();
            rr.x = r.at("x").get<double>();
            rr.y = r.at("y").get<double>();
            rr.seen = r.at("seen").get<bool>();
            const nlohmann::json& cmd = r.at("cmd");
            rr.cmd = cmd.at("type").get<std::string>();
            rr.left = cmd.value("left", 0.0);
            rr.right = cmd.value("right", 0.0);
            out.robots.push_back(rr);
        }
        out.kicks = j.at("kicks").get<std::vector<int>>();
        out.goal = j.value("goal", std::string());
    } catch (const nlohmann::json::exception&) {
        return false;
    }
    return !out.robots.empty();
}

const RecordRobot& RecordStep::robot(int id) const
{
    for (const RecordRobot& r : robots) {
        if (r.id == id) {
            return r;
        }
    }
    return robots.front();
}

void discardRun(const MatchResult& result)
{
    if (result.dir.rfind("/tmp/sim_e2e_", 0) == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(result.dir, ignored);
    }
}

std::string MatchResult::agentLog(std::size_t i) const
{
    return readFile(agentDirs[i] + "/agent.log");
}

MatchResult runMatch(const std::string& name, const MatchSetup& setup)
{
    MatchResult result;
    std::string pattern = "/tmp/sim_e2e_" + name + "_XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return result;
    }
    result.dir = pattern;

    Properties settings = PropertyReader().read(std::string(SOCCER_SOURCE_DIR) + "/config/config.ini");
    settings.setProperty("LOG_ENABLED", "YES");
    settings.setProperty("LOG_LEVEL", setup.logLevel);
    const std::string templateFile = result.dir + "/template.ini";
    {
        std::ofstream out(templateFile);
        PropertyReader().write(out, "e2e settings", settings);
    }

    Processes procs;
    std::vector<std::string> serverArgv = {SIMSERVER_PATH, "--port", "0", "--record", result.dir + "/record.jsonl"};
    if (!setup.scenarioFile.empty()) {
        serverArgv.insert(serverArgv.end(), {"--scenario", setup.scenarioFile});
    }
    serverArgv.insert(serverArgv.end(), setup.serverArgs.begin(), setup.serverArgs.end());
    const std::size_t server =
        procs.start(serverArgv, result.dir, result.dir + "/summary.txt", result.dir + "/server.log");

    int port = -1;
    for (int i = 0; i < 500 && port < 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        port = serverPort(readFile(result.dir + "/server.log"));
    }
    if (port < 0) {
        result.serverStatus = procs.wait(server, 0);
        result.serverLog = readFile(result.dir + "/server.log");
        return result;
    }
    const Scenario scenario = setup.scenarioFile.empty() ? defaultScenario(3) : loadScenario(setup.scenarioFile);
    result.agentDirs = writeAgentDirectories(result.dir, scenario, templateFile,
                                             std::string(SOCCER_SOURCE_DIR) + "/config/velocidade.ini",
                                             "127.0.0.1", port);
    std::vector<std::size_t> agents;
    for (const std::string& dir : result.agentDirs) {
        agents.push_back(procs.start({AGENT_PATH}, dir, dir + "/agent.out", dir + "/agent.log"));
    }
    if (setup.duringMatch) {
        setup.duringMatch(port);
    }
    result.serverStatus = procs.wait(server, setup.timeoutSeconds);
    for (std::size_t a : agents) {
        // Once the server has said "time over" the agents end by themselves.
        result.agentStatus.push_back(procs.wait(a, 5.0));
    }

    result.summary = readFile(result.dir + "/summary.txt");
    result.serverLog = readFile(result.dir + "/server.log");
    std::istringstream record(readFile(result.dir + "/record.jsonl"));
    for (std::string line; std::getline(record, line);) {
        const nlohmann::json head = nlohmann::json::parse(line, nullptr, false);
        const std::string type = head.is_object() ? head.value("type", std::string()) : std::string();
        if (type == "header") {
            result.header = head;  // field, names, seed and programs for the replay page
            continue;
        }
        if (type == "summary") {
            result.closing = head;  // the figures of the match, last
            continue;
        }
        RecordStep v;
        if (parseRecordLine(line, v)) {
            result.record.push_back(std::move(v));
        } else {
            ++result.badRecordLines;
        }
    }
    return result;
}
