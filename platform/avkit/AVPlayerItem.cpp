#include "platform/avkit/AVPlayerItem.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/foundation/Console.h"
#include "platform/foundation/LazyLibrary.h"

// GStreamer is opened when a video is first opened.
#define gst_buffer_map QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_buffer_map)
#define gst_buffer_unmap QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_buffer_unmap)
#define gst_bus_timed_pop_filtered QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_bus_timed_pop_filtered)
#define gst_caps_new_simple QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_caps_new_simple)
#define gst_element_factory_make QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_element_factory_make)
#define gst_element_get_bus QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_element_get_bus)
#define gst_element_query_duration QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_element_query_duration)
#define gst_element_seek_simple QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_element_seek_simple)
#define gst_element_set_state QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_element_set_state)
#define gst_filename_to_uri QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_filename_to_uri)
#define gst_init QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_init)
#define gst_message_parse_error QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_message_parse_error)
#define gst_mini_object_unref QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_mini_object_unref)
#define gst_object_ref_sink QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_object_ref_sink)
#define gst_object_unref QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_object_unref)
#define gst_sample_get_buffer QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_sample_get_buffer)
#define gst_sample_get_caps QUILLORA_LAZY("libgstreamer-1.0.so.0", gst_sample_get_caps)
#define gst_app_sink_get_type QUILLORA_LAZY("libgstapp-1.0.so.0", gst_app_sink_get_type)
#define gst_app_sink_pull_preroll QUILLORA_LAZY("libgstapp-1.0.so.0", gst_app_sink_pull_preroll)
#define gst_video_info_from_caps QUILLORA_LAZY("libgstvideo-1.0.so.0", gst_video_info_from_caps)
// Releases that GStreamer declares as inline functions, which would call the library by name.
#define gst_caps_unref(caps) gst_mini_object_unref(GST_MINI_OBJECT_CAST(caps))
#define gst_message_unref(message) gst_mini_object_unref(GST_MINI_OBJECT_CAST(message))
#define gst_sample_unref(sample) gst_mini_object_unref(GST_MINI_OBJECT_CAST(sample))

namespace platform {

namespace {

constexpr GstClockTime kWait = 10 * GST_SECOND;

void initGStreamer() {
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

// Waits for the pipeline to settle after a state change or a seek: the error text when it fails.
std::optional<std::string> waitSettled(GstElement* pipeline) {
    GstBus* bus = gst_element_get_bus(pipeline);
    std::optional<std::string> failure;
    while (true) {
        GstMessage* msg = gst_bus_timed_pop_filtered(
            bus, kWait,
            static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
        if (!msg) {
            failure = "the decoder did not answer";
            break;
        }
        GstMessageType type = GST_MESSAGE_TYPE(msg);
        if (type == GST_MESSAGE_ERROR) {
            GError* err = nullptr;
            gst_message_parse_error(msg, &err, nullptr);
            failure = err ? err->message : "unknown decoder error";
            if (err) g_error_free(err);
        }
        gst_message_unref(msg);
        break;
    }
    gst_object_unref(bus);
    return failure;
}

} // namespace

std::array<std::uint8_t, 3> VideoFrame::rgbAt(int x, int y) const {
    x = std::clamp(x, 0, std::max(0, width - 1));
    y = std::clamp(y, 0, std::max(0, height - 1));
    const std::uint8_t* p =
        pixels.data() + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 4;
    return {p[2], p[1], p[0]};
}

// playbin decoding into an app sink that keeps the prerolled picture; sound goes nowhere here.
struct AVPlayerItem::Pipeline {
    GstElement* playbin = nullptr;
    GstElement* sink = nullptr; // owned by playbin
    ~Pipeline() {
        if (playbin) {
            gst_element_set_state(playbin, GST_STATE_NULL);
            gst_object_unref(playbin);
        }
    }
};

std::shared_ptr<AVPlayerItem> AVPlayerItem::playerItemWithURL(const NSURL& url) {
    std::shared_ptr<AVPlayerItem> item(new AVPlayerItem(url));
    item->open();
    return item;
}

AVPlayerItem::AVPlayerItem(NSURL url) : url_(std::move(url)) {}
AVPlayerItem::~AVPlayerItem() = default;

void AVPlayerItem::fail(const std::string& reason) {
    status_ = AVPlayerItemStatus::Failed;
    error_ = NSError{"AVFoundationErrorDomain", -11800, reason};
    pipeline_.reset();
    console().print("AVPlayerItem failed to load " + url_.path() + ": " + reason);
}

void AVPlayerItem::open() {
    if (!url_.isFileURL()) return fail("only files can be played");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(url_.path(), ec)) return fail("no such file");
    for (const char* soname : {"libgstreamer-1.0.so.0", "libgstapp-1.0.so.0", "libgstvideo-1.0.so.0"})
        if (auto missing = LazyLibrary::load(soname)) return fail("GStreamer cannot be used: " + *missing);
    initGStreamer();
    auto pipeline = std::make_unique<Pipeline>();
    pipeline->playbin = gst_element_factory_make("playbin", nullptr);
    pipeline->sink = gst_element_factory_make("appsink", nullptr);
    GstElement* audio = gst_element_factory_make("fakesink", nullptr);
    if (!pipeline->playbin || !pipeline->sink || !audio) {
        if (pipeline->sink && !pipeline->playbin) gst_object_unref(pipeline->sink);
        if (audio) gst_object_unref(audio);
        return fail("GStreamer's playback elements are missing");
    }
    gst_object_ref_sink(pipeline->playbin);
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr);
    g_object_set(pipeline->sink, "caps", caps, "sync", FALSE, nullptr);
    gst_caps_unref(caps);
    g_object_set(audio, "sync", FALSE, nullptr);
    gchar* uri = gst_filename_to_uri(url_.path().c_str(), nullptr);
    g_object_set(pipeline->playbin, "uri", uri, "video-sink", pipeline->sink, "audio-sink", audio, nullptr);
    g_free(uri);
    if (gst_element_set_state(pipeline->playbin, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        auto reason = waitSettled(pipeline->playbin);
        return fail(reason.value_or("the file cannot be decoded"));
    }
    if (auto reason = waitSettled(pipeline->playbin)) return fail(*reason);
    gint64 length = 0;
    if (!gst_element_query_duration(pipeline->playbin, GST_FORMAT_TIME, &length) || length <= 0)
        return fail("the file has no duration");
    GstSample* sample = gst_app_sink_pull_preroll(GST_APP_SINK(pipeline->sink));
    if (!sample) return fail("the file has no picture");
    GstVideoInfo info;
    bool ok = gst_video_info_from_caps(&info, gst_sample_get_caps(sample));
    gst_sample_unref(sample);
    if (!ok || info.width <= 0 || info.height <= 0) return fail("the file has no picture");
    duration_ = static_cast<double>(length) / GST_SECOND;
    size_ = CGSize{static_cast<double>(info.width), static_cast<double>(info.height)};
    pipeline_ = std::move(pipeline);
    status_ = AVPlayerItemStatus::ReadyToPlay;
}

std::optional<VideoFrame> AVPlayerItem::frameAtTime(double seconds) {
    if (status_ != AVPlayerItemStatus::ReadyToPlay || !pipeline_) return std::nullopt;
    // The last picture starts a little before the end: ask for it rather than past it.
    seconds = std::clamp(seconds, 0.0, std::max(0.0, duration_ - 0.001));
    if (last_ && std::abs(last_->time - seconds) < 1e-6) return last_;
    auto position = static_cast<gint64>(std::llround(seconds * GST_SECOND));
    if (!gst_element_seek_simple(pipeline_->playbin, GST_FORMAT_TIME,
                                 static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                 position))
        return std::nullopt;
    if (auto reason = waitSettled(pipeline_->playbin)) {
        console().print("AVPlayerItem could not decode " + url_.path() + ": " + *reason);
        return std::nullopt;
    }
    GstSample* sample = gst_app_sink_pull_preroll(GST_APP_SINK(pipeline_->sink));
    if (!sample) return std::nullopt;
    GstVideoInfo info;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    std::optional<VideoFrame> frame;
    if (buffer && gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
        gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        VideoFrame f;
        f.width = info.width;
        f.height = info.height;
        f.stride = info.stride[0];
        f.time = seconds;
        std::size_t bytes = static_cast<std::size_t>(f.stride) * f.height;
        if (map.size >= bytes) {
            f.pixels.assign(map.data, map.data + bytes);
            frame = std::move(f);
        }
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    last_ = frame;
    return frame;
}

} // namespace platform
