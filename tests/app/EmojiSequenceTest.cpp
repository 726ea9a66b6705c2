// Emoji made of several characters (joined by a zero-width joiner, with a skin tone, a flag's two
// letters, a keycap) are drawn as the one picture the emoji font has for them, by every way text
// reaches a person: the screens' text drawing, the declarative texts, a page shown on screen and a
// page printed. The screens' own texts hold such sequences whole.
#include <gtest/gtest.h>

#include <cairo.h>
#include <pango/pangocairo.h>

#include "platform/foundation/FontLock.h"

#include "platform/swiftui/TextSetter.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/webkit/HTMLDocument.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {

class EmojiSequenceTest : public quillora::test::PlatformTest {};

constexpr double kSize = 40;  // points, drawn at one pixel a point
constexpr int kPicture = 200; // pixels each way

// The ink of a picture drawn on white: how wide it is and how many of its pixels it covers.
// The parts of a sequence set apart are twice as wide as its picture, or (a keycap's digit and
// frame, set as letters) a fraction of its pixels.
struct Ink {
    int width = 0;
    int pixels = 0;
};

Ink inkOf(cairo_surface_t* image) {
    cairo_surface_flush(image);
    const int w = cairo_image_surface_get_width(image), h = cairo_image_surface_get_height(image);
    const int stride = cairo_image_surface_get_stride(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    int left = w, right = -1;
    Ink ink;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* px = data + y * stride + x * 4; // B, G, R
            if (std::min({px[0], px[1], px[2]}) > 235) continue; // paper
            left = std::min(left, x);
            right = std::max(right, x);
            ++ink.pixels;
        }
    ink.width = right >= left ? right - left + 1 : 0;
    return ink;
}

template <typename Draw> Ink drawn(Draw&& draw) {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kPicture, kPicture);
    cairo_t* cr = cairo_create(image);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    draw(cr);
    cairo_destroy(cr);
    const Ink ink = inkOf(image);
    cairo_surface_destroy(image);
    return ink;
}

std::string pageWith(const std::string& sequence) {
    return "<html><body style='margin:0; background:white; font: " + std::to_string(int(kSize)) +
           "pt \"DejaVu Sans\"'><p style='margin:0'>" + sequence + "</p></body></html>";
}

// The sequence as the emoji font draws it, through pango alone, and how many glyphs that takes.
std::pair<Ink, int> asTheFontDrawsIt(const std::string& sequence) {
    int glyphs = 0;
    const Ink ink = drawn([&](cairo_t* cr) {
        FontLock::Guard fonts;
        PangoLayout* layout = pango_layout_new(pango_font_map_create_context(TextDrawing::fontMap()));
        auto description = TextDrawing::fontDescription(UIFont::systemFontOfSize(kSize));
        pango_layout_set_font_description(layout, description.get());
        pango_layout_set_text(layout, sequence.c_str(), -1);
        for (GSList* run = pango_layout_get_line_readonly(layout, 0)->runs; run; run = run->next)
            glyphs += static_cast<PangoGlyphItem*>(run->data)->glyphs->num_glyphs;
        cairo_move_to(cr, 10, 10);
        pango_cairo_show_layout(cr, layout);
        g_object_unref(pango_layout_get_context(layout));
        g_object_unref(layout);
    });
    return {ink, glyphs};
}

TEST_F(EmojiSequenceTest, EverySequenceIsDrawnAsOnePictureEverywhere) {
    const struct {
        const char* what;
        std::string sequence;
    } sequences[] = {
        {"a woman raising her hand (joined)", "\U0001F64B\u200D\u2640\uFE0F"},
        {"a family (joined)", "\U0001F468\u200D\U0001F469\u200D\U0001F467"},
        {"a thumb with a skin tone", "\U0001F44D\U0001F3FD"},
        {"a flag", "\U0001F1EB\U0001F1F7"},
        {"a keycap", "1\uFE0F\u20E3"},
        {"a flag of tags", "\U0001F3F4\U000E0067\U000E0062\U000E0073\U000E0063\U000E0074\U000E007F"},
    };
    const swiftui::TextSetter setter;
    for (const auto& s : sequences) {
        SCOPED_TRACE(s.what);
        const auto [picture, glyphs] = asTheFontDrawsIt(s.sequence);
        ASSERT_EQ(glyphs, 1) << "the emoji font has no picture of it";
        const auto expectOnePicture = [&](const Ink& ink, const std::string& way) {
            EXPECT_NEAR(ink.width, picture.width, picture.width * 0.2) << way << ": drawn in pieces";
            EXPECT_NEAR(ink.pixels, picture.pixels, picture.pixels * 0.25) << way << ": drawn in pieces";
        };
        const std::vector<std::pair<std::string, Ink>> ways{
            {"the screens' text", drawn([&](cairo_t* cr) {
                 TextStyle style;
                 style.font = UIFont::systemFontOfSize(kSize);
                 TextDrawing::draw(cr, s.sequence, {10, 10, kPicture - 20.0, kPicture - 20.0}, style);
             })},
            {"a declarative text", drawn([&](cairo_t* cr) {
                 swiftui::TextStyle style;
                 style.font.size = kSize;
                 setter.draw(cr, {swiftui::TextRun{s.sequence, {}, {}}}, style, {10, 10, kPicture - 20.0, 60},
                             swiftui::Color::black());
             })},
            {"a page on screen", drawn([&](cairo_t* cr) {
                 HTMLDocument page(pageWith(s.sequence));
                 const double height = page.layout(kPicture);
                 page.drawSlice(cr, {0, height});
             })},
        };
        for (const auto& [way, ink] : ways)
            expectOnePicture(ink, way);
        // A page printed: one picture in the PDF, as wide as one emoji on the page.
        const auto pdf = home / "emoji.pdf";
        ASSERT_TRUE(
            renderHTMLToPDF(pageWith(s.sequence), home, pdf, {double(kPicture), double(kPicture)}).ok);
        quillora::test::run("pdftoppm -r 72 -singlefile -png " + quillora::test::quoted(pdf) + " " +
                            quillora::test::quoted(home / "printed"));
        cairo_surface_t* printed = cairo_image_surface_create_from_png((home / "printed.png").c_str());
        ASSERT_EQ(cairo_surface_status(printed), CAIRO_STATUS_SUCCESS);
        expectOnePicture(inkOf(printed), "printed");
        cairo_surface_destroy(printed);
    }
}

} // namespace
