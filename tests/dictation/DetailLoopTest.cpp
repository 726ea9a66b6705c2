// The entry detail screens' loop table, run by a bare screen that lends the loop its views.

#include <chrono>
#include <iostream>

#include "platform/avfaudio/AVAudioPlayer.h"
#include "platform/avfaudio/AVAudioSession.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/storekit/SKStoreReviewController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UITextView.h"
#include "tests/dictation/DictationTestSupport.h"

using namespace platform;
using quillora::DictationLoop;
using quillora::DictationLoopTable;
using quillora::DictationViews;
using quillora::test::heapInUse;

namespace {

// The least a detail screen gives the loop: its live view, the entry's transcript, the record
// button and the language picker.
class LoopHost : public UIViewController, public DictationLoop {
public:
    explicit LoopHost(DictationLoopTable table) : DictationLoop(std::move(table)) {}

    std::shared_ptr<UITextView> Clipboard = std::make_shared<UITextView>();
    std::shared_ptr<UITextView> textView = std::make_shared<UITextView>();
    std::shared_ptr<UIButton> recordButton = UIButton::buttonWithType(UIButtonType::Custom);
    std::shared_ptr<UIPickerView> pickerView = std::make_shared<UIPickerView>();

    void viewDidLoad() override {
        UIViewController::viewDidLoad();
        for (const std::shared_ptr<UIView>& v :
             {std::shared_ptr<UIView>(textView), std::shared_ptr<UIView>(Clipboard),
              std::shared_ptr<UIView>(recordButton), std::shared_ptr<UIView>(pickerView)})
            view()->addSubview(v);
        recordButton->setFrame({0, 700, 300, 50});
        Clipboard->setHidden(true);
        Clipboard->setEditable(false);
        recordButton->addTarget(
            self<LoopHost>(), "recordButtonTapped", [](LoopHost& s) { s.recordButtonTapped(); },
            UIControlEvent::TouchUpInside);
        speechRecognizer->setDelegate(std::shared_ptr<DictationLoop>(self<LoopHost>(), this));
    }

protected:
    UIViewController& dictationScreen() override { return *this; }
    DictationViews dictationViews() override {
        return {Clipboard, textView, recordButton, nullptr, pickerView, nullptr, nullptr, nullptr};
    }
};

class DetailLoopTest : public quillora::test::LoopScreenTest<LoopHost> {
protected:
    void show(const std::string& entry = "", std::optional<long> index = std::nullopt) {
        auto host = std::make_shared<LoopHost>(quillora::detailLoopTable(quillora::recipeLanguageTable()));
        host->buttonSelect = index;
        present(host);
        screen->textView->setText(entry);
        runUntilIdle();
    }
    std::vector<std::string> cuesPlayed() const {
        std::vector<std::string> names;
        for (const auto& path : AVAudioPlayer::playedSounds())
            names.push_back(path.filename().string());
        return names;
    }
    std::string font() const {
        auto f = screen->textView->font();
        return f ? f->fontName + " " + std::to_string(static_cast<int>(f->pointSize)) : "";
    }
};

TEST_F(DetailLoopTest, TasksAppendOneParagraphEachAlternateHandlersAndStoreNothing) {
    show("Item1");
    record();
    EXPECT_FALSE(screen->Clipboard->isHidden());
    EXPECT_TRUE(screen->pickerView->isHidden());
    EXPECT_EQ(screen->Clipboard->text(), "Listening....");
    EXPECT_EQ(title(), "");
    EXPECT_EQ(image(), "Pause1.png");
    EXPECT_EQ(cuesPlayed(), std::vector<std::string>{"play.mov"});
    EXPECT_TRUE(ScriptedSpeech::shared().contextualStrings().empty());

    partial("pushpin and hello");
    EXPECT_EQ(screen->Clipboard->text(), "pushpin and hello") << "no command pass";
    EXPECT_EQ(screen->textView->text(), "Item1") << "partials touch only the live view";
    advance(4);
    final("pushpin and hello");
    EXPECT_EQ(screen->textView->text(), "Item1\npushpin and hello\n")
        << "the first paragraph does not run on from the entry's last word";
    EXPECT_EQ(font(), "Courier 20");
    EXPECT_EQ(countLines("Added to Clipboard 1"), 1u);
    EXPECT_EQ(countLines("NOt stopped Manually"), 1u);
    EXPECT_EQ(countLines("isFinal loop triggered loop 1 "), 1u);
    EXPECT_EQ(countLines("start recodring again "), 1u);
    EXPECT_EQ(screen->Clipboard->text(), "Listening....") << "the second task's start, early in the hour";

    screen->textView->setFont(UIFont::fontWithName_size("Courier", 34));
    final("second");
    EXPECT_EQ(countLines("Added to Clipboard 2"), 1u);
    EXPECT_EQ(countLines("isFinal loop triggered loop 2 "), 1u);
    EXPECT_EQ(font(), "Courier 20") << "each append sets the size back";
    fail("No speech detected");
    EXPECT_EQ(countLines("Added to Clipboard 1"), 2u) << "the third task is the first handler's again";
    EXPECT_EQ(screen->textView->text(), "Item1\npushpin and hello\nsecond\n")
        << "a task that heard nothing appends nothing, not its label";
    EXPECT_EQ(ScriptedSpeech::shared().tasksStarted(), 4);

    auto store = NSUserDefaults::standardUserDefaults();
    EXPECT_FALSE(store->objectForKey("saveclipBoardText"));
    EXPECT_FALSE(store->objectForKey("timedictateTotal"));
    advance(3);
    EXPECT_TRUE(SKStoreReviewController::requests().empty());
    EXPECT_TRUE(consoleHas("Timer running"));
    EXPECT_FALSE(consoleHas("full stop"));
    EXPECT_FALSE(consoleHas("no abbreviations"));

    // An entry that already ends a line gets no empty line; an empty one starts at once.
    screen->recordButton->tap();
    runUntilIdle();
    screen->textView->setText("");
    record();
    final("first words");
    EXPECT_EQ(screen->textView->text(), "first words\n");
    final("");
    EXPECT_EQ(screen->textView->text(), "first words\n") << "a task that heard nothing adds no empty line";
}

TEST_F(DetailLoopTest, LabelsAndIdleImagesFollowTheLanguageIndexAndTheThresholdIs1798) {
    struct Case {
        std::optional<long> index;
        const char* label;
        const char* image;
    };
    for (auto [index, label, idleImage] :
         {Case{std::nullopt, "Listening....", "Play.png"}, Case{4, "Écoute ...", "French_Play_Button.png"},
          Case{10, "Listening...", "Play.png"}, Case{18, "מאזין", "IL_Play_Button.png"},
          Case{30, "听...", "CN_Play_Button.png"}, Case{31, "Listening....", "Play.png"}}) {
        SCOPED_TRACE(index ? std::to_string(*index) : "none");
        show("", index);
        record();
        EXPECT_EQ(screen->Clipboard->text(), label);
        EXPECT_EQ(image(), "Pause1.png");
        screen->recordButton->tap();
        runUntilIdle();
        EXPECT_EQ(title(), "Start Recording");
        EXPECT_EQ(image(), idleImage);
        window.reset();
        nav.reset();
    }

    show("", 4);
    record();
    while (screen->timeLeft > 1798)
        screen->timerRunning();
    final("a");
    EXPECT_EQ(screen->Clipboard->text(), "Écoute ...") << "1798 seconds left still show the label";
    while (screen->timeLeft > 1797)
        screen->timerRunning();
    final("b");
    EXPECT_EQ(screen->Clipboard->text(), " ");
}

TEST_F(DetailLoopTest, AStopPlaysItsCueWaitsForTheTasksLastWordsAndRestartsNothing) {
    show("Entry", 30);
    record();
    partial("last words");
    advance(2);
    screen->recordButton->tap();
    EXPECT_EQ(cuesPlayed(), (std::vector<std::string>{"play.mov", "Stop.mov"}));
    EXPECT_TRUE(screen->isStopped);
    EXPECT_TRUE(screen->isFinalStopped);
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_TRUE(screen->Clipboard->isHidden());
    EXPECT_EQ(font(), "Courier 24");
    EXPECT_FALSE(screen->SpeechTimer());
    screen->speechRecognizer_availabilityDidChange(*screen->speechRecognizer, true);
    EXPECT_FALSE(screen->recordButton->isEnabled()) << "no second run while the stop is pending";

    // The progress alert goes up, and the task's last callback takes it down again.
    runUntilIdle();
    EXPECT_FALSE(screen->presentedViewController());
    EXPECT_EQ(screen->textView->text(), "Entry\nlast words\n");
    EXPECT_EQ(font(), "Courier 20");
    EXPECT_EQ(screen->Clipboard->text(), "last words") << "the dismissal blanks nothing";
    EXPECT_TRUE(screen->recordButton->isEnabled());
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_EQ(image(), "CN_Play_Button.png");
    EXPECT_EQ(ScriptedSpeech::shared().tasksStarted(), 1);
    EXPECT_FALSE(consoleHas("NOt stopped Manually"));
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->objectForKey("timedictateTotal"));

    // A late second callback of the ended task appends nothing more.
    screen->handleRecognitionResultLoop1(nullptr, NSError{"kAFAssistantErrorDomain", 1, "late"},
                                         screen->audioEngine->inputNode());
    EXPECT_TRUE(consoleHas("Clipboard text already added "));
    EXPECT_EQ(screen->textView->text(), "Entry\nlast words\n");
}

TEST_F(DetailLoopTest, TimeRunningOutMidTaskLetsTheTaskFinishAndEndsTheRun) {
    show("", 10);
    record();
    // The countdown's ticks but the last two.
    while (screen->timeLeft > 2)
        screen->timerRunning();
    partial("almost");
    advance(2);
    EXPECT_EQ(screen->timeLeft, 0);
    EXPECT_FALSE(screen->SpeechTimer());
    EXPECT_TRUE(screen->audioEngine->isRunning()) << "the running task goes on";
    EXPECT_EQ(title(), "") << "the tick changes no look";
    final("almost done");
    EXPECT_EQ(screen->textView->text(), "almost done\n");
    EXPECT_FALSE(screen->audioEngine->isRunning());
    EXPECT_EQ(ScriptedSpeech::shared().tasksStarted(), 1);
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_EQ(image(), "Play.png");
    EXPECT_TRUE(consoleHas("NOt stopped Manually"));
}

TEST_F(DetailLoopTest, LosingTheRecognizerMidRunDisablesTheButtonButTheRunGoesOn) {
    show();
    record();
    ScriptedSpeech::shared().setLocaleAvailable("*", false);
    runUntilIdle();
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_EQ(screen->recordButton->titleForState(UIControlStates::Disabled), "Connect to the internet");
    EXPECT_TRUE(screen->audioEngine->isRunning());
    ScriptedSpeech::shared().setLocaleAvailable("*", true);
    runUntilIdle();
    EXPECT_TRUE(screen->recordButton->isEnabled());
    EXPECT_EQ(title(), "  ");
    EXPECT_EQ(image(), "Play1.png");
    EXPECT_TRUE(consoleHas("Speech recogniser triggered"));
    EXPECT_TRUE(screen->audioEngine->isRunning()) << "availability neither starts nor stops a run";
}

TEST_F(DetailLoopTest, ATaskThatFailsWithRecognitionGoneEndsTheRunInsteadOfFillingTheEntry) {
    show("Entry");
    record();
    ScriptedSpeech::shared().setLocaleAvailable("*", false);
    runUntilIdle();
    partial("last words");
    fail("Speech recognition is not available");
    EXPECT_EQ(screen->textView->text(), "Entry\nlast words\n") << "what was heard is kept";
    EXPECT_FALSE(screen->audioEngine->isRunning());
    EXPECT_EQ(ScriptedSpeech::shared().tasksStarted(), 1) << "no task that could only fail";
    advance(30);
    EXPECT_EQ(screen->textView->text(), "Entry\nlast words\n");
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_FALSE(screen->recordButton->isEnabled());

    ScriptedSpeech::shared().setLocaleAvailable("*", true);
    runUntilIdle();
    EXPECT_TRUE(screen->recordButton->isEnabled()) << "back with recognition";
    record();
    EXPECT_TRUE(screen->audioEngine->isRunning());
    fail("No speech detected");
    EXPECT_TRUE(screen->audioEngine->isRunning()) << "other errors still restart";

    // Recognition goes while a task ends well: the next one has nothing to hear with, and the
    // second it takes to fail is audio no task hears, which the console counts.
    ScriptedSpeech::shared().setLocaleAvailable("*", false);
    final("words");
    advance(2);
    EXPECT_FALSE(screen->audioEngine->isRunning());
    EXPECT_TRUE(consoleHas(
        "The recording ended on a failure: 1.0 s of audio after the last task were dropped unheard"))
        << ::testing::PrintToString(consoleLines());
}

TEST_F(DetailLoopTest, AFailedStartOrRestartEndsTheRunInOrderAndSaysWhy) {
    show("", 4);
    AVAudioSession::sharedInstance().injectFailure(AVAudioSession::Step::activation,
                                                   NSError{"AVFAudioErrorDomain", 561017449, "Session busy"});
    record();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "Session busy");
    EXPECT_TRUE(screen->isStopped);
    EXPECT_FALSE(screen->recognitionTask());
    EXPECT_FALSE(screen->SpeechTimer()) << "no countdown without audio";
    EXPECT_TRUE(screen->Clipboard->isHidden());
    EXPECT_FALSE(consoleHas("permission required "));
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_EQ(image(), "French_Play_Button.png");
    alert()->pressActionWithTitle("OK ");
    runUntilIdle();

    AVAudioSession::sharedInstance().injectFailure(AVAudioSession::Step::activation, std::nullopt);
    record();
    ASSERT_TRUE(screen->audioEngine->isRunning());
    AVAudioInputSource::setCurrent(AVAudioInputSource::captureDevice("quillora-no-such-device"));
    final("kept");
    EXPECT_EQ(screen->textView->text(), "kept\n");
    ASSERT_TRUE(alert());
    EXPECT_FALSE(screen->audioEngine->isRunning());
    EXPECT_FALSE(screen->audioEngine->inputNode()->hasTapOnBus(0));
    EXPECT_TRUE(screen->recordButton->isEnabled());
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_FALSE(ScriptedSpeech::shared().hasCurrentTask());
}

TEST_F(DetailLoopTest, FiveFailedTasksInARowEndTheRunForALostConnectionAndLeaveTheEntryAlone) {
    // Labels that an entry saved long ago holds stay as they are and count for nothing.
    const std::string saved = "Listening....\nListening....\nListening....\nListening....\nListening....\n";
    show(saved);
    record();
    for (int failures = 1; failures <= 4; ++failures)
        fail();
    EXPECT_FALSE(alert());
    EXPECT_TRUE(screen->audioEngine->isRunning());
    fail();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(),
              "Hmm....Looks like your wireless(Wifi) is connected but you dont have internet access🤔");
    EXPECT_EQ(alert()->message(), " Please try opening any website (e.g www.wikipedia.org)");
    EXPECT_EQ(alert()->actions().at(0)->title(), "OK ");
    EXPECT_EQ(screen->textView->text(), saved) << "failed tasks heard nothing and append nothing";
    EXPECT_TRUE(screen->isStopped);
    EXPECT_FALSE(screen->audioEngine->isRunning());
    EXPECT_FALSE(screen->SpeechTimer()) << "the countdown ends with the run";
    runUntilIdle();
    EXPECT_EQ(title(), "Start Recording");

    // A new run counts its failures from nothing again.
    alert()->pressActionWithTitle("OK ");
    runUntilIdle();
    record();
    fail();
    EXPECT_FALSE(alert());
    EXPECT_TRUE(screen->audioEngine->isRunning());
}

TEST_F(DetailLoopTest, EachRefusedAuthorizationHasItsOwnTitleMessageAndLine) {
    show();
    struct Case {
        SFSpeechRecognizerAuthorizationStatus status;
        const char* text;
        const char* message;
    };
    for (auto [status, text, message] :
         {Case{SFSpeechRecognizerAuthorizationStatus::notDetermined, "Speech recognition not yet authorized",
               " Please go to Settings--> Parlowen--> Grant access to Speech recognition"},
          Case{SFSpeechRecognizerAuthorizationStatus::denied, "User denied access to speech recognition",
               " Please go to Settings--> Parlowen --> Grant access to Speech recognition"},
          Case{SFSpeechRecognizerAuthorizationStatus::restricted,
               "Speech recognition restricted on this device",
               " Please go to Settings--> Parlowen --> Grant access to Speech recognition"}}) {
        SCOPED_TRACE(text);
        screen->recordButton->setEnabled(true);
        takeConsole();
        screen->applyAuthorizationStatus(status);
        EXPECT_FALSE(screen->recordButton->isEnabled());
        EXPECT_EQ(screen->recordButton->titleForState(UIControlStates::Disabled), text);
        ASSERT_TRUE(alert());
        EXPECT_EQ(alert()->title(), text);
        EXPECT_EQ(alert()->message(), message);
        ASSERT_EQ(alert()->actions().size(), 1u);
        EXPECT_EQ(alert()->actions()[0]->title(), "OK ");
        EXPECT_EQ(takeConsole(), std::vector<std::string>{text});
        alert()->pressActionWithTitle("OK ");
        runUntilIdle();
    }
    screen->applyAuthorizationStatus(static_cast<SFSpeechRecognizerAuthorizationStatus>(9));
    EXPECT_EQ(takeConsole(), std::vector<std::string>{"Error"});
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_FALSE(alert());
    screen->recordButton->setTitle_forState("Button", UIControlStates::Normal);
    screen->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
    EXPECT_TRUE(screen->recordButton->isEnabled());
    EXPECT_EQ(title(), "Button") << "authorized only enables";
    EXPECT_FALSE(alert());
}

TEST_F(DetailLoopTest, LeavingStopsTheRunWithPlay1StoresNoTimeAndTheTaskStillAppends) {
    show("Entry", 4);
    record();
    partial("going");
    advance(3);
    EXPECT_TRUE(screen->stopRunForLeaving(false));
    EXPECT_TRUE(screen->isStopped);
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_EQ(image(), "Play1.png");
    EXPECT_FALSE(screen->SpeechTimer());
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->objectForKey("timedictateTotal"));
    EXPECT_EQ(cuesPlayed(), std::vector<std::string>{"play.mov"}) << "no stop cue when leaving";
    runUntilIdle();
    EXPECT_EQ(screen->textView->text(), "Entry\ngoing\n");
    EXPECT_TRUE(consoleHas("NOt stopped Manually"));
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_EQ(image(), "French_Play_Button.png");
    EXPECT_EQ(ScriptedSpeech::shared().tasksStarted(), 1);
    EXPECT_FALSE(screen->stopRunForLeaving(false)) << "nothing runs any more";
}

TEST_F(DetailLoopTest, WithoutTheMicrophoneTheRunStartsButAppendsNothing) {
    show("Entry");
    auto& session = AVAudioSession::sharedInstance();
    session.setRecordPermission(AVAudioSessionRecordPermission::Denied);
    record();
    EXPECT_TRUE(consoleHas("permission required "));
    EXPECT_TRUE(screen->Clipboard->isHidden());
    EXPECT_TRUE(screen->audioEngine->isRunning());
    final("unheard");
    EXPECT_TRUE(consoleHas("permission not granted for microhone acess yet "));
    EXPECT_EQ(screen->textView->text(), "Entry");

    // Undecided: the check asks, answers no for now, and the next check reads the answer.
    session.setRecordPermission(AVAudioSessionRecordPermission::Undetermined);
    session.setRecordPermissionAnswer(true);
    final("asked");
    EXPECT_EQ(screen->textView->text(), "Entry");
    RunLoop::main().settleExternalWork();
    EXPECT_EQ(session.permissionRequestCount(), 1);
    final("heard");
    EXPECT_EQ(screen->textView->text(), "Entry\nheard\n");
}

TEST_F(DetailLoopTest, OfflineRecordShowsTheAlertAndChangesNothing) {
    show("Entry");
    setReachabilityOverride(
        {kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsConnectionRequired, false, false});
    screen->recordButton->setImage_forState(UIImage::imageNamed("Play.png"), UIControlStates::Normal);
    record();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "Hmm....Looks like you are not connected to internet🤔");
    EXPECT_EQ(alert()->message(), " Please Connect to internet , Go to Settings --> Wifi/3G or 4G");
    EXPECT_EQ(alert()->actions().at(0)->title(), "OK ");
    EXPECT_FALSE(screen->SpeechTimer());
    EXPECT_EQ(screen->timeLeft, 3600);
    EXPECT_TRUE(screen->Clipboard->isHidden());
    EXPECT_FALSE(screen->pickerView->isHidden());
    EXPECT_TRUE(cuesPlayed().empty());
    EXPECT_EQ(image(), "Play.png");
}

TEST_F(DetailLoopTest, AnHourOfTasksEveryTenSecondsAppendsEachTextOnceInOrder) {
    show("Entry");
    record();
    const std::size_t heapBefore = heapInUse();
    const auto wallBefore = std::chrono::steady_clock::now();
    int tasks = 0;
    std::string expected = "Entry\n";
    while (screen->audioEngine->isRunning()) {
        const std::string words = "words of task " + std::to_string(tasks);
        advance(5);
        partial(words);
        advance(5);
        final(words);
        expected += words + "\n";
        ++tasks;
        ASSERT_LE(tasks, 400);
    }
    runUntilIdle();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const long long growth = static_cast<long long>(heapInUse()) - static_cast<long long>(heapBefore);
    std::cout << "[ detail hour ] " << tasks << " tasks, wall " << wall << " s, heap growth " << growth
              << " bytes\n";
    RecordProperty("tasks", tasks);
    RecordProperty("wall_ms", static_cast<int>(wall * 1000));
    RecordProperty("heap_growth_bytes", static_cast<int>(growth));

    EXPECT_EQ(tasks, 360);
    EXPECT_EQ(screen->textView->text(), expected);
    EXPECT_EQ(screen->timeLeft, 0);
    EXPECT_FALSE(screen->SpeechTimer());
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_EQ(image(), "Play.png");
    EXPECT_TRUE(screen->recordButton->isEnabled());
    EXPECT_EQ(countLines("start recodring again "), 359u);
    EXPECT_LT(growth, 5ll * 1024 * 1024);
}

TEST_F(DetailLoopTest, TheDictationScreensKeepTheirOwnTable) {
    auto main = quillora::mainScreenLoopTable();
    EXPECT_FALSE(main.authorizationRefusals);
    EXPECT_TRUE(main.leavingStopStoresDictatedTime);
    EXPECT_FALSE(main.leavingStopImage);
    EXPECT_FALSE(main.paragraphStartsOnNewLine);
}

} // namespace
