#pragma once
// Controls a storyboard scene designs in: a system button connected to its screen's action and
// reachable by its outlet name, and the bar that rides on the keyboard.

#include <memory>
#include <string>

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"

namespace platform {

template <class Screen, class F>
std::shared_ptr<UIButton> sceneButton(Screen& screen, const std::string& name, CGRect frame,
                                      const std::string& title, const char* image, const char* action,
                                      F callable) {
    auto button = UIButton::buttonWithType(UIButtonType::System);
    button->setFrame(frame);
    if (image) button->setImage_forState(UIImage::imageNamed(image), UIControlStates::Normal);
    button->setTitle_forState(title, UIControlStates::Normal);
    button->addTarget(screen.template self<Screen>(), action, std::move(callable),
                      UIControlEvent::TouchUpInside);
    screen.exposeOutlet(name, button);
    return button;
}

// An empty bar of the screen's width that shows only where it stands on the keyboard.
inline std::shared_ptr<UIView> sceneAccessoryBar(CGFloat width) {
    auto bar = std::make_shared<UIView>(CGRect{0, 0, width, 44});
    bar->setBackgroundColor(UIColor::colorWithWhite_alpha(0.82, 1));
    bar->setServesAsInputAccessory(true);
    return bar;
}

} // namespace platform
