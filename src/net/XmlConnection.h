#pragma once
// The two XML messages of the connect exchange: the agent's request and the
// server's own connect message that the agent answers.

#include <ostream>
#include <string>

#include "xml/XMLSerializable.h"

/// \brief The connect request: who this agent is and which protocol it speaks.
class ClientToServerConnect : public XMLSerializable {
public:
    ~ClientToServerConnect() override = default;

    /// \brief Accepts children type, protocol_version, nickname, rc_id, vt_id in that order
    /// (further children ignored); changes nothing and returns false otherwise.
    bool read(const TLDocumentSlice& slice) override;
    /// \brief "connect".
    std::string getName() const override;
    /// \brief Writes the five leaves in request order at depth `indent`; always true.
    bool write(std::ostream* doc, unsigned int indent) override;

    std::string mType;
    std::string mProtocolVersion;
    std::string mNickName;
    int mRcId = 0;
    int mVtId = 0;
};

/// \brief The server's connect message, answered once the acceptance has arrived.
class ServerToClientConnect : public XMLSerializable {
public:
    ~ServerToClientConnect() override = default;

    /// \brief Accepts a first three children type, protocol_version, movement_mode, in that
    /// order; changes nothing and returns false otherwise.
    bool read(const TLDocumentSlice& slice) override;
    /// \brief "connect".
    std::string getName() const override;
    /// \brief Writes type, protocol_version, movement_mode at depth `indent`; always true.
    bool write(std::ostream* doc, unsigned int indent) override;

    std::string mType;
    std::string mProtocolVersion;
    std::string mMovementMode;
};
