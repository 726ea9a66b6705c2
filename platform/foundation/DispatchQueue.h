#pragma once
// Dispatch queues and the main operation queue. The main queue and the main operation queue put
// their work on the main run loop; the global queue runs work on a background thread.

#include <functional>
#include <memory>

namespace platform {

class DispatchQueue {
public:
    using Block = std::function<void()>;

    static DispatchQueue& main();
    // A background queue: blocks run in order on one worker thread, off the main thread.
    static DispatchQueue& global();

    void async(Block block);
    // Main queue only: runs the block `seconds` from now on the main run loop.
    void asyncAfter(double seconds, Block block);

    ~DispatchQueue();

private:
    struct Worker;
    explicit DispatchQueue(bool isMain);
    bool isMain_;
    std::unique_ptr<Worker> worker_;
};

class NSOperationQueue {
public:
    static NSOperationQueue& mainQueue();
    void addOperationWithBlock(std::function<void()> block);

private:
    NSOperationQueue() = default;
};

} // namespace platform
