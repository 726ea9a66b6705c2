#include <gtest/gtest.h>

#include <cairo.h>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/webkit/UIGraphicsPDF.h"
#include "platform/webkit/UIPrintPageRenderer.h"
#include "platform/webkit/WKWebView.h"
#include "tests/platform/webkit/ImageFiles.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using namespace quillora::test;

namespace {

class WKWebViewTest : public PlatformTest {};

struct Recorder : WKNavigationDelegate {
    std::vector<std::uint64_t> finished;
    std::vector<std::string> failed;
    void webView_didFinishNavigation(WKWebView&, const std::shared_ptr<WKNavigation>& n) override {
        finished.push_back(n->number());
    }
    void webView_didFailNavigation_withError(WKWebView&, const std::shared_ptr<WKNavigation>&,
                                             const std::string& error) override {
        failed.push_back(error);
    }
};

TEST_F(WKWebViewTest, HtmlLoadFinishesOnTheRunLoopAndPrintsWithItsFolder) {
    auto bundle = home / "My Bundle";
    writeFile(bundle / "style.css", ".title { font-weight: bold; font-size: 30px; }");
    auto web = std::make_shared<WKWebView>();
    auto delegate = std::make_shared<Recorder>();
    web->setNavigationDelegate(delegate);

    auto first = web->loadHTMLString_baseURL("<p>stale</p>", bundle.string());
    auto second = web->loadHTMLString_baseURL(
        "<link rel=stylesheet href='style.css'><p class=title>Essay title</p><p>Body text.</p>",
        WKWebView::fileURLForPath(bundle, true));
    EXPECT_TRUE(delegate->finished.empty()) << "reported inside the load call";
    EXPECT_TRUE(web->isLoading());
    runUntilIdle();
    // The replaced load reports nothing; the page's address is its folder.
    EXPECT_EQ(delegate->finished, std::vector<std::uint64_t>{second->number()});
    EXPECT_FALSE(web->isLoading());
    ASSERT_TRUE(web->URL());
    EXPECT_EQ(*web->URL(), "file://" + home.string() + "/My%20Bundle/");
    EXPECT_EQ(WKWebView::pathForFileURL(*web->URL()), bundle);

    auto renderer = UIPrintPageRenderer::create();
    renderer->addPrintFormatter_startingAtPageAtIndex(web->viewPrintFormatter(), 0);
    renderer->setValue_forKey(CGRect(0, 0, 595.2, 841.8), "paperRect");
    renderer->setValue_forKey(CGRect(0, 0, 595.2, 841.8), "printableRect");
    ASSERT_EQ(renderer->numberOfPages(), 1);
    ASSERT_TRUE(UIGraphicsBeginPDFContextToFile(home / "essay.pdf", CGRect(0, 0, 595.2, 841.8)));
    UIGraphicsBeginPDFPage();
    renderer->drawPageAtIndex_inRect(0, UIGraphicsGetPDFContextBounds());
    ASSERT_TRUE(UIGraphicsEndPDFContext());
    EXPECT_EQ(pdfPageLines(home / "essay.pdf", 1), (std::vector<std::string>{"Essay title", "Body text."}));
    EXPECT_NE(run("pdffonts " + quoted(home / "essay.pdf")).find("Bold"), std::string::npos);
}

TEST_F(WKWebViewTest, FileLoadsShowPdfsAndFailForWhatCannotBeRead) {
    auto web = std::make_shared<WKWebView>();
    auto delegate = std::make_shared<Recorder>();
    web->setNavigationDelegate(delegate);
    auto pdf = Sandbox::tmp() / "MyPDFDocumentEssay.pdf";
    ASSERT_TRUE(renderHTMLToPDF("<p>x</p>", {}, pdf).ok);

    web->loadRequest(WKWebView::fileURLForPath(pdf), 60);
    runUntilIdle();
    EXPECT_EQ(delegate->finished.size(), 1u);
    EXPECT_EQ(web->loadedFile(), std::optional<std::filesystem::path>(pdf));
    EXPECT_EQ(*web->URL(), "file://" + pdf.string());
    EXPECT_EQ(web->viewPrintFormatter()->printPageRenderer(), nullptr);

    web->loadFileURL_allowingReadAccessToURL((home / "missing.pdf").string(), home.string());
    web->loadRequest("https://example.com/a.pdf");
    runUntilIdle();
    ASSERT_EQ(delegate->failed.size(), 1u); // the first was replaced before it finished
    web->loadRequest((home / "missing.pdf").string());
    runUntilIdle();
    EXPECT_EQ(delegate->failed.size(), 2u);

    // The delegate is not kept alive by the view, and a view gone before its load ends is quiet.
    web->loadHTMLString_baseURL("<p>x</p>", "");
    delegate.reset();
    runUntilIdle();
    web->loadHTMLString_baseURL("<p>y</p>", "");
    web.reset();
    runUntilIdle();
}

} // namespace

namespace {

// Dark pixels of the view drawn as the screen would draw it now.
int inkOf(const WKWebView& web) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 390, 600);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    web.draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    int ink = 0;
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 390; ++x)
            ink += data[y * stride + 4 * x + 1] < 128;
    cairo_surface_destroy(surface);
    return ink;
}

TEST_F(WKWebViewTest, ALongPageIsLaidOutOffTheMainLoopAndShownWhenReady) {
    std::string html = "<div style='white-space: pre-wrap'>";
    for (int line = 1; html.size() < 400'000; ++line)
        html += "Line " + std::to_string(line) + " of a very long transcript<br>";
    html += "</div>";
    auto web = std::make_shared<WKWebView>(CGRect(0, 0, 390, 600));
    web->loadHTMLString_baseURL(html, "");
    runUntilIdle();

    // The first frame comes at once, blank, and the loop goes on with other work meanwhile.
    EXPECT_EQ(inkOf(*web), 0) << "the page was laid out while the screen waited";
    bool ranMeanwhile = false;
    RunLoop::main().schedule(0, [&] { ranMeanwhile = true; });
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(ranMeanwhile);

    ASSERT_TRUE(RunLoop::main().settleExternalWork(120));
    EXPECT_GT(inkOf(*web), 1000) << "the laid-out page is drawn once it is ready";

    // A short page is laid out and drawn in the same frame, as before.
    web->loadHTMLString_baseURL("<p>Short letter</p>", "");
    runUntilIdle();
    EXPECT_GT(inkOf(*web), 100);
}

} // namespace
