#pragma once
// Turning the device: the main screen's bounds swap width and height, the key window and the
// screens on it take the new size, and each screen hears of it through
// viewWillTransitionToSize_withTransitionCoordinator.

#include "platform/foundation/Geometry.h"

namespace platform {

enum class UIInterfaceOrientation { Portrait, Landscape };

UIInterfaceOrientation currentInterfaceOrientation();
// False when the screen is already turned that way.
bool rotateScreen(UIInterfaceOrientation orientation, double duration = 0.3);

} // namespace platform
