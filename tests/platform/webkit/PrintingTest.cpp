#include <gtest/gtest.h>

#include "platform/foundation/Sandbox.h"
#include "platform/webkit/UIGraphicsPDF.h"
#include "platform/webkit/UIPrintInteractionController.h"
#include "platform/webkit/UIPrintPageRenderer.h"
#include "tests/platform/webkit/ImageFiles.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using namespace quillora::test;

namespace {

class PrintingTest : public PlatformTest {};

std::string numberedParagraphs(int count) {
    std::string html;
    for (int i = 1; i <= count; ++i)
        html += "<p>Entry " + std::to_string(i) + "</p>";
    return html;
}

std::shared_ptr<UIPrintPageRenderer> a4Renderer(const std::shared_ptr<UIPrintFormatter>& formatter,
                                                int start = 0) {
    auto renderer = UIPrintPageRenderer::create();
    renderer->addPrintFormatter_startingAtPageAtIndex(formatter, start);
    CGRect paper(0, 0, 595.2, 841.8);
    renderer->setValue_forKey(paper, "paperRect");
    renderer->setValue_forKey(paper, "printableRect");
    return renderer;
}

// Prints every page of `renderer` into a PDF context of `bounds`, as the export screens do.
std::shared_ptr<PDFData> print(UIPrintPageRenderer& renderer, CGRect bounds) {
    auto data = std::make_shared<PDFData>();
    UIGraphicsBeginPDFContextToData(data, bounds);
    const int pages = renderer.numberOfPages();
    for (int i = 0; i < pages; ++i) {
        UIGraphicsBeginPDFPage();
        renderer.drawPageAtIndex_inRect(i, UIGraphicsGetPDFContextBounds());
    }
    EXPECT_TRUE(UIGraphicsEndPDFContext());
    return data;
}

std::vector<std::string> allLines(const std::filesystem::path& pdf) {
    std::vector<std::string> lines;
    for (int page = 1; page <= pdfPageCount(pdf); ++page)
        for (auto& line : pdfPageLines(pdf, page))
            lines.push_back(line);
    return lines;
}

TEST_F(PrintingTest, MarkupPrintsOnA4LayoutIntoDefaultOrA4PdfPagesLosingNothing) {
    auto formatter = std::make_shared<UIMarkupTextPrintFormatter>(numberedParagraphs(120));
    auto renderer = a4Renderer(formatter);
    const int pages = renderer->numberOfPages();
    ASSERT_GE(pages, 3);
    EXPECT_EQ(formatter->pageCount(), pages);
    EXPECT_EQ(formatter->printPageRenderer(), renderer);

    std::vector<std::string> expected;
    for (int i = 1; i <= 120; ++i)
        expected.push_back("Entry " + std::to_string(i));

    // An empty bounds rectangle means the default page; the A4 layout is scaled to fit it whole.
    auto defaultPages = print(*renderer, CGRectZero);
    ASSERT_TRUE(defaultPages->writeToFile_atomically(home / "default.pdf", true));
    EXPECT_EQ(pdfPageCount(home / "default.pdf"), pages);
    for (const auto& size : pdfPageSizes(home / "default.pdf"))
        EXPECT_EQ(size, "612 x 792");
    EXPECT_EQ(allLines(home / "default.pdf"), expected);

    auto a4 = print(*renderer, CGRect(0, 0, 595.2, 841.8));
    ASSERT_TRUE(a4->writeToFile_atomically(home / "a4.pdf", false));
    EXPECT_EQ(pdfPageCount(home / "a4.pdf"), pages);
    for (const auto& size : pdfPageSizes(home / "a4.pdf"))
        EXPECT_EQ(size, "595.2 x 841.8");
    EXPECT_EQ(allLines(home / "a4.pdf"), expected);

    // Markup is handed over as it is: line breaks in plain text do not make lines.
    auto plain = a4Renderer(std::make_shared<UIMarkupTextPrintFormatter>("one\ntwo\nthree"));
    ASSERT_EQ(plain->numberOfPages(), 1);
    print(*plain, CGRectZero)->writeToFile_atomically(home / "plain.pdf", true);
    EXPECT_EQ(pdfPageLines(home / "plain.pdf", 1), std::vector<std::string>{"one two three"});
}

TEST_F(PrintingTest, ALongTextInOneBlockOrInManyPrintsEveryLineOnceInOrder) {
    // Each page is drawn from only the children that reach into it: nothing at a page's edge may
    // be lost or drawn twice, whether the crowd is the words of one block or the blocks of a page.
    std::string lines;
    std::vector<std::string> expected;
    for (int i = 1; i <= 1500; ++i) {
        lines += "Line " + std::to_string(i) + " of the dictated text<br>";
        expected.push_back("Line " + std::to_string(i) + " of the dictated text");
    }
    std::vector<std::string> entries;
    for (int i = 1; i <= 400; ++i)
        entries.push_back("Entry " + std::to_string(i));
    struct Case {
        std::string what, markup;
        std::vector<std::string> lines;
    };
    for (const auto& c : {Case{"the words of one block",
                               "<div style=\"white-space: pre-wrap\">" + lines + "</div>", expected},
                          Case{"the blocks of a page", numberedParagraphs(400), entries}}) {
        SCOPED_TRACE(c.what);
        auto renderer = a4Renderer(std::make_shared<UIMarkupTextPrintFormatter>(c.markup));
        ASSERT_GE(renderer->numberOfPages(), 10);
        ASSERT_TRUE(
            print(*renderer, CGRect(0, 0, 595.2, 841.8))->writeToFile_atomically(home / "long.pdf", true));
        EXPECT_EQ(allLines(home / "long.pdf"), c.lines);
    }
}

TEST_F(PrintingTest, StartPageInsetsAndGeometryChangesRepaginate) {
    auto formatter = std::make_shared<UIMarkupTextPrintFormatter>(numberedParagraphs(60));
    auto renderer = a4Renderer(formatter, 2);
    EXPECT_EQ(formatter->pageCount(), 0); // not laid out until the renderer is asked
    const int total = renderer->numberOfPages();
    const int plain = formatter->pageCount();
    ASSERT_GE(plain, 1);
    EXPECT_EQ(total, 2 + plain);
    EXPECT_TRUE(renderer->printFormattersForPageAtIndex(1).empty());
    EXPECT_EQ(renderer->printFormattersForPageAtIndex(2).size(), 1u);
    EXPECT_EQ(formatter->rectForPageAtIndex(2), CGRect(0, 0, 595.2, 841.8));

    formatter->perPageContentInsets = UIEdgeInsets{300, 50, 300, 50};
    renderer->setPrintableRect(renderer->printableRect()); // geometry touched: lay out again
    EXPECT_GT(renderer->numberOfPages(), 2 + plain);
    auto inset = formatter->rectForPageAtIndex(2);
    EXPECT_EQ(inset.origin, (CGPoint{50, 300}));
    EXPECT_NEAR(inset.width(), 495.2, 1e-9);
    EXPECT_NEAR(inset.height(), 241.8, 1e-9);

    // The first two pages are blank; the content starts on the third.
    print(*renderer, CGRect(0, 0, 595.2, 841.8))->writeToFile_atomically(home / "start.pdf", true);
    EXPECT_TRUE(pdfPageLines(home / "start.pdf", 1).empty());
    EXPECT_TRUE(pdfPageLines(home / "start.pdf", 2).empty());
    EXPECT_EQ(pdfPageLines(home / "start.pdf", 3).front(), "Entry 1");

    formatter->removeFromPrintPageRenderer();
    EXPECT_EQ(renderer->numberOfPages(), 0);
    EXPECT_EQ(UIPrintPageRenderer::create()->numberOfPages(), 0);
}

TEST_F(PrintingTest, PdfContextPagesBoundsAndOutcomes) {
    EXPECT_EQ(UIGraphicsGetPDFContextBounds(), CGRectZero);
    EXPECT_FALSE(UIGraphicsEndPDFContext());

    auto data = std::make_shared<PDFData>();
    UIGraphicsBeginPDFContextToData(data, CGRectZero);
    EXPECT_EQ(UIGraphicsGetPDFContextBounds(), CGRect(0, 0, 612, 792));
    UIGraphicsBeginPDFPage();
    EXPECT_NE(UIGraphicsGetPDFDrawingContext(), nullptr);
    UIGraphicsBeginPDFPageWithInfo(CGRect(0, 0, 200, 300));
    EXPECT_EQ(UIGraphicsGetPDFContextBounds(), CGRect(0, 0, 200, 300));
    ASSERT_TRUE(UIGraphicsEndPDFContext());
    EXPECT_EQ(UIGraphicsGetPDFDrawingContext(), nullptr);
    ASSERT_GT(data->length(), 4u);
    EXPECT_EQ(std::string(data->bytes().begin(), data->bytes().begin() + 4), "%PDF");
    ASSERT_TRUE(data->writeToFile_atomically(home / "two.pdf", true));
    EXPECT_EQ(pdfPageSizes(home / "two.pdf"), (std::vector<std::string>{"612 x 792", "200 x 300"}));

    // Straight to a file; a folder that does not exist is refused up front, and a write that
    // fails is reported both by the context and by the data.
    ASSERT_TRUE(UIGraphicsBeginPDFContextToFile(home / "file.pdf", CGRect(0, 0, 595.2, 841.8)));
    UIGraphicsBeginPDFPage();
    ASSERT_TRUE(UIGraphicsEndPDFContext());
    EXPECT_EQ(pdfPageSizes(home / "file.pdf"), std::vector<std::string>{"595.2 x 841.8"});
    EXPECT_FALSE(UIGraphicsBeginPDFContextToFile(home / "missing" / "x.pdf", CGRectZero));
    EXPECT_EQ(UIGraphicsGetPDFContextBounds(), CGRectZero);
    std::filesystem::create_directories(home / "dir.pdf" / "child");
    ASSERT_TRUE(UIGraphicsBeginPDFContextToFile(home / "dir.pdf", CGRectZero));
    UIGraphicsBeginPDFPage();
    EXPECT_FALSE(UIGraphicsEndPDFContext());
    EXPECT_FALSE(data->writeToFile_atomically(home / "missing" / "x.pdf", true));
    EXPECT_FALSE(data->writeToFile_atomically(home / "missing" / "x.pdf", false));
    EXPECT_FALSE(data->writeToFile_atomically(home / "dir.pdf", true));

    // A context left open does not leak into the next test.
    UIGraphicsBeginPDFContextToData(data, CGRectZero);
    resetSharedInstances();
    EXPECT_EQ(UIGraphicsGetPDFContextBounds(), CGRectZero);
}

TEST_F(PrintingTest, PrintDialogRecordsEachJobUntilDismissedAndStartsFreshPerTest) {
    auto& controller = UIPrintInteractionController::sharedPrintController();
    EXPECT_FALSE(controller.presentAnimated_completionHandler(true)); // nothing to print

    auto info = UIPrintInfo::printInfo();
    info->outputType = UIPrintInfoOutputType::general;
    info->jobName = "file:///tmp/MyPDFDocumentEssay.pdf";
    controller.printInfo = info;
    controller.printingItem = "file:///tmp/MyPDFDocumentEssay.pdf";
    int completions = 0;
    bool completedFlag = true;
    ASSERT_TRUE(controller.presentAnimated_completionHandler(
        true, [&](UIPrintInteractionController&, bool completed, const std::optional<std::string>&) {
            ++completions;
            completedFlag = completed;
        }));
    EXPECT_TRUE(controller.isPresented());
    EXPECT_FALSE(controller.presentAnimated_completionHandler(true)); // already up
    ASSERT_EQ(controller.presentedJobs().size(), 1u);
    const auto& job = controller.presentedJobs().front();
    EXPECT_EQ(job.jobName, "file:///tmp/MyPDFDocumentEssay.pdf");
    EXPECT_EQ(job.printingItem, std::optional<std::string>("file:///tmp/MyPDFDocumentEssay.pdf"));
    EXPECT_TRUE(job.animated);

    controller.dismissAnimated(true);
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(completedFlag);
    EXPECT_FALSE(controller.isPresented());

    resetSharedInstances();
    EXPECT_TRUE(controller.presentedJobs().empty());
    EXPECT_FALSE(controller.printingItem.has_value());
    EXPECT_EQ(controller.printInfo, nullptr);
}

TEST_F(PrintingTest, UnknownRendererKeyStopsTheProgram) {
    auto renderer = UIPrintPageRenderer::create();
    EXPECT_DEATH(renderer->setValue_forKey(CGRect(0, 0, 1, 1), "paperSize"), "paperSize");
}

} // namespace
