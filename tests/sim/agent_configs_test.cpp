#include <gtest/gtest.h>

#include "sim/AgentConfigs.h"

namespace {

TEST(AgentConfigs, AgentsOfAWildcardServerSendToLoopback)
{
    const struct {
        const char* bound;
        const char* agentsSendTo;
    } cases[] = {{"0.0.0.0", "127.0.0.1"}, {"", "127.0.0.1"}, {"::", "127.0.0.1"},
                 {"127.0.0.1", "127.0.0.1"}, {"192.168.1.20", "192.168.1.20"}, {"field-server", "field-server"}};
    const Scenario scenario = defaultScenario();
    for (const auto& c : cases) {
        const Properties p = agentSettings(Properties(), scenario, scenario.robots[0], c.bound, 20000);
        EXPECT_EQ(p.Get("SERVER_IP"), c.agentsSendTo) << "bound to '" << c.bound << "'";
    }
}

}  // namespace
