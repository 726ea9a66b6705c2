#include "platform/uikit/UIScrollView.h"

#include <algorithm>
#include <cstdio>

namespace platform {

void UIScrollView::setContentOffset(CGPoint offset) {
    CGRect b = bounds();
    b.origin = offset;
    setBounds(b);
}

bool UIScrollView::userScrollTo(CGPoint offset) {
    if (!scrollEnabled_ || isHiddenOnScreen() || !isUserInteractionEnabled() || alpha() < 0.01) return false;
    const CGRect b = bounds();
    auto clampAxis = [](CGFloat value, CGFloat content, CGFloat visible) {
        return std::clamp(value, 0.0, std::max(0.0, content - visible));
    };
    setContentOffset({clampAxis(offset.x, contentSize_.width, b.width()),
                      clampAxis(offset.y, contentSize_.height, b.height())});
    return true;
}

void UIScrollView::touchesBegan(const UITouch& touch) {
    lastTouch_ = touch.locationInWindow;
    UIView::touchesBegan(touch);
}

void UIScrollView::touchesMoved(const UITouch& touch) {
    const CGPoint offset = contentOffset();
    userScrollTo({offset.x - (touch.locationInWindow.x - lastTouch_.x),
                  offset.y - (touch.locationInWindow.y - lastTouch_.y)});
    lastTouch_ = touch.locationInWindow;
}

std::string UIScrollView::stateDescription() const {
    auto number = [](CGFloat v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", v);
        std::string s = text;
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.') s.pop_back();
        return s;
    };
    std::string out = "content=" + number(contentSize_.width) + "x" + number(contentSize_.height) +
                      " offset=" + number(contentOffset().x) + "," + number(contentOffset().y);
    if (auto base = UIView::stateDescription(); !base.empty()) out += " " + base;
    return out;
}

} // namespace platform
