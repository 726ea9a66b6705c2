// One frame of the main screen as the window draws it: the whole key window at scale 2 into an
// image surface, with a transcript of a few paragraphs on screen.

#include <filesystem>
#include <random>
#include <string>

#include <benchmark/benchmark.h>
#include <cairo.h>

#include "app/ApplicationMain.h"
#include "dictation/ViewController.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"

namespace {

using namespace platform;

void launchOnce() {
    static bool launched = false;
    if (launched) return;
    launched = true;
    std::random_device rd;
    Sandbox::setRoot(std::filesystem::temp_directory_path() / ("quillora-bench-" + std::to_string(rd())));
    console().setSink([](const std::string&) {});
    RunLoop::main().useVirtualClock();
    UIApplication::sharedApplication().setMainLoop([] { return 0; });
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    quillora::applicationMain(1, argv);
    RunLoop::main().runUntilIdle();
    auto nav = std::dynamic_pointer_cast<UINavigationController>(
        UIApplication::sharedApplication().keyWindow()->rootViewController());
    auto screen = std::dynamic_pointer_cast<quillora::ViewController>(nav->topViewController());
    std::string transcript;
    for (int i = 0; i < 6; ++i)
        transcript += "📌 The meeting starts at noon, and the garden needs water before the rain comes. ";
    screen->Clipboard->setText(transcript);
    screen->textView->setText("while speaking the live text grows here");
}

void BM_MainScreenFrameAtScale2(benchmark::State& state) {
    launchOnce();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 780, 1688);
    for (auto _ : state) {
        cairo_t* cr = cairo_create(surface);
        ScreenRenderer::draw(cr, 2);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    }
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_MainScreenFrameAtScale2)->Unit(benchmark::kMillisecond);

} // namespace
