#pragma once
// The main storyboard's scenes of the three entry detail screens and the segue from a row of each
// list to its detail screen. The lists' own scenes come from registerEntryScenes.

#include "platform/uikit/UIStoryboard.h"

namespace quillora {

void registerDetailScenes(platform::UIStoryboard& storyboard);

} // namespace quillora
