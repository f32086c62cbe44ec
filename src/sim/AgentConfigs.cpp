#include "sim/AgentConfigs.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/BoundedFile.h"
#include "common/Properties.h"

namespace {

// Built-in settings when no template is given; the same values as the
// project's sample config.ini.
const char* const kDefaultSettings[][2] = {
    {"VERSION", "1.0"},       {"SLEEP", "1000"},          {"TRIES", "500"},
    {"LOG_ENABLED", "YES"},   {"LOG_LEVEL", "WARN"},      {"KICKABLE", "80"},
    {"FATOR_ATRACAO_X", "0.5"}, {"FATOR_ATRACAO_Y", "0.5"}, {"X_MINIMO", "0.1"},
    {"X_MAXIMO", "0.9"},      {"Y_MINIMO", "0.1"},        {"Y_MAXIMO", "0.9"},
};

// A goalkeeper keeps to its own goal area.
const char* const kGoalkeeperRectangle[][2] = {
    {"X_MINIMO", "0.02"}, {"X_MAXIMO", "0.2"}, {"Y_MINIMO", "0.25"}, {"Y_MAXIMO", "0.75"},
    {"FATOR_ATRACAO_X", "0.1"}, {"FATOR_ATRACAO_Y", "0.5"},
};

std::string number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    return buf;
}

void makeDirectory(const std::string& dir)
{
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
        throw ScenarioError("cannot create " + dir + ": " + std::strerror(errno));
    }
}

// The speed file is a settings file: read whole, up to the same limit, before
// any directory is made.
std::string readSpeedFile(const std::string& from)
{
    std::string text;
    int error = 0;
    const BoundedRead read = readBounded(from, kMaxPropertyFileBytes, text, error);
    if (read == BoundedRead::TooLarge) {
        throw ScenarioError(from + " is larger than " + sizeText(kMaxPropertyFileBytes) +
                            ", too large for a speed file");
    }
    if (read != BoundedRead::Ok) {
        throw ScenarioError("cannot read " + from + (error != 0 ? std::string(": ") + std::strerror(error) : ""));
    }
    return text;
}

void writeFile(const std::string& to, const std::string& text)
{
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
        throw ScenarioError("cannot write " + to);
    }
}

// Addresses that bind every interface; no datagram comes from them.
const char* const kWildcardHosts[] = {"0.0.0.0", "", "::", "*"};
const char* const kLoopback = "127.0.0.1";

}  // namespace

std::string reachableServerAddress(const std::string& bindHost)
{
    for (const char* wildcard : kWildcardHosts) {
        if (bindHost == wildcard) {
            return kLoopback;
        }
    }
    return bindHost;
}

posicaoXY basePositionFractions(const FieldSpec& field, const RobotSpec& robot)
{
    // The blue frame is the physical one turned by half a turn.
    const double sign = robot.team == TEAM_BLUE ? -1.0 : 1.0;
    return {(sign * robot.kickoff.x + field.length / 2.0) / field.length,
            (sign * robot.kickoff.y + field.width / 2.0) / field.width};
}

std::string agentDirectoryName(const RobotSpec& robot)
{
    return std::to_string(robot.vtId) + "-" + teamName(robot.team) + "-" + robot.nickname;
}

Properties agentSettings(const Properties& base, const Scenario& scenario, const RobotSpec& robot,
                         const std::string& serverHost, int serverPort)
{
    Properties p;
    for (const auto& kv : kDefaultSettings) {
        p.setProperty(kv[0], kv[1]);
    }
    for (const auto& [key, value] : base) {
        p.setProperty(key, value);
    }
    if (robot.nickname == "GO") {
        for (const auto& kv : kGoalkeeperRectangle) {
            p.setProperty(kv[0], kv[1]);
        }
    }
    const posicaoXY frac = basePositionFractions(scenario.field, robot);
    // An agent that named the wildcard would drop every answer: they come from loopback.
    p.setProperty("SERVER_IP", reachableServerAddress(serverHost));
    p.setProperty("PORT_TEAM", std::to_string(serverPort));
    p.setProperty("VERSION", scenario.protocolVersion);
    p.setProperty("TEAM", std::to_string(static_cast<int>(robot.team)));
    p.setProperty("VT_ID", std::to_string(robot.vtId));
    p.setProperty("RC_ID", std::to_string(robot.vtId));
    p.setProperty("NICK_NAME", robot.nickname);
    p.setProperty("POS_BASE_X", number(frac.x));
    p.setProperty("POS_BASE_Y", number(frac.y));
    return p;
}

std::vector<std::string> writeAgentDirectories(const std::string& dir, const Scenario& scenario,
                                               const std::string& templateFile,
                                               const std::string& velocidadeFile, const std::string& serverHost,
                                               int serverPort)
{
    Properties base;
    if (!templateFile.empty()) {
        try {
            base = PropertyReader().read(templateFile);
        } catch (const PropertyFileTooLarge& e) {
            throw ScenarioError("agent template " + templateFile + ": " + e.what());
        } catch (const std::exception&) {
            throw ScenarioError("cannot read agent template " + templateFile);
        }
    }
    const std::string speeds = velocidadeFile.empty() ? std::string() : readSpeedFile(velocidadeFile);
    makeDirectory(dir);
    std::vector<std::string> made;
    for (const RobotSpec& robot : scenario.robots) {
        const std::string robotDir = dir + "/" + agentDirectoryName(robot);
        makeDirectory(robotDir);
        const Properties settings = agentSettings(base, scenario, robot, serverHost, serverPort);
        std::ofstream out(robotDir + "/config.ini", std::ios::trunc);
        PropertyReader().write(out, "Agent settings written by simserver for robot " + std::to_string(robot.vtId),
                               settings);
        if (!out) {
            throw ScenarioError("cannot write " + robotDir + "/config.ini");
        }
        if (!velocidadeFile.empty()) {
            writeFile(robotDir + "/velocidade.ini", speeds);
        }
        made.push_back(robotDir);
    }
    return made;
}
