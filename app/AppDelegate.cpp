#include "app/AppDelegate.h"

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/uikit/ScreenPrinter.h"
#include "platform/uikit/UIAlertController.h"

namespace quillora {

using namespace platform;

bool AppDelegate::application_didFinishLaunchingWithOptions(UIApplication& application,
                                                            const LaunchOptions&) {
    application.setIdleTimerDisabled(true);
    // Settings that could not be saved are told on whatever screen is up; it stays as it is.
    if (auto me = weak_from_this().lock()) {
        auto& center = NSNotificationCenter::defaultCenter();
        center.removeObserver(this, NSUserDefaultsSaveFailedNotification);
        center.addObserver(me, NSUserDefaultsSaveFailedNotification, [](const NSNotification& notification) {
            const std::string message = notification.stringForKey("message").value_or("");
            DispatchQueue::main().async([message] { presentSettingsAlert("Settings not saved", message); });
        });
        // A damaged settings file found at start is told once the first screen is up.
        center.removeObserver(this, NSUserDefaultsFileDamagedNotification);
        center.addObserver(me, NSUserDefaultsFileDamagedNotification, [](const NSNotification& notification) {
            const std::string message = notification.stringForKey("message").value_or("");
            DispatchQueue::main().async([message] { presentSettingsAlert("Settings damaged", message); });
        });
    }
    return true;
}

void AppDelegate::presentSettingsAlert(const std::string& title, const std::string& message) {
    auto screen = ScreenPrinter::currentViewController();
    // An alert already up keeps the place; the console has the reason too.
    if (!screen || std::dynamic_pointer_cast<UIAlertController>(screen)) return;
    auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        title, message, UIAlertControllerStyle::Alert);
    alert->addAction(
        UIAlertAction::actionWithTitle_style_handler("OK", UIAlertActionStyle::Default, nullptr));
    screen->presentViewController_animated_completion(alert, true, nullptr);
}

} // namespace quillora
