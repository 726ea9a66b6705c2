#include "dictation/DictationLoop.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "common/StoredKeys.h"
#include "dictation/RecognitionLanguages.h"
#include "platform/avfaudio/AVAudioSession.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/LazyLibrary.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/RunLoop.h"
#include "platform/speech/SpeechEngine.h"
#include "platform/storekit/SKStoreReviewController.h"
#include "platform/systemconfiguration/SCNetworkReachability.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UITextView.h"

using namespace platform;

namespace quillora {

namespace {

constexpr AVAudioNodeBus kTapBus = 0;
// 10 ms of audio a buffer, the decoder's own step: a word reaches it as soon as it is heard (a
// buffer of 1024 frames held each word back by 32 ms on average, 64 ms at worst).
AVAudioFrameCount tapBufferSize(const AVAudioFormat& format) {
    return static_cast<AVAudioFrameCount>(std::lround(format.sampleRate() / 100));
}
// Recognition errors in a row that end a run for a lost connection.
constexpr int kLostConnectionFailures = 5;
// Seconds a screen that left waits at most for its stopped task's last words, counted afresh at
// each task that ends before the stop.
constexpr double kLeavingTaskGrace = 60;
constexpr std::int64_t kReviewWordCount = 3001;

// The disabled record button's title while the recognizer is unavailable, unless a missing library
// is why.
constexpr const char* kOfflineTitle = "Connect to the internet";

std::string missingTitle(const std::string& soname) {
    return "No " + soname;
}

std::string cannotBeUsed(const std::string& why) {
    return "Speech recognition cannot be used: " + why;
}

const char* flag(bool value) {
    return value ? "true" : "false";
}

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// The tap block: hands each buffer to the capture of the run it was installed for, never to a
// later one, so the audio thread shares nothing with the main thread but that capture.
AVAudioNodeTapBlock appendTapBuffer(std::shared_ptr<AudioCapture> capture) {
    return [capture = std::move(capture)](const AVAudioPCMBufferRef& buffer, const AVAudioTime&) {
        capture->append(buffer);
    };
}

} // namespace

const std::string& RowTexts::forRow(std::optional<long> row) const {
    if (row) {
        auto it = byRow.find(*row);
        if (it != byRow.end()) return it->second;
    }
    return otherwise;
}

DictationLoop::DictationLoop(DictationLoopTable table)
    : table_(std::move(table)), run_(table_.runLength),
      speechRecognizer(SFSpeechRecognizer::initWithLocale("en-US")) {
    if (!speechRecognizer) fatalError("no speech recognizer for en-US");
}

DictationLoop::~DictationLoop() {
    if (auto countdown = run_.countdown()) countdown->invalidate();
    if (audioEngine) {
        audioEngine->stop();
        audioEngine->inputNode()->removeTapOnBus(kTapBus);
    }
    if (auto task = run_.shownTask()) task->cancel();
}

std::weak_ptr<DictationLoop> DictationLoop::weakLoop() {
    // Shares ownership with the screen that this loop is part of.
    return std::shared_ptr<DictationLoop>(dictationScreen().shared_from_this(), this);
}

bool DictationLoop::recordPermissionGranted() {
    auto& session = AVAudioSession::sharedInstance();
    switch (session.recordPermission()) {
    case AVAudioSessionRecordPermission::Granted:
        return true;
    case AVAudioSessionRecordPermission::Denied:
        return false;
    case AVAudioSessionRecordPermission::Undetermined:
        break;
    }
    session.requestRecordPermission([](bool) {});
    return false;
}

bool DictationLoop::isConnectedToNetwork() {
    sockaddr_in zeroAddress;
    std::memset(&zeroAddress, 0, sizeof zeroAddress);
    zeroAddress.sin_family = AF_INET;
    auto reachability =
        SCNetworkReachabilityCreateWithAddress(nullptr, reinterpret_cast<const sockaddr*>(&zeroAddress));
    if (!reachability) return false;
    SCNetworkReachabilityFlags flags = 0;
    if (!SCNetworkReachabilityGetFlags(reachability, &flags)) return false;
    return (flags & kSCNetworkReachabilityFlagsReachable) &&
           !(flags & kSCNetworkReachabilityFlagsConnectionRequired);
}

void DictationLoop::setRecordButtonLooks(const std::string& title, const std::string& image) {
    auto button = dictationViews().recordButton;
    if (!button) return;
    button->setTitle_forState(title, UIControlStates::Normal);
    button->setImage_forState(UIImage::imageNamed(image), UIControlStates::Normal);
}

void DictationLoop::presentAlert(const std::string& title, const std::optional<std::string>& message,
                                 const std::string& button) {
    auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        title, message, UIAlertControllerStyle::Alert);
    alert->addAction(
        UIAlertAction::actionWithTitle_style_handler(button, UIAlertActionStyle::Default, nullptr));
    dictationScreen().presentViewController_animated_completion(alert, true, nullptr);
}

// ---- The record action ----

void DictationLoop::recordButtonTapped() {
    auto views = dictationViews();
    if (run_.recording()) {
        if (table_.stopCue) playCueSound(*table_.stopCue);
        stopByButton();
        if (views.recordButton) views.recordButton->setEnabled(false);
        DispatchQueue::main().async([weak = weakLoop()] {
            if (auto self = weak.lock()) self->showStoppingProgressAlert();
        });
        if (table_.stopStoresDictatedTime) storeDictatedTime();
        if (table_.liveViewOnlyWhileRunning && views.live) views.live->setHidden(true);
        if (table_.transcriptFontAtStop && views.transcript)
            views.transcript->setFont(UIFont::fontWithName_size("Courier", *table_.transcriptFontAtStop));
        return;
    }

    // An unavailable recognizer would fail every task a second after it starts, for the whole run.
    if (!speechRecognizer->isAvailable()) {
        if (views.recordButton) {
            views.recordButton->setEnabled(false);
            views.recordButton->setTitle_forState(unavailableTitle(), UIControlStates::Disabled);
        }
        return;
    }
    // Nor can a microphone whose rate needs the missing resampler be heard.
    if (auto soname = microphoneMissingLibrary()) {
        if (views.recordButton) {
            views.recordButton->setEnabled(false);
            views.recordButton->setTitle_forState(missingTitle(*soname), UIControlStates::Disabled);
        }
        if (auto why = LazyLibrary::knownFailure(soname->c_str()))
            tellRecognitionUnavailable(cannotBeUsed(*why));
        return;
    }
    if (!isConnectedToNetwork()) {
        presentAlert("Hmm....Looks like you are not connected to internet🤔", table_.offlineMessage, "OK ");
        return;
    }
    // The run's time counts from its first audio, not from before the first task's model has
    // loaded: the countdown starts once the microphone has.
    beginRun();
    if (table_.liveViewOnlyWhileRunning) {
        if (views.live) views.live->setHidden(false);
        if (views.picker) views.picker->setHidden(true);
    }
    if (table_.startCue) playCueSound(*table_.startCue);
    if (auto error = startRecordingLoop1()) {
        endRunAfterFailedStart(*error);
        return;
    }
    startCountdown();
    if (table_.checksMicrophonePermission && !recordPermissionGranted()) {
        console().print("permission required ");
        if (views.live) views.live->setHidden(true);
    }
    setRecordButtonLooks(table_.runningTitle, table_.runningImage.forRow(buttonSelect));
}

// ---- Starting a task ----

std::optional<NSError> DictationLoop::startRecordingLoop1() {
    return startRecording(0, std::nullopt);
}
std::optional<NSError> DictationLoop::startRecordingLoop2() {
    return startRecording(1, std::nullopt);
}

std::optional<NSError> DictationLoop::startRecording(int handler, std::optional<std::int64_t> readOnFrom) {
    const auto& row = table_.handlers[static_cast<std::size_t>(handler)];
    // The task, its request and the capture belong to the run's phase: no run, no task.
    run::Hearing* hearing = run_.hearing();
    if (!hearing) fatalError("a recognition task started outside a run");
    // From here on a callback of any earlier task is stale.
    const std::uint64_t generation = beginTask();

    auto& session = AVAudioSession::sharedInstance();
    if (auto error = session.setCategory(AVAudioSessionCategoryRecord)) return error;
    if (auto error = session.setMode(AVAudioSessionModeMeasurement)) return error;
    if (auto error = session.setActive(true, AVAudioSessionSetActiveOptionNotifyOthersOnDeactivation))
        return error;

    // A new run starts a capture; a task of the run reads on where the last one stopped hearing.
    if (!readOnFrom) hearing->capture = std::make_shared<AudioCapture>();
    auto& request = hearing->request;
    request =
        std::make_shared<SFSpeechAudioBufferRecognitionRequest>(hearing->capture, readOnFrom.value_or(0));
    auto inputNode = audioEngine->inputNode();
    if (!request) fatalError("Unable to created a SFSpeechAudioBufferRecognitionRequest object");
    request->setShouldReportPartialResults(true);
    if (!row.contextualStrings.empty()) request->setContextualStrings(row.contextualStrings);
    taskHeard_.clear();

    std::weak_ptr<AVAudioInputNode> weakNode = inputNode;
    hearing->task = speechRecognizer->recognitionTaskWithRequest_resultHandler(
        request, [weak = weakLoop(), handler, generation,
                  weakNode](const SFSpeechRecognitionResultRef& result, const std::optional<NSError>& error) {
            auto self = weak.lock();
            auto node = weakNode.lock();
            if (self && node) self->handleRecognitionResult(handler, generation, result, error, node);
        });

    // After a stop only the audio up to it is left to hear: the microphone stays off.
    if (hearing->capture->isClosed()) return std::nullopt;
    auto format = inputNode->outputFormatForBus(kTapBus);
    if (!readOnFrom && !inputNode->installTapOnBus_bufferSize_format_block(
                           kTapBus, tapBufferSize(format), format, appendTapBuffer(hearing->capture)))
        return NSError{AVFAudioErrorDomain, -10868, "The microphone's tap is still in use"};

    audioEngine->prepare();
    if (auto error = audioEngine->startAndReturnError()) return error;

    if (auto live = dictationViews().live)
        live->setText(timeLeft < table_.listeningThreshold ? " " : row.listening.forRow(buttonSelect));
    return std::nullopt;
}

// A start that failed leaves nothing half running: the run is over and the user is told why.
void DictationLoop::endRunAfterFailedStart(const NSError& error) {
    dropPendingCallbacks();
    audioEngine->stop();
    audioEngine->inputNode()->removeTapOnBus(kTapBus);
    failStart();
    auto views = dictationViews();
    if (views.recordButton) views.recordButton->setEnabled(recognitionPossible());
    setRecordButtonLooks(table_.idleTitle, table_.idleImage.forRow(buttonSelect));
    if (table_.liveViewOnlyWhileRunning && views.live) views.live->setHidden(true);
    presentAlert(error.localizedDescription, std::nullopt, "OK ");
}

// ---- Results ----

void DictationLoop::handleRecognitionResultLoop1(const SFSpeechRecognitionResultRef& result,
                                                 const std::optional<NSError>& error,
                                                 const std::shared_ptr<AVAudioInputNode>& inputNode) {
    handleRecognitionResult(0, run_.generation(), result, error, inputNode);
}

void DictationLoop::handleRecognitionResultLoop2(const SFSpeechRecognitionResultRef& result,
                                                 const std::optional<NSError>& error,
                                                 const std::shared_ptr<AVAudioInputNode>& inputNode) {
    handleRecognitionResult(1, run_.generation(), result, error, inputNode);
}

void DictationLoop::applyVoiceCommands(const SFSpeechRecognitionResult& result,
                                       const std::optional<std::vector<std::string>>& triggerWords) {
    auto live = dictationViews().live;
    if (!table_.voiceCommands || !live) return;
    if (triggerWords) {
        if (!holdsTrigger(triggerText(result), *triggerWords)) {
            console().print("no abbreviations");
            return;
        }
        console().print("full stop");
    }
    live->setText(table_.voiceCommands->apply(live->text()));
}

void DictationLoop::handleRecognitionResult(int handler, std::uint64_t generation,
                                            const SFSpeechRecognitionResultRef& result,
                                            const std::optional<NSError>& error,
                                            const std::shared_ptr<AVAudioInputNode>& inputNode) {
    if (generation != run_.generation()) return;
    const auto& row = table_.handlers[static_cast<std::size_t>(handler)];
    auto views = dictationViews();

    const bool isFinal = result && showResult(row, views, *result);
    // After a stop too: the final holds every word up to the stop, and a partial posted before it
    // may still be on its way.
    if (!error && !isFinal) return;

    appendOnce(row, views);
    const bool lostConnection = countFailure(error);

    // A run goes on listening across its tasks: the tap and the microphone stay, and the next task
    // reads the capture on from where this one stopped hearing. Another microphone chosen meanwhile
    // is taken up by the next task. When the person stopped after this task stopped hearing (its
    // final was on its way), what was said in between is heard by one more task, up to the stop.
    // A task let go of by a leaving keeps that promise too, and so does the end of the run's time:
    // its audio ends where the task listening at the mark ends, as at a stop there.
    const bool released = run_.released();
    run::Hearing* hearing = run_.hearing();
    const auto endedRequest = hearing ? std::move(hearing->request) : nullptr;
    const auto capture = hearing ? hearing->capture : nullptr;
    if (const auto* stop = run_.stopping();
        stop && stop->mark && capture && endedRequest && endedRequest->endPosition() >= *stop->mark)
        endRunAtTaskEnd(endedRequest->endPosition());
    const bool restBeforeStop = endedRequest && capture && capture->isClosed() &&
                                endedRequest->endPosition() < capture->endPosition();
    const bool continues = run_.recording() || restBeforeStop;
    if (!continues || (capture && capture->isClosed()) || audioEngine->inputSourceChanged())
        audioEngine->stop();
    if (!continues) {
        inputNode->removeTapOnBus(kTapBus);
        reportAudioDroppedAtEnd(endedRequest.get());
    }
    taskEnded();
    // The task has ended: no stop is pending any more, unless the rest before it is still to come.
    updateRecordButton(restBeforeStop);
    showTaskEnd(row, views, restBeforeStop);

    console().print(row.loopLine);
    console().print(flag(isFinal || lostConnection));
    // A failed start of the next task ends the run too: a Save that waited still follows.
    const bool saveWaited = run_.saveWaits();
    if (continues) startNextTask(handler, endedRequest, released);
    // The leaving screen's last task has said its last: the screen may go now (the caller holds it
    // until this returns).
    if (!run_.taskTextStillComing()) {
        endRun();
        runEnded(saveWaited);
    }
}

// A run that ends on a failure ends where its last task stopped hearing: what the microphone took
// after that has no task left to hear it.
void DictationLoop::reportAudioDroppedAtEnd(const SFSpeechAudioBufferRecognitionRequest* ended) {
    const auto* hearing = run_.hearing();
    const auto& capture = hearing ? hearing->capture : nullptr;
    if (!ended || !capture || ended->endPosition() >= capture->endPosition()) return;
    char line[160];
    std::snprintf(
        line, sizeof line,
        "The recording ended on a failure: %.1f s of audio after the last task were dropped unheard",
        AudioCapture::seconds(capture->endPosition() - ended->endPosition()));
    console().print(line);
}

bool DictationLoop::showResult(const DictationHandlerTable& row, const DictationViews& views,
                               const SFSpeechRecognitionResult& result) {
    const std::string heard = result.bestTranscription().formattedString();
    if (views.live) views.live->setText(heard);
    applyVoiceCommands(result, row.commandTriggers);
    taskHeard_ = views.live ? views.live->text() : heard;
    console().print(row.finalFlagLine);
    console().print(flag(result.isFinal()));
    return result.isFinal();
}

void DictationLoop::appendOnce(const DictationHandlerTable& row, const DictationViews& views) {
    console().print(row.appendLine);
    if (run_.taskAppended_) {
        console().print(row.alreadyAddedLine);
        return;
    }
    appendTaskText(views);
    run_.taskAppended_ = true;
}

bool DictationLoop::countFailure(const std::optional<NSError>& error) {
    // Silence is no failure: a task the recognizer ended for want of speech breaks the row like
    // any task that did not fail, so that pauses never end a run.
    if (error && !(error->domain == SFSpeechErrorDomain && error->code == SFSpeechErrorCodeNoSpeech))
        ++run_.failedTasksInARow_;
    else
        run_.failedTasksInARow_ = 0;
    const bool lostConnection = run_.failedTasksInARow_ >= kLostConnectionFailures && !run_.isStopped();
    if (lostConnection) {
        endRunOnFailure();
        presentAlert(
            "Hmm....Looks like your wireless(Wifi) is connected but you dont have internet access🤔",
            " Please try opening any website (e.g www.wikipedia.org)", "OK ");
    }
    // A task that failed because recognition is gone would be followed by one failing task after
    // another, each adding its live text to the transcript, until the time is up: the run ends
    // here instead, and the button waits for recognition to come back.
    if (error && !run_.isStopped() && speechRecognizer && !speechRecognizer->isAvailable()) {
        endRunOnFailure();
        console().print("Speech recognition is unavailable: the recording stops");
        if (auto why = speechRecognizer->unavailableReason()) tellRecognitionUnavailable(*why);
    }
    // The microphone's audio could no longer be taken (its rate needs a library that is missing):
    // the capture closed there, as at a stop, and what it holds is still heard. Recognition is
    // there for a microphone that needs no such library, so only this run ends.
    if (const auto* hearing = run_.hearing(); !run_.isStopped() && hearing && hearing->capture)
        if (auto why = hearing->capture->failure()) {
            endRunOnFailure();
            console().print("The microphone cannot be heard: the recording stops");
            tellRecognitionUnavailable(cannotBeUsed(*why));
        }
    return lostConnection;
}

void DictationLoop::showTaskEnd(const DictationHandlerTable& row, const DictationViews& views,
                                bool restBeforeStop) {
    if (run_.isFinalStopped()) {
        if (!restBeforeStop)
            DispatchQueue::main().async([weak = weakLoop()] {
                if (auto self = weak.lock()) self->dismissProgressAlert();
            });
    } else {
        if (row.naturalEndLine) console().print(*row.naturalEndLine);
        if (table_.append == TranscriptAppend::afterBlank) {
            if (views.live) views.live->setText(" ");
            if (views.transcript) analyzeWordClasses(views.transcript->text());
        }
        if (row.reviewDelay && reviewWordCount() >= kReviewWordCount)
            DispatchQueue::main().asyncAfter(*row.reviewDelay, [weak = weakLoop()] {
                if (weak.lock()) requestAppReview();
            });
    }
    if (!restBeforeStop)
        DispatchQueue::main().async([weak = weakLoop()] {
            if (auto self = weak.lock()) self->resetRecordButtonIfIdle();
        });
}

void DictationLoop::startNextTask(int handler,
                                  const std::shared_ptr<SFSpeechAudioBufferRecognitionRequest>& ended,
                                  bool released) {
    console().print("start recodring again ");
    auto failure = startRecording(handler == 0 ? 1 : 0,
                                  ended ? std::optional<std::int64_t>(ended->endPosition()) : std::nullopt);
    if (failure)
        endRunAfterFailedStart(*failure);
    else if (released)
        // The leaving let go of the fields: the task for the rest is held as the ended one was,
        // and the screen waits for it as long again, however far behind recognition runs.
        keepScreenForEndingTask();
}

// ---- The run's transitions ----

void DictationLoop::enter(RunPhase next) {
    if (auto countdown = run_.countdown()) countdown->invalidate();
    if (auto* left = run_.left(); left && left->keeper) RunLoop::main().cancel(left->keeper);
    run_.phase_ = std::move(next);
}

void DictationLoop::beginRun() {
    if (auto task = run_.shownTask()) task->cancel();
    enter(run::Recording{});
    run_.timeLeft_ = table_.runLength;
    run_.failedTasksInARow_ = 0;
}

void DictationLoop::startCountdown() {
    auto* recording = std::get_if<run::Recording>(&run_.phase_);
    if (!recording) return;
    if (recording->countdown) recording->countdown->invalidate();
    run_.timeLeft_ = table_.runLength;
    recording->countdown =
        NSTimer::scheduledTimerWithTimeInterval(1.0, true, [weak = weakLoop()](NSTimer& timer) {
            if (auto self = weak.lock())
                self->timerRunning();
            else
                timer.invalidate();
        });
}

std::uint64_t DictationLoop::beginTask() {
    // A task still listening gives way to the new one.
    if (auto* hearing = run_.hearing(); hearing && hearing->task && !run_.released()) {
        hearing->task->cancel();
        hearing->task.reset();
    }
    run_.taskAppended_ = false;
    return ++run_.generation_;
}

void DictationLoop::dropPendingCallbacks() {
    ++run_.generation_;
}

void DictationLoop::taskEnded() {
    if (auto* hearing = run_.hearing()) hearing->task.reset();
}

// The microphone stops and the capture ends where the stop is: the task hears up to it.
void DictationLoop::stopByButton() {
    enter(run::Stopping{run::StopCause::button, std::nullopt, run_.takeHearing(), run_.takeLeft(),
                        run_.takeSaveWish()});
    run_.stopAlertPending_ = true;
    audioEngine->stop();
    if (auto request = run_.shownRequest()) request->endAudio();
}

void DictationLoop::stopForLeaving(bool release) {
    enter(run::Stopping{run::StopCause::leaving, std::nullopt, run_.takeHearing(), run::Left{release, 0},
                        run_.takeSaveWish()});
    audioEngine->stop();
    if (const auto& request = run_.hearing()->request) request->endAudio();
    // The task still delivers the text it heard, and its request says where it stopped hearing:
    // the phase keeps both until then.
    if (release) audioEngine->inputNode()->removeTapOnBus(kTapBus);
    keepScreenForEndingTask();
}

void DictationLoop::runTimeEnded() {
    run_.timeLeft_ = 0;
    auto* recording = std::get_if<run::Recording>(&run_.phase_);
    if (!recording) return;
    const std::int64_t mark = recording->hearing.capture ? recording->hearing.capture->endPosition() : 0;
    enter(run::Stopping{run::StopCause::timeUp, mark, run_.takeHearing(), {}, false});
}

void DictationLoop::endRunAtTaskEnd(std::int64_t position) {
    auto& stop = std::get<run::Stopping>(run_.phase_);
    stop.hearing.capture->closeAt(position);
    stop.mark.reset();
}

void DictationLoop::endRunOnFailure() {
    enter(run::EndingOnFailure{run_.takeHearing(), run_.takeSaveWish()});
}

// A quit is a stop: what the microphone takes from now on is no part of the run.
void DictationLoop::beginQuitting() {
    enter(run::Quitting{run_.takeHearing(), run_.takeLeft()});
    audioEngine->stop();
    if (const auto& capture = run_.hearing()->capture) capture->close();
}

void DictationLoop::failStart() {
    if (auto task = run_.shownTask()) task->cancel();
    enter(run::Idle{true});
    run_.stopAlertPending_ = false;
}

void DictationLoop::stopAlertDone() {
    run_.stopAlertPending_ = false;
}

void DictationLoop::endRun() {
    enter(run::Idle{run_.isStopped()});
}

// The termination's wait is over: the running task is cancelled, a task the leaving let go of
// is only dropped.
void DictationLoop::endQuitOutOfTime() {
    if (auto task = run_.shownTask()) task->cancel();
    endRun();
}

bool DictationLoop::saveWhenRunEnds() {
    auto* wish = run_.saveWhenRunEnds();
    if (!wish || !run_.taskTextStillComing()) return false;
    *wish = true;
    return true;
}

void DictationLoop::appendTaskText(const DictationViews& views) {
    if (!views.transcript || !views.live) return;
    if (table_.append == TranscriptAppend::asParagraph && table_.transcriptFontAtAppend)
        views.transcript->setFont(UIFont::fontWithName_size("Courier", *table_.transcriptFontAtAppend));
    // A task that heard nothing appends nothing: what the live view shows then is a label.
    if (isBlank(taskHeard_)) {
        if (table_.append == TranscriptAppend::afterBlank) views.live->setText(" ");
        return;
    }
    if (table_.append == TranscriptAppend::asParagraph) {
        if (recordPermissionGranted()) {
            std::string paragraph = taskHeard_ + "\n";
            const auto& before = views.transcript->text();
            if (table_.paragraphStartsOnNewLine && !before.empty() && before.back() != '\n')
                paragraph.insert(0, "\n");
            writeTranscript(before + paragraph);
        } else
            console().print("permission not granted for microhone acess yet ");
        return;
    }

    writeTranscript(views.transcript->text() + " " + taskHeard_);
    views.live->setText(" ");
    storeDictatedTime();
    NSUserDefaults::standardUserDefaults()->setObject_forKey(views.transcript->text(),
                                                             std::string(keys::saveclipBoardText));
    analyzeWordClasses(views.transcript->text());

    if (views.analysisButton) {
        long selected = views.picker ? views.picker->selectedRowInComponent(0) : -1;
        bool shows = table_.analysisRows.count(selected) > 0;
        views.analysisButton->setHidden(!shows);
        if (shows)
            UIView::animateWithDuration_animations(3.0, [button = views.analysisButton] {
                button->setTransform(CGAffineTransformMakeRotation(M_PI));
            });
    }
    for (const auto& hint : {views.editIndicator, views.saveArrow}) {
        if (!hint) continue;
        hint->setHidden(false);
        hint->zoomIn(2.0);
    }
}

void DictationLoop::writeTranscript(const std::string& text) {
    if (auto transcript = dictationViews().transcript) transcript->setText(text);
}

// ---- Countdown, progress alert, button ----

void DictationLoop::storeDictatedTime() {
    timeDictateTotal = table_.runLength - run_.timeLeft();
    NSUserDefaults::standardUserDefaults()->setInteger_forKey(timeDictateTotal,
                                                              std::string(keys::timedictateTotal));
}

void DictationLoop::timerRunning() {
    run_.timeLeft_ -= 1;
    if (table_.showsCountdown)
        if (auto label = dictationViews().countdownLabel)
            label->setText("(Time-left:" + std::to_string(run_.timeLeft()) + "s)");
    if (run_.timeLeft() > 0)
        console().print("Timer running");
    else
        runTimeEnded();
}

void DictationLoop::showStoppingProgressAlert() {
    auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        " 📝 .....", "📂...", UIAlertControllerStyle::Alert);
    auto indicator = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorView::Style::Medium);
    indicator->setFrame({10, 5, 50, 50});
    indicator->setHidesWhenStopped(true);
    indicator->startAnimating();
    alert->view()->addSubview(indicator);
    dictationScreen().presentViewController_animated_completion(alert, true, nullptr);
}

void DictationLoop::dismissProgressAlert() {
    dictationScreen().dismissViewControllerAnimated_completion(true, nullptr);
    if (table_.dismissalBlanksLiveText)
        if (auto live = dictationViews().live) live->setText(" ");
}

void DictationLoop::resetRecordButtonIfIdle() {
    if (run_.timeLeft() > 0 && !run_.isStopped()) return;
    if (auto button = dictationViews().recordButton)
        button->setTitle_forState(table_.idleTitle, UIControlStates::Normal);
    stopAlertDone();
    if (auto button = dictationViews().recordButton)
        button->setImage_forState(UIImage::imageNamed(table_.idleImage.forRow(buttonSelect)),
                                  UIControlStates::Normal);
    // An answer that came between the task's end and here (authorization, availability) still saw
    // the stop pending and held the button back: nothing else would give it back.
    updateRecordButton();
}

void DictationLoop::playCueSound(const std::string& name) {
    auto path = NSBundle::mainBundle().pathForResource(name, "mov");
    if (!path) return;
    auto& session = AVAudioSession::sharedInstance();
    std::optional<NSError> error = session.setCategory(AVAudioSessionCategoryPlayAndRecord);
    if (!error) error = session.setMode(AVAudioSessionModeSpokenAudio);
    if (!error) error = session.setActive(true, AVAudioSessionSetActiveOptionNotifyOthersOnDeactivation);
    if (!error) {
        player = AVAudioPlayer::initWithContentsOfURL(*path, AVFileTypeMPEGLayer3, &error);
        if (player) player->play();
    }
    if (error) console().print(error->localizedDescription);
}

// ---- Availability and authorization ----

void DictationLoop::speechRecognizer_availabilityDidChange(SFSpeechRecognizer&, bool available) {
    auto button = dictationViews().recordButton;
    if (!button) return;
    if (available) {
        // While a stop is pending the old task still holds the tap: no new run before its end.
        updateRecordButton();
        setRecordButtonLooks(table_.availableTitle, table_.availableImage.forRow(buttonSelect));
        console().print("Speech recogniser triggered");
    } else {
        button->setEnabled(false);
        button->setTitle_forState(unavailableTitle(), UIControlStates::Disabled);
    }
}

std::string DictationLoop::unavailableTitle() const {
    if (auto soname = speechRecognizer ? speechRecognizer->missingLibrary() : std::nullopt)
        return missingTitle(*soname);
    return kOfflineTitle;
}

std::optional<std::string> DictationLoop::microphoneMissingLibrary() const {
    return AudioCapture::missingLibraryFor(audioEngine->inputNode()->outputFormatForBus(kTapBus));
}

void DictationLoop::microphoneChanged() {
    if (run_.recording() || run_.isFinalStopped()) return;
    updateRecordButton();
}

void DictationLoop::updateRecordButton() {
    updateRecordButton(taskStillEnding() || recordButtonHeldBack());
}

bool DictationLoop::taskStillEnding() const {
    // A task stopped by the screen's leaving still holds the tap until its end; one stopped by the
    // application's leaving still has its phrase to deliver, which a new run would drop.
    return run_.isFinalStopped() || (run_.taskTextStillComing() && !run_.recording());
}

void DictationLoop::updateRecordButton(bool stopPending) {
    auto button = dictationViews().recordButton;
    if (!button) return;
    prepareRecognizer();
    button->setEnabled(!stopPending && recognitionPossible());
    if (!authorizationGranted_) {
        if (!refusalTitle_.empty()) button->setTitle_forState(refusalTitle_, UIControlStates::Disabled);
    } else if (!speechRecognizer || !speechRecognizer->isAvailable()) {
        button->setTitle_forState(unavailableTitle(), UIControlStates::Disabled);
    } else if (auto soname = microphoneMissingLibrary()) {
        button->setTitle_forState(missingTitle(*soname), UIControlStates::Disabled);
    }
}

bool DictationLoop::recordButtonMayBeEnabled() const {
    return !taskStillEnding() && recognitionPossible();
}

void DictationLoop::applyAuthorizationStatus(SFSpeechRecognizerAuthorizationStatus status) {
    auto button = dictationViews().recordButton;
    switch (status) {
    case SFSpeechRecognizerAuthorizationStatus::notDetermined:
    case SFSpeechRecognizerAuthorizationStatus::denied:
    case SFSpeechRecognizerAuthorizationStatus::restricted:
    case SFSpeechRecognizerAuthorizationStatus::authorized:
        authorizationGranted_ = status == SFSpeechRecognizerAuthorizationStatus::authorized;
        break;
    default:
        break;
    }
    if (const auto& refusals = table_.authorizationRefusals) {
        const AuthorizationRefusal* refusal = nullptr;
        switch (status) {
        case SFSpeechRecognizerAuthorizationStatus::notDetermined:
            refusal = &refusals->notDetermined;
            break;
        case SFSpeechRecognizerAuthorizationStatus::denied:
            refusal = &refusals->denied;
            break;
        case SFSpeechRecognizerAuthorizationStatus::restricted:
            refusal = &refusals->restricted;
            break;
        case SFSpeechRecognizerAuthorizationStatus::authorized:
            // Authorized is not enough: a region without recognition keeps the button disabled,
            // whichever of the two answers came first.
            refusalTitle_.clear();
            updateRecordButton();
            return;
        default:
            console().print(refusals->unknownStatusLine);
            return;
        }
        refusalTitle_ = refusal->disabledTitle;
        if (button) {
            button->setEnabled(false);
            button->setTitle_forState(refusal->disabledTitle, UIControlStates::Disabled);
        }
        presentAlert(refusal->alertTitle, refusal->message, refusals->button);
        console().print(refusal->consoleLine);
        return;
    }
    auto refuse = [&](const char* title) {
        authorizationGranted_ = false;
        refusalTitle_ = title;
        if (button) {
            button->setEnabled(false);
            button->setTitle_forState(title, UIControlStates::Disabled);
        }
        showSpeechAccessAlert();
    };
    switch (status) {
    case SFSpeechRecognizerAuthorizationStatus::notDetermined:
        refuse("Speech recognition not yet authorized");
        break;
    case SFSpeechRecognizerAuthorizationStatus::denied:
        refuse("User denied access to speech recognition");
        break;
    case SFSpeechRecognizerAuthorizationStatus::restricted:
        refuse("Speech recognition restricted on this device");
        break;
    case SFSpeechRecognizerAuthorizationStatus::authorized:
        authorizationGranted_ = true;
        refusalTitle_.clear();
        updateRecordButton();
        break;
    default:
        console().print("error");
        break;
    }
}

bool DictationLoop::recognitionPossible() const {
    return authorizationGranted_ && speechRecognizer && speechRecognizer->isAvailable() &&
           speechRecognizer->isPrepared() && !microphoneMissingLibrary();
}

void DictationLoop::prepareRecognizer() {
    if (!authorizationGranted_ || !speechRecognizer || !speechRecognizer->isAvailable() ||
        speechRecognizer->isPrepared() || preparing_.lock() == speechRecognizer)
        return;
    // The first phrase of a run shows as soon as the others: the model loads before the button
    // is given, not when the first task starts.
    preparing_ = speechRecognizer;
    speechRecognizer->prepare([weak = weakLoop()] {
        if (auto self = weak.lock()) self->recognizerChanged();
    });
}

void DictationLoop::recognizerChanged() {
    if (run_.recording() || run_.isFinalStopped()) return;
    updateRecordButton();
    // The model loaded ahead could not be: the disabled button alone would not say why.
    if (auto why = speechRecognizer->unavailableReason()) tellRecognitionUnavailable(*why);
}

void DictationLoop::tellRecognitionUnavailable(const std::string& why) {
    // As a run that could not start says why.
    presentAlert(why, std::nullopt, "OK ");
}

void DictationLoop::showSpeechAccessAlert() {
    auto& bundle = NSBundle::mainBundle();
    auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        bundle.localizedStringForKey("Access to Speech recognition not granted"),
        bundle.localizedStringForKey("Settings-->Quillora ---> Grant access to Speech Recognition"),
        UIAlertControllerStyle::Alert);
    alert->addAction(UIAlertAction::actionWithTitle_style_handler(
        bundle.localizedStringForKey("OK"), UIAlertActionStyle::Default,
        [](UIAlertAction&) { console().print("Ok press show microhone alert"); }));
    dictationScreen().presentViewController_animated_completion(alert, true, nullptr);
}

// ---- Leaving ----

bool DictationLoop::stopRunForLeaving(bool releaseTask) {
    if (!run_.recording()) return false;
    stopForLeaving(releaseTask);
    auto views = dictationViews();
    if (views.recordButton) {
        views.recordButton->setEnabled(false);
        views.recordButton->setImage_forState(
            UIImage::imageNamed(table_.leavingStopImage.value_or(table_.idleImage.forRow(buttonSelect))),
            UIControlStates::Normal);
    }
    if (table_.leavingStopStoresDictatedTime) storeDictatedTime();
    return true;
}

void DictationLoop::keepScreenForEndingTask() {
    // The phrase being spoken is still on its way: the screen waits for it even if nothing else
    // holds it any more.
    auto* left = run_.left();
    if (!left) return;
    if (left->keeper) RunLoop::main().cancel(left->keeper);
    left->keeper =
        RunLoop::main().schedule(kLeavingTaskGrace, [kept = dictationScreen().shared_from_this()] {});
}

bool DictationLoop::appendRunningTaskForQuitting() {
    if (!run_.taskTextStillComing()) return false;
    beginQuitting();
    // Each task's end appends its words and starts the task for the rest before the stop, if any.
    const auto deadline = UIApplication::sharedApplication().terminationDeadline();
    auto runningTask = [this] { return run_.hearing() ? run_.hearing()->task : nullptr; };
    for (auto task = runningTask(); task;) {
        if (!task->awaitEnd(deadline)) break;
        auto next = runningTask();
        if (next == task) break;
        task = std::move(next);
    }
    if (!run_.taskTextStillComing()) return true;

    // Out of time: the running task's words as far as it has heard them, and no more callbacks.
    dropPendingCallbacks();
    if (!run_.taskAppended_) appendOnce(table_.handlers[0], dictationViews());
    // Unheard is what follows the last word saved, however far the decoder had read.
    const run::Hearing& hearing = *run_.hearing();
    if (hearing.request && hearing.capture) {
        const auto& task = hearing.task;
        const std::int64_t heard = task->heardUpTo() ? *task->heardUpTo() : hearing.request->endPosition();
        if (heard < hearing.capture->endPosition()) {
            char line[160];
            std::snprintf(line, sizeof line,
                          "The application ended with recognition %.1f s of audio behind the microphone: "
                          "that audio went unheard",
                          AudioCapture::seconds(hearing.capture->endPosition() - heard));
            console().print(line);
        }
    }
    audioEngine->inputNode()->removeTapOnBus(kTapBus);
    if (run_.isFinalStopped())
        DispatchQueue::main().async([weak = weakLoop()] {
            if (auto self = weak.lock()) self->dismissProgressAlert();
        });
    updateRecordButton(false);
    DispatchQueue::main().async([weak = weakLoop()] {
        if (auto self = weak.lock()) self->resetRecordButtonIfIdle();
    });
    endQuitOutOfTime();
    return true;
}

namespace {

// The console lines the two handlers of every screen print; the loop line names its handler on
// the first screen and the detail screens.
std::array<DictationHandlerTable, 2> handlersWithTheirLines(bool numberedLoopLines) {
    std::array<DictationHandlerTable, 2> handlers;
    auto& first = handlers[0];
    first.finalFlagLine = "iS FINAL value VIEW";
    first.appendLine = "Added to Clipboard 1";
    first.alreadyAddedLine = "Clipboard text already added ";
    first.loopLine = numberedLoopLines ? "isFinal loop triggered loop 1 " : "isFinal loop triggered ";
    auto& second = handlers[1];
    second.finalFlagLine = "iS FINAL value ";
    second.appendLine = "Added to Clipboard 2";
    second.alreadyAddedLine = "Clipboard text already added to clipboard 2";
    second.loopLine = numberedLoopLines ? "isFinal loop triggered loop 2 " : "isFinal loop triggered ";
    return handlers;
}

// A column of a language table by row; rows that leave it empty get `otherwise`.
RowTexts languageColumn(const RecognitionLanguageTable& languages,
                        std::string_view RecognitionLanguage::*column, std::string otherwise) {
    RowTexts texts{{}, std::move(otherwise)};
    for (std::size_t row = 0; row < languages.size(); ++row)
        if (const auto& text = languages[row].*column; !text.empty())
            texts.byRow[static_cast<long>(row)] = std::string(text);
    return texts;
}

// What the notes and recipe screens' loops share.
DictationLoopTable symbolScreenLoopTable(const VoiceCommandTable& commands) {
    DictationLoopTable table;
    table.runLength = 1800;
    table.voiceCommands = &commands;
    table.handlers = handlersWithTheirLines(false);
    table.handlers[0].naturalEndLine = " stopped Manually";
    table.handlers[1].naturalEndLine = "stopped Manually";
    table.append = TranscriptAppend::afterBlank;
    table.stopStoresDictatedTime = false;
    table.leavingStopStoresDictatedTime = false;
    table.availableTitle = "Start Recording  ";
    return table;
}

const std::map<long, std::string>& englishListening() {
    static const std::map<long, std::string> english{
        {0, "Listening...."}, {1, "Listening...."}, {2, "Listening...."}, {3, "Listening...."}};
    return english;
}

} // namespace

DictationLoopTable mainScreenLoopTable() {
    DictationLoopTable table;
    table.runLength = 1800;
    table.voiceCommands = &mainVoiceCommands();
    table.handlers = handlersWithTheirLines(true);

    auto& first = table.handlers[0];
    first.reviewDelay = 2.0;
    first.listening = {englishListening(), "...."};
    first.commandTriggers = mainCommandTriggersLoop1();

    auto& second = table.handlers[1];
    // The second handler's delayed closure asks for nothing.
    second.contextualStrings = {"Erythema", "Nephrolithiasis", "Auscultation", "Hashimoto"};
    second.listening = {englishListening(), "......."};
    second.commandTriggers = mainCommandTriggersLoop2();

    table.append = TranscriptAppend::afterBlank;
    for (long row = 0; row <= 12; ++row)
        table.analysisRows.insert(row);
    table.stopStoresDictatedTime = true;
    table.offlineMessage = " Please Connect to internet , Go to Settings --> Wifi/4G or 5G";
    return table;
}

DictationLoopTable notesScreenLoopTable() {
    DictationLoopTable table = symbolScreenLoopTable(notesVoiceCommands());
    auto& first = table.handlers[0];
    first.reviewDelay = 4.0;
    first.listening = {englishListening(), "🗣....."};
    first.commandTriggers = notesCommandTriggers();
    auto& second = table.handlers[1];
    second.reviewDelay = 3.0;
    second.listening = {englishListening(), "🗣......."};
    second.commandTriggers = notesCommandTriggers();
    for (long row = 0; row <= 12; ++row)
        table.analysisRows.insert(row);
    return table;
}

DictationLoopTable recipeScreenLoopTable() {
    DictationLoopTable table = symbolScreenLoopTable(recipeVoiceCommands());
    // Labels and pictures come with the language rows.
    const auto& languages = recipeLanguageTable();
    const RowTexts listening = languageColumn(languages, &RecognitionLanguage::listening, "Listening....");
    table.idleImage = languageColumn(languages, &RecognitionLanguage::playImage, "Play.png");
    table.runningImage = languageColumn(languages, &RecognitionLanguage::pauseImage, "Pause.png");
    table.availableImage = table.idleImage;

    auto& first = table.handlers[0];
    first.reviewDelay = 3.0;
    first.listening = listening;
    first.commandTriggers = recipeCommandTriggers();
    auto& second = table.handlers[1];
    second.reviewDelay = 2.0;
    second.listening = listening;
    second.commandTriggers = recipeCommandTriggers();
    table.analysisRows = {0, 1, 2, 3, 10};
    return table;
}

void requestAppReview() {
    for (const auto& scene : UIApplication::sharedApplication().connectedScenes()) {
        if (scene->activationState() != UISceneActivationState::ForegroundActive) continue;
        if (auto windowScene = std::dynamic_pointer_cast<UIWindowScene>(scene))
            SKStoreReviewController::requestReviewInScene(windowScene);
        return;
    }
}

DictationLoopTable detailLoopTable(const RecognitionLanguageTable& languages) {
    DictationLoopTable table;
    table.runLength = 3600;
    // Not half of the run: restarts in its first 1802 seconds show the label.
    table.listeningThreshold = 1798;
    table.handlers = handlersWithTheirLines(true);
    const RowTexts listening = languageColumn(languages, &RecognitionLanguage::listening, "Listening....");
    for (auto& handler : table.handlers) {
        handler.naturalEndLine = "NOt stopped Manually";
        handler.listening = listening;
    }

    table.append = TranscriptAppend::asParagraph;
    table.paragraphStartsOnNewLine = true;
    table.transcriptFontAtAppend = 20;
    table.transcriptFontAtStop = 24;
    table.showsCountdown = false;
    table.liveViewOnlyWhileRunning = true;
    table.dismissalBlanksLiveText = false;
    table.startCue = "play";
    table.stopCue = "Stop";
    table.checksMicrophonePermission = true;
    table.runningTitle = "";
    table.runningImage = {{}, "Pause1.png"};
    table.idleTitle = "Start Recording";
    table.idleImage = languageColumn(languages, &RecognitionLanguage::playImage, "Play.png");
    table.availableTitle = "  ";
    table.availableImage = {{}, "Play1.png"};

    const std::string settings = " Please go to Settings--> Parlowen --> Grant access to Speech recognition";
    auto refusal = [](const std::string& text, const std::string& message) {
        return AuthorizationRefusal{text, text, message, text};
    };
    table.authorizationRefusals = AuthorizationRefusals{
        refusal("Speech recognition not yet authorized",
                " Please go to Settings--> Parlowen--> Grant access to Speech recognition"),
        refusal("User denied access to speech recognition", settings),
        refusal("Speech recognition restricted on this device", settings),
    };
    table.leavingStopStoresDictatedTime = false;
    table.leavingStopImage = "Play1.png";
    return table;
}

} // namespace quillora
