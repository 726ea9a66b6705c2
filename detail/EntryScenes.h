#pragma once
// The main storyboard's scenes of the saved transcripts: the three list screens ("VCTV", "NVCTV",
// "RVCTV"), the saved-PDF browser ("WebView"), the recipe text view ("RecipeBookMarkViewC"), the
// three detail screens, and the segue from a list row to its detail screen.

#include "platform/uikit/UIStoryboard.h"

namespace quillora {

void registerEntryScenes(platform::UIStoryboard& storyboard);

} // namespace quillora
