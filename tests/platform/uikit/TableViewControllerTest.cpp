#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UITableViewController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

using namespace platform;

namespace {
// Two sections of one row each, as a small settings page has them.
class TwoSections : public UITableViewController {
public:
    using UITableViewController::UITableViewController;
    std::vector<std::vector<std::string>> sections{{"Share"}, {"Mail", "Call"}};
    std::vector<NSIndexPath> selected;

    long numberOfSectionsInTableView(UITableView&) override { return static_cast<long>(sections.size()); }
    long tableView_numberOfRowsInSection(UITableView&, long section) override {
        return static_cast<long>(sections[static_cast<std::size_t>(section)].size());
    }
    std::shared_ptr<UITableViewCell> tableView_cellForRowAtIndexPath(UITableView& table,
                                                                     const NSIndexPath& path) override {
        auto cell = table.dequeueReusableCellWithIdentifier_forIndexPath("Cell", path);
        cell->textLabel()->setText(
            sections[static_cast<std::size_t>(path.section)][static_cast<std::size_t>(path.row)]);
        return cell;
    }
    void tableView_didSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override {
        selected.push_back(path);
        table.deselectRowAtIndexPath_animated(path, true);
    }
};
} // namespace

class TableViewControllerTest : public PlatformTest {};

TEST_F(TableViewControllerTest, TheControllerFeedsItsOwnTableBySectionAndTakesItsTaps) {
    auto screen = std::make_shared<TwoSections>(UITableViewStyle::Grouped);
    // A scene registers its prototypes before the view loads.
    screen->tableView()->registerCellStyle_forCellReuseIdentifier(UITableViewCellStyle::Default, "Cell");
    EXPECT_FALSE(screen->isViewLoaded());
    EXPECT_EQ(screen->view(), screen->tableView());
    EXPECT_EQ(screen->tableView()->style(), UITableViewStyle::Grouped);

    auto table = std::dynamic_pointer_cast<UITableView>(screen->outletNamed("tableView"));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->numberOfSections(), 2);
    EXPECT_EQ(table->numberOfRowsInSection(1), 2);
    EXPECT_EQ(table->cellForRowAtIndexPath({1, 1})->textLabel()->text(), "Call");

    EXPECT_TRUE(table->userTapRow({1, 0}));
    ASSERT_EQ(screen->selected.size(), 1u);
    EXPECT_EQ(screen->selected[0], (NSIndexPath{1, 0}));
    EXPECT_FALSE(table->indexPathForSelectedRow()) << "the screen deselected the row it handled";

    std::vector<std::string> lines;
    screen->describeScreen(lines);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2], "    [0, 0] \"Share\"");
    EXPECT_EQ(lines[4], "    [1, 1] \"Call\"");
}

TEST_F(TableViewControllerTest, ABareControllerShowsAnEmptyTableAndOutlivesNothing) {
    std::weak_ptr<UITableViewController> gone;
    std::weak_ptr<UITableView> table;
    {
        auto screen = std::make_shared<UITableViewController>();
        EXPECT_EQ(screen->tableView()->numberOfSections(), 1);
        EXPECT_EQ(screen->tableView()->numberOfRowsInSection(0), 0);
        EXPECT_TRUE(screen->tableView()->visibleCells().empty());
        gone = screen;
        table = screen->tableView();
    }
    // The table holds its controller weakly: no cycle keeps either alive.
    EXPECT_TRUE(gone.expired());
    EXPECT_TRUE(table.expired());
}

} // namespace quillora::test
