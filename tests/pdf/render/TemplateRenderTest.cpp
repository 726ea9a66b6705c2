// The bundled templates, filled and laid out by the web view's engine, printed to A4 PDFs and
// read back with poppler's tools.

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include <cairo.h>

#include "pdf/PDFTemplate.h"
#include "platform/foundation/NSBundle.h"
#include "platform/webkit/HTMLDocument.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

namespace quillora {
namespace {

using test::pdfWords;
using test::quoted;
using test::run;

// Sample form values: the style keys get classes, the texts name themselves.
TemplateDictionary sampleDictionary(const PDFTemplate& row) {
    TemplateDictionary d;
    for (const auto& m : row.marks) {
        if (m.source != FillSource::Value) continue;
        const auto& k = m.key;
        if (k.find("Size") != std::string::npos)
            d[k] = k.find("Body") != std::string::npos ? "fs-5" : "fs-2";
        else if (k.starts_with("TextColor"))
            d[k] = "text-primary";
        else if (k.find("Weight") != std::string::npos)
            d[k] = "fw-bold";
        else
            d[k] = "Sample " + k;
    }
    d["Display_Date"] = "March 14, 2024";
    return d;
}

class TemplateRenderTest : public test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        bundle = platform::NSBundle::mainBundle().bundlePath();
        photo = home / "tmp" / "picked photo.png";
        std::filesystem::create_directories(photo.parent_path());
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 160, 100);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, 0.2, 0.5, 0.8);
        cairo_paint(cr);
        cairo_destroy(cr);
        ASSERT_EQ(cairo_surface_write_to_png(s, photo.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(s);
    }

    std::string filled(const PDFTemplate& row, const std::string& transcript,
                       const std::optional<std::string>& p) {
        std::ifstream in(bundle / (row.resourceName() + ".html"));
        std::stringstream html;
        html << in.rdbuf();
        return fillPDFTemplate(row, sampleDictionary(row), transcript, html.str(), p);
    }

    platform::HTMLPrintResult print(const std::string& page, const std::filesystem::path& pdf) {
        return platform::renderHTMLToPDF(page, bundle, pdf);
    }

    std::filesystem::path bundle, photo;
};

TEST_F(TemplateRenderTest, EveryTemplatePrintsItsTextsOnA4) {
    const std::string transcript =
        "Opening line of the dictation\nSecond paragraph goes here\nand a third line";
    for (const auto& row : pdfTemplates()) {
        SCOPED_TRACE(row.name);
        const auto pdf = home / "tmp" / row.pdfFileName();
        const auto result = print(filled(row, transcript, photo.string()), pdf);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.pageCount, 1);

        const std::string info = run("pdfinfo " + quoted(pdf));
        EXPECT_NE(info.find("595.2 x 841.8 pts"), std::string::npos) << info;
        const std::string text = pdfWords(pdf);
        EXPECT_NE(text.find("Opening line of the dictation"), std::string::npos) << text;
        EXPECT_NE(text.find("and a third line"), std::string::npos) << text;
        for (const auto& m : row.marks) {
            if (m.source != FillSource::Value || m.key.starts_with("Font") || m.key.starts_with("TextColor"))
                continue;
            // Headings may be set in capitals.
            const std::string value = sampleDictionary(row).at(m.key);
            std::string upper = value;
            for (auto& c : upper)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_TRUE(text.find(value) != std::string::npos || text.find(upper) != std::string::npos)
                << m.key << " not printed in: " << text;
        }
    }
}

TEST_F(TemplateRenderTest, PicturesLoadWhenStoredAndAreSkippedWhenNot) {
    for (const auto& row : pdfTemplates()) {
        SCOPED_TRACE(row.name);
        for (const auto& p : {std::optional<std::string>(photo.string()), std::optional<std::string>()}) {
            platform::HTMLDocument doc(filled(row, "Body", p), bundle);
            doc.layout(platform::kA4PaperSize.width);
            EXPECT_TRUE(doc.missingResources().empty()) << *doc.missingResources().begin();
            const bool shown = std::any_of(doc.boxes().begin(), doc.boxes().end(),
                                           [](const platform::HTMLBox& b) { return !b.isText; });
            // The modern report shows the bundle's picture when no photo is stored.
            EXPECT_EQ(shown, (p.has_value() && row.readsPhoto() && row.name != "modernboldletter") ||
                                 row.name == "modernreport");
        }
    }
}

TEST_F(TemplateRenderTest, ALongTranscriptSpansPagesWithNoLineLost) {
    std::string transcript;
    for (int i = 1; i <= 250; ++i)
        transcript += "Dictated line " + std::to_string(i) + " of the long text\n";
    for (const char* name : {"essay", "schoolreport", "modernletter", "rentflyer", "note1"}) {
        SCOPED_TRACE(name);
        const auto& row = *pdfTemplateNamed(name);
        const auto pdf = home / "tmp" / row.pdfFileName();
        const auto result = print(filled(row, transcript, std::nullopt), pdf);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_GT(result.pageCount, 3);
        const std::string text = run("pdftotext " + quoted(pdf) + " -");
        std::set<int> seen;
        const std::regex line("Dictated line ([0-9]+) of the long text");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator();
             ++it)
            seen.insert(std::stoi((*it)[1]));
        EXPECT_EQ(seen.size(), 250u);
        EXPECT_EQ(*seen.begin(), 1);
        EXPECT_EQ(*seen.rbegin(), 250);
    }
}

TEST_F(TemplateRenderTest, EmojiOfTheVoiceCommandsAreDrawnSharpAndKeptAsText) {
    const auto& note = *pdfTemplateNamed("note2");
    const auto plain = home / "tmp" / "plain.pdf";
    const auto commands = home / "tmp" / "commands.pdf";
    ASSERT_TRUE(print(filled(note, "Agenda item one", std::nullopt), plain).ok);
    ASSERT_TRUE(
        print(filled(note, "Agenda item one \xF0\x9F\x93\x8C \xE2\x9C\x85 \xF0\x9F\x93\x8E", std::nullopt),
              commands)
            .ok);
    // Each colour emoji is a picture of its own; plain text adds none.
    const auto pictures = [](const std::filesystem::path& pdf) {
        std::vector<std::pair<int, int>> ppi; // x and y pixels an inch of paper
        std::istringstream lines(run("pdfimages -list " + quoted(pdf)));
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::vector<std::string> f;
            for (std::string field; fields >> field;)
                f.push_back(field);
            if (f.size() >= 14 && f[2] == "image") ppi.emplace_back(std::stoi(f[12]), std::stoi(f[13]));
        }
        return ppi;
    };
    EXPECT_EQ(pictures(commands).size(), pictures(plain).size() + 3);
    EXPECT_NE(pdfWords(commands).find("Agenda item one \xF0\x9F\x93\x8C \xE2\x9C\x85 \xF0\x9F\x93\x8E"),
              std::string::npos)
        << pdfWords(commands);

    // An essay with an emoji in its heading and its text: each printed at 300 pixels an inch or
    // more, and its characters found where it stands.
    const auto& essay = *pdfTemplateNamed("essay");
    auto values = sampleDictionary(essay);
    values["Page_Heading"] = "Cows \U0001F404 in the meadow";
    std::ifstream in(bundle / (essay.resourceName() + ".html"));
    std::stringstream html;
    html << in.rdbuf();
    const std::string feelings = "\U0001F600 \U0001F44D\U0001F3FD \U0001F1E9\U0001F1EA "
                                 "\U0001F468\u200D\U0001F469\u200D\U0001F467 \u2764\uFE0F \U0001F355 "
                                 "\u260E\uFE0F \U0001F4B6";
    const auto pdf = home / "tmp" / "essay.pdf";
    ASSERT_TRUE(print(fillPDFTemplate(essay, values, "Today I felt " + feelings + " all at once.", html.str(),
                                      std::nullopt),
                      pdf)
                    .ok);
    const auto printed = pictures(pdf);
    EXPECT_EQ(printed.size(), 9u);
    for (const auto& [x, y] : printed) {
        EXPECT_GE(x, 300);
        EXPECT_GE(y, 300);
    }
    const std::string words = pdfWords(pdf);
    EXPECT_NE(words.find("Cows \U0001F404 in the meadow"), std::string::npos) << words;
    EXPECT_NE(words.find("Today I felt " + feelings + " all at once."), std::string::npos) << words;
}

} // namespace
} // namespace quillora
