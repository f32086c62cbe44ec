#include "protocol/Command.h"

#include <charconv>
#include <vector>

#include "geometry/BasicUtils.h"
#include "protocol/NumberFields.h"

namespace {

const char* const kWheelVelocities = "wheel_velocities";
const char* const kKick = "kick";
const char* const kGoto = "goto";

// Six significant digits, the default of a stream, as the stream path writes them.
constexpr int kStreamPrecision = 6;

void appendNumber(std::string& out, double value)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, kStreamPrecision).ptr;
    out.append(text, end);
}

void appendNumber(std::string& out, long long value)
{
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

template <typename T>
void appendLeaf(std::string& out, const char* name, T value)
{
    out += '<';
    out += name;
    out += '>';
    appendNumber(out, value);
    out += "</";
    out += name;
    out += '>';
}

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

void Command::toDatagramText(std::string& out) const
{
    const CommandType& body = mCommandType;
    out.assign("<command>");
    // A nameless body writes nothing, as in writeNestedNode.
    if (!body.mCommandName.empty()) {
        out += '<';
        out += body.mCommandName;
        out += '>';
        switch (body.mCommandEnum) {
        case WHEEL_VELOCITY:
            appendLeaf(out, "right", static_cast<double>(body.mRightVelocity));
            appendLeaf(out, "left", static_cast<double>(body.mLeftVelocity));
            break;
        case KICK:
            appendLeaf(out, "angle", static_cast<double>(body.mdAngle));
            appendLeaf(out, "force", static_cast<double>(body.mStrength));
            break;
        case STEERING:
            appendLeaf(out, "dist", static_cast<long long>(body.mDist));
            appendLeaf(out, "angle", static_cast<long long>(body.miAngle));
            break;
        }
        out += "</";
        out += body.mCommandName;
        out += '>';
    }
    out += "</command>";
}

bool Command::write(std::ostream* doc, unsigned int indent)
{
    XMLSerializer::writeNestedNode(doc, mCommandType, indent);
    return true;
}
