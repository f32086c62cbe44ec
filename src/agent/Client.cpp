#include "agent/Client.h"

#include "agent/SettingError.h"

Client::Client(Properties& props)
{
    mProtocolVersion = props.propertyValue("VERSION");
    // A negative count would make the handshake wait for ever.
    mSleep = nonNegativeIntSetting(props, "SLEEP");
    mTries = nonNegativeIntSetting(props, "TRIES");
    mTeam = static_cast<mrTeam>(intSetting(props, "TEAM"));
    mVtID = intSetting(props, "VT_ID");
    mRcID = intSetting(props, "RC_ID");
    mNickname = props.propertyValue("NICK_NAME");
}
