// Every template screen's PDF, filled as a person fills the forms and then with the long values
// people also type (a long e-mail address, a long word in every heading and name, a long
// transcript in every script the dictation offers), read back with poppler's tools: every word
// whole, every word on its page, no blank page, no tear-off strip cut in two. The same pages at
// the phone's width keep every word inside the screen.

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include <cairo.h>
#include <glib.h>

#include "pdf/PDFTemplate.h"
#include "pdf/PDFTemplateViewController.h"
#include "platform/foundation/NSBundle.h"
#include "platform/webkit/HTMLDocument.h"
#include "platform/webkit/PDFWriter.h"
#include "platform/webkit/UIPrintFormatter.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

namespace quillora {
namespace {

using test::quoted;
using test::run;

struct Word {
    double xMin, yMin, xMax, yMax;
    std::string text;
};
struct Page {
    double width = 0, height = 0;
    std::vector<Word> words;
    std::string text() const {
        std::string out;
        for (const auto& w : words)
            out += w.text;
        return out;
    }
};

std::string unescape(std::string s) {
    static const std::vector<std::pair<std::string, std::string>> entities{
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&#39;", "'"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities)
        for (auto at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
            s.replace(at, from.size(), to);
    return s;
}

// pdftotext -bbox: one entry per page, each word with its box in points from the top left.
std::vector<Page> pdfBoxes(const std::filesystem::path& pdf) {
    const std::string xhtml = run("pdftotext -bbox " + quoted(pdf) + " -");
    std::vector<Page> pages;
    static const std::regex page(R"re(<page width="([0-9.]+)" height="([0-9.]+)">)re");
    static const std::regex word(
        R"re(<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="([-0-9.]+)" yMax="([-0-9.]+)">([^<]*)</word>)re");
    std::istringstream lines(xhtml);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, page))
            pages.push_back({std::stod(m[1]), std::stod(m[2]), {}});
        else if (std::regex_search(line, m, word) && !pages.empty())
            pages.back().words.push_back(
                {std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), unescape(m[5])});
    }
    return pages;
}

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
    std::filesystem::path printPhoneWide(const std::string& html, double width) {
        platform::HTMLDocument doc(html, bundle);
        const double height = doc.layout(width, 844);
        platform::PDFWriter writer({width, std::max(height, 1.0)});
        cairo_t* cr = writer.beginPage({width, std::max(height, 1.0)});
        doc.drawSlice(cr, {0, height});
        const auto out = home / "tmp" / "phone.pdf";
        EXPECT_TRUE(writer.finish() && platform::writeFileAtomically(out, writer.data()));
        return out;
    }

    // The checks a reader makes of a template's PDF filled with `values`.
    void expectReadable(const PDFTemplate& row, const std::filesystem::path& pdf,
                        const TemplateDictionary& values, const std::string& transcript) {
        const auto pages = pdfBoxes(pdf);
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
            const auto pages = pdfBoxes(pdf);
            ASSERT_EQ(pages.size(), 1u);
            for (const auto& w : pages[0].words)
                EXPECT_TRUE(w.xMin >= -0.5 && w.xMax <= 390.5) << "\"" << w.text << "\" runs off the screen";
        }
    }
}

} // namespace
} // namespace quillora
