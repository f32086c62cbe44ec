#include "protocol/Command.h"

#include <vector>

#include "geometry/BasicUtils.h"
#include "protocol/NumberFields.h"

namespace {

const char* const kWheelVelocities = "wheel_velocities";
const char* const kKick = "kick";
const char* const kGoto = "goto";

bool isPair(const std::vector<XMLItem>& children, const char* first, const char* second)
{
    return children[0].getName() == first && children[1].getName() == second;
}

}  // namespace

bool CommandType::read(const TLDocumentSlice& slice)
{
    std::vector<XMLItem> children;
    XMLSerializer::itemize(slice, children);
    if (children.size() < 2) {
        return false;
    }
    if (isPair(children, "angle", "force")) {
        mdAngle = children[0].getContent_float("");
        mStrength = children[1].getContent_float("");
        return true;
    }
    if (isPair(children, "dist", "angle")) {
        mDist = distanceFromInt(children[0].getContent_int(""));
        miAngle = children[1].getContent_int("");
        return true;
    }
    if (isPair(children, "right", "left")) {
        mRightVelocity = children[0].getContent_float("");
        mLeftVelocity = children[1].getContent_float("");
        return true;
    }
    return false;
}

bool CommandType::write(std::ostream* doc, unsigned int indent)
{
    switch (mCommandEnum) {
    case WHEEL_VELOCITY:
        XMLSerializer::writeLeafNode(doc, "right", mRightVelocity, nullptr, indent);
        XMLSerializer::writeLeafNode(doc, "left", mLeftVelocity, nullptr, indent);
        return true;
    case KICK:
        XMLSerializer::writeLeafNode(doc, "angle", mdAngle, nullptr, indent);
        XMLSerializer::writeLeafNode(doc, "force", mStrength, nullptr, indent);
        return true;
    case STEERING:
        XMLSerializer::writeLeafNode(doc, "dist", mDist, nullptr, indent);
        XMLSerializer::writeLeafNode(doc, "angle", miAngle, nullptr, indent);
        return true;
    }
    return false;
}

void Command::setVelocity(float dLeftWheel, float dRightWheel)
{
    mCommandType.mCommandName = kWheelVelocities;
    mCommandType.mCommandEnum = WHEEL_VELOCITY;
    mCommandType.mRightVelocity = dRightWheel;
    mCommandType.mLeftVelocity = dLeftWheel;
}

void Command::setKick(double angle, double strength)
{
    mCommandType.mCommandName = kKick;
    mCommandType.mCommandEnum = KICK;
    mCommandType.mdAngle = static_cast<float>(radToDeg(angle));
    mCommandType.mStrength = static_cast<float>(strength);
}

void Command::setSteeringCommand(unsigned int dist, int angle)
{
    mCommandType.mCommandName = kGoto;
    mCommandType.mCommandEnum = STEERING;
    mCommandType.mDist = dist;
    mCommandType.miAngle = angle;
}

bool Command::read(const TLDocumentSlice& slice)
{
    std::vector<XMLItem> children;
    XMLSerializer::itemize(slice, children);
    if (children.empty() || children[0].getItemType() != XML_NESTED) {
        return false;
    }
    mCommandType.read(children[0]);
    return true;
}

bool Command::write(std::ostream* doc, unsigned int indent)
{
    XMLSerializer::writeNestedNode(doc, mCommandType, indent);
    return true;
}
