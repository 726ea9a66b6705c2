#pragma once
// A program the tests start beside themselves (a virtual display, a window manager, the application
// in its window, xdotool): extra environment variables on top of the test's own, standard output
// and error into a log file. Killed when dropped.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace quillora::test {

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Starts `args` (looked up on PATH) with `env` added to the environment; its output goes to
    // `log`. Not running (`running()` false) when it could not start.
    static ChildProcess start(const std::vector<std::string>& args,
                              const std::map<std::string, std::string>& env, const std::string& log);

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // The exit status (128 + signal for a killed one), or -1 when it did not end within `timeout`,
    // in which case it is killed.
    int wait(std::chrono::milliseconds timeout);
    // Whether it has ended by now (its status is then kept for `wait`).
    bool ended();
    void stop();

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

// Whether `program` is an executable on PATH.
bool installed(const std::string& program);

} // namespace quillora::test
