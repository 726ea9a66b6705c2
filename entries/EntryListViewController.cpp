#include "entries/EntryListViewController.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <new>
#include <string_view>

#include "entries/EntryCard.h"
#include "entries/TextPDFExport.h"
#include "entries/WebViewController_Center.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"

namespace quillora {

using namespace platform;

namespace {
constexpr long kCardTag = 4242;

} // namespace

void styleEntryCard(UITableViewCell& cell) {
    auto content = cell.contentView();
    content->setBackgroundColor(UIColor::clearColor());
    if (auto card = content->viewWithTag(kCardTag); card && card != content) return;
    // Held to the content's edges rather than sized from the screen: the content narrows when
    // editing mode puts a delete control before it, and the card stays inside the screen.
    auto card = std::make_shared<UIView>(CGRect(10, 8, content->bounds().width() - 20, 80));
    card->setTag(kCardTag);
    card->setBackgroundColor(UIColor::colorWithRed_green_blue_alpha(1.0, 1.0, 1.0, 0.9));
    card->layer().masksToBounds = false;
    card->layer().cornerRadius = 2;
    card->layer().shadowOffset = CGSize{-1, 1};
    card->layer().shadowOpacity = 0.2f;
    content->insertSubview_atIndex(card, 0);
    card->setTranslatesAutoresizingMaskIntoConstraints(false);
    NSLayoutConstraint::activateConstraints({
        card->leadingAnchor().constraintEqualToAnchor(content->leadingAnchor(), 10),
        card->trailingAnchor().constraintEqualToAnchor(content->trailingAnchor(), -10),
        card->topAnchor().constraintEqualToAnchor(content->topAnchor(), 8),
        card->heightAnchor().constraintEqualToConstant(80),
    });
}

EntryListViewController::EntryListViewController(const EntryListVariant& variant,
                                                 std::shared_ptr<BasicEntryFilter> filter)
    : entryFilter(std::move(filter)), variant_(variant) {}

ViewControllerTabelView::ViewControllerTabelView()
    : EntryListViewController(kMainEntryList,
                              std::make_shared<EntryFilter>(std::make_shared<EntryCollection>())) {}
NotesVCTableView::NotesVCTableView()
    : EntryListViewController(kNotesEntryList,
                              std::make_shared<EntryFilterNVC>(std::make_shared<EntryCollectionNVC>())) {}
RecipeVCTabelView::RecipeVCTabelView()
    : EntryListViewController(kRecipeEntryList,
                              std::make_shared<EntryFilterRVC>(std::make_shared<EntryCollectionRVC>())) {}

void EntryListViewController::loadView() {
    CGRect screen = UIScreen::mainScreen().bounds();
    setView(std::make_shared<UIView>(screen));
    ownedSearchBar_ = std::make_shared<UISearchBar>(CGRect(0, 90, screen.width(), 56));
    ownedTable_ = std::make_shared<UITableView>(CGRect(0, 146, screen.width(), screen.height() - 146));
    pdfButton_ = UIButton::buttonWithType(UIButtonType::System);
    pdfButton_->setFrame({screen.width() / 2 - 40, 35, 80, 50});
    pdfButton_->setTitle_forState("PDF", UIControlStates::Normal);
    pdfButton_->addTarget(
        self<EntryListViewController>(), "PDF", [](EntryListViewController& vc) { vc.PDF(); },
        UIControlEvent::TouchUpInside);
    view()->addSubview(ownedSearchBar_);
    view()->addSubview(ownedTable_);
    view()->addSubview(pdfButton_);
    searchBar = ownedSearchBar_;
    table = ownedTable_;
}

void EntryListViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto bar = searchBar.lock();
    auto list = table.lock();
    if (!bar || !list) fatalError("the list scene has no table or search bar");
    bar->setHidden(true);
    auto me = self<EntryListViewController>();
    list->setDataSource(me);
    list->setDelegate(me);
    bar->setDelegate(me);
    std::string segue;
    if (auto board = storyboard(); board && board->segue(storyboardIdentifier(), kEntryDetailSegue))
        segue = kEntryDetailSegue;
    list->registerCellStyle_forCellReuseIdentifier(UITableViewCellStyle::Subtitle, "cell", segue, me);
    setTitle(std::string(variant_.title));
    entryFilter->setSearchString("");

    CGFloat screenWidth = UIScreen::mainScreen().bounds().width();
    DocumentWalletButton->setFrame({screenWidth - 70, 35, 50, 50});
    DocumentWalletButton->setBackgroundColor(UIColor::clearColor());
    DocumentWalletButton->setTitle_forState("", UIControlStates::Normal);
    DocumentWalletButton->setImage_forState(UIImage::imageNamed(variant_.walletImage),
                                            UIControlStates::Normal);
    view()->addSubview(DocumentWalletButton);
    BackDynamicButton->setFrame({5, 20, 50, 50});
    BackDynamicButton->setBackgroundColor(UIColor::clearColor());
    BackDynamicButton->setTitle_forState("", UIControlStates::Normal);
    BackDynamicButton->setImage_forState(UIImage::imageNamed("back3button.png"), UIControlStates::Normal);
    BackDynamicButton->addTarget(
        me, "backviewTapped", [](EntryListViewController& vc) { vc.backviewTapped(); },
        UIControlEvent::TouchUpInside);
    view()->addSubview(BackDynamicButton);
    navigationItem()->rightBarButtonItem = editButtonItem();

    exposeOutlet("BackDynamicButton", BackDynamicButton);
    exposeOutlet("DocumentWalletButton", DocumentWalletButton);
    exposeOutlet("PDFButton", pdfButton_);
    exposeOutlet("searchBar", bar);
    exposeOutlet("table", list);

    fileURL = entryListURL(variant_.fileName);
    console().print("FILEURL");
    loadEntries();
    if (transcribe) addNote();
    transcribe = false;
}

void EntryListViewController::showAlert(const std::string& title, const std::string& message) {
    console().print(title + ": " + message);
    // Presented once the screen is shown: a list loads and saves while it is being pushed.
    std::weak_ptr<EntryListViewController> weak = self<EntryListViewController>();
    DispatchQueue::main().async([weak, title, message] {
        auto me = weak.lock();
        if (!me) return;
        auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
            title, message, UIAlertControllerStyle::Alert);
        alert->addAction(
            UIAlertAction::actionWithTitle_style_handler("OK", UIAlertActionStyle::Default, nullptr));
        me->presentViewController_animated_completion(alert, true, nullptr);
    });
}

void EntryListViewController::keepDamagedFile(const std::string& path, const std::string& why,
                                              const std::string& recovered) {
    const std::string name = std::filesystem::path(path).filename().string();
    // What cannot be read may still be someone's only copy: keep it beside the list.
    NSError error;
    auto aside = NSFileManager::defaultManager().moveItemAside(path, ".unreadable", &error);
    if (!aside) {
        fileProtected_ = true;
        console().print("entry list could not be read (" + why + ") and is left as it is: " + path);
        showAlert("List not read", "The list file “" + name + "” could not be read: " + why +
                                       ". It could not be moved aside either (" + error.localizedDescription +
                                       "), so it is left as it is and nothing will be saved into it.");
        return;
    }
    console().print("entry list could not be read (" + why + "), moved to " + *aside);
    showAlert("List damaged", "The list file “" + name + "” could not be read: " + why +
                                  ". Its bytes are kept in “" + *aside + "”." + recovered);
}

namespace {
std::string entryCount(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " entry" : " entries");
}

// What came back of a list file that could not be read, as the alert's last sentence.
std::string recoveredEntries(const StringArrayPlistRead& read) {
    const std::size_t n = read.salvaged.size();
    std::string text;
    if (n > 0)
        text = read.brokenOff
                   ? "The " + entryCount(n) + " before the damage " + (n == 1 ? "was" : "were") + " recovered"
                   : "The " + entryCount(n) + " that could be read " + (n == 1 ? "is" : "are") + " shown";
    if (!read.leftOut.empty()) text += (text.empty() ? "Left out: " : "; left out: ") + read.leftOut;
    return text.empty() ? text : " " + text + ".";
}

std::string allEntriesShown(std::size_t n) {
    return " All " + entryCount(n) + (n == 1 ? " is" : " are") + " shown, as they now read.";
}
} // namespace

void EntryListViewController::loadEntries() {
    std::string path = fileURL->path();
    auto& files = NSFileManager::defaultManager();
    {
        // Saves killed half-way leave their temporary files; none is being written while we hold
        // the folder. Only tidying: not worth a wait.
        auto lock = files.lockFolderOf(path, 0);
        if (lock.held()) files.removeLeftoverTemporaryFiles(path);
    }
    // The file read is the one stamped, held open: it stays the list as last read, without a
    // copy, while ours changes.
    auto file = RegularFile::open(path, kMaxListFileLength);
    auto read = readStringArrayPlistFile(file);
    if (read.outOfMemory) {
        // Nothing says the file is damaged: it stays as it is for a start with more memory, and
        // is not written over by a list that could not read it.
        fileProtected_ = true;
        data.clear();
        base_.clear();
        const std::string name = std::filesystem::path(path).filename().string();
        console().print("entry list could not be read (" + read.why + ") and is left as it is: " + path);
        showAlert("List not read", "The list file “" + name + "” could not be read: " + read.why +
                                       ". It is left as it is and nothing will be saved into it.");
        reloadTable();
        return;
    }
    if (!read.entries) {
        base_ = data;
        if (read.missing) return;
        keepDamagedFile(path, read.why, recoveredEntries(read));
        // The stand-in rows are for a list that never existed: this one shows what could be read.
        data = std::move(read.salvaged);
        // Nothing is in the file now: what another copy writes before our next Save is theirs.
        base_.clear();
        unsaved_ = true;
        reloadTable();
        keepRecoveredEntries();
        return;
    }
    data = std::move(*read.entries);
    if (read.replaced > 0) {
        // Read whole, but what it held cannot be saved as it was: the file is kept as it is and
        // the list goes on as it now reads.
        keepDamagedFile(path, replacedCharactersReason(read.replaced), allEntriesShown(data.size()));
        if (!fileProtected_) base_.clear();
        unsaved_ = true;
        reloadTable();
        keepRecoveredEntries();
        return;
    }
    baseStamp_ = file.stamp;
    baseFile_ = std::move(file);
    console().print("data that is going to be loaded ");
    try {
        console().print(quotedList(data));
    } catch (const std::bad_alloc&) {
        // The line is a copy of the whole list: the list is shown all the same.
        console().print("(the list's " + std::to_string(data.size()) +
                        " entries are not printed: there is not enough memory to print them)");
    }
    reloadTable();
}

void EntryListViewController::keepRecoveredEntries() {
    // Saved at once: the next visit finds them rather than a missing file and the stand-in rows.
    if (!fileProtected_) saveEntries();
}

std::vector<std::string> EntryListViewController::mergedEntries(const std::vector<std::string>& base,
                                                                const std::vector<std::string>& ours,
                                                                const std::vector<std::string>& theirs) {
    std::map<std::string_view, long> balance; // in theirs minus in base
    for (auto& s : theirs)
        ++balance[s];
    for (auto& s : base)
        --balance[s];
    std::vector<std::string> merged;
    merged.reserve(ours.size() + theirs.size());
    // Their additions: of a text they hold more often than base, the first ones are taken as new.
    std::map<std::string_view, long> added;
    for (auto& [text, n] : balance)
        if (n > 0) added[text] = n;
    for (auto& s : theirs) {
        auto it = added.find(s);
        if (it != added.end() && it->second > 0) {
            merged.push_back(s);
            --it->second;
        }
    }
    for (auto& s : ours) {
        auto it = balance.find(s);
        if (it != balance.end() && it->second < 0) {
            ++it->second; // removed by them
            continue;
        }
        merged.push_back(s);
    }
    return merged;
}

std::optional<std::vector<std::string>> EntryListViewController::baseEntries() const {
    if (!baseFile_.isOpen()) return base_;
    return readStringArrayPlistFile(baseFile_).entries;
}

EntryListViewController::Restore EntryListViewController::restorePoint() const {
    if (!unsaved_) return {};
    return {Restore::To::rows, data};
}

bool EntryListViewController::saveFailed(Restore& before, const std::string& why) {
    console().print("error writing file ");
    // Also where no one will see the alert: a Save that fails as the application ends.
    console().print("The list could not be saved: " + why);
    if (before.to != Restore::To::nothing) {
        if (before.to == Restore::To::base) {
            // Should the file held open fail to read back, the rows stay as they are shown.
            if (auto base = baseEntries()) {
                data = std::move(*base);
                unsaved_ = false;
            }
        } else {
            data = std::move(before.rows);
        }
        reloadTable();
    }
    showAlert("Not saved", "The list could not be saved: " + why);
    return false;
}

bool EntryListViewController::saveEntries(const std::vector<std::string>& before,
                                          std::function<void()> stored) {
    if (&before == &data) return save({Restore::To::nothing, {}}, std::move(stored));
    return save({Restore::To::rows, before}, std::move(stored));
}

bool EntryListViewController::save(Restore before, std::function<void()> stored) {
    if (waitingSave_) {
        // Written with the Save that waits, as `data` then stands.
        if (stored) waitingSave_->stored.push_back(std::move(stored));
        return false;
    }
    if (!fileURL) return saveFailed(before, "it has no file");
    if (fileProtected_) return saveFailed(before, "its file could not be read and is left as it is");
    const std::string path = fileURL->path();
    auto& files = NSFileManager::defaultManager();
    // Held from reading to writing, so another copy's Save cannot fall in between.
    auto lock = files.lockFolderOf(path, 0);
    if (lock.busy) {
        // Another program holds the folder: waited for on the run loop, so that the screen stays
        // live, showing the rows being saved; they go back to `before` if the wait runs out.
        if (before.to == Restore::To::nothing) before = {Restore::To::rows, data};
        waitingSave_ = WaitingSave{std::move(before), {}};
        if (stored) waitingSave_->stored.push_back(std::move(stored));
        files.waitForFolderOf(
            path, [me = self<EntryListViewController>()](const NSFileManager::FolderLock& folder) {
                auto waiting = std::move(*me->waitingSave_);
                me->waitingSave_.reset();
                const bool written = folder.busy ? me->saveFailed(waiting.before, folder.failure)
                                                 : me->writeEntries(waiting.before);
                if (written)
                    for (auto& tell : waiting.stored)
                        tell();
            });
        return false;
    }
    if (!writeEntries(before)) return false;
    if (stored) stored();
    return true;
}

bool EntryListViewController::writeEntries(Restore& before) {
    try {
        return writeEntriesToFile(before);
    } catch (const std::bad_alloc&) {
        // Taking in another copy's changes builds a second list beside ours.
        return saveFailed(before, "there is not enough memory to save it");
    }
}

bool EntryListViewController::writeEntriesToFile(Restore& before) {
    const std::string path = fileURL->path();
    // Every Save renames a new file into place: the same file, unchanged, is the one we know, and
    // is neither read nor compared again.
    const bool known = !baseStamp_.empty() && RegularFile::stampAt(path) == baseStamp_;
    StringArrayPlistRead fresh;
    if (!known) fresh = readStringArrayPlistFile(path);
    // What another copy saved is not written over unread.
    if (fresh.outOfMemory)
        return saveFailed(before, "its file, saved by another copy, could not be read: " + fresh.why);
    bool rowsChanged = false;
    if (fresh.entries && fresh.replaced > 0) {
        // Another copy left what cannot be saved: its file is kept before ours replaces it.
        keepDamagedFile(path, replacedCharactersReason(fresh.replaced),
                        allEntriesShown(fresh.entries->size()));
        if (fileProtected_) return saveFailed(before, "its file could not be read and is left as it is");
    }
    if (known) {
        // Ours to write over.
    } else if (fresh.entries) {
        // Should the list as last written fail to read back, all of theirs is taken as new: a
        // row shown twice rather than one lost.
        if (auto base = baseEntries().value_or(std::vector<std::string>()); *fresh.entries != base) {
            data = mergedEntries(base, data, *fresh.entries);
            rowsChanged = true;
        }
    } else if (!fresh.missing) {
        keepDamagedFile(path, fresh.why);
        if (fileProtected_) return saveFailed(before, "its file could not be read and is left as it is");
    }
    NSError error;
    std::size_t replaced = 0;
    if (!writeStringArrayPlist(path, data, &error, &replaced))
        return saveFailed(before, error.localizedDescription);
    if (replaced > 0) {
        // Stored as the preferences store such characters; the rows show what the file holds.
        for (auto& entry : data)
            makeStorable(entry);
        console().print("The list held " + std::to_string(replaced) +
                        (replaced == 1 ? " character that cannot be saved; it is stored as U+FFFD"
                                       : " characters that cannot be saved; they are stored as U+FFFD"));
        rowsChanged = true;
    }
    // The folder is still held: what is at the path is what was just written.
    baseFile_ = RegularFile::open(path, kMaxListFileLength);
    baseStamp_ = baseFile_.stamp;
    base_.clear();
    if (!baseFile_.isOpen()) base_ = data;
    unsaved_ = false;
    if (rowsChanged) reloadTable();
    return true;
}

void EntryListViewController::reloadTable() {
    if (auto list = table.lock()) list->reloadData();
}

bool EntryListViewController::addNote() {
    auto list = table.lock();
    if (list && list->isEditing()) return false;
    console().print("in Note function");
    auto before = restorePoint();
    data.insert(data.begin(), transribeText);
    unsaved_ = true;
    if (list && !isfilterenabled) {
        list->insertRowsAtIndexPaths_withRowAnimation({{0, 0}}, UITableViewRowAnimation::Top);
        list->selectRowAtIndexPath_animated_scrollPosition(NSIndexPath{0, 0}, true,
                                                           UITableViewScrollPosition::None);
    }
    return save(std::move(before),
                [weak = std::weak_ptr<EntryListViewController>(self<EntryListViewController>())] {
                    if (auto me = weak.lock(); me && me->transcriptStored) me->transcriptStored();
                });
}

void EntryListViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) {
        nav->setToolbarHidden(true);
        nav->setNavigationBarHidden(true);
    }
    takeDetailText();
}

void EntryListViewController::takeDetailText() {
    if (selectedRow == -1 && !returnAsNewRow_) return;
    auto before = restorePoint();
    unsaved_ = true;
    if (returnAsNewRow_) {
        if (!newRowText.empty()) data.insert(data.begin(), newRowText);
    } else if (selectedRow >= 0 && selectedRow < static_cast<long>(data.size())) {
        auto at = data.begin() + selectedRow;
        if (newRowText.empty())
            data.erase(at);
        else
            *at = newRowText;
    }
    reloadTable();
    save(std::move(before), nullptr);
    selectedRow = -1;
    returnAsNewRow_ = false;
}

void EntryListViewController::replaceHandedBackText(const std::string& handedBack, const std::string& text) {
    // Not taken yet: the hand-back still to come carries the new text.
    if (selectedRow != -1 || returnAsNewRow_) {
        newRowText = text;
        return;
    }
    auto at = handedBack.empty() ? data.end() : std::find(data.begin(), data.end(), handedBack);
    if (at != data.end())
        *at = text;
    else
        data.insert(data.begin(), text);
    unsaved_ = true;
    reloadTable();
    saveEntries();
}

void EntryListViewController::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    bool wasFiltering = isfilterenabled;
    if (auto bar = searchBar.lock()) {
        bar->resignFirstResponder();
        bar->setText(std::string());
    }
    isfilterenabled = false;
    // The rows shown must be `data` again before anyone deletes one.
    if (wasFiltering) reloadTable();
}

void EntryListViewController::backviewTapped() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

void EntryListViewController::PDF() {
    auto board = storyboard();
    if (!board) return;
    auto browser = std::dynamic_pointer_cast<WebViewController_Center>(
        board->instantiateViewControllerWithIdentifier("WebView"));
    if (!browser) fatalError("the scene WebView is not a WebViewController_Center");
    browser->setModalTransitionStyle(UIModalTransitionStyle::CrossDissolve);
    if (auto nav = navigationController()) nav->pushViewController_animated(browser, true);
}

const std::vector<std::string>& EntryListViewController::shownRows() const {
    return isfilterenabled ? entryFilter->filteredEntries : data;
}

long EntryListViewController::dataIndexForRow(long row) const {
    if (row < 0) return -1;
    if (!isfilterenabled) return row < static_cast<long>(data.size()) ? row : -1;
    auto& shown = entryFilter->filteredEntries;
    if (row >= static_cast<long>(shown.size())) return -1;
    // Equal texts keep their order in both lists, so the k-th showing of a text is its k-th row.
    const std::string& text = shown[static_cast<std::size_t>(row)];
    long ordinal = std::count(shown.begin(), shown.begin() + row, text);
    for (std::size_t i = 0; i < data.size(); ++i)
        if (data[i] == text && ordinal-- == 0) return static_cast<long>(i);
    return -1;
}

void EntryListViewController::removeShownRow(long row) {
    unsaved_ = true;
    if (!isfilterenabled) {
        if (row >= 0 && row < static_cast<long>(data.size())) data.erase(data.begin() + row);
        return;
    }
    long index = dataIndexForRow(row);
    auto& shown = entryFilter->filteredEntries;
    if (row >= 0 && row < static_cast<long>(shown.size())) shown.erase(shown.begin() + row);
    if (index >= 0) data.erase(data.begin() + index);
}

void EntryListViewController::deleteEntryAtRow(long row) {
    auto before = restorePoint();
    removeShownRow(row);
    if (auto list = table.lock())
        list->deleteRowsAtIndexPaths_withRowAnimation({{0, row}}, UITableViewRowAnimation::Fade);
    save(std::move(before), nullptr);
}

long EntryListViewController::tableView_numberOfRowsInSection(UITableView&, long) {
    return static_cast<long>(shownRows().size());
}

std::shared_ptr<UITableViewCell>
EntryListViewController::tableView_cellForRowAtIndexPath(UITableView& tableView, const NSIndexPath& path) {
    auto cell = tableView.dequeueReusableCellWithIdentifier_forIndexPath("cell", path);
    auto& rows = shownRows();
    cell->textLabel()->setText(
        path.row < static_cast<long>(rows.size()) ? rows[static_cast<std::size_t>(path.row)] : std::string());
    cell->imageView()->setImage(UIImage::imageNamed(variant_.cellImage));
    if (auto detail = cell->detailTextLabel()) detail->setText(variant_.cellSubtitle);
    styleEntryCard(*cell);
    return cell;
}

double EntryListViewController::tableView_heightForRowAtIndexPath(UITableView&, const NSIndexPath&) {
    return 100;
}

void EntryListViewController::tableView_didSelectRowAtIndexPath(UITableView&, const NSIndexPath& path) {
    long index = dataIndexForRow(path.row);
    if (index >= 0) console().print(data[static_cast<std::size_t>(index)]);
}

std::shared_ptr<UIContextualAction> EntryListViewController::pdfExportActionForRow(long row) {
    std::weak_ptr<EntryListViewController> weak = self<EntryListViewController>();
    auto action = UIContextualAction::contextualActionWithStyle_title_handler(
        UIContextualActionStyle::Normal, "",
        [weak, row](UIContextualAction&, UIView&, UIContextualAction::CompletionHandler done) {
            auto me = weak.lock();
            long index = me ? me->dataIndexForRow(row) : -1;
            if (index >= 0) exportListPDFKeepingScreenLive(me->data[static_cast<std::size_t>(index)], me);
            done(true);
        });
    action->image = UIImage::imageNamed("PDF.jpg");
    return action;
}

std::shared_ptr<UISwipeActionsConfiguration>
EntryListViewController::tableView_trailingSwipeActionsConfigurationForRowAtIndexPath(
    UITableView&, const NSIndexPath& path) {
    std::weak_ptr<EntryListViewController> weak = self<EntryListViewController>();
    long row = path.row;
    auto remove = UIContextualAction::contextualActionWithStyle_title_handler(
        UIContextualActionStyle::Destructive, "",
        [weak, row](UIContextualAction&, UIView&, UIContextualAction::CompletionHandler done) {
            if (auto me = weak.lock()) me->deleteEntryAtRow(row);
            done(true);
        });
    remove->image = UIImage::imageNamed("delete.jpg");
    // Delete at the row's edge, where a full swipe reaches; the row's PDF beside it.
    return UISwipeActionsConfiguration::configurationWithActions({remove, pdfExportActionForRow(row)});
}

void EntryListViewController::tableView_commitEditingStyle_forRowAtIndexPath(UITableView& tableView,
                                                                             UITableViewCellEditingStyle,
                                                                             const NSIndexPath& path) {
    if (isfilterenabled && !variant_.deletesWhileFiltered) return;
    removeShownRow(path.row);
    tableView.deleteRowsAtIndexPaths_withRowAnimation({path}, UITableViewRowAnimation::Fade);
}

void EntryListViewController::setEditing_animated(bool editing, bool animated) {
    if (isfilterenabled && !variant_.editsWhileFiltered) return;
    UIViewController::setEditing_animated(editing, animated);
    if (auto list = table.lock()) list->setEditing_animated(editing, animated);
    // Rows deleted while editing are written now; a failure brings them back.
    save({}, nullptr);
}

void EntryListViewController::prepareForSegue_sender(UIStoryboardSegue& segue,
                                                     const std::shared_ptr<NSObject>&) {
    auto destination = segue.destinationViewController();
    auto detail = std::dynamic_pointer_cast<EntryDetailScreen>(destination);
    if (!detail || destination->className() != variant_.detailClassName)
        fatalError("the row's segue leads to " +
                   (destination ? destination->className() : std::string("nothing")) + ", not " +
                   variant_.detailClassName);
    auto list = table.lock();
    auto selected = list ? list->indexPathForSelectedRow() : std::nullopt;
    if (!selected) fatalError("a row's segue without a selected row");
    auto& rows = shownRows();
    if (selected->row >= static_cast<long>(rows.size())) fatalError("the selected row is not shown");
    selectedRow = dataIndexForRow(selected->row);
    returnAsNewRow_ = selectedRow < 0;
    detail->takeEntry(self<EntryListViewController>(), rows[static_cast<std::size_t>(selected->row)]);
}

void EntryListViewController::searchBarTextDidBeginEditing(UISearchBar&) {
    console().print("search bar editing ");
    isfilterenabled = true;
    if (variant_.reloadsWhenSearchBegins) reloadTable();
}

void EntryListViewController::searchBar_textDidChange(UISearchBar& bar, const std::string&) {
    if (!bar.text()) return;
    entryFilter->setSearchString(*bar.text());
    reloadTable();
}

void EntryListViewController::searchBarSearchButtonClicked(UISearchBar& bar) {
    bar.resignFirstResponder();
    if (!bar.text()) return;
    if (bar.text()->empty()) {
        console().print("no data ");
        isfilterenabled = false;
        reloadTable();
        return;
    }
    entryFilter->setSearchString(*bar.text());
    isfilterenabled = true;
    reloadTable();
}

void EntryListViewController::searchBarTextDidEndEditing(UISearchBar&) {
    console().print("search end bar editing ");
    isfilterenabled = false;
    reloadTable();
}

void EntryListViewController::searchBarCancelButtonClicked(UISearchBar&) {
    isfilterenabled = false;
    reloadTable();
}

void EntryListViewController::describeScreen(std::vector<std::string>& lines) const {
    UIViewController::describeScreen(lines);
    if (auto list = table.lock()) list->describeRows(lines, "    ");
}

} // namespace quillora
