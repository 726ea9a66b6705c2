#include "platform/uikit/UINavigationController.h"

#include <algorithm>

#include "platform/foundation/Console.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIWindow.h"

namespace platform {

namespace {
// The view of a navigation controller: the top screen's view fills it whatever size it is given
// (a sheet's height), and a table stands below a shown bar, as the platform insets a scroll
// view's content there, so that its first rows are not under the bar.
class NavigationContentView : public UIView {
public:
    explicit NavigationContentView(std::weak_ptr<UINavigationController> nav) : nav_(std::move(nav)) {}
    void layoutSubviews() override {
        UIView::layoutSubviews();
        auto nav = nav_.lock();
        auto top = nav ? nav->topViewController() : nullptr;
        if (!top || !top->isViewLoaded() || top->view()->superview().get() != this) return;
        top->view()->setFrame(UINavigationController::contentFrame(*nav, *top));
    }

private:
    std::weak_ptr<UINavigationController> nav_;
};
} // namespace

CGRect UINavigationController::contentFrame(UINavigationController& nav, UIViewController& top) {
    const CGRect b = nav.view()->bounds();
    if (nav.isNavigationBarHidden() || !std::dynamic_pointer_cast<UITableView>(top.view())) return b;
    // The bar: 44 points, below the status bar when the controller stands at the top of the screen.
    auto window = UIApplication::sharedApplication().keyWindow();
    const CGFloat statusBar =
        nav.view()->convertRect_toView(b, nullptr).minY() <= 0 && window ? window->safeAreaInsets().top : 0;
    const CGFloat bar = statusBar + 44;
    return {b.minX(), b.minY() + bar, b.width(), std::max<CGFloat>(0, b.height() - bar)};
}

std::shared_ptr<UINavigationController>
UINavigationController::initWithRootViewController(const std::shared_ptr<UIViewController>& root) {
    auto nav = std::make_shared<UINavigationController>();
    if (root) nav->setViewControllers_animated({root}, false);
    return nav;
}

std::shared_ptr<UIViewController> UINavigationController::topViewController() const {
    return stack_.empty() ? nullptr : stack_.back();
}

std::shared_ptr<UIViewController> UINavigationController::visibleViewController() const {
    if (auto presented = presentedViewController()) return presented;
    return topViewController();
}

std::vector<std::shared_ptr<UIViewController>>
UINavigationController::childViewControllersForAppearance() const {
    if (auto top = topViewController()) return {top};
    return {};
}

void UINavigationController::transition(std::vector<std::shared_ptr<UIViewController>> stack, bool animated) {
    auto keep = self<UINavigationController>();
    auto oldTop = topViewController();
    auto oldStack = stack_;
    for (auto& vc : stack) {
        if (vc->parentViewController().get() != this) {
            vc->removeFromParentViewController();
            addChildViewController(vc);
        }
    }
    stack_ = std::move(stack);
    auto newTop = topViewController();
    bool onScreen = appearance() == UIViewControllerAppearance::Appeared ||
                    appearance() == UIViewControllerAppearance::Appearing;
    if (newTop != oldTop) {
        if (newTop && (isViewLoaded() || onScreen)) {
            auto content = newTop->view();
            content->setFrame(contentFrame(*this, *newTop));
            view()->addSubview(content);
        }
        if (onScreen) {
            if (oldTop) oldTop->beginAppearanceTransition(false, animated);
            if (newTop) newTop->beginAppearanceTransition(true, animated);
            if (oldTop) oldTop->endAppearanceTransition();
            if (newTop) newTop->endAppearanceTransition();
        }
        if (oldTop && oldTop->isViewLoaded()) oldTop->view()->removeFromSuperview();
    }
    for (auto& vc : oldStack)
        if (std::find(stack_.begin(), stack_.end(), vc) == stack_.end() &&
            vc->parentViewController().get() == this)
            vc->removeFromParentViewController();
}

void UINavigationController::loadView() {
    setView(std::make_shared<NavigationContentView>(weakSelf<UINavigationController>()));
    view()->setFrame(UIScreen::mainScreen().bounds());
    if (auto top = topViewController()) {
        auto content = top->view();
        content->setFrame(contentFrame(*this, *top));
        view()->addSubview(content);
    }
}

void UINavigationController::pushViewController_animated(const std::shared_ptr<UIViewController>& controller,
                                                         bool animated) {
    if (!controller) return;
    if (std::dynamic_pointer_cast<UINavigationController>(controller))
        fatalError("Pushing a navigation controller is not supported");
    if (std::find(stack_.begin(), stack_.end(), controller) != stack_.end())
        fatalError("Pushing the same view controller instance more than once is not supported");
    auto stack = stack_;
    stack.push_back(controller);
    transition(std::move(stack), animated);
}

std::shared_ptr<UIViewController> UINavigationController::popViewControllerAnimated(bool animated) {
    if (stack_.size() < 2) return nullptr;
    auto popped = stack_.back();
    auto stack = stack_;
    stack.pop_back();
    transition(std::move(stack), animated);
    return popped;
}

std::vector<std::shared_ptr<UIViewController>>
UINavigationController::popToRootViewControllerAnimated(bool animated) {
    if (stack_.size() < 2) return {};
    return popToViewController_animated(stack_.front(), animated);
}

std::vector<std::shared_ptr<UIViewController>>
UINavigationController::popToViewController_animated(const std::shared_ptr<UIViewController>& controller,
                                                     bool animated) {
    auto it = std::find(stack_.begin(), stack_.end(), controller);
    if (it == stack_.end()) return {};
    std::vector<std::shared_ptr<UIViewController>> popped(it + 1, stack_.end());
    if (popped.empty()) return {};
    transition(std::vector<std::shared_ptr<UIViewController>>(stack_.begin(), it + 1), animated);
    return popped;
}

void UINavigationController::setViewControllers_animated(
    std::vector<std::shared_ptr<UIViewController>> controllers, bool animated) {
    controllers.erase(std::remove(controllers.begin(), controllers.end(), nullptr), controllers.end());
    transition(std::move(controllers), animated);
}

std::shared_ptr<UINavigationBar> UINavigationController::navigationBar() {
    if (!navigationBar_) navigationBar_ = std::make_shared<UINavigationBar>();
    return navigationBar_;
}

std::shared_ptr<UIToolbar> UINavigationController::toolbar() {
    if (!toolbar_) toolbar_ = std::make_shared<UIToolbar>();
    return toolbar_;
}

void UINavigationController::describeScreen(std::vector<std::string>& lines) const {
    if (auto top = topViewController()) top->describeScreen(lines);
}

} // namespace platform
