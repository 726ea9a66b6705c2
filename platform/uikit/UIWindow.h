#pragma once
// Windows: the root of a view tree, with a root view controller and safe-area insets.

#include <memory>

#include "platform/uikit/UIView.h"

namespace platform {

class UIViewController;
class UIWindowScene;

class UIWindow : public UIView {
public:
    UIWindow();
    explicit UIWindow(const CGRect& frame);
    explicit UIWindow(const std::shared_ptr<UIWindowScene>& scene);

    std::shared_ptr<UIViewController> rootViewController() const { return root_; }
    // Installs the root's view; when the window is visible, the old root disappears and the new appears.
    void setRootViewController(std::shared_ptr<UIViewController> controller);
    // Shows the window, makes it the application's key window, and lets its root appear.
    void makeKeyAndVisible();
    bool isKeyWindow() const;
    bool isVisible() const { return visible_; }

    std::shared_ptr<UIWindowScene> windowScene() const { return scene_.lock(); }
    void setWindowScene(const std::shared_ptr<UIWindowScene>& scene);

    // The phone's insets (status bar and home indicator) unless set otherwise.
    UIEdgeInsets safeAreaInsets() const override;
    // The insets a window of this device has: the phone's, or the tablet's.
    static UIEdgeInsets deviceSafeAreaInsets();
    void setSafeAreaInsets(UIEdgeInsets insets) { insets_ = insets; }

private:
    std::shared_ptr<UIViewController> root_;
    std::weak_ptr<UIWindowScene> scene_;
    std::optional<UIEdgeInsets> insets_;
    bool visible_ = false;
};

} // namespace platform
