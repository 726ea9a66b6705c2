#include "platform/uikit/UIViewController.h"

#include <algorithm>

#include "platform/foundation/Console.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"
#include "platform/uikit/UIWindow.h"

namespace platform {

namespace {
std::string pointerName(const NSObject& object) {
    return "<" + object.className() + ">";
}

void runAfterTransition(std::function<void()> completion) {
    if (completion) RunLoop::main().schedule(0, std::move(completion));
}
} // namespace

UIViewController::UIViewController() = default;
UIViewController::~UIViewController() = default;

std::shared_ptr<UIView> UIViewController::view() {
    if (!view_ && !loadingView_) {
        loadingView_ = true;
        loadView();
        if (!view_) view_ = std::make_shared<UIView>(UIScreen::mainScreen().bounds());
        // A storyboard scene's view comes with the system background; a view made in code has none.
        if (storyboard_ && !view_->backgroundColor())
            view_->setBackgroundColor(UIColor::systemBackgroundColor());
        view_->setOwningResponder(std::static_pointer_cast<UIResponder>(weak_from_this().lock()));
        if (sceneViews_) sceneViews_(*this, *view_);
        loadingView_ = false;
        viewDidLoad();
    }
    return view_;
}

void UIViewController::loadView() {
    view_ = std::make_shared<UIView>(UIScreen::mainScreen().bounds());
}

std::shared_ptr<UIResponder> UIViewController::nextResponder() const {
    if (view_)
        if (auto superview = view_->superview()) return superview;
    return presentingViewController();
}

void UIViewController::setTitle(std::optional<std::string> title) {
    title_ = title;
    navigationItem()->title = std::move(title);
}

std::shared_ptr<UINavigationItem> UIViewController::navigationItem() {
    if (!navigationItem_) navigationItem_ = std::make_shared<UINavigationItem>();
    return navigationItem_;
}

void UIViewController::addChildViewController(const std::shared_ptr<UIViewController>& child) {
    if (!child || child.get() == this) return;
    if (child->parentViewController().get() == this) return;
    child->removeFromParentViewController();
    auto me = self<UIViewController>();
    child->willMoveToParentViewController(me);
    children_.push_back(child);
    child->parent_ = me;
}

void UIViewController::removeFromParentViewController() {
    auto parent = parentViewController();
    if (!parent) return;
    auto me = self<UIViewController>();
    auto& siblings = parent->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), me), siblings.end());
    parent_.reset();
    didMoveToParentViewController(nullptr);
}

std::shared_ptr<UINavigationController> UIViewController::navigationController() const {
    for (auto p = parentViewController(); p; p = p->parentViewController())
        if (auto nav = std::dynamic_pointer_cast<UINavigationController>(p)) return nav;
    return nullptr;
}

std::shared_ptr<UIViewController> UIViewController::presentationHost() const {
    auto host = std::const_pointer_cast<UIViewController>(self<UIViewController>());
    while (auto parent = host->parentViewController())
        host = parent;
    return host;
}

std::shared_ptr<UIViewController> UIViewController::presentedViewController() const {
    return presentationHost()->presented_;
}

std::shared_ptr<UIViewController> UIViewController::presentingViewController() const {
    return presentationHost()->presenting_.lock();
}

UIModalPresentationStyle UIViewController::resolvedPresentationStyle() const {
    if (modalPresentationStyle_ == UIModalPresentationStyle::Automatic)
        return adaptsToPopoverOnPad() &&
                       UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiom::Pad
                   ? UIModalPresentationStyle::Popover
                   : UIModalPresentationStyle::PageSheet;
    return modalPresentationStyle_;
}

CGRect UIViewController::presentationFrame() const {
    const CGRect screen = UIScreen::mainScreen().bounds();
    switch (resolvedPresentationStyle()) {
    case UIModalPresentationStyle::PageSheet:
    case UIModalPresentationStyle::FormSheet: {
        // A sheet comes up to just below the status bar.
        auto window = UIApplication::sharedApplication().keyWindow();
        const CGFloat top = (window ? window->safeAreaInsets().top : 0) + 10;
        return {0, top, screen.width(), screen.height() - top};
    }
    case UIModalPresentationStyle::Popover: {
        // Beside what it points at: below it when there is room, else above; kept on the screen.
        const CGFloat w = std::min<CGFloat>(screen.width() - 20, 320),
                      h = std::min<CGFloat>(screen.height() - 80, 480);
        CGRect anchor{screen.midX(), screen.midY(), 0, 0};
        if (popover_)
            if (auto source = popover_->sourceView.lock())
                anchor = source->convertRect_toView(popover_->sourceRect, nullptr);
        CGFloat y = anchor.maxY() + 13;
        if (popover_ && popover_->permittedArrowDirections == UIPopoverArrowDirections::None)
            y = anchor.midY() - h / 2;
        else if (y + h > screen.maxY() - 10)
            y = anchor.minY() - 13 - h;
        const CGFloat x = std::clamp(anchor.midX() - w / 2, screen.minX() + 10, screen.maxX() - 10 - w);
        return {
            x,
            std::clamp(y, screen.minY() + 20, std::max<CGFloat>(screen.minY() + 20, screen.maxY() - 10 - h)),
            w, h};
    }
    default:
        return screen;
    }
}

std::shared_ptr<UIPopoverPresentationController> UIViewController::popoverPresentationController() {
    if (resolvedPresentationStyle() != UIModalPresentationStyle::Popover) return nullptr;
    if (!popover_) popover_ = std::make_shared<UIPopoverPresentationController>();
    return popover_;
}

void UIViewController::presentViewController_animated_completion(
    const std::shared_ptr<UIViewController>& controller, bool animated, std::function<void()> completion) {
    if (!controller) return;
    auto host = presentationHost();
    if (host->presented_) {
        console().print("Warning: Attempt to present " + pointerName(*controller) + " on " +
                        pointerName(*host) + " which is already presenting " +
                        pointerName(*host->presented_));
        return;
    }
    if (!controller->presenting_.expired() || controller->parentViewController()) {
        console().print("Application tried to present modally a view controller " + pointerName(*controller) +
                        " that is already being presented or shown.");
        return;
    }
    bool onScreen = host->appearance_ == UIViewControllerAppearance::Appeared ||
                    host->appearance_ == UIViewControllerAppearance::Appearing || host->presenting_.lock();
    if (!onScreen) {
        console().print("Warning: Attempt to present " + pointerName(*controller) + " on " +
                        pointerName(*host) + " whose view is not in the window hierarchy!");
        return;
    }
    auto style = controller->resolvedPresentationStyle();
    if (style == UIModalPresentationStyle::Popover) {
        auto popover = controller->popoverPresentationController();
        if (!popover || !popover->hasAnchor()) {
            console().print("Error: " + pointerName(*controller) +
                            " is presented as a popover without a source view or bar button item.");
            return;
        }
    }
    if (host->transitioning_) {
        console().print("Warning: Attempt to present " + pointerName(*controller) + " on " +
                        pointerName(*host) + " while a presentation is in progress!");
        return;
    }
    if (animated)
        if (auto delegate = controller->transitioningDelegate())
            if (auto animator =
                    delegate->animationControllerForPresentedController_presentingController_sourceController(
                        controller, host, self<UIViewController>())) {
                host->presentWithAnimator(controller, animator, std::move(completion));
                return;
            }
    host->presented_ = controller;
    controller->presenting_ = host;
    // The view takes the frame its presentation shows it in, a sheet down to the screen's bottom
    // edge, and lays its content out in that height: what scrolls inside it reaches its end on
    // screen.
    controller->view()->setFrame(controller->presentationFrame());
    bool coversPresenter = style == UIModalPresentationStyle::FullScreen;
    if (coversPresenter) host->beginAppearanceTransition(false, animated);
    controller->beginAppearanceTransition(true, animated);
    controller->endAppearanceTransition();
    if (coversPresenter) host->endAppearanceTransition();
    runAfterTransition(std::move(completion));
}

namespace {
// Where a view stood before an animator moved it into a transition's container.
struct ViewPlace {
    std::shared_ptr<UIView> view;
    std::weak_ptr<UIView> superview;
    std::size_t index = 0;
    CGRect frame;

    static ViewPlace of(const std::shared_ptr<UIView>& view) {
        ViewPlace place{view, {}, 0, view ? view->frame() : CGRect()};
        if (auto parent = view ? view->superview() : nullptr) {
            place.superview = parent;
            auto& siblings = parent->subviews();
            place.index = static_cast<std::size_t>(std::find(siblings.begin(), siblings.end(), view) -
                                                   siblings.begin());
        }
        return place;
    }
    // Puts the view back where it was: the presenter's view goes back after a dismissal.
    void restore() const {
        if (!view) return;
        if (auto parent = superview.lock())
            parent->insertSubview_atIndex(view, index);
        else
            view->removeFromSuperview();
        view->setFrame(frame);
    }
};
} // namespace

void UIViewController::presentWithAnimator(
    const std::shared_ptr<UIViewController>& controller,
    const std::shared_ptr<UIViewControllerAnimatedTransitioning>& animator,
    std::function<void()> completion) {
    auto host = self<UIViewController>();
    presented_ = controller;
    controller->presenting_ = host;
    transitioning_ = true;
    controller->beingPresented_ = true;
    auto content = controller->view();
    const bool covers = controller->resolvedPresentationStyle() == UIModalPresentationStyle::FullScreen;
    auto container = std::make_shared<UIView>(UIScreen::mainScreen().bounds());
    controller->transitionContainer_ = container;
    content->setFrame(container->bounds());
    auto fromView = covers ? view() : nullptr;
    auto fromPlace = ViewPlace::of(fromView);
    if (covers) beginAppearanceTransition(false, true);
    controller->beginAppearanceTransition(true, true);
    std::weak_ptr<UIViewController> weakHost = host;
    auto context = std::make_shared<UIViewControllerContextTransitioning>(
        container, host, controller, fromView, content,
        [weakHost, controller, covers, fromPlace, completion = std::move(completion)](bool completed) {
            auto host = weakHost.lock();
            if (!host) return;
            host->transitioning_ = false;
            controller->beingPresented_ = false;
            if (fromPlace.view && fromPlace.view->superview() != fromPlace.superview.lock())
                fromPlace.restore();
            if (!completed) {
                // Given up: the presentation did not happen.
                controller->beginAppearanceTransition(false, true);
                controller->endAppearanceTransition();
                if (covers) {
                    host->beginAppearanceTransition(true, true);
                    host->endAppearanceTransition();
                }
                controller->view()->removeFromSuperview();
                controller->transitionContainer_.reset();
                host->presented_.reset();
                controller->presenting_.reset();
                return;
            }
            controller->endAppearanceTransition();
            if (covers) host->endAppearanceTransition();
            if (completion) completion();
        });
    animator->animateTransition(context);
}

namespace {
// A screen that goes away takes the focus of a text in it with it, and so the keyboard.
void resignFocusWithin(UIViewController& leaving) {
    if (!leaving.isViewLoaded()) return;
    auto focused = std::dynamic_pointer_cast<UIView>(UIResponder::currentFirstResponder());
    if (focused && focused->isDescendantOfView(leaving.view().get())) focused->resignFirstResponder();
}
} // namespace

void UIViewController::dismissWithAnimator(
    const std::shared_ptr<UIViewControllerAnimatedTransitioning>& animator,
    std::function<void()> completion) {
    auto host = self<UIViewController>();
    auto leaving = presented_;
    leaving->dismissPresented(false, nullptr);
    resignFocusWithin(*leaving);
    transitioning_ = true;
    leaving->beingDismissed_ = true;
    const bool covers = leaving->resolvedPresentationStyle() == UIModalPresentationStyle::FullScreen;
    auto container = leaving->transitionContainer_;
    if (!container) {
        container = std::make_shared<UIView>(UIScreen::mainScreen().bounds());
        leaving->transitionContainer_ = container;
        container->addSubview(leaving->view());
    }
    auto toView = covers ? view() : nullptr;
    auto toPlace = ViewPlace::of(toView);
    leaving->beginAppearanceTransition(false, true);
    if (covers) beginAppearanceTransition(true, true);
    std::weak_ptr<UIViewController> weakHost = host;
    auto context = std::make_shared<UIViewControllerContextTransitioning>(
        container, leaving, host, leaving->view(), toView,
        [weakHost, leaving, covers, toPlace, completion = std::move(completion)](bool completed) {
            auto host = weakHost.lock();
            if (!host) return;
            host->transitioning_ = false;
            leaving->beingDismissed_ = false;
            // The presenter's view goes back where it was, whatever the animator did with it.
            toPlace.restore();
            if (!completed) {
                leaving->beginAppearanceTransition(true, true);
                leaving->endAppearanceTransition();
                if (covers) {
                    host->beginAppearanceTransition(false, true);
                    host->endAppearanceTransition();
                }
                return;
            }
            leaving->endAppearanceTransition();
            if (covers) host->endAppearanceTransition();
            if (leaving->isViewLoaded()) leaving->view()->removeFromSuperview();
            leaving->transitionContainer_.reset();
            host->presented_.reset();
            leaving->presenting_.reset();
            host->didDismissPresentedViewController(leaving);
            if (completion) completion();
        });
    animator->animateTransition(context);
}

void UIViewController::dismissPresented(bool animated, std::function<void()> completion) {
    auto leaving = presented_;
    if (!leaving) return;
    if (transitioning_) return;
    if (animated)
        if (auto delegate = leaving->transitioningDelegate())
            if (auto animator = delegate->animationControllerForDismissedController(leaving)) {
                dismissWithAnimator(animator, std::move(completion));
                return;
            }
    leaving->dismissPresented(animated, nullptr);
    resignFocusWithin(*leaving);
    bool coversPresenter = leaving->resolvedPresentationStyle() == UIModalPresentationStyle::FullScreen;
    leaving->beginAppearanceTransition(false, animated);
    if (coversPresenter) beginAppearanceTransition(true, animated);
    leaving->endAppearanceTransition();
    if (coversPresenter) endAppearanceTransition();
    if (leaving->isViewLoaded() && leaving->transitionContainer_ &&
        leaving->view()->superview() == leaving->transitionContainer_)
        leaving->view()->removeFromSuperview();
    leaving->transitionContainer_.reset();
    presented_.reset();
    leaving->presenting_.reset();
    didDismissPresentedViewController(leaving);
    runAfterTransition(std::move(completion));
}

void UIViewController::dismissViewControllerAnimated_completion(bool animated,
                                                                std::function<void()> completion) {
    auto host = presentationHost();
    std::shared_ptr<UIViewController> presenter;
    if (host->presented_)
        presenter = host;
    else
        presenter = host->presenting_.lock();
    if (!presenter) return;
    presenter->dismissPresented(animated, std::move(completion));
}

void UIViewController::viewWillTransitionToSize_withTransitionCoordinator(
    CGSize size, UIViewControllerTransitionCoordinator& coordinator) {
    for (auto& child : childViewControllers())
        child->viewWillTransitionToSize_withTransitionCoordinator(size, coordinator);
}

void UIViewController::beginAppearanceTransition(bool appearing, bool animated) {
    using A = UIViewControllerAppearance;
    if (appearing && (appearance_ == A::Appearing || appearance_ == A::Appeared)) return;
    if (!appearing && (appearance_ == A::Disappearing || appearance_ == A::Disappeared)) return;
    auto keep = self<UIViewController>();
    appearanceAnimated_ = animated;
    if (appearing) view();
    appearance_ = appearing ? A::Appearing : A::Disappearing;
    if (appearing)
        viewWillAppear(animated);
    else
        viewWillDisappear(animated);
    for (auto& child : childViewControllersForAppearance())
        child->beginAppearanceTransition(appearing, animated);
}

void UIViewController::endAppearanceTransition() {
    using A = UIViewControllerAppearance;
    auto keep = self<UIViewController>();
    if (appearance_ == A::Appearing) {
        appearance_ = A::Appeared;
        viewDidAppear(appearanceAnimated_);
    } else if (appearance_ == A::Disappearing) {
        appearance_ = A::Disappeared;
        viewDidDisappear(appearanceAnimated_);
    } else {
        return;
    }
    for (auto& child : childViewControllersForAppearance())
        child->endAppearanceTransition();
}

void UIViewController::performSegueWithIdentifier_sender(const std::string& identifier,
                                                         std::shared_ptr<NSObject> sender) {
    auto board = storyboard_;
    const UIStoryboard::Segue* segue = board ? board->segue(storyboardIdentifier_, identifier) : nullptr;
    if (!segue)
        fatalError("Receiver (" + pointerName(*this) + ") has no segue with identifier '" + identifier + "'");
    auto kind = segue->kind;
    auto destination = board->instantiateViewControllerWithIdentifier(segue->destination);
    auto me = self<UIViewController>();
    UIStoryboardSegue record(identifier, me, destination);
    prepareForSegue_sender(record, sender);
    auto nav = navigationController();
    if (kind == UIStoryboardSegueKind::Show && nav)
        nav->pushViewController_animated(destination, true);
    else
        presentViewController_animated_completion(destination, true, nullptr);
}

void UIViewController::setEditing_animated(bool editing, bool) {
    editing_ = editing;
    if (editButtonItem_) editButtonItem_->setTitle(editing ? "Done" : "Edit");
}

std::shared_ptr<UIBarButtonItem> UIViewController::editButtonItem() {
    if (!editButtonItem_) {
        editButtonItem_ = std::make_shared<UIBarButtonItem>("Edit", UIBarButtonItemStyle::Plain);
        editButtonItem_->setAction(self<UIViewController>(), "editButtonTapped", [](UIViewController& vc) {
            vc.setEditing_animated(!vc.isEditing(), true);
        });
    }
    return editButtonItem_;
}

void UIViewController::exposeOutlet(const std::string& name, const std::shared_ptr<NSObject>& object) {
    for (auto& [existing, weak] : outlets_)
        if (existing == name) {
            weak = object;
            return;
        }
    outlets_.emplace_back(name, object);
}

std::shared_ptr<NSObject> UIViewController::outletNamed(const std::string& name) const {
    for (auto& [outlet, object] : exposedOutlets())
        if (outlet == name) return object;
    return nullptr;
}

std::vector<std::pair<std::string, std::shared_ptr<NSObject>>> UIViewController::exposedOutlets() const {
    std::vector<std::pair<std::string, std::shared_ptr<NSObject>>> out;
    for (auto& [name, weak] : outlets_)
        if (auto object = weak.lock()) out.emplace_back(name, object);
    return out;
}

void UIViewController::describeScreen(std::vector<std::string>& lines) const {
    std::string head = className();
    if (title_) head += " " + quote(*title_);
    // The default background of a scene says nothing; a chosen colour does.
    if (view_ && view_->backgroundColor() && view_->backgroundColor()->name != "clear" &&
        view_->backgroundColor()->name != "systemBackground")
        head += " background=" + view_->backgroundColor()->description();
    lines.push_back(head);
    for (auto& [name, object] : exposedOutlets()) {
        std::string line = "  " + name + ": " + object->className();
        if (auto state = object->stateDescription(); !state.empty()) line += " " + state;
        lines.push_back(line);
    }
}

} // namespace platform
