// A long print made on a worker while the main thread goes on drawing its screen and a PDF of its
// own, as the exports do: each document gets exactly its own pages, and (under ThreadSanitizer)
// nothing is touched by both threads unguarded.

#include <atomic>
#include <chrono>

#include <cairo.h>

#include "entries/TextPDFExport.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "platform/webkit/HTMLDocument.h"
#include "platform/webkit/UIGraphicsPDF.h"
#include "platform/webkit/UIPrintPageRenderer.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using namespace quillora::test;

namespace {

class PrintOnWorkerTest : public PlatformTest {};

TEST_F(PrintOnWorkerTest, AWorkersPrintAndTheMainThreadsDrawingKeepToTheirOwnDocuments) {
    auto root = std::make_shared<UIViewController>();
    auto window = std::make_shared<UIWindow>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    auto label = std::make_shared<UILabel>(CGRect(16, 100, 358, 40));
    label->setText("Printing… ✍️");
    root->view()->addSubview(label);
    auto text = std::make_shared<UITextView>(CGRect(16, 160, 358, 600));
    text->setText("The screen stays live while the pages are made.\nSecond line");
    root->view()->addSubview(text);

    // The main thread's own document is open the whole time the worker prints.
    auto mine = std::make_shared<PDFData>();
    UIGraphicsBeginPDFContextToData(mine, CGRect(0, 0, 300, 200));

    std::string html;
    for (int i = 1; i <= 600; ++i)
        html += "<p>Worker paragraph " + std::to_string(i) + "</p>";
    auto theirs = std::make_shared<std::shared_ptr<PDFData>>();
    std::atomic<bool> started = false;
    bool delivered = false;
    DispatchQueue::global(DispatchQoS::UserInitiated)
        .asyncThenMain(
            [theirs, &started, html] {
                started = true;
                auto renderer = UIPrintPageRenderer::create();
                renderer->addPrintFormatter_startingAtPageAtIndex(
                    std::make_shared<UIMarkupTextPrintFormatter>(html), 0);
                CGRect paper(0, 0, 595.2, 841.8);
                renderer->setValue_forKey(paper, "paperRect");
                renderer->setValue_forKey(paper, "printableRect");
                auto data = std::make_shared<PDFData>();
                UIGraphicsBeginPDFContextToData(data, paper);
                for (int i = 0; i < renderer->numberOfPages(); ++i) {
                    UIGraphicsBeginPDFPage();
                    renderer->drawPageAtIndex_inRect(i, UIGraphicsGetPDFContextBounds());
                }
                if (UIGraphicsEndPDFContext()) *theirs = data;
            },
            [&delivered] { delivered = true; });

    // Meanwhile: frames of the screen, and a page of this thread's document for each.
    int myPages = 0;
    cairo_surface_t* screen = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 390, 844);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while ((!delivered || myPages < 2) && std::chrono::steady_clock::now() < giveUp) {
        cairo_t* cr = cairo_create(screen);
        ScreenRenderer::draw(cr, 1);
        cairo_destroy(cr);
        UIGraphicsBeginPDFPage();
        ++myPages;
        cairo_t* page = UIGraphicsGetPDFDrawingContext();
        ASSERT_NE(page, nullptr);
        TextDrawing::draw(page, "Main page " + std::to_string(myPages), CGRect(10, 10, 280, 40), TextStyle{});
        RunLoop::main().runUntilIdle();
    }
    cairo_surface_destroy(screen);
    ASSERT_TRUE(delivered);
    EXPECT_TRUE(started);
    ASSERT_TRUE(UIGraphicsEndPDFContext());
    EXPECT_FALSE(UIGraphicsGetPDFDrawingContext()) << "this thread's stack is empty again";

    const auto minePath = home / "mine.pdf", theirsPath = home / "theirs.pdf";
    ASSERT_TRUE(mine->writeToFile_atomically(minePath, true));
    ASSERT_TRUE(*theirs);
    ASSERT_TRUE((*theirs)->writeToFile_atomically(theirsPath, true));
    ASSERT_EQ(pdfPageCount(minePath), myPages);
    for (int page : {1, myPages})
        EXPECT_EQ(pdfPageLines(minePath, page),
                  std::vector<std::string>{"Main page " + std::to_string(page)});
    const int pages = pdfPageCount(theirsPath);
    ASSERT_GT(pages, 5);
    EXPECT_EQ(pdfPageLines(theirsPath, 1).front(), "Worker paragraph 1");
    EXPECT_EQ(pdfPageLines(theirsPath, pages).back(), "Worker paragraph 600");
    for (auto& size : pdfPageSizes(theirsPath))
        EXPECT_EQ(size, "595.2 x 841.8");
}

TEST_F(PrintOnWorkerTest, ALongTextsPiecesAreLaidOutSideBySideAndTheNextOnesWhileOneIsDrawn) {
    // Long enough to be cut into pieces: they are laid out on several threads, and again, ahead,
    // while the pages are drawn.
    std::string text;
    int lines = 0;
    while (text.size() < 300'000)
        text += "Line " + std::to_string(++lines) + " of a long recipe, stir and wait<br>";
    const auto pdf = home / "long.pdf";
    const auto printed = renderHTMLToPDF("<div style='white-space: pre-wrap'>" + text + "</div>", {}, pdf);
    ASSERT_TRUE(printed.ok) << printed.error;
    ASSERT_EQ(pdfPageCount(pdf), printed.pageCount);
    EXPECT_EQ(pdfPageLines(pdf, 1).front(), "Line 1 of a long recipe, stir and wait");
    EXPECT_EQ(pdfPageLines(pdf, printed.pageCount).back(),
              "Line " + std::to_string(lines) + " of a long recipe, stir and wait");
    const auto words = pdfWords(pdf);
    for (const char* line : {"Line 1000 of", "Line 2000 of", "Line 3000 of", "Line 4000 of"})
        EXPECT_NE(words.find(line), std::string::npos) << line;
}

TEST_F(PrintOnWorkerTest, RecipeTextsOfMarksIdeographsAndFlagsComeOutWholeFromPiecesLaidOutSideBySide) {
    // Each is cut into pieces that are laid out on several threads at once, and again ahead of
    // the pages being drawn, each thread with fonts of its own and the fallback fonts its script
    // needs. The rows are whole lines of the PDF, flags included, so the last one ends the last page.
    const std::string flags = "\U0001F1EB\U0001F1F7\U0001F1EF\U0001F1F5\U0001F1E9\U0001F1EA";
    const std::vector<std::pair<std::string, std::string>> rows{
        {"marks", "Stir\u0301\u0327 a\u0308\u0323 little\u0361 while\u0306\u0328 o\u0302\u0323\n"},
        {"ideographs", "食谱面粉牛奶鸡蛋搅拌等待加热\n"},
        {"flags", flags + flags + flags + "\n"},
        {"mixed", "e\u0301\u0327 面粉牛奶 " + flags + "\n"}};
    for (const auto& [kind, row] : rows) {
        SCOPED_TRACE(kind);
        std::string text;
        for (int i = 1; text.size() < 160'000; ++i)
            text += std::to_string(i) + " " + row;
        const auto pdf = quillora::drawListPDF(text);
        ASSERT_TRUE(pdf);
        const auto path = home / (kind + ".pdf");
        ASSERT_TRUE(pdf->writeToFile_atomically(path, true));
        const int pages = pdfPageCount(path);
        ASSERT_GT(pages, 2);
        const auto last = pdfPageLines(path, pages);
        ASSERT_FALSE(last.empty());
        const std::string lastRow = text.substr(text.rfind('\n', text.size() - 2) + 1);
        EXPECT_EQ(last.back() + "\n", lastRow);
    }
}

} // namespace
