#pragma once
// The main storyboard's scene of the settings table ("SettingsTableViewController"), with its
// prototype cell "Cell".

#include "platform/uikit/UIStoryboard.h"

namespace quillora {

void registerSettingsScenes(platform::UIStoryboard& storyboard);

} // namespace quillora
