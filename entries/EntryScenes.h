#pragma once
// The main storyboard's scenes of the saved transcripts: the three list screens ("VCTV", "NVCTV",
// "RVCTV"), the saved-PDF browser ("WebView") and the recipe text view ("RecipeBookMarkViewC").
// The segues from a row to its detail screen come with the detail screens' scenes.

#include "platform/uikit/UIStoryboard.h"

namespace quillora {

void registerEntryScenes(platform::UIStoryboard& storyboard);

} // namespace quillora
