#include "platform/foundation/Console.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace platform {

void Console::print(std::string_view line) {
    Sink sink;
    {
        std::lock_guard lock(mutex_);
        if (capturing_) {
            captured_.emplace_back(line);
            return;
        }
        sink = sink_;
    }
    if (sink) {
        sink(std::string(line));
    } else {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

void Console::setSink(Sink sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

void Console::startCapture() {
    std::lock_guard lock(mutex_);
    capturing_ = true;
    captured_.clear();
}

std::vector<std::string> Console::capturedLines() const {
    std::lock_guard lock(mutex_);
    return captured_;
}

void Console::clearCaptured() {
    std::lock_guard lock(mutex_);
    captured_.clear();
}

bool Console::contains(std::string_view line) const {
    std::lock_guard lock(mutex_);
    return std::find(captured_.begin(), captured_.end(), line) != captured_.end();
}

void Console::reset() {
    std::lock_guard lock(mutex_);
    sink_ = nullptr;
    capturing_ = false;
    captured_.clear();
}

Console& console() {
    static Console instance;
    return instance;
}

void fatalError(std::string_view message) {
    std::fprintf(stderr, "Fatal error: %.*s\n", static_cast<int>(message.size()), message.data());
    std::fflush(stderr);
    std::abort();
}

} // namespace platform
