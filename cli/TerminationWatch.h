#pragma once
// A script or the demo ended from outside (platform::TerminationSignals) stops where it waits:
// a wait on the real clock returns at once, standard input read through the watch ends, and
// ScriptInterpreter runs no further line. The program then ends as quitting does.

#include <istream>
#include <memory>
#include <streambuf>
#include <thread>

namespace quillora::cli {

// Thrown by ScriptInterpreter::runLine once the end has been asked for: no line runs after it.
struct ProgramEnding {};

class TerminationWatch {
public:
    // Watches for the end while it lives (a thread that sleeps until a signal comes).
    TerminationWatch();
    ~TerminationWatch();
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;

    // Standard input, ending early when the end is asked for.
    std::istream& standardInput() { return input_; }

private:
    class InputBuffer : public std::streambuf {
    protected:
        int_type underflow() override;

    private:
        char buffer_[4096];
    };

    InputBuffer buffer_;
    std::istream input_{&buffer_};
    // Written to let the watching thread go when the watch ends.
    int quit_[2] = {-1, -1};
    std::thread thread_;
};

} // namespace quillora::cli
