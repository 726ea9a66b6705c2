#include <gtest/gtest.h>

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
