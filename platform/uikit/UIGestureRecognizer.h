#pragma once
// Gesture recognisers: a named action on a target, attached to one view. Only taps are
// recognised; a tap reaches the recognisers of the view touched and of its ancestors, nearest
// first, as long as every view on the way is visible and takes touches.

#include <functional>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/NSObject.h"

namespace platform {

class UIView;

enum class UIGestureRecognizerState { Possible, Began, Changed, Ended, Cancelled, Failed };

class UIGestureRecognizer : public NSObject {
public:
    // The callable takes the target (T&) and, if it wants it, the recogniser (UIGestureRecognizer&).
    template <class T, class F>
    UIGestureRecognizer(const std::shared_ptr<T>& target, std::string action, F callable) {
        static_assert(std::is_base_of_v<NSObject, T>, "a target is a platform object");
        target_ = std::static_pointer_cast<NSObject>(target);
        action_ = std::move(action);
        invoke_ = [callable = std::move(callable)](NSObject& t, UIGestureRecognizer& sender) {
            auto& typed = dynamic_cast<T&>(t);
            if constexpr (std::is_invocable_v<F&, T&, UIGestureRecognizer&>)
                callable(typed, sender);
            else
                callable(typed);
        };
    }

    std::shared_ptr<UIView> view() const { return view_.lock(); }
    const std::string& action() const { return action_; }
    std::shared_ptr<NSObject> target() const { return target_.lock(); }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    UIGestureRecognizerState state() const { return state_; }
    // Where the gesture happened, in `view`'s bounds coordinates (nullptr: the window's).
    CGPoint locationInView(const UIView* view) const;

    // Recognises the gesture at `windowPoint` and sends the action; false when the recogniser
    // is disabled, has no view or its target is gone.
    bool recognize(CGPoint windowPoint);

private:
    friend class UIView;
    std::weak_ptr<UIView> view_;
    std::weak_ptr<NSObject> target_;
    std::string action_;
    std::function<void(NSObject&, UIGestureRecognizer&)> invoke_;
    bool enabled_ = true;
    UIGestureRecognizerState state_ = UIGestureRecognizerState::Possible;
    CGPoint location_;
};

class UITapGestureRecognizer : public UIGestureRecognizer {
public:
    using UIGestureRecognizer::UIGestureRecognizer;
    long numberOfTapsRequired = 1;
};

// A person's tap on `view` (at its centre): the first enabled tap recogniser of the view or its
// nearest ancestor takes it. False when the view or an ancestor is hidden, transparent or takes
// no touches, or when no recogniser is found.
bool userTapView(UIView& view);

} // namespace platform
