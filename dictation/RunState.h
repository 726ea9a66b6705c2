#pragma once
// What a dictation run is doing, as one value. The loop owns it and changes it only through its
// named transitions (a start, a task's start and end, the person's stop, a leaving, the end of the
// run's time, a failure, a quit, the run's end); the fields the screens read under their old names
// (isStopped, isFinalStopped, countClipboard, timeLeft, recognitionTask, recognitionRequest,
// SpeechTimer) are views of it that nothing writes. Each phase carries what only it has: the
// capture, task and request while a task may hear, the countdown while recording, the keeper of a
// leaving screen, a Save that waits for the end; so leaving a phase ends what it held (the
// countdown stops, the keeper lets go) and idle holds nothing.
//
//   idle --start--> recording --stop / leaving / time up--> stopping --last task ends--> idle
//                       |  \--five failures / recognizer gone--> ending on a failure --> idle
//                       \--quit (from any phase with a task)--> quitting --> idle

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <variant>

namespace platform {
class AudioCapture;
class NSTimer;
class SFSpeechAudioBufferRecognitionRequest;
class SFSpeechRecognitionTask;
} // namespace platform

namespace quillora {

namespace run {

// The run's audio and the task that hears it now. Between two tasks the task is gone and the
// request is the ended one's, until the next reads on from where it stopped hearing.
struct Hearing {
    // One store for the whole run, read by one task after another.
    std::shared_ptr<platform::AudioCapture> capture;
    std::shared_ptr<platform::SFSpeechRecognitionTask> task;
    // Where the task reads the capture, and where it stopped hearing.
    std::shared_ptr<platform::SFSpeechAudioBufferRecognitionRequest> request;
};

// What a leaving stop keeps until its task has said its last.
struct Left {
    // The screen let go of the task (its fields show none) and the microphone's tap is gone.
    bool released = false;
    // Queued work that keeps the screen alive meanwhile (its run-loop entry); 0 for none.
    std::uint64_t keeper = 0;
};

// No run. Remembers whether the last one was stopped rather than run out of time.
struct Idle {
    bool stopped = false;
};
// Tasks listen one after another while the microphone takes the run's audio.
struct Recording {
    Hearing hearing;
    // The countdown of the run's time, once the microphone has started.
    std::shared_ptr<platform::NSTimer> countdown;
};
// The audio has an end, or will have one where the task listening at the mark ends: the tasks hear
// up to it and none follows.
enum class StopCause { button, leaving, timeUp };
struct Stopping {
    StopCause cause;
    // The end of the run's time: where the capture stood when the countdown reached zero. The run's
    // audio ends where the task that was listening there ends, however far behind it runs.
    std::optional<std::int64_t> mark;
    Hearing hearing;
    Left left;
    // A Save waits for the run's last phrase.
    bool saveWhenRunEnds = false;
};
// Recognition failed for good (errors in a row, the recognizer gone): the run ends with its task.
struct EndingOnFailure {
    Hearing hearing;
    bool saveWhenRunEnds = false;
};
// The application ends: what the tasks heard is appended within the termination's wait.
struct Quitting {
    Hearing hearing;
    Left left;
};

} // namespace run

using RunPhase = std::variant<run::Idle, run::Recording, run::Stopping, run::EndingOnFailure, run::Quitting>;

class RunState {
public:
    explicit RunState(std::int64_t runLength) : timeLeft_(runLength) {}

    const RunPhase& phase() const { return phase_; }
    template <typename Phase> bool is() const { return std::holds_alternative<Phase>(phase_); }
    const run::Stopping* stopping() const { return std::get_if<run::Stopping>(&phase_); }
    // The audio and task of a phase that has them; none while idle.
    const run::Hearing* hearing() const;
    // A task of this run has yet to deliver its text: it listens, or it was stopped and has not
    // said its last.
    bool taskTextStillComing() const { return hearing() && hearing()->task; }
    // The task as the screen's fields show it: none once a leaving let go of it.
    std::shared_ptr<platform::SFSpeechRecognitionTask> shownTask() const;
    std::shared_ptr<platform::SFSpeechAudioBufferRecognitionRequest> shownRequest() const;
    std::shared_ptr<platform::NSTimer> countdown() const;
    // The microphone takes the run's audio and tasks follow one another: recording, or the time is
    // up and the task at the mark still listens. What "a run is recording" means to the screens.
    bool recording() const;

    // The views.
    // The run was stopped (by the person, a leaving, a failure, a quit), not run out of time.
    bool isStopped() const;
    // The person's stop awaits its last words and the progress alert shows.
    bool isFinalStopped() const { return stopAlertPending_; }
    // The current task's text is in the transcript.
    std::int64_t countClipboard() const { return taskAppended_ ? 1 : 0; }
    std::int64_t timeLeft() const { return timeLeft_; }

    std::uint64_t generation() const { return generation_; }
    int failedTasksInARow() const { return failedTasksInARow_; }

private:
    friend class DictationLoop;
    run::Hearing* hearing() { return const_cast<run::Hearing*>(std::as_const(*this).hearing()); }
    const run::Left* left() const;
    run::Left* left() { return const_cast<run::Left*>(std::as_const(*this).left()); }
    bool released() const { return left() && left()->released; }
    // The Save's wish, in the phases that can hold one.
    const bool* saveWhenRunEnds() const;
    bool* saveWhenRunEnds() { return const_cast<bool*>(std::as_const(*this).saveWhenRunEnds()); }
    bool saveWaits() const { return saveWhenRunEnds() && *saveWhenRunEnds(); }
    // What a transition hands on from the phase it leaves.
    run::Hearing takeHearing();
    run::Left takeLeft();
    bool takeSaveWish();

    RunPhase phase_ = run::Idle{};
    std::int64_t timeLeft_;
    bool stopAlertPending_ = false;
    bool taskAppended_ = false;
    int failedTasksInARow_ = 0;
    // Bumped by every task's start and by the ends that drop what is still on its way.
    std::uint64_t generation_ = 0;
};

// A field read under its old name; only the run's transitions change what it shows.
template <typename T> class RunView {
public:
    RunView(const RunState& state, T (RunState::*get)() const) : state_(state), get_(get) {}
    RunView(const RunView&) = delete;
    RunView& operator=(const RunView&) = delete;
    operator T() const { return (state_.*get_)(); }

private:
    const RunState& state_;
    T (RunState::*get_)() const;
};

inline bool RunState::recording() const {
    if (is<run::Recording>()) return true;
    const auto* stop = stopping();
    return stop && stop->mark.has_value();
}

inline const run::Hearing* RunState::hearing() const {
    return std::visit(
        [](const auto& phase) -> const run::Hearing* {
            if constexpr (requires { phase.hearing; })
                return &phase.hearing;
            else
                return nullptr;
        },
        phase_);
}

inline const run::Left* RunState::left() const {
    if (auto* stop = std::get_if<run::Stopping>(&phase_)) return &stop->left;
    if (auto* quit = std::get_if<run::Quitting>(&phase_)) return &quit->left;
    return nullptr;
}

inline const bool* RunState::saveWhenRunEnds() const {
    if (const auto* stop = std::get_if<run::Stopping>(&phase_)) return &stop->saveWhenRunEnds;
    if (const auto* failing = std::get_if<run::EndingOnFailure>(&phase_)) return &failing->saveWhenRunEnds;
    return nullptr;
}

inline run::Hearing RunState::takeHearing() {
    auto* heard = hearing();
    return heard ? std::move(*heard) : run::Hearing{};
}

inline run::Left RunState::takeLeft() {
    auto* kept = left();
    return kept ? std::exchange(*kept, run::Left{}) : run::Left{};
}

inline bool RunState::takeSaveWish() {
    auto* wish = saveWhenRunEnds();
    return wish && std::exchange(*wish, false);
}

inline std::shared_ptr<platform::SFSpeechRecognitionTask> RunState::shownTask() const {
    const auto* heard = hearing();
    return heard && !released() ? heard->task : nullptr;
}

inline std::shared_ptr<platform::SFSpeechAudioBufferRecognitionRequest> RunState::shownRequest() const {
    const auto* heard = hearing();
    return heard && !released() ? heard->request : nullptr;
}

inline std::shared_ptr<platform::NSTimer> RunState::countdown() const {
    const auto* recording = std::get_if<run::Recording>(&phase_);
    return recording ? recording->countdown : nullptr;
}

inline bool RunState::isStopped() const {
    if (const auto* idle = std::get_if<run::Idle>(&phase_)) return idle->stopped;
    if (const auto* stop = stopping()) return stop->cause != run::StopCause::timeUp;
    return !is<run::Recording>();
}

} // namespace quillora
