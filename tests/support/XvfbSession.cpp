#include "tests/support/XvfbSession.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/WindowManagerMessages.h"

using namespace std::chrono_literals;

namespace quillora::test {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(25ms);
    }
}

std::string fileContent(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::size_t occurrences(const std::filesystem::path& path, const std::string& text) {
    const std::string content = fileContent(path);
    std::size_t count = 0;
    for (auto at = content.find(text); at != std::string::npos; at = content.find(text, at + text.size()))
        ++count;
    return count;
}

XvfbSession::XvfbSession(std::filesystem::path folder) : folder_(std::move(folder)) {
    for (const char* program : {"Xvfb", "xdotool", "import"})
        if (!installed(program)) {
            unavailable_ = std::string("the window test needs ") + program + ", which is not installed";
            return;
        }
    std::filesystem::create_directories(folder_);
    // On the shared machine a server now and then never says its display: one that has not within
    // a third of the limit is stopped and another started.
    for (int attempt = 0; attempt < 3 && display_.empty(); ++attempt)
        if (!startServer(kHangLimit / 3)) return;
    if (display_.empty()) {
        unavailable_ = "no virtual display could start (Xvfb: " + fileContent(folder_ / "xvfb.log") + ")";
        return;
    }
    // The cairo renderer draws, so GL is kept off: otherwise GDK loads Mesa's driver to probe it
    // and unloads it at exit, and the leak checker then reports the driver's allocations from
    // a library it can no longer name.
    env_ = {{"DISPLAY", display_},       {"GDK_BACKEND", "x11"}, {"GSK_RENDERER", "cairo"},
            {"GDK_DEBUG", "gl-disable"}, {"NO_AT_BRIDGE", "1"},  {"LANG", "C.UTF-8"},
            {"LC_ALL", "C.UTF-8"},       {"GTK_A11Y", "none"}};
    // GTK's own dialogs (the file chooser, the print dialog) blink their caret while they wait
    // for keys, so they would never be still; a desktop may turn the blinking off, as this one does.
    const auto config = folder_ / "config";
    std::filesystem::create_directories(config / "gtk-4.0");
    std::ofstream(config / "gtk-4.0" / "settings.ini") << "[Settings]\ngtk-cursor-blink = false\n";
    env_["XDG_CONFIG_HOME"] = config.string();
    unsetenv("WAYLAND_DISPLAY");
}

bool XvfbSession::startServer(std::chrono::milliseconds timeout) {
    int fds[2];
    if (pipe(fds) != 0) {
        unavailable_ = "no pipe for the display's number";
        return false;
    }
    // The server picks a free display and writes its number to the pipe once it accepts clients.
    ChildProcess server = ChildProcess::start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                               "800x900x24", "-nolisten", "tcp", "-noreset"},
                                              {}, (folder_ / "xvfb.log").string());
    close(fds[1]);
    std::string number;
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    waitUntil(
        [&] {
            char buffer[16];
            for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
                number.append(buffer, static_cast<std::size_t>(n));
            return number.find('\n') != std::string::npos || server.ended();
        },
        timeout);
    close(fds[0]);
    if (server.running() && number.find('\n') != std::string::npos) {
        server_ = std::move(server);
        display_ = ":" + number.substr(0, number.find('\n'));
    }
    return true;
}

XvfbSession::~XvfbSession() {
    windowManager_.stop();
    server_.stop();
}

void XvfbSession::endServer() {
    if (server_.running() && kill(server_.pid(), SIGTERM) == 0) server_.wait(20s);
    server_.stop();
}

bool XvfbSession::startWindowManager(std::string& why) {
    if (!installed("openbox")) {
        why = "this needs a window manager, and openbox is not installed";
        return false;
    }
    const auto config = folder_ / "wm";
    std::filesystem::create_directories(config);
    auto env = env_;
    env["HOME"] = config.string();
    env["XDG_CONFIG_HOME"] = env["XDG_CACHE_HOME"] = env["XDG_DATA_HOME"] = config.string();
    windowManager_ = ChildProcess::start({"openbox", "--sm-disable"}, env, (folder_ / "wm.log").string());
    if (waitUntil([&] { return windowManager_.ended() || windowManagerRunning(display_); }, kHangLimit) &&
        windowManager_.running())
        return true;
    windowManager_.stop();
    why = "the window manager did not start: " + fileContent(folder_ / "wm.log");
    return false;
}

std::optional<std::string> XvfbSession::run(const std::vector<std::string>& args) const {
    const auto log = folder_ / "tool.out";
    ChildProcess child = ChildProcess::start(args, env_, log.string());
    if (!child.running() || child.wait(kHangLimit) != 0) return std::nullopt;
    return fileContent(log);
}

std::optional<std::string> XvfbSession::xdotool(std::vector<std::string> args) const {
    args.insert(args.begin(), "xdotool");
    return run(args);
}

std::string XvfbSession::findWindow(const std::string& title, bool visible,
                                    std::chrono::milliseconds timeout) const {
    std::vector<std::string> args{"search"};
    if (visible) args.push_back("--onlyvisible");
    args.insert(args.end(), {"--name", "^" + title + "$"});
    std::string id;
    waitUntil(
        [&] {
            if (auto found = xdotool(args); found && !found->empty())
                id = found->substr(0, found->find('\n'));
            return !id.empty();
        },
        timeout);
    return id;
}

bool XvfbSession::windowGone(const std::string& title, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return findWindow(title, true, 0ms).empty(); }, timeout);
}

std::pair<int, int> XvfbSession::windowSize(const std::string& id) const {
    int width = 0, height = 0;
    waitUntil(
        [&] {
            std::stringstream lines(xdotool({"getwindowgeometry", "--shell", id}).value_or(""));
            for (std::string line; std::getline(lines, line);) {
                if (line.rfind("WIDTH=", 0) == 0) width = std::stoi(line.substr(6));
                if (line.rfind("HEIGHT=", 0) == 0) height = std::stoi(line.substr(7));
            }
            return width > 1;
        },
        kHangLimit);
    return {width, height};
}

bool XvfbSession::capture(const std::string& id, const std::filesystem::path& path) const {
    return run({"import", "-window", id, path.string()}).has_value();
}

ImageComparison XvfbSession::waitForPicture(const std::string& id, const std::filesystem::path& expected,
                                            std::chrono::milliseconds timeout,
                                            const ImageTolerance& tolerance) const {
    const auto shot = folder_ / "window.png";
    ImageComparison comparison;
    comparison.message = "the window could not be captured";
    waitUntil(
        [&] {
            if (capture(id, shot)) comparison = compareImages(shot, expected, tolerance);
            return comparison.matches;
        },
        timeout);
    return comparison;
}

bool XvfbSession::waitForChange(const std::string& id, const std::filesystem::path& before,
                                std::chrono::milliseconds timeout) const {
    const auto shot = folder_ / ("change-" + std::to_string(++captures_) + ".png");
    const bool changed = waitUntil([&] { return capture(id, shot) && !samePixels(shot, before); }, timeout);
    return changed && waitUntilStill(id, timeout);
}

bool XvfbSession::waitUntilStill(const std::string& id, std::chrono::milliseconds timeout) const {
    const auto last = folder_ / "still-last.png", next = folder_ / "still-next.png";
    int same = 0;
    bool first = true;
    return waitUntil(
        [&] {
            if (!capture(id, next)) return false;
            same = !first && samePixels(last, next) ? same + 1 : 1;
            first = false;
            std::filesystem::rename(next, last);
            return same >= kStillCaptures;
        },
        timeout);
}

bool XvfbSession::click(const std::string& id, long x, long y) const {
    return xdotool({"mousemove", "--window", id, std::to_string(x), std::to_string(y), "click", "1"})
        .has_value();
}

bool XvfbSession::drag(const std::string& id, std::pair<long, long> from, std::pair<long, long> to,
                       int steps) const {
    std::vector<std::string> args{
        "mousemove", "--window", id, std::to_string(from.first), std::to_string(from.second),
        "mousedown", "1"};
    for (int i = 1; i <= steps; ++i) {
        const long x = from.first + (to.first - from.first) * i / steps;
        const long y = from.second + (to.second - from.second) * i / steps;
        args.insert(args.end(), {"mousemove", "--window", id, std::to_string(x), std::to_string(y)});
    }
    args.insert(args.end(), {"mouseup", "1"});
    return xdotool(args).has_value();
}

bool XvfbSession::wheel(const std::string& id, long x, long y, int notches) const {
    if (!xdotool({"mousemove", "--window", id, std::to_string(x), std::to_string(y)})) return false;
    if (notches == 0) return true;
    return xdotool({"click", "--repeat", std::to_string(std::abs(notches)), "--delay", "15",
                    notches > 0 ? "5" : "4"})
        .has_value();
}

bool XvfbSession::key(const std::string& combo) const {
    return xdotool({"key", "--clearmodifiers", combo}).has_value();
}

bool XvfbSession::type(const std::string& text) const {
    return xdotool({"type", "--delay", "5", text}).has_value();
}

} // namespace quillora::test
