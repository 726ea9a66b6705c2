// Texts of many distinct glyphs, laid out and drawn on several threads at once, fill cairo's cache
// of glyphs, whose evictions take the fonts' locks in an order that can invert between threads.
// The recipe export of such texts, made on workers while the main thread goes on drawing the
// screen, ends with its PDF.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <stop_token>
#include <thread>

#include <cairo.h>
#include <glib.h>

#include "entries/EntryScenes.h"
#include "entries/RecipeBookMarkViewC.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIStoryboard.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using namespace quillora::test;

namespace {

// Under the sanitizers an export of these texts takes a minute or two; one that deadlocked never
// ends, and neither would a test waiting on its main thread: this ends the program with the reason.
class Watchdog {
public:
    Watchdog(std::chrono::seconds limit, std::string what)
        : thread_([limit, what = std::move(what)](std::stop_token stop) {
              std::mutex mutex;
              std::condition_variable_any ended;
              std::unique_lock lock(mutex);
              if (ended.wait_for(lock, stop, limit, [] { return false; }) || stop.stop_requested()) return;
              std::fprintf(stderr, "%s did not end within %lld s: the threads are stuck\n", what.c_str(),
                           static_cast<long long>(limit.count()));
              std::abort();
          }) {}

private:
    std::jthread thread_;
};

std::string character(gunichar c) {
    char bytes[8];
    return std::string(bytes, static_cast<std::size_t>(g_unichar_to_utf8(c, bytes)));
}

// The last line of every text, so that the PDF's end can be read back.
const std::string kLastLine = "end of the recipe 完";

// Lines of 40 ideographs drawn at random from the 20,480 of U+4E00 to U+9DFF.
std::string ideographs(std::size_t bytes) {
    std::mt19937 random(7);
    std::string text;
    while (text.size() < bytes) {
        for (int i = 0; i < 40; ++i)
            text += character(0x4E00 + random() % 20480);
        text += '\n';
    }
    return text + kLastLine;
}

// 3,000 combining marks standing alone, then lines of words: runs of 'A', of marks, of ideographs.
std::string mixed(std::size_t bytes) {
    std::mt19937 random(11);
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += character(0x300 + random() % 0x70) + " ";
    text += '\n';
    while (text.size() < bytes) {
        for (int word = 5 + random() % 15; word > 0; --word) {
            const int length = 1 + random() % 11;
            switch (random() % 3) {
            case 0:
                text += std::string(length, 'A');
                break;
            case 1:
                for (int i = 0; i < 1 + length % 5; ++i)
                    text += character(0x300 + random() % 0x70);
                break;
            default:
                for (int i = 0; i < length; ++i)
                    text += character(0x4E00 + random() % 20480);
            }
            text += ' ';
        }
        text += '\n';
    }
    return text + kLastLine;
}

class ManyGlyphExportTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        storyboard = std::make_shared<UIStoryboard>("Main");
        quillora::registerEntryScenes(*storyboard);
        root = std::make_shared<UIViewController>();
        nav = UINavigationController::initWithRootViewController(root);
        window = std::make_shared<UIWindow>();
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        window.reset();
        nav.reset();
        PlatformTest::TearDown();
    }

    std::shared_ptr<UIStoryboard> storyboard;
    std::shared_ptr<UIViewController> root;
    std::shared_ptr<UINavigationController> nav;
    std::shared_ptr<UIWindow> window;
};

TEST_F(ManyGlyphExportTest, RecipeExportsOfTextsOfManyDistinctGlyphsEndWithTheirPDF) {
    const std::pair<const char*, std::string> texts[] = {
        {"600 KB of ideographs", ideographs(600 << 10)},
        {"1 MB of marks, letters and ideographs", mixed(1 << 20)}};
    // The window's clock: the pages are made while the screen is drawn again and again.
    RunLoop::main().useRealClock();
    cairo_surface_t* screen = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 390, 844);
    for (const auto& [kind, text] : texts) {
        SCOPED_TRACE(kind);
        for (const auto& old : std::filesystem::directory_iterator(Sandbox::documents()))
            if (old.path().extension() == ".pdf") std::filesystem::remove(old.path());
        writeFile(Sandbox::documents() / "datafile_recipe.dat", text);
        auto recipe = std::dynamic_pointer_cast<quillora::RecipeBookMarkViewC>(
            storyboard->instantiateViewControllerWithIdentifier("RecipeBookMarkViewC"));
        nav->pushViewController_animated(recipe, false);
        auto pdfButton = std::dynamic_pointer_cast<UIButton>(recipe->outletNamed("savepdf"));
        ASSERT_TRUE(pdfButton);

        const auto alert = [&] {
            return std::dynamic_pointer_cast<UIAlertController>(root->presentedViewController());
        };
        const Watchdog watchdog(std::chrono::seconds(240), std::string("The export of ") + kind);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(200);
        ASSERT_TRUE(pdfButton->tap());
        while (!alert() && std::chrono::steady_clock::now() < giveUp) {
            cairo_t* cr = cairo_create(screen);
            ScreenRenderer::draw(cr, 1);
            cairo_destroy(cr);
            RunLoop::main().runUntil([&] { return alert() != nullptr; }, 0.05);
        }
        ASSERT_TRUE(alert()) << "the export did not end";
        EXPECT_EQ(alert()->title(), "Done! ");
        ASSERT_TRUE(alert()->pressActionWithTitle("OK "));
        RunLoop::main().runUntilIdle();
        nav->popViewControllerAnimated(false);

        std::filesystem::path pdf;
        for (const auto& made : std::filesystem::directory_iterator(Sandbox::documents()))
            if (made.path().extension() == ".pdf") pdf = made.path();
        ASSERT_FALSE(pdf.empty());
        const int pages = pdfPageCount(pdf);
        ASSERT_GT(pages, 10);
        const auto last = pdfPageLines(pdf, pages);
        ASSERT_FALSE(last.empty());
        EXPECT_EQ(last.back(), kLastLine);
    }
    cairo_surface_destroy(screen);
}

} // namespace
