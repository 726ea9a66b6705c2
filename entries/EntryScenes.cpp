#include "entries/EntryScenes.h"

#include "entries/EntryListViewController.h"
#include "entries/RecipeBookMarkViewC.h"
#include "entries/WebViewController_Center.h"

namespace quillora {

void registerEntryScenes(platform::UIStoryboard& storyboard) {
    storyboard.registerScene("VCTV", [] { return std::make_shared<ViewControllerTabelView>(); });
    storyboard.registerScene("NVCTV", [] { return std::make_shared<NotesVCTableView>(); });
    storyboard.registerScene("RVCTV", [] { return std::make_shared<RecipeVCTabelView>(); });
    storyboard.registerScene("WebView", [] { return std::make_shared<WebViewController_Center>(); });
    storyboard.registerScene("RecipeBookMarkViewC", [] { return std::make_shared<RecipeBookMarkViewC>(); });
}

} // namespace quillora
