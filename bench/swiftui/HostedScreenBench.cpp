// One frame of the screen with the analysis screen presented over the main screen, at scale 2:
// after a change (the tree rebuilt, laid out and drawn), as a redraw of an unchanged tree, and the
// hosting view's own share of a frame.

#include <benchmark/benchmark.h>

#include <cairo.h>

#include <filesystem>
#include <string>

#include "app/ApplicationMain.h"
#include "dictation/StoredKeys.h"
#include "dictation/ViewController.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

namespace {

namespace keys = quillora::keys;
using namespace platform;

struct Screen {
    std::filesystem::path root = std::filesystem::temp_directory_path() / "quillora-hosted-bench";
    std::shared_ptr<swiftui::UIHostingController> analysis;

    Screen() {
        Sandbox::setRoot(root);
        console().setSink([](const std::string& line) { benchmark::DoNotOptimize(line.data()); });
        auto d = NSUserDefaults::standardUserDefaults();
        std::string transcript;
        for (int i = 0; i < 20; ++i)
            transcript += "The hen laid an egg and the fox ran off with it before the farmer woke up. ";
        d->setObject_forKey(transcript, std::string(keys::saveclipBoardText));
        d->setObject_forKey(StringArray{"laid", "ran", "woke"}, std::string(keys::savedarrayverb));
        d->setObject_forKey(StringArray{"hen", "egg", "fox", "farmer"}, std::string(keys::savedarraynoun));
        d->setObject_forKey(StringArray{"off"}, std::string(keys::savedarrayadjective));
        d->setObject_forKey(StringArray{"it"}, std::string(keys::savedarraypronoun));
        for (auto key : {keys::totalverbcount, keys::totalnouncount, keys::totalpronouncount,
                         keys::totaladjectivecount, keys::timedictateTotal, keys::totalwordcount})
            d->setInteger_forKey(10, std::string(key));
        UIApplication::sharedApplication().setMainLoop([] { return 0; });
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        quillora::applicationMain(1, argv);
        auto nav = std::dynamic_pointer_cast<UINavigationController>(
            UIApplication::sharedApplication().keyWindow()->rootViewController());
        auto main = std::dynamic_pointer_cast<quillora::ViewController>(nav->topViewController());
        main->textAnalysisButtonTapped();
        RunLoop::main().advance(1);
        analysis = std::dynamic_pointer_cast<swiftui::UIHostingController>(main->presentedViewController());
    }
    ~Screen() {
        console().setSink({});
        std::filesystem::remove_all(root);
    }
};

// The application starts once per process; both measurements share it.
Screen& sharedScreen() {
    static Screen screen;
    return screen;
}

enum class What { frameAfterChange, redraw, hostedViewAlone };

void frames(benchmark::State& state, What what) {
    Screen& screen = sharedScreen();
    if (!screen.analysis) {
        state.SkipWithError("the analysis screen is not presented");
        return;
    }
    const CGRect bounds = UIScreen::mainScreen().bounds();
    cairo_surface_t* surface = cairo_image_surface_create(
        CAIRO_FORMAT_ARGB32, static_cast<int>(bounds.width() * 2), static_cast<int>(bounds.height() * 2));
    for (auto _ : state) {
        if (what != What::redraw) screen.analysis->host()->rebuild();
        cairo_t* cr = cairo_create(surface);
        if (what == What::hostedViewAlone) {
            cairo_scale(cr, 2, 2);
            ScreenRenderer::drawView(cr, *screen.analysis->view());
        } else {
            ScreenRenderer::draw(cr, 2);
        }
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    }
    cairo_surface_destroy(surface);
}

void BM_AnalysisScreenFrameAfterAChange(benchmark::State& state) {
    frames(state, What::frameAfterChange);
}
void BM_AnalysisScreenRedraw(benchmark::State& state) {
    frames(state, What::redraw);
}
// The hosting view's own part of a frame after a change: rebuilt, laid out and drawn, without the
// screen beneath the sheet and the sheet's chrome.
void BM_AnalysisHostingViewAlone(benchmark::State& state) {
    frames(state, What::hostedViewAlone);
}
BENCHMARK(BM_AnalysisScreenFrameAfterAChange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalysisScreenRedraw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalysisHostingViewAlone)->Unit(benchmark::kMillisecond);

} // namespace
