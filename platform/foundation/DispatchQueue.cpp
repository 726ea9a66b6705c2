#include "platform/foundation/DispatchQueue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/foundation/Console.h"
#include "platform/foundation/FontLock.h"
#include "platform/foundation/RunLoop.h"

namespace platform {

struct DispatchQueue::Worker {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Block> blocks;
    bool stopping = false;
    std::thread thread;

    Worker() {
        thread = std::thread([this] {
            while (true) {
                Block block;
                {
                    std::unique_lock lock(mutex);
                    cv.wait(lock, [this] { return stopping || !blocks.empty(); });
                    if (blocks.empty()) return;
                    block = std::move(blocks.front());
                    blocks.pop_front();
                }
                block();
            }
        });
    }
    ~Worker() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        cv.notify_all();
        // The block it is running may need the fonts to finish.
        FontLock::Released waiting;
        thread.join();
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
    return qos == DispatchQoS::UserInitiated ? userInitiated : standard;
}

void DispatchQueue::async(Block block) {
    if (isMain_) {
        RunLoop::main().schedule(0, std::move(block));
        return;
    }
    {
        std::lock_guard lock(worker_->mutex);
        worker_->blocks.push_back(std::move(block));
    }
    worker_->cv.notify_one();
}

void DispatchQueue::asyncAfter(double seconds, Block block) {
    if (isMain_) {
        RunLoop::main().schedule(seconds, std::move(block));
        return;
    }
    // Off the main thread a delay is measured on the main clock, then handed to the worker.
    RunLoop::main().schedule(seconds, [this, b = std::move(block)]() mutable { async(std::move(b)); });
}

void DispatchQueue::asyncThenMain(Block work, Block completion) {
    if (isMain_) fatalError("asyncThenMain on the main queue");
    RunLoop::main().beginExternalWork();
    async([work = std::move(work), completion = std::move(completion)]() mutable {
        work();
        // Moved out, not copied: nothing of it is left to be destroyed on this thread. Queued before
        // the count ends, so that a clock waiting for the count finds it.
        RunLoop::main().schedule(0, std::move(completion));
        RunLoop::main().endExternalWork();
    });
}

NSOperationQueue& NSOperationQueue::mainQueue() {
    static NSOperationQueue queue;
    return queue;
}

void NSOperationQueue::addOperationWithBlock(std::function<void()> block) {
    RunLoop::main().schedule(0, std::move(block));
}

} // namespace platform
