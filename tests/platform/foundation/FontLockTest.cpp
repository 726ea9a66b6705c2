// The main thread holds the fonts while it draws (in the window, whenever it works): each way it
// waits for a worker must let them go, or a worker that needs them to finish never does.

#include <functional>
#include <utility>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FontLock.h"
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

} // namespace
