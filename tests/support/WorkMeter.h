#pragma once
// What a piece of work cost, in measures that the machine's load does not change: processor time
// and bytes read. A clock runs on while a test waits for a processor; these do not, so a test can
// tell from them that work was not done (a file not read through, a text not laid out whole, a
// reader not gone quadratic) however busy the machine is.

#include <cstdint>

namespace quillora::test {

class WorkMeter {
public:
    // Starts measuring now.
    WorkMeter();

    // Processor seconds every thread of the process has used since.
    double processorSeconds() const;
    // Bytes the calling thread has read (files, pipes, devices) since; it must be the thread that
    // made the meter.
    std::uint64_t bytesReadOnThisThread() const;
    // Bytes every thread of the process has read since.
    std::uint64_t bytesRead() const;

private:
    double processor_;
    std::uint64_t thread_, process_;
};

} // namespace quillora::test
