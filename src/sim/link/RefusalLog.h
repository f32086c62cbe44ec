#pragma once
// Which refused connect requests get a line in the server's log. Every
// refusal is counted; the log names enough of them for an operator to learn
// why a robot stays free, and no sender can make it grow without end: not
// by repeating itself, not by alternating nicknames, not by changing port.

#include <cstddef>
#include <string>
#include <vector>

#include "sim/link/UdpSocket.h"

class RefusalLog {
public:
    /// \brief Refusals of other kinds (unknown robot, taken, malformed) logged in a match.
    static constexpr int kOtherLines = 10;
    /// \brief Wrong-nickname lines per robot and sender address: each a nickname not yet
    /// logged for that pair.
    static constexpr int kNicknameLinesPerSender = 3;
    /// \brief Robot and address pairs whose wrong nicknames are logged at all.
    static constexpr std::size_t kNicknameSenders = 32;

    /// \brief Whether a refusal that is not about a nickname gets its line.
    bool logOther();
    /// \brief Whether `nickname`, wrong for `robot`, asked from `from`, gets its line.
    bool logWrongNickname(std::size_t robot, const PeerAddress& from, const std::string& nickname);

private:
    struct Sender {
        std::size_t robot = 0;
        PeerAddress address;
        std::vector<std::string> logged;
    };

    int mOtherLogged = 0;
    std::vector<Sender> mSenders;
};
