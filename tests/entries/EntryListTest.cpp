#include <algorithm>
#include <filesystem>

#include "platform/foundation/Console.h"
#include "tests/entries/EntryTestSupport.h"

namespace quillora::test {

using namespace platform;
using Rows = std::vector<std::string>;

TEST_F(EntryTest, SavesInsertTheTranscriptAtRowZeroAndWriteTheWholeListAsAPropertyList) {
    auto list = openList("Hello world\nsecond line 🍎");
    Rows first{"Hello world\nsecond line 🍎", "Item1", "Item2", "Item3"};
    EXPECT_EQ(list->data, first);
    EXPECT_EQ(listFile(), first);
    std::string xml = readFile(documents("notes.txt"));
    EXPECT_EQ(xml.rfind("<?xml", 0), 0u);
    EXPECT_NE(xml.find("<array>"), std::string::npos);
    auto table = list->table.lock();
    ASSERT_EQ(table->updates().size(), 1u);
    EXPECT_EQ(table->updates()[0].kind, UITableView::Update::Kind::Insert);
    EXPECT_EQ(table->updates()[0].animation, UITableViewRowAnimation::Top);
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 0}));
    EXPECT_TRUE(consoleHas("FILEURL"));
    EXPECT_TRUE(consoleHas("in Note function"));
    EXPECT_FALSE(list->transcribe);
    EXPECT_EQ(list->title(), "DidovIvave");
    EXPECT_TRUE(list->searchBar.lock()->isHidden());

    // A later save lands on top of what the file holds; the same text twice gives two rows.
    nav->popViewControllerAnimated(false);
    auto again = openList("Hello world\nsecond line 🍎");
    Rows second = first;
    second.insert(second.begin(), first[0]);
    EXPECT_EQ(listFile(), second);
    EXPECT_EQ(rowTexts(*again->table.lock()).front(), first[0]);
    auto cell = again->table.lock()->visibleCells().at(1);
    EXPECT_EQ(cell->detailTextLabel()->text(), "Daily Notes");
    EXPECT_EQ(cell->frame().height(), 100);
}

TEST_F(EntryTest, AnEmptyTranscriptOrAnEmptyFileAddsNothing) {
    auto list = openList("");
    EXPECT_EQ(list->data, (Rows{"Item1", "Item2", "Item3"}));
    EXPECT_FALSE(std::filesystem::exists(documents("notes.txt")));
    nav->popViewControllerAnimated(false);

    writeList({});
    auto empty = openList("");
    EXPECT_TRUE(empty->data.empty());
    EXPECT_EQ(empty->table.lock()->numberOfRowsInSection(0), 0);

    // Adding while the table is being edited adds no row.
    empty->setEditing_animated(true, false);
    empty->transribeText = "late";
    empty->addNote();
    EXPECT_TRUE(empty->data.empty());
}

TEST_F(EntryTest, TheConsoleShowsTheLoadedListOnOneLineWithQuotesAndLineBreaksEscaped) {
    const std::vector<std::pair<Rows, std::string>> cases{
        {{}, "[]"},
        {{"one"}, R"(["one"])"},
        {{"say \"hi\"\nthen go", "", "\"", "📌 ünï\n\n"}, R"(["say \"hi\"\nthen go", "", "\"", "📌 ünï\n\n"])"},
    };
    for (const auto& [rows, line] : cases) {
        SCOPED_TRACE(line);
        writeList(rows);
        platform::console().clearCaptured();
        auto list = openList("");
        const auto lines = platform::console().capturedLines();
        auto loaded = std::find(lines.begin(), lines.end(), "data that is going to be loaded ");
        ASSERT_NE(loaded, lines.end());
        ASSERT_NE(loaded + 1, lines.end());
        EXPECT_EQ(loaded[1], line);
        nav->popViewControllerAnimated(false);
    }
}

TEST_F(EntryTest, TheDetailScreenHandsItsTextBackToTheRowItWasOpenedFrom) {
    writeList({"alpha", "beta", "gamma"});
    auto list = openList("");
    auto table = list->table.lock();
    ASSERT_TRUE(table->userTapRow({0, 1}));
    auto detail = std::dynamic_pointer_cast<DetailVCTableView>(nav->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->textView->text(), "beta");
    EXPECT_EQ(list->selectedRow, 1);
    EXPECT_TRUE(consoleHas("beta"));

    detail->textView->setText("beta, edited");
    nav->popViewControllerAnimated(true);
    EXPECT_EQ(listFile(), (Rows{"alpha", "beta, edited", "gamma"}));
    EXPECT_EQ(list->selectedRow, -1);

    ASSERT_TRUE(table->userTapRow({0, 0}));
    std::dynamic_pointer_cast<DetailVCTableView>(nav->topViewController())->textView->setText("");
    nav->popViewControllerAnimated(true);
    EXPECT_EQ(listFile(), (Rows{"beta, edited", "gamma"}));
    EXPECT_EQ(rowTexts(*table), (Rows{"beta, edited", "gamma"}));

    // Coming back from the PDF browser changes nothing.
    auto before = readFile(documents("notes.txt"));
    ASSERT_TRUE(std::dynamic_pointer_cast<UIButton>(list->outletNamed("PDFButton"))->tap());
    EXPECT_EQ(nav->topViewController()->className(), "WebViewController_Center");
    nav->popViewControllerAnimated(true);
    EXPECT_EQ(readFile(documents("notes.txt")), before);
}

TEST_F(EntryTest, SwipeDeletesWriteAtOnceEditingModeDeletesWhenTheModeSwitches) {
    writeList({"a", "b", "c", "d"});
    auto list = openList("");
    auto table = list->table.lock();
    auto swipe = table->userSwipeRow({0, 1});
    ASSERT_TRUE(swipe);
    // Delete at the row's edge, the row's PDF beside it.
    ASSERT_EQ(swipe->actions().size(), 2u);
    EXPECT_EQ(swipe->actions()[0]->style(), UIContextualActionStyle::Destructive);
    EXPECT_EQ(swipe->actions()[0]->title(), "");
    EXPECT_EQ(swipe->actions()[1]->style(), UIContextualActionStyle::Normal);
    EXPECT_EQ(swipe->actions()[1]->image->name(), "PDF.jpg");
    ASSERT_TRUE(table->userPressSwipeAction(0));
    EXPECT_EQ(listFile(), (Rows{"a", "c", "d"}));
    EXPECT_EQ(table->updates().back().animation, UITableViewRowAnimation::Fade);
    EXPECT_FALSE(table->swipedRow());

    list->editButtonItem()->press();
    EXPECT_TRUE(table->isEditing());
    ASSERT_TRUE(table->userDeleteRowInEditingMode({0, 0}));
    EXPECT_EQ(list->data, (Rows{"c", "d"}));
    EXPECT_EQ(listFile(), (Rows{"a", "c", "d"}));
    list->editButtonItem()->press();
    EXPECT_FALSE(table->isEditing());
    EXPECT_EQ(listFile(), (Rows{"c", "d"}));
}

TEST_F(EntryTest, TheThreeListsKeepToTheirOwnFilesAndLooks) {
    auto main = openList("main text");
    auto notes = openList<NotesVCTableView>("notes text", "NVCTV");
    auto recipe = openList<RecipeVCTabelView>("recipe text", "RVCTV");
    EXPECT_EQ(listFile("notes.txt")->front(), "main text");
    EXPECT_EQ(listFile("notesNVC.txt")->front(), "notes text");
    EXPECT_EQ(listFile("notesRVC.txt")->front(), "recipe text");
    EXPECT_EQ(listFile("notes.txt")->size(), 4u);
    EXPECT_EQ(notes->title(), "DidovIvave-I");
    EXPECT_EQ(recipe->title(), "Daily Notes-II");
    EXPECT_EQ(recipe->table.lock()->visibleCells().at(0)->detailTextLabel()->text(), "Daily Note-II");

    ASSERT_TRUE(recipe->table.lock()->userTapRow({0, 0}));
    EXPECT_EQ(nav->topViewController()->className(), "DetailRecipeVCTableView");
    nav->popViewControllerAnimated(false);
    EXPECT_EQ(listFile("notesRVC.txt")->front(), "recipe text");
}

TEST_F(EntryTest, AListFileThatCannotBeReadIsMovedAsideNeverOverwritten) {
    std::ofstream(documents("notes.txt")) << "not a property list \x01\x02";
    auto list = openList("fresh");
    EXPECT_EQ(readFile(documents("notes.txt.unreadable")), "not a property list \x01\x02");
    EXPECT_EQ(listFile(), (Rows{"fresh"})) << "no stand-in rows: the list existed";
    EXPECT_TRUE(
        consoleHas("entry list could not be read (it is not a property list, or is cut short), moved to " +
                   documents("notes.txt.unreadable")));
    nav->popViewControllerAnimated(false);

    // An array with a non-string element is not a list of entries either; the first copy stays.
    std::ofstream(documents("notes.txt"))
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
           "<array><string>a</string><integer>3</integer></array></plist>";
    auto second = openList("");
    EXPECT_FALSE(second->entryFilter->entryCollection->entries);
    EXPECT_TRUE(std::filesystem::exists(documents("notes.txt.unreadable-2")));
    EXPECT_EQ(readFile(documents("notes.txt.unreadable")), "not a property list \x01\x02");
}

TEST_F(EntryTest, UnderTheSearchFilterRowsMapToTheirEntries) {
    writeList({"the cat sleeps", "buy milk", "two cats play", "buy milk"});
    auto list = openList("");
    auto table = list->table.lock();
    auto bar = list->searchBar.lock();
    bar->setText(std::string("Cat"));
    list->searchBarSearchButtonClicked(*bar);
    ASSERT_TRUE(list->isfilterenabled);
    EXPECT_EQ(rowTexts(*table), (Rows{"the cat sleeps", "two cats play"}));

    // The hand-back replaces the entry that was shown, not the row of the same number in `data`.
    ASSERT_TRUE(table->userTapRow({0, 1}));
    EXPECT_EQ(list->selectedRow, 2);
    std::dynamic_pointer_cast<DetailVCTableView>(nav->topViewController())->textView->setText("two dogs");
    nav->popViewControllerAnimated(true);
    EXPECT_FALSE(list->isfilterenabled);
    EXPECT_EQ(listFile(), (Rows{"the cat sleeps", "buy milk", "two dogs", "buy milk"}));

    // A delete made while filtering is kept in the list and its file.
    bar->setText(std::string("milk"));
    list->searchBarSearchButtonClicked(*bar);
    EXPECT_EQ(rowTexts(*table), (Rows{"buy milk", "buy milk"}));
    ASSERT_TRUE(table->userSwipeRow({0, 1}));
    ASSERT_TRUE(table->userPressSwipeAction(0));
    EXPECT_EQ(listFile(), (Rows{"the cat sleeps", "buy milk", "two dogs"}));
    EXPECT_EQ(rowTexts(*table), (Rows{"buy milk"}));

    // An empty search turns the filter off.
    bar->setText(std::string());
    list->searchBarSearchButtonClicked(*bar);
    EXPECT_FALSE(list->isfilterenabled);
    EXPECT_TRUE(consoleHas("no data "));
    EXPECT_EQ(rowTexts(*table).size(), 3u);
}

TEST_F(EntryTest, NotesListIgnoresEditingDeletesAndRecipeListEditingWhileFiltering) {
    writeList({"one cat", "two cats"}, "notesNVC.txt");
    writeList({"one cat", "two cats"}, "notesRVC.txt");
    auto notes = openList<NotesVCTableView>("", "NVCTV");
    auto bar = notes->searchBar.lock();
    bar->setText(std::string("cat"));
    notes->searchBarSearchButtonClicked(*bar);
    notes->setEditing_animated(true, false);
    ASSERT_TRUE(notes->table.lock()->userDeleteRowInEditingMode({0, 0}));
    EXPECT_EQ(notes->entryFilter->filteredEntries.size(), 2u);
    EXPECT_EQ(notes->data.size(), 2u);
    nav->popViewControllerAnimated(false);

    auto recipe = openList<RecipeVCTabelView>("", "RVCTV");
    auto rbar = recipe->searchBar.lock();
    rbar->setText(std::string("cat"));
    recipe->searchBarSearchButtonClicked(*rbar);
    recipe->setEditing_animated(true, false);
    EXPECT_FALSE(recipe->isEditing());
    EXPECT_FALSE(recipe->table.lock()->isEditing());
}

} // namespace quillora::test
