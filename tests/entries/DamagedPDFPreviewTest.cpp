// The list of saved PDFs previews a huge damaged file as it does any other: the preview comes up at
// once and the screen goes on being drawn and touched while the file is looked at elsewhere, and
// the error page ends it.

#include <cairo.h>

#include <filesystem>

#include "entries/WebViewController_Center.h"
#include "platform/foundation/RunLoop.h"
#include "platform/quicklook/QLPreviewController.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIButton.h"
#include "tests/entries/EntryTestSupport.h"
#include "tests/support/WorkMeter.h"

namespace quillora::test {

using namespace platform;

class DamagedPDFPreviewTest : public EntryTest {
protected:
    // The share of dark pixels (the error page's title) in the screen's document area, drawn now.
    double darkShareOfDocument() {
        const auto png = (home / "screen.png").string();
        EXPECT_FALSE(ScreenRenderer::writePNG(png, 1));
        cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
        const int stride = cairo_image_surface_get_stride(s);
        const int width = cairo_image_surface_get_width(s), height = cairo_image_surface_get_height(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        long dark = 0, all = 0;
        // Below the bar, which holds dark letters of its own.
        for (int y = height / 4; y < height; ++y)
            for (int x = 0; x < width; ++x, ++all) {
                const unsigned char* p = data + y * stride + x * 4;
                if (p[0] < 100 && p[1] < 100 && p[2] < 100) ++dark;
            }
        cairo_surface_destroy(s);
        return all ? double(dark) / double(all) : 0;
    }
};

TEST_F(DamagedPDFPreviewTest, AHugeDamagedFileLeavesTheScreenLiveAndEndsOnTheErrorPage) {
    // Gigabytes of zeros behind a PDF's first line: a copy cut off, a disk that lost its blocks.
    // Sparse, so it costs no room on the disk.
    for (auto [name, length] : {std::pair<std::string, std::uintmax_t>{"Huge.pdf", std::uintmax_t(3) << 30},
                                {"Zeros.pdf", std::uintmax_t(24) << 20}}) {
        SCOPED_TRACE(name);
        nav->popToRootViewControllerAnimated(false);
        runUntilIdle();
        std::filesystem::remove_all(Sandbox::documents());
        writeFile(documents(name), "%PDF-1.7\n");
        std::filesystem::resize_file(documents(name), length);

        auto list = openList("");
        ASSERT_TRUE(std::dynamic_pointer_cast<UIButton>(list->outletNamed("PDFButton"))->tap());
        auto browser = std::dynamic_pointer_cast<WebViewController_Center>(nav->topViewController());
        ASSERT_TRUE(browser);
        const WorkMeter meter;
        ASSERT_TRUE(browser->tableList.lock()->userTapRow({0, 0}));
        auto preview = std::dynamic_pointer_cast<QLPreviewController>(browser->presentedViewController());
        ASSERT_TRUE(preview);
        runUntilIdle();
        // Up without the screen's thread reading the file through: no more of it than tells a PDF.
        EXPECT_LT(meter.bytesReadOnThisThread(), 1u << 20);
        // The preview is up and drawn: a file too large to be opened ends on the error page at once,
        // a damaged one shows its name while it is looked into.
        if (name == "Huge.pdf") {
            EXPECT_GT(darkShareOfDocument(), 0.002);
        } else {
            EXPECT_TRUE(preview->webView()->isLoading());
            EXPECT_LT(darkShareOfDocument(), 0.0005);
        }

        ASSERT_TRUE(RunLoop::main().runUntil([&] { return !preview->webView()->isLoading(); }, 60));
        ASSERT_TRUE(preview->webView()->loadError());
        EXPECT_NE(preview->webView()->loadError()->find("\u201C" + name + "\u201D couldn\u2019t be opened"),
                  std::string::npos);
        EXPECT_FALSE(preview->webView()->pdfPages());
        EXPECT_GT(darkShareOfDocument(), 0.002) << "the error page is drawn";
        EXPECT_TRUE(preview->userDismiss());
        runUntilIdle();
    }
}

} // namespace quillora::test
