#include "app/LaunchViewController.h"

#include "platform/uikit/UIScreen.h"

namespace quillora {

void LaunchViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle("Quillora");
    auto bounds = platform::UIScreen::mainScreen().bounds();
    titleLabel->setFrame({0, bounds.height() / 2 - 30, bounds.width(), 60});
    titleLabel->setText("Quillora");
    titleLabel->setTextAlignment(platform::NSTextAlignment::Center);
    titleLabel->setFont(platform::UIFont::boldSystemFontOfSize(34));
    view()->setBackgroundColor(platform::UIColor::whiteColor());
    view()->addSubview(titleLabel);
    exposeOutlet("titleLabel", titleLabel);
}

} // namespace quillora
