#pragma once
// Dispatch queues and the main operation queue. The main queue and the main operation queue put
// their work on the main run loop; a global queue runs work on a background thread.

#include <functional>
#include <memory>

namespace platform {

// How soon a person waits for a global queue's work. Each class has a worker of its own, so that
// seconds of work someone watches a spinner for never hold up the short answers of the default
// queue (authorization, permission), and neither waits behind another program (a mail client) that
// takes as long as it likes to answer a utility's work. Background is for saves nobody waits
// for (the preferences), which may take seconds on a busy disk.
enum class DispatchQoS { Default, UserInitiated, Utility, Background };

class DispatchQueue {
public:
    using Block = std::function<void()>;

    static DispatchQueue& main();
    // A background queue: blocks run in order on one worker thread, off the main thread.
    static DispatchQueue& global(DispatchQoS qos = DispatchQoS::Default);

    void async(Block block);
    // Background queues only: runs `work` on this queue, then `completion` on the main run loop.
    // `completion` is only ever run and destroyed on the main thread, so it may hold views and
    // screens; `work` must hold nothing the main thread uses meanwhile. Until `completion` is queued
    // the main loop counts this as outside work, so that a virtual clock waits for it instead of
    // running past it; the program's end waits for it too unless `forTheEndToo` is false (work
    // whose result is only shown).
    void asyncThenMain(Block work, Block completion, bool forTheEndToo = true);
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
