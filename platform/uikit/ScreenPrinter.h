#pragma once
// Prints what the user sees as text: the current screen's named controls with their state, then
// whatever is presented over it (sheets, alerts), one block per screen.

#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/UIViewController.h"

namespace platform {

class ScreenPrinter {
public:
    // The screen under the presentations: the key window's root, or the top of its navigation stack.
    static std::shared_ptr<UIViewController> baseViewController();
    // The screen the user acts on: the topmost presented controller, else the base screen.
    static std::shared_ptr<UIViewController> currentViewController();

    // The lines of `controller` and of every controller presented over it.
    static std::vector<std::string> describe(const std::shared_ptr<UIViewController>& controller);
    // The key window's screens, as text ending in a newline; "(no screen)" when nothing is shown.
    static std::string printScreen();
};

} // namespace platform
