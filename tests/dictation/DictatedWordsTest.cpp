// What a person says ends up in their text once, and nothing else does: one table over the three
// dictation screens and the three entry detail screens, each reached in the application as a
// person reaches it (the switch, Save, a row), dictated into with the scripted recognizer, then
// left, paused over, edited and quit while a phrase is being spoken.

#include <algorithm>
#include <filesystem>
#include <functional>

#include "app/ApplicationMain.h"
#include "detail/DetailEntryScreen.h"
#include "dictation/SwiftUIEditView.h"
#include "entries/EntryListViewController.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/speech/SFSpeechRecognizer.h"
#include "tests/dictation/DictationTestSupport.h"

using namespace platform;
using quillora::DictationScreen;
using quillora::EntryListVariant;
using quillora::EntryListViewController;
using quillora::test::occurrences;
using Rows = std::vector<std::string>;

namespace {

struct ScreenCase {
    const char* name;
    // The dictation screen's segment; for a detail screen, the segment of the screen whose list
    // holds its entry.
    long segment;
    bool detail;
    const EntryListVariant* list;
};

const ScreenCase kScreens[] = {
    {"Dictation", 0, false, &quillora::kMainEntryList},
    {"Notes", 1, false, &quillora::kNotesEntryList},
    {"Recipe", 2, false, &quillora::kRecipeEntryList},
    {"DetailVCTableView", 0, true, &quillora::kMainEntryList},
    {"DetailNotesVCTableView", 1, true, &quillora::kNotesEntryList},
    {"DetailRecipeVCTableView", 2, true, &quillora::kRecipeEntryList},
};

void PrintTo(const ScreenCase& screen, std::ostream* out) {
    *out << screen.name;
}

// Each phrase stands exactly once, in the order given, and nothing else was appended.
void expectOnceInOrder(const std::string& text, const std::vector<std::string>& phrases) {
    std::size_t from = 0;
    for (const auto& phrase : phrases) {
        EXPECT_EQ(occurrences(text, phrase), 1u) << "\"" << phrase << "\" in \"" << text << "\"";
        auto at = text.find(phrase, from);
        EXPECT_NE(at, std::string::npos) << "\"" << phrase << "\" out of order in \"" << text << "\"";
        if (at != std::string::npos) from = at + phrase.size();
    }
    EXPECT_EQ(text.find("Listening"), std::string::npos) << text;
    EXPECT_EQ(text.find("  "), std::string::npos) << "a blank run in \"" << text << "\"";
}

class DictatedWordsTest : public quillora::test::PlatformTest,
                          public ::testing::WithParamInterface<ScreenCase> {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        ScriptedSpeech::shared().setScriptedLocales({"*"});
        AVAudioInputSource::setCurrent(AVAudioInputSource::silence());
        setReachabilityOverride({kSCNetworkReachabilityFlagsReachable, false, false});
        NSLocale::setCurrentLocaleForTesting(NSLocale("en_US"));
        for (const auto& c : kScreens)
            ASSERT_TRUE(writeStringArrayPlist((Sandbox::documents() / c.list->fileName).string(), {"entry"}));
    }
    void TearDown() override {
        nav.reset();
        NSLocale::setCurrentLocaleForTesting(std::nullopt);
        PlatformTest::TearDown();
    }

    const ScreenCase& the() const { return GetParam(); }

    // Starts the application and goes to the screen of the case as a person would.
    void enter() {
        auto& app = UIApplication::sharedApplication();
        app.setMainLoop([] { return 0; });
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        ASSERT_EQ(quillora::applicationMain(1, argv), 0);
        app.simulateBecomeActive();
        nav = std::dynamic_pointer_cast<UINavigationController>(app.keyWindow()->rootViewController());
        ASSERT_TRUE(nav);
        waitForTheButton();
        if (the().segment > 0) {
            ASSERT_TRUE(pickSegment(the().segment));
        }
        if (!the().detail) {
            waitForTheButton();
            return;
        }
        ASSERT_TRUE(screen()->SaveDynamicButton->tap());
        runUntilIdle();
        auto list = std::dynamic_pointer_cast<EntryListViewController>(nav->topViewController());
        ASSERT_TRUE(list);
        ASSERT_TRUE(list->table.lock()->userTapRow({0, 0}));
        runUntilIdle();
        ASSERT_EQ(screen()->className(), the().name);
        waitForTheButton();
    }

    std::shared_ptr<DictationScreen> screen() const {
        return std::dynamic_pointer_cast<DictationScreen>(nav->topViewController());
    }
    void waitForTheButton() {
        RunLoop::main().runUntil([&] { return screen()->recordButton->isEnabled(); }, 5);
        // An authorization answer still on its way would land in the middle of the first taps.
        ASSERT_TRUE(RunLoop::main().settleExternalWork(5));
        ASSERT_TRUE(screen()->recordButton->isEnabled());
    }
    bool pickSegment(long segment) {
        auto control = screen()->segmentcontrol.lock();
        if (!control || !control->userSelectSegment(segment)) return false;
        runUntilIdle();
        return true;
    }

    void tapRecord() {
        ASSERT_TRUE(screen()->recordButton->tap());
        runUntilIdle();
    }
    void say(const std::string& words) {
        ASSERT_TRUE(ScriptedSpeech::shared().partial(words));
        runUntilIdle();
        advance(0.5);
        ASSERT_TRUE(ScriptedSpeech::shared().final(words));
        runUntilIdle();
    }
    // Lets a stop, a leaving or a quitting settle.
    void settle() {
        runUntilIdle();
        advance(2);
    }

    // Where the screen keeps its text: the transcript of a dictation screen, the entry of a detail
    // screen.
    std::string text() const { return screen()->transcript()->text(); }
    std::string initialText() const { return the().detail ? "entry" : ""; }
    // The text with `phrases` appended as the screen appends a task's text.
    std::string appended(std::string text, const std::vector<std::string>& phrases) const {
        for (const auto& phrase : phrases) {
            if (the().detail)
                text += (text.empty() || text.back() == '\n' ? "" : "\n") + phrase + "\n";
            else
                text += " " + phrase;
        }
        return text;
    }
    std::string stored() const {
        return NSUserDefaults::standardUserDefaults()->stringForKey("saveclipBoardText").value_or("<none>");
    }
    Rows listFile() const {
        return readStringArrayPlist((Sandbox::documents() / the().list->fileName).string()).value_or(Rows{});
    }
    std::shared_ptr<UIAlertController> alert() const {
        return std::dynamic_pointer_cast<UIAlertController>(screen()->presentedViewController());
    }
    Rows listFileOf(long segment) const {
        const auto& file = kScreens[segment].list->fileName;
        return readStringArrayPlist((Sandbox::documents() / file).string()).value_or(Rows{});
    }
    std::shared_ptr<EntryListViewController> shownList() const {
        return std::dynamic_pointer_cast<EntryListViewController>(nav->topViewController());
    }
    // The Save button of a dictation screen, and the list it shows once the Save is made.
    std::shared_ptr<EntryListViewController> save() {
        EXPECT_TRUE(screen()->SaveDynamicButton->tap());
        settle();
        return shownList();
    }
    void backFromList() {
        auto list = shownList();
        ASSERT_TRUE(list);
        ASSERT_TRUE(list->BackDynamicButton->tap());
        runUntilIdle();
    }
    // Opens the editor as a finger on the transcript does; the editor as it is built then.
    quillora::SwiftUIEditView openEditor() {
        screen()->Clipboard->becomeFirstResponder();
        runUntilIdle();
        EXPECT_TRUE(screen()->presentedViewController());
        quillora::SwiftUIEditView editor;
        editor.presentingVC = std::weak_ptr<UIViewController>(screen());
        return editor;
    }
    // Another dictation screen than the case's.
    long otherSegment() const { return the().segment == 0 ? 1 : 0; }

    std::shared_ptr<UINavigationController> nav;
};

} // namespace

TEST_P(DictatedWordsTest, PausesAppendNothingAndNeverEndTheRun) {
    ASSERT_NO_FATAL_FAILURE(enter());
    // A run stopped at once has heard nothing and adds nothing.
    tapRecord();
    tapRecord();
    settle();
    EXPECT_EQ(text(), initialText());
    EXPECT_TRUE(screen()->recordButton->isEnabled());

    tapRecord();
    say("alpha one");
    // A minute of silence: the recognizer gives up on one task after another.
    const int started = ScriptedSpeech::shared().tasksStarted();
    advance(65);
    EXPECT_GE(ScriptedSpeech::shared().tasksStarted(), started + 5) << "tasks ended for want of speech";
    EXPECT_FALSE(alert()) << "silence is no lost connection";
    EXPECT_TRUE(screen()->audioEngine->isRunning());
    say("bravo two");
    advance(30);
    tapRecord();
    settle();
    EXPECT_EQ(text(), appended(initialText(), {"alpha one", "bravo two"}));
    expectOnceInOrder(text(), {"alpha one", "bravo two"});
    EXPECT_FALSE(alert());
    EXPECT_TRUE(screen()->recordButton->isEnabled());
    EXPECT_EQ(screen()->recordButton->titleForState(UIControlStates::Normal), "Start Recording");
    if (!the().detail) {
        EXPECT_EQ(stored(), text());
    }

    // Only failures in a row end a run for the connection: speech between them breaks the row.
    tapRecord();
    for (int i = 0; i < 4; ++i)
        ScriptedSpeech::shared().fail("Network lost"), runUntilIdle();
    say("charlie three");
    for (int i = 0; i < 4; ++i)
        ScriptedSpeech::shared().fail("Network lost"), runUntilIdle();
    EXPECT_FALSE(alert());
    EXPECT_TRUE(screen()->audioEngine->isRunning());
    ScriptedSpeech::shared().fail("Network lost");
    runUntilIdle();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(),
              "Hmm....Looks like your wireless(Wifi) is connected but you dont have internet access🤔");
    EXPECT_FALSE(screen()->audioEngine->isRunning());
    expectOnceInOrder(text(), {"alpha one", "bravo two", "charlie three"});
}

TEST_P(DictatedWordsTest, LeavingMidPhraseKeepsThePhrase) {
    ASSERT_NO_FATAL_FAILURE(enter());
    auto left = screen();
    tapRecord();
    say("delta four");
    ASSERT_TRUE(ScriptedSpeech::shared().partial("echo five"));
    runUntilIdle();
    if (the().detail || the().segment > 0)
        ASSERT_TRUE(left->BackDynamicButton->tap());
    else
        ASSERT_TRUE(pickSegment(1));
    left.reset();
    settle();
    if (the().detail) {
        EXPECT_EQ(listFile().at(0), appended("entry", {"delta four", "echo five"}));
        return;
    }
    EXPECT_EQ(stored(), appended("", {"delta four", "echo five"}));
    if (the().segment == 0) return;
    // Back on the screen, the transcript is as it was left.
    ASSERT_TRUE(pickSegment(the().segment));
    EXPECT_EQ(text(), appended("", {"delta four", "echo five"}));
}

// Away to another application mid-phrase and straight back: the phrase is still on its way, so
// neither the recognizer's news nor a tap at once starts a run that would drop it; once it has
// landed, the button is back.
TEST_P(DictatedWordsTest, BackgroundMidPhraseKeepsThePhraseFromAQuickTap) {
    ASSERT_NO_FATAL_FAILURE(enter());
    tapRecord();
    say("kilo eleven");
    ASSERT_TRUE(ScriptedSpeech::shared().partial("lima twelve"));
    runUntilIdle();
    auto& app = UIApplication::sharedApplication();
    app.simulateResignActive();
    app.simulateBecomeActive();
    screen()->speechRecognizer_availabilityDidChange(*screen()->speechRecognizer, true);
    EXPECT_FALSE(screen()->recordButton->tap());
    settle();
    EXPECT_EQ(text(), appended(initialText(), {"kilo eleven", "lima twelve"}));
    expectOnceInOrder(text(), {"kilo eleven", "lima twelve"});
    EXPECT_FALSE(screen()->audioEngine->isRunning());
    EXPECT_TRUE(screen()->recordButton->isEnabled());
}

// Away to another application just after a phrase's end, its final still on its way and the
// microphone still taking what comes next: one more task hears that, up to the leaving.
TEST_P(DictatedWordsTest, BackgroundWithAFinalOnItsWayLeavesNothingUnheard) {
    ASSERT_NO_FATAL_FAILURE(enter());
    auto& speech = ScriptedSpeech::shared();
    tapRecord();
    const int started = speech.tasksStarted();
    ASSERT_TRUE(speech.final("mike thirteen"));
    screen()->recognitionRequest()->appendAudioPCMBuffer(quillora::test::silenceOf(0.5));
    UIApplication::sharedApplication().simulateResignActive();
    EXPECT_FALSE(screen()->recognitionTask()) << "the leaving lets go of the task";
    double heard = 0;
    // Read once the final is handled, while the task it started for the rest is there.
    DispatchQueue::main().async([&] { heard = speech.audioSecondsHeard(); });
    runUntilIdle();
    EXPECT_EQ(speech.tasksStarted(), started + 1);
    EXPECT_DOUBLE_EQ(heard, 0.5);
    UIApplication::sharedApplication().simulateBecomeActive();
    settle();
    EXPECT_EQ(text(), appended(initialText(), {"mike thirteen"}));
    EXPECT_FALSE(screen()->audioEngine->isRunning());
    EXPECT_FALSE(screen()->audioEngine->inputNode()->hasTapOnBus(0));
    EXPECT_TRUE(screen()->recordButton->isEnabled());
}

TEST_P(DictatedWordsTest, QuittingMidPhraseSavesThePhrase) {
    ASSERT_NO_FATAL_FAILURE(enter());
    tapRecord();
    say("foxtrot six");
    ASSERT_TRUE(ScriptedSpeech::shared().partial("golf seven"));
    runUntilIdle();
    // Nothing runs after the application is told it ends: what it saves, it saves at once.
    UIApplication::sharedApplication().simulateTerminate();
    const std::string expected = appended(initialText(), {"foxtrot six", "golf seven"});
    auto rows = listFile();
    EXPECT_EQ(std::count(rows.begin(), rows.end(), expected), 1) << ::testing::PrintToString(rows);
}

TEST_P(DictatedWordsTest, TheEditorsSaveKeepsWhatWasDictatedMeanwhile) {
    ASSERT_NO_FATAL_FAILURE(enter());
    tapRecord();
    say("hotel eight");
    // Opened mid-phrase: the phrase is not in the editor, and follows the edit.
    ASSERT_TRUE(ScriptedSpeech::shared().partial("sierra nineteen"));
    runUntilIdle();
    auto edit = the().detail
                    ? std::dynamic_pointer_cast<UIButton>(screen()->outletNamed("textEditButtonTapped"))
                    : screen()->EditIndicatorButton;
    ASSERT_TRUE(edit && edit->tap());
    runUntilIdle();
    ASSERT_TRUE(screen()->presentedViewController());
    quillora::SwiftUIEditView editor;
    editor.presentingVC = std::weak_ptr<UIViewController>(screen());
    EXPECT_EQ(editor.text.get(), appended(initialText(), {"hotel eight"}))
        << "the editor opens on the transcript";
    ASSERT_TRUE(ScriptedSpeech::shared().final("sierra nineteen"));
    runUntilIdle();
    say("india nine");
    editor.text.set("edited");
    editor.save();
    runUntilIdle();
    EXPECT_EQ(text(), appended("edited", {"sierra nineteen", "india nine"}));
    if (!the().detail) {
        EXPECT_EQ(stored(), text());
    }
    tapRecord();
    settle();
    EXPECT_EQ(text(), appended("edited", {"sierra nineteen", "india nine"}));
}

// Save mid-phrase (the run's first phrase, then a later one): the run stops as at the record
// button, and the row holds the phrase.
TEST_P(DictatedWordsTest, SaveMidPhraseWaitsForThePhrase) {
    if (the().detail) GTEST_SKIP() << "a detail screen saves by going back";
    ASSERT_NO_FATAL_FAILURE(enter());
    tapRecord();
    ASSERT_TRUE(ScriptedSpeech::shared().partial("mike thirteen"));
    runUntilIdle();
    auto list = save();
    ASSERT_TRUE(list) << "the list follows once the phrase is in";
    EXPECT_EQ(listFile().at(0), " mike thirteen");
    EXPECT_EQ(list->data.at(0), " mike thirteen");
    EXPECT_FALSE(list->presentedViewController());
    backFromList();
    EXPECT_FALSE(screen()->audioEngine->isRunning());
    EXPECT_TRUE(screen()->recordButton->isEnabled());
    EXPECT_EQ(screen()->recordButton->titleForState(UIControlStates::Normal), "Start Recording");

    tapRecord();
    say("november fourteen");
    ASSERT_TRUE(ScriptedSpeech::shared().partial("oscar fifteen"));
    runUntilIdle();
    ASSERT_TRUE(save());
    const std::string before = the().segment == 0 ? "" : " mike thirteen";
    EXPECT_EQ(listFile(),
              (Rows{appended(before, {"november fourteen", "oscar fifteen"}), " mike thirteen", "entry"}));
}

// The editor opens on the screen's own transcript as it stands: neither another screen's text nor
// the stored default comes in with its Save.
TEST_P(DictatedWordsTest, TheEditorOpensOnThisScreensOwnTranscript) {
    if (the().detail) GTEST_SKIP() << "a detail screen's editor opens on its entry";
    ASSERT_NO_FATAL_FAILURE(enter());
    ASSERT_EQ(stored(), "...") << "a fresh folder";
    tapRecord();
    auto editor = openEditor();
    EXPECT_EQ(editor.text.get(), "");
    say("hello there");
    editor.save();
    runUntilIdle();
    EXPECT_EQ(text(), " hello there");

    say("alpha here");
    tapRecord();
    settle();
    ASSERT_TRUE(pickSegment(otherSegment()));
    tapRecord();
    say("bravo elsewhere");
    tapRecord();
    settle();
    ASSERT_TRUE(pickSegment(the().segment));
    EXPECT_EQ(text(), " hello there alpha here");
    editor = openEditor();
    EXPECT_EQ(editor.text.get(), " hello there alpha here");
    editor.save();
    runUntilIdle();
    EXPECT_EQ(text(), " hello there alpha here");
    EXPECT_EQ(stored(), text());
}

// Navigation never empties a transcript that is in no list yet (the switch, Back from a list that
// could not save it); once a Save has stored it, the first screen starts clean again.
TEST_P(DictatedWordsTest, NavigationKeepsAnUnsavedTranscript) {
    if (the().detail) GTEST_SKIP() << "a detail screen hands its text back to its list";
    ASSERT_NO_FATAL_FAILURE(enter());
    tapRecord();
    say("papa sixteen");
    tapRecord();
    settle();
    ASSERT_TRUE(pickSegment(otherSegment()));
    ASSERT_TRUE(pickSegment(the().segment));
    EXPECT_EQ(text(), " papa sixteen");

    // The list's file cannot be written: a link into a folder that is gone.
    const auto file = Sandbox::documents() / the().list->fileName;
    std::filesystem::remove(file);
    std::filesystem::create_symlink("gone/list", file);
    auto list = save();
    ASSERT_TRUE(list);
    auto refusal = std::dynamic_pointer_cast<UIAlertController>(list->presentedViewController());
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->title(), "Not saved");
    EXPECT_TRUE(refusal->pressActionWithTitle("OK"));
    runUntilIdle();
    backFromList();
    EXPECT_EQ(text(), " papa sixteen");

    std::filesystem::remove(file);
    ASSERT_TRUE(save());
    EXPECT_EQ(listFile().at(0), " papa sixteen") << "a list without its file starts from its samples";
    backFromList();
    EXPECT_EQ(text(), the().segment == 0 ? "" : " papa sixteen");
    if (the().segment == 0) {
        EXPECT_EQ(screen()->textView->text(), " ");
    }
}

// Quitting saves every kept dictation screen whose transcript is not in its list, on the stack or
// not, and none whose transcript is there already.
TEST_P(DictatedWordsTest, QuittingSavesEveryKeptScreensUnsavedTranscript) {
    if (the().detail) GTEST_SKIP() << "a detail screen hands its text back to its list";
    ASSERT_NO_FATAL_FAILURE(enter());
    tapRecord();
    say("quebec seventeen");
    tapRecord();
    settle();
    // Another screen's transcript, saved before the quit.
    const long saved = the().segment == 1 ? 2 : 1;
    ASSERT_TRUE(pickSegment(saved));
    tapRecord();
    say("romeo eighteen");
    tapRecord();
    settle();
    ASSERT_TRUE(save());
    backFromList();
    // The first screen on top: the notes and recipe screens are kept off the stack.
    ASSERT_TRUE(pickSegment(0));
    ASSERT_EQ(nav->viewControllers().size(), 1u);
    UIApplication::sharedApplication().simulateTerminate();
    EXPECT_EQ(listFile(), (Rows{" quebec seventeen", "entry"}));
    EXPECT_EQ(listFileOf(saved), (Rows{" romeo eighteen", "entry"}))
        << "a saved transcript is not saved twice";
}

TEST_P(DictatedWordsTest, EachDictationScreenIsKeptAcrossTheSwitch) {
    if (the().detail || the().segment == 0) GTEST_SKIP() << "the switch shows notes and recipe screens";
    ASSERT_NO_FATAL_FAILURE(enter());
    auto first = screen();
    tapRecord();
    say("juliet ten");
    tapRecord();
    settle();
    first->applyFontSize(30);
    const auto row = first->buttonSelect;
    const auto dictation = std::dynamic_pointer_cast<DictationScreen>(nav->viewControllers().front());
    ASSERT_TRUE(pickSegment(the().segment == 1 ? 2 : 1));
    EXPECT_NE(screen(), first);
    ASSERT_TRUE(pickSegment(0));
    EXPECT_EQ(screen(), dictation);
    ASSERT_TRUE(pickSegment(the().segment));
    EXPECT_EQ(screen(), first) << "the same screen, as a tab bar keeps its tabs";
    EXPECT_EQ(text(), " juliet ten");
    EXPECT_EQ(screen()->transcript()->font()->pointSize, 30);
    EXPECT_EQ(screen()->buttonSelect, row);
    const auto lines = consoleLines();
    EXPECT_GE(std::count(lines.begin(), lines.end(),
                         "save the last selected language " + std::to_string(row.value_or(-1))),
              2)
        << "each switch away runs the disappearance";
}

TEST_P(DictatedWordsTest, TheRecordButtonWaitsForBothAnswersAndSaysWhy) {
    // The recognizer of the region is unavailable whichever answer comes first.
    ScriptedSpeech::shared().setScriptedLocales({"en-US"});
    if (the().detail) {
        ASSERT_NO_FATAL_FAILURE(enter());
        NSLocale::setCurrentLocaleForTesting(NSLocale("de_DE"));
        ASSERT_TRUE(screen()->BackDynamicButton->tap());
        runUntilIdle();
        auto list = std::dynamic_pointer_cast<EntryListViewController>(nav->topViewController());
        ASSERT_TRUE(list && list->table.lock()->userTapRow({0, 0}));
        RunLoop::main().settleExternalWork();
        EXPECT_EQ(screen()->speechRecognizer->localeIdentifier(), "de-DE");
        EXPECT_FALSE(screen()->recordButton->isEnabled());
        // The authorization answer may come after the recognizer said it is unavailable.
        screen()->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
        EXPECT_FALSE(screen()->recordButton->isEnabled());
        EXPECT_EQ(screen()->recordButton->titleForState(UIControlStates::Disabled),
                  "Connect to the internet");
        return;
    }
    ScriptedSpeech::shared().setLocaleAvailable("en-US", false);
    auto& app = UIApplication::sharedApplication();
    app.setMainLoop([] { return 0; });
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    ASSERT_EQ(quillora::applicationMain(1, argv), 0);
    nav = std::dynamic_pointer_cast<UINavigationController>(app.keyWindow()->rootViewController());
    RunLoop::main().settleExternalWork();
    if (the().segment > 0) {
        ASSERT_TRUE(pickSegment(the().segment));
    }
    RunLoop::main().settleExternalWork();
    EXPECT_FALSE(screen()->recordButton->isEnabled()) << "authorized, but nothing to recognize with";
    EXPECT_EQ(screen()->recordButton->titleForState(UIControlStates::Disabled), "Connect to the internet");
    ScriptedSpeech::shared().setLocaleAvailable("en-US", true);
    runUntilIdle();
    EXPECT_TRUE(screen()->recordButton->isEnabled());
}

// The authorization answer and the recognizer's availability notice come from different places and
// in either order; whatever the order, the button is enabled only while both allow recording, and
// its disabled title names what is missing.
TEST_P(DictatedWordsTest, EitherOrderOfTheTwoAnswersEnablesOnlyWhenBothAllow) {
    ASSERT_NO_FATAL_FAILURE(enter());
    const std::string locale = screen()->speechRecognizer->localeIdentifier();
    struct Answers {
        SFSpeechRecognizerAuthorizationStatus status;
        bool available;
        const char* disabledTitle; // null when recording is allowed
    };
    const Answers cases[] = {
        {SFSpeechRecognizerAuthorizationStatus::authorized, false, "Connect to the internet"},
        {SFSpeechRecognizerAuthorizationStatus::denied, true, "User denied access to speech recognition"},
        {SFSpeechRecognizerAuthorizationStatus::authorized, true, nullptr},
    };
    auto& speech = ScriptedSpeech::shared();
    auto answerAuthorization = [&](SFSpeechRecognizerAuthorizationStatus status) {
        screen()->applyAuthorizationStatus(status);
        runUntilIdle();
        if (auto refusal = alert()) {
            ASSERT_EQ(refusal->actions().size(), 1u);
            refusal->pressAction(refusal->actions().front());
            runUntilIdle();
        }
    };
    for (const bool authorizationFirst : {false, true}) {
        for (const auto& answers : cases) {
            SCOPED_TRACE(std::string(authorizationFirst ? "authorization first, " : "availability first, ") +
                         (answers.disabledTitle ? answers.disabledTitle : "both allow"));
            // Each answer changes what was known before it, so each one is news to the screen.
            const bool wasAuthorized = answers.status != SFSpeechRecognizerAuthorizationStatus::authorized;
            speech.setLocaleAvailable(locale, !answers.available);
            runUntilIdle();
            answerAuthorization(wasAuthorized ? SFSpeechRecognizerAuthorizationStatus::authorized
                                              : SFSpeechRecognizerAuthorizationStatus::denied);
            if (authorizationFirst) {
                answerAuthorization(answers.status);
                speech.setLocaleAvailable(locale, answers.available);
                runUntilIdle();
            } else {
                speech.setLocaleAvailable(locale, answers.available);
                runUntilIdle();
                answerAuthorization(answers.status);
            }
            if (answers.disabledTitle) {
                EXPECT_FALSE(screen()->recordButton->isEnabled());
                EXPECT_EQ(screen()->recordButton->titleForState(UIControlStates::Disabled),
                          answers.disabledTitle);
                EXPECT_FALSE(screen()->recordButton->tap());
                advance(2);
                EXPECT_FALSE(screen()->audioEngine->isRunning());
            } else {
                EXPECT_TRUE(screen()->recordButton->isEnabled());
            }
        }
    }
}

// The two answers can also come while a stopped run is ending: queued behind the task's end, each
// one still sees the stop pending and holds the button back, and the run's end must not leave it so.
TEST_P(DictatedWordsTest, AnAnswerLandingAsAStoppedRunEndsLeavesTheButtonUsable) {
    ASSERT_NO_FATAL_FAILURE(enter());
    const std::string locale = screen()->speechRecognizer->localeIdentifier();
    const std::pair<const char*, std::function<void()>> answers[] = {
        {"authorization",
         [&] { screen()->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized); }},
        {"availability",
         [&] {
             ScriptedSpeech::shared().setLocaleAvailable(locale, false);
             ScriptedSpeech::shared().setLocaleAvailable(locale, true);
         }},
    };
    std::vector<std::string> said;
    for (const auto& [name, answer] : answers) {
        SCOPED_TRACE(name);
        tapRecord();
        ASSERT_TRUE(ScriptedSpeech::shared().partial(name));
        runUntilIdle();
        ASSERT_TRUE(screen()->recordButton->tap());
        RunLoop::main().schedule(0, answer);
        settle();
        said.push_back(name);
        EXPECT_EQ(text(), appended(initialText(), said));
        EXPECT_TRUE(screen()->recordButton->isEnabled());
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, DictatedWordsTest, ::testing::ValuesIn(kScreens),
                         [](const auto& info) { return std::string(info.param.name); });
