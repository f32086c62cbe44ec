// Which Host headers a loopback live server answers, and the address it prints.
#include <gtest/gtest.h>

#include "sim/live/LiveAddress.h"

namespace {

TEST(LiveAddress, OnlyLoopbackNamesAndTheBoundAddressAreAllowedHosts)
{
    struct Case {
        const char* header;
        const char* bound;
        bool allowed;
    };
    const Case cases[] = {
        {"127.0.0.1:8080", "127.0.0.1", true},
        {"127.0.0.1", "127.0.0.1", true},
        {"LOCALHOST:1", "127.0.0.1", true},
        {"[::1]:8080", "127.0.0.1", true},
        {"127.1.2.3:80", "127.0.0.1", true},
        {"[0:0::1]", "::1", true},
        {"evil.example:8080", "127.0.0.1", false},
        {"127.0.0.1.evil.example", "127.0.0.1", false},
        {"localhost.evil.example", "127.0.0.1", false},
        {"10.0.0.1:8080", "127.0.0.1", false},
        {"[::1", "127.0.0.1", false},
        {"", "127.0.0.1", false},
        {":8080", "127.0.0.1", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hostHeaderAllowed(c.header, c.bound), c.allowed) << "'" << c.header << "' on " << c.bound;
    }
    EXPECT_TRUE(isLoopbackHost("127.0.0.1"));
    EXPECT_TRUE(isLoopbackHost("::1"));
    EXPECT_FALSE(isLoopbackHost("0.0.0.0"));
    EXPECT_FALSE(isLoopbackHost("::"));
}

TEST(LiveAddress, TheWildcardAddressesAreNeverPrinted)
{
    EXPECT_EQ(liveAddress("127.0.0.1", 80), "http://127.0.0.1:80/");
    EXPECT_EQ(liveAddress("::1", 80), "http://[::1]:80/");
    for (const char* wildcard : {"0.0.0.0", "::"}) {
        const std::string shown = liveAddress(wildcard, 8080);
        EXPECT_EQ(shown.find("0.0.0.0"), std::string::npos) << shown;
        EXPECT_EQ(shown.find("[::]"), std::string::npos) << shown;
        EXPECT_EQ(shown.rfind(":8080/"), shown.size() - 6) << shown;
    }
}

}  // namespace
