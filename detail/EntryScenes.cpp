#include "detail/EntryScenes.h"

#include "detail/DetailEntryScreen.h"
#include "entries/RecipeBookMarkViewC.h"
#include "entries/WebViewController_Center.h"

namespace quillora {

void registerEntryScenes(platform::UIStoryboard& storyboard) {
    storyboard.registerScene("VCTV", [] { return std::make_shared<ViewControllerTabelView>(); });
    storyboard.registerScene("NVCTV", [] { return std::make_shared<NotesVCTableView>(); });
    storyboard.registerScene("RVCTV", [] { return std::make_shared<RecipeVCTabelView>(); });
    storyboard.registerScene("WebView", [] { return std::make_shared<WebViewController_Center>(); });
    storyboard.registerScene("RecipeBookMarkViewC", [] { return std::make_shared<RecipeBookMarkViewC>(); });
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
