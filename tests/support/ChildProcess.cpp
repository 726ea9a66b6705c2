#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <thread>

extern char** environ;

namespace quillora::test {

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid_(other.pid_), status_(other.status_) {
    other.pid_ = -1;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        stop();
        pid_ = other.pid_;
        status_ = other.status_;
        other.pid_ = -1;
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    stop();
}

ChildProcess ChildProcess::start(const std::vector<std::string>& args,
                                 const std::map<std::string, std::string>& env, const std::string& log) {
    std::map<std::string, std::string> all;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        auto eq = entry.find('=');
        if (eq != std::string::npos) all[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [k, v] : env)
        all[k] = v;
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : all)
        envStrings.push_back(k + "=" + v);
    std::vector<char*> argv, envp;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : envStrings)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    ChildProcess child;
    if (posix_spawnp(&child.pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) child.pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

bool ChildProcess::ended() {
    if (pid_ <= 0) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return status_;
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!ended()) {
        if (std::chrono::steady_clock::now() >= end) {
            stop();
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status_;
}

void ChildProcess::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

bool installed(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

} // namespace quillora::test
