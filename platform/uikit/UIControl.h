#pragma once
// Controls and target-action. A target is held weakly and each action keeps its name beside the
// callable, so that the wiring of a screen can be listed and checked.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/uikit/UIView.h"

namespace platform {

using UIControlEvents = std::uint64_t;
namespace UIControlEvent {
inline constexpr UIControlEvents TouchDown = 1 << 0;
inline constexpr UIControlEvents TouchUpInside = 1 << 6;
inline constexpr UIControlEvents TouchUpOutside = 1 << 7;
inline constexpr UIControlEvents ValueChanged = 1 << 12;
inline constexpr UIControlEvents PrimaryActionTriggered = 1 << 13;
inline constexpr UIControlEvents EditingChanged = 1 << 17;
inline constexpr UIControlEvents AllEvents = 0xFFFFFFFF;
} // namespace UIControlEvent

using UIControlState = unsigned;
namespace UIControlStates {
inline constexpr UIControlState Normal = 0;
inline constexpr UIControlState Highlighted = 1 << 0;
inline constexpr UIControlState Disabled = 1 << 1;
inline constexpr UIControlState Selected = 1 << 2;
} // namespace UIControlStates

class UIControl;

// One registration: who receives the action, under which name, for which events.
struct TargetAction {
    std::weak_ptr<NSObject> target;
    std::string action;
    UIControlEvents events = 0;
    // Runs the action on the target (which the caller has locked) with the sender.
    std::function<void(NSObject& target, NSObject& sender)> invoke;
};

// Shared by controls and bar button items: the registrations and their delivery.
class TargetActionList {
public:
    template <class T, class F>
    void add(const std::shared_ptr<T>& target, std::string action, F callable, UIControlEvents events) {
        static_assert(std::is_base_of_v<NSObject, T>, "a target is a platform object");
        TargetAction entry;
        entry.target = std::static_pointer_cast<NSObject>(target);
        entry.action = std::move(action);
        entry.events = events;
        entry.invoke = [callable = std::move(callable)](NSObject& t, NSObject& sender) {
            auto& typed = dynamic_cast<T&>(t);
            if constexpr (std::is_invocable_v<F&, T&, NSObject&>)
                callable(typed, sender);
            else
                callable(typed);
        };
        entries_.push_back(std::move(entry));
    }
    // Removes the registrations of `target` (all targets when null) for `action` (all when empty).
    void remove(const NSObject* target, const std::string& action, UIControlEvents events);
    // Sends every action registered for any of `events` whose target is still alive.
    void send(NSObject& sender, UIControlEvents events) const;
    const std::vector<TargetAction>& entries() const { return entries_; }

private:
    std::vector<TargetAction> entries_;
};

class UIControl : public UIView {
public:
    // The callable takes the target (T&) and, if it wants it, the sender (NSObject&).
    template <class T, class F>
    void addTarget(const std::shared_ptr<T>& target, std::string action, F callable, UIControlEvents events) {
        actions_.add(target, std::move(action), std::move(callable), events);
    }
    template <class T, class F>
    void addTarget(const std::weak_ptr<T>& target, std::string action, F callable, UIControlEvents events) {
        if (auto strong = target.lock()) addTarget(strong, std::move(action), std::move(callable), events);
    }
    void removeTarget_action_forControlEvents(const NSObject* target, const std::string& action,
                                              UIControlEvents events) {
        actions_.remove(target, action, events);
    }
    const std::vector<TargetAction>& targetActions() const { return actions_.entries(); }
    // The names of the actions sent to `target` for `event`.
    std::vector<std::string> actionsForTarget_forControlEvent(const NSObject* target,
                                                              UIControlEvents event) const;

    void sendActionsForControlEvents(UIControlEvents events);

    // A user's tap: ignored (false) when the control is disabled, hidden, transparent or does not
    // take touches; otherwise sends touch-up-inside and primary-action-triggered.
    bool tap();
    bool simulateTap() { return tap(); }

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { selected_ = selected; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
    // Disabled, selected or highlighted, as flags.
    UIControlState state() const;

    std::string stateDescription() const override;

    // A person's finger. A disabled control takes it and does nothing with it: nothing behind
    // the control gets it either. On an enabled one, down highlights (the pressed look) and sends
    // touch-down; moving out and back in takes the highlight away and gives it back; lifting
    // inside sends touch-up-inside, outside touch-up-outside.
    void touchesBegan(const UITouch& touch) override;
    void touchesMoved(const UITouch& touch) override;
    void touchesEnded(const UITouch& touch) override;
    void touchesCancelled(const UITouch& touch) override;

protected:
    // Whether a finger at `point` (bounds coordinates) still counts as on the control: the
    // platform allows some distance outside before it lets go of the highlight.
    bool touchIsInside(CGPoint point) const;

private:
    TargetActionList actions_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
};

} // namespace platform
