#pragma once
// Navigation controllers: a stack of screens. Push and pop load the views synchronously and call
// the appearance callbacks in the platform's order when the stack is on screen.

#include <memory>
#include <optional>
#include <vector>

#include "platform/uikit/UIViewController.h"

namespace platform {

class UINavigationBar : public UIView {
public:
    std::optional<UIColor> barTintColor;
    bool prefersLargeTitles = false;
    bool translucent = true;
};

class UIToolbar : public UIView {
public:
    std::optional<UIColor> barTintColor;
    std::vector<std::shared_ptr<UIBarButtonItem>> items;
};

class UINavigationController : public UIViewController {
public:
    static std::shared_ptr<UINavigationController>
    initWithRootViewController(const std::shared_ptr<UIViewController>& root);

    const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return stack_; }
    std::shared_ptr<UIViewController> topViewController() const;
    // The top screen, or what is presented over the navigation controller.
    std::shared_ptr<UIViewController> visibleViewController() const;

    void pushViewController_animated(const std::shared_ptr<UIViewController>& controller, bool animated);
    // The popped screen; none when only the root is left.
    std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<UIViewController>> popToRootViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<UIViewController>>
    popToViewController_animated(const std::shared_ptr<UIViewController>& controller, bool animated);
    void setViewControllers_animated(std::vector<std::shared_ptr<UIViewController>> controllers,
                                     bool animated);

    std::shared_ptr<UINavigationBar> navigationBar();
    std::shared_ptr<UIToolbar> toolbar();
    // Where the top screen's view stands in this controller's view.
    static CGRect contentFrame(UINavigationController& nav, UIViewController& top);
    bool isNavigationBarHidden() const { return navigationBarHidden_; }
    void setNavigationBarHidden(bool hidden) { navigationBarHidden_ = hidden; }
    void setNavigationBarHidden_animated(bool hidden, bool) { navigationBarHidden_ = hidden; }
    bool isToolbarHidden() const { return toolbarHidden_; }
    void setToolbarHidden(bool hidden) { toolbarHidden_ = hidden; }
    void setToolbarHidden_animated(bool hidden, bool) { toolbarHidden_ = hidden; }

    void loadView() override;
    void describeScreen(std::vector<std::string>& lines) const override;

protected:
    std::vector<std::shared_ptr<UIViewController>> childViewControllersForAppearance() const override;

private:
    // Replaces the stack, moving the shown view and calling appearance callbacks for the change of top.
    void transition(std::vector<std::shared_ptr<UIViewController>> stack, bool animated);

    std::vector<std::shared_ptr<UIViewController>> stack_;
    std::shared_ptr<UINavigationBar> navigationBar_;
    std::shared_ptr<UIToolbar> toolbar_;
    bool navigationBarHidden_ = false;
    bool toolbarHidden_ = true;
};

} // namespace platform

namespace platform {

// What a navigation controller tells its delegate; nothing is asked of it yet. The image picker's
// delegate adopts it together with the picker's own delegate protocol.
class UINavigationControllerDelegate {
public:
    virtual ~UINavigationControllerDelegate() = default;
};

} // namespace platform
