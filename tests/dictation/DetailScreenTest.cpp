// The entry detail screens opened from their lists in the application's storyboard: layout, the
// language of the region, authorization, the hand-back, the tools, the editor and the keyboard
// handlers, and dictation into the entry.

#include "app/MainStoryboard.h"
#include "detail/DetailEntryScreen.h"
#include "dictation/SwiftUIEditView.h"
#include "entries/EntryListViewController.h"
#include "platform/avfaudio/AVAudioSession.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"
#include "tests/dictation/DictationTestSupport.h"

using namespace platform;
using quillora::DetailEntryScreen;
using quillora::EntryListVariant;
using quillora::EntryListViewController;
using Rows = std::vector<std::string>;

namespace {

class DetailScreenTest : public quillora::test::LoopScreenTest<DetailEntryScreen> {
protected:
    void SetUp() override {
        LoopScreenTest::SetUp();
        NSLocale::setCurrentLocaleForTesting(NSLocale("en_US"));
        storyboard = std::make_shared<UIStoryboard>("Main");
        quillora::MainStoryboard(*storyboard);
    }
    void TearDown() override {
        list.reset();
        NSLocale::setCurrentLocaleForTesting(std::nullopt);
        LoopScreenTest::TearDown();
    }

    // The list with `rows` in its file, at the root of the key window's navigation controller.
    void showList(const EntryListVariant& variant, const Rows& rows) {
        ASSERT_TRUE(writeStringArrayPlist((Sandbox::documents() / variant.fileName).string(), rows));
        list = std::dynamic_pointer_cast<EntryListViewController>(
            storyboard->instantiateViewControllerWithIdentifier(variant.storyboardIdentifier));
        nav = UINavigationController::initWithRootViewController(list);
        window = std::make_shared<UIWindow>();
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        runUntilIdle();
    }
    // Taps `row` of the shown list: its detail screen comes and waits for the authorization answer.
    void openRow(long row) {
        ASSERT_TRUE(list->table.lock()->userTapRow({0, row}));
        runUntilIdle();
        screen = std::dynamic_pointer_cast<DetailEntryScreen>(nav->topViewController());
        ASSERT_TRUE(screen);
        RunLoop::main().runUntil(
            [&] { return screen->recordButton->isEnabled() || screen->presentedViewController(); }, 5);
    }
    void open(const EntryListVariant& variant, const Rows& rows, long row) {
        showList(variant, rows);
        openRow(row);
    }
    void back() {
        screen->BackDynamicButton->tap();
        runUntilIdle();
    }
    std::optional<Rows> listFile(const EntryListVariant& variant) const {
        return readStringArrayPlist((Sandbox::documents() / variant.fileName).string());
    }
    std::string stored() const {
        return NSUserDefaults::standardUserDefaults()->stringForKey("saveclipBoardText").value_or("<none>");
    }
    // The editor the screen presents, saved with `text`.
    void saveInEditor(const std::string& text) {
        auto host =
            std::dynamic_pointer_cast<swiftui::UIHostingController>(screen->presentedViewController());
        ASSERT_TRUE(host);
        quillora::SwiftUIEditView editor;
        editor.presentingVC = std::weak_ptr<UIViewController>(screen);
        editor.text.set(text);
        editor.save();
        runUntilIdle();
    }
    // A keyboard that rises by `height` points from the bottom of the screen, or falls back.
    static UserInfo keyboard(bool rising, CGFloat height = 336) {
        const CGRect screen = UIScreen::mainScreen().bounds();
        const CGRect up{0, screen.height() - height, screen.width(), height};
        const CGRect down{0, screen.height(), screen.width(), height};
        return {{UIKeyboardFrameBeginUserInfoKey, rising ? down : up},
                {UIKeyboardFrameEndUserInfoKey, rising ? up : down},
                {UIKeyboardAnimationDurationUserInfoKey, 0.25}};
    }

    std::shared_ptr<UIStoryboard> storyboard;
    std::shared_ptr<EntryListViewController> list;
};

} // namespace

TEST_F(DetailScreenTest, EachListOpensItsOwnDetailScreenLaidOutByItsRow) {
    struct Case {
        const EntryListVariant* list;
        const char* className;
        CGFloat backX;
        CGFloat transcriptWidth;
        bool largeTitleNever;
        bool accessory;
    };
    for (auto c : {Case{&quillora::kMainEntryList, "DetailVCTableView", 10, 380, false, false},
                   Case{&quillora::kNotesEntryList, "DetailNotesVCTableView", 5, 380, true, true},
                   Case{&quillora::kRecipeEntryList, "DetailRecipeVCTableView", 10, 385, true, true}}) {
        SCOPED_TRACE(c.className);
        open(*c.list, {"alpha", "beta"}, 1);
        EXPECT_EQ(screen->className(), c.className);
        EXPECT_EQ(screen->textView->text(), "beta");
        EXPECT_EQ(screen->textView->frame(), (CGRect{5, 100, c.transcriptWidth, 654}));
        EXPECT_TRUE(screen->textView->isEditable());
        EXPECT_EQ(screen->textView->font(), UIFont::fontWithName_size("Courier", 20));
        EXPECT_EQ(screen->Clipboard->frame().origin.y, 422);
        EXPECT_NEAR(screen->Clipboard->frame().height(), 271.33, 0.01);
        EXPECT_TRUE(screen->Clipboard->isHidden());
        EXPECT_FALSE(screen->Clipboard->isEditable());
        EXPECT_EQ(screen->pickerView->frame().origin, (CGPoint{200, 200}));
        EXPECT_EQ(screen->pickerView->frame().width(), 180);
        EXPECT_TRUE(screen->pickerView->isHidden());
        EXPECT_EQ(screen->pickerView->numberOfRowsInComponent(0), 29);
        EXPECT_EQ(screen->pickerView->titleForRow(3), "🇦🇺English-AU");
        EXPECT_EQ(screen->pickerView->titleForRow(10), "🇨🇦English-CA");
        EXPECT_EQ(screen->pickerView->titleForRow(28), "🇺🇦Ukrainian");
        EXPECT_EQ(screen->BackDynamicButton->frame(), (CGRect{c.backX, 35, 55, 55}));
        EXPECT_EQ(screen->ShareDynamicButton->frame(), (CGRect{10, 764, 50, 50}));
        EXPECT_EQ(screen->recordButton->frame(), (CGRect{0, 716, 350, 50}));
        EXPECT_EQ(screen->recordButton->superview(), screen->view()) << "a person can press it";
        EXPECT_EQ(screen->view()->hitTest({175, 740}), screen->recordButton)
            << "in front where it meets the transcript";
        EXPECT_EQ(screen->replicator->instanceCount, 48);
        EXPECT_EQ(screen->dot->frame.origin.x, 390);
        EXPECT_TRUE(screen->replicator->hidden);
        EXPECT_TRUE(screen->toolBarView->isHidden());
        EXPECT_EQ(screen->textView->inputAccessoryView() == screen->toolBarView, c.accessory);
        EXPECT_EQ(screen->navigationItem()->largeTitleDisplayMode ==
                      UINavigationItemLargeTitleDisplayMode::Never,
                  c.largeTitleNever);
        EXPECT_TRUE(nav->isNavigationBarHidden());
        EXPECT_TRUE(screen->recordButton->isEnabled()) << "authorized";
        EXPECT_EQ(title(), "Button");
        // The scene's tools stand beside the share button, clear of the record button.
        for (const char* tool : {"language_select", "Font_change", "textEditButtonTapped", "tickmark_clicked",
                                 "bookmark", "paperclip", "pushpin"}) {
            auto button = std::dynamic_pointer_cast<UIView>(screen->outletNamed(tool));
            ASSERT_TRUE(button) << tool;
            EXPECT_GE(button->frame().origin.y, 766) << tool;
            EXPECT_EQ(screen->view()->hitTest(button->center()), button) << tool;
        }
        back();
    }

    // Before its first appearance, each screen shows its row's own record picture.
    for (auto [made, image] : std::vector<std::pair<std::shared_ptr<DetailEntryScreen>, const char*>>{
             {std::make_shared<quillora::DetailVCTableView>(), "Play.png"},
             {std::make_shared<quillora::DetailNotesVCTableView>(), "Play1.png"}}) {
        made->view();
        EXPECT_EQ(made->recordButton->imageForState(UIControlStates::Normal)->name(), image);
        EXPECT_FALSE(made->recordButton->isEnabled());
    }
}

TEST_F(DetailScreenTest, EveryAppearanceStoresTheEntryAndTakesTheRegionsLanguage) {
    struct Case {
        const char* locale;
        long index;
        const char* recognizer;
        const char* image;
        long pickerRow;
    };
    for (auto c :
         {Case{"fr_FR", 4, "fr-FR", "French_Play_Button.png", 4}, Case{"en_CA", 10, "en-CA", "Play.png", 10},
          Case{"nb_NO", 16, "nb-NO", "NO_Play_Button.png", 16},
          // No picker row: the picker stays where it was.
          Case{"zh_CN", 30, "zh-CN", "CN_Play_Button.png", 0}, Case{"pt_BR", 0, "en-US", "Play.png", 0},
          Case{"en", 0, "en-US", "Play.png", 0}}) {
        SCOPED_TRACE(c.locale);
        NSLocale::setCurrentLocaleForTesting(NSLocale(c.locale));
        open(quillora::kRecipeEntryList, {"", "entry"}, 0);
        EXPECT_EQ(stored(), "") << "an empty entry stores an empty transcript";
        EXPECT_EQ(screen->buttonSelect, c.index);
        EXPECT_EQ(screen->speechRecognizer->localeIdentifier(), c.recognizer);
        EXPECT_EQ(image(), c.image);
        EXPECT_EQ(screen->pickerView->selectedRowInComponent(0), c.pickerRow);
        back();
    }

    // A language picked on the screen lasts only while it stays.
    NSLocale::setCurrentLocaleForTesting(NSLocale("en_US"));
    open(quillora::kMainEntryList, {"entry"}, 0);
    EXPECT_EQ(stored(), "entry");
    screen->language_select();
    ASSERT_TRUE(screen->pickerView->userSelectRow(11));
    EXPECT_EQ(screen->speechRecognizer->localeIdentifier(), "nl-NL");
    EXPECT_EQ(image(), "NL_Play_Button.png");
    screen->textEditButtonTapped();
    runUntilIdle();
    screen->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();
    nav->pushViewController_animated(std::make_shared<UIViewController>(), false);
    nav->popViewControllerAnimated(false);
    runUntilIdle();
    EXPECT_EQ(screen->speechRecognizer->localeIdentifier(), "en-US");
    EXPECT_EQ(screen->pickerView->selectedRowInComponent(0), 0);
    EXPECT_TRUE(consoleHas("US"));
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->objectForKey("lastlangaugeselected"))
        << "the detail screens remember no language";
}

TEST_F(DetailScreenTest, RefusedAuthorizationDisablesRecordingWithItsReasonOnEveryAppearance) {
    SFSpeechRecognizer::setAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::denied);
    SFSpeechRecognizer::setAuthorizationAnswer(SFSpeechRecognizerAuthorizationStatus::denied);
    open(quillora::kNotesEntryList, {"entry"}, 0);
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "User denied access to speech recognition");
    EXPECT_EQ(alert()->message(),
              " Please go to Settings--> Parlowen --> Grant access to Speech recognition");
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_EQ(screen->recordButton->titleForState(UIControlStates::Disabled),
              "User denied access to speech recognition");
    EXPECT_TRUE(alert()->pressActionWithTitle("OK "));
    runUntilIdle();
    EXPECT_TRUE(consoleHas("User denied access to speech recognition"));

    nav->pushViewController_animated(std::make_shared<UIViewController>(), false);
    nav->popViewControllerAnimated(false);
    RunLoop::main().runUntil([&] { return screen->presentedViewController() != nullptr; }, 5);
    ASSERT_TRUE(alert()) << "asked again on the next appearance";
    EXPECT_EQ(alert()->title(), "User denied access to speech recognition");
}

TEST_F(DetailScreenTest, GoingBackPutsTheTextInPlaceOfTheRowOrRemovesIt) {
    open(quillora::kMainEntryList, {"alpha", "beta", "gamma"}, 1);
    back();
    EXPECT_EQ(listFile(quillora::kMainEntryList), (Rows{"alpha", "beta", "gamma"})) << "unchanged, in place";

    openRow(1);
    screen->pushpin();
    back();
    EXPECT_EQ(listFile(quillora::kMainEntryList), (Rows{"alpha", "beta📌", "gamma"}));

    openRow(0);
    screen->textView->setText("");
    back();
    EXPECT_EQ(listFile(quillora::kMainEntryList), (Rows{"beta📌", "gamma"}));

    // Going back while dictating: the run stops, and the phrase being spoken still reaches the
    // entry in its list once the task has said its last, even with the screen let go of.
    openRow(1);
    record();
    partial("late words");
    std::weak_ptr<DetailEntryScreen> detail = screen;
    screen->BackDynamicButton->tap();
    screen.reset();
    EXPECT_FALSE(detail.lock()->audioEngine->isRunning());
    EXPECT_TRUE(detail.lock()->isStopped);
    EXPECT_FALSE(consoleHas("View DID disappear triggered")) << "only the recipe screen says so";
    runUntilIdle();
    EXPECT_EQ(listFile(quillora::kMainEntryList), (Rows{"beta📌", "gamma\nlate words\n"}));
    EXPECT_TRUE(detail.expired()) << "the screen goes once its task has ended";

    open(quillora::kRecipeEntryList, {"soup"}, 0);
    record();
    back();
    EXPECT_TRUE(consoleHas("View DID disappear triggered"));
}

TEST_F(DetailScreenTest, TheEditorOpensOnWhatWasDictatedAndSavesOnlyIntoItsOwnScreen) {
    // The main screen's transcript under the list and the detail screen.
    auto main = std::dynamic_pointer_cast<quillora::DictationScreen>(
        storyboard->instantiateViewControllerWithIdentifier("ViewController"));
    nav = UINavigationController::initWithRootViewController(main);
    window = std::make_shared<UIWindow>();
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    RunLoop::main().runUntil([&] { return main->recordButton->isEnabled(); }, 5);
    main->Clipboard->setText("main transcript");
    ASSERT_TRUE(writeStringArrayPlist((Sandbox::documents() / "notes.txt").string(), {"old entry"}));
    main->SaveText();
    runUntilIdle();
    list = std::dynamic_pointer_cast<EntryListViewController>(nav->topViewController());
    ASSERT_TRUE(list);
    ASSERT_EQ(list->data.front(), "main transcript");
    openRow(1);
    EXPECT_EQ(screen->textView->text(), "old entry");

    record();
    final("and");
    partial("more");
    screen->recordButton->tap();
    runUntilIdle();
    ASSERT_EQ(screen->textView->text(), "old entry\nand\nmore\n");
    screen->textEditButtonTapped();
    runUntilIdle();
    EXPECT_EQ(stored(), "old entry\nand\nmore\n") << "the editor starts from the grown entry";
    saveInEditor("edited entry");
    EXPECT_EQ(screen->textView->text(), "edited entry");
    EXPECT_FALSE(screen->presentedViewController());
    EXPECT_EQ(main->Clipboard->text(), "main transcript") << "not the editor of the main screen";

    // An edited text without a string changes nothing.
    NSNotificationCenter::defaultCenter().postNotificationName("printValue", nullptr, {{"other", 1LL}});
    EXPECT_EQ(screen->textView->text(), "edited entry");

    back();
    EXPECT_EQ(listFile(quillora::kMainEntryList), (Rows{"main transcript", "edited entry"}));
}

TEST_F(DetailScreenTest, SymbolsFontsShareAndTheLanguageButton) {
    open(quillora::kRecipeEntryList, {""}, 0);
    screen->tickmark_clicked();
    EXPECT_EQ(screen->textView->text(), "\xE2\x9C\x94\xEF\xB8\x8F");
    screen->textView->setSelectedRange({0, 0});
    screen->pushpin();
    screen->pushpin();
    screen->bookmark();
    screen->paperclip();
    EXPECT_EQ(screen->textView->text(), "✔️📌📌📒📎") << "at the end, whatever the caret";

    screen->Font_change();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "Title");
    EXPECT_EQ(alert()->actions().size(), 6u);
    EXPECT_TRUE(alert()->pressActionWithTitle("Font size 34"));
    runUntilIdle();
    EXPECT_EQ(screen->textView->font(), UIFont::fontWithName_size("Courier", 34));
    EXPECT_EQ(screen->Clipboard->font(), UIFont::fontWithName_size("Courier", 34));
    EXPECT_TRUE(consoleHas("completion block"));
    screen->Font_change();
    EXPECT_TRUE(alert()->pressActionWithTitle("Dismiss"));
    runUntilIdle();
    EXPECT_TRUE(consoleHas("User click Dismiss button"));

    screen->Share();
    auto share = std::dynamic_pointer_cast<UIActivityViewController>(screen->presentedViewController());
    ASSERT_TRUE(share);
    ASSERT_EQ(share->activityItems().size(), 1u);
    EXPECT_EQ(std::get<std::string>(share->activityItems()[0]), "✔️📌📌📒📎");
    screen->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();

    screen->language_select();
    EXPECT_FALSE(screen->pickerView->isHidden());
    record();
    EXPECT_TRUE(screen->pickerView->isHidden()) << "a run hides the picker";
    screen->pickerView->setHidden(false);
    ASSERT_TRUE(screen->pickerView->userSelectRow(4));
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "Please stop the earlier recording!");
    EXPECT_EQ(alert()->message(), "Select '||' Button");
    EXPECT_EQ(screen->speechRecognizer->localeIdentifier(), "en-US");
    alert()->pressActionWithTitle("OK ");
    runUntilIdle();
    screen->language_select();
    EXPECT_TRUE(screen->pickerView->isHidden());
    EXPECT_FALSE(screen->language_selection);
}

TEST_F(DetailScreenTest, TheKeyboardHandlersHearNothingUntilTold) {
    open(quillora::kNotesEntryList, {"entry"}, 0);
    // Touching the transcript opens the editor, and the keyboard goes 0.7 s later.
    EXPECT_TRUE(screen->textView->becomeFirstResponder());
    runUntilIdle();
    EXPECT_TRUE(consoleHas("should editing begin"));
    EXPECT_TRUE(std::dynamic_pointer_cast<swiftui::UIHostingController>(screen->presentedViewController()));
    advance(0.8);
    EXPECT_FALSE(screen->textView->isFirstResponder());
    EXPECT_FALSE(screen->Clipboard_keyboard) << "no handler is subscribed";
    screen->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();

    // Posted to them directly.
    screen->keyboardWillShow(NSNotification("UIKeyboardWillShowNotification", nullptr, {}));
    EXPECT_FALSE(screen->Clipboard_keyboard) << "no height to build it by";
    EXPECT_FALSE(screen->textView->isHidden());
    screen->keyboardWillShow(NSNotification("UIKeyboardWillShowNotification", nullptr, keyboard(true)));
    ASSERT_TRUE(screen->Clipboard_keyboard);
    EXPECT_EQ(screen->ClipboardHeight, 844 - 336 - 100);
    EXPECT_EQ(screen->Clipboard_keyboard->frame(), (CGRect{0, 100, 382, 408}));
    EXPECT_EQ(screen->Clipboard_keyboard->text(), "entry");
    EXPECT_EQ(screen->Clipboard_keyboard->inputAccessoryView(), screen->toolBarView);
    EXPECT_TRUE(screen->textView->isHidden());
    EXPECT_FALSE(screen->recordButton->isEnabled());
    screen->Clipboard_keyboard->setText("entry typed");
    screen->keyboardWillHide2();
    EXPECT_EQ(screen->textView->text(), "entry typed");
    EXPECT_FALSE(screen->textView->isHidden());
    EXPECT_TRUE(screen->recordButton->isEnabled());
    screen->keyboardWillShow(NSNotification("UIKeyboardWillShowNotification", nullptr, keyboard(true, 400)));
    EXPECT_TRUE(consoleHas("Already clipboard keyboard present "));
    EXPECT_EQ(screen->Clipboard_keyboard->frame().height(), 408) << "made once";
    screen->pushpin();
    EXPECT_EQ(screen->Clipboard_keyboard->text(), "entry typed📌");
    screen->keyboardWillHide2();
    EXPECT_EQ(screen->textView->text(), "entry typed📌");

    auto constraint = screen->textViewBottomLayoutGuideConstraint.lock();
    ASSERT_TRUE(constraint);
    const CGFloat start = constraint->constant;
    screen->handleKeyboardNotification(
        NSNotification("UIKeyboardWillShowNotification", nullptr, keyboard(true)));
    EXPECT_EQ(constraint->constant, start + 336);
    screen->handleKeyboardNotification(
        NSNotification("UIKeyboardWillHideNotification", nullptr, keyboard(false)));
    EXPECT_EQ(constraint->constant, start);

    screen->keyboardClose();
    EXPECT_EQ(countLines("Keyboard hide"), 2u) << "closing only resigns";
}

TEST_F(DetailScreenTest, OnAPhone812PointsHighTheKeyboardCopyReachesDownToTheKeyboard) {
    const CGRect phone = UIScreen::mainScreen().bounds();
    UIScreen::mainScreen().setBounds({0, 0, 375, 812});
    open(quillora::kMainEntryList, {"entry"}, 0);
    EXPECT_EQ(screen->replicator->instanceCount, 46);
    screen->keyboardWillShow(NSNotification("UIKeyboardWillShowNotification", nullptr, keyboard(true)));
    EXPECT_TRUE(consoleHas("Clipboard_height 476.0"));
    EXPECT_EQ(screen->ClipboardHeight, 376);
    ASSERT_TRUE(screen->Clipboard_keyboard);
    EXPECT_EQ(screen->Clipboard_keyboard->frame(), (CGRect{0, 100, 367, 376}));
    EXPECT_FALSE(screen->Clipboard_keyboard->inputAccessoryView()) << "no bar on this list's screen";
    back();
    UIScreen::mainScreen().setBounds(phone);
}

TEST_F(DetailScreenTest, DictationGoesIntoTheEntryAndTheBackgroundStopsIt) {
    NSLocale::setCurrentLocaleForTesting(NSLocale("de_DE"));
    open(quillora::kRecipeEntryList, {"Item1"}, 0);
    EXPECT_EQ(screen->loopTable().runLength, 3600);
    record();
    EXPECT_EQ(screen->Clipboard->text(), "Hören ...");
    EXPECT_EQ(image(), "Pause1.png");
    final("Hallo");
    EXPECT_EQ(screen->textView->text(), "Item1\nHallo\n");
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->objectForKey("timedictateTotal"));
    partial("noch mehr");
    UIApplication::sharedApplication().simulateResignActive();
    EXPECT_TRUE(consoleHas("APP moved to background , stopped AUDIO engine"));
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_EQ(image(), "Play1.png");
    runUntilIdle();
    EXPECT_EQ(screen->textView->text(), "Item1\nHallo\nnoch mehr\n");
    EXPECT_EQ(image(), "DE_Play_Button.png");
    UIApplication::sharedApplication().simulateBecomeActive();
    UIApplication::sharedApplication().simulateResignActive();
    EXPECT_EQ(countLines("App moved to background!"), 2u);
    EXPECT_EQ(countLines("Audio engine not running "), 0u);
}

TEST_F(DetailScreenTest, ClosingTheApplicationOnADetailScreenKeepsTheEntryAsItStands) {
    open(quillora::kNotesEntryList, {"first", "second"}, 1);
    record();
    final("dictated before the window closed");
    UIApplication::sharedApplication().simulateTerminate();
    runUntilIdle();
    EXPECT_EQ(listFile(quillora::kNotesEntryList),
              (Rows{"first", "second\ndictated before the window closed\n"}));
}

TEST_F(DetailScreenTest, ClosingTheApplicationOverTheFirstScreenKeepsBothItsSaveAndTheEntry) {
    auto main = std::dynamic_pointer_cast<quillora::DictationScreen>(
        storyboard->instantiateViewControllerWithIdentifier("ViewController"));
    nav = UINavigationController::initWithRootViewController(main);
    window = std::make_shared<UIWindow>();
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    RunLoop::main().runUntil([&] { return main->recordButton->isEnabled(); }, 5);
    ASSERT_TRUE(writeStringArrayPlist((Sandbox::documents() / "notes.txt").string(), {"old entry"}));
    main->Clipboard->setText("main words");
    main->SaveText();
    runUntilIdle();
    list = std::dynamic_pointer_cast<EntryListViewController>(nav->topViewController());
    ASSERT_TRUE(list);
    openRow(1);
    screen->textView->setText("old entry, edited");
    UIApplication::sharedApplication().simulateTerminate();
    runUntilIdle();
    auto rows = listFile(quillora::kMainEntryList);
    ASSERT_TRUE(rows);
    EXPECT_NE(std::find(rows->begin(), rows->end(), "old entry, edited"), rows->end())
        << ::testing::PrintToString(*rows);
    EXPECT_NE(std::find(rows->begin(), rows->end(), "main words"), rows->end())
        << ::testing::PrintToString(*rows);
}
