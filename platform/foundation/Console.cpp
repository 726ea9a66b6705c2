#include "platform/foundation/Console.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {
void writeLine(std::string_view line, const Console::Sink& sink) {
    if (sink) {
        sink(std::string(line));
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
} // namespace

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
    writeLine(line, sink);
}

void Console::print(std::string&& line) {
    Sink sink;
    {
        std::lock_guard lock(mutex_);
        if (capturing_) {
            captured_.push_back(std::move(line));
            return;
        }
        sink = sink_;
    }
    if (sink)
        sink(line);
    else
        writeLine(line, nullptr);
}

void Console::printOutput(std::string_view line) {
    Sink sink;
    {
        std::lock_guard lock(mutex_);
        if (capturing_) {
            captured_.emplace_back(line);
            return;
        }
        sink = outputSink_;
    }
    writeLine(line, sink);
}

void Console::setOutputSink(Sink sink) {
    std::lock_guard lock(mutex_);
    outputSink_ = std::move(sink);
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
    outputSink_ = nullptr;
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
