#include "platform/internet_state.h"

#include "tests/support/scoped_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

using platform::HasDefaultRoute;

constexpr const char* kIpv4Header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\t"
                                    "Mask\t\tMTU\tWindow\tIRTT\n";

std::string Ipv4(const std::string& rows) {
    return kIpv4Header + rows;
}

bool UpExceptWlan0(const std::string& name) {
    return name != "wlan0";
}

TEST(InternetStateTest, DefaultRouteThroughAnInterfaceThatIsUp) {
    const std::string zero32(32, '0');
    struct Case {
        const char* what;
        std::string ipv4;
        std::string ipv6;
        bool online;
    };
    const Case cases[] = {
        {"IPv4 default via eth0",
         Ipv4("eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"), "", true},
        {"IPv4 default via an interface that is down",
         Ipv4("wlan0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"), "", false},
        {"only the local network",
         Ipv4("eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"), "", false},
        {"default route not up",
         Ipv4("eth0\t00000000\t010200C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n"), "", false},
        {"reject default route",
         Ipv4("eth0\t00000000\t00000000\t0201\t0\t0\t0\t00000000\t0\t0\t0\n"), "", false},
        {"default destination with a mask is no default",
         Ipv4("eth0\t00000000\t010200C0\t0003\t0\t0\t0\t000000FF\t0\t0\t0\n"), "", false},
        {"IPv6 default via eth0", Ipv4(""),
         zero32 + " 00 " + zero32 +
             " 00 fd000000000000000000000000000001 00000400 00000002 "
             "00000000 00000003     eth0\n",
         true},
        {"IPv6 unreachable default on the loopback", Ipv4(""),
         zero32 + " 00 " + zero32 + " 00 " + zero32 + " ffffffff 00000001 00000000 00200200 lo\n",
         false},
        {"IPv6 prefix route", Ipv4(""),
         "fd000000000000000000000000000000 40 " + zero32 + " 00 " + zero32 +
             " 00000100 00000001 00000000 00000001     eth0\n",
         false},
        {"IPv6 default via an interface that is down", Ipv4(""),
         zero32 + " 00 " + zero32 + " 00 " + zero32 +
             " 00000400 00000002 00000000 00000003 wlan0\n",
         false},
        {"unreadable tables", "", "", false},
        {"garbage", "x\ny z\n\t\t\n00000000 zz 00000000 0003 0 0 0 00000000\n",
         "short line\n" + zero32 + " 0x 00 00 00 00 00 00 zz eth0\n", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasDefaultRoute(c.ipv4, c.ipv6, UpExceptWlan0), c.online) << c.what;
}

TEST(InternetStateTest, LoopbackAndUnknownInterfacesAreNeverUp) {
    EXPECT_FALSE(platform::InterfaceIsUp("lo"));
    EXPECT_FALSE(platform::InterfaceIsUp(""));
    EXPECT_FALSE(platform::InterfaceIsUp("no-such-if0"));
    EXPECT_FALSE(platform::InterfaceIsUp(std::string(64, 'e')));
}

// QUILLON_ONLINE set to `value` (removed for null) while it lives.
struct ScopedOnline : quillon::test::ScopedEnv {
    explicit ScopedOnline(const char* value)
        : ScopedEnv("QUILLON_ONLINE",
                    value != nullptr ? std::optional<std::string>(value) : std::nullopt) {}
};

TEST(InternetStateTest, EnvironmentForcesTheAnswer) {
    {
        ScopedOnline online("1");
        EXPECT_TRUE(platform::IsInternetConnected());
    }
    {
        ScopedOnline offline("0");
        EXPECT_FALSE(platform::IsInternetConnected());
    }
    // Any other value leaves the answer to the machine's routes; it must equal the unforced one.
    bool unforced = false;
    {
        ScopedOnline none(nullptr);
        unforced = platform::IsInternetConnected();
    }
    ScopedOnline other("yes");
    EXPECT_EQ(platform::IsInternetConnected(), unforced);
}

} // namespace
