#pragma once
// The entry detail screens as far as their lists need them: the row's text shown in `textView`,
// and the text handed back to the list (`masterView.newRowText`) when the screen goes away.

#include <memory>
#include <string>

#include "entries/EntryListViewController.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIViewController.h"

namespace quillora {

template <class List> class DetailEntryScreen : public platform::UIViewController, public EntryDetailScreen {
public:
    std::weak_ptr<List> masterView;
    std::string text;
    std::weak_ptr<platform::UITextView> textView;

    void takeEntry(const std::shared_ptr<EntryListViewController>& master,
                   const std::string& entry) override {
        masterView = std::dynamic_pointer_cast<List>(master);
        text = entry;
    }

    void loadView() override;
    void viewDidLoad() override {
        platform::UIViewController::viewDidLoad();
        if (auto view = textView.lock()) view->setText(text);
    }
    void viewWillDisappear(bool animated) override {
        platform::UIViewController::viewWillDisappear(animated);
        auto view = textView.lock();
        if (auto master = masterView.lock(); master && view) master->newRowText = view->text();
    }

private:
    std::shared_ptr<platform::UITextView> ownedTextView_;
};

class DetailVCTableView : public DetailEntryScreen<ViewControllerTabelView> {};
class DetailNotesVCTableView : public DetailEntryScreen<NotesVCTableView> {};
class DetailRecipeVCTableView : public DetailEntryScreen<RecipeVCTabelView> {};

} // namespace quillora
