#include "net/XmlConnection.h"

#include <cstddef>
#include <vector>

#include "xml/XMLSerializer.h"

namespace {

const std::string kConnectName = "connect";

// True if the first children of `slice` carry exactly `names`, in order; fills `children`.
template <std::size_t N>
bool leadingChildrenAre(const TLDocumentSlice& slice, const char* const (&names)[N],
                        std::vector<XMLItem>& children)
{
    XMLSerializer::itemize(slice, children);
    if (children.size() < N) {
        return false;
    }
    for (std::size_t i = 0; i < N; ++i) {
        if (children[i].getName() != names[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ClientToServerConnect::read(const TLDocumentSlice& slice)
{
    static const char* const kChildren[] = {"type", "protocol_version", "nickname", "rc_id",
                                            "vt_id"};
    std::vector<XMLItem> children;
    if (!leadingChildrenAre(slice, kChildren, children)) {
        return false;
    }
    mType = children[0].getContent("");
    mProtocolVersion = children[1].getContent("");
    mNickName = children[2].getContent("");
    mRcId = children[3].getContent_int("");
    mVtId = children[4].getContent_int("");
    return true;
}

std::string ClientToServerConnect::getName() const
{
    return kConnectName;
}

bool ClientToServerConnect::write(std::ostream* doc, unsigned int indent)
{
    XMLSerializer::writeLeafNode(doc, "type", mType, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "protocol_version", mProtocolVersion, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "nickname", mNickName, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "rc_id", mRcId, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "vt_id", mVtId, nullptr, indent);
    return true;
}

bool ServerToClientConnect::read(const TLDocumentSlice& slice)
{
    static const char* const kChildren[] = {"type", "protocol_version", "movement_mode"};
    std::vector<XMLItem> children;
    if (!leadingChildrenAre(slice, kChildren, children)) {
        return false;
    }
    mType = children[0].getContent("");
    mProtocolVersion = children[1].getContent("");
    mMovementMode = children[2].getContent("");
    return true;
}

std::string ServerToClientConnect::getName() const
{
    return kConnectName;
}

bool ServerToClientConnect::write(std::ostream* doc, unsigned int indent)
{
    XMLSerializer::writeLeafNode(doc, "type", mType, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "protocol_version", mProtocolVersion, nullptr, indent);
    XMLSerializer::writeLeafNode(doc, "movement_mode", mMovementMode, nullptr, indent);
    return true;
}
