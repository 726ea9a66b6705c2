#pragma once
// The console: where screens print their diagnostic lines, and beside it what the program itself
// tells its user (a transcript, a screen printout, the files it wrote). The program sends the two
// to different places (a log file, standard output); tests capture both, in order. fatalError
// stops the program on a state that cannot occur.

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class Console {
public:
    using Sink = std::function<void(const std::string&)>;

    // Prints one line (a newline is added by the sink). A line handed over whole reaches the sink
    // without a copy: the console line of a long list is as long as its file.
    void print(std::string_view line);
    void print(std::string&& line);
    void print(const char* line) { print(std::string_view(line)); }
    // Replaces the sink; an empty sink restores standard output.
    void setSink(Sink sink);

    // Prints one line for the program's user; by default (and with an empty sink) to standard output.
    void printOutput(std::string_view line);
    void setOutputSink(Sink sink);

    // Test helpers: keep every printed line in memory instead of writing it out.
    void startCapture();
    std::vector<std::string> capturedLines() const;
    void clearCaptured();
    bool contains(std::string_view line) const;
    // Restores the default sink and drops captured lines.
    void reset();

private:
    mutable std::mutex mutex_;
    Sink sink_;
    Sink outputSink_;
    bool capturing_ = false;
    std::vector<std::string> captured_;
};

// The shared console of the process.
Console& console();

// Prints "Fatal error: <message>" on standard error and stops the program.
[[noreturn]] void fatalError(std::string_view message);

} // namespace platform
