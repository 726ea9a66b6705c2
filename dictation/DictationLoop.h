#pragma once
// The recognition loop of the dictation screens. A run starts at the record button and is a chain
// of recognition tasks over one capture of the microphone:
//
//   microphone --tap--> AudioCapture (the run's audio, one store, positions in frames)
//                          |  read from position p0       |  read from p1        ...
//                          v                              v
//                       task 1 --final/error at p1-->  task 2 --final/error at p2--> ...
//                          |                              |
//                          v                              v
//                       live view, then the transcript once per task
//
// The tap is installed once per run and appends every buffer to the capture; each task reads the
// capture from where the task before it stopped hearing (the end of its utterance, or a little
// before when it ended for want of speech), so nothing is copied between tasks and nothing heard
// while one task ends and the next starts is lost. A stop closes the capture: its end is the stop
// position, and the task's final holds every word up to it (when the task had already ended before
// it, one more task hears the rest). A leaving is such a stop, and so is the end of the run's time,
// placed where the task that was listening then ends. Each task shows its best transcription in
// the live view while it is spoken and, at its end (a final result or an error), appends its text
// once to the transcript and, while time is left and nobody stopped, the next task starts through
// the other of two alternating handlers.
//
// What the run is doing is one value, RunState, changed only by the loop's transitions; the
// fields the screens read (isStopped, isFinalStopped, countClipboard, timeLeft) are views of it.
//
// The screens differ only in data: run length, listening texts, button looks, console lines, the
// command pass and its trigger words, review delays, which view is live and which holds the
// transcript, how a task's text is appended, cue sounds and the microphone check. A screen derives
// from DictationLoop, hands it its table and its views, and so owns the loop's fields under the
// names its screens use (timeLeft, isStopped, recognitionTask...).
//
// Every callback of a task carries the generation of the start that made it; a callback of an
// older task (one cancelled by a later start) is ignored, so it can never append text to the new
// run or tear down the new run's audio.
//
// A task appends only what it heard: the live view shows a listening label while nobody speaks,
// and that label is never taken for speech. A pause long enough for the recognizer to give up on
// a task ("no speech") starts the next task and nothing else; only recognition errors in a row end
// a run for a lost connection. A screen that goes away mid-phrase stays alive until its task has
// said its last, so the phrase still reaches the transcript.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dictation/RecognitionLanguages.h"
#include "dictation/RunState.h"
#include "dictation/VoiceCommands.h"
#include "platform/avfaudio/AVAudioEngine.h"
#include "platform/avfaudio/AVAudioPlayer.h"
#include "platform/avfaudio/AudioCapture.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSTimer.h"
#include "platform/speech/SFSpeechRecognizer.h"

namespace platform {
class UIButton;
class UILabel;
class UIPickerView;
class UITextView;
class UIViewController;
} // namespace platform

namespace quillora {

// A text chosen by language row, with one for the rows (or no row) the table does not name.
struct RowTexts {
    std::map<long, std::string> byRow;
    std::string otherwise;

    const std::string& forRow(std::optional<long> row) const;
};

// What sets one of the two result handlers apart.
struct DictationHandlerTable {
    std::string finalFlagLine;
    std::string appendLine;
    std::string alreadyAddedLine;
    std::string loopLine;
    // Printed when a task ended by itself (not stopped by the user); none prints nothing.
    std::optional<std::string> naturalEndLine;
    // Seconds after a task that ended by itself until the review request; none asks for none.
    std::optional<double> reviewDelay;
    std::vector<std::string> contextualStrings;
    // Live text at a start in the run's first seconds.
    RowTexts listening;
    // The words of the result that open the command pass; none: the pass always runs.
    std::optional<std::vector<std::string>> commandTriggers;
};

enum class TranscriptAppend {
    // transcript + " " + live text; the dictation screens also store it and count word classes.
    afterBlank,
    // transcript + live text + line feed, when the microphone is granted; the detail screens.
    asParagraph,
};

// What a refused speech authorization shows for one status.
struct AuthorizationRefusal {
    std::string disabledTitle;
    std::string alertTitle;
    std::string message;
    // Printed after the alert is presented.
    std::string consoleLine;
};

struct AuthorizationRefusals {
    AuthorizationRefusal notDetermined;
    AuthorizationRefusal denied;
    AuthorizationRefusal restricted;
    std::string button = "OK ";
    std::string unknownStatusLine = "Error";
};

struct DictationLoopTable {
    std::int64_t runLength = 1800;
    // Starts while timeLeft is at least this show the listening text; later ones a blank.
    std::int64_t listeningThreshold = 1798;
    std::array<DictationHandlerTable, 2> handlers;
    // The command pass over the live text; none for screens that replace nothing.
    const VoiceCommandTable* voiceCommands = nullptr;

    TranscriptAppend append = TranscriptAppend::afterBlank;
    // Rows after whose tasks the analysis button shows (afterBlank screens).
    std::set<long> analysisRows;
    // The user's stop stores the dictated time (besides every append).
    bool stopStoresDictatedTime = false;
    // The countdown label shows the seconds left.
    bool showsCountdown = true;
    // The live view shows only while a run records; the picker hides when a run starts.
    bool liveViewOnlyWhileRunning = false;
    // Transcript font sizes ("Courier") set at each append and at the user's stop.
    std::optional<double> transcriptFontAtAppend;
    std::optional<double> transcriptFontAtStop;
    // The progress alert's dismissal also blanks the live text.
    bool dismissalBlanksLiveText = true;
    // Bundle sounds ("mov") played at a run's start and at the user's stop.
    std::optional<std::string> startCue;
    std::optional<std::string> stopCue;
    // Whether a task's text needs the microphone permission to be appended.
    bool checksMicrophonePermission = false;

    // Record-button looks for the normal state.
    std::string runningTitle = "Stop recording";
    RowTexts runningImage{{}, "Pause.png"};
    std::string idleTitle = "Start Recording";
    RowTexts idleImage{{}, "Play.png"};
    std::string availableTitle = "  ";
    RowTexts availableImage{{}, "Play.png"};

    std::string offlineMessage = " Please Connect to internet , Go to Settings --> Wifi/3G or 4G";

    // Per-status refusals of speech authorization; none: the dictation screens' speech-access alert.
    std::optional<AuthorizationRefusals> authorizationRefusals;
    // A stop because the user leaves stores the dictated time, and the image it gives the button
    // (none: the idle image of the row).
    bool leavingStopStoresDictatedTime = true;
    std::optional<std::string> leavingStopImage;
    // asParagraph: a paragraph appended to a transcript that does not end with a line feed starts
    // on a line of its own instead of running on from the last word.
    bool paragraphStartsOnNewLine = false;
};

// The views a screen lends the loop (set up by the screen; the loop only reads them).
struct DictationViews {
    std::shared_ptr<platform::UITextView> live;
    std::shared_ptr<platform::UITextView> transcript;
    std::shared_ptr<platform::UIButton> recordButton;
    std::shared_ptr<platform::UILabel> countdownLabel;
    std::shared_ptr<platform::UIPickerView> picker;
    std::shared_ptr<platform::UIButton> analysisButton;
    std::shared_ptr<platform::UIButton> editIndicator;
    std::shared_ptr<platform::UIButton> saveArrow;
};

class DictationLoop : public platform::SFSpeechRecognizerDelegate {
    // First, as the views below read it.
    DictationLoopTable table_;
    RunState run_;

public:
    explicit DictationLoop(DictationLoopTable table);
    ~DictationLoop() override;
    DictationLoop(const DictationLoop&) = delete;
    DictationLoop& operator=(const DictationLoop&) = delete;

    const DictationLoopTable& loopTable() const { return table_; }

    // The loop's fields, named as the screens name them.
    std::shared_ptr<platform::SFSpeechRecognizer> speechRecognizer;
    std::shared_ptr<platform::AVAudioEngine> audioEngine = std::make_shared<platform::AVAudioEngine>();
    std::shared_ptr<platform::AVAudioPlayer> player;
    std::int64_t timeDictateTotal = 0;
    std::optional<long> buttonSelect;
    // Views of the run's state.
    const RunView<std::int64_t> timeLeft{run_, &RunState::timeLeft};
    const RunView<bool> isStopped{run_, &RunState::isStopped};
    const RunView<bool> isFinalStopped{run_, &RunState::isFinalStopped};
    const RunView<std::int64_t> countClipboard{run_, &RunState::countClipboard};
    const RunState& runState() const { return run_; }
    // The running task, its request and the countdown, as the run's phase holds them: none in a
    // phase without them, and none once a leaving let go of the task.
    std::shared_ptr<platform::SFSpeechRecognitionTask> recognitionTask() const { return run_.shownTask(); }
    std::shared_ptr<platform::SFSpeechAudioBufferRecognitionRequest> recognitionRequest() const {
        return run_.shownRequest();
    }
    std::shared_ptr<platform::NSTimer> SpeechTimer() const { return run_.countdown(); }

    // The record button's action: stops a run while it records, else starts one.
    void recordButtonTapped();
    // Start one task; the error of the audio session or the engine when it cannot.
    std::optional<platform::NSError> startRecordingLoop1();
    std::optional<platform::NSError> startRecordingLoop2();
    void handleRecognitionResultLoop1(const platform::SFSpeechRecognitionResultRef& result,
                                      const std::optional<platform::NSError>& error,
                                      const std::shared_ptr<platform::AVAudioInputNode>& inputNode);
    void handleRecognitionResultLoop2(const platform::SFSpeechRecognitionResultRef& result,
                                      const std::optional<platform::NSError>& error,
                                      const std::shared_ptr<platform::AVAudioInputNode>& inputNode);

    // The countdown's tick; at zero the run's time is up.
    void timerRunning();
    // The run's time is up: the run's audio ends where the task listening now ends.
    void runTimeEnded();
    void showStoppingProgressAlert();
    void dismissProgressAlert();
    void resetRecordButtonIfIdle();
    void playCueSound(const std::string& name);

    // The run as the recognizer's delegate and the authorization answer see it.
    void speechRecognizer_availabilityDidChange(platform::SFSpeechRecognizer& recognizer,
                                                bool available) override;
    void applyAuthorizationStatus(platform::SFSpeechRecognizerAuthorizationStatus status);
    void showSpeechAccessAlert();
    // Recording can start only while recognition is authorized, the current recognizer is
    // available and prepared, and the microphone can be heard; the answers come in any order.
    bool recognitionPossible() const;
    // Another microphone was chosen while no run is on: the button follows what it allows.
    void microphoneChanged();
    // A new recognizer replaced the old one while no run is on: the button follows what it allows.
    void recognizerChanged();
    // Recognition cannot be had here at all (a library missing): the person is told why.
    void tellRecognitionUnavailable(const std::string& why);
    // Enables the record button exactly while recording is possible and no stop is pending; a
    // disabled button's title says why recording is not possible.
    void updateRecordButton();
    void updateRecordButton(bool stopPending);

    // Whether something other than the loop may give the record button back (the keyboard going,
    // say): not while a stop is pending, after refused authorization or with the recognizer
    // unavailable.
    bool recordButtonMayBeEnabled() const;
    // A stop or a leaving waits for its task's end.
    bool taskStillEnding() const;
    // A task of this run has yet to deliver its text: it listens, or it was stopped and has not
    // said its last.
    bool taskTextStillComing() const { return run_.taskTextStillComing(); }

    // The voice-command pass of the table over the live text, gated by `triggerWords`.
    void applyVoiceCommands(const platform::SFSpeechRecognitionResult& result,
                            const std::optional<std::vector<std::string>>& triggerWords);

    // Stops a running run because the user leaves (screen gone, application in the background):
    // no restart follows, the button is disabled until the task's end, the dictated time is kept.
    // With `releaseTask` the tap is removed and request and task fields cleared at once (the loop
    // keeps them, and any task that hears the rest before the stop, until the last has ended).
    // False when nothing was running.
    bool stopRunForLeaving(bool releaseTask);
    // The application ends during a run: the run stops where it is, as at a stop, and the words
    // before the stop are appended as their tasks end, each end awaited until the termination's
    // deadline (no later turn of the run loop will come to deliver them). What is left then is
    // appended as far as its task has heard it, and the console says how much audio went unheard.
    // The run is over when this returns. False when no task was listening.
    bool appendRunningTaskForQuitting();
    // What the running task has heard so far (after the command pass); empty before any speech.
    const std::string& heardByRunningTask() const { return taskHeard_; }

    // The device can reach the network without first making a connection.
    static bool isConnectedToNetwork();

protected:
    bool authorizationGranted_ = platform::SFSpeechRecognizer::authorizationStatus() ==
                                 platform::SFSpeechRecognizerAuthorizationStatus::authorized;

    // What the screen provides.
    virtual platform::UIViewController& dictationScreen() = 0;
    virtual DictationViews dictationViews() = 0;
    virtual void analyzeWordClasses(const std::string&) {}
    // The running word total that gates the review request.
    virtual std::int64_t reviewWordCount() const { return 0; }
    // True only when the microphone is granted; asks the user when undecided.
    virtual bool recordPermissionGranted();
    // Whether the screen keeps the record button disabled for now (a keyboard over the
    // transcript); an answer about recognition then leaves it so.
    virtual bool recordButtonHeldBack() const { return false; }
    // Puts a task's text into the transcript; screens that show the transcript twice write both.
    virtual void writeTranscript(const std::string& text);
    // The run's last task has ended and its text is in the transcript; no task follows. With
    // `saveWaited` a Save waited for it.
    virtual void runEnded(bool saveWaited) { (void)saveWaited; }
    // A Save waits for the run's last phrase: the run's end tells of it. False when no task of the
    // run has text coming (or the run quits, which saves by itself).
    bool saveWhenRunEnds();

private:
    // From `readOnFrom` of the run's capture; none: the run's first task, on a new capture.
    std::optional<platform::NSError> startRecording(int handler, std::optional<std::int64_t> readOnFrom);
    void handleRecognitionResult(int handler, std::uint64_t generation,
                                 const platform::SFSpeechRecognitionResultRef& result,
                                 const std::optional<platform::NSError>& error,
                                 const std::shared_ptr<platform::AVAudioInputNode>& inputNode);
    void appendTaskText(const DictationViews& views);
    // The parts of a task's end.
    bool showResult(const DictationHandlerTable& row, const DictationViews& views,
                    const platform::SFSpeechRecognitionResult& result);
    void appendOnce(const DictationHandlerTable& row, const DictationViews& views);
    // True when the errors in a row end the run for a lost connection.
    bool countFailure(const std::optional<platform::NSError>& error);
    void showTaskEnd(const DictationHandlerTable& row, const DictationViews& views, bool restBeforeStop);
    void startNextTask(int handler,
                       const std::shared_ptr<platform::SFSpeechAudioBufferRecognitionRequest>& ended,
                       bool released);
    // The console's count of the audio that a run ending with this task leaves unheard.
    void reportAudioDroppedAtEnd(const platform::SFSpeechAudioBufferRecognitionRequest* ended);

    // The run's transitions: each changes run_ and nothing else writes it.
    void beginRun();
    void startCountdown();
    std::uint64_t beginTask();
    void stopByButton();
    // With `release` the screen lets go of the task and the tap goes.
    void stopForLeaving(bool release);
    void endRunOnFailure();
    void beginQuitting();
    void taskEnded();
    // The task at the mark of the run's time has ended at `position`: the run's audio ends there.
    void endRunAtTaskEnd(std::int64_t position);
    void failStart();
    void stopAlertDone();
    void endRun();
    void endQuitOutOfTime();
    void dropPendingCallbacks();
    void endRunAfterFailedStart(const platform::NSError& error);
    void presentAlert(const std::string& title, const std::optional<std::string>& message,
                      const std::string& button);
    std::weak_ptr<DictationLoop> weakLoop();
    void setRecordButtonLooks(const std::string& title, const std::string& image);
    // The disabled button's title while the recognizer is unavailable: the library it lacks, if
    // that is why.
    std::string unavailableTitle() const;
    // The library the microphone's audio needs and lacks (its soname), once a capture found it so.
    std::optional<std::string> microphoneMissingLibrary() const;

    // What the current task heard, as the live view shows it.
    std::string taskHeard_;
    // The recognizer whose model is loading, so that it is asked once.
    std::weak_ptr<platform::SFSpeechRecognizer> preparing_;
    void prepareRecognizer();
    // The time dictated so far in this run, kept and stored under "timedictateTotal".
    void storeDictatedTime();
    // Why recording is refused, as the disabled button says it; empty while authorized.
    std::string refusalTitle_;
    // Queued work that keeps the screen alive while a task stopped by its leaving has yet to
    // deliver its text (the leaving's phase holds it): the run's end cancels it, and it lets go by
    // itself after a minute in which no task ended. Held by the run loop, not by the screen, so it
    // makes no cycle.
    void keepScreenForEndingTask();
    // Leaves the phase for `next`: what the old one held and did not hand on ends here (its
    // countdown stops, the screen's keeper lets go).
    void enter(RunPhase next);
};

// The loop tables of the dictation screens.
DictationLoopTable mainScreenLoopTable();
DictationLoopTable notesScreenLoopTable();
DictationLoopTable recipeScreenLoopTable();

// Asks for a store review in the first foreground-active window scene; nothing when there is none.
void requestAppReview();

// The loop of the three entry detail screens: one-hour runs whose tasks append paragraphs to the
// entry, cues at start and stop, nothing stored. The listening texts and the idle images come by
// language index from `languages`; other indexes (and none) get "Listening...." and "Play.png".
DictationLoopTable detailLoopTable(const RecognitionLanguageTable& languages);

} // namespace quillora
