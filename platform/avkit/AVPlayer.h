#pragma once
// Plays one item. Its position moves with the main run loop's clock while it plays (the virtual
// clock in tests and scripts, the real one in the window), stopping at the end; what is shown is
// the item's frame at that position.

#include <functional>
#include <memory>
#include <optional>

#include "platform/avkit/AVPlayerItem.h"
#include "platform/foundation/NSTimer.h"

namespace platform {

class AVPlayer : public std::enable_shared_from_this<AVPlayer> {
public:
    static std::shared_ptr<AVPlayer> playerWithURL(const NSURL& url);
    static std::shared_ptr<AVPlayer> playerWithPlayerItem(std::shared_ptr<AVPlayerItem> item);
    ~AVPlayer();

    const std::shared_ptr<AVPlayerItem>& currentItem() const { return item_; }
    // A ready item starts playing (rate 1); a failed one stays still.
    void play();
    void pause();
    double rate() const;
    // Seconds from the start of the item.
    double currentTime() const;
    void seekToTime(double seconds);
    std::optional<VideoFrame> currentFrame();

    // Called at the display's pace while playing, so that a view can draw the next frame. With a
    // window the player ticks at that pace by itself; headless only an observer makes it tick (a
    // repeating timer keeps a virtual clock from ever running out of work).
    void setFrameObserver(std::function<void()> observer);

private:
    explicit AVPlayer(std::shared_ptr<AVPlayerItem> item) : item_(std::move(item)) {}
    void updateTimer();

    std::shared_ptr<AVPlayerItem> item_;
    double rate_ = 0;
    // Where the item was when the rate last changed, and the clock then.
    double anchorTime_ = 0;
    double anchorClock_ = 0;
    std::function<void()> frameObserver_;
    std::shared_ptr<NSTimer> frameTimer_;
};

} // namespace platform
