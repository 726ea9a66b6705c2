#include "tests/support/PlatformTest.h"

#include <cstdlib>
#include <fstream>
#include <random>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"

namespace quillora::test {

void PlatformTest::SetUp() {
    std::random_device rd;
    home = std::filesystem::temp_directory_path() /
           ("quillora-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    platform::Sandbox::setRoot(home);
    platform::NSBundle::mainBundle().setBundlePath(sourceBundle());
    platform::RunLoop::main().useVirtualClock();
    platform::NSNotificationCenter::defaultCenter().reset();
    platform::resetSharedInstances();
    platform::console().reset();
    platform::console().startCapture();
    taken_ = 0;
}

namespace {
constexpr double kWorkersEndWithin = 5;
} // namespace

void PlatformTest::TearDown() {
    // A worker still running would read what the reset below frees: its work ends first. One that
    // never ends (a test's stuck worker) holds the end up only so long.
    platform::RunLoop::main().awaitExternalWork(kWorkersEndWithin);
    platform::resetSharedInstances();
    platform::NSNotificationCenter::defaultCenter().reset();
    platform::RunLoop::main().useVirtualClock();
    platform::console().reset();
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
}

void PlatformTest::advance(double seconds) {
    platform::RunLoop::main().advance(seconds);
}
void PlatformTest::runUntilIdle() {
    platform::RunLoop::main().runUntilIdle();
}

std::vector<std::string> PlatformTest::consoleLines() const {
    return platform::console().capturedLines();
}

bool PlatformTest::consoleHas(const std::string& line) const {
    return platform::console().contains(line);
}

std::vector<std::string> PlatformTest::takeConsole() {
    auto lines = platform::console().capturedLines();
    std::vector<std::string> fresh(lines.begin() + static_cast<long>(std::min(taken_, lines.size())),
                                   lines.end());
    taken_ = lines.size();
    return fresh;
}

void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::filesystem::path sourceBundle() {
    if (const char* b = std::getenv("QUILLORA_BUNDLE"); b && *b) return b;
    if (const char* s = std::getenv("QUILLORA_SOURCE"); s && *s)
        return std::filesystem::path(s) / "resources";
    return "resources";
}

std::filesystem::path sourceTree() {
    if (const char* s = std::getenv("QUILLORA_SOURCE"); s && *s) return s;
    return ".";
}

} // namespace quillora::test
