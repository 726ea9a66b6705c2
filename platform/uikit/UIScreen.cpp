#include "platform/uikit/UIScreen.h"

#include "platform/foundation/Sandbox.h"

namespace platform {

UIScreen& UIScreen::mainScreen() {
    static UIScreen screen;
    static const bool registered = [] {
        registerSharedInstanceReset([] { screen = UIScreen(); });
        return true;
    }();
    (void)registered;
    return screen;
}

UIDevice& UIDevice::currentDevice() {
    static UIDevice device;
    static const bool registered = [] {
        registerSharedInstanceReset([] { device = UIDevice(); });
        return true;
    }();
    (void)registered;
    return device;
}

} // namespace platform
