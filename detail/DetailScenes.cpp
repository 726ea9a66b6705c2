#include "detail/DetailScenes.h"

#include "detail/DetailEntryScreen.h"

namespace quillora {

void registerDetailScenes(platform::UIStoryboard& storyboard) {
    storyboard.registerScene("DetailVCTableView", [] { return std::make_shared<DetailVCTableView>(); });
    storyboard.registerScene("DetailNotesVCTableView",
                             [] { return std::make_shared<DetailNotesVCTableView>(); });
    storyboard.registerScene("DetailRecipeVCTableView",
                             [] { return std::make_shared<DetailRecipeVCTableView>(); });
    storyboard.registerSegue("VCTV", kEntryDetailSegue, "DetailVCTableView");
    storyboard.registerSegue("NVCTV", kEntryDetailSegue, "DetailNotesVCTableView");
    storyboard.registerSegue("RVCTV", kEntryDetailSegue, "DetailRecipeVCTableView");
}

} // namespace quillora
