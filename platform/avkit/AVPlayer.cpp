#include "platform/avkit/AVPlayer.h"

#include <algorithm>

#include "platform/foundation/RunLoop.h"
#include "platform/uikit/DesktopServices.h"

namespace platform {

std::shared_ptr<AVPlayer> AVPlayer::playerWithURL(const NSURL& url) {
    return playerWithPlayerItem(AVPlayerItem::playerItemWithURL(url));
}

std::shared_ptr<AVPlayer> AVPlayer::playerWithPlayerItem(std::shared_ptr<AVPlayerItem> item) {
    return std::shared_ptr<AVPlayer>(new AVPlayer(std::move(item)));
}

AVPlayer::~AVPlayer() {
    if (frameTimer_) frameTimer_->invalidate();
}

double AVPlayer::currentTime() const {
    double duration = item_ ? item_->duration() : 0;
    double t = anchorTime_ + (rate_ != 0 ? (RunLoop::main().now() - anchorClock_) * rate_ : 0);
    return std::clamp(t, 0.0, duration);
}

double AVPlayer::rate() const {
    // A video that reached its end has stopped.
    if (rate_ != 0 && item_ && currentTime() >= item_->duration()) return 0;
    return rate_;
}

void AVPlayer::play() {
    if (!item_ || item_->status() != AVPlayerItemStatus::ReadyToPlay) return;
    double t = currentTime();
    if (t >= item_->duration()) t = 0; // played to the end: start over
    anchorTime_ = t;
    anchorClock_ = RunLoop::main().now();
    rate_ = 1;
    updateTimer();
}

void AVPlayer::pause() {
    anchorTime_ = currentTime();
    anchorClock_ = RunLoop::main().now();
    rate_ = 0;
    updateTimer();
}

void AVPlayer::seekToTime(double seconds) {
    anchorTime_ = std::clamp(seconds, 0.0, item_ ? item_->duration() : 0.0);
    anchorClock_ = RunLoop::main().now();
}

std::optional<VideoFrame> AVPlayer::currentFrame() {
    if (!item_) return std::nullopt;
    return item_->frameAtTime(currentTime());
}

void AVPlayer::setFrameObserver(std::function<void()> observer) {
    frameObserver_ = std::move(observer);
    updateTimer();
}

void AVPlayer::updateTimer() {
    // In the window every tick is work after which the window draws the next picture; headless
    // nothing ticks, so a virtual clock can still run out of work.
    bool windowRuns = DesktopServices::recording() == nullptr;
    bool wanted = rate_ != 0 && (frameObserver_ || windowRuns);
    if (!wanted) {
        if (frameTimer_) frameTimer_->invalidate();
        frameTimer_.reset();
        return;
    }
    if (frameTimer_) return;
    std::weak_ptr<AVPlayer> weak = weak_from_this();
    frameTimer_ = NSTimer::scheduledTimerWithTimeInterval(1.0 / 30, true, [weak](NSTimer& timer) {
        auto me = weak.lock();
        if (!me) return timer.invalidate();
        if (me->frameObserver_) me->frameObserver_();
        if (me->rate() == 0) {
            me->rate_ = 0;
            me->anchorTime_ = me->item_ ? me->item_->duration() : 0;
            me->updateTimer();
        }
    });
}

} // namespace platform
