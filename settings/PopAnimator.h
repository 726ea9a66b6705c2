#pragma once
// The zoom between a card and its detail screen: the detail grows out of the card's frame with a
// spring when it is presented and shrinks back into it when it is dismissed.

#include <functional>
#include <memory>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIViewControllerTransitioning.h"

namespace quillora {

class PopAnimator : public platform::NSObject, public platform::UIViewControllerAnimatedTransitioning {
public:
    const double duration = 1.0;
    // True while a presentation is animated, false while a dismissal is.
    bool presenting = true;
    // The card's frame in window coordinates.
    platform::CGRect originFrame = platform::CGRectZero;
    // Runs at the end of every dismissal.
    std::function<void()> dismissCompletion;

    double
    transitionDuration(const std::shared_ptr<platform::UIViewControllerContextTransitioning>&) override {
        return duration;
    }
    // A context without its container or the moving view, or a view without a size, completes at
    // once without animation.
    void animateTransition(
        const std::shared_ptr<platform::UIViewControllerContextTransitioning>& context) override;
};

} // namespace quillora
