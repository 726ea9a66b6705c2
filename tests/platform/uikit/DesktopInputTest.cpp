// A desktop's mouse, wheel and keyboard as the screens receive them, and the desktop services the
// share sheet, links and printing go through, with the recording services that stand in for them.
#include <fstream>
#include <memory>

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/DesktopServices.h"
#include "platform/uikit/KeyboardInput.h"
#include "platform/uikit/ScrollInput.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {

// Records what a text view's delegate is asked, and can refuse changes.
class Editing : public UITextViewDelegate, public UITextFieldDelegate {
public:
    bool refuse = false;
    int changes = 0;
    // Each change asked about: its range and its replacement.
    std::vector<std::tuple<std::size_t, std::size_t, std::string>> asked;
    bool textView_shouldChangeTextInRange_replacementText(UITextView&, NSRange range,
                                                          const std::string& text) override {
        asked.emplace_back(range.location, range.length, text);
        return !refuse;
    }
    bool textField_shouldChangeCharactersInRange_replacementString(UITextField&, NSRange range,
                                                                   const std::string& text) override {
        asked.emplace_back(range.location, range.length, text);
        return !refuse;
    }
    void textViewDidChange(UITextView&) override { ++changes; }
};

class Wheel : public UIPickerViewDataSource, public UIPickerViewDelegate {
public:
    std::vector<long> picked;
    long numberOfComponentsInPickerView(UIPickerView&) override { return 1; }
    long pickerView_numberOfRowsInComponent(UIPickerView&, long) override { return 5; }
    void pickerView_didSelectRow_inComponent(UIPickerView&, long row, long) override {
        picked.push_back(row);
    }
};

class Rows : public NSObject, public UITableViewDataSource, public UITableViewDelegate {
public:
    long tableView_numberOfRowsInSection(UITableView&, long) override { return 30; }
    std::shared_ptr<UITableViewCell> tableView_cellForRowAtIndexPath(UITableView& t,
                                                                     const NSIndexPath& p) override {
        auto cell = t.dequeueReusableCellWithIdentifier_forIndexPath("row", p);
        cell->textLabel()->setText("row " + std::to_string(p.row));
        return cell;
    }
};

class DesktopInputTest : public quillora::test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        root = std::make_shared<UIViewController>();
        nav = UINavigationController::initWithRootViewController(root);
        window = std::make_shared<UIWindow>();
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
    }
    RecordingDesktopServices& services() { return *DesktopServices::recording(); }

    std::shared_ptr<UITextView> textView(const std::string& text) {
        auto view = std::make_shared<UITextView>(CGRect{0, 100, 390, 120});
        view->setText(text);
        view->setDelegate(editing);
        root->view()->addSubview(view);
        return view;
    }
    void drag(CGPoint from, CGPoint to) {
        ScrollInput::touch(UITouchPhase::Began, from, 0);
        for (int i = 1; i <= 4; ++i)
            ScrollInput::touch(UITouchPhase::Moved,
                               {from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4},
                               0.01 * i);
        ScrollInput::touch(UITouchPhase::Ended, to, 0.05);
    }

    std::shared_ptr<Editing> editing = std::make_shared<Editing>();
    std::shared_ptr<UIViewController> root;
    std::shared_ptr<UINavigationController> nav;
    std::shared_ptr<UIWindow> window;
};

} // namespace

TEST_F(DesktopInputTest, KeysEditTheFocusedTextThroughItsDelegateByWholeCharacters) {
    EXPECT_FALSE(KeyboardInput::insertText("lost")) << "nothing has the focus";
    // A flag is two code points, an accented e made of two is one character.
    auto view = textView("ab🇫🇷e\u0301");
    ASSERT_TRUE(view->becomeFirstResponder());
    EXPECT_TRUE(KeyboardInput::deleteBackward());
    EXPECT_EQ(view->text(), "ab🇫🇷");
    EXPECT_TRUE(KeyboardInput::deleteBackward());
    EXPECT_EQ(view->text(), "ab");
    EXPECT_TRUE(KeyboardInput::insertText("ç字"));
    EXPECT_EQ(view->text(), "abç字");
    EXPECT_EQ(editing->changes, 3);

    // Arrows move the caret; typing lands there; shift grows a selection that typing replaces.
    KeyboardInput::moveCaret(KeyboardMove::left, false);
    KeyboardInput::moveCaret(KeyboardMove::left, false);
    KeyboardInput::insertText("-");
    EXPECT_EQ(view->text(), "ab-ç字");
    KeyboardInput::moveCaret(KeyboardMove::lineStart, false);
    KeyboardInput::moveCaret(KeyboardMove::right, true);
    KeyboardInput::moveCaret(KeyboardMove::right, true);
    EXPECT_EQ(view->selectedRange().length, 2u);
    KeyboardInput::insertText("X");
    EXPECT_EQ(view->text(), "X-ç字");

    // Lines: Return breaks one, up and down keep the place across (in a fixed-width font, the
    // column) where the line allows.
    view->setFont(UIFont::fontWithName_size("Courier", 12));
    view->setText("first line\nsecond");
    KeyboardInput::moveCaret(KeyboardMove::up, false);
    EXPECT_EQ(view->selectedRange().location, 6u);
    KeyboardInput::moveCaret(KeyboardMove::down, false);
    EXPECT_EQ(view->selectedRange().location, 17u);
    KeyboardInput::pressReturn();
    EXPECT_EQ(view->text(), "first line\nsecond\n");

    // With a hardware keyboard the notifications still come, with a keyboard that covers nothing.
    UIScreen::mainScreen().setHardwareKeyboard(true);
    auto observer = std::make_shared<int>();
    std::vector<CGRect> frames;
    NSNotificationCenter::defaultCenter().addObserver(
        observer, UIKeyboardWillShowNotification,
        [&](const NSNotification& n) { frames.push_back(*n.rectForKey(UIKeyboardFrameEndUserInfoKey)); });
    view->resignFirstResponder();
    view->becomeFirstResponder();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].minY(), 844);
    EXPECT_EQ(frames[0].height(), 0);

    // A delegate that refuses keeps the text as it was.
    editing->refuse = true;
    EXPECT_FALSE(KeyboardInput::deleteBackward());
    EXPECT_FALSE(KeyboardInput::insertText("no"));
    EXPECT_EQ(view->text(), "first line\nsecond\n");
}

TEST_F(DesktopInputTest, ClipboardKeysGoThroughTheDesktopAndPasteLandsWhereTheFocusStillIs) {
    auto view = textView("hello world");
    ASSERT_TRUE(view->becomeFirstResponder());
    EXPECT_FALSE(KeyboardInput::copy()) << "nothing is selected";
    KeyboardInput::selectAll();
    EXPECT_TRUE(KeyboardInput::copy());
    EXPECT_EQ(services().clipboard(), "hello world");
    view->setSelectedRange({0, 5});
    EXPECT_TRUE(KeyboardInput::cut());
    EXPECT_EQ(services().clipboard(), "hello");
    EXPECT_EQ(view->text(), " world");

    view->setSelectedRange({6, 0});
    EXPECT_TRUE(KeyboardInput::paste());
    EXPECT_EQ(view->text(), " world") << "the desktop answers later";
    runUntilIdle();
    EXPECT_EQ(view->text(), " worldhello");

    // The answer arrives after the focus moved on: it is not typed anywhere.
    KeyboardInput::paste();
    view->resignFirstResponder();
    runUntilIdle();
    EXPECT_EQ(view->text(), " worldhello");
}

TEST_F(DesktopInputTest, EscapeCancelsTheAlertElseDismissesTheSheetElseGoesBack) {
    std::vector<std::string> pressed;
    auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Font", std::nullopt, UIAlertControllerStyle::ActionSheet);
    alert->addAction(UIAlertAction::actionWithTitle_style_handler(
        "Courier", UIAlertActionStyle::Default, [&](UIAlertAction&) { pressed.push_back("Courier"); }));
    alert->addAction(UIAlertAction::actionWithTitle_style_handler(
        "Cancel", UIAlertActionStyle::Cancel, [&](UIAlertAction&) { pressed.push_back("Cancel"); }));
    auto sheet = std::make_shared<UIViewController>();
    root->presentViewController_animated_completion(sheet, false, nullptr);
    sheet->presentViewController_animated_completion(alert, false, nullptr);
    runUntilIdle();

    EXPECT_TRUE(KeyboardInput::pressEscape());
    runUntilIdle();
    EXPECT_EQ(pressed, (std::vector<std::string>{"Cancel"}));
    EXPECT_EQ(sheet->presentedViewController(), nullptr);
    EXPECT_TRUE(KeyboardInput::pressEscape());
    runUntilIdle();
    EXPECT_EQ(root->presentedViewController(), nullptr) << "the sheet goes";

    // A one-button alert closes with Escape as with Return, and Return does not reach the text
    // behind it.
    for (bool escape : {true, false}) {
        auto focusedText = textView("behind");
        focusedText->becomeFirstResponder();
        auto plain = UIAlertController::alertControllerWithTitle_message_preferredStyle(
            "Offline", std::nullopt, UIAlertControllerStyle::Alert);
        plain->addAction(UIAlertAction::actionWithTitle_style_handler(
            "OK ", UIAlertActionStyle::Default, [&](UIAlertAction&) { pressed.push_back("OK "); }));
        root->presentViewController_animated_completion(plain, false, nullptr);
        runUntilIdle();
        pressed.clear();
        EXPECT_TRUE(escape ? KeyboardInput::pressEscape() : KeyboardInput::pressAlertReturn());
        runUntilIdle();
        EXPECT_EQ(pressed, (std::vector<std::string>{"OK "})) << (escape ? "Escape" : "Return");
        EXPECT_EQ(root->presentedViewController(), nullptr);
        EXPECT_EQ(focusedText->text(), "behind");
        EXPECT_FALSE(KeyboardInput::pressAlertReturn()) << "no alert is in front any more";
        focusedText->resignFirstResponder();
        focusedText->removeFromSuperview();
    }

    EXPECT_FALSE(KeyboardInput::pressEscape()) << "the first screen has nothing to go back to";
    nav->pushViewController_animated(std::make_shared<UIViewController>(), false);
    runUntilIdle();
    EXPECT_TRUE(KeyboardInput::pressEscape());
    runUntilIdle();
    EXPECT_EQ(nav->viewControllers().size(), 1u);
}

TEST_F(DesktopInputTest, ReturnAndEscapeChooseAnAlertsActionByItsStyleAndThePreferredOne) {
    using S = UIAlertActionStyle;
    struct Action {
        const char* title;
        S style;
        bool preferred = false;
        bool enabled = true;
    };
    struct Case {
        const char* what;
        std::vector<Action> actions;
        const char* onReturn; // "" when Return presses nothing
        const char* onEscape;
    };
    const std::vector<Case> cases{
        {"one button", {{"OK ", S::Default}}, "OK ", "OK "},
        {"a cancel and one other", {{"Delete", S::Destructive}, {"Cancel", S::Cancel}}, "Delete", "Cancel"},
        {"several choices and a cancel",
         {{"16", S::Default}, {"24", S::Default}, {"Dismiss", S::Cancel}},
         "",
         "Dismiss"},
        {"the preferred of several", {{"Save", S::Default}, {"Send", S::Default, true}}, "Send", ""},
        {"a preferred cancel", {{"Go", S::Default}, {"Stop", S::Cancel, true}}, "Stop", "Stop"},
        {"only a cancel", {{"Cancel", S::Cancel}}, "", "Cancel"},
        {"a disabled preferred action",
         {{"Go", S::Default, true, false}, {"Cancel", S::Cancel}},
         "",
         "Cancel"},
        {"a disabled only action", {{"OK ", S::Default, false, false}}, "", ""},
    };
    for (const auto& c : cases)
        for (bool escape : {false, true}) {
            std::vector<std::string> pressed;
            auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
                "Title", std::nullopt, UIAlertControllerStyle::Alert);
            for (const auto& a : c.actions) {
                auto action = UIAlertAction::actionWithTitle_style_handler(
                    a.title, a.style,
                    [&, title = std::string(a.title)](UIAlertAction&) { pressed.push_back(title); });
                action->setEnabled(a.enabled);
                alert->addAction(action);
                if (a.preferred) alert->setPreferredAction(action);
            }
            root->presentViewController_animated_completion(alert, false, nullptr);
            runUntilIdle();
            const std::string expected = escape ? c.onEscape : c.onReturn;
            if (escape)
                KeyboardInput::pressEscape();
            else
                KeyboardInput::pressAlertReturn();
            runUntilIdle();
            const auto label = std::string(c.what) + (escape ? ", Escape" : ", Return");
            EXPECT_EQ(pressed,
                      expected.empty() ? std::vector<std::string>{} : std::vector<std::string>{expected})
                << label;
            EXPECT_EQ(root->presentedViewController() == nullptr, !expected.empty())
                << label << ": the alert goes only when an action is pressed";
            if (root->presentedViewController())
                root->dismissViewControllerAnimated_completion(false, nullptr);
            runUntilIdle();
        }
}

TEST_F(DesktopInputTest, DragsScrollWheelsTurnPickersAndALeftDragOnARowOpensItsSwipe) {
    // A drag on a button's place does not become a tap once the finger has moved away from it.
    int taps = 0;
    auto rows = std::make_shared<Rows>();
    auto table = std::make_shared<UITableView>(CGRect{0, 100, 390, 440});
    table->registerCellStyle_forCellReuseIdentifier(UITableViewCellStyle::Default, "row");
    table->setDataSource(rows);
    table->setDelegate(rows);
    root->view()->addSubview(table);
    drag({200, 400}, {200, 250});
    EXPECT_DOUBLE_EQ(table->contentOffsetY(), 150) << "the content follows the finger";
    drag({200, 150}, {200, 600});
    EXPECT_DOUBLE_EQ(table->contentOffsetY(), 0) << "never above the top";
    EXPECT_FALSE(table->indexPathForSelectedRow()) << "a drag selects no row";
    EXPECT_TRUE(ScrollInput::scroll({200, 300}, 0, 3 * ScrollInput::kPointsPerNotch, true));
    EXPECT_DOUBLE_EQ(table->contentOffsetY(), 120);
    EXPECT_TRUE(ScrollInput::scroll({200, 300}, 0, 100000, false));
    EXPECT_DOUBLE_EQ(table->contentOffsetY(), table->contentHeight() - 440) << "never below the end";
    table->setContentOffsetY(0);

    // Row 2 lies at 100 + 2 * 44 .. 100 + 3 * 44 on the screen.
    drag({300, 210}, {250, 212});
    ASSERT_TRUE(table->swipedRow());
    EXPECT_EQ(table->swipedRow()->row, 2);
    EXPECT_DOUBLE_EQ(table->contentOffsetY(), 0) << "a sideways drag does not scroll";

    auto wheel = std::make_shared<Wheel>();
    auto picker = std::make_shared<UIPickerView>(CGRect{0, 600, 390, 160});
    picker->setDataSource(wheel);
    picker->setDelegate(wheel);
    root->view()->addSubview(picker);
    EXPECT_TRUE(ScrollInput::scroll({100, 680}, 0, 1, true));
    EXPECT_TRUE(ScrollInput::scroll({100, 680}, 0, 1, true));
    EXPECT_FALSE(ScrollInput::scroll({100, 680}, 0, -10, false)) << "a little touchpad travel waits for more";
    EXPECT_TRUE(ScrollInput::scroll({100, 680}, 0, -30, false));
    EXPECT_EQ(wheel->picked, (std::vector<long>{1, 2, 1}));
    drag({100, 700}, {100, 600});
    EXPECT_EQ(picker->selectedRowInComponent(0), 4) << "dragging up brings the lower rows in, up to the last";

    // A long text scrolls within its length; a short one does not move.
    table->removeFromSuperview();
    std::string lines;
    for (int i = 0; i < 40; ++i)
        lines += "line " + std::to_string(i) + "\n";
    auto text = textView(lines);
    drag({200, 200}, {200, 120});
    EXPECT_DOUBLE_EQ(text->bounds().minY(), 80);
    EXPECT_TRUE(ScrollInput::scroll({200, 150}, 0, 100000, false));
    const double bottom = text->bounds().minY();
    EXPECT_GT(bottom, 300);
    EXPECT_FALSE(ScrollInput::scroll({200, 150}, 0, 40, true)) << "the end of the text stops it";
    text->setText("short");
    text->setBounds({0, 0, 390, 120});
    EXPECT_FALSE(ScrollInput::scroll({200, 150}, 0, 40, true));
    text->removeFromSuperview();

    // A strip of cards wider than the screen goes sideways under a sideways wheel (the window's
    // Shift+wheel), from a card on it too, and no further than its end.
    auto strip = std::make_shared<UIScrollView>(CGRect{0, 200, 390, 120});
    strip->setContentSize({1000, 120});
    strip->addSubview(std::make_shared<UIView>(CGRect{20, 10, 100, 100}));
    root->view()->addSubview(strip);
    EXPECT_TRUE(ScrollInput::scroll({100, 260}, 2 * ScrollInput::kPointsPerNotch, 0, true));
    EXPECT_DOUBLE_EQ(strip->contentOffset().x, 80);
    EXPECT_DOUBLE_EQ(strip->contentOffset().y, 0);
    EXPECT_TRUE(ScrollInput::scroll({100, 260}, 100000, 0, false));
    EXPECT_DOUBLE_EQ(strip->contentOffset().x, 610);
    EXPECT_FALSE(ScrollInput::scroll({100, 260}, ScrollInput::kPointsPerNotch, 0, true));
    EXPECT_TRUE(ScrollInput::scroll({100, 260}, -ScrollInput::kPointsPerNotch, 0, true));
    EXPECT_DOUBLE_EQ(strip->contentOffset().x, 570);
    strip->removeFromSuperview();

    auto button = UIButton::buttonWithType(UIButtonType::System);
    button->setFrame({10, 780, 100, 40});
    button->addTarget(
        root, "tapped", [&](UIViewController&) { ++taps; }, UIControlEvent::TouchUpInside);
    root->view()->addSubview(button);
    drag({50, 800}, {52, 798});
    EXPECT_EQ(taps, 1) << "outside scrolling views a touch is the control's";
    EXPECT_FALSE(ScrollInput::scroll({50, 800}, 0, 40, true)) << "nothing scrolls there";
}

TEST_F(DesktopInputTest, ShareSheetActivitiesActThroughTheDesktopAndReportWhatHappened) {
    std::vector<std::pair<std::string, bool>> reports;
    auto share = [&](std::vector<ActivityItem> items) {
        auto sheet = UIActivityViewController::initWithActivityItems_applicationActivities(std::move(items));
        sheet->setCompletionWithItemsHandler([&](const std::optional<UIActivityType>& type, bool completed) {
            reports.emplace_back(type.value_or("none"), completed);
        });
        root->presentViewController_animated_completion(sheet, false, nullptr);
        runUntilIdle();
        return sheet;
    };

    share({std::string("the transcript")})->userCompleteWithActivity(UIActivityTypeCopyToPasteboard);
    runUntilIdle();
    EXPECT_EQ(services().clipboard(), "the transcript");

    const auto pdf = home / "Documents" / "essay.pdf";
    quillora::test::writeFile(pdf, "%PDF-1.4 ...");
    share({pdf})->userCompleteWithActivity(UIActivityTypeSaveToFiles);
    runUntilIdle();
    ASSERT_EQ(services().fileRequests().size(), 1u);
    EXPECT_TRUE(services().fileRequests()[0].save);
    EXPECT_EQ(services().fileRequests()[0].suggestedName, "essay.pdf");
    EXPECT_EQ(reports.size(), 1u) << "saving is reported once the person has chosen";
    const auto target = home / "saved.pdf";
    ASSERT_TRUE(services().answerFileChooser(target));
    runUntilIdle();
    std::ifstream saved(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), "%PDF-1.4 ...");

    share({pdf})->userCompleteWithActivity(UIActivityTypeSaveToFiles);
    services().answerFileChooser(std::nullopt);
    runUntilIdle();
    // Printing asks the print dialog for the PDF, or for the shared text set on pages, and is
    // reported once the dialog is done; with nothing printable it is reported as not done.
    share({pdf})->userCompleteWithActivity(UIActivityTypePrint);
    runUntilIdle();
    std::string lines;
    for (int i = 1; i <= 120; ++i)
        lines += "Line " + std::to_string(i) + "\n";
    share({lines})->userCompleteWithActivity(UIActivityTypePrint);
    runUntilIdle();
    EXPECT_EQ(reports.size(), 3u) << "nothing is reported while the dialogs are up";
    ASSERT_EQ(services().printRequests().size(), 2u);
    EXPECT_EQ(services().printRequests()[0].pdf, pdf);
    EXPECT_EQ(services().printRequests()[1].pdf.filename(), "Print.pdf");
    EXPECT_EQ(services().printRequests()[1].jobName, "Line 1") << "named after the text, not its file";
    const auto printed = services().printRequests()[1].pdf;
    EXPECT_EQ(quillora::test::pdfPageCount(printed), 3) << "whole lines on each page";
    const std::string words = quillora::test::pdfWords(printed);
    EXPECT_EQ(words.substr(0, 14), "Line 1 Line 2 ");
    EXPECT_NE(words.find("Line 119 Line 120 "), std::string::npos) << "the last lines are printed too";
    ASSERT_TRUE(services().finishPrint(true));
    ASSERT_TRUE(services().finishPrint(false));
    runUntilIdle();
    // Nothing printable: the person is told why, once the sheet has gone.
    auto refusal = [&]() -> std::string {
        advance(1);
        auto alert = std::dynamic_pointer_cast<UIAlertController>(root->presentedViewController());
        if (!alert) return "no alert";
        const std::string said = alert->title().value_or("") + ": " + alert->message().value_or("");
        alert->pressActionWithTitle("OK");
        advance(1);
        return said;
    };
    share({*NSURL::URLWithString("https://example.org")})->userCompleteWithActivity(UIActivityTypePrint);
    EXPECT_EQ(refusal(), "Cannot Print: Nothing was printed: nothing that can be printed was shared.");
    EXPECT_EQ(services().printRequests().size(), 2u);
    EXPECT_TRUE(consoleHas("Print failed: nothing that can be printed was shared"));
    // An empty transcript, or one of blanks, would print blank pages: nothing printable either.
    for (const char* blank : {"", " ", "\n \t\n\u3000\u200b"}) {
        share({std::string(blank)})->userCompleteWithActivity(UIActivityTypePrint);
        EXPECT_EQ(refusal(), "Cannot Print: Nothing was printed: the shared text is empty.");
    }
    EXPECT_EQ(services().printRequests().size(), 2u);
    EXPECT_TRUE(consoleHas("Print failed: the shared text is empty"));
    EXPECT_EQ((std::vector<std::pair<std::string, bool>>(reports.begin() + 1, reports.end())),
              (std::vector<std::pair<std::string, bool>>{{UIActivityTypeSaveToFiles, true},
                                                         {UIActivityTypeSaveToFiles, false},
                                                         {UIActivityTypePrint, true},
                                                         {UIActivityTypePrint, false},
                                                         {UIActivityTypePrint, false},
                                                         {UIActivityTypePrint, false},
                                                         {UIActivityTypePrint, false},
                                                         {UIActivityTypePrint, false}}))
        << "a cancelled save or print is not completed";

    // Links go to the desktop; without one nothing opens them and the screen is told so.
    std::vector<bool> opened;
    UIApplication::sharedApplication().openURL_options_completionHandler(
        "https://example.org", {}, [&](bool ok) { opened.push_back(ok); });
    runUntilIdle();
    EXPECT_EQ(services().openedURLs(), (std::vector<std::string>{"https://example.org"}));
    EXPECT_EQ(opened, (std::vector<bool>{false}));
    EXPECT_EQ(root->presentedViewController(), nullptr) << "a recorded link is no refusal to tell";
    std::string error;
    EXPECT_FALSE(services().printPDF(home / "missing.pdf", "job", nullptr, &error));
    EXPECT_NE(error.find("missing.pdf"), std::string::npos);
}

TEST_F(DesktopInputTest, DelegatesAreAskedAboutTheRangeReallyChangedWhereverTheCaretIs) {
    using Asked = std::vector<std::tuple<std::size_t, std::size_t, std::string>>;
    auto view = textView("hello world");
    auto field = std::make_shared<UITextField>(CGRect{0, 300, 390, 40});
    field->setText("hello world");
    field->setDelegate(editing);
    root->view()->addSubview(field);
    for (const std::shared_ptr<UIView>& text :
         {std::static_pointer_cast<UIView>(view), std::static_pointer_cast<UIView>(field)}) {
        editing->asked.clear();
        ASSERT_TRUE(text->becomeFirstResponder());
        KeyboardInput::pressKey({"Home"});
        for (int i = 0; i < 5; ++i)
            KeyboardInput::pressKey({"Right"});
        KeyboardInput::deleteBackward();
        KeyboardInput::insertText("O");
        KeyboardInput::pressKey({"Right", false, true});
        KeyboardInput::pressKey({"Right", false, true});
        KeyboardInput::insertText("_");
        KeyboardInput::deleteForward();
        KeyboardInput::undo();
        EXPECT_EQ(editing->asked, (Asked{{4, 1, ""}, {4, 0, "O"}, {5, 2, "_"}, {6, 1, ""}, {6, 0, "o"}}));
        EXPECT_EQ(std::dynamic_pointer_cast<UITextInput>(text)->textModel().text(), "hellO_orld");
    }
}
