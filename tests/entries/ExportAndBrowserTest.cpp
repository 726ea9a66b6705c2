#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <cairo.h>
#include <filesystem>

#include "entries/RecipeBookMarkViewC.h"
#include "entries/TextPDFExport.h"
#include "entries/WebViewController_Center.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "tests/entries/EntryTestSupport.h"
#include "tests/support/PdfTools.h"

namespace quillora::test {

using namespace platform;

class ExportTest : public EntryTest {
protected:
    void SetUp() override {
        EntryTest::SetUp();
        if (const char* tz = std::getenv("TZ")) savedTZ = tz;
        setenv("TZ", "UTC", 1);
    }
    void TearDown() override {
        if (savedTZ)
            setenv("TZ", savedTZ->c_str(), 1);
        else
            unsetenv("TZ");
        EntryTest::TearDown();
    }
    std::shared_ptr<UIAlertController> alert() {
        return std::dynamic_pointer_cast<UIAlertController>(root->presentedViewController());
    }
    std::vector<std::string> allLines(const std::string& pdf) {
        std::vector<std::string> lines;
        for (int page = 1; page <= pdfPageCount(pdf); ++page)
            for (auto& line : pdfPageLines(pdf, page))
                lines.push_back(line);
        return lines;
    }
    std::optional<std::string> savedTZ;
};

TEST_F(ExportTest, ALongTranscriptBecomesA4PagesWithEveryLineOnceInOrder) {
    std::string text;
    for (int i = 1; i <= 250; ++i)
        text += "Line " + std::to_string(i) + " of the dictated transcript\n";
    RunLoop::main().useVirtualClock(1796634303); // 7 December 2026, 09:05:03 UTC
    std::optional<std::string> path;
    exportListPDF(text, *root, [&](const std::optional<std::string>& saved) { path = saved; });
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, documents("7_12_2026_9:5:3.pdf"));
    EXPECT_TRUE(consoleHas("7_12_2026_9:5:3"));
    EXPECT_TRUE(consoleHas("saved success"));
    int pages = pdfPageCount(*path);
    EXPECT_GT(pages, 1);
    for (auto& size : pdfPageSizes(*path))
        EXPECT_EQ(size, "595.2 x 841.8");
    auto lines = allLines(*path);
    ASSERT_EQ(lines.size(), 250u);
    for (int i = 1; i <= 250; ++i)
        EXPECT_EQ(lines[i - 1], "Line " + std::to_string(i) + " of the dictated transcript");
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "Done! ");
    EXPECT_EQ(alert()->message(), "PDF has been saved ");
    EXPECT_TRUE(alert()->pressActionWithTitle("OK "));
}

TEST_F(ExportTest, MarkupAndEmojiAppearAsWrittenAndNamesHaveNoLeadingZeros) {
    RunLoop::main().useVirtualClock(1798761600); // 1 January 2027, 00:00:00 UTC
    std::optional<std::string> path;
    exportListPDF("<b>bold</b> & \"quoted\" 'single'\nnext 🍎 line", *root,
                  [&](const std::optional<std::string>& saved) { path = saved; });
    ASSERT_TRUE(path);
    EXPECT_EQ(std::filesystem::path(*path).filename(), "1_1_2027_0:0:0.pdf");
    // Emoji are drawn as pictures with their characters kept as text: found where they stand.
    EXPECT_EQ(allLines(*path),
              (std::vector<std::string>{"<b>bold</b> & \"quoted\" 'single'", "next 🍎 line"}));
}

// Exports within one second never replace each other: each later one takes a name of its own, and
// the browser lists them all.
TEST_F(ExportTest, ExportsWithinOneSecondAreFilesOfTheirOwnAndAllListed) {
    RunLoop::main().useVirtualClock(1796634303); // 7 December 2026, 09:05:03 UTC
    struct Case {
        std::string text, name;
    };
    const std::vector<Case> cases{
        {"The first text", "7_12_2026_9:5:3"},
        {"The second text", "7_12_2026_9:5:3 2"},
        {"The third text", "7_12_2026_9:5:3 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        takeConsole();
        std::optional<std::string> path;
        exportListPDF(c.text, *root, [&](const std::optional<std::string>& saved) { path = saved; });
        EXPECT_EQ(path, documents(c.name + ".pdf"));
        EXPECT_EQ(takeConsole(), (std::vector<std::string>{c.name, "saved success"}));
        ASSERT_TRUE(alert());
        EXPECT_TRUE(alert()->pressActionWithTitle("OK "));
        runUntilIdle();
    }
    for (const auto& c : cases)
        EXPECT_EQ(allLines(documents(c.name + ".pdf")), std::vector<std::string>{c.text}) << c.name;

    auto list = openList("");
    ASSERT_TRUE(std::dynamic_pointer_cast<UIButton>(list->outletNamed("PDFButton"))->tap());
    auto browser = std::dynamic_pointer_cast<WebViewController_Center>(nav->topViewController());
    ASSERT_TRUE(browser);
    auto rows = rowTexts(*browser->tableList.lock());
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<std::string>{cases[0].name, cases[1].name, cases[2].name}));
}

TEST_F(ExportTest, AFailedWriteIsReportedWithItsReasonAndNeverConfirmed) {
    const std::string path = documents(exportFileName(NSDate()) + ".pdf");
    // No folder to write into: a file stands where Documents should be.
    std::filesystem::remove_all(Sandbox::documents());
    writeFile(Sandbox::documents(), "not a folder");
    bool told = false;
    exportListPDF("text", *root, [&](const std::optional<std::string>& saved) {
        told = true;
        EXPECT_FALSE(saved);
    });
    EXPECT_TRUE(told);
    EXPECT_FALSE(consoleHas("saved success"));
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "Not saved ");
    const std::string message = alert()->message().value_or("");
    EXPECT_EQ(message.rfind("PDF could not be saved \n", 0), 0u) << message;
    EXPECT_NE(message.find(path), std::string::npos) << "names the file: " << message;
    EXPECT_NE(message.find(std::strerror(ENOTDIR)), std::string::npos) << "says why: " << message;
    EXPECT_TRUE(consoleHas(message.substr(message.find('\n') + 1))) << "the console says why too";
}

TEST_F(ExportTest, TheBrowserListsPreviewsAndDeletesLowerCasePdfs) {
    for (auto name : {"b.pdf", "a.PDF", "memo.txt", "c.d.pdf", "x.pdf"})
        writeFile(documents(name), "%PDF-1.4 stand-in");
    auto list = openList("");
    ASSERT_TRUE(std::dynamic_pointer_cast<UIButton>(list->outletNamed("PDFButton"))->tap());
    auto browser = std::dynamic_pointer_cast<WebViewController_Center>(nav->topViewController());
    ASSERT_TRUE(browser);
    ASSERT_EQ(browser->fileURLs.size(), 3u);
    auto table = browser->tableList.lock();
    EXPECT_EQ(rowTexts(*table), (std::vector<std::string>{"b", "c", "x"}));
    EXPECT_EQ(table->visibleCells()[0]->detailTextLabel()->text(), "PDF document");
    EXPECT_EQ(table->visibleCells()[1]->detailTextLabel()->text(), "Text document");

    ASSERT_TRUE(table->userTapRow({0, 1}));
    auto preview = std::dynamic_pointer_cast<QLPreviewController>(browser->presentedViewController());
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->currentPreviewItem()->lastPathComponent(), "c.d.pdf");
    EXPECT_TRUE(preview->canShowCurrentItem());
    EXPECT_TRUE(preview->showNextItem());
    EXPECT_EQ(preview->currentPreviewItem()->lastPathComponent(), "x.pdf");
    EXPECT_FALSE(preview->showNextItem());
    EXPECT_TRUE(consoleHas("fileURL count in number of preview items 3"));
    EXPECT_TRUE(preview->userDismiss());
    EXPECT_TRUE(consoleHas("The Preview Controller will be dismissed."));
    runUntilIdle();
    // The preview took the touch that opened it: the row is back to its plain look after Done.
    EXPECT_FALSE(table->indexPathForSelectedRow());
    EXPECT_FALSE(table->visibleCells()[1]->isSelected());
    EXPECT_FALSE(table->visibleCells()[1]->isHighlighted());

    ASSERT_TRUE(table->userSwipeRow({0, 0}));
    ASSERT_TRUE(table->userPressSwipeAction(0));
    EXPECT_FALSE(std::filesystem::exists(documents("b.pdf")));
    EXPECT_TRUE(consoleHas("file removed successfull"));
    EXPECT_EQ(rowTexts(*table), (std::vector<std::string>{"c", "x"}));

    // A file that went away behind the browser's back cannot be deleted: the row stays.
    std::filesystem::remove(documents("x.pdf"));
    ASSERT_TRUE(table->userSwipeRow({0, 1}));
    ASSERT_TRUE(table->userPressSwipeAction(0));
    EXPECT_EQ(rowTexts(*table), (std::vector<std::string>{"c", "x"}));
    bool reported = false;
    for (auto& line : consoleLines())
        reported |= line.rfind("Error:", 0) == 0;
    EXPECT_TRUE(reported);

    // The preview of a missing file says so instead of showing it.
    ASSERT_TRUE(table->userTapRow({0, 1}));
    preview = std::dynamic_pointer_cast<QLPreviewController>(browser->presentedViewController());
    ASSERT_TRUE(preview);
    EXPECT_FALSE(preview->canShowCurrentItem());
}

TEST_F(ExportTest, TheRecipeTextViewShowsItsFileAndExportsTheEditedText) {
    auto empty = std::dynamic_pointer_cast<RecipeBookMarkViewC>(
        storyboard->instantiateViewControllerWithIdentifier("RecipeBookMarkViewC"));
    nav->pushViewController_animated(empty, false);
    EXPECT_EQ(empty->Clipboard.lock()->text(), " ");
    EXPECT_TRUE(consoleHas(" no data present "));
    nav->popViewControllerAnimated(false);

    writeFile(documents("datafile_recipe.dat"), "Pancakes 🥞\nflour, milk");
    auto screen = std::dynamic_pointer_cast<RecipeBookMarkViewC>(
        storyboard->instantiateViewControllerWithIdentifier("RecipeBookMarkViewC"));
    nav->pushViewController_animated(screen, false);
    auto text = screen->Clipboard.lock();
    EXPECT_EQ(text->text(), "Pancakes 🥞\nflour, milk");

    // Return closes the keyboard; the bottom constraint follows it there and back.
    double start = screen->textViewBottomLayoutGuideConstraint.lock()->constant;
    EXPECT_FALSE(text->typeText("\n"));
    EXPECT_FALSE(text->isFirstResponder());
    EXPECT_EQ(text->text(), "Pancakes 🥞\nflour, milk");
    EXPECT_EQ(screen->textViewBottomLayoutGuideConstraint.lock()->constant, start);
    ASSERT_TRUE(text->typeText(" and eggs"));
    EXPECT_GT(screen->textViewBottomLayoutGuideConstraint.lock()->constant, start);

    screen->font_change();
    auto sheet = std::dynamic_pointer_cast<UIAlertController>(root->presentedViewController());
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->pressActionWithTitle("Font size 34"));
    EXPECT_EQ(text->font()->pointSize, 34);
    runUntilIdle();

    text->resignFirstResponder();
    EXPECT_EQ(screen->textViewBottomLayoutGuideConstraint.lock()->constant, start);
    screen->savepdf();
    auto pdfs = std::filesystem::directory_iterator(std::filesystem::path(documents("")));
    std::string pdf;
    for (auto& entry : pdfs)
        if (entry.path().extension() == ".pdf") pdf = entry.path();
    ASSERT_FALSE(pdf.empty());
    EXPECT_EQ(allLines(pdf), (std::vector<std::string>{"Pancakes 🥞", "flour, milk and eggs"}));
}

TEST_F(ExportTest, ALongRecipeExportsUnderASpinnerThatTheScreenShowsFirst) {
    // 150 KB: seconds of printing.
    std::string recipe;
    for (int i = 1; recipe.size() < (150u << 10); ++i)
        recipe += "Step " + std::to_string(i) + ": stir the flour into the milk.\n";
    writeFile(documents("datafile_recipe.dat"), recipe);
    auto screen = std::dynamic_pointer_cast<RecipeBookMarkViewC>(
        storyboard->instantiateViewControllerWithIdentifier("RecipeBookMarkViewC"));
    nav->pushViewController_animated(screen, false);
    auto pdfButton = std::dynamic_pointer_cast<UIButton>(screen->outletNamed("savepdf"));
    ASSERT_TRUE(pdfButton);
    auto spinners = [&] {
        std::vector<std::shared_ptr<UIActivityIndicatorView>> out;
        for (auto& v : screen->view()->subviews())
            if (auto s = std::dynamic_pointer_cast<UIActivityIndicatorView>(v)) out.push_back(s);
        return out;
    };
    ASSERT_TRUE(pdfButton->tap());
    ASSERT_EQ(spinners().size(), 1u);
    EXPECT_TRUE(spinners()[0]->isAnimating());
    EXPECT_FALSE(spinners()[0]->isHidden());
    EXPECT_FALSE(pdfButton->isEnabled()) << "one export at a time";
    EXPECT_EQ(root->presentedViewController(), nullptr) << "nothing printed yet";

    advance(0.2);
    runUntilIdle();
    EXPECT_TRUE(spinners().empty());
    EXPECT_TRUE(pdfButton->isEnabled());
    auto alert = std::dynamic_pointer_cast<UIAlertController>(root->presentedViewController());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Done! ");
    std::string pdf;
    for (auto& entry : std::filesystem::directory_iterator(std::filesystem::path(documents(""))))
        if (entry.path().extension() == ".pdf") pdf = entry.path();
    ASSERT_FALSE(pdf.empty());
    const auto lines = allLines(pdf);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Step 1: stir the flour into the milk.");
    EXPECT_EQ(lines.back(), recipe.substr(recipe.rfind("Step "), recipe.size() - recipe.rfind("Step ") - 1));

    // Back while a second print is under way: the screen goes, its file is still written, and no
    // alert stands over the screen left behind.
    ASSERT_TRUE(alert->pressActionWithTitle("OK "));
    runUntilIdle();
    std::filesystem::remove(pdf);
    ASSERT_TRUE(pdfButton->tap());
    nav->popViewControllerAnimated(false);
    std::weak_ptr<RecipeBookMarkViewC> left = screen;
    screen.reset();
    pdfButton.reset();
    EXPECT_TRUE(left.expired());
    ASSERT_TRUE(RunLoop::main().settleExternalWork(120));
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(nav->topViewController(), root);
    EXPECT_TRUE(std::filesystem::exists(pdf));
    EXPECT_EQ(takeConsole().back(), "saved success");
}

// The spinner's square of the screen as the window would draw it now.
std::vector<unsigned char> drawnSquare(const UIView& view) {
    const CGRect at = view.convertRect_toView(view.bounds(), nullptr);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 390, 844);
    cairo_t* cr = cairo_create(surface);
    ScreenRenderer::draw(cr, 1);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    std::vector<unsigned char> pixels;
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = static_cast<int>(at.minY()); y < static_cast<int>(at.maxY()); ++y)
        pixels.insert(pixels.end(), data + y * stride + static_cast<int>(at.minX()) * 4,
                      data + y * stride + static_cast<int>(at.maxX()) * 4);
    cairo_surface_destroy(surface);
    return pixels;
}

TEST_F(ExportTest, WhileALongRecipeIsPrintedTheSpinnerTurnsAndThePDFIsWholeAfterwards) {
    // 300 KB: seconds of printing under the sanitizers, a fraction of one without.
    std::string recipe;
    for (int i = 1; recipe.size() < (300u << 10); ++i)
        recipe += "Step " + std::to_string(i) + ": fold the egg whites into the batter.\n";
    writeFile(documents("datafile_recipe.dat"), recipe);
    auto screen = std::dynamic_pointer_cast<RecipeBookMarkViewC>(
        storyboard->instantiateViewControllerWithIdentifier("RecipeBookMarkViewC"));
    nav->pushViewController_animated(screen, false);
    auto pdfButton = std::dynamic_pointer_cast<UIButton>(screen->outletNamed("savepdf"));
    ASSERT_TRUE(pdfButton);
    // The window's clock: time passes while the pages are made.
    RunLoop::main().useRealClock();

    ASSERT_TRUE(pdfButton->tap());
    std::shared_ptr<UIActivityIndicatorView> spinner;
    for (auto& v : screen->view()->subviews())
        if (auto s = std::dynamic_pointer_cast<UIActivityIndicatorView>(v)) spinner = s;
    ASSERT_TRUE(spinner) << "the tap came back with the work done: the screen was held";
    EXPECT_TRUE(ScreenRenderer::nextChangeIn()) << "a window would not draw the spinner again";
    const auto first = drawnSquare(*spinner);
    // The screen is drawn again and again while the work goes on; one of those frames shows the
    // spinner turned, with the work still under way.
    bool turned = false;
    for (int frame = 0; frame < 40 && !turned && spinner->superview(); ++frame) {
        RunLoop::main().advance(ScreenRenderer::nextChangeIn().value_or(0.1) + 0.001);
        turned = spinner->superview() && drawnSquare(*spinner) != first;
    }
    ASSERT_TRUE(turned) << "the spinner stood still until the work ended";
    EXPECT_FALSE(pdfButton->isEnabled()) << "one export at a time";
    EXPECT_EQ(root->presentedViewController(), nullptr);

    ASSERT_TRUE(RunLoop::main().runUntil([&] { return alert() != nullptr; }, 120));
    EXPECT_EQ(alert()->title(), "Done! ");
    EXPECT_EQ(spinner->superview(), nullptr);
    EXPECT_FALSE(ScreenRenderer::nextChangeIn());
    EXPECT_TRUE(pdfButton->isEnabled());
    std::string pdf;
    for (auto& entry : std::filesystem::directory_iterator(std::filesystem::path(documents(""))))
        if (entry.path().extension() == ".pdf") pdf = entry.path();
    ASSERT_FALSE(pdf.empty());
    const int pages = pdfPageCount(pdf);
    ASSERT_GT(pages, 50);
    const auto last = pdfPageLines(pdf, pages);
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.back(), recipe.substr(recipe.rfind("Step "), recipe.size() - recipe.rfind("Step ") - 1));
}

} // namespace quillora::test
