#include "sim/scenario/ScenarioFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

#include "common/Properties.h"
#include "sim/physics/BodyShapes.h"

namespace {

constexpr std::size_t kMaxNicknameLength = 32;
constexpr int kMaxRobots = 64;
constexpr int kMaxSubSteps = 200;
constexpr double kMaxMass = 1000.0;
constexpr double kMaxAccel = 1.0e7;
constexpr double kMaxFriction = 10.0;
constexpr double kMaxSeconds = 86400.0;
// The engine turns a body by at most a quarter turn per sub-step; keep well inside.
constexpr double kMaxTurnPerSubStep = 0.9 * b2_maxRotation;
// The prongs of the kicker mouth may taper to a tip this wide, no less (mm).
constexpr double kMinProngTip = 0.5;
const char* const kRobotPrefix = "ROBOT_";
const char* const kBlackoutPrefix = "BLACKOUT_";

bool startsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return "";
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Strict: the whole text must be one finite number.
bool parseDouble(const std::string& text, double& out)
{
    const std::string t = trim(text);
    if (t.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(t.c_str(), &end);
    if (errno != 0 || end != t.c_str() + t.size() || !std::isfinite(value)) {
        return false;
    }
    out = value;
    return true;
}

bool parseInt(const std::string& text, long long lo, long long hi, long long& out)
{
    const std::string t = trim(text);
    if (t.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(t.c_str(), &end, 10);
    if (errno != 0 || end != t.c_str() + t.size() || value < lo || value > hi) {
        return false;
    }
    out = value;
    return true;
}

std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) {
        out.push_back(w);
    }
    return out;
}

bool validNickname(const std::string& nick)
{
    if (nick.empty() || nick.size() > kMaxNicknameLength) {
        return false;
    }
    for (char c : nick) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '-' || c == '.';
        if (!ok) {
            return false;
        }
    }
    return true;
}

// "team nickname x y heading_deg [dropout]"
RobotSpec parseRobot(int vtId, const std::string& value, const std::string& where)
{
    const std::vector<std::string> w = words(value);
    if (w.size() != 5 && w.size() != 6) {
        throw ScenarioError(where + ": expected 'team nickname x y heading_deg [dropout]'");
    }
    RobotSpec r;
    r.vtId = vtId;
    if (w[0] == "yellow") {
        r.team = TEAM_YELLOW;
    } else if (w[0] == "blue") {
        r.team = TEAM_BLUE;
    } else {
        throw ScenarioError(where + ": team must be yellow or blue");
    }
    if (!validNickname(w[1])) {
        throw ScenarioError(where + ": nickname must be 1 to 32 letters, digits, '_', '-' or '.'");
    }
    r.nickname = w[1];
    double heading = 0.0;
    if (!parseDouble(w[2], r.kickoff.x) || !parseDouble(w[3], r.kickoff.y) || !parseDouble(w[4], heading)) {
        throw ScenarioError(where + ": x, y and heading must be numbers");
    }
    r.kickoffHeading = degToRad(heading);
    if (w.size() == 6 && (!parseDouble(w[5], r.dropout) || r.dropout < 0.0 || r.dropout > 1.0)) {
        throw ScenarioError(where + ": dropout must be a number from 0 to 1");
    }
    return r;
}

// "vt_id start end" in game seconds.
Blackout parseBlackout(const std::string& value, const std::string& where)
{
    const std::vector<std::string> w = words(value);
    long long id = 0;
    Blackout b;
    if (w.size() != 3 || !parseInt(w[0], 0, 1000000, id) || !parseDouble(w[1], b.start) ||
        !parseDouble(w[2], b.end) || b.start < 0.0 || b.end < b.start) {
        throw ScenarioError(where + ": expected 'vt_id start end' with 0 <= start <= end");
    }
    b.vtId = static_cast<int>(id);
    return b;
}

// "LOW..HIGH": the whole text is a range when it holds the two dots.
bool isRange(const std::string& text)
{
    return text.find("..") != std::string::npos;
}

NumberRange parseRange(const std::string& key, const std::string& text, const std::string& where)
{
    const std::size_t dots = text.find("..");
    NumberRange r;
    r.key = key;
    if (!parseDouble(text.substr(0, dots), r.low) || !parseDouble(text.substr(dots + 2), r.high)) {
        throw ScenarioError(where + ": not a range of two numbers LOW..HIGH: '" + trim(text) + "'");
    }
    if (r.low > r.high) {
        throw ScenarioError(where + ": the range " + trim(text) + " has LOW above HIGH");
    }
    return r;
}

// "aimed", "mouth", or a list to draw from such as "aimed,mouth".
std::vector<KickModel> parseKickModels(const std::string& text, const std::string& where)
{
    std::vector<KickModel> models;
    std::istringstream in(text);
    std::string word;
    while (std::getline(in, word, ',')) {
        KickModel model = KickModel::Aimed;
        if (!parseKickModel(trim(word), model)) {
            throw ScenarioError(where + ": unknown kick model '" + trim(word) + "' (aimed or mouth, or a list)");
        }
        if (std::find(models.begin(), models.end(), model) != models.end()) {
            throw ScenarioError(where + ": names " + trim(word) + " twice");
        }
        models.push_back(model);
    }
    if (models.empty() || trim(text).back() == ',') {
        throw ScenarioError(where + ": names no kick model (aimed or mouth, or a list)");
    }
    return models;
}

}  // namespace

ScenarioFamily loadScenarioFamily(const std::string& fileName)
{
    Properties props;
    try {
        props = PropertyReader().read(fileName);
    } catch (const PropertyFileTooLarge&) {
        throw ScenarioError(fileName + ": larger than 1 MiB, too large for a scenario file");
    } catch (const PropertyStreamError&) {
        throw ScenarioError(fileName + ": cannot be read");
    } catch (const BadPropertyFormatException&) {
        throw ScenarioError(fileName + ": a line is not KEY=value");
    }

    ScenarioFamily family;
    family.base = defaultScenario(3);
    Scenario& s = family.base;
    const std::map<std::string, double*> numbers = numberFields(s);

    std::vector<RobotSpec> robots;
    for (const auto& [key, value] : props) {
        const std::string where = fileName + ": " + key;
        const auto noRange = [&](const std::string& text) {
            if (isRange(text)) {
                throw ScenarioError(where + ": takes no range LOW..HIGH, one value for every match");
            }
        };
        if (auto it = numbers.find(key); it != numbers.end()) {
            if (isRange(value)) {
                family.ranges.push_back(parseRange(key, value, where));
                *it->second = family.ranges.back().low;
            } else if (!parseDouble(value, *it->second)) {
                throw ScenarioError(where + ": not a number: '" + value + "'");
            }
        } else if (key == "ROBOT_RADIUS") {
            // Older files give half the side of the (square) robot.
            if (isRange(value)) {
                NumberRange r = parseRange("ROBOT_SIZE", value, where);
                r.low *= 2.0;
                r.high *= 2.0;
                family.ranges.push_back(r);
                s.physics.robotSize = r.low;
            } else if (!parseDouble(value, s.physics.robotSize)) {
                throw ScenarioError(where + ": not a number: '" + value + "'");
            } else {
                s.physics.robotSize *= 2.0;
            }
        } else if (key == kKickModelKey) {
            family.kickModels = parseKickModels(value, where);
            s.physics.kickModel = family.kickModels.front();
            if (family.kickModels.size() == 1) {
                family.kickModels.clear();
            }
        } else if (key == "SUB_STEPS") {
            // The engine's step count is a choice of the simulation, not a property of a field.
            noRange(value);
            long long n = 0;
            if (!parseInt(value, 1, kMaxSubSteps, n)) {
                throw ScenarioError(where + ": must be a whole number from 1 to " + std::to_string(kMaxSubSteps));
            }
            s.physics.subSteps = static_cast<int>(n);
        } else if (key == "SEED") {
            noRange(value);
            long long seed = 0;
            if (!parseInt(value, 0, LLONG_MAX, seed)) {
                throw ScenarioError(where + ": not a whole number >= 0");
            }
            s.camera.seed = static_cast<std::uint64_t>(seed);
        } else if (key == "PROTOCOL_VERSION") {
            noRange(value);
            s.protocolVersion = trim(value);
        } else if (startsWith(key, kRobotPrefix)) {
            long long id = 0;
            if (!parseInt(key.substr(std::string(kRobotPrefix).size()), 0, 1000000, id)) {
                throw ScenarioError(where + ": the key must be ROBOT_<vt_id>");
            }
            // Poses stay fixed across a family; a nickname may hold dots, so only the numbers are looked at.
            const std::vector<std::string> w = words(value);
            for (std::size_t i = 2; i < w.size(); ++i) {
                noRange(w[i]);
            }
            robots.push_back(parseRobot(static_cast<int>(id), value, where));
        } else if (startsWith(key, kBlackoutPrefix)) {
            noRange(value);
            s.camera.blackouts.push_back(parseBlackout(value, where));
        } else {
            throw ScenarioError(where + ": unknown key");
        }
    }
    if (!robots.empty()) {
        std::sort(robots.begin(), robots.end(),
                  [](const RobotSpec& a, const RobotSpec& b) { return a.vtId < b.vtId; });
        s.robots = robots;
    }
    std::sort(family.ranges.begin(), family.ranges.end(),
              [](const NumberRange& a, const NumberRange& b) { return a.key < b.key; });
    for (std::size_t i = 1; i < family.ranges.size(); ++i) {
        if (family.ranges[i].key == family.ranges[i - 1].key) {
            throw ScenarioError(fileName + ": " + family.ranges[i].key + ": given as a range twice");
        }
    }
    if (family.varies()) {
        try {
            validateFamily(family);
        } catch (const ScenarioError& e) {
            throw ScenarioError(fileName + ": " + e.what());
        }
    } else {
        validateScenario(s);
    }
    return family;
}

Scenario loadScenario(const std::string& fileName)
{
    const ScenarioFamily family = loadScenarioFamily(fileName);
    return drawScenario(family, family.base.camera.seed);
}

void validateScenario(const Scenario& s)
{
    const auto require = [](bool ok, const std::string& what) {
        if (!ok) {
            throw ScenarioError(what);
        }
    };
    const FieldSpec& f = s.field;
    const PhysicsSpec& p = s.physics;
    require(f.length >= 200 && f.length <= 100000, "FIELD_LENGTH must be from 200 to 100000 mm");
    require(f.width >= 200 && f.width <= 100000, "FIELD_WIDTH must be from 200 to 100000 mm");
    require(f.goalWidth > 2 * p.ballRadius && f.goalWidth < f.width, "GOAL_WIDTH must fit the ball and the field");
    require(f.goalDepth > 2 * p.ballRadius, "GOAL_DEPTH must hold the ball");
    require(f.cornerBlock >= 0 && f.cornerBlock < f.poleOffset() && f.cornerBlock < f.length / 2.0,
            "CORNER_BLOCK must be from 0 to less than the distance from a corner to the nearer post");
    require(p.timeStep >= 0.001 && p.timeStep <= 1.0, "TIME_STEP must be from 0.001 to 1 s");
    require(p.deadBand >= 0 && p.maxLevel > p.deadBand, "WHEEL_MAX_LEVEL must exceed WHEEL_DEAD_BAND >= 0");
    require(p.wheelGain > 0 && p.wheelBase > 0, "WHEEL_GAIN and WHEEL_BASE must be positive");
    require(p.robotSize > 0 && p.ballRadius > 0, "ROBOT_SIZE and BALL_RADIUS must be positive");
    require(p.robotSize * 2 < f.width && p.robotSize * 2 < f.length, "robots must fit the field");
    MouthGeometry mouth;
    require(p.mouthHalfWidth <= p.robotSize / 2.0 - kMinProngTip && mouthGeometry(p, mouth),
            "MOUTH_DEPTH and MOUTH_HALF_WIDTH allow no kicker mouth in the robot, and so no kick direction: the "
            "seated ball must fit between prongs that end at least 0.5 mm inside the robot's sides");
    require(p.subSteps >= 1 && p.subSteps <= kMaxSubSteps, "SUB_STEPS must be from 1 to 200");
    // Upper bounds too: the engine computes in single precision, where a huge
    // mass or acceleration turns into infinities and then NaN poses.
    require(p.robotMass > 0 && p.ballMass > 0 && p.robotMass <= kMaxMass && p.ballMass <= kMaxMass,
            "ROBOT_MASS and BALL_MASS must be above 0 and at most 1000 kg");
    require(p.motorAccel > 0 && p.gripAccel > 0 && p.motorAccel <= kMaxAccel && p.gripAccel <= kMaxAccel,
            "MOTOR_ACCEL and GRIP_ACCEL must be above 0 and at most 1e7 mm/s^2");
    require(p.ballKeep > 0 && p.ballKeep <= 1, "BALL_KEEP must be above 0 and at most 1");
    require(p.wallRestitution >= 0 && p.wallRestitution <= 1, "WALL_RESTITUTION must be from 0 to 1");
    require(p.ballRobotRestitution >= 0 && p.ballRobotRestitution <= 1 && p.robotRestitution >= 0 &&
                p.robotRestitution <= 1,
            "BALL_ROBOT_RESTITUTION and ROBOT_RESTITUTION must be from 0 to 1");
    require(p.ballRobotFriction >= 0 && p.robotFriction >= 0 && p.ballRobotFriction <= kMaxFriction &&
                p.robotFriction <= kMaxFriction,
            "frictions must be from 0 to 10");
    require(p.kickReach >= 0 && p.kickHalfAngleDeg >= 0 && p.kickHalfAngleDeg <= 180,
            "KICK_REACH >= 0 and KICK_HALF_ANGLE from 0 to 180");
    require(p.kickSpeedPerForce >= 0 && p.kickMaxSpeed > 0, "KICK_SPEED_PER_FORCE >= 0 and KICK_MAX_SPEED > 0");
    // The engine silently slows whatever would move further than its largest
    // move per sub-step: every speed it can be handed must stay below that.
    const double limit = engineSpeedLimit(p);
    require(p.kickMaxSpeed < limit, "KICK_MAX_SPEED too high for TIME_STEP / SUB_STEPS: raise SUB_STEPS");
    const double topSpin = 2.0 * p.wheelGain * (p.maxLevel - p.deadBand) / p.wheelBase;
    require(robotTopPointSpeed(p) < limit && topSpin * p.timeStep / p.subSteps < kMaxTurnPerSubStep,
            "WHEEL_GAIN, WHEEL_MAX_LEVEL, WHEEL_DEAD_BAND, WHEEL_BASE and ROBOT_SIZE give robots too fast for "
            "TIME_STEP / SUB_STEPS: raise SUB_STEPS");
    require(ballTopSpeed(p) < limit,
            "BALL_ROBOT_RESTITUTION, KICK_MAX_SPEED and the robots' top speed give rebounds off a moving robot "
            "too fast for TIME_STEP / SUB_STEPS: raise SUB_STEPS");
    const RulesSpec& r = s.rules;
    require(r.matchLength > 0 && r.matchLength <= 86400, "MATCH_LENGTH must be from 0 to 86400 s");
    // Times are counted in whole steps: bounded so that the count stays a number.
    require(r.kickoffPause >= 0 && r.warnEnding >= 0 && r.timeOverLength >= 0 && r.kickoffPause <= kMaxSeconds &&
                r.warnEnding <= kMaxSeconds && r.timeOverLength <= kMaxSeconds,
            "pauses must be from 0 to 86400 s");
    require(r.stallTime > 0 && r.stallDistance > 0 && r.stallTime <= kMaxSeconds,
            "STALL_TIME must be from 0 to 86400 s and STALL_DISTANCE positive");
    require(r.freeBallX >= 0 && r.freeBallX < f.length / 2 && r.freeBallY >= 0 && r.freeBallY < f.width / 2,
            "FREE_BALL_X and FREE_BALL_Y must lie inside the field");
    require(s.camera.distNoise >= 0 && s.camera.angleNoise >= 0, "NOISE_DIST and NOISE_ANGLE must not be negative");
    require(s.camera.dropout >= 0 && s.camera.dropout <= 1, "DROPOUT must be from 0 to 1");
    require(!s.robots.empty() && s.robots.size() <= static_cast<std::size_t>(kMaxRobots),
            "a scenario needs 1 to 64 robots");
    require(validNickname(s.protocolVersion), "PROTOCOL_VERSION must be a short word");
    for (std::size_t i = 0; i < s.robots.size(); ++i) {
        const RobotSpec& robot = s.robots[i];
        const std::string name = "ROBOT_" + std::to_string(robot.vtId);
        require(i == 0 || s.robots[i - 1].vtId < robot.vtId, name + ": vt_ids must be unique and ordered");
        require(std::fabs(robot.kickoff.x) <= f.length / 2 && std::fabs(robot.kickoff.y) <= f.width / 2,
                name + ": kick-off place outside the field");
        require(validNickname(robot.nickname), name + ": bad nickname");
    }
    for (const Blackout& b : s.camera.blackouts) {
        require(s.robot(b.vtId) != nullptr, "BLACKOUT names unknown vt_id " + std::to_string(b.vtId));
    }
    checkBodiesApart(s);
}
