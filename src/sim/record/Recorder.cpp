#include "sim/record/Recorder.h"

#include <cerrno>
#include <cmath>
#include <cstring>

#include "common/DecimalText.h"
#include "sim/perception/Landmarks.h"

namespace {

void appendInt(std::string& out, long value)
{
    appendWhole(out, value);
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
        appendGeneral(out, cmd.left, 6);
        out += ",\"right\":";
        appendGeneral(out, cmd.right, 6);
        out += '}';
        break;
    case RobotCommand::Kind::Kick:
        out += "{\"type\":\"kick\",\"angle\":";
        appendGeneral(out, cmd.kickAngleDeg, 6);
        out += ",\"force\":";
        appendGeneral(out, cmd.kickForce, 6);
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
    appendGeneral(l, f.length, 6);
    l += ",\"width\":";
    appendGeneral(l, f.width, 6);
    l += ",\"goalWidth\":";
    appendGeneral(l, f.goalWidth, 6);
    l += ",\"poleOffset\":";
    appendGeneral(l, f.poleOffset(), 6);
    l += ",\"goalDepth\":";
    appendGeneral(l, f.goalDepth, 6);
    l += ",\"cornerBlock\":";
    appendGeneral(l, f.cornerBlock, 6);
    l += ",\"goalAreaDepth\":";
    appendGeneral(l, depthOfFlag(f, "top_right_goal"), 6);
    l += ",\"smallAreaDepth\":";
    appendGeneral(l, depthOfFlag(f, "top_right_small_area"), 6);
    l += "},\"robotSize\":";
    appendGeneral(l, scenario.physics.robotSize, 6);
    l += ",\"ballRadius\":";
    appendGeneral(l, scenario.physics.ballRadius, 6);
    l += ",\"timeStep\":";
    appendGeneral(l, scenario.physics.timeStep, 6);
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
            appendGeneral(l, d.number, 6);
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
    appendFixed(l, referee.time(), 3);
    l += ",\"mode\":\"";
    l += playModeText(referee.mode());
    l += "\",\"score\":{\"yellow\":";
    appendInt(l, referee.yellow());
    l += ",\"blue\":";
    appendInt(l, referee.blue());
    l += "},\"ball\":{\"x\":";
    appendFixed(l, ball.pos.x, 3);
    l += ",\"y\":";
    appendFixed(l, ball.pos.y, 3);
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
        appendFixed(l, robots[i].pos.x, 3);
        l += ",\"y\":";
        appendFixed(l, robots[i].pos.y, 3);
        l += ",\"heading\":";
        appendFixed(l, radToDeg(robots[i].heading), 4);
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
        appendGeneral(l, events.kickAskedDeg, 6);
        l += ",\"left\":";
        appendFixed(l, radToDeg(events.kickLeftBearing), 4);
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
        appendFixed(l, f->ball.x, 3);
        l += ",\"y\":";
        appendFixed(l, f->ball.y, 3);
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
