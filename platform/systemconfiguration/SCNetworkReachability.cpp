#include "platform/systemconfiguration/SCNetworkReachability.h"

#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include <ifaddrs.h>
#include <net/if.h>

#include "platform/foundation/Sandbox.h"

namespace platform {

namespace {

struct OverrideState {
    std::mutex mutex;
    ReachabilityOverride value;
    OverrideState() {
        registerSharedInstanceReset([this] {
            std::lock_guard lock(mutex);
            value = {};
        });
    }
};

OverrideState& overrideState() {
    static OverrideState state;
    return state;
}

ReachabilityOverride currentOverride() {
    auto& s = overrideState();
    std::lock_guard lock(s.mutex);
    return s.value;
}

bool hasUpInterface() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool up = false;
    for (ifaddrs* i = list; i && !up; i = i->ifa_next) {
        if (!i->ifa_addr) continue;
        const auto family = i->ifa_addr->sa_family;
        up = (family == AF_INET || family == AF_INET6) && (i->ifa_flags & IFF_UP) &&
             (i->ifa_flags & IFF_RUNNING) && !(i->ifa_flags & IFF_LOOPBACK);
    }
    freeifaddrs(list);
    return up;
}

} // namespace

bool routeTableHasDefaultRoute(const std::string& contents) {
    constexpr unsigned kRouteUp = 0x1;
    std::istringstream in(contents);
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags, refcnt, use, metric, mask;
        if (!(fields >> iface >> destination >> gateway >> flags >> refcnt >> use >> metric >> mask))
            continue;
        unsigned long flagBits = 0;
        try {
            flagBits = std::stoul(flags, nullptr, 16);
        } catch (...) {
            continue;
        }
        if (destination == "00000000" && mask == "00000000" && (flagBits & kRouteUp) && iface != "lo")
            return true;
    }
    return false;
}

SCNetworkReachabilityFlags hostReachabilityFlags(const std::string& routeTable) {
    std::ifstream file(routeTable);
    std::stringstream contents;
    contents << file.rdbuf();
    if (!routeTableHasDefaultRoute(contents.str()) || !hasUpInterface()) return 0;
    return kSCNetworkReachabilityFlagsReachable;
}

SCNetworkReachabilityRef SCNetworkReachabilityCreateWithAddress(const void*, const sockaddr* address) {
    if (!address || address->sa_family != AF_INET || currentOverride().createFails) return nullptr;
    sockaddr_in in{};
    std::memcpy(&in, address, sizeof in);
    return std::make_shared<SCNetworkReachability>(in);
}

bool SCNetworkReachabilityGetFlags(const SCNetworkReachabilityRef& target,
                                   SCNetworkReachabilityFlags* flags) {
    const auto o = currentOverride();
    if (!target || !flags || o.getFlagsFails) return false;
    *flags = o.flags ? *o.flags : hostReachabilityFlags();
    return true;
}

void setReachabilityOverride(ReachabilityOverride override) {
    auto& s = overrideState();
    std::lock_guard lock(s.mutex);
    s.value = override;
}

void setOffline() {
    setReachabilityOverride({0, false, false});
}

} // namespace platform
