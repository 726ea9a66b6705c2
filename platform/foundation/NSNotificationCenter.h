#pragma once
// The default notification centre: observers by name, synchronous posts with user info. An
// observer is held weakly, so an observer that has been destroyed is never called.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/foundation/Geometry.h"

namespace platform {

using NSNotificationName = std::string;
using UserInfoValue = std::variant<std::string, double, long long, bool, CGRect>;
using UserInfo = std::map<std::string, UserInfoValue>;

struct NSNotification {
    NSNotificationName name;
    std::shared_ptr<void> object;
    UserInfo userInfo;

    // The user-info value under `key` when it is a string; none otherwise.
    std::optional<std::string> stringForKey(const std::string& key) const;
    std::optional<double> numberForKey(const std::string& key) const;
    std::optional<CGRect> rectForKey(const std::string& key) const;
};

class NSNotificationCenter {
public:
    using Handler = std::function<void(const NSNotification&)>;

    static NSNotificationCenter& defaultCenter();

    // Registers `handler` for `name` (empty name: every notification) on behalf of `observer`.
    // Registering twice delivers twice, as the platform does.
    void addObserver(const std::shared_ptr<const void>& observer, const NSNotificationName& name,
                     Handler handler);
    // Removes every registration of `observer` (or those for `name`). Safe from a destructor.
    void removeObserver(const void* observer);
    void removeObserver(const void* observer, const NSNotificationName& name);

    void postNotificationName(const NSNotificationName& name, std::shared_ptr<void> object = nullptr,
                              UserInfo userInfo = {});
    void postNotification(const NSNotification& notification);

    // How many live registrations `observer` holds for `name`.
    std::size_t registrationCount(const void* observer, const NSNotificationName& name) const;
    // Drops every registration (tests).
    void reset();

private:
    struct Registration {
        std::uint64_t id;
        const void* key;
        std::weak_ptr<const void> observer;
        NSNotificationName name;
        Handler handler;
    };
    std::vector<Registration> registrations_;
    std::uint64_t nextId_ = 1;
};

} // namespace platform
