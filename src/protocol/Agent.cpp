#include "protocol/Agent.h"

#include <algorithm>

#include "common/ClientException.h"

namespace {

const char* const kPositionNotFound = "Position request on not found client";

}  // namespace

Agent::Agent() : mSide(side_TEAMMATE), mUid(-1), mPosition(), mFound(false) {}

Agent::Agent(AgentSide side, int uid, const std::string& nickname)
    : mSide(side), mUid(uid), mNickname(nickname), mPosition(), mFound(false)
{
}

Agent::Agent(AgentSide side, int uid, const std::string& nickname, const agentVector& position)
    : mSide(side), mUid(uid), mNickname(nickname), mPosition(position), mFound(true)
{
}

const agentVector& Agent::position() const
{
    if (!mFound) {
        throw ClientException(kPositionNotFound);
    }
    return mPosition;
}

agentVector& Agent::position()
{
    if (!mFound) {
        throw ClientException(kPositionNotFound);
    }
    return mPosition;
}

std::ostream& operator<<(std::ostream& os, const Agent& agent)
{
    os << "Agent uid=" << agent.uid() << " " << " nick=" << agent.nickname() << " "
       << "found=" << (agent.found() ? "yes" : "no") << " "
       << (agent.side() == side_TEAMMATE ? "teammate" : "opponent");
    if (agent.found()) {
        const agentVector& pos = agent.position();
        os << "(" << pos.position.length << "mm, " << pos.position.angle << "º, " << pos.orientation << "orient."
           << ")";
    }
    return os;
}

AgentList AgentList::From(const AgentSide& side) const
{
    return findBy(side, &Agent::side);
}

AgentList AgentList::WithFound(bool found) const
{
    return findBy(found, &Agent::found);
}

Agent AgentList::ByUid(int uid) const
{
    // A message may list one uid twice; the first entry answers rather than
    // treating the duplicate as fatal.
    const const_iterator it = findByUid(uid);
    if (it == mAgents.end()) {
        throw ClientException("Requested uid " + std::to_string(uid) + " was not found");
    }
    return *it;
}

AgentList::iterator AgentList::findByUid(int uid)
{
    return std::find_if(mAgents.begin(), mAgents.end(), AgentUidFinder(uid));
}

AgentList::const_iterator AgentList::findByUid(int uid) const
{
    return std::find_if(mAgents.begin(), mAgents.end(), AgentUidFinder(uid));
}

AgentList::iterator AgentList::findByNickname(const std::string& nick)
{
    return std::find_if(mAgents.begin(), mAgents.end(), AgentNickFinder(nick));
}

AgentList::const_iterator AgentList::findByNickname(const std::string& nick) const
{
    return std::find_if(mAgents.begin(), mAgents.end(), AgentNickFinder(nick));
}

std::vector<int> AgentList::toUids() const
{
    std::vector<int> uids;
    uids.reserve(mAgents.size());
    for (const Agent& agent : mAgents) {
        uids.push_back(agent.uid());
    }
    return uids;
}
