#include "platform/uikit/UIControl.h"

#include <algorithm>

namespace platform {

void TargetActionList::remove(const NSObject* target, const std::string& action, UIControlEvents events) {
    std::erase_if(entries_, [&](const TargetAction& e) {
        auto t = e.target.lock();
        bool sameTarget = !target || t.get() == target || (!t && e.target.expired() && !target);
        return sameTarget && (action.empty() || e.action == action) && (e.events & events);
    });
}

void TargetActionList::send(NSObject& sender, UIControlEvents events) const {
    // An action may change the list (or drop the sender): deliver to a snapshot.
    auto snapshot = entries_;
    for (const auto& entry : snapshot) {
        if (!(entry.events & events)) continue;
        if (auto target = entry.target.lock()) entry.invoke(*target, sender);
    }
}

std::vector<std::string> UIControl::actionsForTarget_forControlEvent(const NSObject* target,
                                                                     UIControlEvents event) const {
    std::vector<std::string> names;
    for (const auto& e : actions_.entries())
        if (e.target.lock().get() == target && (e.events & event)) names.push_back(e.action);
    return names;
}

void UIControl::sendActionsForControlEvents(UIControlEvents events) {
    auto keep = self<UIControl>();
    actions_.send(*keep, events);
}

bool UIControl::tap() {
    if (!enabled_ || isHiddenOnScreen() || alpha() < 0.01 || !isUserInteractionEnabled()) return false;
    sendActionsForControlEvents(UIControlEvent::TouchDown);
    sendActionsForControlEvents(UIControlEvent::TouchUpInside | UIControlEvent::PrimaryActionTriggered);
    return true;
}

bool UIControl::touchIsInside(CGPoint point) const {
    constexpr CGFloat slack = 70;
    const CGRect b = bounds();
    return point.x >= b.minX() - slack && point.x <= b.maxX() + slack && point.y >= b.minY() - slack &&
           point.y <= b.maxY() + slack;
}

void UIControl::touchesBegan(const UITouch&) {
    if (!enabled_) return;
    auto keep = self<UIControl>();
    setHighlighted(true);
    setNeedsDisplay();
    sendActionsForControlEvents(UIControlEvent::TouchDown);
}

void UIControl::touchesMoved(const UITouch& touch) {
    if (!enabled_) return;
    // A finger that wandered off is dragging: the control lets go of it for good.
    const bool inside = !touch.movedPastSlop && touchIsInside(touch.locationInView(this));
    if (inside != highlighted_) {
        setHighlighted(inside);
        setNeedsDisplay();
    }
}

void UIControl::touchesEnded(const UITouch& touch) {
    auto keep = self<UIControl>();
    const bool wasHighlighted = highlighted_;
    setHighlighted(false);
    setNeedsDisplay();
    if (!enabled_) return;
    const bool inside = touchIsInside(touch.locationInView(this));
    if (wasHighlighted && inside && !touch.movedPastSlop)
        sendActionsForControlEvents(UIControlEvent::TouchUpInside | UIControlEvent::PrimaryActionTriggered);
    else if (!inside)
        sendActionsForControlEvents(UIControlEvent::TouchUpOutside);
}

void UIControl::touchesCancelled(const UITouch&) {
    setHighlighted(false);
    setNeedsDisplay();
}

UIControlState UIControl::state() const {
    UIControlState s = UIControlStates::Normal;
    if (!enabled_) s |= UIControlStates::Disabled;
    if (selected_) s |= UIControlStates::Selected;
    if (highlighted_) s |= UIControlStates::Highlighted;
    return s;
}

std::string UIControl::stateDescription() const {
    std::string out = UIView::stateDescription();
    auto add = [&](const std::string& word) { out += (out.empty() ? "" : " ") + word; };
    if (!enabled_) add("disabled");
    if (selected_) add("selected");
    return out;
}

} // namespace platform
