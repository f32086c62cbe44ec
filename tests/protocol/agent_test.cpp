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

std::string thrownText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ClientException& e) {
        return e.what();
    }
    return "no exception";
}

TEST(Agent, DefaultIsUnfoundAndRefusesItsPosition)
{
    const Agent agent;
    EXPECT_EQ(agent.uid(), -1);
    EXPECT_FALSE(agent.found());
    EXPECT_EQ(thrownText([&] { (void)agent.position(); }), "Position request on not found client");
    EXPECT_TRUE(Agent(side_OPPONENT, 4, "o4", agentVector()).found());
    EXPECT_TRUE(Agent(side_TEAMMATE, 3, "a") == Agent(side_OPPONENT, 3, "b", at(1, 1, 1)));
}

TEST(Agent, PrintsFoundAndUnfoundForms)
{
    std::ostringstream out;
    out << Agent(side_TEAMMATE, 3, "r3", at(850, 0.4, 1)) << '|' << Agent(side_OPPONENT, 5, "o5");
    EXPECT_EQ(out.str(), "Agent uid=3  nick=r3 found=yes teammate(850mm, 0.4º, 1orient.)|"
                         "Agent uid=5  nick=o5 found=no opponent");
}

TEST(AgentList, EmptyListLookups)
{
    const AgentList list;
    EXPECT_TRUE(list.From(side_TEAMMATE).empty());
    EXPECT_TRUE(list.WithFound(true).empty());
    EXPECT_TRUE(list.findByUid(1) == list.end());
    EXPECT_TRUE(list.findByNickname("r1") == list.end());
    EXPECT_TRUE(list.toUids().empty());
    EXPECT_EQ(thrownText([&] { (void)list.ByUid(7); }), "Requested uid 7 was not found");
}

TEST(AgentList, FiltersAndLookupsKeepOrderAndTakeTheFirst)
{
    AgentList list;
    list.push_back(Agent(side_TEAMMATE, 2, "r2", at(100, 0.1, 0)));
    list.push_back(Agent(side_OPPONENT, 5, "o5"));
    list.push_back(Agent(side_TEAMMATE, 3, "r3"));
    list.push_back(Agent(side_OPPONENT, 5, "dup", at(0, 0, 0)));
    EXPECT_EQ(list.From(side_OPPONENT).toUids(), (std::vector<int>{5, 5}));
    EXPECT_EQ(list.WithFound(false).toUids(), (std::vector<int>{5, 3}));
    EXPECT_EQ(list.ByUid(5).nickname(), "o5");
    EXPECT_EQ(list.findByNickname("dup")->found(), true);
    EXPECT_TRUE(list.findByNickname("R3") == list.end());
    EXPECT_EQ(list.erase(list.findByUid(5))->uid(), 3);
    EXPECT_EQ(list.toUids(), (std::vector<int>{2, 3, 5}));
}

}  // namespace
