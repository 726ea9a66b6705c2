// The golden-picture comparison: blind to what font hinting and anti-aliasing change, not to a
// control that moved, went missing or changed colour.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <cairo.h>
#include <pango/pangocairo.h>

#include "platform/foundation/FontLock.h"
#include "tests/support/ImageCompare.h"
#include "tests/support/PlatformTest.h"

using quillora::test::compareImages;
using quillora::test::compareWithGolden;

namespace {

struct Scene {
    double textShift = 0; // fractions of a pixel, as another rasteriser may place glyphs
    cairo_hint_style_t hinting = CAIRO_HINT_STYLE_NONE;
    double buttonX = 40;
    double red = 0.9;
    bool smallControl = true;
};

// A 390 x 300 point screen at scale 2: two lines of text, a button and a 20-point control.
void draw(const Scene& scene, const std::filesystem::path& path) {
    platform::FontLock::Guard fonts;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 780, 600);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, 2, 2);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, scene.hinting);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout), options);
    PangoFontDescription* font = pango_font_description_from_string("Sans 17px");
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, "The quick brown fox jumps over\nthe lazy dog 0123456789", -1);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, 20 + scene.textShift, 20);
    pango_cairo_show_layout(cr, layout);
    pango_font_description_free(font);
    cairo_font_options_destroy(options);
    g_object_unref(layout);
    cairo_set_source_rgb(cr, scene.red, 0.2, 0.2);
    cairo_rectangle(cr, scene.buttonX, 120, 120, 44);
    cairo_fill(cr);
    if (scene.smallControl) {
        cairo_set_source_rgb(cr, 0.1, 0.4, 0.9);
        cairo_arc(cr, 300, 220, 10, 0, 6.3);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
}

class ImageCompareTest : public quillora::test::PlatformTest {};

TEST_F(ImageCompareTest, RenderingNoiseMatchesButMovedMissingAndRecolouredControlsDoNot) {
    const auto expected = home / "expected.png";
    draw({}, expected);
    auto check = [&](const Scene& scene, const std::string& name) {
        const auto actual = home / (name + ".png");
        draw(scene, actual);
        return compareImages(actual, expected);
    };
    EXPECT_TRUE(check({}, "same").matches);
    Scene hinted;
    hinted.hinting = CAIRO_HINT_STYLE_FULL;
    auto result = check(hinted, "hinted");
    EXPECT_TRUE(result.matches) << result.message;
    Scene shifted;
    shifted.textShift = 0.4;
    result = check(shifted, "shifted");
    EXPECT_TRUE(result.matches) << result.message;

    Scene moved;
    moved.buttonX = 50;
    EXPECT_FALSE(check(moved, "moved").matches) << "a button 10 points to the right";
    Scene recoloured;
    recoloured.red = 0.6;
    EXPECT_FALSE(check(recoloured, "recoloured").matches) << "a darker button";
    Scene missing;
    missing.smallControl = false;
    result = check(missing, "missing");
    EXPECT_FALSE(result.matches) << "a 20-point control gone";
    EXPECT_NE(result.message.find("differs from"), std::string::npos);
}

TEST_F(ImageCompareTest, AMismatchLeavesTheActualAndADifferenceBesideTheGoldenAndUpdatingRewritesIt) {
    const auto golden = home / "goldens" / "screen.png";
    const auto actual = home / "actual.png";
    Scene scene;
    draw(scene, actual);
    unsetenv("QUILLORA_UPDATE_GOLDENS");
    auto result = compareWithGolden(actual, golden);
    EXPECT_FALSE(result.matches) << "no golden yet";
    EXPECT_TRUE(std::filesystem::exists(home / "goldens" / "screen.actual.png"));

    setenv("QUILLORA_UPDATE_GOLDENS", "1", 1);
    result = compareWithGolden(actual, golden);
    EXPECT_TRUE(result.matches) << result.message;
    unsetenv("QUILLORA_UPDATE_GOLDENS");
    ASSERT_TRUE(std::filesystem::exists(golden));
    EXPECT_TRUE(compareWithGolden(actual, golden).matches);
    EXPECT_FALSE(std::filesystem::exists(home / "goldens" / "screen.actual.png")) << "a match tidies up";

    scene.buttonX = 200;
    draw(scene, actual);
    result = compareWithGolden(actual, golden);
    EXPECT_FALSE(result.matches);
    EXPECT_TRUE(std::filesystem::exists(home / "goldens" / "screen.actual.png"));
    EXPECT_TRUE(std::filesystem::exists(home / "goldens" / "screen.diff.png"));
    // A picture of another size never matches.
    cairo_surface_t* small = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 10, 10);
    cairo_surface_write_to_png(small, actual.c_str());
    cairo_surface_destroy(small);
    result = compareWithGolden(actual, golden);
    EXPECT_FALSE(result.matches);
    EXPECT_NE(result.message.find("size"), std::string::npos);
}

} // namespace
