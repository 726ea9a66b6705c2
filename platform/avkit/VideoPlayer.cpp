#include "platform/avkit/VideoPlayer.h"

#include <cairo.h>

#include <algorithm>

#include "platform/uikit/TextDrawing.h"

namespace platform::swiftui {

namespace {

// Letterboxes the frame into the rectangle, as the platform's player fits a video.
void drawFrame(cairo_t* cr, CGSize box, AVPlayer& player) {
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, 0, 0, box.width, box.height);
    cairo_fill(cr);
    // A video that cannot be played says so where its picture would be.
    auto item = player.currentItem();
    if (item && item->status() == AVPlayerItemStatus::Failed) {
        TextStyle style;
        style.color = UIColor::whiteColor();
        style.alignment = NSTextAlignment::Center;
        style.font = UIFont::boldSystemFontOfSize(17);
        const double margin = 16, width = std::max(0.0, box.width - 2 * margin);
        const double top = box.height / 2 - TextDrawing::lineHeight(style.font) * 1.5;
        const double used = TextDrawing::draw(cr, "This video cannot be played",
                                              {margin, top, width, box.height - top}, style);
        if (const auto& error = item->error()) {
            style.font = UIFont::systemFontOfSize(13);
            style.color = UIColor::lightGrayColor();
            TextDrawing::draw(cr, error->localizedDescription,
                              {margin, top + used + 6, width, box.height - top - used - 6}, style);
        }
        cairo_restore(cr);
        return;
    }
    auto frame = player.currentFrame();
    if (frame && frame->width > 0 && frame->height > 0) {
        cairo_surface_t* surface = cairo_image_surface_create_for_data(
            frame->pixels.data(), CAIRO_FORMAT_RGB24, frame->width, frame->height, frame->stride);
        double scale = std::min(box.width / frame->width, box.height / frame->height);
        cairo_translate(cr, (box.width - frame->width * scale) / 2, (box.height - frame->height * scale) / 2);
        cairo_scale(cr, scale, scale);
        cairo_set_source_surface(cr, surface, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_paint(cr);
        cairo_surface_destroy(surface);
    }
    cairo_restore(cr);
}

class VideoPlayerImpl : public AnyView::Impl {
public:
    explicit VideoPlayerImpl(std::shared_ptr<AVPlayer> player) : player_(std::move(player)) {}
    NodePtr build(const BuildContext& ctx) const override {
        NodePtr node = detail::makeNode("VideoPlayer", ctx);
        auto item = player_ ? player_->currentItem() : nullptr;
        bool ready = item && item->status() == AVPlayerItemStatus::ReadyToPlay;
        node->props = {{"title", std::string("Video")},
                       {"status", std::string(!item                                          ? "none"
                                              : ready                                        ? "ready"
                                              : item->status() == AVPlayerItemStatus::Failed ? "failed"
                                                                                             : "loading")}};
        if (item && item->error()) node->props.emplace_back("error", item->error()->localizedDescription);
        if (ready) {
            node->props.emplace_back("duration", item->duration());
            node->props.emplace_back("width", item->presentationSize().width);
            node->props.emplace_back("height", item->presentationSize().height);
            node->props.emplace_back("playing", player_->rate() != 0);
        }
        node->attachment = player_;
        std::weak_ptr<AVPlayer> weak = player_;
        node->drawContent = [weak](cairo_t* cr, CGSize size) {
            if (auto p = weak.lock()) drawFrame(cr, size, *p);
        };
        // The player's own control: a press plays or pauses.
        if (ready)
            node->action = [weak] {
                auto p = weak.lock();
                if (!p) return;
                if (p->rate() != 0)
                    p->pause();
                else
                    p->play();
            };
        return node;
    }

private:
    std::shared_ptr<AVPlayer> player_;
};

} // namespace

AnyView VideoPlayer(std::shared_ptr<AVPlayer> player) {
    return AnyView(std::make_shared<VideoPlayerImpl>(std::move(player)));
}

std::shared_ptr<AVPlayer> videoPlayerOf(const Node& node) {
    if (node.kind != "VideoPlayer") return nullptr;
    auto held = std::any_cast<std::shared_ptr<AVPlayer>>(&node.attachment);
    return held ? *held : nullptr;
}

} // namespace platform::swiftui
