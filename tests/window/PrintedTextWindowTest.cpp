// Text on a template's form and page in the program's window, read from the window's pixels as a
// person reads it: the form's hint ends with one picture of a woman raising her hand, the tear-off
// strips break the sample address after its "@", and a Hebrew line of the essay stands with its
// short word on the left, as it reads from the right.
#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/uikit/UIScreen.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WindowManagerMessages.h"
#include "tests/support/XvfbSession.h"
#include "tests/window/ProgramHere.h"
#include "tests/window/WindowSessionTest.h"

using quillora::test::ChildProcess;

namespace {

// A window's picture, read pixel by pixel.
class Capture {
public:
    explicit Capture(const std::filesystem::path& png)
        : image_(cairo_image_surface_create_from_png(png.c_str()), cairo_surface_destroy) {}
    bool loaded() const { return cairo_surface_status(image_.get()) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(image_.get()); }
    int height() const { return cairo_image_surface_get_height(image_.get()); }
    // Red, green and blue of a pixel.
    std::array<int, 3> at(int x, int y) const {
        const unsigned char* px = cairo_image_surface_get_data(image_.get()) +
                                  y * cairo_image_surface_get_stride(image_.get()) + x * 4;
        return {px[2], px[1], px[0]};
    }
    // Ink: darker than the page's white, or coloured.
    bool ink(int x, int y) const {
        const auto c = at(x, y);
        return *std::min_element(c.begin(), c.end()) < 170 || coloured(x, y);
    }
    bool coloured(int x, int y) const {
        const auto c = at(x, y);
        return *std::max_element(c.begin(), c.end()) - *std::min_element(c.begin(), c.end()) > 80;
    }
    // Text-dark and grey.
    bool dark(int x, int y) const {
        const auto c = at(x, y);
        return *std::max_element(c.begin(), c.end()) < 110 && !coloured(x, y);
    }

private:
    std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> image_;
};

using Span = std::pair<int, int>; // [first, last] pixels

// The runs of rows of `area` (pixels) holding ink, top to bottom.
std::vector<Span> linesIn(const Capture& picture, const platform::CGRect& area) {
    std::vector<Span> lines;
    const int left = std::max(0, int(area.minX())), right = std::min(picture.width(), int(area.maxX()));
    const int top = std::max(0, int(area.minY())), bottom = std::min(picture.height(), int(area.maxY()));
    for (int y = top; y < bottom; ++y) {
        bool inked = false;
        for (int x = left; x < right && !inked; ++x)
            inked = picture.ink(x, y);
        if (!inked) continue;
        if (!lines.empty() && lines.back().second == y - 1)
            lines.back().second = y;
        else
            lines.push_back({y, y});
    }
    return lines;
}

// The runs of columns of `area` whose pixels in `rows` satisfy `kind`, left to right, parted by at
// least `gap` empty columns.
template <typename Kind>
std::vector<Span> runsIn(const Capture& picture, const platform::CGRect& area, Span rows, int gap,
                         Kind kind) {
    std::vector<Span> runs;
    const int left = std::max(0, int(area.minX())), right = std::min(picture.width(), int(area.maxX()));
    for (int x = left; x < right; ++x) {
        bool inked = false;
        for (int y = rows.first; y <= rows.second && !inked; ++y)
            inked = kind(x, y);
        if (!inked) continue;
        if (!runs.empty() && x - runs.back().second <= gap)
            runs.back().second = x;
        else
            runs.push_back({x, x});
    }
    return runs;
}

class PrintedTextWindowTest : public quillora::test::WindowSessionTest {
protected:
    static void storeTranscript(const std::filesystem::path& data, const std::string& transcript) {
        quillora::test::writeFile(data / "Library" / "Preferences" / "com.quillora.app.plist",
                                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC "
                                  "\"-//Apple//DTD PLIST 1.0//EN\" "
                                  "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist "
                                  "version=\"1.0\"><dict><key>saveclipBoardText</key><string>" +
                                      transcript + "</string></dict></plist>\n");
    }
    void click(const std::string& id, std::pair<int, int> size, const platform::CGRect& r) {
        const auto at = inWindow(size, r);
        ASSERT_TRUE(x_->click(id, std::lround(at.midX()), std::lround(at.midY())));
    }
    template <class Act> void andSettle(const std::string& id, Act act) {
        const auto before = home / "before.png";
        ASSERT_TRUE(x_->capture(id, before));
        act();
        EXPECT_TRUE(x_->waitForChange(id, before)) << "nothing changed on the screen";
    }
    bool waitForLogged(const std::string& line) {
        return quillora::test::waitUntil(
            [&] { return quillora::test::occurrences(home / "app.log", line) > 0; },
            quillora::test::kHangLimit);
    }

    // The program in its window on a data folder holding `transcript`, led to `card`'s form and
    // then to its page: `onForm` and `onPage` read the window's picture on each, given where
    // the page is and where the buttons over its foot begin (window pixels).
    void openPage(const std::string& card, const std::string& transcript,
                  const std::function<void(const Capture&)>& onForm,
                  const std::function<void(const Capture&, const platform::CGRect& page)>& onPage) {
        std::string name = card;
        std::replace(name.begin(), name.end(), ' ', '-');
        const auto app = home / ("app-" + name), measured = home / ("places-" + name);
        storeTranscript(app, transcript);
        storeTranscript(measured, transcript);
        const platform::CGRect screen = platform::UIScreen::mainScreen().bounds();
        const auto unscrolled = quillora::test::places(
            home / ("gallery-" + name), "tap StickyDynamicButton\nwait 1\nplace " + card + "\n");
        ASSERT_EQ(unscrolled.count(card), 1u);
        const bool galleryScrolls = unscrolled.at(card).maxY() > screen.maxY();
        const auto at = quillora::test::places(
            measured, "place StickyDynamicButton\ntap StickyDynamicButton\nwait 1\n" +
                          std::string(galleryScrolls ? "toend\n" : "") + "place " + card + "\npress \"" +
                          card +
                          "\"\nwait 1\ntoend\nplace Preview\npress Preview\nwait 3\nframe webView\n"
                          "frame CancelButton\nframe PreviewButton\nframe SharePDFButton\n");
        ASSERT_EQ(at.size(), 7u);
        double buttons = screen.maxY();
        for (const char* b : {"frame CancelButton", "frame PreviewButton", "frame SharePDFButton"})
            buttons = std::min(buttons, at.at(b).minY());
        const platform::CGRect web = at.at("frame webView");
        const platform::CGRect page{web.minX(), web.minY(), web.width(), buttons - web.minY() - 4};

        ChildProcess program = ChildProcess::start(
            {QUILLORA_PROGRAM, "--window", "--home", app.string(), "--microphone", "silence", "--console"},
            x_->environment(), (home / "app.log").string());
        ASSERT_GT(program.pid(), 0);
        const std::string id = x_->findWindow("Quillora", true);
        ASSERT_FALSE(id.empty()) << "no window: " << quillora::test::fileContent(home / "app.log");
        const auto size = x_->windowSize(id);
        ASSERT_TRUE(waitForLogged("app become active")) << quillora::test::fileContent(home / "app.log");
        ASSERT_TRUE(x_->waitUntilStill(id));
        andSettle(id, [&] { click(id, size, at.at("StickyDynamicButton")); });
        const auto middle = inWindow(size, {screen.midX() - 1, screen.midY() - 1, 2, 2});
        if (galleryScrolls)
            andSettle(id, [&] {
                ASSERT_TRUE(x_->wheel(id, std::lround(middle.midX()), std::lround(middle.midY()), 80));
            });
        andSettle(id, [&] { click(id, size, at.at(card)); });
        const auto form = home / ("form-" + name + ".png");
        ASSERT_TRUE(x_->capture(id, form));
        const Capture formPicture(form);
        ASSERT_TRUE(formPicture.loaded());
        onForm(formPicture);
        andSettle(id, [&] {
            ASSERT_TRUE(x_->wheel(id, std::lround(middle.midX()), std::lround(middle.midY()), 80));
        });
        andSettle(id, [&] { click(id, size, at.at("Preview")); });
        ASSERT_TRUE(waitForLogged("didFinishNavigation")) << quillora::test::fileContent(home / "app.log");
        ASSERT_TRUE(x_->waitUntilStill(id));
        const auto shown = home / ("page-" + name + ".png");
        ASSERT_TRUE(x_->capture(id, shown));
        const Capture pagePicture(shown);
        ASSERT_TRUE(pagePicture.loaded());
        onPage(pagePicture, inWindow(size, page));

        ASSERT_TRUE(quillora::test::sendCloseRequest(x_->display(), std::stoul(id)));
        EXPECT_EQ(program.wait(quillora::test::kHangLimit), 0)
            << quillora::test::fileContent(home / "app.log");
        std::filesystem::remove(home / "app.log");
    }
};

} // namespace

TEST_F(PrintedTextWindowTest, TheHintsEmojiTheStripsAddressAndAHebrewLineReadAsTheyShould) {
    // Nine letters, a blank, two letters: the long word first as it is read, from the right.
    const std::string hebrew = "\u05E9\u05E9\u05E9\u05E9\u05E9\u05E9\u05E9\u05E9\u05E9 \u05D1\u05D1";
    const platform::CGRect screen = platform::UIScreen::mainScreen().bounds();

    openPage(
        "For Rent Flyer", hebrew,
        [&](const Capture& form) {
            // The hint's line: dark words ending in a picture in colour. Its colour is one
            // picture, not a woman raising her hand beside a sign of her sex.
            bool found = false;
            const platform::CGRect area{0, 0, double(form.width()), form.height() * 0.4};
            for (const auto& line : linesIn(form, area)) {
                const auto words = runsIn(form, area, line, 8, [&](int x, int y) { return form.dark(x, y); });
                const auto colour =
                    runsIn(form, area, line, 1, [&](int x, int y) { return form.coloured(x, y); });
                if (words.empty() || colour.empty() || colour.back().second < words.back().second) continue;
                found = true;
                EXPECT_EQ(colour.size(), 1u) << "the hint's emoji is drawn in " << colour.size() << " pieces";
            }
            EXPECT_TRUE(found) << "no line of words ends in an emoji";
        },
        [&](const Capture& page, const platform::CGRect& area) {
            // The first strip, inside its dashed borders: its last two lines are the address
            // broken after the "@", the second line the longer one.
            const double quarter = (area.width() - 2 * 16 * area.width() / screen.width()) / 4;
            const platform::CGRect strip{area.minX() + 16 * area.width() / screen.width() + 4, area.minY(),
                                         quarter - 8, area.height()};
            const auto lines = linesIn(page, strip);
            ASSERT_GE(lines.size(), 3u);
            const auto extent = [&](Span line) {
                const auto runs = runsIn(page, strip, line, 2, [&](int x, int y) { return page.ink(x, y); });
                return runs.empty() ? 0 : runs.back().second - runs.front().first + 1;
            };
            const int first = extent(lines[lines.size() - 2]), second = extent(lines.back());
            EXPECT_GT(second, first) << "the address's last line (" << second
                                     << " pixels) is shorter than the one above it (" << first << ")";
        });

    openPage(
        "Essay", hebrew, [](const Capture&) {},
        [&](const Capture& page, const platform::CGRect& area) {
            // The page's last line, the transcript: the widest gap in it is the blank between
            // the words, and the short word stands left of it.
            const auto lines = linesIn(page, area);
            ASSERT_FALSE(lines.empty());
            const auto runs =
                runsIn(page, area, lines.back(), 0, [&](int x, int y) { return page.ink(x, y); });
            ASSERT_GE(runs.size(), 2u);
            std::size_t widest = 1;
            for (std::size_t i = 1; i < runs.size(); ++i)
                if (runs[i].first - runs[i - 1].second > runs[widest].first - runs[widest - 1].second)
                    widest = i;
            const int left = runs[widest - 1].second - runs.front().first + 1;
            const int right = runs.back().second - runs[widest].first + 1;
            EXPECT_LT(left, right) << "the long word (" << std::max(left, right)
                                   << " pixels) stands left of the short one";
        });
}
