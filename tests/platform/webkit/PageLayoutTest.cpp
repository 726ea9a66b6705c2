// What our layout adds to the engine for printed pages: words that break anywhere when the page
// allows it, pages that never hold only padding, blocks kept whole, and the page's paper on every
// page.

#include <algorithm>
#include <sstream>

#include <gtest/gtest.h>

#include <cairo.h>
#include <glib.h>

#include "platform/webkit/HTMLDocument.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using namespace quillora::test;

namespace {

class PageLayoutTest : public PlatformTest {};

std::string lines(int from, int to) {
    std::string out;
    for (int i = from; i <= to; ++i)
        out += "<div>Line number " + std::to_string(i) + "</div>";
    return out;
}

int distinctLineTops(const HTMLDocument& doc) {
    std::set<double> tops;
    for (const auto& b : doc.boxes())
        tops.insert(b.top);
    return static_cast<int>(tops.size());
}

TEST_F(PageLayoutTest, ALongWordBreaksInsideItsBoxOnlyWhereThePageAllowsIt) {
    const std::string word = "jane.doe.lettings.and.sales.department@harbourside-homes.example";
    HTMLDocument anywhere("<p style='overflow-wrap: anywhere'>" + word + "</p>");
    anywhere.layout(120);
    EXPECT_GE(distinctLineTops(anywhere), 4) << "the address should take several lines";

    // Without the property the word stays whole on one line, as a browser keeps it.
    HTMLDocument normal("<p>" + word + "</p>");
    normal.layout(120);
    EXPECT_EQ(distinctLineTops(normal), 1);

    // Words that fit are never broken, even where breaking is allowed.
    HTMLDocument shortWords("<p style='overflow-wrap: anywhere'>tiny words only</p>");
    shortWords.layout(120);
    EXPECT_EQ(shortWords.boxes().size(), 3u);

    // A cell keeps its share of the table: the address wraps inside a quarter of the page.
    const std::string strip = "<td style='width:25%'>" + word + "</td>";
    auto pdf = home / "strips.pdf";
    ASSERT_TRUE(renderHTMLToPDF("<table style='width:100%; overflow-wrap: anywhere'><tr>" + strip + strip +
                                    strip + strip + "</tr></table>",
                                home, pdf)
                    .ok);
    const std::string bbox = run("pdftotext -bbox " + quoted(pdf) + " -");
    std::regex wordBox(R"re(xMax="([0-9.]+)")re");
    for (auto it = std::sregex_iterator(bbox.begin(), bbox.end(), wordBox); it != std::sregex_iterator();
         ++it)
        EXPECT_LE(std::stod((*it)[1]), kA4PaperSize.width);
}

// The lines a word printed alone in a box `width` points wide reads on, top to bottom.
std::vector<std::string> printedLines(const std::filesystem::path& pdf) {
    std::vector<std::string> lines;
    for (const auto& page : pdfVisualLines(pdf))
        lines.insert(lines.end(), page.begin(), page.end());
    return lines;
}

std::size_t charactersOf(const std::string& text) {
    return static_cast<std::size_t>(g_utf8_strlen(text.c_str(), -1));
}

TEST_F(PageLayoutTest, AWordTooWideForItsBoxBreaksWhereAnAddressOrAPathBreaks) {
    struct Case {
        std::string word;
        double width; // points, at 10 pt DejaVu Sans
        std::vector<std::string> lines;
    };
    const std::string mail = "listings@example.com", path = "/home/alex/Documents/Letters/march.txt";
    const std::string link = "https://www.example.com/listings/harbour-view";
    const std::string word = "Hippopotomonstrosesquippedaliophobia";
    const std::vector<Case> cases{
        {mail, 110, {mail}},
        {mail, 99, {"listings@", "example.com"}},
        {mail, 80, {"listings@", "example.com"}},
        {mail, 70, {"listings@", "example.com"}},
        {mail, 50, {"listings@", "example", ".com"}},
        {"a@example.com", 60, {"a@example", ".com"}},
        {path, 150, {"/home/alex/Documents/Letters", "/march.txt"}},
        {path, 110, {"/home/alex", "/Documents/Letters", "/march.txt"}},
        {path, 70, {"/home/alex", "/Documents", "/Letters", "/march.txt"}},
        {link, 150, {"https://www.example.com", "/listings/harbour-view"}},
        {link, 110, {"https://", "www.example.com", "/listings/harbour-view"}},
        {link, 80, {"https://", "www.example", ".com/listings", "/harbour-view"}},
        // No address: cut between letters, none left alone at the end.
        {word, 60, {}},
        {word, 100, {}},
        {word, 193, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word + " in " + std::to_string(c.width) + " pt");
        const auto pdf = home / "word.pdf";
        ASSERT_TRUE(
            renderHTMLToPDF("<p style='margin:0; overflow-wrap:anywhere; font: 10pt \"DejaVu Sans\"; width:" +
                                std::to_string(c.width) + "pt'>" + c.word + "</p>",
                            home, pdf)
                .ok);
        const auto lines = printedLines(pdf);
        std::string whole;
        for (const auto& line : lines) {
            whole += line;
            EXPECT_GE(charactersOf(line), 3u) << "\"" << line << "\" stands alone";
        }
        EXPECT_EQ(whole, c.word);
        if (!c.lines.empty()) {
            EXPECT_EQ(lines, c.lines);
        }
        const auto pages = pdfWordBoxes(pdf);
        for (const auto& box : pages.at(0).words)
            EXPECT_LE(box.xMax - box.xMin, c.width + 1) << "\"" << box.text << "\" is wider than its box";
    }
}

TEST_F(PageLayoutTest, AnEmptyLineBetweenTwoLineBreaksStaysBetweenTheLines) {
    for (const std::string breaks : {"<br><br>", "<br>\n<BR/>", "<br><br><br>"}) {
        for (const std::string style : {"", " style='white-space: pre-wrap'"}) {
            HTMLDocument document("<div" + style + ">Dear Ann," + breaks +
                                  "the keys are under the mat.</div>");
            document.layout(400);
            std::set<double> tops;
            for (const auto& box : document.boxes())
                tops.insert(box.top);
            // The letter's two lines and an empty one for each break beyond the first, each a
            // line below the one before.
            const std::size_t emptyLines = breaks == "<br><br><br>" ? 2 : 1;
            ASSERT_EQ(tops.size(), emptyLines + 2) << breaks << style;
            const double line = *std::next(tops.begin()) - *tops.begin();
            EXPECT_GT(line, 10);
            EXPECT_NEAR(*tops.rbegin() - *tops.begin(), static_cast<double>(emptyLines + 1) * line, 0.5)
                << breaks << style;
        }
    }
    // What holds the empty line open never reaches the PDF's text.
    const auto pdf = home / "letter.pdf";
    ASSERT_TRUE(renderHTMLToPDF("<div>Dear Ann,<br><br>the keys</div>", home, pdf).ok);
    EXPECT_EQ(run("pdftotext " + quoted(pdf) + " -").find("\xe2\x80\x8b"), std::string::npos);
}

TEST_F(PageLayoutTest, PaddingBelowTheLastLineStartsNoPage) {
    // Lines that fill most of a page, then a deep bottom padding that would spill over.
    const std::string html = "<body style='margin:0; padding: 20px 0 300px 0'>" + lines(1, 52) + "</body>";
    HTMLDocument doc(html);
    doc.layout(kA4PaperSize.width);
    ASSERT_GT(doc.contentHeight(), kA4PaperSize.height);
    EXPECT_EQ(doc.paginate(kA4PaperSize.height).size(), 1u);

    auto pdf = home / "padded.pdf";
    auto result = renderHTMLToPDF(html, home, pdf);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(pdfPageCount(pdf), 1);
}

TEST_F(PageLayoutTest, EveryPageKeepsThePageRulesMargins) {
    // The first page's own top (here none), then an inch at the top of every other page, and a
    // centimetre and an inch at every page's foot, in the units a stylesheet may use.
    struct Case {
        const char* rules;
        double firstTop, top, bottom;
    };
    for (const auto& c : {Case{"@page { margin: 1in 0 } @page :first { margin-top: 0 }", 0, 72, 72},
                          Case{"/* @page { margin: 9in } */ @page { margin-top: 96px; margin-bottom: 1cm }",
                               72, 72, 72 / 2.54},
                          Case{"@page :left { margin: 3in } @page { margin: 20mm 0 0 }", 72 * 20 / 25.4,
                               72 * 20 / 25.4, 0}}) {
        SCOPED_TRACE(c.rules);
        const auto pdf = home / "margins.pdf";
        ASSERT_TRUE(renderHTMLToPDF(std::string("<html><head><style>") + c.rules +
                                        "</style></head><body style='margin:0; background: #ffe'>" +
                                        lines(1, 150) + "</body></html>",
                                    home, pdf)
                        .ok);
        const auto pages = pdfWordBoxes(pdf);
        ASSERT_GE(pages.size(), 3u);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            double first = pages[i].height, last = 0;
            for (const auto& w : pages[i].words) {
                first = std::min(first, w.yMin);
                last = std::max(last, w.yMax);
            }
            const double top = i == 0 ? c.firstTop : c.top;
            EXPECT_GE(first, top) << "page " << i + 1;
            EXPECT_LT(first, top + 4) << "page " << i + 1 << " starts lower than its margin";
            EXPECT_LE(last, pages[i].height - c.bottom) << "page " << i + 1;
            if (i + 1 < pages.size()) {
                EXPECT_GT(last, pages[i].height - c.bottom - 30) << "page " << i + 1;
            }
        }
    }
}

TEST_F(PageLayoutTest, KeptBlocksAndHeadingsMoveWholeToTheNextPage) {
    // Page one ends inside the kept block: all of it goes to page two.
    const std::string kept = "<div style='page-break-inside: avoid'>" + lines(100, 105) + "</div>";
    auto pdf = home / "kept.pdf";
    ASSERT_TRUE(renderHTMLToPDF("<body style='margin:0'>" + lines(1, 56) + kept + "</body>", home, pdf).ok);
    ASSERT_EQ(pdfPageCount(pdf), 2);
    auto second = pdfPageLines(pdf, 2);
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second.front(), "Line number 100");

    // A heading at the foot of a page goes over with the line it introduces.
    const std::string heading = "<h2 style='page-break-after: avoid; margin:0'>Chapter two</h2>";
    for (int filler = 54; filler <= 60; ++filler) {
        SCOPED_TRACE(filler);
        ASSERT_TRUE(renderHTMLToPDF("<body style='margin:0'>" + lines(1, filler) + heading + lines(200, 260) +
                                        "</body>",
                                    home, pdf)
                        .ok);
        for (int page = 1; page <= pdfPageCount(pdf); ++page) {
            auto text = pdfPageLines(pdf, page);
            ASSERT_FALSE(text.empty());
            EXPECT_NE(text.back(), "Chapter two") << "the heading ends page " << page;
        }
    }
}

TEST_F(PageLayoutTest, AClosingGoesOverWithTheLastLinesItAsksFor) {
    // A paragraph of lines, then a closing that must not start a page, alone or with the
    // paragraph's last lines (its widows) kept together: at every filler height some page's
    // foot falls between them.
    struct Case {
        const char* text;
        const char* closing;
        int linesWithIt;
    };
    for (const auto& c : {Case{"", "page-break-before: avoid", 1},
                          Case{"widows: 3", "break-before: avoid", 3}, Case{"widows: 2", "", 0}}) {
        for (int filler = 44; filler <= 52; ++filler) {
            SCOPED_TRACE(std::string(c.text) + " " + c.closing + " " + std::to_string(filler));
            std::string paragraph;
            for (int i = 1; i <= 12; ++i)
                paragraph += (i > 1 ? "<br>Body " : "Body ") + std::to_string(i);
            const auto pdf = home / "closing.pdf";
            ASSERT_TRUE(renderHTMLToPDF("<body style='margin:0'>" + lines(1, filler) + "<div style='" +
                                            c.text + "'>" + paragraph + "</div><p style='margin:0; " +
                                            c.closing + "'>Closing</p></body>",
                                        home, pdf)
                            .ok);
            int printed = 0, page = 1, body = 0;
            std::istringstream text(run("pdftotext " + quoted(pdf) + " -"));
            for (std::string line; std::getline(text, line);) {
                if (line.starts_with("\f")) ++page, body = 0, line.erase(0, 1);
                if (line.starts_with("Body")) ++body, ++printed;
                if (line == "Closing") {
                    EXPECT_GE(body, c.linesWithIt) << "page " << page << " holds the closing";
                }
                // Widows: the page the paragraph ends on holds that many of its lines.
                if (line == "Body 12") {
                    EXPECT_GE(body, std::max(c.linesWithIt, *c.text ? 2 : 1))
                        << "page " << page << " ends it";
                }
            }
            EXPECT_EQ(printed, 12);
        }
    }
}

TEST_F(PageLayoutTest, ThePagesPaperCoversEveryPageToItsFoot) {
    // A margin line drawn down the paper by a picture repeated from top to foot, as a notes pad's.
    const auto line = home / "line.png";
    cairo_surface_t* red = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 3, 8);
    cairo_t* cr = cairo_create(red);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    ASSERT_EQ(cairo_surface_write_to_png(red, line.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(red);
    const std::string paper = "background: rgb(255, 250, 214) url(line.png) repeat-y 40px 0";
    // The paper on the root or on the body; a page shorter than the sheet, and pages that fill it
    // with margins at their top and foot. A body with a background of its own inside a root with
    // paper covers only its own box, not the margins.
    struct Case {
        std::string root, body;
        int lines, pages;
    };
    for (const auto& c : {Case{"", paper, 5, 1}, Case{"", paper, 90, 2}, Case{paper, "", 5, 1},
                          Case{paper, "", 90, 2}, Case{paper, "background: rgb(250, 250, 250)", 90, 2}}) {
        SCOPED_TRACE("root " + c.root + ", body " + c.body + ", " + std::to_string(c.lines) + " lines");
        const std::string html =
            "<html style='margin:0; " + c.root +
            "'><head><style>@page { margin: 1in 0 }</style></head><body style='margin:0; " + c.body + "'>" +
            lines(1, c.lines) + "</body></html>";
        auto pdf = home / "paper.pdf";
        ASSERT_TRUE(renderHTMLToPDF(html, home, pdf).ok);
        ASSERT_EQ(pdfPageCount(pdf), c.pages);
        std::filesystem::remove_all(home / "paper");
        std::filesystem::create_directories(home / "paper");
        // 72 dpi: a pixel a point; the line is 30 points in, 2 points wide.
        run("pdftoppm -png -r 72 " + quoted(pdf) + " " + quoted(home / "paper" / "page"));
        for (int page = 1; page <= c.pages; ++page) {
            const auto file = home / "paper" / ("page-" + std::to_string(page) + ".png");
            cairo_surface_t* png = cairo_image_surface_create_from_png(file.c_str());
            ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
            cairo_surface_flush(png);
            const int h = cairo_image_surface_get_height(png);
            // The margins at the page's top (after the first) and at its foot.
            for (int y : {1, h - 2}) {
                if (y == 1 && page == 1) continue;
                const auto* row = reinterpret_cast<const std::uint32_t*>(
                    cairo_image_surface_get_data(png) + y * cairo_image_surface_get_stride(png));
                EXPECT_EQ(row[5] & 0xFFFFFF, 0xFFFAD6u)
                    << "row " << y << " of page " << page << " is not the paper";
                EXPECT_EQ(row[31] & 0xFFFFFF, 0xFF0000u)
                    << "the margin line misses row " << y << " of page " << page;
            }
            cairo_surface_destroy(png);
        }
    }
}

} // namespace
