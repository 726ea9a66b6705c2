#pragma once
// Scroll views: content larger than the view, shown through a window whose origin is the content
// offset (the bounds origin), so that the subviews' frames stay in content coordinates.

#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UIView.h"

namespace platform {

class UIScrollView : public UIView {
public:
    UIScrollView() { setClipsToBounds(true); }
    explicit UIScrollView(const CGRect& frame) : UIView(frame) { setClipsToBounds(true); }

    CGSize contentSize() const { return contentSize_; }
    void setContentSize(CGSize size) { contentSize_ = size; }
    CGPoint contentOffset() const { return bounds().origin; }
    void setContentOffset(CGPoint offset);
    void setContentOffset_animated(CGPoint offset, bool) { setContentOffset(offset); }
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
    bool showsHorizontalScrollIndicator = true;
    bool showsVerticalScrollIndicator = true;

    // A person's drag: the offset moves to `offset`, held within the content (a content smaller
    // than the view does not scroll along that axis). False when the view takes no touches or
    // does not scroll.
    bool userScrollTo(CGPoint offset);

    // A finger dragged in the window moves the content with it.
    void touchesBegan(const UITouch& touch) override;
    void touchesMoved(const UITouch& touch) override;

    std::string stateDescription() const override;

private:
    CGPoint lastTouch_;
    CGSize contentSize_;
    bool scrollEnabled_ = true;
};

} // namespace platform
