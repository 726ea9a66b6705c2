#include <cstring>

#include "platform/foundation/Sandbox.h"
#include "platform/systemconfiguration/SCNetworkReachability.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using quillora::test::PlatformTest;

class ReachabilityTest : public PlatformTest {
protected:
    static sockaddr_in zeroAddress() {
        sockaddr_in a;
        std::memset(&a, 0, sizeof a);
        a.sin_family = AF_INET;
        return a;
    }
};

TEST_F(ReachabilityTest, DefaultRouteMustBeUpAndLeaveThroughARealInterface) {
    const std::string header =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    EXPECT_TRUE(
        routeTableHasDefaultRoute(header + "eth0\t00000000\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"));
    EXPECT_FALSE(
        routeTableHasDefaultRoute(header + "eth0\t0000A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"))
        << "a local network route is not a way out";
    EXPECT_FALSE(
        routeTableHasDefaultRoute(header + "eth0\t00000000\t0100A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n"))
        << "a default route that is down";
    EXPECT_FALSE(routeTableHasDefaultRoute(""));
    EXPECT_FALSE(routeTableHasDefaultRoute(header + "garbage line\n"));
    EXPECT_EQ(hostReachabilityFlags((home / "no-route-table").string()), 0u);
}

TEST_F(ReachabilityTest, InjectedFlagsAndFailuresReachTheCallerAndResetBetweenTests) {
    const sockaddr_in zero = zeroAddress();
    auto target = SCNetworkReachabilityCreateWithAddress(nullptr, reinterpret_cast<const sockaddr*>(&zero));
    ASSERT_TRUE(target);
    EXPECT_FALSE(SCNetworkReachabilityCreateWithAddress(nullptr, nullptr));

    setReachabilityOverride(
        {kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsConnectionRequired});
    SCNetworkReachabilityFlags flags = 0;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &flags));
    EXPECT_EQ(flags, 6u);

    setOffline();
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &flags));
    EXPECT_EQ(flags, 0u);

    setReachabilityOverride({std::nullopt, false, true});
    EXPECT_FALSE(SCNetworkReachabilityGetFlags(target, &flags));
    setReachabilityOverride({std::nullopt, true, false});
    EXPECT_FALSE(SCNetworkReachabilityCreateWithAddress(nullptr, reinterpret_cast<const sockaddr*>(&zero)));

    resetSharedInstances();
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &flags));
    EXPECT_EQ(flags & ~kSCNetworkReachabilityFlagsReachable, 0u) << "the host never needs a connection first";
}
