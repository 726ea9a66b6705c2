#pragma once
// A white screen in a key window, drawn into a picture that the tests read back pixel by pixel,
// and touched by a finger where they point.

#include <cstdint>
#include <memory>

#include <cairo.h>

#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

class DrawnScreenTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        window = std::make_shared<platform::UIWindow>();
        root = std::make_shared<platform::UIViewController>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        root->view()->setBackgroundColor(platform::UIColor::whiteColor());
    }
    void TearDown() override {
        if (surface) cairo_surface_destroy(surface);
        PlatformTest::TearDown();
    }

    // Draws the screen at `scale` (pixels a point) and keeps the picture.
    void render(double scale = 1) {
        if (surface) cairo_surface_destroy(surface);
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(390 * scale),
                                             static_cast<int>(844 * scale));
        cairo_t* cr = cairo_create(surface);
        platform::ScreenRenderer::draw(cr, scale);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    // The picture's pixel at (x, y) as 0xRRGGBB.
    std::uint32_t rgb(int x, int y) const {
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        return *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4) & 0xffffff;
    }
    // A finger's tap at a point of the screen, far enough in time from the one before not to be
    // taken for a double tap.
    void tap(platform::CGPoint point) {
        clock += 2;
        platform::ScreenRenderer::sendTouch(platform::UITouchPhase::Began, point, clock);
        platform::ScreenRenderer::sendTouch(platform::UITouchPhase::Ended, point, clock + 0.05);
    }

    std::shared_ptr<platform::UIWindow> window;
    std::shared_ptr<platform::UIViewController> root;
    cairo_surface_t* surface = nullptr;
    double clock = 100;
};

} // namespace quillora::test
