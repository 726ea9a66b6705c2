#include "settings/SettingsSwiftUIView.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIViewController.h"

namespace quillora {

using namespace platform::swiftui;

SettingsSwiftUIView::SettingsSwiftUIView() : defaults(platform::NSUserDefaults::standardUserDefaults()) {
    auto stored = defaults->integerForKey("savefontSizeApp");
    fontSize.set(stored);
    savedFontSize.set(stored);
}

void SettingsSwiftUIView::changeFontSize(platform::NSInteger delta) const {
    auto size = fontSize.get() + delta;
    fontSize.set(size);
    savedFontSize.set(size);
    defaults->setInteger_forKey(size, "savefontSizeApp");
    platform::NSNotificationCenter::defaultCenter().postNotificationName(
        "fontValue", nullptr, {{"fontvalue", std::to_string(size)}});
}

AnyView SettingsSwiftUIView::body() const {
    auto self = *this;
    return VStack({
        Stepper(
            Text("Font size " + std::to_string(fontSize.get())), [self] { self.changeFontSize(1); },
            [self] { self.changeFontSize(-1); }),
        Button("Done",
               [self] {
                   if (auto screen = self.presentingVC.lock())
                       screen->dismissViewControllerAnimated_completion(true, nullptr);
               }),
    });
}

} // namespace quillora
