#pragma once
// A video file opened for playing: GStreamer decodes it once to learn its duration and picture
// size (ready), or reports why it cannot (failed, with a console line). Frames are decoded on
// request at any position.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Geometry.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSURL.h"

namespace platform {

enum class AVPlayerItemStatus { Unknown = 0, ReadyToPlay = 1, Failed = 2 };

// One decoded picture: rows of 32-bit pixels in cairo's RGB24 layout (B, G, R, unused in memory).
struct VideoFrame {
    int width = 0;
    int height = 0;
    int stride = 0;
    double time = 0;
    std::vector<std::uint8_t> pixels;

    // The red, green and blue of the pixel at (x, y).
    std::array<std::uint8_t, 3> rgbAt(int x, int y) const;
};

class AVPlayerItem {
public:
    static std::shared_ptr<AVPlayerItem> playerItemWithURL(const NSURL& url);
    ~AVPlayerItem();
    AVPlayerItem(const AVPlayerItem&) = delete;
    AVPlayerItem& operator=(const AVPlayerItem&) = delete;

    AVPlayerItemStatus status() const { return status_; }
    const std::optional<NSError>& error() const { return error_; }
    const NSURL& url() const { return url_; }
    // Seconds; 0 until ready.
    double duration() const { return duration_; }
    // The picture's size in pixels; zero until ready.
    CGSize presentationSize() const { return size_; }

    // The frame shown at `seconds` (clamped to the video); none when the item is not ready or the
    // decoder fails. Asking twice for the same time decodes once.
    std::optional<VideoFrame> frameAtTime(double seconds);

private:
    explicit AVPlayerItem(NSURL url);
    struct Pipeline;
    void open();
    void fail(const std::string& reason);

    NSURL url_;
    AVPlayerItemStatus status_ = AVPlayerItemStatus::Unknown;
    std::optional<NSError> error_;
    double duration_ = 0;
    CGSize size_;
    std::unique_ptr<Pipeline> pipeline_;
    std::optional<VideoFrame> last_;
};

} // namespace platform
