#pragma once
// The agent's identity and the retry settings of the handshake, taken once
// from the merged settings and left unchanged for the rest of the run.

#include <string>

#include "common/Properties.h"
#include "common/Team.h"

class Client {
public:
    /// \brief Reads VERSION, SLEEP, TRIES, TEAM, VT_ID, RC_ID, NICK_NAME, in that order.
    /// \throws SettingError (a BadParameter) naming the key of a missing or
    ///         non-numeric number, or of a negative SLEEP or TRIES.
    explicit Client(Properties& props);

    /// \brief Pause between two receive attempts, in microseconds.
    int getSleep() { return mSleep; }
    /// \brief Receive attempts before giving up.
    int getTries() { return mTries; }
    /// \brief Team colour; not range-checked.
    mrTeam getTeam() { return mTeam; }
    /// \brief Virtual id, sent as vt_id.
    int vtID() const { return mVtID; }
    /// \brief Robot control id, sent as rc_id.
    int rcID() const { return mRcID; }
    /// \brief Nickname, sent as nickname.
    std::string nickname() const { return mNickname; }
    /// \brief The same colour as getTeam().
    mrTeam Team() const { return mTeam; }
    /// \brief Protocol version text of the connect request.
    std::string version() const { return mProtocolVersion; }

private:
    std::string mProtocolVersion;
    int mSleep = 0;
    int mTries = 0;
    mrTeam mTeam = TEAM_BLUE;
    int mVtID = 0;
    int mRcID = 0;
    std::string mNickname;
};
