#include "platform/uikit/UIGestureRecognizer.h"

#include "platform/uikit/UIView.h"

namespace platform {

CGPoint UIGestureRecognizer::locationInView(const UIView* view) const {
    if (!view) return location_;
    return view->convertPoint_fromView(location_, nullptr);
}

bool UIGestureRecognizer::recognize(CGPoint windowPoint) {
    auto keep = self<UIGestureRecognizer>();
    auto target = target_.lock();
    if (!enabled_ || view_.expired() || !target) return false;
    location_ = windowPoint;
    state_ = UIGestureRecognizerState::Ended;
    invoke_(*target, *this);
    state_ = UIGestureRecognizerState::Possible;
    return true;
}

bool userTapView(UIView& view) {
    for (auto v = view.self<UIView>(); v; v = v->superview())
        if (v->isHidden() || v->alpha() < 0.01 || !v->isUserInteractionEnabled()) return false;
    const CGRect bounds = view.bounds();
    const CGPoint point = view.convertPoint_toView({bounds.midX(), bounds.midY()}, nullptr);
    for (auto v = view.self<UIView>(); v; v = v->superview())
        for (const auto& recognizer : v->gestureRecognizers())
            if (std::dynamic_pointer_cast<UITapGestureRecognizer>(recognizer) && recognizer->recognize(point))
                return true;
    return false;
}

} // namespace platform
