#include "platform/uikit/UISearchBar.h"
#include "platform/uikit/UITableView.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

using namespace platform;

namespace {
// A list of numbered rows that records what the table asked of it.
class Rows : public NSObject, public UITableViewDataSource, public UITableViewDelegate {
public:
    std::vector<std::string> rows;
    std::vector<std::string> calls;
    int cellsMade = 0;

    long tableView_numberOfRowsInSection(UITableView&, long) override {
        return static_cast<long>(rows.size());
    }
    std::shared_ptr<UITableViewCell> tableView_cellForRowAtIndexPath(UITableView& t,
                                                                     const NSIndexPath& p) override {
        ++cellsMade;
        auto cell = t.dequeueReusableCellWithIdentifier_forIndexPath("row", p);
        cell->textLabel()->setText(rows[static_cast<std::size_t>(p.row)]);
        return cell;
    }
    void tableView_commitEditingStyle_forRowAtIndexPath(UITableView& t, UITableViewCellEditingStyle,
                                                        const NSIndexPath& p) override {
        calls.push_back("commit " + std::to_string(p.row));
        rows.erase(rows.begin() + p.row);
        t.deleteRowsAtIndexPaths_withRowAnimation({p}, UITableViewRowAnimation::Left);
    }
    void tableView_didHighlightRowAtIndexPath(UITableView&, const NSIndexPath& p) override {
        calls.push_back("highlight " + std::to_string(p.row));
    }
    void tableView_didSelectRowAtIndexPath(UITableView&, const NSIndexPath& p) override {
        calls.push_back("select " + std::to_string(p.row));
    }
};

struct Table {
    std::shared_ptr<Rows> rows = std::make_shared<Rows>();
    std::shared_ptr<UITableView> table = std::make_shared<UITableView>(CGRect(0, 0, 320, 440));
    explicit Table(int count) {
        for (int i = 0; i < count; ++i)
            rows->rows.push_back("row " + std::to_string(i));
        table->registerCellStyle_forCellReuseIdentifier(UITableViewCellStyle::Subtitle, "row");
        table->setDataSource(rows);
        table->setDelegate(rows);
    }
};
} // namespace

class TableViewTest : public PlatformTest {};

TEST_F(TableViewTest, OnlyVisibleRowsHaveCellsAndCellsAreReused) {
    Table t(10000);
    EXPECT_EQ(t.table->visibleCells().size(), 10u); // 440 points of 44-point rows
    EXPECT_EQ(t.rows->cellsMade, 10);
    auto first = t.table->visibleCells().front();
    t.table->reloadData();
    EXPECT_EQ(t.table->visibleCells().size(), 10u);
    bool reused = false;
    for (auto& cell : t.table->visibleCells())
        reused |= cell == first;
    EXPECT_TRUE(reused);
    t.table->setContentOffsetY(44 * 5000);
    EXPECT_EQ(t.table->visibleCells().front()->textLabel()->text(), "row 5000");
    EXPECT_FALSE(t.table->cellForRowAtIndexPath({0, 0}));
}

TEST_F(TableViewTest, UpdatesAreRecordedMoveTheSelectionAndMustMatchTheDataSource) {
    Table t(3);
    t.table->visibleCells();
    t.table->selectRowAtIndexPath_animated_scrollPosition(NSIndexPath{0, 1}, false,
                                                          UITableViewScrollPosition::None);
    t.rows->rows.insert(t.rows->rows.begin(), "new");
    t.table->insertRowsAtIndexPaths_withRowAnimation({{0, 0}}, UITableViewRowAnimation::Top);
    EXPECT_EQ(t.table->indexPathForSelectedRow(), (NSIndexPath{0, 2}));
    t.rows->rows.erase(t.rows->rows.begin() + 2);
    t.table->deleteRowsAtIndexPaths_withRowAnimation({{0, 2}}, UITableViewRowAnimation::Fade);
    EXPECT_FALSE(t.table->indexPathForSelectedRow());
    ASSERT_EQ(t.table->updates().size(), 2u);
    EXPECT_EQ(t.table->updates()[1].animation, UITableViewRowAnimation::Fade);
    EXPECT_EQ(t.table->visibleCells().size(), 3u);

    // Deleting a row the data source still has is the platform's "Invalid update".
    EXPECT_DEATH(t.table->deleteRowsAtIndexPaths_withRowAnimation({{0, 0}}, UITableViewRowAnimation::Fade),
                 "Invalid update");
}

TEST_F(TableViewTest, TouchesSwipesAndEditingModeReachTheDelegateAndDataSource) {
    Table t(3);
    EXPECT_TRUE(t.table->userTapRow({0, 1}));
    EXPECT_EQ(t.rows->calls, (std::vector<std::string>{"highlight 1", "select 1"}));
    EXPECT_EQ(t.table->indexPathForSelectedRow(), (NSIndexPath{0, 1}));

    // Without actions of its own, a row offers the platform's Delete, which commits the delete.
    auto swipe = t.table->userSwipeRow({0, 0});
    ASSERT_TRUE(swipe);
    EXPECT_EQ(swipe->actions().at(0)->title(), "Delete");
    EXPECT_FALSE(t.table->userTapRow({0, 2})); // a touch only closes the open swipe
    ASSERT_TRUE(t.table->userSwipeRow({0, 0}));
    EXPECT_TRUE(t.table->userPressSwipeAction(0));
    EXPECT_EQ(t.rows->rows, (std::vector<std::string>{"row 1", "row 2"}));
    EXPECT_FALSE(t.table->swipedRow());

    EXPECT_FALSE(t.table->userDeleteRowInEditingMode({0, 0}));
    t.table->setEditing_animated(true, false);
    EXPECT_FALSE(t.table->userSwipeRow({0, 0}));
    EXPECT_FALSE(t.table->userTapRow({0, 0}));
    EXPECT_TRUE(t.table->userDeleteRowInEditingMode({0, 1}));
    EXPECT_EQ(t.rows->rows, (std::vector<std::string>{"row 1"}));

    t.table->setHidden(true);
    t.table->setEditing_animated(false, false);
    EXPECT_FALSE(t.table->userTapRow({0, 0}));
}

namespace {
class SearchLog : public UISearchBarDelegate {
public:
    std::vector<std::string> calls;
    void searchBarTextDidBeginEditing(UISearchBar&) override { calls.push_back("begin"); }
    void searchBar_textDidChange(UISearchBar&, const std::string& text) override {
        calls.push_back("change " + text);
    }
    void searchBarSearchButtonClicked(UISearchBar&) override { calls.push_back("search"); }
    void searchBarTextDidEndEditing(UISearchBar&) override { calls.push_back("end"); }
};
} // namespace

TEST_F(TableViewTest, SearchBarsReportTypingAndRefuseItWhenHidden) {
    auto log = std::make_shared<SearchLog>();
    auto bar = std::make_shared<UISearchBar>();
    bar->setDelegate(log);
    EXPECT_TRUE(bar->typeText("ca"));
    EXPECT_TRUE(bar->typeText("t"));
    EXPECT_TRUE(bar->pressSearchButton());
    EXPECT_TRUE(bar->resignFirstResponder());
    EXPECT_EQ(log->calls, (std::vector<std::string>{"begin", "change ca", "change cat", "search", "end"}));
    EXPECT_EQ(bar->text(), "cat");
    bar->setHidden(true);
    EXPECT_FALSE(bar->typeText("s"));
    EXPECT_FALSE(bar->pressSearchButton());
}

} // namespace quillora::test
