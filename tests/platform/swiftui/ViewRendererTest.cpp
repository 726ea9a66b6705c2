// What the declarative renderer puts in pixels: the adaptive colours in each scheme.
#include <cairo.h>

#include <cstdint>
#include <filesystem>

#include <unistd.h>

#include "platform/swiftui/TextSetter.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewLayout.h"
#include "platform/swiftui/ViewRenderer.h"
#include "platform/uikit/UIImage.h"
#include "tests/support/PlatformTest.h"

using namespace platform::swiftui;

namespace {

struct Root {
    AnyView content;
    AnyView body() const { return content; }
};

// The brightest and darkest grey drawn in a 300 x 60 picture of `view` on `background`.
struct Ink {
    int brightest = 0;
    int darkest = 255;
};

Ink draw(AnyView view, ColorScheme scheme, double background) {
    auto host = ViewHost::make(Root{std::move(view)});
    TextSetter text;
    ViewRenderer renderer(text);
    ViewLayout layout(host->tree(), {300, 60}, text, scheme);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 300, 60);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, background, background, background);
    cairo_paint(cr);
    renderer.draw(cr, layout);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    Ink ink;
    const int paper = static_cast<int>(background * 255);
    for (int y = 0; y < 60; ++y) {
        auto row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                                          y * cairo_image_surface_get_stride(surface));
        for (int x = 0; x < 300; ++x) {
            const int grey = static_cast<int>((row[x] >> 8) & 0xff);
            if (grey == paper) continue;
            ink.brightest = std::max(ink.brightest, grey);
            ink.darkest = std::min(ink.darkest, grey);
        }
    }
    cairo_surface_destroy(surface);
    return ink;
}

} // namespace

TEST(ViewRendererTest, ThePrimaryColourIsTheSchemesOwnAlsoWhenSetByAModifier) {
    for (auto scheme : {ColorScheme::light, ColorScheme::dark}) {
        const bool dark = scheme == ColorScheme::dark;
        for (AnyView label :
             {AnyView(Text("Label").font(Font::system(30))),
              AnyView(VStack({Text("Label").font(Font::system(30))}).foregroundColor(Color::primary()))}) {
            Ink ink = draw(label, scheme, dark ? 0 : 1);
            if (dark)
                EXPECT_GT(ink.brightest, 200) << "white on the dark sheet";
            else
                EXPECT_LT(ink.darkest, 60) << "black on the light sheet";
        }
    }
}

TEST(ViewRendererTest, AnImageOfAUIImageDrawsThePixelsItHoldsWithoutReadingItsFileAgain) {
    // A picture decoded once (a large one takes seconds) is drawn from those pixels: with its file
    // gone since, it still shows.
    const auto file =
        std::filesystem::temp_directory_path() / ("quillora-renderer-" + std::to_string(::getpid()) + ".png");
    cairo_surface_t* grey = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 40, 20);
    cairo_t* cr = cairo_create(grey);
    cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
    cairo_paint(cr);
    cairo_destroy(cr);
    ASSERT_EQ(cairo_surface_write_to_png(grey, file.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(grey);
    auto image = std::make_shared<const platform::UIImage>("grey", file);
    ASSERT_NE(image->surface(), nullptr);
    std::filesystem::remove(file);
    const Ink ink = draw(Image(image), ColorScheme::light, 1.0);
    EXPECT_NEAR(ink.darkest, 128, 2) << "the picture is drawn";
}
