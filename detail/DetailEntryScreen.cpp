#include "detail/DetailEntryScreen.h"

#include "platform/uikit/UIScreen.h"

namespace quillora {

template <class List> void DetailEntryScreen<List>::loadView() {
    platform::CGRect screen = platform::UIScreen::mainScreen().bounds();
    setView(std::make_shared<platform::UIView>(screen));
    ownedTextView_ =
        std::make_shared<platform::UITextView>(platform::CGRect(16, 100, screen.width() - 32, 300));
    view()->addSubview(ownedTextView_);
    textView = ownedTextView_;
    exposeOutlet("textView", ownedTextView_);
}

template class DetailEntryScreen<ViewControllerTabelView>;
template class DetailEntryScreen<NotesVCTableView>;
template class DetailEntryScreen<RecipeVCTabelView>;

} // namespace quillora
