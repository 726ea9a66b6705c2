#pragma once
// What a dictation run is doing, as one value. The loop owns it and changes it only through its
// named transitions (a start, a task's start and end, the person's stop, a leaving, the end of the
// run's time, a failure, a quit, the run's end); the fields the screens read under their old names
// (isStopped, isFinalStopped, countClipboard, timeLeft) are views of it that nothing writes.
//
//   idle --start--> recording --stop / leaving / time up--> stopping --last task ends--> idle
//                       |  \--five failures / recognizer gone--> ending on a failure --> idle
//                       \--quit (from any phase with a task)--> quitting --> idle

#include <cstdint>
#include <optional>
#include <variant>

namespace quillora {

namespace run {

// No run. Remembers whether the last one was stopped rather than run out of time.
struct Idle {
    bool stopped = false;
};
// Tasks listen one after another while the microphone takes the run's audio.
struct Recording {};
// The audio has an end, or will have one where the task listening at the mark ends: the tasks hear
// up to it and none follows.
enum class StopCause { button, leaving, timeUp };
struct Stopping {
    StopCause cause;
    // The end of the run's time: where the capture stood when the countdown reached zero. The run's
    // audio ends where the task that was listening there ends, however far behind it runs.
    std::optional<std::int64_t> mark;
};
// Recognition failed for good (errors in a row, the recognizer gone): the run ends with its task.
struct EndingOnFailure {};
// The application ends: what the tasks heard is appended within the termination's wait.
struct Quitting {};

} // namespace run

using RunPhase = std::variant<run::Idle, run::Recording, run::Stopping, run::EndingOnFailure, run::Quitting>;

class RunState {
public:
    explicit RunState(std::int64_t runLength) : timeLeft_(runLength) {}

    const RunPhase& phase() const { return phase_; }
    template <typename Phase> bool is() const { return std::holds_alternative<Phase>(phase_); }
    const run::Stopping* stopping() const { return std::get_if<run::Stopping>(&phase_); }
    // Tasks follow one another: recording, or the time is up and the task at the mark still listens.
    bool goesOn() const;

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

inline bool RunState::goesOn() const {
    if (is<run::Recording>()) return true;
    const auto* stop = stopping();
    return stop && stop->mark.has_value();
}

inline bool RunState::isStopped() const {
    if (const auto* idle = std::get_if<run::Idle>(&phase_)) return idle->stopped;
    if (const auto* stop = stopping()) return stop->cause != run::StopCause::timeUp;
    return !is<run::Recording>();
}

} // namespace quillora
