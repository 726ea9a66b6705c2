#include "app/AppDelegate.h"

namespace quillora {

bool AppDelegate::application_didFinishLaunchingWithOptions(platform::UIApplication& application,
                                                            const platform::LaunchOptions&) {
    application.setIdleTimerDisabled(true);
    return true;
}

} // namespace quillora
