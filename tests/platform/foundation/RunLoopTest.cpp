#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
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

// The program's end waits for the work it needs, not for work whose result is only shown; a
// virtual clock still waits for both.
TEST_F(RunLoopTest, TheEndDoesNotWaitForWorkOnlyShown) {
    std::mutex mutex;
    std::condition_variable cv;
    bool release = false;
    bool shown = false;
    DispatchQueue::global(DispatchQoS::UserInitiated)
        .asyncThenMain(
            [&] {
                std::unique_lock lock(mutex);
                cv.wait(lock, [&] { return release; });
            },
            [&] { shown = true; }, false);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(RunLoop::main().settleExternalWorkForTheEnd(10));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "the end waited";
    EXPECT_FALSE(RunLoop::main().settleExternalWork(0.05)) << "a settle that is not the end's went past it";
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    cv.notify_all();
    EXPECT_TRUE(RunLoop::main().settleExternalWork(30));
    EXPECT_TRUE(shown);
    EXPECT_TRUE(RunLoop::main().settleExternalWorkForTheEnd(0.05));
}

// A test's end waits for the workers without running what they post; a worker's block, and what it
// holds, is gone once its work is counted done, so nothing of it outlives the test.
TEST_F(RunLoopTest, AwaitingOutsideWorkRunsNothingAndFindsTheWorkersBlocksGone) {
    auto held = std::make_shared<int>(0);
    bool completed = false;
    for (auto qos : {DispatchQoS::Default, DispatchQoS::UserInitiated, DispatchQoS::Utility})
        DispatchQueue::global(qos).asyncThenMain([held] { ++*held; }, [&] { completed = true; });
    ASSERT_TRUE(RunLoop::main().awaitExternalWork(30));
    EXPECT_EQ(held.use_count(), 1) << "a block still holds what it was given";
    EXPECT_EQ(*held, 3);
    EXPECT_FALSE(completed) << "awaiting runs nothing";
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(completed);

    RunLoop::main().beginExternalWork();
    EXPECT_FALSE(RunLoop::main().awaitExternalWork(0.05)) << "outstanding work is a time-out";
    RunLoop::main().endExternalWork();
}

// A worker of the decoder's shape: the main loop hands it one input a second (as the microphone's
// deliveries do); it answers each on its own thread. However the time is stepped, every answer
// lands at the moment of its input and inputs never pile up.
TEST_F(RunLoopTest, AdvanceNeverRunsAheadOfOutsideWork) {
    for (double step : {80.0, 1.0}) {
        SCOPED_TRACE("steps of " + std::to_string(step) + " s");
        RunLoop::main().useVirtualClock();
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<double> inputs;
        std::size_t mostWaiting = 0;
        bool done = false;
        std::vector<std::pair<double, double>> answers; // input time, answer time
        std::thread worker([&] {
            while (true) {
                std::unique_lock lock(mutex);
                wake.wait(lock, [&] { return done || !inputs.empty(); });
                if (inputs.empty()) return;
                mostWaiting = std::max(mostWaiting, inputs.size());
                const double at = inputs.front();
                inputs.pop_front();
                lock.unlock();
                // Some work of the worker's own before it answers.
                volatile double sum = 0;
                for (int i = 0; i < 200000; ++i)
                    sum = sum + i;
                DispatchQueue::main().async([&, at] { answers.emplace_back(at, RunLoop::main().now()); });
                RunLoop::main().endExternalWork();
            }
        });
        for (int second = 1; second <= 60; ++second)
            DispatchQueue::main().asyncAfter(second, [&] {
                RunLoop::main().beginExternalWork();
                {
                    std::lock_guard lock(mutex);
                    inputs.push_back(RunLoop::main().now());
                }
                wake.notify_one();
            });
        for (double waited = 0; waited < 80; waited += step)
            advance(step);
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        wake.notify_one();
        worker.join();
        ASSERT_EQ(answers.size(), 60u);
        for (const auto& [input, answer] : answers)
            EXPECT_EQ(answer, input);
        EXPECT_EQ(mostWaiting, 1u);
    }
}
