// Languages, appearance, application events, notifications, menus and the long session.

#include <deque>
#include <iostream>

#include "dictation/RecognitionLanguages.h"
#include "entries/EntryListViewController.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"
#include "tests/dictation/DictationTestSupport.h"

using namespace platform;
using quillora::test::DictationScreenTest;

TEST_F(DictationScreenTest, TheLanguageComesFromTheStoredRowElseTheRegionElseRowZero) {
    struct Case {
        std::optional<std::string> locale;
        std::optional<long long> stored;
        long row;
        const char* recognizer;
    };
    for (const auto& c :
         {Case{"ca_ES", {}, 14, "ca-ES"}, Case{"fr_CA", {}, 3, "en-CA"}, Case{"pt_BR", {}, 0, "en-US"},
          Case{"C", {}, 0, "en-US"}, Case{"es_ES", 22, 22, "nl-NL"}, Case{"es_ES", 60, 0, "en-US"},
          Case{"es_ES", -1, 0, "en-US"}}) {
        SCOPED_TRACE(c.locale.value_or("") + " stored " + (c.stored ? std::to_string(*c.stored) : "none"));
        NSUserDefaults::standardUserDefaults()->removeObjectForKey("lastlangaugeselected");
        if (c.stored)
            NSUserDefaults::standardUserDefaults()->setInteger_forKey(*c.stored, "lastlangaugeselected");
        NSLocale::setCurrentLocaleForTesting(NSLocale(*c.locale));
        show();
        EXPECT_EQ(screen->buttonSelect, c.row);
        EXPECT_EQ(screen->pickerView->selectedRowInComponent(0), c.row);
        EXPECT_EQ(screen->speechRecognizer->localeIdentifier(), c.recognizer);
    }
    EXPECT_EQ(quillora::mainLanguageTable().size(), 60u);
    EXPECT_EQ(screen->pickerView->titleForRow(17), " 🇹🇼 Chinese (Taiwan)");

    // A pick while recording is refused; a pick is stored only when the screen goes away.
    record();
    screen->pickerView->userSelectRow(5);
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "Please stop the earlier recording!");
    EXPECT_EQ(screen->buttonSelect, 0);
    alert()->pressActionWithTitle("OK ");
    screen->recordButton->tap();
    runUntilIdle();
    NSUserDefaults::standardUserDefaults()->removeObjectForKey("lastlangaugeselected");
    screen->pickerView->userSelectRow(22);
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->objectForKey("lastlangaugeselected"));
    screen->viewWillDisappear(false);
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->integerForKey("lastlangaugeselected"), 22);
    EXPECT_TRUE(consoleHas("save the last selected language 22"));

    // A row whose locale no recognizer serves leaves the button disabled with its reason.
    ScriptedSpeech::shared().setScriptedLocales({"en-US"});
    screen->pickerView->userSelectRow(13);
    runUntilIdle();
    EXPECT_EQ(screen->buttonSelect, 13);
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_EQ(screen->recordButton->titleForState(UIControlStates::Disabled), "Connect to the internet");
}

TEST_F(DictationScreenTest, ObservationsAreHeldOncePerScreenAndGoWithIt) {
    show();
    auto& center = NSNotificationCenter::defaultCenter();
    const void* key = static_cast<const quillora::ViewController*>(screen.get());
    // Appear again after another screen was pushed over and popped.
    nav->pushViewController_animated(std::make_shared<UIViewController>(), false);
    EXPECT_EQ(center.registrationCount(key, UIApplicationWillResignActiveNotification), 0u);
    nav->popViewControllerAnimated(false);
    runUntilIdle();
    for (const auto& name :
         {std::string("printValue"), std::string("fontValue"), UIApplicationWillResignActiveNotification,
          UIApplicationDidBecomeActiveNotification, UIApplicationWillTerminateNotification})
        EXPECT_EQ(center.registrationCount(key, name), 1u) << name;

    const std::string before = screen->Clipboard->text();
    center.postNotificationName("printValue", nullptr, {{"value", std::string("not mine")}});
    EXPECT_EQ(screen->Clipboard->text(), before) << "no editor of this screen is up";
    screen->textEditButtonTapped();
    runUntilIdle();
    center.postNotificationName("printValue", nullptr, {{"value", std::string("edited text")}});
    EXPECT_EQ(screen->Clipboard->text(), "edited text");
    center.postNotificationName("printValue", nullptr, {{"other", std::string("x")}});
    EXPECT_EQ(screen->Clipboard->text(), "edited text");
    center.postNotificationName("fontValue", nullptr, {{"fontvalue", std::string("30")}});
    EXPECT_EQ(screen->Clipboard->font()->pointSize, 30);
    EXPECT_EQ(screen->textView->font()->fontName, "Courier");
    EXPECT_EQ(screen->fontsizeforApp, 18);
    UIApplication::sharedApplication().simulateTerminate();
    EXPECT_EQ(countLines("app going to terminate"), 1u);
    EXPECT_EQ(countLines("in Save loop"), 0u) << "no storyboard save item on this screen";

    // A screen that goes away takes its observations with it.
    auto other = std::make_shared<quillora::ViewController>();
    other->view();
    other->viewWillAppear(false);
    const void* otherKey = static_cast<const quillora::ViewController*>(other.get());
    EXPECT_EQ(center.registrationCount(otherKey, "printValue"), 1u);
    other.reset();
    EXPECT_EQ(center.registrationCount(otherKey, "printValue"), 0u);
}

TEST_F(DictationScreenTest, LeavingWhileDictatingStopsTheRunAndTheHeardTextStillArrivesOnce) {
    show();
    record();
    advance(4);
    partial("before the call");
    UIApplication::sharedApplication().simulateResignActive();
    EXPECT_FALSE(screen->audioEngine->isRunning());
    EXPECT_FALSE(screen->audioEngine->inputNode()->hasTapOnBus(0));
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->integerForKey("timedictateTotal"), 4);
    runUntilIdle();
    EXPECT_EQ(screen->Clipboard->text(), " before the call");
    EXPECT_EQ(ScriptedSpeech::shared().tasksStarted(), 1);
    EXPECT_EQ(title(), "Start Recording");
    UIApplication::sharedApplication().simulateBecomeActive();
    UIApplication::sharedApplication().simulateResignActive();
    EXPECT_TRUE(consoleHas("Audio engine not running "));

    screen->recordButton->setEnabled(true);
    record();
    partial("then left");
    nav->pushViewController_animated(std::make_shared<UIViewController>(), false);
    runUntilIdle();
    EXPECT_TRUE(consoleHas("View DID disappear triggered"));
    EXPECT_EQ(screen->Clipboard->text(), " before the call then left");
}

TEST_F(DictationScreenTest, MenusRestyleTheScreenAndActionsPresentTheirSheets) {
    show();
    screen->Font_change();
    ASSERT_TRUE(alert());
    alert()->pressActionWithTitle("Font size 34");
    runUntilIdle();
    EXPECT_EQ(screen->textView->font(), UIFont::fontWithName_size("Courier", 34));
    EXPECT_EQ(screen->Clipboard->font(), UIFont::fontWithName_size("Courier", 34));
    screen->Color();
    alert()->pressActionWithTitle("Dismiss");
    runUntilIdle();
    EXPECT_TRUE(consoleHas("User click Dismiss button"));
    screen->Color();
    alert()->pressActionWithTitle("Orange");
    runUntilIdle();
    EXPECT_EQ(screen->view()->backgroundColor(), UIColor::orangeColor());

    UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiom::Pad);
    screen->PushPin_emoji();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->actions().size(), 16u);
    auto popover = alert()->popoverPresentationController();
    ASSERT_TRUE(popover);
    EXPECT_EQ(popover->permittedArrowDirections, UIPopoverArrowDirections::None);
    EXPECT_EQ(popover->sourceRect, (CGRect{195, 422, 0, 0}));
    alert()->pressActionWithTitle("Complete List of Commands");
    runUntilIdle();
    EXPECT_EQ(UIApplication::sharedApplication().openedURLs().size(), 1u);
    UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiom::Phone);

    screen->Clipboard->setText("");
    screen->Share();
    auto share = std::dynamic_pointer_cast<UIActivityViewController>(screen->presentedViewController());
    ASSERT_TRUE(share);
    ASSERT_EQ(share->activityItems().size(), 1u);
    EXPECT_EQ(std::get<std::string>(share->activityItems()[0]), "");
}

// A whole run: a task ends every ten seconds for 1800 seconds.
TEST_F(DictationScreenTest, AHalfHourRunRestartsAbout180TimesAndKeepsEveryTasksTextOnceAndInOrder) {
    show();
    auto words = [](int task) { return "words of task " + std::to_string(task); };
    const WholeRun run = runWithATaskEveryTenSeconds(words);
    std::string expected;
    for (int task = 1; task <= run.tasks; ++task)
        expected += " " + words(task);
    EXPECT_EQ(run.tasks, 180);
    EXPECT_EQ(countLines("start recodring again "), 179u);
    EXPECT_EQ(screen->Clipboard->text(), expected);
    EXPECT_EQ(screen->timeLeft, 0);
    EXPECT_EQ(screen->SpeechTimeLabel->text(), "(Time-left:0s)");
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_EQ(image(), "Play.png");
    EXPECT_FALSE(screen->audioEngine->inputNode()->hasTapOnBus(0));
    // Memory stays flat: every finished task, its request and its queued work are gone.
    for (const auto& t : run.ended)
        EXPECT_TRUE(t.expired());
    EXPECT_LE(RunLoop::main().pendingCount(), run.pendingAtTask20);
}

// Tasks that hear nothing end for want of speech and the next one starts, all through a run. What
// each task held is gone at its end: after a hundred and more of them the heap is where it was
// after the tenth. (The console lines the test keeps are dropped as they come, so that only the
// screen's own memory counts.)
TEST_F(DictationScreenTest, AHalfHourOfSilenceRestartsWithoutHoldingMemory) {
    show();
    record();
    advance(100);
    const int tasksBefore = ScriptedSpeech::shared().tasksStarted();
    console().clearCaptured();
    // A weak reference keeps the memory of a task made in one piece with its count, so only the
    // last few are kept: each is seen gone a few steps after its end.
    std::deque<std::weak_ptr<SFSpeechRecognitionTask>> recent;
    const std::size_t heapBefore = quillora::test::heapInUse();
    for (int step = 0; screen->audioEngine->isRunning(); ++step) {
        if (recent.empty() || recent.back().lock() != screen->recognitionTask())
            recent.push_back(screen->recognitionTask());
        if (recent.size() > 3) {
            EXPECT_TRUE(recent.front().expired()) << "a task outlives its end";
            recent.pop_front();
        }
        advance(5);
        console().clearCaptured();
        ASSERT_LT(step, 1000) << "the run never ends";
    }
    runUntilIdle();
    for (const auto& t : recent)
        EXPECT_TRUE(t.expired());
    recent.clear();
    console().clearCaptured();
    const auto growth =
        static_cast<long long>(quillora::test::heapInUse()) - static_cast<long long>(heapBefore);
    const int tasks = ScriptedSpeech::shared().tasksStarted() - tasksBefore;
    std::cout << "[ silence ] " << tasks << " tasks, heap growth " << growth << " bytes" << std::endl;
    EXPECT_GE(tasks, 150);
    EXPECT_EQ(screen->Clipboard->text(), "");
    // Keeping no more than each task's request (some 200 bytes) would add 35 kB.
    EXPECT_LT(growth, 16 * 1024) << "heap grew with the restarts";
}

TEST_F(DictationScreenTest, SaveAndTheTerminationSavePushTheListWithTheTranscriptInsertedOnce) {
    auto board = std::make_shared<UIStoryboard>("Main");
    board->registerScene("ViewController", [] {
        auto s = std::make_shared<quillora::ViewController>();
        auto item = UIBarButtonItem::initWithTitle_style_target_action(
            "Save", UIBarButtonItemStyle::Plain, s, "SaveText",
            [](quillora::ViewController& v) { v.SaveText(); });
        s->navigationItem()->rightBarButtonItem = item;
        s->saveText = item;
        return s;
    });
    board->registerScene("VCTV", [] { return std::make_shared<quillora::ViewControllerTabelView>(); });
    screen = std::dynamic_pointer_cast<quillora::ViewController>(
        board->instantiateViewControllerWithIdentifier("ViewController"));
    nav = UINavigationController::initWithRootViewController(screen);
    window = std::make_shared<UIWindow>();
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    RunLoop::main().runUntil([&] { return screen->recordButton->isEnabled(); }, 5);

    screen->SaveText();
    auto list = std::dynamic_pointer_cast<quillora::ViewControllerTabelView>(nav->topViewController());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->transribeText, "");
    EXPECT_FALSE(list->transcribe);
    nav->popViewControllerAnimated(false);
    runUntilIdle();

    record();
    final("saved words");
    UIApplication::sharedApplication().simulateTerminate();
    list = std::dynamic_pointer_cast<quillora::ViewControllerTabelView>(nav->topViewController());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->transribeText, " saved words");
    ASSERT_FALSE(list->data.empty());
    EXPECT_EQ(list->data.front(), " saved words");
    EXPECT_EQ(std::count(list->data.begin(), list->data.end(), " saved words"), 1);
    EXPECT_EQ(countLines("in Save loop"), 2u) << "the termination save runs once";
}
