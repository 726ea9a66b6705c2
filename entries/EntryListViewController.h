#pragma once
// The entry list screens: one saved transcript per row, newest first, kept in a property-list file
// of Documents. A dictation screen hands a transcript over and pushes the list, which inserts it
// as row 0 and writes the file; a row opens in its detail screen, which hands the edited text back
// when it goes away; rows are deleted by swipe or in editing mode; the search bar filters the rows
// by lemma. The three lists differ only by the row of EntryListVariant they are made with.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "entries/EntryFilter.h"
#include "entries/EntryListVariant.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/RegularFile.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UISearchBar.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"

namespace quillora {

class EntryListViewController;

// What a list hands a row to: the detail screen takes the list (to hand the text back to) and the
// row's text before its view loads.
class EntryDetailScreen {
public:
    virtual ~EntryDetailScreen() = default;
    virtual void takeEntry(const std::shared_ptr<EntryListViewController>& master,
                           const std::string& text) = 0;
};

// The segue from a row to its detail screen.
inline const std::string kEntryDetailSegue = "showDetail";

class EntryListViewController : public platform::UIViewController,
                                public platform::UITableViewDataSource,
                                public platform::UITableViewDelegate,
                                public platform::UISearchBarDelegate {
public:
    const EntryListVariant& variant() const { return variant_; }

    std::weak_ptr<platform::UISearchBar> searchBar;
    std::weak_ptr<platform::UITableView> table;
    std::vector<std::string> data{"Item1", "Item2", "Item3"};
    std::shared_ptr<platform::UIButton> BackDynamicButton =
        platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    std::shared_ptr<platform::UIButton> DocumentWalletButton =
        platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    long selectedRow = -1;
    std::string newRowText;
    std::optional<platform::NSURL> fileURL;
    std::string transribeText;
    bool transcribe = false;
    // Told once transribeText stands in the list and its file, so the dictation screen knows its
    // transcript is saved; a Save that failed says nothing.
    std::function<void()> transcriptStored;
    std::shared_ptr<BasicEntryFilter> entryFilter;
    bool isfilterenabled = false;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void setEditing_animated(bool editing, bool animated) override;
    void prepareForSegue_sender(platform::UIStoryboardSegue& segue,
                                const std::shared_ptr<platform::NSObject>& sender) override;

    // Puts the text the detail screen handed back (newRowText) in place of the row it showed, or
    // removes the row when the text is empty, and writes the file; once per opened row.
    void takeDetailText();
    // A detail screen's text grew after it was handed back (speech still arriving as the screen
    // went): the row that holds `handedBack` gets `text`, or `text` becomes a new first row when
    // the hand-back removed its row; then the file is written. Before the hand-back is taken, it
    // takes `text` instead.
    void replaceHandedBackText(const std::string& handedBack, const std::string& text);
    // True when the new row reached the file; transcriptStored is told once it has.
    bool addNote();
    void backviewTapped();
    void PDF();
    // Writes `data` to the list file, first taking in what another copy of the program wrote to it
    // since this screen read it. A Save that fails puts `data` back to `before` and says why in
    // an alert. True when the file holds `data`. A folder another program holds is waited for on
    // the run loop (false meanwhile; Saves made while it waits are written with it); `stored` is
    // told once the file holds `data`.
    bool saveEntries(const std::vector<std::string>& before, std::function<void()> stored = nullptr);
    bool saveEntries() { return saveEntries(data); }
    void loadEntries();

    // The list that keeps both copies' changes: `ours` is what this screen made of `base` (the
    // file as it last read or wrote it), `theirs` what the file holds now. Entries the other copy
    // added come first (lists are newest first); entries it removed are removed from ours.
    static std::vector<std::string> mergedEntries(const std::vector<std::string>& base,
                                                  const std::vector<std::string>& ours,
                                                  const std::vector<std::string>& theirs);
    void deleteEntryAtRow(long row);

    long tableView_numberOfRowsInSection(platform::UITableView&, long section) override;
    std::shared_ptr<platform::UITableViewCell>
    tableView_cellForRowAtIndexPath(platform::UITableView&, const platform::NSIndexPath&) override;
    double tableView_heightForRowAtIndexPath(platform::UITableView&, const platform::NSIndexPath&) override;
    void tableView_didSelectRowAtIndexPath(platform::UITableView&, const platform::NSIndexPath&) override;
    std::shared_ptr<platform::UISwipeActionsConfiguration>
    tableView_trailingSwipeActionsConfigurationForRowAtIndexPath(platform::UITableView&,
                                                                 const platform::NSIndexPath&) override;
    void tableView_commitEditingStyle_forRowAtIndexPath(platform::UITableView&,
                                                        platform::UITableViewCellEditingStyle,
                                                        const platform::NSIndexPath&) override;

    void searchBarTextDidBeginEditing(platform::UISearchBar&) override;
    void searchBar_textDidChange(platform::UISearchBar&, const std::string&) override;
    void searchBarSearchButtonClicked(platform::UISearchBar&) override;
    void searchBarTextDidEndEditing(platform::UISearchBar&) override;
    void searchBarCancelButtonClicked(platform::UISearchBar&) override;

    // The position in `data` of a row as shown (under the filter, of the shown entry); -1 when the
    // shown entry is no longer in `data`.
    long dataIndexForRow(long row) const;
    // The row's export to a PDF in Documents, offered beside delete in its swipe actions.
    std::shared_ptr<platform::UIContextualAction> pdfExportActionForRow(long row);

    void describeScreen(std::vector<std::string>& lines) const override;

protected:
    EntryListViewController(const EntryListVariant& variant, std::shared_ptr<BasicEntryFilter> filter);

private:
    const std::vector<std::string>& shownRows() const;
    void removeShownRow(long row);
    void reloadTable();
    void showAlert(const std::string& title, const std::string& message);
    // What `data` goes back to when its Save fails: the list as last read or written (kept as
    // its file, so that a change to a long list does not copy it), `rows`, or nothing.
    struct Restore {
        enum class To { base, rows, nothing } to = To::base;
        std::vector<std::string> rows;
    };
    // Where a change to `data` is undone to, taken before the change.
    Restore restorePoint() const;
    bool save(Restore before, std::function<void()> stored);
    // The part of a Save done with the list's folder held; memory running out fails the Save.
    bool writeEntries(Restore& before);
    bool writeEntriesToFile(Restore& before);
    // Puts `data` back to `before` and says why the Save failed; false.
    bool saveFailed(Restore& before, const std::string& why);
    // The list as last read or written; none when its file can no longer be read.
    std::optional<std::vector<std::string>> baseEntries() const;
    // Moves an unreadable list file aside and tells the person where its bytes went, and what
    // came back of it (`recovered`, the alert's last sentence).
    void keepDamagedFile(const std::string& path, const std::string& why, const std::string& recovered = "");
    // Writes what was read of a damaged list into a new file in its place.
    void keepRecoveredEntries();

    const EntryListVariant& variant_;
    std::shared_ptr<platform::UITableView> ownedTable_;
    std::shared_ptr<platform::UISearchBar> ownedSearchBar_;
    std::shared_ptr<platform::UIButton> pdfButton_;
    // The list file could not be read and could not be moved aside, or memory ran out as it was
    // read: it is never written over.
    bool fileProtected_ = false;
    // The list as this screen last read or wrote it: what another copy's changes are told from.
    // When baseFile_ is open, its file holds it (read again only when another copy wrote the list
    // or a Save fails), else base_.
    std::vector<std::string> base_;
    platform::RegularFile::Opened baseFile_;
    // `data` may differ from the list as last read or written.
    bool unsaved_ = false;
    // The file as this screen last read or wrote it (inode, size, time of change): unchanged, it
    // need not be read again before a Save.
    std::string baseStamp_;
    // The entry the detail screen shows is no longer in `data`: its text comes back as a new row.
    bool returnAsNewRow_ = false;
    // A Save waiting for the list's folder: the rows to go back to if the wait runs out, and
    // whom to tell once it is written.
    struct WaitingSave {
        Restore before;
        std::vector<std::function<void()>> stored;
    };
    std::optional<WaitingSave> waitingSave_;
};

class ViewControllerTabelView : public EntryListViewController {
public:
    ViewControllerTabelView();
};

class NotesVCTableView : public EntryListViewController {
public:
    NotesVCTableView();
};

class RecipeVCTabelView : public EntryListViewController {
public:
    RecipeVCTabelView();
};

} // namespace quillora
