#pragma once
// The robots of the last world state: one record per seen robot and an
// ordered list of them with filters and look-ups.

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "geometry/BasicUtils.h"

/// \brief The team a robot plays for, seen from this robot.
enum AgentSide { side_TEAMMATE = 0, side_OPPONENT = 1 };

/// \brief Where a robot stands relative to this robot; all zero when new.
typedef struct agentVector_ {
    /// \brief Distance (mm) and bearing (radians) from this robot.
    vector_t position{0.0, 0.0};
    /// \brief The robot's heading, a whole number of radians.
    int orientation = 0;
} agentVector;

/// \brief One robot as the last world state described it.
class Agent {
public:
    /// \brief A teammate with uid -1, no nickname, not found.
    Agent();
    /// \brief A robot that was not seen.
    Agent(AgentSide side, int uid, const std::string& nickname);
    /// \brief A robot seen at `position` (found even when the position is all zero).
    Agent(AgentSide side, int uid, const std::string& nickname, const agentVector& position);
    virtual ~Agent() = default;
    Agent(const Agent&) = default;
    Agent& operator=(const Agent&) = default;
    Agent(Agent&&) = default;
    Agent& operator=(Agent&&) = default;

    /// \brief The robot's team side.
    AgentSide side() const { return mSide; }
    /// \brief The robot's identifier.
    int uid() const { return mUid; }
    /// \brief Whether the camera saw the robot in this cycle.
    bool found() const { return mFound; }
    /// \brief A copy of the nickname.
    std::string nickname() const { return mNickname; }

    /// \brief The position of a found robot.
    /// \throws ClientException "Position request on not found client" when not found.
    const agentVector& position() const;
    /// \brief The same, modifiable.
    agentVector& position();

    /// \brief Orders by uid only.
    bool operator<(const Agent& other) const { return mUid < other.mUid; }
    /// \brief Equal uids; side and nickname play no part.
    bool operator==(const Agent& other) const { return mUid == other.mUid; }
    /// \brief Different uids.
    bool operator!=(const Agent& other) const { return mUid != other.mUid; }

private:
    AgentSide mSide;
    int mUid;
    std::string mNickname;
    agentVector mPosition;
    bool mFound;
};

/// \brief "Agent uid=3  nick=r3 found=yes teammate(850mm, 0.4º, 1orient.)"; no position when not found.
std::ostream& operator<<(std::ostream& os, const Agent& agent);

/// \brief True for an agent with the given uid.
struct AgentUidFinder {
    int uid;
    explicit AgentUidFinder(int id) : uid(id) {}
    bool operator()(const Agent& agent) const { return agent.uid() == uid; }
};

/// \brief True for an agent with exactly the given nickname (case counts).
struct AgentNickFinder {
    std::string nick;
    explicit AgentNickFinder(const std::string& n) : nick(n) {}
    bool operator()(const Agent& agent) const { return agent.nickname() == nick; }
};

/// \brief Robots in insertion order; uids are not required to be unique.
class AgentList {
public:
    typedef std::vector<Agent>::iterator iterator;
    typedef std::vector<Agent>::const_iterator const_iterator;

    /// \brief Appends a copy of `agent`.
    void push_back(const Agent& agent) { mAgents.push_back(agent); }
    /// \brief Iteration in insertion order.
    iterator begin() { return mAgents.begin(); }
    iterator end() { return mAgents.end(); }
    const_iterator begin() const { return mAgents.begin(); }
    const_iterator end() const { return mAgents.end(); }
    /// \brief Number of agents.
    std::size_t size() const { return mAgents.size(); }
    /// \brief Whether the list is empty.
    bool empty() const { return mAgents.empty(); }
    /// \brief The agent at `idx`; the caller keeps `idx` below size().
    const Agent& operator[](int idx) const { return mAgents[static_cast<std::size_t>(idx)]; }
    /// \brief Removes the agent at `it`; returns the position after it.
    iterator erase(iterator it) { return mAgents.erase(it); }
    /// \brief Removes every agent, keeping the storage.
    void clear() { mAgents.clear(); }
    /// \brief Reserves room for `count` agents.
    void reserve(std::size_t count) { mAgents.reserve(count); }

    /// \brief A new list of the agents for which getter(agent) == value, order kept;
    /// `getter` may be a member function such as &Agent::uid.
    template <typename T, typename F>
    AgentList findBy(const T& value, F getter) const;

    /// \brief The agents of `side`, order kept.
    AgentList From(const AgentSide& side) const;
    /// \brief The agents whose found() equals `found`, order kept.
    AgentList WithFound(bool found) const;
    /// \brief A copy of the agent with `uid`; with several, the first.
    /// \throws ClientException "Requested uid <uid> was not found" when there is none.
    Agent ByUid(int uid) const;
    /// \brief The first agent with `uid`, or end().
    iterator findByUid(int uid);
    const_iterator findByUid(int uid) const;
    /// \brief The first agent with exactly `nick`, or end().
    iterator findByNickname(const std::string& nick);
    const_iterator findByNickname(const std::string& nick) const;
    /// \brief The uids in list order.
    std::vector<int> toUids() const;

private:
    std::vector<Agent> mAgents;
};

template <typename T, typename F>
AgentList AgentList::findBy(const T& value, F getter) const
{
    AgentList result;
    for (const Agent& agent : mAgents) {
        if (std::invoke(getter, agent) == value) {
            result.push_back(agent);
        }
    }
    return result;
}
