// Lines holding right-to-left text, set as a browser sets the same page: each line's words and
// the parts of words in the order the bidirectional algorithm gives (Hebrew and Arabic runs read
// from the right, numbers and Latin words inside them from the left, punctuation at the end the
// paragraph's direction puts it), read back from the PDF as a reader sees each line. They are
// compared with what wkhtmltopdf prints of the same page and with the line as pango sets it in a
// left-to-right paragraph; the screen shows what the paper does.
#include <gtest/gtest.h>

#include <cairo.h>
#include <pango/pangocairo.h>

#include "platform/foundation/FontLock.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/webkit/HTMLDocument.h"
#include "platform/webkit/PDFWriter.h"
#include "platform/webkit/WKWebView.h"
#include "tests/support/ImageCompare.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using namespace quillora::test;

namespace {

class RightToLeftTest : public PlatformTest {};

// QUILLORA_KEEP_PDFS=FOLDER keeps a copy of what is compared, for a person to look at.
void keep(const std::filesystem::path& file, const std::string& name) {
    if (const char* folder = std::getenv("QUILLORA_KEEP_PDFS"))
        std::filesystem::copy_file(file, std::filesystem::path(folder) / name,
                                   std::filesystem::copy_options::overwrite_existing);
}

struct Case {
    const char* name;
    // The paragraph's lines, as given with a line break between them.
    std::vector<std::string> lines;
    // Markup in place of the lines, when the lines are not all it holds.
    std::string markup = {};
    // Why wkhtmltopdf's older bidirectional algorithm sets the line otherwise: pango alone then
    // stands for the browsers.
    const char* wkhtmltopdfDiffers = nullptr;
};

const std::vector<Case>& singleLines() {
    static const std::vector<Case> cases{
        {"a long and a short Hebrew word with a full stop", {"שששששששששש בב."}},
        {"Hebrew sentences, one a line, with numbers and a comma", {"שלום עולם.", "זה מבחן, 123 ו-456."}},
        {"a Hebrew word among Latin ones", {"abc שלום def"}},
        {"Hebrew words inside an English sentence", {"The word שלום עולם means hello world."}},
        {"Latin words and a number inside Hebrew", {"אני גר ב-Tel Aviv 5 שנים."}},
        {"Hebrew with numbers", {"בשנת 2024 היו 365 ימים"}},
        {"Arabic with a number", {"مرحبا بالعالم 2024"}},
        {"Arabic with a full stop", {"مرحبا بالعالم."}},
        {"a Latin name inside Arabic", {"كتب Ahmed رسالة طويلة"}},
        {"Hebrew in bold and italics", {"שלום עולם יפה."}, "<b>שלום</b> עולם <i>יפה</i>."},
        {"Hebrew and Arabic in one line, then a number and a full stop",
         {"שלום مرحبا עולם 42."},
         {},
         "it leaves the full stop inside the right-to-left run, before the number"},
        {"Arabic ending in a number and a full stop",
         {"مرحبا بالعالم 2024."},
         {},
         "it draws the full stop over the Arabic word before the number"},
        {"brackets around Hebrew words", {"(שלום) [עולם]"}, {}, "it knows no bracket pairs"},
    };
    return cases;
}

std::string pageOf(const std::string& paragraphs) {
    return "<!DOCTYPE html><html><head><meta charset='utf-8'><style>body { margin: 0; background: white; "
           "font-family: 'DejaVu Sans'; font-size: 14pt; } p { margin: 0 0 6pt 0; }</style></head><body>" +
           paragraphs + "</body></html>";
}

std::string paragraphOf(const Case& c, const std::string& style = {}) {
    std::string content = c.markup;
    if (content.empty())
        for (std::size_t i = 0; i < c.lines.size(); ++i)
            content += (i ? "<br>" : "") + c.lines[i];
    return "<p style=\"" + style + "\">" + content + "</p>";
}

// The lines of every page, one after the other.
std::vector<std::string> linesOf(const std::filesystem::path& pdf) {
    std::vector<std::string> out;
    for (const auto& page : pdfVisualLines(pdf))
        out.insert(out.end(), page.begin(), page.end());
    return out;
}

std::vector<std::string> wkhtmltopdfLines(const std::filesystem::path& folder, const std::string& html) {
    writeFile(folder / "page.html", html);
    const auto pdf = folder / "wkhtmltopdf.pdf";
    std::filesystem::remove(pdf);
    run("QT_QPA_PLATFORM=offscreen wkhtmltopdf -q " + quoted(folder / "page.html") + " " + quoted(pdf));
    EXPECT_TRUE(std::filesystem::exists(pdf))
        << "wkhtmltopdf printed nothing (scripts/bootstrap installs it)";
    return linesOf(pdf);
}

// `text` as pango sets it in a paragraph that runs left to right, read back from a PDF.
std::vector<std::string> pangoLines(const std::filesystem::path& pdf, const std::string& text) {
    {
        FontLock::Guard fonts;
        PDFWriter writer({595, 200});
        cairo_t* cr = writer.beginPage({595, 200});
        PangoContext* context = pango_font_map_create_context(TextDrawing::fontMap());
        pango_context_set_base_dir(context, PANGO_DIRECTION_LTR);
        PangoLayout* layout = pango_layout_new(context);
        pango_layout_set_auto_dir(layout, FALSE);
        PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans 14");
        pango_layout_set_font_description(layout, font);
        pango_layout_set_text(layout, text.c_str(), -1);
        pango_cairo_show_layout(cr, layout);
        pango_font_description_free(font);
        g_object_unref(layout);
        g_object_unref(context);
        EXPECT_TRUE(writer.finish() && writeFileAtomically(pdf, writer.data()));
    }
    return linesOf(pdf);
}

TEST_F(RightToLeftTest, EveryLineReadsInTheOrderABrowserPrintsIt) {
    const auto& cases = singleLines();
    std::string paragraphs;
    for (const auto& c : cases)
        paragraphs += paragraphOf(c);
    const std::string html = pageOf(paragraphs);
    const auto pdf = home / "ours.pdf";
    ASSERT_TRUE(renderHTMLToPDF(html, home, pdf).ok);
    const auto ours = linesOf(pdf);
    const auto theirs = wkhtmltopdfLines(home, html);
    keep(pdf, "right-to-left-lines.pdf");
    keep(home / "wkhtmltopdf.pdf", "right-to-left-lines-wkhtmltopdf.pdf");
    std::size_t at = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& line : c.lines) {
            ASSERT_LT(at, ours.size());
            ASSERT_LT(at, theirs.size());
            const auto pango = pangoLines(home / "pango.pdf", line).at(0);
            EXPECT_TRUE(ours[at] == pango)
                << "\"" << line << "\" reads \"" << ours[at] << "\", pango sets \"" << pango << "\"";
            if (!c.wkhtmltopdfDiffers) {
                EXPECT_TRUE(ours[at] == theirs[at]) << "\"" << line << "\" reads \"" << ours[at]
                                                    << "\", wkhtmltopdf prints \"" << theirs[at] << "\"";
            } else {
                EXPECT_NE(ours[at], theirs[at]) << "wkhtmltopdf no longer differs: " << c.wkhtmltopdfDiffers;
            }
            ++at;
        }
    }
    EXPECT_EQ(at, ours.size());
    // The line the fault was found with, as it reads: the short word left of the long one, the
    // full stop at the right end.
    EXPECT_TRUE(ours.at(0) == "בב שששששששששש.") << ours.at(0);
}

// Lines that wrap: each is turned on its own, its words staying on it. Each line holds a long
// word and a short one and the next long word never fits beside them, so both engines break at
// the same words.
TEST_F(RightToLeftTest, WrappedLinesAreEachTurnedOnTheirOwn) {
    const std::string alphabet = "אבגדהוזחטיכלמנסעפצקרשת";
    const std::vector<std::string> shortWords{"כן", "לא", "אם", "גם", "רק"};
    std::string hebrew, mixed;
    for (std::size_t i = 0; i < shortWords.size(); ++i) {
        std::string longWord;
        for (std::size_t k = 0; k < 20; ++k) // two bytes a letter
            longWord += alphabet.substr(((i * 3 + k) % 22) * 2, 2);
        hebrew += longWord + " " + shortWords[i] + " ";
        mixed += longWord + " " + std::to_string(10 * (i + 1)) + (i % 2 ? " Tel" : " Aviv") + " ";
    }
    for (const char* align : {"left", "justify", "center"}) {
        SCOPED_TRACE(align);
        const std::string style = std::string("width: 290pt; text-align: ") + align;
        const std::string html = pageOf("<p style=\"" + style + "\">" + hebrew + "</p><p style=\"" + style +
                                        "\">" + mixed + "</p>");
        const auto pdf = home / "wrapped.pdf";
        ASSERT_TRUE(renderHTMLToPDF(html, home, pdf).ok);
        const auto ours = linesOf(pdf);
        ASSERT_EQ(ours.size(), 2 * shortWords.size());
        const auto theirs = wkhtmltopdfLines(home, html);
        for (std::size_t i = 0; i < ours.size(); ++i)
            EXPECT_TRUE(i < theirs.size() && ours[i] == theirs[i])
                << "line " << i + 1 << " reads \"" << ours[i] << "\", wkhtmltopdf prints \""
                << (i < theirs.size() ? theirs[i] : "") << "\"";
        EXPECT_EQ(theirs.size(), ours.size());
        keep(pdf, std::string("right-to-left-wrapped-") + align + ".pdf");
        keep(home / "wkhtmltopdf.pdf", std::string("right-to-left-wrapped-") + align + "-wkhtmltopdf.pdf");
    }
}

TEST_F(RightToLeftTest, TheScreenShowsTheLinesAsThePaperPrintsThem) {
    std::string paragraphs;
    for (const auto& c : singleLines())
        paragraphs += paragraphOf(c, "text-align: center");
    const std::string html = pageOf(paragraphs);
    const double width = 390, height = 844;
    auto web = std::make_shared<WKWebView>(CGRect{0, 0, width, height});
    web->loadHTMLString_baseURL(html, home.string());
    runUntilIdle();
    const auto screen = home / "screen.png";
    {
        cairo_surface_t* image =
            cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(width * 2), int(height * 2));
        cairo_t* cr = cairo_create(image);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_scale(cr, 2, 2);
        ScreenRenderer::drawView(cr, *web);
        cairo_destroy(cr);
        ASSERT_EQ(cairo_surface_write_to_png(image, screen.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(image);
    }
    // The same page at the same width on paper, drawn whole on one page of the screen's size.
    const auto pdf = home / "paper.pdf";
    {
        HTMLDocument page(html, home);
        page.layout(width, height);
        PDFWriter writer({width, height});
        page.drawSlice(writer.beginPage({width, height}), {0, std::min(height, page.contentHeight())});
        ASSERT_TRUE(writer.finish() && writeFileAtomically(pdf, writer.data()));
    }
    run("pdftoppm -r 144 -singlefile -png " + quoted(pdf) + " " + quoted(home / "paper"));
    ImageTolerance tolerance;
    tolerance.countStrokes = true;
    keep(screen, "right-to-left-screen.png");
    keep(home / "paper.png", "right-to-left-paper.png");
    const auto comparison = compareImages(screen, home / "paper.png", tolerance);
    EXPECT_TRUE(comparison.matches) << comparison.message;
}

} // namespace
