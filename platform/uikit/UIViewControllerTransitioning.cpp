#include "platform/uikit/UIViewControllerTransitioning.h"

#include "platform/foundation/RunLoop.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"

namespace platform {

std::shared_ptr<UIView>
UIViewControllerContextTransitioning::viewForKey(const UITransitionContextViewKey& key) const {
    if (key == UITransitionContextFromViewKey) return fromView_;
    if (key == UITransitionContextToViewKey) return toView_;
    return nullptr;
}

std::shared_ptr<UIViewController> UIViewControllerContextTransitioning::viewControllerForKey(
    const UITransitionContextViewControllerKey& key) const {
    if (key == UITransitionContextFromViewControllerKey) return from_;
    if (key == UITransitionContextToViewControllerKey) return to_;
    return nullptr;
}

void UIViewControllerContextTransitioning::completeTransition(bool didComplete) {
    if (complete_) return;
    complete_ = true;
    auto keep = self<UIViewControllerContextTransitioning>();
    auto done = std::move(onComplete_);
    onComplete_ = nullptr;
    if (done) done(didComplete);
}

bool UIViewControllerTransitionCoordinator::animateAlongsideTransition_completion(
    std::function<void(UIViewControllerTransitionCoordinator&)> alongside,
    std::function<void(UIViewControllerTransitionCoordinator&)> completion) {
    if (alongside) alongside_.push_back(std::move(alongside));
    if (completion) completions_.push_back(std::move(completion));
    return true;
}

void UIViewControllerTransitionCoordinator::run() {
    auto keep = self<UIViewControllerTransitionCoordinator>();
    auto work = std::move(alongside_);
    alongside_.clear();
    UIView::animateWithDuration_animations(duration_, [&] {
        for (auto& step : work)
            step(*this);
    });
    auto completions = std::move(completions_);
    completions_.clear();
    if (completions.empty()) return;
    RunLoop::main().schedule(duration_, [keep, completions] {
        for (auto& step : completions)
            step(*keep);
    });
}

} // namespace platform
