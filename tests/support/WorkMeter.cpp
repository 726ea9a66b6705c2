#include "tests/support/WorkMeter.h"

#include <time.h>

#include <fstream>
#include <string>

namespace quillora::test {

namespace {

double processorNow() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The kernel's count of bytes passed to read calls ("rchar") in a /proc io file.
std::uint64_t readCount(const char* file) {
    std::ifstream in(file);
    for (std::string name; in >> name;) {
        std::uint64_t value = 0;
        in >> value;
        if (name == "rchar:") return value;
    }
    return 0;
}

std::size_t statusLine(const std::string& name) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(name, 0) == 0) return std::stoul(line.substr(name.size())) * 1024;
    return 0;
}

} // namespace

std::size_t resident() {
    return statusLine("VmRSS:");
}

std::size_t peakResident() {
    return statusLine("VmHWM:");
}

bool resetPeakResident() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

WorkMeter::WorkMeter()
    : processor_(processorNow()), thread_(readCount("/proc/thread-self/io")),
      process_(readCount("/proc/self/io")) {}

double WorkMeter::processorSeconds() const {
    return processorNow() - processor_;
}

std::uint64_t WorkMeter::bytesReadOnThisThread() const {
    return readCount("/proc/thread-self/io") - thread_;
}

std::uint64_t WorkMeter::bytesRead() const {
    return readCount("/proc/self/io") - process_;
}

} // namespace quillora::test
