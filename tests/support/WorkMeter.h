#pragma once
// What a piece of work cost, in measures that the machine's load does not change: processor time
// and bytes read. A clock runs on while a test waits for a processor; these do not, so a test can
// tell from them that work was not done (a file not read through, a text not laid out whole, a
// reader not gone quadratic) however busy the machine is.

#include <cstddef>
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

// Resident memory, in bytes: now (VmRSS), and the most since the last reset (VmHWM); 0 when the
// system does not say. Under a sanitizer it also counts shadow memory and freed blocks held back
// from reuse, so only a build without one gives a figure worth comparing.
std::size_t resident();
std::size_t peakResident();
// Starts a new peak at what is resident now; false when the system cannot.
bool resetPeakResident();

} // namespace quillora::test
