// The main thread holds the fonts while it draws (in the window, whenever it works): each way it
// waits for a worker must let them go, or a worker that needs them to finish never does.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>
#include <utility>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FontLock.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {

class FontLockTest : public quillora::test::PlatformTest {};

TEST_F(FontLockTest, EveryWaitOfTheRunLoopLetsAWorkerThatNeedsTheFontsFinish) {
    bool finished = false;
    const std::pair<const char*, std::function<bool()>> waits[] = {
        {"settling outside work", [] { return RunLoop::main().settleExternalWork(30); }},
        {"moving the clock on",
         [&] {
             RunLoop::main().advance(1);
             return finished;
         }},
        {"running until it is done", [&] { return RunLoop::main().runUntil([&] { return finished; }, 1); }},
    };
    for (const auto& [how, wait] : waits) {
        SCOPED_TRACE(how);
        finished = false;
        FontLock::Guard held;
        {
            FontLock::Guard again;
            DispatchQueue::global().asyncThenMain([] { FontLock::Guard fonts; }, [&] { finished = true; });
            EXPECT_TRUE(wait());
            EXPECT_TRUE(finished);
        }
        EXPECT_TRUE(FontLock::isHeld()) << "the fonts are held again as deeply as before the wait";
    }
    EXPECT_FALSE(FontLock::isHeld());
}

// Another thread writing into one folder holds the file manager as long as it writes, and may need
// the fonts to finish; the window's thread, holding them, then asks for another folder.
TEST_F(FontLockTest, AWaitForTheFileManagerLetsTheThreadHoldingItHaveTheFonts) {
    std::filesystem::create_directories(home / "one");
    std::filesystem::create_directories(home / "other");
    auto& files = NSFileManager::defaultManager();
    std::promise<void> holding;
    std::atomic<bool> finished = false;
    std::thread writer([&] {
        auto folder = files.lockFolderOf((home / "one" / "file").string(), 0);
        holding.set_value();
        // Long enough for the window's thread to be waiting for the manager by now.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        FontLock::Guard fonts;
        finished = true;
    });
    // Were the fonts kept through the wait, neither thread would ever go on.
    std::thread watchdog([&] {
        for (int i = 0; i < 200 && !finished; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (finished) return;
        std::fprintf(stderr, "the window's thread kept the fonts while it waited for the file manager\n");
        std::abort();
    });
    holding.get_future().wait();
    {
        FontLock::Guard held;
        auto folder = files.lockFolderOf((home / "other" / "file").string(), 0);
        EXPECT_TRUE(folder.failure.empty()) << folder.failure;
        EXPECT_TRUE(finished);
        EXPECT_TRUE(FontLock::isHeld()) << "the fonts are held again after the wait";
    }
    writer.join();
    watchdog.join();
}

} // namespace
