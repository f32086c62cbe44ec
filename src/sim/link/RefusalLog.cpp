#include "sim/link/RefusalLog.h"

#include <algorithm>

bool RefusalLog::logOther()
{
    if (mOtherLogged >= kOtherLines) {
        return false;
    }
    ++mOtherLogged;
    return true;
}

bool RefusalLog::logWrongNickname(std::size_t robot, const PeerAddress& from, const std::string& nickname)
{
    auto sender = std::find_if(mSenders.begin(), mSenders.end(), [&](const Sender& s) {
        return s.robot == robot && s.address == from;
    });
    if (sender == mSenders.end()) {
        if (mSenders.size() >= kNicknameSenders) {
            return false;
        }
        mSenders.push_back(Sender{robot, from, {}});
        sender = mSenders.end() - 1;
    }
    std::vector<std::string>& logged = sender->logged;
    if (logged.size() >= static_cast<std::size_t>(kNicknameLinesPerSender) ||
        std::find(logged.begin(), logged.end(), nickname) != logged.end()) {
        return false;
    }
    logged.push_back(nickname);
    return true;
}
