#include "sim/perception/WorldStateWriter.h"

#include "common/DecimalText.h"

#include <cmath>
#include <cstdio>

namespace {

// Room for the largest document a 64-robot scenario produces.
constexpr std::size_t kInitialCapacity = 16 * 1024;
constexpr int kFlagDistDecimals = 2;
constexpr int kAngleDecimals = 3;
constexpr int kTimeDecimals = 3;

}  // namespace

WorldStateWriter::WorldStateWriter(const Scenario& scenario)
    : mRobots(scenario.robots), mFlags(fieldLandmarks(scenario.field))
{
    mOut.reserve(kInitialCapacity);
}

void WorldStateWriter::open(const char* name)
{
    mOut += '<';
    mOut += name;
    mOut += '>';
}

void WorldStateWriter::close(const char* name)
{
    mOut += "</";
    mOut += name;
    mOut += '>';
}

void WorldStateWriter::leaf(const char* name, const char* text)
{
    open(name);
    mOut += text;
    close(name);
}

void WorldStateWriter::leafInt(const char* name, long value)
{
    open(name);
    appendWhole(mOut, value);
    close(name);
}

void WorldStateWriter::leafReal(const char* name, double value, int decimals)
{
    open(name);
    appendFixed(mOut, value, decimals);
    close(name);
}

// Command values are echoed the way the agent writes them: six significant digits.
void WorldStateWriter::leafShort(const char* name, double value)
{
    open(name);
    appendGeneral(mOut, value, 6);
    close(name);
}

void WorldStateWriter::echo(const RobotCommand& cmd)
{
    switch (cmd.kind) {
    case RobotCommand::Kind::Wheels:
        open("wheel_velocity");
        leafShort("right", cmd.right);
        leafShort("left", cmd.left);
        close("wheel_velocity");
        break;
    case RobotCommand::Kind::Kick:
        open("kick");
        leafShort("angle", cmd.kickAngleDeg);
        leafShort("force", cmd.kickForce);
        close("kick");
        break;
    case RobotCommand::Kind::Goto:
        open("goto");
        leafInt("dist", static_cast<long>(cmd.gotoDist));
        leafInt("angle", cmd.gotoAngleDeg);
        close("goto");
        break;
    case RobotCommand::Kind::None:
        break;
    }
}

const std::string& WorldStateWriter::build(std::size_t observer, const std::vector<RobotBody>& robots,
                                           const BallBody& ball, Camera& camera, const WorldStateHeader& header)
{
    const RobotSpec& me = mRobots[observer];
    const RobotBody& body = robots[observer];
    const bool iAmSeen = camera.seen(observer);

    mOut.clear();
    open("worldData");
    leafReal("time", header.time, kTimeDecimals);
    leafInt("agent_id", me.vtId);
    leaf("status", iAmSeen ? "found" : "lost");
    leafInt("max_agent", static_cast<long>(mRobots.size()));
    leaf("playMode", header.playMode);
    leaf("nickname", me.nickname.c_str());

    // An unseen robot cannot be placed, so nothing can be measured from it.
    if (iAmSeen) {
        const Observation b = camera.blur(observe(body.pos, body.heading, ball.pos));
        open("ball");
        leafInt("dist", std::lround(b.dist));
        leafReal("angle", b.angleDeg, kAngleDecimals);
        close("ball");
    }
    for (std::size_t i = 0; i < mRobots.size(); ++i) {
        if (i == observer) {
            continue;
        }
        const RobotSpec& other = mRobots[i];
        const char* element = other.team == me.team ? "teamMate" : "opponent";
        const bool visible = iAmSeen && camera.seen(i);
        open(element);
        leafInt("id", other.vtId);
        leaf("nickname", other.nickname.c_str());
        leaf("status", visible ? "found" : "lost");
        if (visible) {
            const Observation o = camera.blur(observe(body.pos, body.heading, robots[i].pos));
            leafInt("dist", std::lround(o.dist));
            leafInt("angle", std::lround(o.angleDeg));
            leafInt("orientation", orientationDegrees(robots[i].heading));
        } else {
            leafInt("dist", 0);
            leafInt("angle", 0);
            leafInt("orientation", 0);
        }
        close(element);
    }
    if (iAmSeen) {
        for (const Landmark& flag : mFlags) {
            const Observation f = camera.blur(observe(body.pos, body.heading, flag.place));
            open("flag");
            leaf("id", flag.name);
            leafReal("dist", f.dist, kFlagDistDecimals);
            leafReal("angle", f.angleDeg, kAngleDecimals);
            close("flag");
        }
    }
    open("score");
    leafInt("yellow", header.yellow);
    leafInt("blue", header.blue);
    close("score");
    echo(body.cmd);
    close("worldData");
    return mOut;
}
