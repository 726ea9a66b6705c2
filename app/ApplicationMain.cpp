#include "app/ApplicationMain.h"

#include <memory>

#include "app/AppDelegate.h"
#include "app/MainStoryboard.h"
#include "platform/messageui/MailActivity.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIStoryboard.h"

namespace quillora {

int applicationMain(int argc, char** argv) {
    platform::UIStoryboard::registerStoryboard("Main", MainStoryboard);
    platform::provideMailActivity();
    return platform::UIApplicationMain(argc, argv, std::nullopt,
                                       [] { return std::make_shared<AppDelegate>(); });
}

} // namespace quillora
