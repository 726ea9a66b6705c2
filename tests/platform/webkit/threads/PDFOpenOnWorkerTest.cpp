// Large PDFs opened on the worker while the main thread draws the pages of another, as a preview
// over a screen that shows a PDF does: each view gets its own document and (under
// ThreadSanitizer) poppler is never touched by both threads unguarded.

#include <chrono>
#include <filesystem>

#include <cairo.h>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/webkit/HTMLDocument.h"
#include "platform/webkit/PDFPagesView.h"
#include "platform/webkit/WKWebView.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using namespace quillora::test;

namespace {

class PDFOpenOnWorkerTest : public PlatformTest {};

TEST_F(PDFOpenOnWorkerTest, TheMainThreadDrawsOnePDFWhileOthersAreOpenedAndGivenUpOnTheWorker) {
    const auto shown = Sandbox::tmp() / "Shown.pdf";
    std::string html;
    for (int i = 0; i < 80; ++i)
        html += "<p>Line " + std::to_string(i + 1) + " of the page drawn meanwhile.</p>";
    ASSERT_TRUE(renderHTMLToPDF(html, {}, shown).ok);
    const auto damaged = Sandbox::tmp() / "Damaged.pdf";
    writeFile(damaged, "%PDF-1.4\n");
    std::filesystem::resize_file(damaged, 16u << 20);
    const auto sound = Sandbox::tmp() / "Sound.pdf";
    writeFile(sound, paddedPDF(2u << 20));

    auto main = std::make_shared<WKWebView>(CGRect{0, 0, 390, 600});
    main->loadRequest(WKWebView::fileURLForPath(shown));
    runUntilIdle();
    ASSERT_TRUE(main->pdfPages());

    auto preview = std::make_shared<WKWebView>(CGRect{0, 0, 390, 600});
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 780, 1200);
    // Each load: one given up half-way (replaced), one to its end; pages of the other PDF are
    // drawn all the while.
    for (const auto& file : {damaged, sound, damaged}) {
        preview->loadRequest(WKWebView::fileURLForPath(file));
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int frames = 0;
        while (preview->isLoading() && std::chrono::steady_clock::now() < giveUp) {
            cairo_t* cr = cairo_create(surface);
            cairo_scale(cr, 2, 2);
            ScreenRenderer::drawView(cr, *main);
            cairo_destroy(cr);
            main->pdfPages()->userScrollTo({0, double(++frames % 3) * 400});
            RunLoop::main().runUntilIdle();
            if (file == damaged && frames == 2 && preview->isLoading()) break;
        }
    }
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !preview->isLoading(); }, 60));
    cairo_surface_destroy(surface);
    EXPECT_FALSE(preview->pdfPages());
    EXPECT_TRUE(preview->loadError());
    EXPECT_EQ(main->pdfPages()->pageCount(), pdfPageCount(shown));

    preview->loadRequest(WKWebView::fileURLForPath(sound));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !preview->isLoading(); }, 60));
    ASSERT_TRUE(preview->pdfPages());
    EXPECT_EQ(preview->pdfPages()->pageCount(), 1);
}

} // namespace
