// Touches at points of the screen reaching the views that handle them themselves: picker rows,
// alert and action-sheet buttons, table rows and an open swipe's buttons, text views, the
// navigation bar.
#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {

class Screen : public UIViewController,
               public UIPickerViewDataSource,
               public UIPickerViewDelegate,
               public UITableViewDataSource,
               public UITableViewDelegate {
public:
    std::vector<std::string> rows{"English", "Español", "Deutsch", "Français"};
    std::vector<long> picked;
    std::vector<long> selected;
    std::vector<std::string> swipes;

    long numberOfComponentsInPickerView(UIPickerView&) override { return 1; }
    long pickerView_numberOfRowsInComponent(UIPickerView&, long) override {
        return static_cast<long>(rows.size());
    }
    std::optional<std::string> pickerView_titleForRow_forComponent(UIPickerView&, long row, long) override {
        return rows[static_cast<std::size_t>(row)];
    }
    void pickerView_didSelectRow_inComponent(UIPickerView&, long row, long) override {
        picked.push_back(row);
    }

    long tableView_numberOfRowsInSection(UITableView&, long) override {
        return static_cast<long>(rows.size());
    }
    std::shared_ptr<UITableViewCell> tableView_cellForRowAtIndexPath(UITableView& table,
                                                                     const NSIndexPath& path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("cell");
        cell->textLabel()->setText(rows[static_cast<std::size_t>(path.row)]);
        return cell;
    }
    void tableView_didSelectRowAtIndexPath(UITableView&, const NSIndexPath& path) override {
        selected.push_back(path.row);
    }
    std::shared_ptr<UISwipeActionsConfiguration>
    tableView_trailingSwipeActionsConfigurationForRowAtIndexPath(UITableView&,
                                                                 const NSIndexPath& path) override {
        auto share = UIContextualAction::contextualActionWithStyle_title_handler(
            UIContextualActionStyle::Normal, "Share", [this, path](UIContextualAction&, UIView&, auto done) {
                swipes.push_back("share " + std::to_string(path.row));
                done(true);
            });
        auto remove = UIContextualAction::contextualActionWithStyle_title_handler(
            UIContextualActionStyle::Destructive, "Delete",
            [this, path](UIContextualAction&, UIView&, auto done) {
                swipes.push_back("delete " + std::to_string(path.row));
                done(true);
            });
        return UISwipeActionsConfiguration::configurationWithActions({remove, share});
    }
};

class ScreenTouchTest : public quillora::test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        window = std::make_shared<UIWindow>();
        screen = std::make_shared<Screen>();
        nav = UINavigationController::initWithRootViewController(screen);
        nav->setNavigationBarHidden(true);
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        runUntilIdle();
    }

    void tap(CGPoint p) {
        ScreenRenderer::sendTouch(UITouchPhase::Began, p, 0);
        ScreenRenderer::sendTouch(UITouchPhase::Ended, p, 0.1);
        runUntilIdle();
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<Screen> screen;
    std::shared_ptr<UINavigationController> nav;
};

TEST_F(ScreenTouchTest, AClickOnAPickerRowAboveOrBelowTheCentrePicksIt) {
    auto picker = std::make_shared<UIPickerView>(CGRect{0, 300, 390, 160});
    picker->setDataSource(std::shared_ptr<UIPickerViewDataSource>(screen, screen.get()));
    picker->setDelegate(std::shared_ptr<UIPickerViewDelegate>(screen, screen.get()));
    screen->view()->addSubview(picker);
    // Rows are 32 points high, the chosen one (0) centred at y = 380.
    tap({195, 380 + 32});
    EXPECT_EQ(picker->selectedRowInComponent(0), 1);
    tap({195, 380 + 64});
    EXPECT_EQ(picker->selectedRowInComponent(0), 3) << "two rows below the centre";
    // The chosen row itself tells nobody; a click beyond the last row does nothing.
    tap({195, 380});
    tap({195, 380 + 32});
    EXPECT_EQ(screen->picked, (std::vector<long>{1, 3}));
    EXPECT_EQ(picker->selectedRowInComponent(0), 3);
    tap({195, 380 - 32});
    EXPECT_EQ(picker->selectedRowInComponent(0), 2);
    // A disabled picker takes nothing.
    picker->setUserInteractionEnabled(false);
    tap({195, 380 - 32});
    EXPECT_EQ(picker->selectedRowInComponent(0), 2);
}

TEST_F(ScreenTouchTest, AlertAndActionSheetButtonsArePressedWhereTheyAreDrawn) {
    std::vector<std::string> pressed;
    auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Title", "Message", UIAlertControllerStyle::Alert);
    alert->addAction(UIAlertAction::actionWithTitle_style_handler(
        "Cancel", UIAlertActionStyle::Cancel, [&](UIAlertAction&) { pressed.push_back("Cancel"); }));
    alert->addAction(UIAlertAction::actionWithTitle_style_handler(
        "OK", UIAlertActionStyle::Default, [&](UIAlertAction&) { pressed.push_back("OK"); }));
    screen->presentViewController_animated_completion(alert, false, nullptr);
    runUntilIdle();
    auto chrome = std::dynamic_pointer_cast<UIAlertControllerView>(alert->view());
    ASSERT_NE(chrome, nullptr);
    ScreenRenderer::layout();
    const auto layout = chrome->layout();
    ASSERT_TRUE(layout.sideBySide) << "two short buttons side by side, cancel first";
    EXPECT_LT(layout.buttons[0].minX(), layout.buttons[1].minX());
    // A touch on the dimmed screen beside the alert does nothing; the view under it is out of reach.
    tap({20, 100});
    EXPECT_TRUE(pressed.empty());
    EXPECT_EQ(screen->presentedViewController(), alert);
    // Down on OK, slid away and lifted outside: nothing.
    const CGRect ok = layout.buttons[1];
    ScreenRenderer::sendTouch(UITouchPhase::Began, {ok.midX(), ok.midY()}, 0);
    EXPECT_EQ(chrome->pressedAction(), 1);
    ScreenRenderer::sendTouch(UITouchPhase::Moved, {ok.midX(), ok.midY() - 200}, 0.1);
    ScreenRenderer::sendTouch(UITouchPhase::Ended, {ok.midX(), ok.midY() - 200}, 0.2);
    EXPECT_TRUE(pressed.empty());
    tap({ok.midX(), ok.midY()});
    EXPECT_EQ(pressed, (std::vector<std::string>{"OK"}));
    EXPECT_EQ(screen->presentedViewController(), nullptr);

    // An action sheet: its cancel button in a box of its own at the bottom, the others above.
    auto sheet = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Title", "Please Select Font", UIAlertControllerStyle::ActionSheet);
    for (const char* title : {"Font size 16", "Font size 24"})
        sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
            title, UIAlertActionStyle::Default, [&, title](UIAlertAction&) { pressed.push_back(title); }));
    auto disabled = UIAlertAction::actionWithTitle_style_handler(
        "Off", UIAlertActionStyle::Default, [&](UIAlertAction&) { pressed.push_back("Off"); });
    disabled->setEnabled(false);
    sheet->addAction(disabled);
    sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
        "Dismiss", UIAlertActionStyle::Cancel, [&](UIAlertAction&) { pressed.push_back("Dismiss"); }));
    screen->presentViewController_animated_completion(sheet, false, nullptr);
    runUntilIdle();
    ScreenRenderer::layout();
    auto sheetView = std::dynamic_pointer_cast<UIAlertControllerView>(sheet->view());
    const auto l = sheetView->layout();
    EXPECT_EQ(l.buttons[3], l.cancelBox);
    EXPECT_LT(l.buttons[1].maxY(), l.cancelBox.minY());
    EXPECT_LE(l.cancelBox.maxY(), 844 - 34) << "above the home indicator";
    tap({l.buttons[2].midX(), l.buttons[2].midY()});
    EXPECT_EQ(pressed.size(), 1u) << "a disabled action takes no press";
    tap({l.buttons[1].midX(), l.buttons[1].midY()});
    EXPECT_EQ(pressed.back(), "Font size 24");
    screen->presentViewController_animated_completion(sheet, false, nullptr);
    runUntilIdle();
    tap({l.cancelBox.midX(), l.cancelBox.midY()});
    EXPECT_EQ(pressed.back(), "Dismiss");
}

TEST_F(ScreenTouchTest, TableRowsAreTappedAndAnOpenSwipesButtonsPressedWhereTheyAreDrawn) {
    auto table = std::make_shared<UITableView>(CGRect{0, 100, 390, 400});
    table->registerCellStyle_forCellReuseIdentifier(UITableViewCellStyle::Default, "cell");
    table->setDataSource(std::shared_ptr<UITableViewDataSource>(screen, screen.get()));
    table->setDelegate(std::shared_ptr<UITableViewDelegate>(screen, screen.get()));
    screen->view()->addSubview(table);
    // Rows are 44 high from y = 100; the table scrolled by 44 shows row 1 at the top.
    table->setContentOffsetY(44);
    tap({100, 100 + 22});
    EXPECT_EQ(screen->selected, (std::vector<long>{1}));
    // A finger that lifts on another row selects nothing.
    ScreenRenderer::sendTouch(UITouchPhase::Began, {100, 122}, 0);
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 1})->isHighlighted()) << "the pressed look while held";
    ScreenRenderer::sendTouch(UITouchPhase::Ended, {100, 170}, 0.1);
    EXPECT_EQ(screen->selected.size(), 1u);
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 1})->isHighlighted());

    ASSERT_NE(table->userSwipeRow({0, 2}), nullptr);
    const auto rects = table->swipeActionRects();
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0].maxX(), 390) << "the first action at the right edge";
    EXPECT_LT(rects[1].maxX(), rects[0].minX() + 0.001);
    // Drawn at row 2's place in content coordinates, 44 points up by the scroll.
    const CGFloat y = 100 + rects[1].midY() - 44;
    tap({rects[1].midX(), y});
    EXPECT_EQ(screen->swipes, (std::vector<std::string>{"share 2"}));
    EXPECT_FALSE(table->swipedRow()) << "the row closes once the action completes";
    // A tap elsewhere closes an open swipe without pressing or selecting anything.
    ASSERT_NE(table->userSwipeRow({0, 2}), nullptr);
    tap({50, y});
    EXPECT_FALSE(table->swipedRow());
    EXPECT_EQ(screen->swipes.size(), 1u);
    EXPECT_EQ(screen->selected.size(), 1u);
}

TEST_F(ScreenTouchTest, ATouchOnAnEditableTextViewFocusesItWithTheCaretWhereItLifted) {
    auto text = std::make_shared<UITextView>(CGRect{10, 100, 370, 200});
    text->setFont(UIFont::fontWithName_size("Courier", 20));
    text->setText("one two three");
    screen->view()->addSubview(text);
    auto fixed = std::make_shared<UITextView>(CGRect{10, 400, 370, 100});
    fixed->setEditable(false);
    fixed->setText("read only");
    screen->view()->addSubview(fixed);

    tap({15, 110});
    EXPECT_TRUE(text->isFirstResponder());
    EXPECT_EQ(text->selectedRange().location, 0u) << "the caret at the start, where the finger lifted";
    tap({370, 110});
    EXPECT_EQ(text->selectedRange().location, 13u) << "beyond the line's end: at its end";
    tap({20, 420});
    EXPECT_FALSE(fixed->isFirstResponder());
}

TEST_F(ScreenTouchTest, TheShownNavigationBarCoversTheContentAndItsBackButtonGoesBack) {
    auto second = std::make_shared<UIViewController>();
    second->setTitle("Second");
    screen->setTitle("First");
    auto under = std::make_shared<UIView>(CGRect{0, 0, 390, 200});
    second->view()->addSubview(under);
    nav->pushViewController_animated(second, false);
    runUntilIdle();
    EXPECT_EQ(ScreenRenderer::hitTest({200, 70}), under) << "a hidden bar takes nothing";
    nav->setNavigationBarHidden(false);
    EXPECT_EQ(ScreenRenderer::hitTest({200, 70}), nav->navigationBar());
    EXPECT_EQ(ScreenRenderer::hitTest({200, 150}), under);
    tap({200, 70});
    EXPECT_EQ(nav->topViewController(), second) << "the title is no button";
    tap({30, 70});
    EXPECT_EQ(nav->topViewController(), screen);
}

} // namespace

namespace {
TEST_F(ScreenTouchTest, OnAPadAnActionSheetIsOneBoxWithItsCancelRowAndASheetKeepsItsSize) {
    UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiom::Pad);
    std::vector<std::string> pressed;
    auto sheet = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Pick", std::nullopt, UIAlertControllerStyle::ActionSheet);
    sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
        "One", UIAlertActionStyle::Default, [&](UIAlertAction&) { pressed.push_back("One"); }));
    sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
        "Dismiss", UIAlertActionStyle::Cancel, [&](UIAlertAction&) { pressed.push_back("Dismiss"); }));
    if (auto popover = sheet->popoverPresentationController()) {
        popover->sourceView = screen->view();
        popover->sourceRect = {195, 422, 0, 0};
    }
    screen->presentViewController_animated_completion(sheet, false, nullptr);
    runUntilIdle();
    ScreenRenderer::layout();
    auto chrome = std::dynamic_pointer_cast<UIAlertControllerView>(sheet->view());
    ASSERT_NE(chrome, nullptr);
    const auto l = chrome->layout();
    EXPECT_TRUE(l.popover);
    EXPECT_EQ(l.cancelBox.width(), 0) << "no separate cancel box";
    EXPECT_GT(l.buttons[1].minY(), l.buttons[0].minY()) << "cancel is the last row";
    EXPECT_EQ(sheet->view()->frame(), l.box);
    tap({l.buttons[1].midX(), l.buttons[1].midY()});
    EXPECT_EQ(pressed, (std::vector<std::string>{"Dismiss"}));

    // A page sheet comes up below the status bar and reaches down to the screen's bottom edge, no
    // further: what it holds at its bottom is on the screen.
    auto page = std::make_shared<UIViewController>();
    page->setModalPresentationStyle(UIModalPresentationStyle::PageSheet);
    screen->presentViewController_animated_completion(page, false, nullptr);
    runUntilIdle();
    EXPECT_GT(page->view()->frame().minY(), 0);
    EXPECT_EQ(page->view()->frame().maxY(), UIScreen::mainScreen().bounds().maxY());
    auto inside = std::make_shared<UIView>(CGRect{0, 0, 100, 100});
    page->view()->addSubview(inside);
    EXPECT_EQ(ScreenRenderer::hitTest({50, page->view()->frame().minY() + 50}), inside);
    EXPECT_EQ(ScreenRenderer::hitTest({50, 5}), nullptr)
        << "the dimmed presenter above the sheet takes nothing";
}
} // namespace

namespace {
TEST_F(ScreenTouchTest, AnActionSheetTallerThanTheScreenScrollsUnderTheFingerToItsLastAction) {
    std::vector<std::string> pressed;
    auto sheet = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Commands", "Please Select from the Options below ", UIAlertControllerStyle::ActionSheet);
    for (int i = 0; i < 16; ++i) {
        const std::string title = "Command " + std::to_string(i);
        sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
            title, UIAlertActionStyle::Default, [&, title](UIAlertAction&) { pressed.push_back(title); }));
    }
    sheet->addAction(
        UIAlertAction::actionWithTitle_style_handler("Dismiss", UIAlertActionStyle::Cancel, nullptr));
    screen->presentViewController_animated_completion(sheet, false, nullptr);
    runUntilIdle();
    ScreenRenderer::layout();
    auto chrome = std::dynamic_pointer_cast<UIAlertControllerView>(sheet->view());
    auto l = chrome->layout();
    ASSERT_GT(l.overflow, 0);
    EXPECT_GE(l.box.minY(), 47) << "below the status bar";
    const CGRect last = l.buttons[15];
    EXPECT_GT(last.minY(), l.box.maxY()) << "beyond the box before scrolling";
    // A drag up: it scrolls and presses nothing, though it began on a button.
    const CGFloat x = l.box.midX(), y = l.box.midY();
    ScreenRenderer::sendTouch(UITouchPhase::Began, {x, y}, 0);
    ScreenRenderer::sendTouch(UITouchPhase::Moved, {x, y - 100}, 0.1);
    ScreenRenderer::sendTouch(UITouchPhase::Moved, {x, y - 2000}, 0.2);
    ScreenRenderer::sendTouch(UITouchPhase::Ended, {x, y - 2000}, 0.3);
    runUntilIdle();
    EXPECT_TRUE(pressed.empty());
    EXPECT_EQ(chrome->scrollOffset(), l.overflow) << "kept in range";
    l = chrome->layout();
    EXPECT_LE(l.buttons[15].maxY(), l.box.maxY() + 0.001);
    tap({l.buttons[15].midX(), l.buttons[15].midY()});
    EXPECT_EQ(pressed, (std::vector<std::string>{"Command 15"}));
}
} // namespace

namespace {
TEST_F(ScreenTouchTest, TheShareSheetOffersWhatSuitsItsItemsAndTellsWhichWasPicked) {
    std::vector<std::string> told;
    auto share = UIActivityViewController::initWithActivityItems_applicationActivities(
        {std::string("Some words"), std::filesystem::path("/tmp/a.pdf")});
    share->setExcludedActivityTypes({UIActivityTypeMail});
    share->setCompletionWithItemsHandler([&](const std::optional<UIActivityType>& type, bool completed) {
        told.push_back(type.value_or("none") + (completed ? " done" : " cancelled"));
    });
    std::vector<std::string> titles;
    for (const auto& [type, title] : share->offeredActivities())
        titles.push_back(title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Copy", "Print", "Save to Files"})) << "mail excluded";

    screen->presentViewController_animated_completion(share, false, nullptr);
    runUntilIdle();
    ScreenRenderer::layout();
    auto sheet = std::dynamic_pointer_cast<UIActivityViewControllerView>(share->view());
    ASSERT_NE(sheet, nullptr);
    EXPECT_GT(share->view()->frame().minY(), 300) << "the lower half of the screen";
    const CGPoint origin = share->view()->frame().origin;
    const CGRect print = sheet->rowRects()[1];
    tap({origin.x + print.midX(), origin.y + print.midY()});
    EXPECT_EQ(told, (std::vector<std::string>{UIActivityTypePrint + " cancelled"}))
        << "the shared PDF is not there: nothing was printed";
    // The person is told so over the screen, which is left as it was once that is answered.
    advance(1);
    auto alert = std::dynamic_pointer_cast<UIAlertController>(screen->presentedViewController());
    ASSERT_NE(alert, nullptr) << "nothing says why nothing was printed";
    EXPECT_EQ(alert->title(), "Cannot Print");
    EXPECT_EQ(alert->message(), "Nothing was printed: the file /tmp/a.pdf is not there.");
    ASSERT_TRUE(alert->pressActionWithTitle("OK"));
    runUntilIdle();
    EXPECT_EQ(screen->presentedViewController(), nullptr);

    screen->presentViewController_animated_completion(share, false, nullptr);
    runUntilIdle();
    ScreenRenderer::layout();
    tap({200, 100});
    EXPECT_EQ(screen->presentedViewController(), share) << "the dimmed screen above takes nothing";
    const CGRect close = sheet->closeRect();
    tap({origin.x + close.midX(), origin.y + close.midY()});
    EXPECT_EQ(told.back(), "none cancelled");
}
} // namespace

namespace {
class Presser : public NSObject {
public:
    int presses = 0;
};

TEST_F(ScreenTouchTest, AShownToolbarSitsAboveTheHomeIndicatorAndPressesItsItems) {
    auto under = std::make_shared<UIView>(CGRect{0, 700, 390, 144});
    screen->view()->addSubview(under);
    EXPECT_EQ(ScreenRenderer::hitTest({100, 780}), under);
    auto presser = std::make_shared<Presser>();
    auto item = UIBarButtonItem::initWithTitle_style_target_action(
        "Edit", UIBarButtonItemStyle::Plain, presser, "edit", [](Presser& p) { ++p.presses; });
    nav->toolbar()->items = {item};
    nav->setToolbarHidden(false);
    // The bar: 49 points above the 34 of the home indicator, down to the screen's edge.
    EXPECT_EQ(ScreenRenderer::hitTest({100, 780}), nav->navigationBar());
    EXPECT_EQ(ScreenRenderer::hitTest({100, 840}), nav->navigationBar());
    EXPECT_EQ(ScreenRenderer::hitTest({100, 750}), under);
    tap({195, 844 - 34 - 25});
    EXPECT_EQ(presser->presses, 1);
    item->setEnabled(false);
    tap({195, 844 - 34 - 25});
    EXPECT_EQ(presser->presses, 1) << "a disabled item takes no press";
}

// A window system may send a touch's end or cancel again after the touch has ended (a modal
// dialog opened by the release takes the pointer): the next tap is a tap all the same.
TEST_F(ScreenTouchTest, ALateEndOrCancelAfterATouchLeavesTheNextTapATap) {
    auto presser = std::make_shared<Presser>();
    auto button = UIButton::buttonWithType(UIButtonType::System);
    button->setFrame({100, 400, 190, 50});
    button->addTarget(
        presser, "press", [](Presser& p) { ++p.presses; }, UIControlEvent::TouchUpInside);
    screen->view()->addSubview(button);
    for (auto late : {UITouchPhase::Cancelled, UITouchPhase::Ended, UITouchPhase::Moved}) {
        SCOPED_TRACE(static_cast<int>(late));
        const int before = presser->presses;
        tap({195, 425});
        ScreenRenderer::sendTouch(late, {195, 425}, 0.2);
        tap({195, 425});
        EXPECT_EQ(presser->presses, before + 2);
    }
}
} // namespace
