#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include "platform/webkit/HTMLDocument.h"
#include "tests/platform/webkit/ImageFiles.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using namespace quillora::test;

namespace {

class HTMLDocumentTest : public PlatformTest {};

std::string numberedLines(int count) {
    std::string html = "<html><body>";
    for (int i = 1; i <= count; ++i)
        html += "<div>Line number " + std::to_string(i) + "</div>\n";
    return html + "</body></html>";
}

// No word may straddle a cut, the slices must tile the content, and none may exceed a page.
void expectSoundCuts(const HTMLDocument& doc, const std::vector<HTMLPageSlice>& slices, double pageHeight) {
    ASSERT_FALSE(slices.empty());
    EXPECT_DOUBLE_EQ(slices.front().top, 0);
    EXPECT_NEAR(slices.back().bottom, doc.contentHeight(), 0.01);
    for (std::size_t i = 0; i < slices.size(); ++i) {
        EXPECT_LE(slices[i].bottom - slices[i].top, pageHeight + 0.01);
        EXPECT_GT(slices[i].bottom, slices[i].top);
        if (i > 0) {
            EXPECT_DOUBLE_EQ(slices[i].top, slices[i - 1].bottom);
        }
        for (const auto& box : doc.boxes()) {
            if (box.isText) {
                EXPECT_FALSE(box.top < slices[i].bottom - 0.01 && box.bottom > slices[i].bottom + 0.01)
                    << "a line crosses the cut at " << slices[i].bottom;
            }
        }
    }
}

TEST_F(HTMLDocumentTest, LongDocumentSpansA4PagesWithEveryLineOnceInOrder) {
    auto pdf = home / "lines.pdf";
    auto result = renderHTMLToPDF(numberedLines(250), home, pdf);
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_GE(result.pageCount, 3);
    EXPECT_EQ(pdfPageCount(pdf), result.pageCount);
    for (const auto& size : pdfPageSizes(pdf))
        EXPECT_EQ(size, "595.2 x 841.8");

    std::vector<int> seen;
    for (int page = 1; page <= result.pageCount; ++page) {
        auto lines = pdfPageLines(pdf, page);
        ASSERT_FALSE(lines.empty()) << "page " << page << " is blank";
        for (const auto& line : lines) {
            ASSERT_EQ(line.rfind("Line number ", 0), 0u) << "broken line on page " << page << ": " << line;
            seen.push_back(std::stoi(line.substr(12)));
        }
    }
    std::vector<int> expected(250);
    for (int i = 0; i < 250; ++i)
        expected[static_cast<std::size_t>(i)] = i + 1;
    EXPECT_EQ(seen, expected);

    HTMLDocument doc(numberedLines(250));
    doc.layout(kA4PaperSize.width);
    auto slices = doc.paginate(kA4PaperSize.height);
    EXPECT_EQ(static_cast<int>(slices.size()), result.pageCount);
    expectSoundCuts(doc, slices, kA4PaperSize.height);
}

TEST_F(HTMLDocumentTest, CutsAvoidLinesOfMixedSizesAndShortImages) {
    writePng(home / "img" / "tall.png", 60, 200, 0, 0, 1);
    std::string html = "<body>";
    for (int i = 0; i < 40; ++i) {
        html +=
            "<h1>Heading " + std::to_string(i) +
            "</h1><p style='font-size:" + std::to_string(10 + i % 7 * 5) +
            "px'>Some words that wrap over several lines of text in a narrow column, again and again.</p>";
        if (i % 9 == 4) html += "<img src='img/tall.png'>";
    }
    HTMLDocument doc(html + "</body>", home);
    doc.layout(300);
    EXPECT_TRUE(doc.missingResources().empty());
    for (double page : {200.0, 333.3, 500.0}) {
        SCOPED_TRACE(page);
        auto slices = doc.paginate(page);
        expectSoundCuts(doc, slices, page);
        for (const auto& s : slices) {
            for (const auto& box : doc.boxes()) {
                if (!box.isText) {
                    EXPECT_FALSE(box.top < s.bottom - 0.01 && box.bottom > s.bottom + 0.01);
                }
            }
        }
    }
    // Nothing to lay out still prints one blank page.
    HTMLDocument empty("");
    empty.layout(300);
    EXPECT_EQ(empty.paginate(300).size(), 1u);
}

TEST_F(HTMLDocumentTest, LinesWhoseMarksReachIntoEachOtherStillFillTheirPages) {
    // Letters with marks stacked above and below, whose ink reaches into the lines around them:
    // no cut clears it, yet a page holds as many lines as any other text's.
    std::string text;
    for (int line = 0; line < 200; ++line) {
        for (int word = 0; word < 6; ++word) {
            for (const char* letter : {"a", "o", "e"}) {
                text += letter;
                for (int mark = 0; mark < 5; ++mark)
                    text += "\u0363\u036b\u0316\u0368";
            }
            text += ' ';
        }
        text += "<br>";
    }
    HTMLDocument doc("<div style='white-space: pre-wrap'>" + text + "</div>");
    doc.layout(kA4PaperSize.width);
    EXPECT_LE(doc.paginate(kA4PaperSize.height).size(), 8u) << "pages of a line each";
}

TEST_F(HTMLDocumentTest, BlocksListsTablesAndImagesLayOut) {
    writePng(home / "pic.png", 80, 40, 1, 0, 0);
    auto pdf = home / "blocks.pdf";
    auto result = renderHTMLToPDF("<h1>Big title</h1><p>First paragraph.</p><p>Second paragraph.</p>"
                                  "<ul><li>apple</li><li>pear</li></ul><ol><li>one</li><li>two</li></ol>"
                                  "<table border=1><tr><td>Alpha</td><td>Beta</td></tr>"
                                  "<tr><td>Gamma</td><td>Delta</td></tr></table><img src='pic.png'>",
                                  home, pdf);
    ASSERT_TRUE(result.ok) << result.error;
    auto lines = pdfPageLines(pdf, 1, true);
    auto has = [&](const std::string& text) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const auto& l) { return l.find(text) != std::string::npos; });
    };
    // Blocks stack on lines of their own; cells of a row share one; ordered items are numbered.
    EXPECT_TRUE(has("Big title"));
    EXPECT_FALSE(has("title First"));
    EXPECT_FALSE(has("paragraph. Second"));
    EXPECT_TRUE(has("1. one"));
    EXPECT_TRUE(has("2. two"));
    auto row = std::find_if(lines.begin(), lines.end(),
                            [](const auto& l) { return l.find("Alpha") != std::string::npos; });
    ASSERT_NE(row, lines.end());
    EXPECT_NE(row->find("Beta"), std::string::npos);
    EXPECT_EQ(row->find("Gamma"), std::string::npos);

    HTMLDocument doc("<h1>Big</h1><p>small</p><img src='pic.png'>", home);
    doc.layout(kA4PaperSize.width);
    ASSERT_GE(doc.boxes().size(), 3u);
    EXPECT_GT(doc.boxes()[0].bottom - doc.boxes()[0].top, 1.5 * (doc.boxes()[1].bottom - doc.boxes()[1].top));
    auto image =
        std::find_if(doc.boxes().begin(), doc.boxes().end(), [](const auto& b) { return !b.isText; });
    ASSERT_NE(image, doc.boxes().end());
    EXPECT_NEAR(image->bottom - image->top, 40 * HTMLDocument::kPointsPerPixel, 0.01);
}

TEST_F(HTMLDocumentTest, LinkedStylesheetAndImagesComeFromTheBaseFolderOnly) {
    writeFile(home / "site" / "css" / "style.css", ".big { font-size: 48px; font-weight: bold; }");
    writePng(home / "secret.png", 10, 10, 0, 1, 0);
    writePng(home / "site" / "ok.png", 10, 10, 0, 1, 0);
    const std::string html =
        "<link rel='stylesheet' href='css/style.css'><p class='big'>Hello</p>"
        "<img src='ok.png'><img src='../secret.png'><img src='http://example.com/x.png'>";
    HTMLDocument styled(html, home / "site");
    styled.layout(400);
    HTMLDocument plain(html); // no folder: nothing relative is read
    plain.layout(400);
    ASSERT_FALSE(styled.boxes().empty());
    ASSERT_FALSE(plain.boxes().empty());
    const auto& big = styled.boxes().front();
    const auto& normal = plain.boxes().front();
    EXPECT_GT(big.bottom - big.top, 2.5 * (normal.bottom - normal.top));
    EXPECT_EQ(styled.missingResources(),
              (std::set<std::string>{"../secret.png", "http://example.com/x.png"}));
    EXPECT_TRUE(plain.missingResources().count("css/style.css"));

    // An absolute path (a photo picked into the temporary folder) is read as it stands, JPEG
    // included; a damaged file is reported, not drawn.
    writeJpeg(home / "tmp" / "photo.jpg", 64, 48, 200, 30, 30);
    auto jpeg = run("head -c 300 " + quoted(home / "tmp" / "photo.jpg"));
    writeFile(home / "site" / "cut.jpg", jpeg);
    HTMLDocument photo("<img src='" + (home / "tmp" / "photo.jpg").string() + "'><img src='cut.jpg'>",
                       home / "site");
    photo.layout(400);
    EXPECT_EQ(photo.missingResources(), std::set<std::string>{"cut.jpg"});
    auto image =
        std::find_if(photo.boxes().begin(), photo.boxes().end(), [](const auto& b) { return !b.isText; });
    ASSERT_NE(image, photo.boxes().end());
    EXPECT_NEAR(image->bottom - image->top, 48 * HTMLDocument::kPointsPerPixel, 0.01);
}

TEST_F(HTMLDocumentTest, EmojiAndChineseTextReachThePDF) {
    auto pdf = home / "intl.pdf";
    auto result = renderHTMLToPDF("<p style='font-size:40px'>你好世界 Hello 😀🎉</p>", home, pdf);
    ASSERT_TRUE(result.ok) << result.error;
    auto text = run("pdftotext " + quoted(pdf) + " -");
    EXPECT_NE(text.find("你好世界"), std::string::npos) << text;
    EXPECT_NE(run("pdffonts " + quoted(pdf)).find("WenQuanYi"), std::string::npos);

    // The emoji are colour pictures: the only colourful pixels on an otherwise black-on-white page.
    run("pdftoppm -png -r 50 -f 1 -l 1 " + quoted(pdf) + " " + quoted(home / "intl"));
    cairo_surface_t* png = cairo_image_surface_create_from_png((home / "intl-1.png").c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    const int w = cairo_image_surface_get_width(png), h = cairo_image_surface_get_height(png);
    const int stride = cairo_image_surface_get_stride(png);
    const unsigned char* data = cairo_image_surface_get_data(png);
    int colourful = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            auto px = *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
            int r = (px >> 16) & 0xFF, g = (px >> 8) & 0xFF, b = px & 0xFF;
            if (std::max({r, g, b}) - std::min({r, g, b}) > 80) ++colourful;
        }
    cairo_surface_destroy(png);
    EXPECT_GT(colourful, 50);
}

TEST_F(HTMLDocumentTest, FailedWritesAreReportedAndLeaveOldFilesAlone) {
    auto missingFolder = renderHTMLToPDF("<p>x</p>", home, home / "no" / "such" / "folder" / "x.pdf");
    EXPECT_FALSE(missingFolder.ok);
    EXPECT_FALSE(missingFolder.error.empty());

    std::filesystem::create_directories(home / "taken.pdf" / "inside");
    auto overDirectory = renderHTMLToPDF("<p>x</p>", home, home / "taken.pdf");
    EXPECT_FALSE(overDirectory.ok);
    EXPECT_TRUE(std::filesystem::is_directory(home / "taken.pdf" / "inside"));

    auto pdf = home / "kept.pdf";
    ASSERT_TRUE(renderHTMLToPDF("<p>first</p>", home, pdf).ok);
    ASSERT_TRUE(renderHTMLToPDF("<p>second</p>", home, pdf).ok);
    EXPECT_EQ(pdfPageLines(pdf, 1), std::vector<std::string>{"second"});
    // No temporary files are left beside the target.
    for (const auto& entry : std::filesystem::directory_iterator(home))
        EXPECT_EQ(entry.path().filename().string().rfind("kept.pdf.", 0), std::string::npos);
}

} // namespace
