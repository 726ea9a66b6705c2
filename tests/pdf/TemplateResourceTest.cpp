// Checks the bundled templates against the fill table: each holds exactly the marks its screen
// fills, uses style marks as class names and photo marks as image sources, and nothing that looks
// like a mark survives a full fill.

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "pdf/PDFTemplate.h"
#include "platform/foundation/NSBundle.h"
#include "tests/support/PlatformTest.h"

namespace quillora {
namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::set<std::string> marksIn(const std::string& text) {
    static const std::regex mark("#[A-Za-z_]+#");
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), mark); it != std::sregex_iterator(); ++it)
        found.insert(it->str());
    return found;
}

bool isStyleKey(const std::string& key) {
    return key.starts_with("Font_Size") || key.starts_with("FontSize") || key.starts_with("Font_Weight") ||
           key.starts_with("FontWeight") || key.starts_with("TextColor");
}

class TemplateResourceTest : public test::PlatformTest {
protected:
    std::string templateText(const PDFTemplate& row) {
        auto path = platform::NSBundle::mainBundle().pathForResource(row.resourceName(), "html");
        if (!path) ADD_FAILURE() << row.resourceName() << ".html is not in the bundle";
        return path ? readFile(*path) : std::string();
    }
};

TEST_F(TemplateResourceTest, EachTemplateHoldsExactlyTheMarksItsScreenFills) {
    for (const auto& row : pdfTemplates()) {
        SCOPED_TRACE(row.name);
        const std::string html = templateText(row);
        std::set<std::string> filled;
        for (const auto& m : row.marks) {
            EXPECT_NE(html.find(m.mark), std::string::npos) << m.mark << " is missing";
            filled.insert(m.mark);
        }
        for (const auto& mark : marksIn(html))
            EXPECT_TRUE(filled.count(mark)) << mark << " is never filled";

        for (const auto& m : row.marks) {
            // Style choices are class names, pictures are image sources.
            if (m.source == FillSource::Value && isStyleKey(m.key)) {
                const std::regex inClass("class=\"[^\"]*" + m.mark + "[^\"]*\"");
                EXPECT_TRUE(std::regex_search(html, inClass)) << m.mark << " outside a class attribute";
            }
            if (m.source == FillSource::Photo) {
                EXPECT_TRUE(std::regex_search(html, std::regex("<img [^>]*src=\"" + m.mark + "\"")))
                    << m.mark << " is not an image source";
            }
        }
        // Nothing outside the bundle: one relative stylesheet and no remote references.
        EXPECT_NE(html.find("href=\"quillora-templates.css\""), std::string::npos);
        EXPECT_EQ(html.find("http"), std::string::npos);
        EXPECT_EQ(html.find("<style"), std::string::npos);
    }
}

TEST_F(TemplateResourceTest, AFullFillLeavesNoMark) {
    for (const auto& row : pdfTemplates()) {
        SCOPED_TRACE(row.name);
        TemplateDictionary dictionary;
        for (const auto& m : row.marks)
            if (m.source == FillSource::Value)
                dictionary[m.key] = isStyleKey(m.key) ? "fs-3" : "#VALUE# text";
        for (const std::string transcript : {"Line one #DATE#\nline two \xF0\x9F\x93\x8C\nthree", "", "\n"}) {
            for (const auto& photo :
                 {std::optional<std::string>("/tmp/a#b.jpg"), std::optional<std::string>()}) {
                const std::string page =
                    fillPDFTemplate(row, dictionary, transcript, templateText(row), photo);
                EXPECT_TRUE(marksIn(page).empty()) << *marksIn(page).begin();
                // Only the modern report without a photo keeps the bundle's own picture.
                EXPECT_EQ(page.find("handle.png") != std::string::npos, row.name == "modernreport" && !photo);
                if (!transcript.empty() && transcript != "\n") {
                    EXPECT_NE(page.find("Line one &#35;DATE&#35;"), std::string::npos);
                    EXPECT_NE(page.find("three"), std::string::npos);
                }
            }
        }
    }
}

TEST_F(TemplateResourceTest, StylesheetDefinesEveryStyleClassAndHidesEmptyPictures) {
    const auto path = platform::NSBundle::mainBundle().pathForResource("quillora-templates", "css");
    ASSERT_TRUE(path);
    const std::string css = readFile(*path);
    for (const char* cls : {"fs-1", "fs-2", "fs-3", "fs-4", "fs-5", "fs-6", "fw-bold", "fw-bolder",
                            "fw-normal", "fw-light", "fw-lighter", "fst-italic", "fst-normal", "text-danger",
                            "text-primary", "text-secondary", "text-dark", "text-info", "text-warning"}) {
        EXPECT_TRUE(std::regex_search(css, std::regex("\\." + std::string(cls) + " \\{[^}]+!important")))
            << cls;
    }
    EXPECT_NE(css.find("img[src=\"\"] { display: none !important; }"), std::string::npos);
    // Nothing the layout engine cannot do or would have to fetch.
    for (const char* unsupported :
         {"display: flex", "display: grid", "var(", "calc(", "@font-face", "@import"})
        EXPECT_EQ(css.find(unsupported), std::string::npos) << unsupported;
    // Pictures only from the bundle itself.
    const std::regex url(R"(url\(([^)]*)\))");
    for (auto it = std::sregex_iterator(css.begin(), css.end(), url); it != std::sregex_iterator(); ++it)
        EXPECT_TRUE(std::filesystem::is_regular_file(path->parent_path() / (*it)[1].str())) << (*it)[0];
    // Numeric weights below 800 are not honoured by the layout engine.
    EXPECT_FALSE(std::regex_search(css, std::regex("font-weight: [1-7]00")));
}

} // namespace
} // namespace quillora
