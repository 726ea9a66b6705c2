// What goes onto paper as pixels: emoji and pictures, at the resolution a printer needs and no
// more, read back with poppler's tools (pdfimages, pdftotext) as a person checking the PDF would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "platform/webkit/UIGraphicsPDF.h"
#include "platform/webkit/UIPrintPageRenderer.h"
#include "tests/platform/webkit/ImageFiles.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using namespace quillora::test;

namespace {

class PrintedPicturesTest : public PlatformTest {
protected:
    // `html` printed on A4 into `name`, as the template screens print.
    std::filesystem::path printed(const std::string& html, const std::string& name) {
        auto formatter = std::make_shared<UIMarkupTextPrintFormatter>(html);
        auto renderer = UIPrintPageRenderer::create();
        renderer->addPrintFormatter_startingAtPageAtIndex(formatter, 0);
        const CGRect paper(0, 0, 595.2, 841.8);
        renderer->setValue_forKey(paper, "paperRect");
        renderer->setValue_forKey(paper, "printableRect");
        const auto path = home / name;
        EXPECT_TRUE(UIGraphicsBeginPDFContextToFile(path, paper));
        const int pages = renderer->numberOfPages();
        for (int i = 0; i < pages; ++i) {
            UIGraphicsBeginPDFPage();
            renderer->drawPageAtIndex_inRect(i, UIGraphicsGetPDFContextBounds());
        }
        EXPECT_TRUE(UIGraphicsEndPDFContext());
        // QUILLORA_KEEP_PDFS=FOLDER keeps a copy for a person to look at.
        if (const char* keep = std::getenv("QUILLORA_KEEP_PDFS"))
            std::filesystem::copy_file(path, std::filesystem::path(keep) / name,
                                       std::filesystem::copy_options::overwrite_existing);
        return path;
    }
};

// The pictures of a PDF as pdfimages lists them: size in pixels and pixels an inch of paper.
struct ListedImage {
    int width = 0, height = 0, xPpi = 0, yPpi = 0;
    std::string encoding;
};

std::vector<ListedImage> listedImages(const std::filesystem::path& pdf) {
    std::vector<ListedImage> images;
    std::istringstream lines(run("pdfimages -list " + quoted(pdf)));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string field; fields >> field;)
            f.push_back(field);
        if (f.size() < 14 || f[2] != "image") continue;
        images.push_back({std::stoi(f[3]), std::stoi(f[4]), std::stoi(f[12]), std::stoi(f[13]), f[8]});
    }
    return images;
}

TEST_F(PrintedPicturesTest, EmojiPrintAtPrintResolutionAndKeepTheirCharactersAsText) {
    const std::vector<std::string> emoji{"\U0001F600",           "\U0001F44D\U0001F3FD",
                                         "\U0001F1E9\U0001F1EA", "\U0001F468\u200D\U0001F469\u200D\U0001F467",
                                         "\u2764\uFE0F",         "\U0001F355",
                                         "\u260E\uFE0F",         "\U0001F4B6"};
    std::string line;
    for (const auto& e : emoji)
        line += " " + e;
    const auto pdf = printed("<h1 style=\"font-size:28pt\">Cows \U0001F404 in the meadow</h1>"
                             "<p>Feelings:" +
                                 line + " and words after them.</p>",
                             "emoji.pdf");
    const auto images = listedImages(pdf);
    ASSERT_EQ(images.size(), emoji.size() + 1) << "one picture for each emoji";
    for (const auto& image : images) {
        EXPECT_GE(image.xPpi, 300) << image.width << " x " << image.height;
        EXPECT_GE(image.yPpi, 300) << image.width << " x " << image.height;
        EXPECT_LE(image.xPpi, 310) << "no more than print needs";
    }
    std::string text;
    std::istringstream words(run("pdftotext " + quoted(pdf) + " -"));
    for (std::string word; words >> word;)
        text += (text.empty() ? "" : " ") + word;
    EXPECT_NE(text.find("Cows \U0001F404 in the meadow"), std::string::npos) << text;
    EXPECT_NE(text.find("Feelings:" + line + " and words after them."), std::string::npos) << text;
}

TEST_F(PrintedPicturesTest, PicturesGoInAtNoMoreThanPrintResolutionOfTheirPrintedSize) {
    // Sizes in CSS pixels (96 an inch): 192 px prints 2 inches wide, 600 pixels at 300 an inch.
    struct Case {
        std::string name;
        int fileWidth, fileHeight, shownWidth;
        int width, height; // embedded
        std::string encoding;
    };
    const std::vector<Case> cases{
        {"photo.jpg", 4000, 3000, 192, 600, 450, "image"},
        {"logo.png", 5000, 2500, 96, 300, 150, "image"},
        {"small.jpg", 200, 100, 192, 200, 100, "jpeg"}, // below print resolution: its own bytes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = home / c.name;
        if (c.name.ends_with(".png"))
            writePng(file, c.fileWidth, c.fileHeight, 0.2, 0.4, 0.6);
        else
            writeJpeg(file, c.fileWidth, c.fileHeight, 40, 90, 160);
        const auto pdf = printed("<p>Before</p><img src=\"" + file.string() +
                                     "\" style=\"width:" + std::to_string(c.shownWidth) + "px\"><p>After</p>",
                                 c.name + ".pdf");
        const auto images = listedImages(pdf);
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0].width, c.width);
        EXPECT_EQ(images[0].height, c.height);
        EXPECT_EQ(images[0].encoding, c.encoding);
        EXPECT_LE(images[0].xPpi, 300);
        EXPECT_LE(images[0].yPpi, 300);
        EXPECT_EQ(run("pdftotext " + quoted(pdf) + " -").substr(0, 13), "Before\n\nAfter")
            << "laid out as before";
    }
}

} // namespace
