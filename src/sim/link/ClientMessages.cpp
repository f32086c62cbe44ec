#include "sim/link/ClientMessages.h"

#include <cstring>
#include <sstream>
#include <vector>

#include "net/XmlConnection.h"
#include "protocol/Command.h"
#include "xml/XMLSerializer.h"

namespace {

constexpr std::size_t kMaxTextField = 64;

// The body of a command names its kind; its first two children must be
// the pair of that kind, in wire order.
bool readCommandBody(const XMLItem& body, RobotCommand& out)
{
    std::vector<XMLItem> children;
    XMLSerializer::itemize(body, children);
    if (children.size() < 2) {
        return false;
    }
    const std::string& first = children[0].getName();
    const std::string& second = children[1].getName();
    const std::string& name = body.getName();
    CommandType values;
    if (name == "wheel_velocities" && first == "right" && second == "left") {
        values.read(body);
        out.kind = RobotCommand::Kind::Wheels;
        out.left = values.mLeftVelocity;
        out.right = values.mRightVelocity;
        return true;
    }
    if (name == "kick" && first == "angle" && second == "force") {
        values.read(body);
        out.kind = RobotCommand::Kind::Kick;
        out.kickAngleDeg = values.mdAngle;
        out.kickForce = values.mStrength;
        return true;
    }
    if (name == "goto" && first == "dist" && second == "angle") {
        values.read(body);
        out.kind = RobotCommand::Kind::Goto;
        out.gotoDist = values.mDist;
        out.gotoAngleDeg = values.miAngle;
        return true;
    }
    return false;
}

bool shortText(const std::string& s)
{
    return s.size() <= kMaxTextField;
}

}  // namespace

ClientMessage readClientMessage(const char* data, std::size_t size)
{
    ClientMessage msg;
    if (data == nullptr || size == 0 || size > kMaxDatagramBytes) {
        return msg;
    }
    if (data[size - 1] == '\0') {
        --size;  // commands carry a trailing zero byte, handshake texts do not
    }
    if (size == 0 || std::memchr(data, '\0', size) != nullptr) {
        return msg;
    }
    const XMLItem root = XMLSerializer::documentToRoot(data, size);
    if (root.getItemType() == XML_ERROREOUS) {
        return msg;
    }
    if (root.getName() == "command") {
        std::vector<XMLItem> children;
        XMLSerializer::itemize(root, children);
        if (!children.empty() && children[0].getItemType() == XML_NESTED &&
            readCommandBody(children[0], msg.command)) {
            msg.kind = ClientMessageKind::Command;
        }
        return msg;
    }
    if (root.getName() != "connect") {
        return msg;
    }
    if (root.getItemType() != XML_NESTED) {
        const std::string text = root.getContent("");
        if (text == "true" || text == "false") {
            msg.kind = ClientMessageKind::ConnectReply;
            msg.replyValue = text == "true";
        }
        return msg;
    }
    ClientToServerConnect request;
    if (request.read(root) && shortText(request.mType) && shortText(request.mProtocolVersion) &&
        shortText(request.mNickName)) {
        msg.kind = ClientMessageKind::ConnectRequest;
        msg.request.type = request.mType;
        msg.request.protocolVersion = request.mProtocolVersion;
        msg.request.nickname = request.mNickName;
        msg.request.rcId = request.mRcId;
        msg.request.vtId = request.mVtId;
    } else {
        msg.kind = ClientMessageKind::BadConnect;
    }
    return msg;
}

const char* connectAnswer(bool accepted)
{
    return accepted ? "<connect>true</connect>" : "<connect>false</connect>";
}

std::string serverConnectMessage(const std::string& protocolVersion)
{
    ServerToClientConnect message;
    message.mType = "Server";
    message.mProtocolVersion = protocolVersion;
    message.mMovementMode = "wheel_velocities";
    std::ostringstream out;
    XMLSerializer::writeNestedNode(&out, message, 0);
    return out.str();
}
