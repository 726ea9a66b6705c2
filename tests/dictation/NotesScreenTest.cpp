// The notes screen: its loop table, its voice commands, its start-up and restore, and the keyboard
// overlay whose two copies of the transcript must never part.

#include <cmath>
#include <limits>

#include "common/StoredKeys.h"
#include "entries/EntryListViewController.h"
#include "platform/avfaudio/AVAudioSession.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/storekit/SKStoreReviewController.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"
#include "tests/dictation/DictationTestSupport.h"
#include "tests/support/WorkMeter.h"

using namespace platform;
using quillora::test::DictationScreenTest;
using quillora::test::NotesScreenTest;
using quillora::test::store;
using quillora::test::WorkMeter;

// ---- The loop table ----

TEST_F(NotesScreenTest, PlaceholdersFollowTheRowAndTheHandlerAndTurnBlankAfterTwoSeconds) {
    show();
    auto& speech = ScriptedSpeech::shared();
    screen->pickerView->userSelectRow(44);
    record();
    EXPECT_EQ(screen->textView->text(), "🗣.....") << "row 44, first handler";
    fail();
    EXPECT_EQ(screen->textView->text(), "🗣.......") << "row 44, second handler";
    advance(3);
    fail();
    EXPECT_EQ(screen->textView->text(), " ") << "a start after the first two seconds";
    EXPECT_TRUE(speech.contextualStrings().empty());
    screen->recordButton->tap();
    runUntilIdle();

    for (long row : {0L, 3L}) {
        screen->pickerView->userSelectRow(row);
        record();
        EXPECT_EQ(screen->textView->text(), "Listening....") << "row " << row;
        fail();
        EXPECT_EQ(screen->textView->text(), "Listening....") << "row " << row << ", second handler";
        EXPECT_TRUE(speech.contextualStrings().empty()) << "no task of this screen has contextual strings";
        screen->recordButton->tap();
        runUntilIdle();
        screen->Refresh();
    }
    screen->buttonSelect.reset();
    record();
    EXPECT_EQ(screen->textView->text(), "🗣.....") << "no row applied yet";
}

TEST_F(NotesScreenTest, HandlersPrintTheirOwnLinesAndTheButtonTitleIsTheNotesOne) {
    show();
    record();
    takeConsole();
    final("first task");
    auto first = takeConsole();
    auto has = [](const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has(first, "iS FINAL value VIEW"));
    EXPECT_TRUE(has(first, "Added to Clipboard 1"));
    EXPECT_TRUE(has(first, " stopped Manually"));
    EXPECT_TRUE(has(first, "isFinal loop triggered "));
    EXPECT_FALSE(has(first, "stopped Manually"));
    final("second task");
    auto second = takeConsole();
    EXPECT_TRUE(has(second, "iS FINAL value "));
    EXPECT_TRUE(has(second, "Added to Clipboard 2"));
    EXPECT_TRUE(has(second, "stopped Manually"));
    EXPECT_TRUE(has(second, "isFinal loop triggered "));
    EXPECT_EQ(screen->Clipboard->text(), " first task second task");

    screen->speechRecognizer_availabilityDidChange(*screen->speechRecognizer, true);
    EXPECT_EQ(title(), "Start Recording  ");
    screen->recordButton->tap();
    runUntilIdle();
    setReachabilityOverride({0, false, false});
    record();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->message(), " Please Connect to internet , Go to Settings --> Wifi/3G or 4G");
}

TEST_F(NotesScreenTest, TheReviewWaitsFourSecondsAfterTheFirstHandlerAndThreeAfterTheSecond) {
    show();
    auto scene = UIApplication::sharedApplication().connectSceneIfNeeded();
    scene->setActivationState(UISceneActivationState::ForegroundActive);
    // The placeholder of row 44 holds no words, so the running total stays where it is set.
    screen->pickerView->userSelectRow(44);
    record();
    // Each task ends with nothing heard, so the word-class passes add nothing to the total.
    auto failSilently = [&] {
        screen->textView->setText("");
        fail();
    };
    screen->WordCountforApp = 3000;
    failSilently(); // first handler, below the threshold
    advance(5);
    EXPECT_TRUE(SKStoreReviewController::requests().empty());

    screen->WordCountforApp = 3001;
    failSilently(); // second handler
    advance(2.9);
    EXPECT_TRUE(SKStoreReviewController::requests().empty());
    advance(0.2);
    EXPECT_EQ(SKStoreReviewController::requests().size(), 1u) << "3.0 s after the second handler";

    failSilently(); // first handler
    advance(3.9);
    EXPECT_EQ(SKStoreReviewController::requests().size(), 1u);
    advance(0.2);
    EXPECT_EQ(SKStoreReviewController::requests().size(), 2u) << "4.0 s after the first handler";
}

TEST_F(NotesScreenTest, StopsForTheUserTheScreenAndTheBackgroundStoreNoDictatedTime) {
    show();
    auto stored = [] {
        return store()->objectForKey(std::string(quillora::keys::timedictateTotal)).has_value();
    };
    record();
    advance(3.2);
    partial("stop here");
    screen->recordButton->tap();
    EXPECT_FALSE(stored()) << "the user's stop";
    runUntilIdle();
    EXPECT_EQ(store()->integerForKey("timedictateTotal"), 3) << "the task's text still stores it";
    store()->removeObjectForKey("timedictateTotal");

    screen->recordButton->setEnabled(true);
    record();
    advance(2);
    UIApplication::sharedApplication().simulateResignActive();
    EXPECT_FALSE(stored()) << "the background stop";
    EXPECT_FALSE(screen->audioEngine->inputNode()->hasTapOnBus(0));
    runUntilIdle();
    store()->removeObjectForKey("timedictateTotal");
    UIApplication::sharedApplication().simulateBecomeActive();

    screen->recordButton->setEnabled(true);
    record();
    advance(2);
    nav->pushViewController_animated(std::make_shared<UIViewController>(), false);
    EXPECT_TRUE(consoleHas("View DID disappear triggered"));
    EXPECT_FALSE(stored()) << "leaving the screen";
}

TEST_F(NotesScreenTest, TheEnginesMendsHoldOnThisTable) {
    show();
    record();
    partial("old words");
    UIApplication::sharedApplication().simulateResignActive();
    screen->speechRecognizer_availabilityDidChange(*screen->speechRecognizer, true);
    EXPECT_FALSE(screen->recordButton->tap()) << "the stopped task has words to deliver";
    advance(2);
    record();
    ASSERT_TRUE(screen->audioEngine->isRunning());
    final("new words");
    EXPECT_EQ(screen->Clipboard->text(), " old words new words");

    // A start that fails leaves nothing half running.
    screen->recordButton->tap();
    runUntilIdle();
    AVAudioSession::sharedInstance().injectFailure(AVAudioSession::Step::mode,
                                                   NSError{"AVFAudioErrorDomain", 561017449, "Session busy"});
    record();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "Session busy");
    EXPECT_FALSE(screen->audioEngine->isRunning());
    EXPECT_FALSE(screen->audioEngine->inputNode()->hasTapOnBus(0));
    EXPECT_FALSE(screen->recognitionTask());
    EXPECT_TRUE(screen->recordButton->isEnabled());
}

// ---- Voice commands ----

TEST_F(NotesScreenTest, OfficeSymbolsReplaceTheirWordsOnlyOnceAPhraseOpenedTheGate) {
    show();
    record();
    partial("Round pushpin");
    EXPECT_EQ(screen->textView->text(), "📍");
    partial("memory");
    EXPECT_EQ(screen->textView->text(), "📝ry") << "no word boundaries; the word itself opens the gate";
    partial("a bookmark and a book mark");
    EXPECT_EQ(screen->textView->text(), "a 🔖 and a 🔖");
    partial("a Pencil");
    EXPECT_EQ(screen->textView->text(), "a Pencil") << "the gate reads the recognized words with their case";
    EXPECT_TRUE(consoleHas("no abbreviations"));
    partial("ballot box");
    EXPECT_EQ(screen->textView->text(), "☑️") << "a two-word phrase across two segments opens it too";
    partial("pushpin then Red circle and BLUECIRCLE then ballot box");
    EXPECT_EQ(screen->textView->text(), "📌 then 🔴 and 🔵 then ☑️");
    partial("pushpin pushpin");
    EXPECT_EQ(screen->textView->text(), "📌 📌") << "each partial starts from the recognizer's text";
    final("checkmark and check mark, radio button, black circle");
    EXPECT_EQ(screen->Clipboard->text(), " ✔️ and ✔️, 🔘, ⚫️");
    final("textbook clipboard balloon paperclip");
    EXPECT_EQ(screen->Clipboard->text(), " ✔️ and ✔️, 🔘, ⚫️ 📘 📋 🎈 📎")
        << "the second handler's gate";

    EXPECT_EQ(quillora::notesVoiceCommands().steps.size(), 20u);
    EXPECT_EQ(quillora::notesCommandTriggers().size(), 20u);
}

TEST_F(NotesScreenTest, SymbolButtonsAppendTheirSymbolsAndTheBookmarkButtonIsALedger) {
    show();
    screen->Clipboard->setText("note");
    screen->tickmark_clicked();
    screen->bookmark();
    screen->paperclip();
    screen->pushpin();
    EXPECT_EQ(screen->Clipboard->text(), "note✔️📒📎📌");
}

// ---- Start-up and languages ----

TEST_F(NotesScreenTest, StartUpWritesItsDefaultsAndReadsTheDataFileAsUtf8Only) {
    auto dataFile = home / "Documents" / "datafile.dat";
    show();
    EXPECT_EQ(screen->Clipboard->text(), "") << "no data file";
    EXPECT_EQ(store()->stringForKey("saveclipBoardText"), "...");
    EXPECT_EQ(store()->integerForKey("savefontSizeApp"), 18);
    EXPECT_EQ(screen->recordButton->frame().minY(), 47 + 50)
        << "no key window yet while the view loaded: the phone's inset, below the top row";
    EXPECT_EQ(screen->EditIndicatorButton->frame().minY(), 200);
    EXPECT_EQ(screen->textView->layer().borderColor, UIColor::yellowColor());
    EXPECT_EQ(screen->pickerView->layer().borderWidth, 0);
    EXPECT_EQ(screen->recordButton->layer().borderColor, UIColor::blackColor());
    EXPECT_FALSE(screen->toolBarView->isHidden()) << "the overlay's accessory bar";
    EXPECT_EQ(screen->textView->frame(), (CGRect{5, 844 / 5.0, 385, 844 / 5.0}));
    EXPECT_EQ(screen->Clipboard->frame(), (CGRect{5, 422, 385, 844 / 3.0}));
    EXPECT_EQ(screen->ShareDynamicButton->frame().minY(), 764);

    quillora::test::writeFile(dataFile, "Notes from the file ✏️");
    window.reset();
    nav.reset();
    show();
    EXPECT_EQ(screen->Clipboard->text(), "Notes from the file ✏️");
    EXPECT_EQ(screen->textView->text(), "") << "the live view shows nothing of it";

    quillora::test::writeFile(dataFile, std::string("caf\xE9 \xC0\xAF", 7));
    window.reset();
    nav.reset();
    show();
    EXPECT_EQ(screen->Clipboard->text(), "");
    EXPECT_TRUE(consoleHas("datafile.dat is not UTF-8 text"));
    EXPECT_TRUE(std::filesystem::exists(dataFile)) << "the file is left as it is";

    // 400 MB (sparse: no disk is used) is no transcript the app keeps: refused before it is read.
    quillora::test::writeFile(dataFile, "");
    std::filesystem::resize_file(dataFile, std::uintmax_t(400) << 20);
    window.reset();
    nav.reset();
    const WorkMeter meter;
    show();
    EXPECT_LT(meter.bytesReadOnThisThread(), 1u << 20);
    EXPECT_EQ(screen->Clipboard->text(), "");
    EXPECT_TRUE(consoleHas("datafile.dat is larger than the 67108864 bytes it may hold"));
    EXPECT_EQ(std::filesystem::file_size(dataFile), std::uintmax_t(400) << 20) << "left as it is";
}

TEST_F(NotesScreenTest, AStoredFontSizeThatNoIntegerHoldsKeepsEighteenOnEveryScreen) {
    struct Case {
        double stored;
        double size;
    };
    for (auto [stored, size] :
         {Case{30.7, 30}, Case{std::numeric_limits<double>::quiet_NaN(), 18},
          Case{std::numeric_limits<double>::infinity(), 18}, Case{-1e300, 18}, Case{1e19, 18}}) {
        SCOPED_TRACE(stored);
        store()->setDouble_forKey(stored, "savefontSizeApp");
        window.reset();
        nav.reset();
        show();
        EXPECT_EQ(screen->fontsizeforApp, size);
        EXPECT_EQ(screen->Clipboard->font(), UIFont::fontWithName_size("Courier", size));
        auto main = std::make_shared<quillora::ViewController>();
        main->view();
        EXPECT_EQ(main->fontsizeforApp, size) << "the first screen too";
    }
}

TEST_F(NotesScreenTest, TheRestoreAppliesTheSavedRowElseTheRegionsElseRowZero) {
    struct Case {
        const char* locale;
        std::optional<long long> stored;
        long row;
        const char* recognizer;
    };
    for (const auto& c :
         {Case{"pl_PL", 13, 13, "ar-SA"}, Case{"ca_ES", {}, 14, "ca-ES"}, Case{"pt_BR", {}, 0, "en-US"},
          Case{"en_US", 60, 0, "en-US"}, Case{"en_US", -1, 0, "en-US"}, Case{"fr_FR", 22, 22, "nl-NL"}}) {
        SCOPED_TRACE(std::string(c.locale) + " stored " + (c.stored ? std::to_string(*c.stored) : "none"));
        store()->removeObjectForKey("lastlangaugeselected");
        if (c.stored) store()->setInteger_forKey(*c.stored, "lastlangaugeselected");
        NSLocale::setCurrentLocaleForTesting(NSLocale(c.locale));
        window.reset();
        nav.reset();
        show();
        EXPECT_EQ(screen->buttonSelect, c.row);
        EXPECT_EQ(screen->pickerView->selectedRowInComponent(0), c.row);
        EXPECT_EQ(screen->speechRecognizer->localeIdentifier(), c.recognizer);
        if (c.stored) {
            EXPECT_EQ(screen->lastlangaugeselected, *c.stored) << "the stored value is kept";
        }
    }
    EXPECT_EQ(screen->pickerView->numberOfRowsInComponent(0), 60);
    EXPECT_EQ(screen->pickerView->titleForRow(15), " 🇨🇳Chinese (China Mainland");

    // While a run is on the row steps' selection is refused, so what the restore sets itself shows:
    // a saved row sets the image and marks the view, the fallback leaves both.
    auto restoreDuringARun = [&](std::optional<long long> saved) {
        if (saved)
            store()->setInteger_forKey(*saved, "lastlangaugeselected");
        else
            store()->removeObjectForKey("lastlangaugeselected");
        NSLocale::setCurrentLocaleForTesting(NSLocale("pt_BR"));
        screen->recordButton->setImage_forState(UIImage::imageNamed("Pause.png"), UIControlStates::Normal);
        auto marks = screen->view()->needsDisplayCount();
        screen->restoreLastSelectedLanguage();
        if (auto a = alert()) a->pressActionWithTitle("OK ");
        runUntilIdle();
        return std::pair{image(), screen->view()->needsDisplayCount() - marks};
    };
    record();
    EXPECT_EQ(restoreDuringARun(0), (std::pair<std::string, std::size_t>{"Play.png", 1}));
    EXPECT_EQ(restoreDuringARun(std::nullopt), (std::pair<std::string, std::size_t>{"Pause.png", 0}));
    EXPECT_EQ(restoreDuringARun(60), (std::pair<std::string, std::size_t>{"Pause.png", 0}));
    EXPECT_EQ(screen->buttonSelect, 0);
}

// ---- Appearance, notifications and the keyboard overlay ----

class NotesOverlayTest : public NotesScreenTest {
protected:
    void showWithBar() {
        show([&](quillora::NotesViewController& s) {
            auto bar = std::make_shared<UIView>(CGRect{0, 0, 390, 44});
            doneButton = UIButton::buttonWithType(UIButtonType::System);
            doneButton->setFrame({300, 2, 80, 40});
            doneButton->addTarget(
                s.self<quillora::NotesViewController>(), "Done_button",
                [](quillora::NotesViewController& v) { v.Done_button(); }, UIControlEvent::TouchUpInside);
            bar->addSubview(doneButton);
            s.toolBarView = bar;
        });
    }
    // Touches the transcript: the editor comes up and the overlay takes the transcript's place;
    // the editor is closed again so that the overlay can be typed into.
    void touchTranscript() {
        screen->Clipboard->becomeFirstResponder();
        runUntilIdle();
        if (screen->presentedViewController())
            screen->dismissViewControllerAnimated_completion(false, nullptr);
        runUntilIdle();
    }
    void typeInOverlay(const std::string& text) {
        ASSERT_TRUE(screen->Clipboard_keyboard);
        ASSERT_TRUE(screen->Clipboard_keyboard->typeText(text));
        if (screen->presentedViewController())
            screen->dismissViewControllerAnimated_completion(false, nullptr);
        runUntilIdle();
    }
    std::shared_ptr<UIButton> doneButton;
};

TEST_F(NotesOverlayTest, TheOverlayIsBuiltOnceFromTheKeyboardsRiseAndCarriesTheAccessoryBar) {
    showWithBar();
    touchTranscript();
    ASSERT_TRUE(screen->Clipboard_keyboard);
    EXPECT_TRUE(screen->KeyboardShow);
    EXPECT_EQ(screen->ClipboardHeight, 844 - 336 - 100);
    EXPECT_EQ(screen->Clipboard_keyboard->frame(), (CGRect{0, 75, 382, 408}));
    EXPECT_EQ(screen->Clipboard_keyboard->font(), UIFont::fontWithName_size("Courier", 18));
    EXPECT_EQ(screen->Clipboard_keyboard->layer().borderWidth, 0);
    EXPECT_EQ(screen->Clipboard_keyboard->inputAccessoryView(), screen->toolBarView);
    EXPECT_TRUE(screen->Clipboard->isHidden());
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_TRUE(consoleHas("should editing begin"));

    auto overlay = screen->Clipboard_keyboard;
    typeInOverlay("x");
    EXPECT_EQ(screen->Clipboard_keyboard, overlay) << "made once";
    EXPECT_TRUE(consoleHas("Already clipboard keyboard present "));
    EXPECT_EQ(screen->toolBarView->window(), window) << "the bar stands on the keyboard";
    EXPECT_TRUE(doneButton->tap());
    runUntilIdle();
    EXPECT_FALSE(screen->Clipboard->isHidden());
    EXPECT_TRUE(screen->Clipboard_keyboard->isHidden());
    EXPECT_EQ(screen->Clipboard->text(), "x");
    EXPECT_TRUE(screen->recordButton->isEnabled());
    EXPECT_FALSE(screen->toolBarView->window());
    EXPECT_FALSE(doneButton->tap());
}

TEST_F(NotesOverlayTest, WhateverWritesEitherCopyWritesBoth) {
    showWithBar();
    // Typing, then the keyboard going by itself (not by Done): the frame change swaps first.
    touchTranscript();
    typeInOverlay("typed");
    screen->Clipboard_keyboard->resignFirstResponder();
    runUntilIdle();
    EXPECT_EQ(screen->Clipboard->text(), "typed");

    // A task that ends while the overlay shows, then Done.
    record();
    partial("heard");
    touchTranscript();
    final("heard words");
    EXPECT_EQ(screen->Clipboard_keyboard->text(), "typed heard words");
    screen->Done_button();
    runUntilIdle();
    EXPECT_EQ(screen->Clipboard->text(), "typed heard words");
    screen->recordButton->setEnabled(true);
    screen->recordButton->tap();
    runUntilIdle();

    // The editor's saved text, a symbol and Refresh while the overlay shows.
    touchTranscript();
    screen->textEditButtonTapped();
    runUntilIdle();
    NSNotificationCenter::defaultCenter().postNotificationName("printValue", nullptr,
                                                               {{"value", std::string("edited")}});
    screen->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();
    screen->pushpin();
    EXPECT_EQ(screen->Clipboard_keyboard->text(), "edited📌");
    screen->keyboardClose();
    runUntilIdle();
    EXPECT_EQ(screen->Clipboard->text(), "edited📌");
    touchTranscript();
    screen->Refresh();
    screen->Done_button();
    runUntilIdle();
    EXPECT_EQ(screen->Clipboard->text(), "");
}

TEST_F(NotesOverlayTest, TheKeyboardGoingGivesTheButtonBackOnlyWhenNothingElseHoldsIt) {
    showWithBar();
    record();
    partial("words");
    screen->recordButton->tap(); // a stop, pending until the task's next callback
    screen->Clipboard->becomeFirstResponder();
    screen->Done_button();
    EXPECT_FALSE(screen->recordButton->isEnabled()) << "a stop is pending";
    runUntilIdle();
    if (screen->presentedViewController()) screen->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();
    EXPECT_TRUE(screen->recordButton->isEnabled()) << "the task's end gives it back";

    screen->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::denied);
    if (auto a = alert()) a->pressActionWithTitle("OK");
    runUntilIdle();
    touchTranscript();
    screen->Done_button();
    EXPECT_FALSE(screen->recordButton->isEnabled()) << "authorization was refused";
    screen->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
    EXPECT_TRUE(screen->recordButton->isEnabled());

    ScriptedSpeech::shared().setScriptedLocales({"en-US"});
    screen->pickerView->userSelectRow(13);
    runUntilIdle();
    EXPECT_FALSE(screen->recordButton->isEnabled());
    touchTranscript();
    screen->Done_button();
    EXPECT_FALSE(screen->recordButton->isEnabled()) << "the recognizer is unavailable";
}

TEST_F(NotesOverlayTest, AFrameChangeWithoutAnEndFrameMakesNoOverlay) {
    showWithBar();
    NSNotificationCenter::defaultCenter().postNotificationName(UIKeyboardWillChangeFrameNotification, nullptr,
                                                               {});
    EXPECT_FALSE(screen->Clipboard_keyboard);
    EXPECT_FALSE(screen->KeyboardShow);
    EXPECT_FALSE(screen->Clipboard->isHidden());
    screen->keyboardClose(); // with no overlay yet
    NSNotificationCenter::defaultCenter().postNotificationName(UIKeyboardWillHideNotification, nullptr, {});
    EXPECT_TRUE(consoleHas("Keyboard hide"));
}

TEST_F(NotesScreenTest, ObservationsAreOncePerScreenHoweverOftenItAppears) {
    show();
    screen->Clipboard->setText("kept text");
    for (int i = 0; i < 2; ++i) {
        nav->pushViewController_animated(std::make_shared<UIViewController>(), false);
        nav->popViewControllerAnimated(false);
        runUntilIdle();
    }
    EXPECT_EQ(screen->Clipboard->text(), "kept text") << "appearing keeps the transcript";
    const void* key = static_cast<const quillora::DictationScreen*>(screen.get());
    auto& center = NSNotificationCenter::defaultCenter();
    for (const auto& name :
         {std::string("printValue"), std::string("fontValue"), UIKeyboardWillChangeFrameNotification,
          UIKeyboardWillHideNotification, UIApplicationWillTerminateNotification})
        EXPECT_EQ(center.registrationCount(key, name), 1u) << name;

    screen->textEditButtonTapped();
    runUntilIdle();
    center.postNotificationName("printValue", nullptr, {{"value", std::string("I run")}});
    EXPECT_EQ(screen->Clipboard->text(), "I run");
    EXPECT_EQ(screen->totalwordcount, 2) << "one pass";
    center.postNotificationName("fontValue", nullptr, {{"fontvalue", std::string("24")}});
    EXPECT_EQ(screen->Clipboard->font(), UIFont::fontWithName_size("Courier", 24));
    EXPECT_EQ(screen->textView->font(), UIFont::fontWithName_size("Courier", 24));

    screen->Clipboard->setText(" ");
    UIApplication::sharedApplication().simulateResignActive();
    UIApplication::sharedApplication().simulateBecomeActive();
    EXPECT_TRUE(consoleHas("No data"));

    nav->pushViewController_animated(std::make_shared<UIViewController>(), false);
    EXPECT_EQ(center.registrationCount(key, UIKeyboardWillChangeFrameNotification), 0u) << "only while shown";
    EXPECT_EQ(center.registrationCount(key, "printValue"), 1u) << "also while covered";
}

// ---- Sheets and menus ----

TEST_F(NotesScreenTest, TheHelpSheetListsTheNotesCommandsAndTheColourSheetKeepsThePlatformsPlace) {
    show();
    screen->Clipboard->setText("kept");
    screen->PushPin_emoji();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "☑️⚫️🔲🔵");
    ASSERT_EQ(alert()->actions().size(), 21u);
    EXPECT_EQ(alert()->actions()[1]->title(), "Say 'Ballot box' to add ☑️");
    EXPECT_EQ(alert()->actions()[13]->title(), "Say 'centre dot' to add ·");
    alert()->pressActionWithTitle("Say 'Red circle' to add 🔴");
    runUntilIdle();
    EXPECT_EQ(screen->Clipboard->text(), "kept") << "a row only closes the sheet";
    screen->PushPin_emoji();
    alert()->pressActionWithTitle("Dismiss");
    runUntilIdle();
    EXPECT_TRUE(consoleHas("User click Dismiss button"));

    UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiom::Pad);
    screen->Color();
    auto popover = alert()->popoverPresentationController();
    ASSERT_TRUE(popover);
    EXPECT_EQ(popover->sourceView.lock(), screen->view());
    EXPECT_EQ(popover->permittedArrowDirections, UIPopoverArrowDirections::Any) << "the platform's placement";
    alert()->pressActionWithTitle("Light Grey");
    runUntilIdle();
    EXPECT_EQ(screen->view()->backgroundColor(), UIColor::lightGrayColor());
    screen->Font_change();
    EXPECT_EQ(alert()->popoverPresentationController()->permittedArrowDirections,
              UIPopoverArrowDirections::None);
    UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiom::Phone);
}

// ---- Save into the notes list ----

class NotesSaveTest : public NotesScreenTest {
protected:
    void showFromStoryboard() {
        auto board = std::make_shared<UIStoryboard>("Main");
        board->registerScene("NotesViewController", [] {
            auto s = std::make_shared<quillora::NotesViewController>();
            auto item = UIBarButtonItem::initWithTitle_style_target_action(
                "Save", UIBarButtonItemStyle::Plain, s, "SaveText",
                [](quillora::NotesViewController& v) { v.SaveText(); });
            s->navigationItem()->rightBarButtonItem = item;
            s->saveText = item;
            return s;
        });
        board->registerScene("NVCTV", [] { return std::make_shared<quillora::NotesVCTableView>(); });
        screen = std::dynamic_pointer_cast<quillora::NotesViewController>(
            board->instantiateViewControllerWithIdentifier("NotesViewController"));
        nav = UINavigationController::initWithRootViewController(screen);
        window = std::make_shared<UIWindow>();
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        RunLoop::main().runUntil([&] { return screen->recordButton->isEnabled(); }, 5);
    }
    std::shared_ptr<quillora::NotesVCTableView> saveAndBack(const std::string& text) {
        screen->Clipboard->setText(text);
        screen->SaveText();
        auto list = std::dynamic_pointer_cast<quillora::NotesVCTableView>(nav->topViewController());
        nav->popViewControllerAnimated(false);
        runUntilIdle();
        return list;
    }
};

TEST_F(NotesSaveTest, SaveAddsEveryNonEmptyTranscriptAndTerminationSavesOnce) {
    showFromStoryboard();
    // A list without a file starts from its sample rows.
    const std::vector<std::string> samples = std::make_shared<quillora::NotesVCTableView>()->data;
    auto list = saveAndBack("");
    ASSERT_TRUE(list);
    EXPECT_FALSE(list->transcribe);
    EXPECT_EQ(list->data, samples) << "an empty transcript inserts nothing";
    EXPECT_FALSE(std::filesystem::exists(home / "Documents" / "notesNVC.txt"));

    list = saveAndBack(" ");
    ASSERT_EQ(list->data.size(), samples.size() + 1);
    EXPECT_EQ(list->data[0], " ") << "a blank is an entry";
    saveAndBack("twice");
    list = saveAndBack("twice");
    ASSERT_EQ(list->data.size(), samples.size() + 3);
    EXPECT_EQ(std::vector<std::string>(list->data.begin(), list->data.begin() + 3),
              (std::vector<std::string>{"twice", "twice", " "}));
    EXPECT_EQ(screen->Clipboard->text(), "twice") << "the screen keeps its text";

    screen->viewWillAppear(false); // appearing again must not add a second termination save
    screen->Clipboard->setText("unsaved");
    UIApplication::sharedApplication().simulateTerminate();
    EXPECT_EQ(countLines("app going to terminate"), 1u);
    list = std::dynamic_pointer_cast<quillora::NotesVCTableView>(nav->topViewController());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->data.size(), samples.size() + 4) << "one row for the termination";
    EXPECT_EQ(list->data[0], "unsaved");
    EXPECT_TRUE(std::filesystem::exists(home / "Documents" / "notesNVC.txt"));
}

TEST_F(NotesSaveTest, RefreshEmptiesOnlyTheTranscriptAndBackPops) {
    showFromStoryboard();
    record();
    final("dictated");
    store()->setObject_forKey("stored", "saveclipBoardText");
    screen->Refresh();
    EXPECT_EQ(screen->Clipboard->text(), "");
    EXPECT_EQ(store()->stringForKey("saveclipBoardText"), "stored");
    EXPECT_TRUE(screen->audioEngine->isRunning()) << "the run goes on";
    screen->SaveText();
    runUntilIdle();
    ASSERT_NE(nav->topViewController(), screen);
    nav->popViewControllerAnimated(false);
    runUntilIdle();
    screen->backviewTapped(); // the root: nothing to pop
    runUntilIdle();
    EXPECT_EQ(nav->topViewController(), screen);
}
