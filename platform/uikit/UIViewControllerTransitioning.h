#pragma once
// Custom presentations: a transitioning delegate hands out the animator of a presentation or a
// dismissal; the animator moves the views inside the context's container and reports completion,
// which the presentation waits for (appearance callbacks, completion blocks). Size transitions
// (a rotation) run their coordinated work alongside.

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/NSObject.h"

namespace platform {

class UIView;
class UIViewController;
class UIViewControllerContextTransitioning;

using UITransitionContextViewKey = std::string;
inline const UITransitionContextViewKey UITransitionContextFromViewKey = "UITransitionContextFromViewKey";
inline const UITransitionContextViewKey UITransitionContextToViewKey = "UITransitionContextToViewKey";
using UITransitionContextViewControllerKey = std::string;
inline const UITransitionContextViewControllerKey UITransitionContextFromViewControllerKey =
    "UITransitionContextFromViewControllerKey";
inline const UITransitionContextViewControllerKey UITransitionContextToViewControllerKey =
    "UITransitionContextToViewControllerKey";

class UIViewControllerAnimatedTransitioning {
public:
    virtual ~UIViewControllerAnimatedTransitioning() = default;
    virtual double transitionDuration(const std::shared_ptr<UIViewControllerContextTransitioning>&) = 0;
    virtual void animateTransition(const std::shared_ptr<UIViewControllerContextTransitioning>& context) = 0;
};

class UIViewControllerTransitioningDelegate {
public:
    virtual ~UIViewControllerTransitioningDelegate() = default;
    // None: the platform's own animation.
    virtual std::shared_ptr<UIViewControllerAnimatedTransitioning>
    animationControllerForPresentedController_presentingController_sourceController(
        const std::shared_ptr<UIViewController>&, const std::shared_ptr<UIViewController>&,
        const std::shared_ptr<UIViewController>&) {
        return nullptr;
    }
    virtual std::shared_ptr<UIViewControllerAnimatedTransitioning>
    animationControllerForDismissedController(const std::shared_ptr<UIViewController>&) {
        return nullptr;
    }
};

// What an animator works with. The views are those that take part: the presented view, and
// for a full-screen presentation the presenter's view as well.
class UIViewControllerContextTransitioning : public NSObject {
public:
    UIViewControllerContextTransitioning(std::shared_ptr<UIView> container,
                                         std::shared_ptr<UIViewController> from,
                                         std::shared_ptr<UIViewController> to,
                                         std::shared_ptr<UIView> fromView, std::shared_ptr<UIView> toView,
                                         std::function<void(bool)> onComplete)
        : container_(std::move(container)), from_(std::move(from)), to_(std::move(to)),
          fromView_(std::move(fromView)), toView_(std::move(toView)), onComplete_(std::move(onComplete)) {}

    std::shared_ptr<UIView> containerView() const { return container_; }
    // None for a key whose view does not take part.
    std::shared_ptr<UIView> viewForKey(const UITransitionContextViewKey& key) const;
    std::shared_ptr<UIViewController>
    viewControllerForKey(const UITransitionContextViewControllerKey& key) const;
    bool isAnimated() const { return animated; }
    bool animated = true;

    // Ends the transition; only the first report counts.
    void completeTransition(bool didComplete);
    bool isComplete() const { return complete_; }

private:
    std::shared_ptr<UIView> container_;
    std::shared_ptr<UIViewController> from_, to_;
    std::shared_ptr<UIView> fromView_, toView_;
    std::function<void(bool)> onComplete_;
    bool complete_ = false;
};

// Handed to viewWillTransitionToSize_withTransitionCoordinator: work to run alongside the
// change of size, and after it.
class UIViewControllerTransitionCoordinator : public NSObject {
public:
    explicit UIViewControllerTransitionCoordinator(double duration) : duration_(duration) {}

    double transitionDuration() const { return duration_; }
    // `alongside` runs as the views take their new size; `completion` once the change is over.
    bool animateAlongsideTransition_completion(
        std::function<void(UIViewControllerTransitionCoordinator&)> alongside,
        std::function<void(UIViewControllerTransitionCoordinator&)> completion);
    // Runs the alongside work queued so far; the completions follow after the duration.
    void run();

private:
    double duration_;
    std::vector<std::function<void(UIViewControllerTransitionCoordinator&)>> alongside_;
    std::vector<std::function<void(UIViewControllerTransitionCoordinator&)>> completions_;
};

} // namespace platform
