#include "protocol/WorldDataApplication.h"

#include <cmath>
#include <cstring>
#include <iostream>

#include "common/ClientException.h"
#include "protocol/NumberFields.h"
#include "xml/NodeReading.h"

namespace {

// The server describes the 19 field landmarks every cycle.
constexpr std::size_t kExpectedFlags = 19;

const char* const kFoundText = "found";

bool isFound(pugi::xml_node element)
{
    return std::strcmp(element.child_value(), kFoundText) == 0;
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
    return readNode(slice.node());
}

bool BallInfo::readNode(pugi::xml_node element)
{
    forEachElement(element, [this](pugi::xml_node child) {
        const char* name = child.name();
        if (isNamed(name, "dist")) {
            mDist = distanceFromInt(textInt(child));
        } else if (isNamed(name, "angle")) {
            mDegAngle = textFloat(child);
            mAngle = degreesToRadiansF(mDegAngle);
        }
    });
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
    return readNode(slice.node());
}

bool RobotInfo::readNode(pugi::xml_node element)
{
    forEachElement(element, [this](pugi::xml_node child) {
        const char* name = child.name();
        if (isNamed(name, "id")) {
            mId = signedInUnsigned(textInt(child));
        } else if (isNamed(name, "nickname")) {
            mNickname = child.child_value();
        } else if (isNamed(name, "status")) {
            mStatus = isFound(child);
        } else if (isNamed(name, "dist")) {
            mDist = distanceFromInt(textInt(child));
        } else if (isNamed(name, "angle")) {
            mAngle = degToRad(static_cast<double>(textInt(child)));
        } else if (isNamed(name, "orientation")) {
            mOrientation = signedInUnsigned(wholeRadians(textInt(child)));
        }
    });
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
    return readNode(slice.node());
}

bool Flag::readNode(pugi::xml_node element)
{
    forEachElement(element, [this](pugi::xml_node child) {
        const char* name = child.name();
        if (isNamed(name, "id")) {
            mId = child.child_value();
        } else if (isNamed(name, "dist")) {
            mDist = distanceFromFloat(textFloat(child));
        } else if (isNamed(name, "angle")) {
            mAngle = degreesToRadiansF(textFloat(child));
        }
    });
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
    return readNode(slice.node());
}

bool Score::readNode(pugi::xml_node element)
{
    forEachElement(element, [this](pugi::xml_node child) {
        const char* name = child.name();
        if (isNamed(name, "yellow")) {
            mYellow = textInt(child);
        } else if (isNamed(name, "blue")) {
            mBlue = textInt(child);
        }
    });
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
    mFlags.reserve(kExpectedFlags);
    // Elements are visited in place: this runs every cycle.
    for (pugi::xml_node child = nextElement(slice.node().first_child()); child;
         child = nextElement(child.next_sibling())) {
        const char* name = child.name();
        if (hasChildElement(child)) {
            // The most frequent elements first.
            if (isNamed(name, "flag")) {
                mFlags.emplace_back();
                if (!mSpareIds.empty()) {
                    // An earlier message's id text, emptied, so that its storage is reused.
                    mFlags.back().mId = std::move(mSpareIds.back());
                    mFlags.back().mId.clear();
                    mSpareIds.pop_back();
                }
                mFlags.back().readNode(child);
            } else if (isNamed(name, "teamMate")) {
                readRobot(child, side_TEAMMATE);
            } else if (isNamed(name, "opponent")) {
                readRobot(child, side_OPPONENT);
            } else if (isNamed(name, "kick") || isNamed(name, "wheel_velocity") || isNamed(name, "goto")) {
                mLastCommand.read(TLDocumentSlice(slice.document(), child));
            } else if (isNamed(name, "score")) {
                mScore.readNode(child);
            } else if (isNamed(name, "ball")) {
                mBall.readNode(child);
            }
            continue;
        }
        if (isNamed(name, "time")) {
            mTime = textDouble(child);
        } else if (isNamed(name, "agent_id")) {
            mAgentID = signedInUnsigned(textInt(child));
        } else if (isNamed(name, "status")) {
            mStatus = isFound(child);
        } else if (isNamed(name, "max_agent")) {
            mMaxAgents = textInt(child);
        } else if (isNamed(name, "playMode")) {
            mPlayMode = child.child_value();
        } else if (isNamed(name, "nickname")) {
            mNickname = child.child_value();
        } else {
            std::cout << "Some error occurred while trying to read message received by server." << std::endl;
            return false;
        }
    }
    const int uid = static_cast<int>(mAgentID);
    mMe = mStatus ? Agent(side_TEAMMATE, uid, mNickname, agentVector()) : Agent(side_TEAMMATE, uid, mNickname);
    return true;
}

void WorldDataApplication::readRobot(pugi::xml_node element, AgentSide side)
{
    TeamMate robot;  // the side is the caller's; both sides read alike
    robot.readNode(element);
    mOthers.push_back(agentFrom(robot, side));
}

void WorldDataApplication::clear()
{
    // Everything back to its default, but the two lists and the landmark ids
    // keep their storage.
    AgentList others = std::move(mOthers);
    std::vector<Flag> flags = std::move(mFlags);
    std::vector<std::string> spareIds = std::move(mSpareIds);
    *this = WorldDataApplication();
    for (Flag& flag : flags) {
        spareIds.push_back(std::move(flag.mId));
    }
    others.clear();
    flags.clear();
    mOthers = std::move(others);
    mFlags = std::move(flags);
    mSpareIds = std::move(spareIds);
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
