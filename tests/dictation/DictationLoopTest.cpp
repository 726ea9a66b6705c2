// The main screen's recognition loop driven by the scripted recognizer.

#include <atomic>
#include <functional>

#include "common/StoredKeys.h"
#include "dictation/RecognitionLanguages.h"
#include "platform/avfaudio/AVAudioSession.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/storekit/SKStoreReviewController.h"
#include "tests/dictation/DictationTestSupport.h"

using namespace platform;
using quillora::test::DictationScreenTest;
using quillora::test::store;

TEST_F(DictationScreenTest, HandlersAlternateAndEachTaskReachesTheTranscriptOnce) {
    show();
    auto& speech = ScriptedSpeech::shared();
    record();
    EXPECT_EQ(title(), "Stop recording");
    EXPECT_EQ(image(), "Pause.png");
    EXPECT_EQ(screen->textView->text(), "Listening....") << "row 0 in the run's first seconds";
    EXPECT_TRUE(speech.contextualStrings().empty()) << "the first task of a run has no contextual strings";

    partial("hello");
    EXPECT_EQ(screen->textView->text(), "hello");
    EXPECT_EQ(screen->Clipboard->text(), "") << "partials leave the transcript alone";
    advance(5);
    final("hello world");
    EXPECT_EQ(screen->Clipboard->text(), " hello world");
    EXPECT_EQ(store()->stringForKey("saveclipBoardText"), " hello world");
    EXPECT_EQ(store()->integerForKey("timedictateTotal"), 5);
    EXPECT_EQ(countLines("Added to Clipboard 1"), 1u);
    EXPECT_EQ(speech.tasksStarted(), 2);
    EXPECT_EQ(speech.contextualStrings(),
              (std::vector<std::string>{"Erythema", "Nephrolithiasis", "Auscultation", "Hashimoto"}));
    EXPECT_EQ(screen->textView->text(), " ") << "a restart after the first seconds shows a blank";
    EXPECT_FALSE(screen->EditIndicatorButton->isHidden());
    EXPECT_FALSE(screen->ButtonRightAnalysis->isHidden()) << "row 0 is an English row";
    EXPECT_NEAR(screen->ButtonRightAnalysis->transform().rotation(), M_PI, 1e-9);

    final("second");
    EXPECT_EQ(countLines("Added to Clipboard 2"), 1u);
    EXPECT_EQ(speech.tasksStarted(), 3);
    EXPECT_TRUE(speech.contextualStrings().empty()) << "the third task is the first handler's again";
    fail("No speech detected");
    EXPECT_EQ(screen->Clipboard->text(), " hello world second") << "a task that heard nothing adds no blank";
    EXPECT_EQ(countLines("start recodring again "), 3u);
    EXPECT_TRUE(screen->audioEngine->isRunning());
    EXPECT_TRUE(screen->audioEngine->inputNode()->hasTapOnBus(0));
}

TEST_F(DictationScreenTest, TheTaskStoppedByTheBackgroundDeliversItsWordsBeforeANewRunStarts) {
    show();
    record();
    partial("old words");
    // The application goes to the background: the run stops and lets its task finish on its own.
    UIApplication::sharedApplication().simulateResignActive();
    EXPECT_TRUE(consoleHas("APP moved to background , stopped AUDIO engine"));
    EXPECT_FALSE(screen->recordButton->isEnabled());
    // Before the old task's last word arrives, news of the recognizer does not give the button
    // back: a new run now would drop those words.
    screen->speechRecognizer_availabilityDidChange(*screen->speechRecognizer, true);
    EXPECT_FALSE(screen->recordButton->tap());
    advance(2);
    EXPECT_EQ(screen->Clipboard->text(), " old words");
    record();
    EXPECT_TRUE(screen->audioEngine->isRunning());
    EXPECT_TRUE(screen->audioEngine->inputNode()->hasTapOnBus(0));
    ASSERT_TRUE(screen->recognitionRequest());
    final("new words");
    EXPECT_EQ(screen->Clipboard->text(), " old words new words");
}

TEST_F(DictationScreenTest, AStopEndsTheRunAtTheTasksNextCallbackAndKeepsTheButtonDisabledUntilThen) {
    show();
    record();
    advance(3.2);
    partial("stop here");
    screen->recordButton->tap();
    EXPECT_TRUE(screen->isStopped);
    EXPECT_TRUE(screen->isFinalStopped);
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_EQ(store()->integerForKey("timedictateTotal"), 3);
    // An availability report while the stop is pending must not let a second run in.
    screen->speechRecognizer_availabilityDidChange(*screen->speechRecognizer, true);
    screen->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_EQ(title(), "  ");
    runUntilIdle();

    EXPECT_EQ(screen->Clipboard->text(), " stop here");
    EXPECT_EQ(ScriptedSpeech::shared().tasksStarted(), 1) << "no restart after a stop";
    EXPECT_FALSE(screen->presentedViewController()) << "the progress alert came and went";
    EXPECT_TRUE(consoleHas("Added to Clipboard 1"));
    EXPECT_TRUE(screen->recordButton->isEnabled());
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_EQ(image(), "Play.png");
    EXPECT_FALSE(screen->isFinalStopped);
    EXPECT_FALSE(screen->audioEngine->inputNode()->hasTapOnBus(0));
    EXPECT_EQ(screen->textView->text(), " ");
}

// Results already on their way when the person stops: the recognizer's final after the stop holds
// everything said up to it, so a partial delivered after the stop is never the task's text.
TEST_F(DictationScreenTest, APartialQueuedBeforeTheStopIsNeverTakenForTheFinalAfterIt) {
    show();
    record();
    auto& speech = ScriptedSpeech::shared();
    ASSERT_TRUE(speech.partial("go"));
    ASSERT_TRUE(speech.partial("go forward ten meters"));
    screen->recordButton->tap();
    runUntilIdle();
    EXPECT_EQ(screen->Clipboard->text(), " go forward ten meters");
    EXPECT_EQ(countLines("Added to Clipboard 1"), 1u);
    EXPECT_FALSE(screen->isFinalStopped);
    EXPECT_TRUE(screen->recordButton->isEnabled());
}

TEST_F(DictationScreenTest, TheCountdownEndsTheRunAfterItsLastTaskAndOneCountdownRunsAtATime) {
    show();
    record();
    advance(1);
    EXPECT_EQ(screen->SpeechTimeLabel->text(), "(Time-left:1799s)");
    advance(1799);
    EXPECT_EQ(screen->SpeechTimeLabel->text(), "(Time-left:0s)");
    EXPECT_FALSE(screen->SpeechTimer()) << "the countdown ended with the run's time";
    EXPECT_EQ(screen->timeLeft, 0);
    EXPECT_TRUE(screen->audioEngine->isRunning()) << "the last task runs on";
    // The last task's final is on its way while the microphone takes half a second more: the run's
    // audio ends where that task ends, however late its final comes, and no task follows.
    auto& speech = ScriptedSpeech::shared();
    const auto restarts = countLines("start recodring again ");
    const int started = speech.tasksStarted();
    ASSERT_TRUE(speech.final("last words"));
    screen->recognitionRequest()->appendAudioPCMBuffer(quillora::test::silenceOf(0.5));
    runUntilIdle();
    EXPECT_EQ(speech.tasksStarted(), started);
    EXPECT_EQ(countLines("start recodring again "), restarts) << "and no other";
    EXPECT_EQ(screen->Clipboard->text(), " last words");
    EXPECT_FALSE(screen->audioEngine->isRunning());
    EXPECT_FALSE(screen->audioEngine->inputNode()->hasTapOnBus(0));
    EXPECT_TRUE(screen->recordButton->isEnabled());
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_EQ(image(), "Play.png");

    // The next run counts from its whole half hour again, with one countdown.
    record();
    advance(1);
    EXPECT_EQ(screen->timeLeft, 1799);
}

namespace {
// The microphone's silence, counting what it gave.
class CountedSilence : public AVAudioInputSource {
public:
    std::string name() const override { return "counted silence"; }
    AVAudioFormat format() const override { return {16000, 1}; }
    std::optional<NSError> open() override { return std::nullopt; }
    bool read(AVAudioPCMBuffer& buffer) override {
        buffer.setFrameLength(buffer.frameCapacity());
        frames += buffer.frameCapacity();
        return true;
    }
    void close() override {}
    double seconds() const { return static_cast<double>(frames.load()) / 16000; }

private:
    std::atomic<std::int64_t> frames = 0;
};
} // namespace

// The run's half hour is half an hour of audio: a first task that loads its model for seconds
// before the microphone starts takes none of it.
TEST_F(DictationScreenTest, TheRunsHalfHourCountsFromItsFirstAudioNotFromBeforeTheModelLoaded) {
    auto microphone = std::make_shared<CountedSilence>();
    AVAudioInputSource::setCurrent(microphone);
    show();
    ScriptedSpeech::shared().setModelLoadSeconds(2);
    record();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return screen->timeLeft <= 0; }, 1900));
    EXPECT_NEAR(microphone->seconds(), 1800, 0.02);
}

TEST_F(DictationScreenTest, FiveFailedTasksInARowEndTheRunForALostConnectionButFourDoNot) {
    show();
    record();
    for (int failures = 1; failures <= 4; ++failures)
        fail();
    EXPECT_EQ(screen->Clipboard->text(), "") << "failed tasks heard nothing and append nothing";
    EXPECT_FALSE(alert());
    EXPECT_TRUE(screen->audioEngine->isRunning());
    fail();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(),
              "Hmm....Looks like your wireless(Wifi) is connected but you dont have internet access🤔");
    EXPECT_TRUE(screen->isStopped);
    EXPECT_FALSE(screen->audioEngine->isRunning());
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_FALSE(screen->SpeechTimer()) << "the countdown ends with the run";
    EXPECT_EQ(screen->Clipboard->text(), "");
}

// However a run ends, its countdown ends with it: no tick moves the time left or the label after.
TEST_F(DictationScreenTest, EveryEndOfARunStopsItsCountdown) {
    show();
    struct Case {
        const char* end;
        std::function<void()> event;
    };
    auto& speech = ScriptedSpeech::shared();
    for (const Case& c : {
             Case{"the stop button", [&] { screen->recordButton->tap(); }},
             Case{"the background", [] { UIApplication::sharedApplication().simulateResignActive(); }},
             Case{"five failures in a row",
                  [&] {
                      for (int failures = 0; failures < 5; ++failures)
                          fail();
                  }},
             Case{"recognition gone",
                  [&] {
                      speech.setLocaleAvailable("*", false);
                      runUntilIdle();
                      fail("Speech recognition is not available");
                  }},
             Case{"the microphone gone at a restart",
                  [&] {
                      AVAudioInputSource::setCurrent(
                          AVAudioInputSource::captureDevice("quillora-no-such-device"));
                      final("kept");
                  }},
         }) {
        SCOPED_TRACE(c.end);
        record();
        ASSERT_TRUE(screen->audioEngine->isRunning());
        advance(3);
        c.event();
        runUntilIdle();
        ASSERT_FALSE(screen->taskTextStillComing());
        const std::int64_t left = screen->timeLeft;
        const std::string label = screen->SpeechTimeLabel->text();
        advance(5);
        EXPECT_EQ(screen->timeLeft, left);
        EXPECT_EQ(screen->SpeechTimeLabel->text(), label);
        EXPECT_FALSE(screen->SpeechTimer());

        // Back to a run that can start.
        if (alert()) alert()->pressActionWithTitle("OK ");
        UIApplication::sharedApplication().simulateBecomeActive();
        speech.setLocaleAvailable("*", true);
        AVAudioInputSource::setCurrent(AVAudioInputSource::silence());
        runUntilIdle();
    }
}

TEST_F(DictationScreenTest, AReviewIsAskedTwoSecondsAfterATaskOnlyAboveThreeThousandWords) {
    show();
    auto scene = UIApplication::sharedApplication().connectSceneIfNeeded();
    scene->setActivationState(UISceneActivationState::ForegroundActive);
    // Row 20 shows dots, which count as no words, so the running total stays where it is set.
    screen->pickerView->userSelectRow(20);
    record();
    EXPECT_EQ(screen->textView->text(), "....");
    screen->WordCountforApp = 3000;
    fail();
    EXPECT_TRUE(screen->ButtonRightAnalysis->isHidden()) << "row 20 is not an English row";
    advance(2.5);
    EXPECT_TRUE(SKStoreReviewController::requests().empty());
    screen->WordCountforApp = 3001;
    fail(); // the second handler's task
    fail(); // the first handler's
    advance(1.9);
    EXPECT_TRUE(SKStoreReviewController::requests().empty());
    advance(0.2);
    ASSERT_EQ(SKStoreReviewController::requests().size(), 1u);
    EXPECT_EQ(SKStoreReviewController::requests()[0].lock(), scene);
    // A user's stop asks for none.
    screen->recordButton->tap();
    runUntilIdle();
    advance(3);
    EXPECT_EQ(SKStoreReviewController::requests().size(), 1u);
    scene->setActivationState(UISceneActivationState::Background);
    quillora::requestAppReview();
    EXPECT_EQ(SKStoreReviewController::requests().size(), 1u) << "no foreground scene, no request";
}

TEST_F(DictationScreenTest, SymbolNamesBecomeSymbolsOnlyWhenAHandlersTriggerWordWasHeard) {
    show();
    record();
    partial("round pushpin and Memory");
    EXPECT_EQ(screen->textView->text(), "📍 and 📝ry");
    partial("a Pushpin then CLIPBOARD");
    EXPECT_EQ(screen->textView->text(), "a Pushpin then CLIPBOARD") << "the trigger test keeps case";
    EXPECT_TRUE(consoleHas("no abbreviations"));
    partial("a bookmark and a book mark and pencils");
    EXPECT_EQ(screen->textView->text(), "a bookmark and a 🔖 and ✏️s");
    partial("push pin and Balloon");
    EXPECT_EQ(screen->textView->text(), "push pin and Balloon") << "not a trigger of the first handler";
    final("Checkmark");
    partial("balloon and Memo");
    EXPECT_EQ(screen->textView->text(), "🎈 and 📝") << "the second handler's pass";

    const auto& table = quillora::mainVoiceCommands();
    EXPECT_EQ(table.apply("Round Pushpin, pushpin, PAPERCLIP, balloon, checkmark"),
              "📍, 📌, 📎, 🎈, ✔️");
    quillora::VoiceCommandTable literal{{{"Egg", "🥚", false}}};
    EXPECT_EQ(literal.apply("Egg egg Eggs"), "🥚 egg 🥚s");
}

TEST_F(DictationScreenTest, AStartThatFailsEndsTheRunCleanlyAndSaysWhy) {
    show();
    AVAudioSession::sharedInstance().injectFailure(AVAudioSession::Step::mode,
                                                   NSError{"AVFAudioErrorDomain", 561017449, "Session busy"});
    record();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "Session busy");
    EXPECT_EQ(alert()->actions().at(0)->title(), "OK ");
    EXPECT_TRUE(screen->isStopped);
    EXPECT_FALSE(screen->SpeechTimer()) << "no countdown without audio";
    EXPECT_FALSE(screen->recognitionTask());
    EXPECT_FALSE(screen->recognitionRequest());
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_EQ(image(), "Play.png");
    alert()->pressActionWithTitle("OK ");
    runUntilIdle();

    // At a restart: the microphone goes away between two tasks.
    AVAudioSession::sharedInstance().injectFailure(AVAudioSession::Step::mode, std::nullopt);
    record();
    ASSERT_TRUE(screen->audioEngine->isRunning());
    AVAudioInputSource::setCurrent(AVAudioInputSource::captureDevice("quillora-no-such-device"));
    final("kept");
    EXPECT_EQ(screen->Clipboard->text(), " kept");
    ASSERT_TRUE(alert());
    EXPECT_FALSE(screen->audioEngine->isRunning());
    EXPECT_FALSE(screen->audioEngine->inputNode()->hasTapOnBus(0));
    EXPECT_FALSE(screen->recognitionTask());
    EXPECT_TRUE(screen->isStopped);
    EXPECT_TRUE(screen->recordButton->isEnabled());
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_FALSE(ScriptedSpeech::shared().hasCurrentTask()) << "the task of the failed start is cancelled";
}

TEST_F(DictationScreenTest, OfflineAndUnauthorizedPressesStartNothing) {
    show();
    for (SCNetworkReachabilityFlags flags :
         {SCNetworkReachabilityFlags{0},
          SCNetworkReachabilityFlags{kSCNetworkReachabilityFlagsReachable |
                                     kSCNetworkReachabilityFlagsConnectionRequired}}) {
        setReachabilityOverride({flags, false, false});
        record();
        ASSERT_TRUE(alert());
        EXPECT_EQ(alert()->title(), "Hmm....Looks like you are not connected to internet🤔");
        EXPECT_EQ(alert()->message(), " Please Connect to internet , Go to Settings --> Wifi/4G or 5G");
        EXPECT_EQ(screen->timeLeft, 1800);
        EXPECT_FALSE(screen->SpeechTimer());
        EXPECT_FALSE(screen->audioEngine->isRunning());
        alert()->pressActionWithTitle("OK ");
        runUntilIdle();
    }

    struct Case {
        SFSpeechRecognizerAuthorizationStatus status;
        const char* title;
    };
    for (auto [status, disabledTitle] :
         {Case{SFSpeechRecognizerAuthorizationStatus::denied, "User denied access to speech recognition"},
          Case{SFSpeechRecognizerAuthorizationStatus::restricted,
               "Speech recognition restricted on this device"}}) {
        screen->recordButton->setEnabled(true);
        screen->applyAuthorizationStatus(status);
        EXPECT_FALSE(screen->recordButton->isEnabled());
        EXPECT_EQ(screen->recordButton->titleForState(UIControlStates::Disabled), disabledTitle);
        ASSERT_TRUE(alert());
        EXPECT_EQ(alert()->title(), "Access to Speech recognition not granted");
        alert()->pressActionWithTitle("OK");
        runUntilIdle();
    }
    EXPECT_TRUE(consoleHas("Ok press show microhone alert"));
    screen->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
    EXPECT_TRUE(screen->recordButton->isEnabled());
    EXPECT_EQ(screen->recordButton->titleForState(UIControlStates::Disabled),
              "Speech recognition restricted on this device")
        << "authorized only enables";
    screen->applyAuthorizationStatus(static_cast<SFSpeechRecognizerAuthorizationStatus>(7));
    EXPECT_TRUE(consoleHas("error"));

    // A screen shown while recognition was never authorized asks, and the answer arrives later.
    SFSpeechRecognizer::setAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::notDetermined);
    SFSpeechRecognizer::setAuthorizationAnswer(SFSpeechRecognizerAuthorizationStatus::denied);
    window.reset();
    nav.reset();
    show();
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_EQ(screen->recordButton->titleForState(UIControlStates::Disabled),
              "User denied access to speech recognition");
}

TEST_F(DictationScreenTest, AnUnavailableRecognizerKeepsTheButtonDisabledWhicheverAnswerComesFirst) {
    auto& speech = ScriptedSpeech::shared();
    auto connectTitle = [&] { return screen->recordButton->titleForState(UIControlStates::Disabled); };

    // The "unavailable" report comes before the authorization answer, which must not enable.
    speech.setLocaleAvailable("*", false);
    show();
    RunLoop::main().settleExternalWork();
    runUntilIdle();
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_EQ(connectTitle(), "Connect to the internet");
    screen->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
    EXPECT_FALSE(screen->recordButton->isEnabled()) << "authorization alone does not enable";
    // Even a press that reaches the action starts nothing, and nothing fails later.
    screen->recordButtonTapped();
    runUntilIdle();
    RunLoop::main().advance(10);
    EXPECT_FALSE(screen->audioEngine->isRunning());
    EXPECT_FALSE(screen->SpeechTimer());
    EXPECT_EQ(countLines("start recodring again "), 0u);

    // Availability returns: now both answers allow it.
    speech.setLocaleAvailable("*", true);
    runUntilIdle();
    EXPECT_TRUE(screen->recordButton->isEnabled());

    // Authorization first, then the loss of the service.
    speech.setLocaleAvailable("*", false);
    runUntilIdle();
    EXPECT_FALSE(screen->recordButton->isEnabled());
    speech.setLocaleAvailable("*", true);
    runUntilIdle();
    screen->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::denied);
    alert()->pressActionWithTitle("OK");
    runUntilIdle();
    speech.setLocaleAvailable("*", false);
    speech.setLocaleAvailable("*", true);
    runUntilIdle();
    EXPECT_FALSE(screen->recordButton->isEnabled()) << "availability alone does not enable";
    screen->applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus::authorized);
    EXPECT_TRUE(screen->recordButton->isEnabled());

    // Picking a language without a service disables the button; picking one back enables it.
    const auto& table = quillora::mainLanguageTable();
    long french = -1;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].localeIdentifier == "fr-FR") french = static_cast<long>(i);
    ASSERT_GE(french, 0);
    speech.setLocaleAvailable("fr-FR", false);
    ASSERT_TRUE(screen->pickerView->userSelectRow(french, 0));
    runUntilIdle();
    EXPECT_FALSE(screen->recordButton->isEnabled());
    ASSERT_TRUE(screen->pickerView->userSelectRow(0, 0));
    runUntilIdle();
    EXPECT_TRUE(screen->recordButton->isEnabled());
}
