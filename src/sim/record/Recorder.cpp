#include "sim/record/Recorder.h"

#include <cerrno>
#include <cmath>
#include <cstring>

#include "sim/perception/Landmarks.h"

namespace {

void appendf(std::string& out, const char* fmt, double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, std::isfinite(value) ? value : 0.0);
    out += buf;
}

void appendInt(std::string& out, long value)
{
    out += std::to_string(value);
}

// A JSON string literal; nicknames come from the scenario file.
void appendString(std::string& out, const std::string& text)
{
    out += '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    out += '"';
}

// How far a field line named by `flag` stands inside the right goal line.
double depthOfFlag(const FieldSpec& field, const char* flag)
{
    for (const Landmark& l : fieldLandmarks(field)) {
        if (std::strcmp(l.name, flag) == 0) {
            return field.length / 2.0 - std::fabs(l.place.x);
        }
    }
    return 0.0;
}

void appendCommand(std::string& out, const RobotCommand& cmd)
{
    switch (cmd.kind) {
    case RobotCommand::Kind::None:
        out += "{\"type\":\"none\"}";
        break;
    case RobotCommand::Kind::Wheels:
        out += "{\"type\":\"wheel_velocities\",\"left\":";
        appendf(out, "%.6g", cmd.left);
        out += ",\"right\":";
        appendf(out, "%.6g", cmd.right);
        out += '}';
        break;
    case RobotCommand::Kind::Kick:
        out += "{\"type\":\"kick\",\"angle\":";
        appendf(out, "%.6g", cmd.kickAngleDeg);
        out += ",\"force\":";
        appendf(out, "%.6g", cmd.kickForce);
        out += '}';
        break;
    case RobotCommand::Kind::Goto:
        out += "{\"type\":\"goto\",\"dist\":";
        appendInt(out, static_cast<long>(cmd.gotoDist));
        out += ",\"angle\":";
        appendInt(out, cmd.gotoAngleDeg);
        out += '}';
        break;
    }
}

}  // namespace

Recorder::~Recorder()
{
    close();
}

bool Recorder::open(const std::string& fileName, std::string& error)
{
    close();
    mFile = std::fopen(fileName.c_str(), "w");
    if (mFile == nullptr) {
        error = "cannot write " + fileName + ": " + std::strerror(errno);
        return false;
    }
    mFailed = false;
    mHeaderWritten = false;
    mLine.reserve(4096);
    return true;
}

void Recorder::writeHeader(const Scenario& scenario)
{
    const FieldSpec& f = scenario.field;
    std::string& l = mLine;
    l.clear();
    l += "{\"type\":\"header\",\"field\":{\"length\":";
    appendf(l, "%.6g", f.length);
    l += ",\"width\":";
    appendf(l, "%.6g", f.width);
    l += ",\"goalWidth\":";
    appendf(l, "%.6g", f.goalWidth);
    l += ",\"poleOffset\":";
    appendf(l, "%.6g", f.poleOffset());
    l += ",\"goalDepth\":";
    appendf(l, "%.6g", f.goalDepth);
    l += ",\"cornerBlock\":";
    appendf(l, "%.6g", f.cornerBlock);
    l += ",\"goalAreaDepth\":";
    appendf(l, "%.6g", depthOfFlag(f, "top_right_goal"));
    l += ",\"smallAreaDepth\":";
    appendf(l, "%.6g", depthOfFlag(f, "top_right_small_area"));
    l += "},\"robotSize\":";
    appendf(l, "%.6g", scenario.physics.robotSize);
    l += ",\"ballRadius\":";
    appendf(l, "%.6g", scenario.physics.ballRadius);
    l += ",\"timeStep\":";
    appendf(l, "%.6g", scenario.physics.timeStep);
    l += ",\"seed\":";
    l += std::to_string(scenario.camera.seed);
    // A field family's values as drawn for this match, by key.
    l += ",\"drawn\":{";
    for (std::size_t i = 0; i < scenario.drawn.size(); ++i) {
        const DrawnValue& d = scenario.drawn[i];
        l += i > 0 ? "," : "";
        appendString(l, d.key);
        l += ':';
        if (d.isNumber) {
            appendf(l, "%.6g", d.number);
        } else {
            appendString(l, d.word);
        }
    }
    l += '}';
    l += ",\"programs\":{\"yellow\":";
    appendString(l, mYellowProgram);
    l += ",\"blue\":";
    appendString(l, mBlueProgram);
    l += '}';
    l += ",\"robots\":[";
    for (std::size_t i = 0; i < scenario.robots.size(); ++i) {
        const RobotSpec& r = scenario.robots[i];
        if (i > 0) {
            l += ',';
        }
        l += "{\"id\":";
        appendInt(l, r.vtId);
        l += ",\"team\":\"";
        l += teamName(r.team);
        l += "\",\"nickname\":";
        appendString(l, r.nickname);
        l += '}';
    }
    l += "]}\n";
    writeLine();
    mHeaderWritten = true;
}

void Recorder::writeLine()
{
    if (mFile != nullptr && std::fwrite(mLine.data(), 1, mLine.size(), mFile) != mLine.size()) {
        mFailed = true;
    }
    if (mSink) {
        mSink(mLine);
    }
}

void Recorder::record(const Scenario& scenario, const Referee& referee, const std::vector<RobotBody>& robots,
                      const std::vector<char>& seen, const BallBody& ball, const StepEvents& events)
{
    if (mFile == nullptr && !mSink) {
        return;
    }
    if (!mHeaderWritten) {
        writeHeader(scenario);
    }
    std::string& l = mLine;
    l.clear();
    l += "{\"step\":";
    appendInt(l, referee.step());
    l += ",\"time\":";
    appendf(l, "%.3f", referee.time());
    l += ",\"mode\":\"";
    l += playModeText(referee.mode());
    l += "\",\"score\":{\"yellow\":";
    appendInt(l, referee.yellow());
    l += ",\"blue\":";
    appendInt(l, referee.blue());
    l += "},\"ball\":{\"x\":";
    appendf(l, "%.3f", ball.pos.x);
    l += ",\"y\":";
    appendf(l, "%.3f", ball.pos.y);
    l += "},\"robots\":[";
    for (std::size_t i = 0; i < robots.size(); ++i) {
        const RobotSpec& robotSetup = scenario.robots[i];
        if (i > 0) {
            l += ',';
        }
        l += "{\"id\":";
        appendInt(l, robotSetup.vtId);
        l += ",\"team\":\"";
        l += teamName(robotSetup.team);
        l += "\",\"x\":";
        appendf(l, "%.3f", robots[i].pos.x);
        l += ",\"y\":";
        appendf(l, "%.3f", robots[i].pos.y);
        l += ",\"heading\":";
        appendf(l, "%.4f", radToDeg(robots[i].heading));
        l += ",\"seen\":";
        l += (i < seen.size() && seen[i]) ? "true" : "false";
        l += ",\"cmd\":";
        appendCommand(l, robots[i].cmd);
        l += '}';
    }
    l += "],\"kicks\":[";
    for (std::size_t k = 0; k < events.kickers.size(); ++k) {
        if (k > 0) {
            l += ',';
        }
        appendInt(l, scenario.robots[static_cast<std::size_t>(events.kickers[k])].vtId);
    }
    l += ']';
    if (!events.kickers.empty()) {
        // The angle the kicker asked for and the bearing the ball left on, in degrees.
        l += ",\"kick\":{\"id\":";
        appendInt(l, scenario.robots[static_cast<std::size_t>(events.kickers.front())].vtId);
        l += ",\"asked\":";
        appendf(l, "%.6g", events.kickAskedDeg);
        l += ",\"left\":";
        appendf(l, "%.4f", radToDeg(events.kickLeftBearing));
        l += '}';
    }
    if (events.passing >= 0) {
        // The ball still passes through this kicker, which the engine lets it do.
        l += ",\"passing\":";
        appendInt(l, scenario.robots[static_cast<std::size_t>(events.passing)].vtId);
    }
    if (events.goal != GoalFor::None) {
        l += ",\"goal\":\"";
        l += events.goal == GoalFor::Yellow ? "yellow" : "blue";
        l += '"';
        if (!referee.goals().empty()) {
            // Named after the robot that touched the ball last; an own goal when its side conceded.
            const GoalRecord& g = referee.goals().back();
            l += ",\"ownGoal\":";
            l += g.ownGoal ? "true" : "false";
            if (g.lastToucher >= 0 && static_cast<std::size_t>(g.lastToucher) < scenario.robots.size()) {
                l += ",\"by\":";
                appendInt(l, scenario.robots[static_cast<std::size_t>(g.lastToucher)].vtId);
            }
        }
    }
    if (const FreeBallRecord* f = referee.freeBallOfLastStep()) {
        l += ",\"freeBall\":{\"cause\":\"";
        l += freeBallCauseText(f->cause);
        l += "\",\"x\":";
        appendf(l, "%.3f", f->ball.x);
        l += ",\"y\":";
        appendf(l, "%.3f", f->ball.y);
        l += '}';
    }
    if (!events.putBack.empty()) {
        l += ",\"putBack\":[";
        for (std::size_t k = 0; k < events.putBack.size(); ++k) {
            if (k > 0) {
                l += ',';
            }
            appendInt(l, scenario.robots[static_cast<std::size_t>(events.putBack[k])].vtId);
        }
        l += ']';
    }
    l += "}\n";
    writeLine();
}

void Recorder::writeSummary(const std::string& summary)
{
    if ((mFile == nullptr && !mSink) || !mHeaderWritten) {
        return;
    }
    mLine = summary;
    mLine += '\n';
    writeLine();
}

void Recorder::flush()
{
    if (mFile != nullptr && std::fflush(mFile) != 0) {
        mFailed = true;
    }
}

bool Recorder::close()
{
    if (mFile == nullptr) {
        return !mFailed;
    }
    flush();
    if (std::fclose(mFile) != 0) {
        mFailed = true;
    }
    mFile = nullptr;
    return !mFailed;
}
