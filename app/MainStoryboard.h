#pragma once
// The main storyboard, built in code: its scenes, its first screen and its segues.

#include "platform/uikit/UIStoryboard.h"

namespace quillora {

void MainStoryboard(platform::UIStoryboard& storyboard);

} // namespace quillora
