#include "sim/scenario/ScenarioFamily.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "sim/scenario/ScenarioFile.h"

namespace {

// FNV-1a: a fixed hash of the key, the same on every platform and build.
std::uint64_t keyHash(const std::string& key)
{
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : key) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::uint64_t splitMix(std::uint64_t x)
{
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// One draw per key and seed, from a stream of its own: not the library's
// distributions, whose output differs between standard libraries.
std::uint64_t keyDraw(std::uint64_t seed, const std::string& key)
{
    return splitMix(splitMix(seed) ^ keyHash(key));
}

// Six significant digits, as the record states them, so a stated value
// replays the same field; kept inside the range's ends.
double drawnNumber(const NumberRange& r, std::uint64_t bits)
{
    constexpr double kTwoTo53 = 9007199254740992.0;
    const double unit = static_cast<double>(bits >> 11) / kTwoTo53;
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", r.low + (r.high - r.low) * unit);
    return std::clamp(std::strtod(text, nullptr), r.low, r.high);
}

std::string numberText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

}  // namespace

const char* kickModelName(KickModel model)
{
    return model == KickModel::Mouth ? "mouth" : "aimed";
}

bool parseKickModel(const std::string& word, KickModel& out)
{
    if (word == "aimed") {
        out = KickModel::Aimed;
    } else if (word == "mouth") {
        out = KickModel::Mouth;
    } else {
        return false;
    }
    return true;
}

std::map<std::string, double*> numberFields(Scenario& s)
{
    return {
        {"FIELD_LENGTH", &s.field.length},
        {"FIELD_WIDTH", &s.field.width},
        {"GOAL_WIDTH", &s.field.goalWidth},
        {"GOAL_DEPTH", &s.field.goalDepth},
        {"CORNER_BLOCK", &s.field.cornerBlock},
        {"TIME_STEP", &s.physics.timeStep},
        {"WHEEL_DEAD_BAND", &s.physics.deadBand},
        {"WHEEL_GAIN", &s.physics.wheelGain},
        {"WHEEL_MAX_LEVEL", &s.physics.maxLevel},
        {"WHEEL_BASE", &s.physics.wheelBase},
        {"ROBOT_SIZE", &s.physics.robotSize},
        {"BALL_RADIUS", &s.physics.ballRadius},
        {"MOUTH_DEPTH", &s.physics.mouthDepth},
        {"MOUTH_HALF_WIDTH", &s.physics.mouthHalfWidth},
        {"ROBOT_MASS", &s.physics.robotMass},
        {"BALL_MASS", &s.physics.ballMass},
        {"MOTOR_ACCEL", &s.physics.motorAccel},
        {"GRIP_ACCEL", &s.physics.gripAccel},
        {"BALL_KEEP", &s.physics.ballKeep},
        {"WALL_RESTITUTION", &s.physics.wallRestitution},
        {"BALL_ROBOT_RESTITUTION", &s.physics.ballRobotRestitution},
        {"BALL_ROBOT_FRICTION", &s.physics.ballRobotFriction},
        {"ROBOT_RESTITUTION", &s.physics.robotRestitution},
        {"ROBOT_FRICTION", &s.physics.robotFriction},
        {"STALL_TIME", &s.rules.stallTime},
        {"STALL_DISTANCE", &s.rules.stallDistance},
        {"FREE_BALL_X", &s.rules.freeBallX},
        {"FREE_BALL_Y", &s.rules.freeBallY},
        {"KICK_REACH", &s.physics.kickReach},
        {"KICK_HALF_ANGLE", &s.physics.kickHalfAngleDeg},
        {"KICK_SPEED_PER_FORCE", &s.physics.kickSpeedPerForce},
        {"KICK_MAX_SPEED", &s.physics.kickMaxSpeed},
        {"MATCH_LENGTH", &s.rules.matchLength},
        {"KICKOFF_PAUSE", &s.rules.kickoffPause},
        {"WARN_ENDING", &s.rules.warnEnding},
        {"TIME_OVER_LENGTH", &s.rules.timeOverLength},
        {"NOISE_DIST", &s.camera.distNoise},
        {"NOISE_ANGLE", &s.camera.angleNoise},
        {"DROPOUT", &s.camera.dropout},
    };
}

Scenario drawScenario(const ScenarioFamily& family, std::uint64_t seed)
{
    Scenario s = family.base;
    s.camera.seed = seed;
    s.drawn.clear();
    const std::map<std::string, double*> fields = numberFields(s);
    for (const NumberRange& r : family.ranges) {
        const double value = drawnNumber(r, keyDraw(seed, r.key));
        *fields.at(r.key) = value;
        s.drawn.push_back({r.key, true, value, numberText(value)});
    }
    if (family.kickModels.size() > 1) {
        const std::uint64_t pick = keyDraw(seed, kKickModelKey) % family.kickModels.size();
        s.physics.kickModel = family.kickModels[static_cast<std::size_t>(pick)];
        s.drawn.push_back({kKickModelKey, false, 0.0, kickModelName(s.physics.kickModel)});
    }
    return s;
}

void validateFamily(const ScenarioFamily& family)
{
    const std::size_t n = family.ranges.size();
    if (n > kMaxRangedKeys) {
        throw ScenarioError(family.ranges[kMaxRangedKeys].key + ": at most " + std::to_string(kMaxRangedKeys) +
                            " keys of a family may be ranges");
    }
    std::vector<KickModel> models = family.kickModels;
    if (models.empty()) {
        models.push_back(family.base.physics.kickModel);
    }
    Scenario corner = family.base;
    const std::map<std::string, double*> fields = numberFields(corner);
    for (const KickModel model : models) {
        corner.physics.kickModel = model;
        for (std::uint64_t mask = 0; mask < (std::uint64_t{1} << n); ++mask) {
            for (std::size_t i = 0; i < n; ++i) {
                const NumberRange& r = family.ranges[i];
                *fields.at(r.key) = ((mask >> i) & 1u) != 0 ? r.high : r.low;
            }
            try {
                validateScenario(corner);
            } catch (const ScenarioError& e) {
                // Name the ranged keys the failed check names; all of them when it names none.
                const std::string why = e.what();
                std::string named;
                std::string all;
                for (std::size_t i = 0; i < n; ++i) {
                    const std::string& key = family.ranges[i].key;
                    const std::string item = key + "=" + numberText(*fields.at(key));
                    all += (all.empty() ? "" : ", ") + item;
                    if (why.find(key) != std::string::npos) {
                        named += (named.empty() ? "" : ", ") + item;
                    }
                }
                std::string at = named.empty() ? all : named;
                if (models.size() > 1) {
                    at += std::string(at.empty() ? "" : ", ") + kKickModelKey + "=" + kickModelName(model);
                }
                throw ScenarioError("the family's extreme " + at + " is refused: " + why);
            }
        }
    }
}
