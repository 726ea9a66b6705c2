#include "settings/PopAnimator.h"

#include "platform/uikit/UIView.h"

using namespace platform;

namespace quillora {

void PopAnimator::animateTransition(const std::shared_ptr<UIViewControllerContextTransitioning>& context) {
    if (!context) return;
    const bool dismissing = !presenting;
    auto finish = [weak = weakSelf<PopAnimator>(), context, dismissing] {
        auto me = weak.lock();
        if (me && dismissing && me->dismissCompletion) me->dismissCompletion();
        context->completeTransition(true);
    };
    auto container = context->containerView();
    auto toView = context->viewForKey(UITransitionContextToViewKey);
    auto moving = presenting ? toView : context->viewForKey(UITransitionContextFromViewKey);
    if (!container || !moving || !toView || moving->frame().isEmpty()) {
        finish();
        return;
    }
    const CGRect startFrame = presenting ? originFrame : moving->frame();
    const CGRect endFrame = presenting ? moving->frame() : originFrame;
    const CGAffineTransform scale = CGAffineTransformMakeScale(
        originFrame.width() / moving->frame().width(), originFrame.height() / moving->frame().height());
    if (presenting) {
        moving->setTransform(scale);
        moving->setCenter({startFrame.midX(), startFrame.midY()});
        moving->setClipsToBounds(true);
    }
    container->addSubview(toView);
    container->bringSubviewToFront(moving);
    const bool present = presenting;
    UIView::
        animateWithDuration_delay_usingSpringWithDamping_initialSpringVelocity_options_animations_completion(
            duration, 0, 0.4, 0, 0,
            [moving, scale, endFrame, present] {
                moving->setTransform(present ? CGAffineTransformIdentity : scale);
                moving->setCenter({endFrame.midX(), endFrame.midY()});
            },
            [finish](bool) { finish(); });
}

} // namespace quillora
