// Every template screen's PDF, filled as a person fills the forms and then with the long values
// people also type (a long e-mail address, a long word in every heading and name, a long
// transcript in every script the dictation offers), read back with poppler's tools: every word
// whole, every word on its page, no blank page, no tear-off strip cut in two. The same pages at
// the phone's width keep every word inside the screen.

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include <cairo.h>
#include <glib.h>

#include "pdf/PDFTemplate.h"
#include "pdf/PDFTemplateViewController.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSURL.h"
#include "platform/webkit/HTMLDocument.h"
#include "platform/webkit/PDFWriter.h"
#include "platform/webkit/UIPrintFormatter.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

namespace quillora {
namespace {

using test::quoted;
using test::run;

using test::pdfWordBoxes;

// Text compared as a reader would: case folded (headings may be in capitals), compatibility
// forms joined, white space gone (a word broken over lines is still whole).
std::string folded(const std::string& text) {
    gchar* normal = g_utf8_normalize(text.c_str(), -1, G_NORMALIZE_ALL_COMPOSE);
    gchar* fold = g_utf8_casefold(normal ? normal : "", -1);
    std::string out;
    for (const char* p = fold; *p; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        if (!g_unichar_isspace(c) && c != 0x200B && (c < 0x202A || c > 0x202E))
            out.append(p, static_cast<std::size_t>(g_utf8_next_char(p) - p));
    }
    g_free(fold);
    g_free(normal);
    return out;
}

// pdftotext gives right-to-left words in the order their letters stand on the page.
bool holds(const std::string& foldedText, const std::string& word) {
    const std::string w = folded(word);
    if (foldedText.find(w) != std::string::npos) return true;
    gchar* reversed = g_utf8_strreverse(w.c_str(), -1);
    const bool found = foldedText.find(reversed) != std::string::npos;
    g_free(reversed);
    return found;
}

std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

// The values a person starts from: the forms' own sample texts.
TemplateDictionary sampleValues() {
    return {{"Page_Heading", "SAFA FOR SALE "},
            {"Page_SubHeading", "5 Seater Sofa "},
            {"Price", "$1000"},
            {"Display_Date", "21st Oct 2021"},
            {"Display_Time", "4PM - 5PM"},
            {"Location", "California"},
            {"Website", "listings@example.com"},
            {"Phone_No", "+123456789"},
            {"Instructor_Name", "Dr Alvarez"},
            {"Page_Title", "Weekly planning"},
            {"Your_Name", "Alex Morgan"},
            {"Your_CompanyName", "Brightside"},
            {"Your_PhoneNo", "+1234567890"},
            {"Your_Email", "alex.morgan@example.com"},
            {"Your_Address", "12 Harbour Road"},
            {"Recipient_Name", "Sam Lee"},
            {"Recipient_Address", "4 Mill Lane"},
            {"Font_SizeHeading", "fs-1"},
            {"Font_SizeSubheading", "fs-2"},
            {"TextColor_Heading", "text-primary"},
            {"Font_Size", "fs-5"},
            {"Font_Weight", "fw-normal"}};
}

const std::string kLongEmail = "jane.doe.lettings.and.sales.department@harbourside-homes.example"; // 60+
const std::string kLongWord = "Hippopotomonstrosesquippedaliophobiacsxyz";                         // 40+

// Long values: the longest word, address and style everywhere a person can type one.
TemplateDictionary longValues() {
    auto d = sampleValues();
    for (auto& [key, value] : d) {
        if (key.starts_with("Font") || key.starts_with("TextColor")) continue;
        value = kLongWord + " " + value;
    }
    d["Website"] = kLongEmail;
    d["Your_Email"] = kLongEmail;
    d["Font_SizeHeading"] = d["Font_SizeSubheading"] = d["Font_SizeYourName"] = "fs-1";
    d["Font_SizeRecipientName"] = d["Font_Size"] = d["FontSize_Body"] = d["Font_SizeBody"] = "fs-1";
    d["Font_Weight"] = d["FontWeight_Body"] = d["Font_WeightBody"] = "fw-bolder";
    return d;
}

// Sixty lines, in every script of the dictation's languages.
std::string longTranscript() {
    const std::vector<std::string> scripts{
        "The tenant may move in at the start of the month",
        "Grüße aus Köln und schöne Äpfel",
        "Příliš žluťoučký kůň úpěl ďábelské ódy",
        "Zażółć gęślą jaźń przy stole",
        "Árvíztűrő tükörfúrógép működik",
        "Hyvää päivää ystävät hämärässä",
        "Ærlig talt går det fint på øen",
        "Ça va très bien à l'école",
        "Perché così è più facile",
        "Apakah kamu sudah makan siang",
        "Selamat pagi semua kawan",
        "नमस्ते दुनिया यह एक परीक्षा है",
        "שלום עולם זה מבחן",
        "你好世界这是一次测试",
        "こんにちは世界これはテストです",
        "안녕하세요 세계 이것은 시험입니다",
        "Olá mundo está tudo bem",
        "Hallo wereld het gaat goed",
        "¡Hola mundo! ¿Qué tal?",
        "Hei verden dette er en prøve",
    };
    std::string out;
    for (int i = 0; i < 60; ++i)
        out += scripts[static_cast<std::size_t>(i) % scripts.size()] + (i < 59 ? "\n" : "");
    return out;
}

class TemplatePagesTest : public test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        bundle = platform::NSBundle::mainBundle().bundlePath();
        photo = home / "tmp" / "photo.png";
        std::filesystem::create_directories(photo.parent_path());
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1200, 800);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, 0.2, 0.5, 0.8);
        cairo_paint(cr);
        cairo_destroy(cr);
        ASSERT_EQ(cairo_surface_write_to_png(s, photo.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(s);
    }

    std::string page(const PDFTemplate& row, const TemplateDictionary& values,
                     const std::string& transcript) {
        std::ifstream in(bundle / (row.resourceName() + ".html"));
        std::stringstream html;
        html << in.rdbuf();
        return fillPDFTemplate(row, values, transcript, html.str(), photo.string());
    }

    // The PDF as the row's screen writes it.
    std::filesystem::path print(const PDFTemplate& row, const std::string& html, const std::string& kind) {
        PDFEssayViewController screen;
        auto path = screen.createPDFFromPrintFormatter(
            std::make_shared<platform::UIViewPrintFormatter>(html, bundle), row.pdfName);
        EXPECT_TRUE(path.has_value());
        // For looking at them: TEMPLATE_PAGES_OUT=folder keeps a copy of every PDF.
        if (const char* out = std::getenv("TEMPLATE_PAGES_OUT"); out && path)
            std::filesystem::copy_file(*path, std::filesystem::path(out) / (row.name + "-" + kind + ".pdf"),
                                       std::filesystem::copy_options::overwrite_existing);
        return path.value_or("");
    }

    // The page as the screen shows it, phone-wide, drawn whole onto one tall PDF page.
    std::filesystem::path printPhoneWide(const std::string& html, double width,
                                         const std::string& name = "phone") {
        platform::HTMLDocument doc(html, bundle);
        const double height = doc.layout(width, 844);
        platform::PDFWriter writer({width, std::max(height, 1.0)});
        cairo_t* cr = writer.beginPage({width, std::max(height, 1.0)});
        doc.drawSlice(cr, {0, height});
        const auto out = home / "tmp" / (name + ".pdf");
        EXPECT_TRUE(writer.finish() && platform::writeFileAtomically(out, writer.data()));
        return out;
    }

    // The checks a reader makes of a template's PDF filled with `values`.
    void expectReadable(const PDFTemplate& row, const std::filesystem::path& pdf,
                        const TemplateDictionary& values, const std::string& transcript) {
        const auto pages = pdfWordBoxes(pdf);
        ASSERT_FALSE(pages.empty());
        // The text in the order it was drawn, page by page: a table's cells stay apart.
        std::vector<std::string> drawn(1);
        for (char c : run("pdftotext -raw " + quoted(pdf) + " -")) {
            if (c == '\f')
                drawn.emplace_back();
            else
                drawn.back() += c;
        }
        for (std::size_t i = 0; i < pages.size(); ++i) {
            const auto& p = pages[i];
            EXPECT_FALSE(p.words.empty()) << "page " << i + 1 << " of " << pages.size() << " is blank";
            for (const auto& w : p.words)
                EXPECT_TRUE(w.xMin >= -0.5 && w.yMin >= -0.5 && w.xMax <= p.width + 0.5 &&
                            w.yMax <= p.height + 0.5)
                    << "\"" << w.text << "\" at " << w.xMin << "," << w.yMin << "-" << w.xMax << "," << w.yMax
                    << " leaves page " << i + 1;
        }
        // Right-to-left words are drawn letter by letter from the right: they read whole in
        // pdftotext's reading order instead.
        std::string all, reading;
        for (const auto& t : drawn)
            all += t;
        for (const auto& p : pages)
            reading += p.text();
        const std::string text = folded(all) + "|" + folded(reading);
        for (const auto& m : row.marks) {
            if (m.source != FillSource::Value || m.key.starts_with("Font") || m.key.starts_with("TextColor"))
                continue;
            auto value = values.find(m.key);
            if (value == values.end()) continue;
            for (const auto& w : wordsOf(value->second))
                EXPECT_TRUE(holds(text, w)) << m.key << ": \"" << w << "\" is not whole";
        }
        for (const auto& w : wordsOf(transcript))
            EXPECT_TRUE(holds(text, w)) << "transcript: \"" << w << "\" is not whole";

        // The tear-off strips: all four on one page, each phone number with its address.
        if (row.name.ends_with("flyer")) {
            const std::string phone = folded(values.at("Phone_No"));
            const std::string mail = folded(values.at("Website"));
            int pagesWithStrips = 0;
            for (const auto& p : drawn) {
                const std::string t = folded(p);
                std::size_t strips = 0, mails = 0;
                for (auto at = t.find("☎" + phone); at != std::string::npos; at = t.find("☎" + phone, at + 1))
                    ++strips;
                for (auto at = t.find(mail); at != std::string::npos; at = t.find(mail, at + 1))
                    ++mails;
                if (strips + mails == 0) continue;
                ++pagesWithStrips;
                EXPECT_EQ(strips, 4u);
                EXPECT_EQ(mails, 4u);
            }
            EXPECT_EQ(pagesWithStrips, 1) << "the strips are split over pages";
        }
    }

    std::filesystem::path bundle, photo;
};

TEST_F(TemplatePagesTest, EveryScreenPrintsSampleValuesWholeOnOnePage) {
    const std::string transcript = "Opening line of the dictation\nSecond paragraph goes here";
    for (const auto& row : pdfTemplates()) {
        SCOPED_TRACE(row.name);
        const auto pdf = print(row, page(row, sampleValues(), transcript), "sample");
        EXPECT_EQ(test::pdfPageCount(pdf), 1);
        expectReadable(row, pdf, sampleValues(), transcript);
    }
}

TEST_F(TemplatePagesTest, EveryScreenPrintsLongValuesWholeInsideThePages) {
    const std::string transcript = longTranscript();
    for (const auto& row : pdfTemplates()) {
        SCOPED_TRACE(row.name);
        const auto pdf = print(row, page(row, longValues(), transcript), "long");
        EXPECT_GE(test::pdfPageCount(pdf), 2);
        expectReadable(row, pdf, longValues(), transcript);
    }
}

TEST_F(TemplatePagesTest, TearOffStripsAreNeverCutByAPage) {
    // Transcripts of several lengths bring the strips to the foot of a page at some point.
    for (const char* name : {"saleflyer", "rentflyer"}) {
        const auto& row = *pdfTemplateNamed(name);
        for (int count = 30; count <= 46; count += 4) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(count));
            std::string transcript;
            for (int i = 0; i < count; ++i)
                transcript += "Line " + std::to_string(i) + " of the flyer\n";
            const auto pdf = print(row, page(row, longValues(), transcript), "strips");
            expectReadable(row, pdf, longValues(), transcript);
        }
    }
}

TEST_F(TemplatePagesTest, PhoneWidePagesKeepEveryWordOnTheScreen) {
    for (const auto& values : {sampleValues(), longValues()}) {
        for (const auto& row : pdfTemplates()) {
            SCOPED_TRACE(row.name);
            const auto pdf = printPhoneWide(page(row, values, "Opening line\nSecond line"), 390);
            const auto pages = pdfWordBoxes(pdf);
            ASSERT_EQ(pages.size(), 1u);
            for (const auto& w : pages[0].words)
                EXPECT_TRUE(w.xMin >= -0.5 && w.xMax <= 390.5) << "\"" << w.text << "\" runs off the screen";
        }
    }
}

// What is typeset on the pages: lines, their margins, bands of colour ----------------------------

// A printed line: the words standing on one baseline, left to right.
struct Line {
    double top = 0, bottom = 0, left = 0, right = 0;
    std::vector<std::string> words;
    std::string text() const {
        std::string out;
        for (const auto& w : words)
            out += (out.empty() ? "" : " ") + w;
        return out;
    }
};

std::vector<Line> linesOf(const test::PdfPage& page) {
    auto words = page.words;
    std::sort(words.begin(), words.end(), [](const auto& a, const auto& b) {
        return std::abs(a.yMax - b.yMax) > 1 ? a.yMax < b.yMax : a.xMin < b.xMin;
    });
    std::vector<Line> lines;
    for (const auto& w : words) {
        if (lines.empty() || std::abs(lines.back().bottom - w.yMax) > 1)
            lines.push_back({w.yMin, w.yMax, w.xMin, w.xMax, {}});
        auto& line = lines.back();
        line.top = std::min(line.top, w.yMin);
        line.left = std::min(line.left, w.xMin);
        line.right = std::max(line.right, w.xMax);
        line.words.push_back(w.text);
    }
    return lines;
}

// The page margins of every template: the body's padding at the sides, and at the top of the
// pages after the first and the foot of every page the stylesheet's @page margins.
constexpr double kSideMargin = 56, kTopMargin = 48, kBottomMargin = 40;
// The first page's top is the template's own: a band may reach the paper's edge, but no word
// comes nearer it than a printer's unprintable border.
constexpr double kFirstPageTop = 24;

// A body of `count` dictated lines, each of `fewest` words or up to `spread` - 1 more (long enough
// to wrap several times unless told otherwise), of words that no other text of the templates uses.
const std::vector<std::string> kBodyWords{
    "amber",   "basalt",  "cinder", "delta",  "ember",   "fjord",  "granite", "harbour", "island",  "juniper",
    "kestrel", "lantern", "meadow", "nectar", "orchard", "pebble", "quarry",  "ripple",  "saffron", "thistle",
    "umber",   "valley",  "willow", "yonder", "zephyr",  "moss",   "slate",   "tide",    "heron",   "clover"};
std::vector<std::string> bodyLines(int count, int fewest = 22, int spread = 23) {
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        std::string line;
        const int words = fewest + (i * 7) % spread;
        for (int j = 0; j < words; ++j)
            line += (j ? " " : "") +
                    kBodyWords[static_cast<std::size_t>(i * 31 + j * 17 + j * j) % kBodyWords.size()];
        lines.push_back(line);
    }
    return lines;
}
std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines)
        out += (out.empty() ? "" : "\n") + l;
    return out;
}

bool isBodyLine(const Line& line) {
    for (auto w : line.words) {
        while (!w.empty() && (w.back() == '.' || w.back() == ','))
            w.pop_back();
        if (std::find(kBodyWords.begin(), kBodyWords.end(), w) == kBodyWords.end()) return false;
    }
    return !line.words.empty();
}

// The body's printed lines over all pages, each marked when it ends a paragraph (a dictated
// line, which the page ends with a full stop, or the body's last).
struct BodyLine {
    Line line;
    bool endsParagraph = false;
};
std::vector<BodyLine> printedBody(const std::vector<test::PdfPage>& pages) {
    std::vector<BodyLine> out;
    for (const auto& page : pages)
        for (const auto& line : linesOf(page))
            if (isBodyLine(line)) out.push_back({line, line.words.back().ends_with(".")});
    if (!out.empty()) out.back().endsParagraph = true;
    return out;
}

TEST_F(TemplatePagesTest, JustifiedTemplatesEndEveryLineButAParagraphsLastAtTheRightEdge) {
    const auto lines = bodyLines(30);
    const std::string transcript = joined(lines);
    for (const char* name : {"essay", "research", "personalletter", "modernletter"}) {
        SCOPED_TRACE(name);
        const auto& row = *pdfTemplateNamed(name);
        const auto pdf = print(row, page(row, sampleValues(), transcript), "justified");
        const auto pages = pdfWordBoxes(pdf);
        ASSERT_GE(pages.size(), 2u);
        const auto body = printedBody(pages);
        ASSERT_GE(body.size(), 90u);
        // Where the full lines end: all at one edge when justified.
        std::vector<double> fullEnds;
        for (const auto& b : body)
            if (!b.endsParagraph) fullEnds.push_back(b.line.right);
        ASSERT_GE(fullEnds.size(), 60u);
        std::nth_element(fullEnds.begin(), fullEnds.begin() + fullEnds.size() / 2, fullEnds.end());
        const double edge = fullEnds[fullEnds.size() / 2];
        const bool justified = std::string(name) != "modernletter";
        int ragged = 0, shortEnds = 0, ends = 0;
        for (const auto& b : body) {
            if (b.endsParagraph) {
                ++ends;
                shortEnds += b.line.right < edge - 5;
                continue;
            }
            const bool atEdge = std::abs(b.line.right - edge) <= 0.5;
            ragged += !atEdge;
            if (justified) {
                EXPECT_TRUE(atEdge) << "\"" << b.line.text() << "\" ends at " << b.line.right << ", not "
                                    << edge;
            }
        }
        // The stylesheet's 56 pt margin is laid out as 75 whole pixels: the box ends at 538.5 pt.
        if (justified) {
            EXPECT_NEAR(edge, 538.5, 0.5);
        }
        // A paragraph's last line keeps its natural blanks: most end short of the edge.
        EXPECT_GT(shortEnds, ends / 2);
        // Left-aligned text stays ragged.
        if (!justified) {
            EXPECT_GT(ragged, static_cast<int>(fullEnds.size()) / 2);
        }
        // Widened blanks keep the words in their order: each dictated line reads whole.
        const std::string text = folded(run("pdftotext " + quoted(pdf) + " -"));
        for (const auto& line : lines)
            EXPECT_TRUE(text.find(folded(line)) != std::string::npos)
                << "\"" << line << "\" is not read in order";
    }
}

// Bands of colour the stylesheet paints (title bands, bars, footers, badges), found on a page
// drawn at 72 dpi (a pixel a point): rows where one colour runs across a quarter of the page
// unbroken, as no line of text does.
struct Band {
    int colour = 0;
    double top = 0, bottom = 0;
};
std::vector<std::vector<Band>> bandsOf(const std::filesystem::path& pdf, std::size_t pageCount,
                                       const std::filesystem::path& folder) {
    static const std::vector<std::array<int, 3>> colours{{33, 37, 41},  {24, 26, 30},  {25, 110, 84},
                                                         {200, 35, 51}, {255, 193, 7}, {13, 110, 253}};
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    run("pdftoppm -r 72 -png " + quoted(pdf) + " " + quoted(folder / "page"));
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end()); // page-1.png, page-2.png, ... (padded to one width)
    std::vector<std::vector<Band>> pages;
    for (const auto& file : files) {
        cairo_surface_t* image = cairo_image_surface_create_from_png(file.c_str());
        auto& bands = pages.emplace_back();
        if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
            const int w = cairo_image_surface_get_width(image), h = cairo_image_surface_get_height(image);
            const int stride = cairo_image_surface_get_stride(image);
            const unsigned char* data = cairo_image_surface_get_data(image);
            for (int y = 0; y < h; ++y) {
                std::vector<int> run(colours.size()), longest(colours.size());
                for (int x = 0; x < w; ++x) {
                    const auto* px = data + y * stride + x * 4; // B, G, R, unused
                    for (std::size_t c = 0; c < colours.size(); ++c) {
                        const bool same = std::abs(px[2] - colours[c][0]) <= 8 &&
                                          std::abs(px[1] - colours[c][1]) <= 8 &&
                                          std::abs(px[0] - colours[c][2]) <= 8;
                        run[c] = same ? run[c] + 1 : 0;
                        longest[c] = std::max(longest[c], run[c]);
                    }
                }
                for (std::size_t c = 0; c < colours.size(); ++c) {
                    if (longest[c] < w / 4) continue;
                    if (!bands.empty() && bands.back().colour == static_cast<int>(c) &&
                        bands.back().bottom == y)
                        bands.back().bottom = y + 1;
                    else
                        bands.push_back({static_cast<int>(c), double(y), double(y + 1)});
                }
            }
        }
        cairo_surface_destroy(image);
    }
    pages.resize(pageCount);
    return pages;
}

// A band cut by a page: the foot of one page ends in it below the page's last line, and the next
// page starts with it above its first.
void expectNoBandSplit(const std::filesystem::path& pdf, const std::vector<test::PdfPage>& pages,
                       const std::filesystem::path& folder) {
    const auto bands = bandsOf(pdf, pages.size(), folder);
    for (std::size_t i = 0; i + 1 < pages.size(); ++i) {
        if (pages[i].words.empty() || pages[i + 1].words.empty()) continue;
        double lastWord = 0, firstWord = pages[i + 1].height;
        for (const auto& w : pages[i].words)
            lastWord = std::max(lastWord, w.yMax);
        for (const auto& w : pages[i + 1].words)
            firstWord = std::min(firstWord, w.yMin);
        for (const auto& below : bands[i])
            for (const auto& above : bands[i + 1]) {
                EXPECT_FALSE(below.colour == above.colour && below.top >= lastWord && above.top < firstWord)
                    << "a band of colour " << below.colour << " is cut between pages " << i + 1 << " and "
                    << i + 2 << " (" << below.top << "-" << below.bottom << ", then " << above.top << "-"
                    << above.bottom << ")";
            }
    }
}

TEST_F(TemplatePagesTest, EveryPageKeepsTheMarginsAndNoBandOrSignatureIsCut) {
    const std::vector<std::string> letters{"modernletter", "modernboldletter", "personalletter",
                                           "businessletter"};
    const std::map<std::string, std::string> closings{{"modernletter", "Sincerely,"},
                                                      {"modernboldletter", "Yours sincerely,"},
                                                      {"personalletter", "With warm regards,"},
                                                      {"businessletter", "Sincerely,"}};
    const auto values = sampleValues();
    const auto& gallery = pdfTemplates();
    for (std::size_t t = 0; t < 13; ++t) {
        const auto& row = gallery[t];
        const bool letter = std::find(letters.begin(), letters.end(), row.name) != letters.end();
        // Two pages of long paragraphs; for the letters and the event poster, short dictated lines,
        // as many as bring the closing, and the footer, right to the foot of the first or second
        // page (where they were cut before they were kept whole).
        std::string transcript = joined(bodyLines(14));
        if (letter || row.name == "eventposter") {
            transcript.clear();
            for (int i = 0, count = letter ? 61 : 13; i < count; ++i)
                transcript +=
                    (i ? "\n" : "") + kBodyWords[static_cast<std::size_t>(i) % kBodyWords.size()] + " tide";
        }
        SCOPED_TRACE(row.name);
        const auto pdf = print(row, page(row, values, transcript), "margins");
        const auto pages = pdfWordBoxes(pdf);
        ASSERT_GE(pages.size(), 2u);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            const auto lines = linesOf(pages[i]);
            ASSERT_FALSE(lines.empty()) << "page " << i + 1 << " is blank";
            EXPECT_GE(lines.front().top, i == 0 ? kFirstPageTop : kTopMargin)
                << "page " << i + 1 << " starts with \"" << lines.front().text() << "\"";
            EXPECT_LE(lines.back().bottom, pages[i].height - kBottomMargin)
                << "page " << i + 1 << " ends with \"" << lines.back().text() << "\"";
        }
        if (letter) {
            // The name signed under the closing (its last line of its own), on the same
            // page right after it, and no page starts with it.
            const std::string name = values.at("Your_Name");
            std::string above;
            for (std::size_t i = 0; i < pages.size(); ++i) {
                const auto lines = linesOf(pages[i]);
                if (i > 0) {
                    EXPECT_NE(lines.front().text(), name) << "page " << i + 1 << " starts with the signature";
                }
                for (std::size_t l = 0; l < lines.size(); ++l)
                    if (lines[l].text() == name) above = l > 0 ? lines[l - 1].text() : "the page's top";
            }
            EXPECT_EQ(above, closings.at(row.name)) << "the signature is not right under the closing";
        }
        expectNoBandSplit(pdf, pages, home / "tmp" / "bands");
    }
}

// The body's lines in a picture of a page, two points a pixel (plenty for lines a dozen points
// apart, and quick to read): the body (its one or two paragraphs) is drawn in a colour no other
// part of the templates has, and each run of rows touched by that colour is a line.
int bodyLinesDrawn(const platform::HTMLDocument& document, const platform::HTMLPageSlice& slice,
                   double pageHeight) {
    constexpr double kScale = 0.5;
    const int w = static_cast<int>(std::ceil(document.layoutWidth() * kScale));
    const int h =
        static_cast<int>(std::ceil((pageHeight > 0 ? pageHeight : slice.bottom - slice.top) * kScale));
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(image);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, kScale, kScale);
    document.drawSlice(cr, slice, pageHeight);
    cairo_destroy(cr);
    cairo_surface_flush(image);
    const int stride = cairo_image_surface_get_stride(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    int lines = 0;
    bool inLine = false;
    for (int y = 0; y < h; ++y) {
        bool body = false;
        for (int x = 0; x < w && !body; ++x) {
            const auto* px = data + y * stride + x * 4; // B, G, R, unused
            // Magenta over the paper, a share of a pixel at least.
            body = px[2] > 200 && px[0] > 200 && px[1] + 40 < std::min(px[0], px[2]);
        }
        lines += body && !inLine;
        inLine = body;
    }
    cairo_surface_destroy(image);
    return lines;
}

// A template's print, read from the drawn pages: the body's lines on each page, laid out and cut
// as the screens print them, and the body's lines drawn whole on one tall page.
struct BodyOnPages {
    std::vector<int> perPage;
    int whole = 0;
};
BodyOnPages bodyOnPages(std::string html, const std::filesystem::path& bundle) {
    // The colour moves no line.
    html.insert(html.find("</head>"), "<style>.text, .lead { color: rgb(255, 0, 255) !important; }</style>");
    const auto paper = platform::kA4PaperSize;
    platform::HTMLDocument document(html, bundle);
    const double height = document.layout(paper.width, paper.height);
    BodyOnPages out;
    for (const auto& slice : document.paginate(paper.height))
        out.perPage.push_back(bodyLinesDrawn(document, slice, paper.height));
    out.whole = bodyLinesDrawn(document, {0, height}, 0);
    return out;
}

TEST_F(TemplatePagesTest, NothingAfterTheBodyStandsAloneOnAPage) {
    // Bodies from under a page to three bring the end of the body, and whatever follows it, to
    // every height on a page: dictated lines of three words (a printed line each), of 22 to 44
    // words (several printed lines each), and of 2 to 24 words. Every length from 20 to 70 lines
    // takes minutes under the sanitizers (TEMPLATE_PAGES_SWEEP=all runs them); by default each
    // body runs the lengths that brought some template's ending alone onto a page before it was
    // kept with the body.
    struct Body {
        const char* name;
        int fewest, spread;
        std::vector<int> counts;
    };
    std::vector<Body> bodies{{"short lines", 3, 1, {22, 46, 49, 60}},
                             {"long lines", 22, 23, {23, 26, 42, 55, 62}},
                             {"mixed lines", 2, 23, {27, 34, 48, 69}}};
    if (const char* sweep = std::getenv("TEMPLATE_PAGES_SWEEP"); sweep && std::string(sweep) == "all")
        for (auto& body : bodies) {
            body.counts.clear();
            for (int count = 20; count <= 70; ++count)
                body.counts.push_back(count);
        }
    // What follows the body: a letter's closing and signature (and company), a poster's footer, a
    // flyer's tear-off strips.
    const std::set<std::string> endsAfterTheBody{"modernletter",   "modernboldletter", "personalletter",
                                                 "businessletter", "eventposter",      "rentflyer",
                                                 "saleflyer"};
    const auto values = sampleValues();
    const auto& gallery = pdfTemplates();
    int prints = 0, faulty = 0;
    for (std::size_t t = 0; t < 13; ++t) {
        const auto& row = gallery[t];
        for (const auto& body : bodies)
            for (int count : body.counts) {
                SCOPED_TRACE(row.name + ", " + std::to_string(count) + " " + body.name);
                const auto drawn = bodyOnPages(
                    page(row, values, joined(bodyLines(count, body.fewest, body.spread))), bundle);
                const auto& lines = drawn.perPage;
                ++prints;
                bool fault = false;
                for (std::size_t i = 0; i < lines.size(); ++i) {
                    EXPECT_GE(lines[i], 1)
                        << "page " << i + 1 << " of " << lines.size() << " holds no line of the body";
                    fault = fault || lines[i] < 1;
                }
                if (endsAfterTheBody.contains(row.name)) {
                    EXPECT_GE(lines.back(), 2)
                        << "what follows the body goes over with " << lines.back() << " of its lines";
                    fault = fault || lines.back() < 2;
                }
                // Kept together, no line is lost to a cut, nor cut in two and drawn on both pages.
                int onPages = 0;
                for (int n : lines)
                    onPages += n;
                EXPECT_EQ(onPages, drawn.whole);
                fault = fault || onPages != drawn.whole;
                faulty += fault;
            }
    }
    std::printf("%d prints, %d with a page of what follows the body alone or a line lost\n", prints, faulty);
}

TEST_F(TemplatePagesTest, TheNotesPadsPaperAndMarginLineReachEverySheetsFoot) {
    const auto& row = *pdfTemplateNamed("note1");
    for (int count : {2, 30}) {
        SCOPED_TRACE(std::to_string(count) + " lines");
        const auto pdf = print(row, page(row, sampleValues(), joined(bodyLines(count))), "paper");
        const auto folder = home / "tmp" / "paper";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        // 72 dpi, a pixel a point: the red line stands 40 points in.
        run("pdftoppm -r 72 -png " + quoted(pdf) + " " + quoted(folder / "page"));
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            files.push_back(entry.path());
        ASSERT_EQ(static_cast<int>(files.size()), test::pdfPageCount(pdf));
        for (const auto& file : files) {
            cairo_surface_t* image = cairo_image_surface_create_from_png(file.c_str());
            ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
            const int h = cairo_image_surface_get_height(image);
            const auto* foot = reinterpret_cast<const std::uint32_t*>(
                cairo_image_surface_get_data(image) + (h - 2) * cairo_image_surface_get_stride(image));
            EXPECT_EQ(foot[5] & 0xFFFFFF, 0xFFFAD6u) << file.filename() << ": the paper stops above the foot";
            EXPECT_EQ(foot[40] & 0xFFFFFF, 0xE67878u)
                << file.filename() << ": the margin line stops above the foot";
            cairo_surface_destroy(image);
        }
    }
}

TEST_F(TemplatePagesTest, ALongEMailAddressBreaksInsideItsColumnOfTheContactRow) {
    auto values = sampleValues();
    const std::string email =
        "alexandra.morgan-whitfield.lettings.dept@harbourside-homes-and-garden.example.uk";
    ASSERT_EQ(email.size(), 80u);
    values["Your_Email"] = email;
    values["Your_Address"] = "21 Oak Avenue";
    const std::string phone = values.at("Your_PhoneNo");
    // How many columns the letter's contact row has (none: the details stand one under another).
    for (const auto& [name, columns] : std::vector<std::pair<std::string, int>>{
             {"modernletter", 2}, {"businessletter", 2}, {"modernboldletter", 3}, {"personalletter", 0}}) {
        SCOPED_TRACE(name);
        const auto& row = *pdfTemplateNamed(name);
        const auto pdf = print(row, page(row, values, "A short letter"), "email");
        const auto pages = pdfWordBoxes(pdf);
        ASSERT_FALSE(pages.empty());
        const double left = kSideMargin, right = pages[0].width - kSideMargin;
        // Each column's words by what they read: the phone, the e-mail address, the street address.
        std::vector<std::vector<test::PdfWord>> cells(3);
        for (const auto& w : pages[0].words) {
            EXPECT_TRUE(w.xMin >= left - 0.5 && w.xMax <= right + 0.5)
                << "\"" << w.text << "\" at " << w.xMin << "-" << w.xMax << " leaves the margins";
            if (w.text == "☎" || w.text == phone) cells[0].push_back(w);
            if (w.text == "✉" || (w.text.size() > 2 && email.find(w.text) != std::string::npos))
                cells[1].push_back(w);
            if (w.text == "⌂") cells[2].push_back(w);
        }
        if (columns == 0) continue;
        // The phone number whole, then the address broken into pieces that read it whole.
        ASSERT_EQ(cells[0].size(), 2u) << "the phone number is broken";
        ASSERT_GE(cells[1].size(), 3u);
        std::string fragments;
        double emailLeft = cells[1][0].xMin, emailRight = 0;
        for (const auto& w : cells[1]) {
            if (w.text != "✉") fragments += w.text;
            emailLeft = std::min(emailLeft, w.xMin);
            emailRight = std::max(emailRight, w.xMax);
        }
        EXPECT_EQ(fragments, email);
        // Each column keeps to its share of the row: the address's column is no wider than its
        // share of the page's width, and ends before the next column starts.
        EXPECT_LT(std::max(cells[0][0].xMax, cells[0][1].xMax), emailLeft);
        EXPECT_LE(emailRight - emailLeft, (right - left) / columns);
        if (columns == 3) {
            ASSERT_EQ(cells[2].size(), 1u);
            EXPECT_LT(emailRight, cells[2][0].xMin);
            // "21 Oak Avenue" fits its own column: none of its words is broken.
            EXPECT_NE(test::pdfWords(pdf).find("⌂ 21 Oak Avenue"), std::string::npos);
        }
    }
}

// A word far longer than its strip (a pasted run of letters) is cut into lines of the strip's
// width, each strip reading it whole from page to page, none reaching past the page's margins.
TEST_F(TemplatePagesTest, AnAddressOfThousandsOfLettersFillsEachStripWholeAcrossPages) {
    std::string word;
    for (unsigned i = 0; word.size() < 6000; i = i * 1103515245 + 12345)
        word += char('a' + (i >> 16) % 26);
    auto values = sampleValues();
    values["Website"] = word;
    const auto& row = *pdfTemplateNamed("rentflyer");
    const auto pages = pdfWordBoxes(print(row, page(row, values, "Flat By The Park."), "longword"));
    ASSERT_GT(pages.size(), 2u);
    std::array<std::string, 4> strips;
    for (const auto& p : pages)
        for (const auto& w : p.words) {
            if (w.text.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos) continue;
            EXPECT_TRUE(w.xMin >= kSideMargin - 0.5 && w.xMax <= p.width - kSideMargin + 0.5)
                << "\"" << w.text << "\" at " << w.xMin << "-" << w.xMax << " leaves the margins";
            const double strip = (p.width - 2 * kSideMargin) / 4;
            const auto at = static_cast<std::size_t>(std::clamp((w.xMin - kSideMargin) / strip, 0.0, 3.0));
            strips[at] += w.text;
        }
    for (const auto& strip : strips)
        EXPECT_EQ(strip, word);
}

// The flyers' tear-off strips at the forms' own values: the sample address breaks after its "@",
// not a letter from its end, the same way on paper, on the phone's screen and on the screen
// turned on its side (where it fits whole).
TEST_F(TemplatePagesTest, TheStripsBreakTheSampleAddressWhereAnAddressBreaks) {
    const auto values = sampleValues();
    ASSERT_EQ(values.at("Website"), "listings@example.com");
    const auto four = [](const std::string& piece) {
        return piece + " " + piece + " " + piece + " " + piece;
    };
    for (const char* name : {"rentflyer", "saleflyer"}) {
        const auto& row = *pdfTemplateNamed(name);
        const std::string html = page(row, values, "Flat By The Park");
        struct Where {
            const char* what;
            std::filesystem::path pdf;
            std::vector<std::string> lines;
        };
        const std::vector<Where> places{
            {"paper", print(row, html, "strips-defaults"), {four("listings@"), four("example.com")}},
            {"phone", printPhoneWide(html, 390, "portrait"), {four("listings@"), four("example.com")}},
            {"phone on its side", printPhoneWide(html, 844, "landscape"), {four("listings@example.com")}},
        };
        for (const auto& where : places) {
            SCOPED_TRACE(std::string(name) + " on the " + where.what);
            std::vector<std::string> strips;
            for (const auto& p : test::pdfVisualLines(where.pdf))
                for (const auto& line : p)
                    if (line.find("listings") != std::string::npos ||
                        line.find("example") != std::string::npos || line.find("com") == 0)
                        strips.push_back(line);
            EXPECT_EQ(strips, where.lines);
        }
    }
}

// Right-to-left lines of a transcript -------------------------------------------------------------

// The printed lines holding Hebrew or Arabic letters, as a reader sees them (left to right).
std::vector<std::string> rightToLeftLines(const std::filesystem::path& pdf) {
    std::vector<std::string> out;
    for (const auto& page : test::pdfVisualLines(pdf))
        for (const auto& line : page) {
            bool rightToLeft = false;
            for (const char* c = line.c_str(); *c && !rightToLeft; c = g_utf8_next_char(c)) {
                const gunichar u = g_utf8_get_char(c);
                rightToLeft = u >= 0x0590 && u <= 0x06FF;
            }
            if (rightToLeft) out.push_back(line);
        }
    return out;
}

// A transcript's right-to-left lines print in a template as wkhtmltopdf prints the same filled
// page, in the PDF and in the page the screen shows: each dictated line short enough to stand on
// a printed line of its own in both. (No Arabic line holds a number: wkhtmltopdf draws one and the
// page's full stop over the Arabic words around them.)
TEST_F(TemplatePagesTest, RightToLeftLinesReadInTheOrderABrowserPrintsThem) {
    const std::vector<std::string> lines{
        "\u05E9\u05E9\u05E9\u05E9\u05E9\u05E9\u05E9\u05E9\u05E9 \u05D1\u05D1.", // the line the fault was
                                                                                // found with
        "שלום עולם, זה מבחן.",
        "אני גר ב-Tel Aviv כבר 5 שנים.",
        "مرحبا بالعالم",
        "كتب Ahmed رسالة طويلة",
        "The word שלום means peace.",
    };
    const std::string transcript = joined(lines);
    for (const char* name : {"essay", "rentflyer", "note1", "modernletter"}) {
        SCOPED_TRACE(name);
        const auto& row = *pdfTemplateNamed(name);
        const std::string html = page(row, sampleValues(), transcript);
        const auto ours = rightToLeftLines(print(row, html, "right-to-left"));
        ASSERT_EQ(ours.size(), lines.size());
        // wkhtmltopdf reads the page's stylesheet from the bundle.
        auto based = html;
        based.insert(based.find("<head>") + 6,
                     "<base href=\"" +
                         platform::NSURL::fileURLWithPath(bundle.string(), true).absoluteString() + "\">");
        test::writeFile(home / "tmp" / "filled.html", based);
        if (const char* out = std::getenv("TEMPLATE_PAGES_OUT"))
            test::writeFile(std::filesystem::path(out) / (row.name + "-filled.html"), based);
        const auto theirs = home / "tmp" / "wkhtmltopdf.pdf";
        std::filesystem::remove(theirs);
        run("QT_QPA_PLATFORM=offscreen wkhtmltopdf -q --enable-local-file-access " +
            quoted(home / "tmp" / "filled.html") + " " + quoted(theirs));
        const auto expected = rightToLeftLines(theirs);
        ASSERT_EQ(expected.size(), ours.size()) << "wkhtmltopdf (scripts/bootstrap installs it)";
        const auto phone = rightToLeftLines(printPhoneWide(html, 390));
        ASSERT_EQ(phone.size(), ours.size());
        for (std::size_t i = 0; i < ours.size(); ++i) {
            EXPECT_TRUE(ours[i] == expected[i]) << "\"" << lines[i] << "\" prints \"" << ours[i]
                                                << "\", wkhtmltopdf \"" << expected[i] << "\"";
            EXPECT_TRUE(phone[i] == expected[i]) << "\"" << lines[i] << "\" shows \"" << phone[i]
                                                 << "\", wkhtmltopdf \"" << expected[i] << "\"";
        }
    }
}

} // namespace
} // namespace quillora
