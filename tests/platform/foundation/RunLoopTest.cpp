#include <string>
#include <vector>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using quillora::test::PlatformTest;

class RunLoopTest : public PlatformTest {};

TEST_F(RunLoopTest, EqualDeadlinesRunInArrivalOrderAndNestedWorkRunsAfterItsCaller) {
    std::vector<std::string> order;
    DispatchQueue::main().async([&] {
        order.push_back("a");
        DispatchQueue::main().async([&] { order.push_back("a-nested"); });
        order.push_back("a-end");
    });
    NSOperationQueue::mainQueue().addOperationWithBlock([&] { order.push_back("b"); });
    DispatchQueue::main().asyncAfter(0.5, [&] { order.push_back("late"); });
    DispatchQueue::main().async([&] { order.push_back("c"); });
    EXPECT_TRUE(order.empty()) << "nothing runs inside the call that queued it";
    runUntilIdle();
    EXPECT_EQ(order, (std::vector<std::string>{"a", "a-end", "b", "c", "a-nested"}));
    advance(0.49);
    EXPECT_EQ(order.size(), 5u);
    advance(0.01);
    EXPECT_EQ(order.back(), "late");
}

TEST_F(RunLoopTest, AdvanceRunsEachTaskAtItsOwnDeadline) {
    std::vector<double> seen;
    for (double d : {3.0, 1.0, 2.0})
        RunLoop::main().schedule(d, [&] { seen.push_back(RunLoop::main().now()); });
    advance(10);
    EXPECT_EQ(seen, (std::vector<double>{1.0, 2.0, 3.0}));
    EXPECT_DOUBLE_EQ(RunLoop::main().now(), 10.0);
    auto id = RunLoop::main().schedule(1, [&] { seen.push_back(-1); });
    RunLoop::main().cancel(id);
    advance(2);
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(RunLoopTest, RepeatingTimerFiresOnScheduleAndStopsWhenInvalidatedFromItsOwnBlock) {
    int fired = 0;
    std::weak_ptr<NSTimer> weak;
    {
        auto timer = NSTimer::scheduledTimerWithTimeInterval(1.0, true, [&](NSTimer& t) {
            if (++fired == 3) t.invalidate();
        });
        weak = timer;
    }
    EXPECT_FALSE(weak.expired()) << "the run loop keeps a scheduled timer alive";
    advance(0.999);
    EXPECT_EQ(fired, 0);
    advance(0.001);
    EXPECT_EQ(fired, 1);
    advance(10);
    EXPECT_EQ(fired, 3);
    EXPECT_TRUE(weak.expired()) << "an invalidated timer is released";
}

TEST_F(RunLoopTest, OneShotTimerFiresOnceAndInvalidateBeforeItsDeadlineCancelsIt) {
    int a = 0, b = 0;
    auto once = NSTimer::scheduledTimerWithTimeInterval(2.0, false, [&](NSTimer&) { ++a; });
    auto cancelled = NSTimer::scheduledTimerWithTimeInterval(2.0, false, [&](NSTimer&) { ++b; });
    advance(1);
    cancelled->invalidate();
    advance(5);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    EXPECT_FALSE(once->isValid());
}

TEST_F(RunLoopTest, RunUntilWaitsForWorkPostedFromAnotherThread) {
    bool answered = false;
    RunLoop::main().beginExternalWork();
    DispatchQueue::global().async([&] {
        NSOperationQueue::mainQueue().addOperationWithBlock([&] { answered = true; });
        RunLoop::main().endExternalWork();
    });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return answered; }, 5));
}

TEST_F(RunLoopTest, VirtualWallClockAdvancesWithTheLoop) {
    const double start = RunLoop::main().wallTime();
    advance(90);
    EXPECT_DOUBLE_EQ(RunLoop::main().wallTime() - start, 90);
}

TEST_F(RunLoopTest, SettlingWaitsForOtherThreadsWithoutMovingTheVirtualClock) {
    bool answered = false, late = false;
    RunLoop::main().schedule(5, [&] { late = true; });
    RunLoop::main().beginExternalWork();
    DispatchQueue::global().async([&] {
        NSOperationQueue::mainQueue().addOperationWithBlock([&] { answered = true; });
        RunLoop::main().endExternalWork();
    });
    EXPECT_TRUE(RunLoop::main().settleExternalWork(5));
    EXPECT_TRUE(answered);
    EXPECT_FALSE(late) << "work due later on the virtual clock waits for the clock";
    EXPECT_DOUBLE_EQ(RunLoop::main().now(), 0);
}
