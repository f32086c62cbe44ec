#include "protocol/WorldDataApplication.h"

#include <cmath>
#include <cstring>
#include <iostream>

#include "common/ClientException.h"
#include "protocol/NumberFields.h"

namespace {

// The server describes the 19 field landmarks every cycle.
constexpr std::size_t kExpectedFlags = 19;

const char* const kFoundText = "found";

bool isFound(const XMLItem& item)
{
    return std::strcmp(item.contentText(), kFoundText) == 0;
}

float degreesToRadiansF(float degrees)
{
    return static_cast<float>(degToRad(static_cast<double>(degrees)));
}

// Whole radians, truncated toward zero: 90 degrees give 1, -90 give -1.
int wholeRadians(int degrees)
{
    return static_cast<int>(std::trunc(degToRad(static_cast<double>(degrees))));
}

Agent agentFrom(const RobotInfo& robot, AgentSide side)
{
    const int uid = static_cast<int>(robot.mId);
    if (!robot.mStatus) {
        return Agent(side, uid, robot.mNickname);
    }
    agentVector position;
    position.position.length = static_cast<double>(robot.mDist);
    position.position.angle = robot.mAngle;
    position.orientation = static_cast<int>(robot.mOrientation);
    return Agent(side, uid, robot.mNickname, position);
}

}  // namespace

bool BallInfo::read(const TLDocumentSlice& slice)
{
    std::vector<XMLItem> children;
    XMLSerializer::itemize(slice, children);
    for (const XMLItem& child : children) {
        const std::string& name = child.getName();
        if (name == "dist") {
            mDist = distanceFromInt(child.getContent_int(""));
        } else if (name == "angle") {
            mDegAngle = child.getContent_float("");
            mAngle = degreesToRadiansF(mDegAngle);
        }
    }
    return true;
}

bool BallInfo::write(std::ostream* doc, unsigned int indent)
{
    XMLSerializer::writeLeafNode(doc, "dist", mDist, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "angle", mAngle, nullptr, indent);
    return true;
}

bool RobotInfo::read(const TLDocumentSlice& slice)
{
    std::vector<XMLItem> children;
    XMLSerializer::itemize(slice, children);
    for (const XMLItem& child : children) {
        const std::string& name = child.getName();
        if (name == "id") {
            mId = signedInUnsigned(child.getContent_int(""));
        } else if (name == "nickname") {
            mNickname = child.contentText();
        } else if (name == "status") {
            mStatus = isFound(child);
        } else if (name == "dist") {
            mDist = distanceFromInt(child.getContent_int(""));
        } else if (name == "angle") {
            mAngle = degToRad(static_cast<double>(child.getContent_int("")));
        } else if (name == "orientation") {
            mOrientation = signedInUnsigned(wholeRadians(child.getContent_int("")));
        }
    }
    return true;
}

bool RobotInfo::write(std::ostream* doc, unsigned int indent)
{
    XMLSerializer::writeLeafNode(doc, "id", mId, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "nickname", mNickname, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "status", mStatus, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "dist", mDist, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "angle", mAngle, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "orientation", mOrientation, nullptr, indent);
    return true;
}

bool Flag::read(const TLDocumentSlice& slice)
{
    std::vector<XMLItem> children;
    XMLSerializer::itemize(slice, children);
    for (const XMLItem& child : children) {
        const std::string& name = child.getName();
        if (name == "id") {
            mId = child.contentText();
        } else if (name == "dist") {
            mDist = distanceFromFloat(child.getContent_float(""));
        } else if (name == "angle") {
            mAngle = degreesToRadiansF(child.getContent_float(""));
        }
    }
    return true;
}

bool Flag::write(std::ostream* doc, unsigned int indent)
{
    XMLSerializer::writeLeafNode(doc, "id", mId, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "dist", mDist, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "angle", mAngle, nullptr, indent);
    return true;
}

bool Score::read(const TLDocumentSlice& slice)
{
    std::vector<XMLItem> children;
    XMLSerializer::itemize(slice, children);
    for (const XMLItem& child : children) {
        const std::string& name = child.getName();
        if (name == "yellow") {
            mYellow = child.getContent_int("");
        } else if (name == "blue") {
            mBlue = child.getContent_int("");
        }
    }
    return true;
}

bool Score::write(std::ostream* doc, unsigned int indent)
{
    XMLSerializer::writeLeafNode(doc, "yellow", mYellow, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "blue", mBlue, nullptr, indent);
    return true;
}

bool WorldDataApplication::read(const TLDocumentSlice& slice)
{
    std::vector<XMLItem> children;
    XMLSerializer::itemize(slice, children);
    mFlags.reserve(kExpectedFlags);
    for (const XMLItem& child : children) {
        const std::string& name = child.getName();
        if (child.getItemType() == XML_NESTED) {
            if (name == "kick" || name == "wheel_velocity" || name == "goto") {
                mLastCommand.read(child);
            } else if (name == "score") {
                mScore.read(child);
            } else if (name == "ball") {
                mBall.read(child);
            } else if (name == "flag") {
                mFlags.emplace_back();
                mFlags.back().read(child);
            } else if (name == "teamMate") {
                TeamMate robot;
                robot.read(child);
                mOthers.push_back(agentFrom(robot, side_TEAMMATE));
            } else if (name == "opponent") {
                Opponent robot;
                robot.read(child);
                mOthers.push_back(agentFrom(robot, side_OPPONENT));
            }
            continue;
        }
        if (name == "time") {
            mTime = child.getContent_double("");
        } else if (name == "agent_id") {
            mAgentID = signedInUnsigned(child.getContent_int(""));
        } else if (name == "status") {
            mStatus = isFound(child);
        } else if (name == "max_agent") {
            mMaxAgents = child.getContent_int("");
        } else if (name == "playMode") {
            mPlayMode = child.contentText();
        } else if (name == "nickname") {
            mNickname = child.contentText();
        } else {
            std::cout << "Some error occurred while trying to read message received by server." << std::endl;
            return false;
        }
    }
    const int uid = static_cast<int>(mAgentID);
    mMe = mStatus ? Agent(side_TEAMMATE, uid, mNickname, agentVector()) : Agent(side_TEAMMATE, uid, mNickname);
    return true;
}

bool WorldDataApplication::write(std::ostream*, unsigned int)
{
    return true;
}

const Flag& WorldDataApplication::getFlag(const std::string& id) const
{
    for (const Flag& flag : mFlags) {
        if (flag.mId == id) {
            return flag;
        }
    }
    throw ClientException("Logic error in flag request");
}

vector_t WorldDataApplication::getVector(const Flag& flag) const
{
    return vector_t{static_cast<double>(flag.mDist), static_cast<double>(flag.mAngle)};
}
