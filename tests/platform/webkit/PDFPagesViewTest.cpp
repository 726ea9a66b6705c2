// A web view showing a PDF file: its pages drawn one under another, sharp at the pixel density
// they are drawn at, scrolled; and the error page for a file that is not a readable PDF.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdio>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/webkit/HTMLDocument.h"
#include "platform/webkit/PDFPagesView.h"
#include "platform/webkit/WKWebView.h"
#include "tests/support/ImageCompare.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/WorkMeter.h"

using namespace platform;
using namespace quillora::test;

namespace {

const std::filesystem::path kPictures = std::filesystem::path(__FILE__).parent_path() / "pictures";

class PDFPagesViewTest : public PlatformTest {
protected:
    // The view drawn alone at `scale`, as a PNG in the sandbox.
    std::filesystem::path picture(const UIView& view, const std::string& name, double scale = 2) {
        const CGRect f = view.frame();
        cairo_surface_t* surface = cairo_image_surface_create(
            CAIRO_FORMAT_ARGB32, static_cast<int>(f.width() * scale), static_cast<int>(f.height() * scale));
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, scale, scale);
        cairo_translate(cr, -f.minX(), -f.minY());
        ScreenRenderer::drawView(cr, view);
        cairo_destroy(cr);
        auto path = home / (name + ".png");
        EXPECT_EQ(cairo_surface_write_to_png(surface, path.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(surface);
        return path;
    }

    // The share of dark pixels (text) in a PNG's region, in pixels.
    static double darkShare(const std::filesystem::path& png, int x0, int y0, int x1, int y1) {
        cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
        const int stride = cairo_image_surface_get_stride(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        long dark = 0, all = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x, ++all) {
                const auto* p = data + y * stride + x * 4;
                if (p[0] < 100 && p[1] < 100 && p[2] < 100) ++dark;
            }
        cairo_surface_destroy(s);
        return all ? static_cast<double>(dark) / static_cast<double>(all) : 0;
    }

    std::filesystem::path twoPagePDF() {
        std::string html = "<h1>First page</h1>";
        for (int i = 0; i < 60; ++i)
            html += "<p>Line " + std::to_string(i + 1) + " of the essay, long enough to be read.</p>";
        auto pdf = Sandbox::tmp() / "Two pages.pdf";
        EXPECT_TRUE(renderHTMLToPDF(html, {}, pdf).ok);
        return pdf;
    }
};

TEST_F(PDFPagesViewTest, PagesLieOneUnderAnotherAndScrollSharplyIntoView) {
    auto web = std::make_shared<WKWebView>(CGRect{0, 0, 390, 500});
    web->loadRequest(WKWebView::fileURLForPath(twoPagePDF()));
    runUntilIdle();
    auto pages = web->pdfPages();
    ASSERT_TRUE(pages);
    ASSERT_FALSE(web->loadError());
    ASSERT_EQ(pages->pageCount(), 2);
    web->layoutIfNeeded();

    // Each page as wide as the view less the grey margins, the second below the first.
    const CGRect first = pages->pageFrame(0), second = pages->pageFrame(1);
    EXPECT_DOUBLE_EQ(first.width(), 390 - 2 * PDFPagesView::kMargin);
    EXPECT_NEAR(first.height() / first.width(), 841.8 / 595.2, 0.01);
    EXPECT_DOUBLE_EQ(second.minY(), first.maxY() + PDFPagesView::kMargin);
    EXPECT_DOUBLE_EQ(pages->contentSize().height, second.maxY() + PDFPagesView::kMargin);

    auto top = picture(*web, "pdf-first-page");
    EXPECT_GT(darkShare(top, 60, 60, 700, 300), 0.005) << "the first page's text is drawn";
    auto golden = compareWithGolden(top, kPictures / "pdf-first-page.png");
    EXPECT_TRUE(golden.matches) << golden.message;

    // Scrolled down to the second page; the view never leaves its content.
    EXPECT_TRUE(pages->userScrollTo({0, second.minY() - PDFPagesView::kMargin / 2}));
    EXPECT_EQ(pages->firstVisiblePage(), 1);
    auto scrolled = picture(*web, "pdf-second-page");
    EXPECT_GT(darkShare(scrolled, 60, 40, 700, 400), 0.005) << "the second page's text is drawn";
    golden = compareWithGolden(scrolled, kPictures / "pdf-second-page.png");
    EXPECT_TRUE(golden.matches) << golden.message;
    pages->userScrollTo({0, 1e6});
    EXPECT_DOUBLE_EQ(pages->contentOffset().y, pages->contentSize().height - 500);

    // Drawn at three pixels a point, the page is rasterised at that density, not scaled up.
    picture(*web, "pdf-dense", 3);
    EXPECT_LE(pages->cachedPageCount(), 2u);
}

TEST_F(PDFPagesViewTest, AFileThatIsNoPdfShowsTheErrorPageAndSaysWhy) {
    auto broken = Sandbox::tmp() / "Broken.pdf";
    writeFile(broken, "%PDF-1.4\nthis is not a document\n");
    auto web = std::make_shared<WKWebView>(CGRect{0, 0, 390, 500});
    struct Failures : WKNavigationDelegate {
        std::vector<std::string> errors;
        void webView_didFailNavigation_withError(WKWebView&, const std::shared_ptr<WKNavigation>&,
                                                 const std::string& error) override {
            errors.push_back(error);
        }
    };
    auto delegate = std::make_shared<Failures>();
    web->setNavigationDelegate(delegate);
    web->loadRequest(WKWebView::fileURLForPath(broken));
    runUntilIdle();
    EXPECT_FALSE(web->pdfPages());
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_NE(delegate->errors[0].find("\u201CBroken.pdf\u201D"), std::string::npos);
    bool said = false;
    for (const auto& line : consoleLines())
        said = said || line.find("cannot show the PDF " + broken.string()) != std::string::npos;
    EXPECT_TRUE(said);
    // Never a blank: the error page's words are drawn.
    auto shown = picture(*web, "pdf-error");
    EXPECT_GT(darkShare(shown, 0, 0, 780, 1000), 0.002);

    // A good file afterwards replaces the error page with its pages.
    web->loadRequest(WKWebView::fileURLForPath(twoPagePDF()));
    runUntilIdle();
    EXPECT_TRUE(web->pdfPages());
    EXPECT_FALSE(web->loadError());
}

TEST_F(PDFPagesViewTest, ALargeFileOpensOffTheScreenAndAHugeDamagedOneEndsOnTheErrorPage) {
    struct Case {
        std::string name;
        // The file's first bytes; the rest up to `length` are zeros that take no room on the disk.
        std::string head;
        std::uintmax_t length;
        // The error shown, or none for pages.
        std::optional<std::string> error;
        std::string console;
        // Refused by its size alone, before anything is opened.
        bool refusedAtOnce = false;
    };
    const std::vector<Case> cases{
        {"Zeros.pdf", "%PDF-1.4\n", 24u << 20, "isn\u2019t in the correct format.", "cannot show the PDF"},
        {"Huge.pdf", "%PDF-1.4\n", std::uintmax_t(3) << 30, "is too large.",
         "the file is larger than the 128 MB a PDF may have here", true},
        {"Padded.pdf", paddedPDF(3u << 20), 0, std::nullopt, ""},
    };
    struct Outcomes : WKNavigationDelegate {
        std::vector<std::string> seen;
        void webView_didFinishNavigation(WKWebView&, const std::shared_ptr<WKNavigation>&) override {
            seen.push_back("finished");
        }
        void webView_didFailNavigation_withError(WKWebView&, const std::shared_ptr<WKNavigation>&,
                                                 const std::string& error) override {
            seen.push_back(error);
        }
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = Sandbox::tmp() / c.name;
        writeFile(file, c.head);
        if (c.length) std::filesystem::resize_file(file, c.length);
        auto web = std::make_shared<WKWebView>(CGRect{0, 0, 390, 500});
        auto delegate = std::make_shared<Outcomes>();
        web->setNavigationDelegate(delegate);

        // The load returns at once and the screen stays live: it draws (the file's name, or the
        // error page of a file too large to open) while the document is opened elsewhere. Of the
        // file, the screen's thread reads no more than what tells a PDF.
        const quillora::test::WorkMeter meter;
        web->loadRequest(WKWebView::fileURLForPath(file));
        EXPECT_TRUE(web->isLoading());
        EXPECT_FALSE(web->pdfPages());
        EXPECT_EQ(web->loadError().has_value(), c.refusedAtOnce);
        EXPECT_LT(meter.bytesReadOnThisThread(), 64u << 10);
        picture(*web, "pdf-loading");
        runUntilIdle();

        ASSERT_TRUE(RunLoop::main().runUntil([&] { return !web->isLoading(); }, 60));
        if (c.error) {
            EXPECT_FALSE(web->pdfPages());
            ASSERT_TRUE(web->loadError());
            EXPECT_EQ(*web->loadError(),
                      "The file \u201C" + c.name + "\u201D couldn\u2019t be opened because it " + *c.error);
            EXPECT_EQ(delegate->seen, std::vector<std::string>{*web->loadError()});
            bool said = false;
            for (const auto& line : consoleLines())
                said = said || (line.find("cannot show the PDF " + file.string()) != std::string::npos &&
                                line.find(c.console) != std::string::npos);
            EXPECT_TRUE(said);
            EXPECT_GT(darkShare(picture(*web, "pdf-error"), 0, 0, 780, 1000), 0.002)
                << "the error page is drawn";
        } else {
            ASSERT_TRUE(web->pdfPages());
            EXPECT_EQ(web->pdfPages()->pageCount(), 1);
            EXPECT_EQ(delegate->seen, std::vector<std::string>{"finished"});
        }
    }
}

TEST_F(PDFPagesViewTest, ADamagedFileGivenUpStopsBeingOpenedAndTheNextFileComesAtOnce) {
    // Seconds of poppler's searching (about 40 ms a megabyte), were it not given up.
    const auto damaged = Sandbox::tmp() / "Damaged.pdf";
    writeFile(damaged, "%PDF-1.4\n");
    std::filesystem::resize_file(damaged, 120u << 20);
    const auto sound = Sandbox::tmp() / "Sound.pdf";
    writeFile(sound, paddedPDF(2u << 20));
    for (const std::string how : {"replaced by another load", "closed"}) {
        SCOPED_TRACE(how);
        auto web = std::make_shared<WKWebView>(CGRect{0, 0, 390, 500});
        web->loadRequest(WKWebView::fileURLForPath(damaged));
        runUntilIdle();
        // From here on the damaged file is no longer read: what is read until the next file is
        // shown is that file, and no more than the little the damaged one's opening read before
        // it saw it was given up, far from the rest of its 120 MB.
        const quillora::test::WorkMeter meter;
        if (how == "closed") web = std::make_shared<WKWebView>(CGRect{0, 0, 390, 500});
        web->loadRequest(WKWebView::fileURLForPath(sound));
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return !web->isLoading(); }, 60));
        EXPECT_LT(meter.bytesRead(), 40u << 20);
        ASSERT_TRUE(web->pdfPages());
        EXPECT_EQ(web->pdfPages()->file(), sound);
        EXPECT_FALSE(web->loadError());
    }
}

} // namespace
