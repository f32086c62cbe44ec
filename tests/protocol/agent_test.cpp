#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "common/ClientException.h"
#include "protocol/Agent.h"

namespace {

agentVector at(double length, double angle, int orientation)
{
    agentVector v;
    v.position = vector_t{length, angle};
    v.orientation = orientation;
    return v;
}

std::string exceptionText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ClientException& e) {
        return e.what();
    }
    return "no exception";
}

AgentList sample()
{
    AgentList list;
    list.push_back(Agent(side_TEAMMATE, 2, "r2", at(100, 0.1, 0)));
    list.push_back(Agent(side_OPPONENT, 5, "o5"));
    list.push_back(Agent(side_TEAMMATE, 3, "r3"));
    list.push_back(Agent(side_OPPONENT, 6, "o6", at(0, 0, 0)));
    return list;
}

TEST(Agent, DefaultIsUnfoundTeammateWithUidMinusOne)
{
    Agent agent;
    EXPECT_EQ(agent.uid(), -1);
    EXPECT_EQ(agent.side(), side_TEAMMATE);
    EXPECT_EQ(agent.nickname(), "");
    EXPECT_FALSE(agent.found());
    EXPECT_EQ(exceptionText([&] { (void)agent.position(); }), "Position request on not found client");
    const Agent& constAgent = agent;
    EXPECT_EQ(exceptionText([&] { (void)constAgent.position(); }), "Position request on not found client");
}

TEST(Agent, AllZeroPositionStillCountsAsFound)
{
    const Agent agent(side_OPPONENT, 4, "o4", agentVector());
    EXPECT_TRUE(agent.found());
    EXPECT_EQ(agent.position().position.length, 0.0);
}

TEST(Agent, ComparisonsLookAtUidOnly)
{
    const Agent mate(side_TEAMMATE, 3, "a");
    const Agent opponent(side_OPPONENT, 3, "b", at(1, 1, 1));
    EXPECT_TRUE(mate == opponent);
    EXPECT_FALSE(mate != opponent);
    EXPECT_TRUE(Agent(side_OPPONENT, 2, "z") < mate);
}

TEST(Agent, PrintsFoundAndUnfoundForms)
{
    std::ostringstream found;
    found << Agent(side_TEAMMATE, 3, "r3", at(850, 0.4, 1));
    EXPECT_EQ(found.str(), "Agent uid=3  nick=r3 found=yes teammate(850mm, 0.4º, 1orient.)");
    std::ostringstream unfound;
    unfound << Agent(side_OPPONENT, 5, "o5");
    EXPECT_EQ(unfound.str(), "Agent uid=5  nick=o5 found=no opponent");
}

TEST(AgentList, EmptyListLookups)
{
    AgentList list;
    EXPECT_TRUE(list.From(side_TEAMMATE).empty());
    EXPECT_TRUE(list.WithFound(true).empty());
    EXPECT_TRUE(list.findByUid(1) == list.end());
    EXPECT_TRUE(list.findByNickname("r1") == list.end());
    EXPECT_TRUE(list.toUids().empty());
    EXPECT_EQ(exceptionText([&] { (void)list.ByUid(7); }), "Requested uid 7 was not found");
}

TEST(AgentList, FiltersKeepOrder)
{
    const AgentList list = sample();
    EXPECT_EQ(list.From(side_TEAMMATE).toUids(), (std::vector<int>{2, 3}));
    EXPECT_EQ(list.From(side_OPPONENT).toUids(), (std::vector<int>{5, 6}));
    EXPECT_EQ(list.WithFound(false).toUids(), (std::vector<int>{5, 3}));
    EXPECT_EQ(list.WithFound(true).toUids(), (std::vector<int>{2, 6}));
    EXPECT_EQ(list.toUids(), (std::vector<int>{2, 5, 3, 6}));
}

TEST(AgentList, LookupsByUidAndNickname)
{
    AgentList list = sample();
    EXPECT_EQ(list.ByUid(5).nickname(), "o5");
    EXPECT_EQ(list.findByUid(3)->nickname(), "r3");
    EXPECT_EQ(list.findByNickname("o6")->uid(), 6);
    EXPECT_TRUE(list.findByNickname("O6") == list.end());
    EXPECT_EQ(exceptionText([&] { (void)list.ByUid(-4); }), "Requested uid -4 was not found");
}

TEST(AgentList, DuplicateUidAnswersWithTheFirst)
{
    AgentList list;
    list.push_back(Agent(side_TEAMMATE, 4, "first"));
    list.push_back(Agent(side_OPPONENT, 4, "second", at(1, 2, 3)));
    EXPECT_EQ(list.ByUid(4).nickname(), "first");
    EXPECT_EQ(list.findByUid(4)->nickname(), "first");
}

TEST(AgentList, EraseReturnsTheFollowingAgent)
{
    AgentList list = sample();
    const AgentList::iterator next = list.erase(list.findByUid(5));
    EXPECT_EQ(next->uid(), 3);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1].uid(), 3);
}

}  // namespace
