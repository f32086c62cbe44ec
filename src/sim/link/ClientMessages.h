#pragma once
// Reading what clients send: connect requests, connect replies and
// commands. Every datagram is untrusted; anything that is not exactly one of
// these messages is reported as invalid, never thrown.

#include <cstddef>
#include <string>

#include "sim/physics/Bodies.h"

/// \brief Largest datagram the server reads; anything longer is dropped unread. A
/// client's longest message, a connect request with three 64-character texts, is
/// well under half of it.
inline constexpr std::size_t kMaxDatagramBytes = 2 * 1024;

/// \brief What a datagram turned out to be.
enum class ClientMessageKind {
    Invalid,         ///< not XML, or no message the server knows
    ConnectRequest,  ///< well-formed connect request
    BadConnect,      ///< a "connect" element that is no acceptable request
    ConnectReply,    ///< <connect>true</connect> or <connect>false</connect>
    Command,         ///< a valid command
};

/// \brief The fields of a connect request.
struct ConnectRequest {
    std::string type;
    std::string protocolVersion;
    std::string nickname;
    int rcId = 0;
    int vtId = 0;
};

/// \brief One datagram, read.
struct ClientMessage {
    ClientMessageKind kind = ClientMessageKind::Invalid;
    ConnectRequest request;
    bool replyValue = false;
    RobotCommand command;
};

/// \brief Reads one datagram of `size` bytes; a single trailing zero byte is allowed.
ClientMessage readClientMessage(const char* data, std::size_t size);

/// \brief The acceptance or refusal: "<connect>true</connect>" / "<connect>false</connect>".
const char* connectAnswer(bool accepted);

/// \brief The server's own connect message announcing `protocolVersion` and wheel velocities.
std::string serverConnectMessage(const std::string& protocolVersion);
