#pragma once
// A virtual X display for the window tests, and what a person does at it through xdotool: find a
// window, click, drag, turn the wheel, press keys, type. Every wait is for a condition (a window
// mapped, a picture shown, a picture that stopped changing, a line logged, a file written) polled
// until a deadline far beyond what a loaded machine takes, so that load only makes a test slower,
// never wrong: the deadline stops a test that hangs and says nothing of how fast anything is.

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/ImageCompare.h"

namespace quillora::test {

// How long a wait for something that is sure to come may last before the test gives it up as
// hung: far beyond what anything takes on a machine with eight busy processes beside the test,
// and well inside a case's own limit.
inline constexpr std::chrono::seconds kHangLimit{180};

// Polls `condition` until it holds (true) or `timeout` has passed (false).
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// A file's content; empty when it cannot be read.
std::string fileContent(const std::filesystem::path& path);
// How often `text` occurs in the file at `path`.
std::size_t occurrences(const std::filesystem::path& path, const std::string& text);

class XvfbSession {
public:
    // Starts a display of 800 x 900 pixels, its logs and captures kept in `folder`. When a tool is
    // missing or the display does not start, `unavailable()` says why.
    explicit XvfbSession(std::filesystem::path folder);
    ~XvfbSession();
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    const std::string& unavailable() const { return unavailable_; }
    const std::string& display() const { return display_; }
    // The environment a program needs to open its window on the display (GTK on X11, drawn by
    // cairo, without accessibility or session buses).
    const std::map<std::string, std::string>& environment() const { return env_; }

    // Ends the display server as a logout does (SIGTERM): its clients lose their connection.
    void endServer();

    // Starts openbox and waits until it manages the screen; false with the reason when it cannot.
    bool startWindowManager(std::string& why);

    // Runs a program on the display to its end; what it printed, or none when it failed.
    std::optional<std::string> run(const std::vector<std::string>& args) const;
    std::optional<std::string> xdotool(std::vector<std::string> args) const;

    // The first window titled exactly `title` (a mapped one when `visible`), once there is one
    // within `timeout`; empty when none came.
    std::string findWindow(const std::string& title, bool visible = false,
                           std::chrono::milliseconds timeout = kHangLimit) const;
    // Whether no (mapped) window titled `title` is left within `timeout`.
    bool windowGone(const std::string& title, std::chrono::milliseconds timeout = kHangLimit) const;
    // The window's size once it has one (a window is made 1 x 1 and sized a moment later).
    std::pair<int, int> windowSize(const std::string& id) const;

    // The window's picture as a PNG at `path`; false when it could not be taken.
    bool capture(const std::string& id, const std::filesystem::path& path) const;
    // Waits for the window to show the picture at `expected`.
    ImageComparison waitForPicture(const std::string& id, const std::filesystem::path& expected,
                                   std::chrono::milliseconds timeout = kHangLimit,
                                   const ImageTolerance& tolerance = {}) const;
    // Waits for the window's picture to differ from `before` (a capture), then to be still (an
    // animation has ended); false when it did not change.
    bool waitForChange(const std::string& id, const std::filesystem::path& before,
                       std::chrono::milliseconds timeout = kHangLimit) const;
    // Waits for the window's picture to be still: the same pixels in kStillCaptures captures in a
    // row. A starved program may show one frame of an animation across two captures; three are
    // rarely all taken before it draws the next.
    static constexpr int kStillCaptures = 3;
    bool waitUntilStill(const std::string& id, std::chrono::milliseconds timeout = kHangLimit) const;

    // The pointer, in pixels of window `id`.
    bool click(const std::string& id, long x, long y) const;
    // Presses at `from`, moves to `to` in `steps` steps and lets go there.
    bool drag(const std::string& id, std::pair<long, long> from, std::pair<long, long> to,
              int steps = 12) const;
    // `notches` of the wheel over (x, y): down the content for a positive count.
    bool wheel(const std::string& id, long x, long y, int notches) const;
    bool key(const std::string& combo) const;
    bool type(const std::string& text) const;

private:
    // Starts a server and waits up to `timeout` for its display; false when none can be started.
    bool startServer(std::chrono::milliseconds timeout);

    std::filesystem::path folder_;
    std::string unavailable_;
    std::string display_;
    std::map<std::string, std::string> env_;
    ChildProcess server_;
    ChildProcess windowManager_;
    mutable int captures_ = 0;
};

} // namespace quillora::test
