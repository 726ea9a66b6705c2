#include "platform/foundation/DispatchQueue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/foundation/Console.h"
#include "platform/foundation/FontLock.h"
#include "platform/foundation/RunLoop.h"

namespace platform {

namespace {

// One block of work, and for asyncThenMain what the main loop runs after it.
struct WorkItem {
    DispatchQueue::Block work;
    DispatchQueue::Block completion;
    // The main loop counts it as outside work until `completion` is queued.
    bool counted = false;
    // And the program's end waits for it.
    bool forTheEndToo = true;
};

} // namespace

struct DispatchQueue::Worker {
    // What the thread shares with the queue: kept alive by the thread, which may outlive it.
    struct State {
        std::mutex mutex;
        std::condition_variable cv;
        std::deque<WorkItem> items;
        bool stopping = false;
        // A block is running now.
        bool running = false;
        // The queue went while a block ran: whatever that block leaves is never used.
        bool abandoned = false;
    };
    std::shared_ptr<State> state = std::make_shared<State>();
    std::thread thread;

    Worker() {
        thread = std::thread([state = state] {
            while (true) {
                WorkItem item;
                {
                    std::unique_lock lock(state->mutex);
                    state->cv.wait(lock, [&] { return state->stopping || !state->items.empty(); });
                    if (state->items.empty()) return;
                    item = std::move(state->items.front());
                    state->items.pop_front();
                    state->running = true;
                }
                item.work();
                // What the block holds goes as it ends, on this thread: nothing of it is left to a
                // later turn, nor to the program's end.
                item.work = nullptr;
                std::unique_lock lock(state->mutex);
                state->running = false;
                // The program has ended around it: the main loop and whatever the completion holds
                // may be gone. The thread waits for the process to end, touching nothing.
                if (state->abandoned) state->cv.wait(lock, [] { return false; });
                // Moved out, not copied: nothing of the completion is left to be destroyed on this
                // thread. Queued before the count ends, so that a clock waiting for the count finds it.
                if (item.completion) RunLoop::main().schedule(0, std::move(item.completion));
                if (item.counted) RunLoop::main().endExternalWork(item.forTheEndToo);
            }
        });
    }
    // At the program's end a block still running is not waited for: it may never end (a worker
    // stuck on its input), and the program must end all the same once its saves are made.
    ~Worker() {
        bool abandon;
        {
            std::lock_guard lock(state->mutex);
            state->stopping = true;
            abandon = state->abandoned = state->running;
        }
        state->cv.notify_all();
        if (abandon) {
            thread.detach();
        } else {
            // The block it is running may need the fonts to finish.
            FontLock::Released waiting;
            thread.join();
        }
    }

    void add(WorkItem item) {
        {
            std::lock_guard lock(state->mutex);
            state->items.push_back(std::move(item));
        }
        state->cv.notify_one();
    }
};

DispatchQueue::DispatchQueue(bool isMain) : isMain_(isMain) {
    if (!isMain_) worker_ = std::make_unique<Worker>();
}

DispatchQueue::~DispatchQueue() = default;

DispatchQueue& DispatchQueue::main() {
    static DispatchQueue queue(true);
    return queue;
}

DispatchQueue& DispatchQueue::global(DispatchQoS qos) {
    static DispatchQueue standard(false);
    static DispatchQueue userInitiated(false);
    static DispatchQueue utility(false);
    static DispatchQueue background(false);
    switch (qos) {
    case DispatchQoS::Background:
        return background;
    case DispatchQoS::UserInitiated:
        return userInitiated;
    case DispatchQoS::Utility:
        return utility;
    case DispatchQoS::Default:
        break;
    }
    return standard;
}

void DispatchQueue::async(Block block) {
    if (isMain_) {
        RunLoop::main().schedule(0, std::move(block));
        return;
    }
    worker_->add({std::move(block), nullptr, false});
}

void DispatchQueue::asyncAfter(double seconds, Block block) {
    if (isMain_) {
        RunLoop::main().schedule(seconds, std::move(block));
        return;
    }
    // Off the main thread a delay is measured on the main clock, then handed to the worker.
    RunLoop::main().schedule(seconds, [this, b = std::move(block)]() mutable { async(std::move(b)); });
}

void DispatchQueue::asyncThenMain(Block work, Block completion, bool forTheEndToo) {
    if (isMain_) fatalError("asyncThenMain on the main queue");
    RunLoop::main().beginExternalWork(forTheEndToo);
    worker_->add({std::move(work), std::move(completion), true, forTheEndToo});
}

NSOperationQueue& NSOperationQueue::mainQueue() {
    static NSOperationQueue queue;
    return queue;
}

void NSOperationQueue::addOperationWithBlock(std::function<void()> block) {
    RunLoop::main().schedule(0, std::move(block));
}

} // namespace platform
