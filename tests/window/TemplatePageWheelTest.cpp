// A template screen's page in the program's window, read as a person reads it: on a page shorter
// than the screen whose end lies under the buttons floating over its foot, the wheel brings the
// last words up and they are drawn clear of the buttons.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "platform/desktop/DesktopWindow.h"
#include "platform/uikit/UIScreen.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ImageCompare.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/WindowManagerMessages.h"
#include "tests/support/XvfbSession.h"
#include "tests/window/ProgramHere.h"

using namespace std::chrono_literals;
using quillora::test::ChildProcess;

namespace {

class TemplatePageWheelTest : public quillora::test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        x_ = std::make_unique<quillora::test::XvfbSession>(home / "display");
        if (!x_->unavailable().empty()) FAIL() << x_->unavailable();
        std::string why;
        if (!x_->startWindowManager(why)) FAIL() << why;
    }
    void TearDown() override {
        x_.reset();
        PlatformTest::TearDown();
    }

    // A data folder whose stored transcript is `transcript`.
    static void storeTranscript(const std::filesystem::path& data, const std::string& transcript) {
        quillora::test::writeFile(data / "Library" / "Preferences" / "com.quillora.app.plist",
                                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC "
                                  "\"-//Apple//DTD PLIST 1.0//EN\" "
                                  "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist "
                                  "version=\"1.0\"><dict><key>saveclipBoardText</key><string>" +
                                      transcript + "</string></dict></plist>\n");
    }

    // A place on the screen (points) as pixels of the window, of `size`, that shows it.
    static platform::CGRect inWindow(std::pair<int, int> size, const platform::CGRect& r) {
        const auto fit =
            platform::DesktopWindow::fit(size.first, size.second, platform::UIScreen::mainScreen().bounds());
        return {fit.x + r.minX() * fit.scale, fit.y + r.minY() * fit.scale, r.width() * fit.scale,
                r.height() * fit.scale};
    }

    void click(const std::string& id, std::pair<int, int> size, const platform::CGRect& r) {
        const auto at = inWindow(size, r);
        ASSERT_TRUE(x_->click(id, std::lround(at.midX()), std::lround(at.midY())));
    }
    // Something done at the window that changes what it shows: returns once it is shown and still.
    template <class Act> void andSettle(const std::string& id, Act act) {
        const auto before = home / "before.png";
        ASSERT_TRUE(x_->capture(id, before));
        act();
        EXPECT_TRUE(x_->waitForChange(id, before)) << "nothing changed on the screen";
    }
    bool waitForLogged(const std::string& line, std::chrono::milliseconds timeout) {
        return quillora::test::waitUntil(
            [&] { return quillora::test::occurrences(home / "app.log", line) > 0; }, timeout);
    }

    std::unique_ptr<quillora::test::XvfbSession> x_;
};

} // namespace

TEST_F(TemplatePageWheelTest, TheWheelBringsAShortPagesLastWordsClearOfTheButtons) {
    // Dictated lines, each wrapping once on the phone's width, as many as end the page under the
    // buttons with what the forms hold before anything is typed, a page no taller than the screen:
    // the essay's last line, the bold letter's closing and signature, the modern letter's
    // signature.
    struct Case {
        const char* card;
        int lines;
    };
    for (const Case& c : {Case{"Essay", 9}, Case{"Modern Bold Letter", 9}, Case{"Modern Letter", 11}}) {
        const std::string card = c.card;
        SCOPED_TRACE(card);
        std::string transcript;
        for (int i = 1; i <= c.lines; ++i)
            transcript += (i > 1 ? "\n" : "") + std::string("Line ") + std::to_string(i) +
                          " of the dictation runs on over the width of the screen and wraps";
        std::string name = card;
        std::replace(name.begin(), name.end(), ' ', '-');
        const auto app = home / ("app-" + name), measured = home / ("places-" + name);
        storeTranscript(app, transcript);
        storeTranscript(measured, transcript);
        const platform::CGRect screen = platform::UIScreen::mainScreen().bounds();
        // The card lies below the gallery's first screenful or not.
        const auto unscrolled = quillora::test::places(
            home / ("gallery-" + name), "tap StickyDynamicButton\nwait 1\nplace " + std::string(card) + "\n");
        ASSERT_EQ(unscrolled.count(card), 1u);
        const bool galleryScrolls = unscrolled.at(card).maxY() > screen.maxY();
        const auto at = quillora::test::places(
            measured, "place StickyDynamicButton\ntap StickyDynamicButton\nwait 1\n" +
                          std::string(galleryScrolls ? "toend\n" : "") + "place " + card + "\npress \"" +
                          card +
                          "\"\nwait 1\ntoend\nplace Preview\npress Preview\nwait 3\nframe webView\n"
                          "frame CancelButton\nframe PreviewButton\nframe SharePDFButton\n");
        ASSERT_EQ(at.size(), 7u);
        std::vector<platform::CGRect> buttons;
        double band = screen.maxY();
        for (const char* b : {"frame CancelButton", "frame PreviewButton", "frame SharePDFButton"}) {
            buttons.push_back(at.at(b));
            band = std::min(band, at.at(b).minY());
        }
        const platform::CGRect page = at.at("frame webView");

        ChildProcess program = ChildProcess::start(
            {QUILLORA_PROGRAM, "--window", "--home", app.string(), "--microphone", "silence", "--console"},
            x_->environment(), (home / "app.log").string());
        ASSERT_GT(program.pid(), 0);
        const std::string id = x_->findWindow("Quillora", true);
        ASSERT_FALSE(id.empty()) << "no window: " << quillora::test::fileContent(home / "app.log");
        const auto size = x_->windowSize(id);
        ASSERT_TRUE(waitForLogged("app become active", 30s)) << quillora::test::fileContent(home / "app.log");
        ASSERT_TRUE(x_->waitUntilStill(id));
        andSettle(id, [&] { click(id, size, at.at("StickyDynamicButton")); });
        const auto middle = inWindow(size, {screen.midX() - 1, screen.midY() - 1, 2, 2});
        if (galleryScrolls)
            andSettle(id, [&] {
                ASSERT_TRUE(x_->wheel(id, std::lround(middle.midX()), std::lround(middle.midY()), 80));
            });
        andSettle(id, [&] { click(id, size, at.at(card)); });
        andSettle(id, [&] {
            ASSERT_TRUE(x_->wheel(id, std::lround(middle.midX()), std::lround(middle.midY()), 80));
        });
        andSettle(id, [&] { click(id, size, at.at("Preview")); });
        ASSERT_TRUE(waitForLogged("didFinishNavigation", 30s))
            << quillora::test::fileContent(home / "app.log");
        ASSERT_TRUE(x_->waitUntilStill(id));

        // What the window shows from the buttons' top to the page's foot, and the band above the
        // buttons, around the buttons themselves (short of the page's edges and the screen's
        // rounded corners).
        std::vector<platform::CGRect> around;
        for (const auto& b : buttons) {
            const auto w = inWindow(size, b);
            around.push_back({w.minX() - 2, w.minY() - 2, w.width() + 4, w.height() + 4});
        }
        const auto below = inWindow(size, {page.minX() + 2, band, page.width() - 4, page.maxY() - 60 - band});
        const auto above = inWindow(size, {page.minX() + 2, band - 60, page.width() - 4, 60});
        const auto unmoved = home / ("unmoved-" + name + ".png");
        ASSERT_TRUE(x_->capture(id, unmoved));
        EXPECT_GT(quillora::test::inkIn(unmoved, below, around), 0) << "the page ends above the buttons";

        // The wheel over the page, above the buttons, more notches than the page is long.
        const auto over = inWindow(size, {page.midX() - 1, band - 61, 2, 2});
        andSettle(
            id, [&] { ASSERT_TRUE(x_->wheel(id, std::lround(over.midX()), std::lround(over.midY()), 30)); });
        const auto wheeled = home / ("wheeled-" + name + ".png");
        ASSERT_TRUE(x_->capture(id, wheeled));
        EXPECT_EQ(quillora::test::inkIn(wheeled, below, around), 0) << "words lie under the buttons";
        EXPECT_GT(quillora::test::inkIn(wheeled, above, around), 0)
            << "the page's end is not above the buttons";

        ASSERT_TRUE(quillora::test::sendCloseRequest(x_->display(), std::stoul(id)));
        EXPECT_EQ(program.wait(20s), 0) << quillora::test::fileContent(home / "app.log");
        std::filesystem::remove(home / "app.log");
    }
}
