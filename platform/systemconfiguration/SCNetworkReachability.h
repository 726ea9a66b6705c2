#pragma once
// Reachability of an address, judged from the host: reachable when an interface other than
// loopback is up and the routing table has a default route. Tests and the program's --offline
// inject the flags (or a failure) instead.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <netinet/in.h>
#include <sys/socket.h>

namespace platform {

using SCNetworkReachabilityFlags = std::uint32_t;
enum : SCNetworkReachabilityFlags {
    kSCNetworkReachabilityFlagsTransientConnection = 1u << 0,
    kSCNetworkReachabilityFlagsReachable = 1u << 1,
    kSCNetworkReachabilityFlagsConnectionRequired = 1u << 2,
    kSCNetworkReachabilityFlagsIsLocalAddress = 1u << 16,
    kSCNetworkReachabilityFlagsIsDirect = 1u << 17,
};

class SCNetworkReachability {
public:
    explicit SCNetworkReachability(const sockaddr_in& address) : address_(address) {}
    const sockaddr_in& address() const { return address_; }

private:
    sockaddr_in address_;
};

using SCNetworkReachabilityRef = std::shared_ptr<SCNetworkReachability>;

// Null when the address is missing or not IPv4 (or when a test says creation fails).
SCNetworkReachabilityRef SCNetworkReachabilityCreateWithAddress(const void* allocator,
                                                                const sockaddr* address);
// False when the flags cannot be read.
bool SCNetworkReachabilityGetFlags(const SCNetworkReachabilityRef& target, SCNetworkReachabilityFlags* flags);

// Injection for tests and the program.
struct ReachabilityOverride {
    std::optional<SCNetworkReachabilityFlags> flags; // instead of the host's
    bool createFails = false;
    bool getFlagsFails = false;
};
void setReachabilityOverride(ReachabilityOverride override);
// The program's --offline: no flags at all.
void setOffline();

// The host's flags: from /proc/net/route (or `routeTable`) and the interface list.
SCNetworkReachabilityFlags hostReachabilityFlags(const std::string& routeTable = "/proc/net/route");
// Whether a routing table in the /proc/net/route layout holds a default route that is up.
bool routeTableHasDefaultRoute(const std::string& contents);

} // namespace platform
