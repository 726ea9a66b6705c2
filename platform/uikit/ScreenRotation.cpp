#include "platform/uikit/ScreenRotation.h"

#include <algorithm>

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"

namespace platform {

UIInterfaceOrientation currentInterfaceOrientation() {
    const CGRect b = UIScreen::mainScreen().bounds();
    return b.width() > b.height() ? UIInterfaceOrientation::Landscape : UIInterfaceOrientation::Portrait;
}

bool rotateScreen(UIInterfaceOrientation orientation, double duration) {
    if (orientation == currentInterfaceOrientation()) return false;
    auto& screen = UIScreen::mainScreen();
    const CGRect old = screen.bounds();
    const CGSize size{old.height(), old.width()};
    screen.setBounds({0, 0, size.width, size.height});
    auto coordinator = std::make_shared<UIViewControllerTransitionCoordinator>(duration);
    auto window = UIApplication::sharedApplication().keyWindow();
    if (!window) return true;
    window->setFrame({0, 0, size.width, size.height});
    std::vector<std::shared_ptr<UIViewController>> chain;
    for (auto c = window->rootViewController(); c; c = c->presentedViewController())
        chain.push_back(c);
    // The views take the new size first; the screens then lay themselves out alongside.
    for (auto& controller : chain) {
        if (!controller->isViewLoaded()) continue;
        auto root = controller->view();
        // A presented screen goes where its presentation now shows it, a sheet down to the bottom edge.
        root->setFrame(controller->presentingViewController() ? controller->presentationFrame()
                                                              : CGRect(0, 0, size.width, size.height));
        if (auto nav = std::dynamic_pointer_cast<UINavigationController>(controller))
            if (auto top = nav->topViewController(); top && top->isViewLoaded())
                top->view()->setFrame(root->bounds());
    }
    for (auto& controller : chain)
        controller->viewWillTransitionToSize_withTransitionCoordinator(size, *coordinator);
    coordinator->run();
    return true;
}

} // namespace platform
