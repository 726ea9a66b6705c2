#pragma once
// The root of the platform's objects: held by std::shared_ptr, able to hand out strong and weak
// references to itself, and named the way the platform names classes.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class NSObject : public std::enable_shared_from_this<NSObject> {
public:
    NSObject() = default;
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;
    virtual ~NSObject() = default;

    // The class name without its namespace, as the platform reports it.
    std::string className() const;
    // The visible state of this object in one line for the screen printer; empty when none.
    virtual std::string stateDescription() const { return ""; }

    // A strong or weak reference to this object as T. Not usable from a constructor.
    template <class T> std::shared_ptr<T> self() { return std::dynamic_pointer_cast<T>(shared_from_this()); }
    template <class T> std::shared_ptr<const T> self() const {
        return std::dynamic_pointer_cast<const T>(shared_from_this());
    }
    template <class T> std::weak_ptr<T> weakSelf() { return self<T>(); }
};

std::string NSStringFromClass(const NSObject& object);

// Quotes a text for the screen printer: "text" with newlines shown as \n.
std::string quote(const std::string& text);
// The same, appended to `out`.
void appendQuoted(std::string& out, std::string_view text);
// An array of texts as the console prints one: ["first", "second"].
std::string quotedList(const std::vector<std::string>& texts);

} // namespace platform
