#include "platform/uikit/UIWindow.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"

namespace platform {

UIWindow::UIWindow() : UIView(UIScreen::mainScreen().bounds()) {}
UIWindow::UIWindow(const CGRect& frame) : UIView(frame) {}
UIWindow::UIWindow(const std::shared_ptr<UIWindowScene>& scene)
    : UIView(UIScreen::mainScreen().bounds()), scene_(scene) {}

void UIWindow::setWindowScene(const std::shared_ptr<UIWindowScene>& scene) {
    scene_ = scene;
    if (scene) scene->addWindow(self<UIWindow>());
}

void UIWindow::setRootViewController(std::shared_ptr<UIViewController> controller) {
    if (controller == root_) return;
    auto old = root_;
    root_ = std::move(controller);
    if (root_) {
        auto content = root_->view();
        content->setFrame(bounds());
        addSubview(content);
    }
    if (visible_) {
        if (old) old->beginAppearanceTransition(false, false);
        if (root_) root_->beginAppearanceTransition(true, false);
        if (old) old->endAppearanceTransition();
        if (root_) root_->endAppearanceTransition();
    }
    if (old && old->isViewLoaded() && old->view()->superview().get() == this)
        old->view()->removeFromSuperview();
}

void UIWindow::makeKeyAndVisible() {
    auto me = self<UIWindow>();
    auto& app = UIApplication::sharedApplication();
    if (scene_.expired())
        setWindowScene(app.connectSceneIfNeeded());
    else if (auto scene = scene_.lock())
        scene->addWindow(me);
    app.makeKeyWindow(me);
    setHidden(false);
    if (visible_) return;
    visible_ = true;
    if (root_) {
        root_->beginAppearanceTransition(true, false);
        root_->endAppearanceTransition();
    }
}

bool UIWindow::isKeyWindow() const {
    return UIApplication::sharedApplication().keyWindow().get() == this;
}

UIEdgeInsets UIWindow::safeAreaInsets() const {
    return insets_ ? *insets_ : deviceSafeAreaInsets();
}

UIEdgeInsets UIWindow::deviceSafeAreaInsets() {
    if (UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiom::Pad) return {24, 0, 20, 0};
    return {47, 0, 34, 0};
}

} // namespace platform
