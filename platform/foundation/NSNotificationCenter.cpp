#include "platform/foundation/NSNotificationCenter.h"

#include <algorithm>

namespace platform {

std::optional<std::string> NSNotification::stringForKey(const std::string& key) const {
    auto it = userInfo.find(key);
    if (it == userInfo.end()) return std::nullopt;
    if (auto s = std::get_if<std::string>(&it->second)) return *s;
    return std::nullopt;
}

std::optional<double> NSNotification::numberForKey(const std::string& key) const {
    auto it = userInfo.find(key);
    if (it == userInfo.end()) return std::nullopt;
    if (auto d = std::get_if<double>(&it->second)) return *d;
    if (auto i = std::get_if<long long>(&it->second)) return static_cast<double>(*i);
    if (auto b = std::get_if<bool>(&it->second)) return *b ? 1.0 : 0.0;
    return std::nullopt;
}

std::optional<CGRect> NSNotification::rectForKey(const std::string& key) const {
    auto it = userInfo.find(key);
    if (it == userInfo.end()) return std::nullopt;
    if (auto r = std::get_if<CGRect>(&it->second)) return *r;
    return std::nullopt;
}

NSNotificationCenter& NSNotificationCenter::defaultCenter() {
    // Never destroyed: observers that go away at exit still unregister from it.
    static auto* center = new NSNotificationCenter;
    return *center;
}

void NSNotificationCenter::addObserver(const std::shared_ptr<const void>& observer,
                                       const NSNotificationName& name, Handler handler) {
    registrations_.push_back(Registration{nextId_++, observer.get(), observer, name, std::move(handler)});
}

void NSNotificationCenter::removeObserver(const void* observer) {
    std::erase_if(registrations_, [&](const Registration& r) { return r.key == observer; });
}

void NSNotificationCenter::removeObserver(const void* observer, const NSNotificationName& name) {
    std::erase_if(registrations_, [&](const Registration& r) { return r.key == observer && r.name == name; });
}

void NSNotificationCenter::postNotificationName(const NSNotificationName& name, std::shared_ptr<void> object,
                                                UserInfo userInfo) {
    postNotification(NSNotification{name, std::move(object), std::move(userInfo)});
}

void NSNotificationCenter::postNotification(const NSNotification& notification) {
    std::erase_if(registrations_, [](const Registration& r) { return r.observer.expired(); });
    // Handlers may add or remove registrations: deliver to a snapshot, re-checking each one.
    std::vector<std::uint64_t> targets;
    for (const auto& r : registrations_)
        if (r.name.empty() || r.name == notification.name) targets.push_back(r.id);
    for (auto id : targets) {
        auto it = std::find_if(registrations_.begin(), registrations_.end(),
                               [id](const Registration& r) { return r.id == id; });
        if (it == registrations_.end()) continue;
        auto alive = it->observer.lock();
        if (!alive) continue;
        Handler handler = it->handler;
        handler(notification);
    }
}

std::size_t NSNotificationCenter::registrationCount(const void* observer,
                                                    const NSNotificationName& name) const {
    return std::count_if(registrations_.begin(), registrations_.end(), [&](const Registration& r) {
        return r.key == observer && r.name == name && !r.observer.expired();
    });
}

void NSNotificationCenter::reset() {
    registrations_.clear();
}

} // namespace platform
