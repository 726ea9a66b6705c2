// Makes the tutorial video of resources/: a few slides, each one of our bundle pictures with a
// written caption on a colour of its own, and a bar along the bottom that shows how far the video
// has got. MPEG-4 video in an MP4 file, 640 x 360 at 15 frames per second.
#include <cairo.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 360, kFps = 15;
constexpr double kSlideSeconds = 2.0;

struct Slide {
    const char* picture;
    const char* caption;
    double r, g, b; // background
};

// The background colours are far apart so that a test can tell the slides by any corner pixel.
const std::vector<Slide> kSlides = {
    {"settings2.png", "Quillora in one minute", 0.12, 0.35, 0.75},
    {"Play.png", "1. Pick a language, then tap the record button", 0.75, 0.20, 0.20},
    {"notes_t.png", "2. Speak: your words appear as you talk", 0.15, 0.55, 0.25},
    {"command_list.png", "3. Say \"comma\" or \"new line\" to punctuate", 0.55, 0.25, 0.65},
    {"PDF_icon.png", "4. Save, share or pour it into a PDF", 0.85, 0.55, 0.10},
};

void drawSlide(cairo_t* cr, const Slide& slide, const std::string& resources, double progress) {
    cairo_set_source_rgb(cr, slide.r, slide.g, slide.b);
    cairo_paint(cr);
    cairo_surface_t* picture = cairo_image_surface_create_from_png((resources + "/" + slide.picture).c_str());
    if (cairo_surface_status(picture) == CAIRO_STATUS_SUCCESS) {
        double w = cairo_image_surface_get_width(picture), h = cairo_image_surface_get_height(picture);
        double scale = 150.0 / std::max(w, h);
        cairo_save(cr);
        cairo_translate(cr, (kWidth - w * scale) / 2, 40);
        cairo_scale(cr, scale, scale);
        cairo_set_source_surface(cr, picture, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
    } else {
        std::fprintf(stderr, "make-tutorial-video: cannot read %s\n", slide.picture);
    }
    cairo_surface_destroy(picture);

    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans Bold 22");
    pango_layout_set_font_description(layout, font);
    pango_layout_set_width(layout, (kWidth - 60) * PANGO_SCALE);
    pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
    pango_layout_set_text(layout, slide.caption, -1);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, 30, 220);
    pango_cairo_show_layout(cr, layout);
    pango_font_description_free(font);
    g_object_unref(layout);

    cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
    cairo_rectangle(cr, 0, kHeight - 12, kWidth, 12);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, 0, kHeight - 12, kWidth * progress, 12);
    cairo_fill(cr);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-tutorial-video RESOURCES OUTPUT.mp4\n");
        return 2;
    }
    gst_init(&argc, &argv);
    std::string resources = argv[1];
    GError* error = nullptr;
    std::string description = "appsrc name=src format=time ! videoconvert ! video/x-raw,format=I420 ! "
                              "avenc_mpeg4 name=enc bitrate=350000 gop-size=15 max-bframes=0 ! mp4mux faststart=true ! filesink name=out";
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline) {
        std::fprintf(stderr, "make-tutorial-video: %s\n", error ? error->message : "no pipeline");
        return 1;
    }
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    g_object_set(out, "location", argv[2], nullptr);
    gst_object_unref(out);
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width", G_TYPE_INT, kWidth,
                                        "height", G_TYPE_INT, kHeight, "framerate", GST_TYPE_FRACTION, kFps, 1,
                                        nullptr);
    g_object_set(src, "caps", caps, nullptr);
    gst_caps_unref(caps);
    // This encoder hands its pictures on without timestamps; with no B-frames they leave in the
    // order they came, so the n-th picture out is the n-th frame.
    GstElement* encoder = gst_bin_get_by_name(GST_BIN(pipeline), "enc");
    GstPad* encoded = gst_element_get_static_pad(encoder, "src");
    gst_pad_add_probe(
        encoded, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad* pad, GstPadProbeInfo* info, gpointer) -> GstPadProbeReturn {
            static guint64 n = 0;
            // Times count from the start of the segment the encoder announced.
            GstClockTime start = 0;
            if (GstEvent* event = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0)) {
                const GstSegment* segment = nullptr;
                gst_event_parse_segment(event, &segment);
                start = segment->start;
                gst_event_unref(event);
            }
            GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
            GST_BUFFER_PTS(buffer) = GST_BUFFER_DTS(buffer) = start + gst_util_uint64_scale(n++, GST_SECOND, kFps);
            GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, kFps);
            GST_PAD_PROBE_INFO_DATA(info) = buffer;
            return GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
    gst_object_unref(encoded);
    gst_object_unref(encoder);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);

    const int frames = static_cast<int>(kSlides.size() * kSlideSeconds * kFps);
    for (int i = 0; i < frames; ++i) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
        cairo_t* cr = cairo_create(surface);
        const Slide& slide = kSlides[static_cast<std::size_t>(i / (kSlideSeconds * kFps))];
        drawSlide(cr, slide, resources, static_cast<double>(i + 1) / frames);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, static_cast<gsize>(kWidth * 4 * kHeight), nullptr);
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_WRITE);
        for (int y = 0; y < kHeight; ++y)
            std::memcpy(map.data + y * kWidth * 4, cairo_image_surface_get_data(surface) + y * stride, kWidth * 4);
        gst_buffer_unmap(buffer, &map);
        cairo_surface_destroy(surface);
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(static_cast<guint64>(i), GST_SECOND, kFps);
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, kFps);
        if (gst_app_src_push_buffer(GST_APP_SRC(src), buffer) != GST_FLOW_OK) {
            std::fprintf(stderr, "make-tutorial-video: the encoder refused frame %d\n", i);
            return 1;
        }
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(bus, GST_CLOCK_TIME_NONE,
                                                 static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    int rc = 0;
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
        gst_message_parse_error(msg, &error, nullptr);
        std::fprintf(stderr, "make-tutorial-video: %s\n", error->message);
        rc = 1;
    }
    gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(src);
    gst_object_unref(pipeline);
    if (rc == 0) std::printf("wrote %s (%d frames)\n", argv[2], frames);
    return rc;
}
