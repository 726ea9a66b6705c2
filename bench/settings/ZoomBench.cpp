// The zoom between a card and its detail, drawn frame by frame as the window draws it: one
// frame per 1/60 s of the transition's second, at the window's scale (1: a desktop window of
// 390 x 844 pixels) and at the phone's (3).

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>

#include <benchmark/benchmark.h>
#include <cairo.h>

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"
#include "platform/uikit/UIWindow.h"
#include "settings/CardGallery.h"
#include "settings/InfoScenes.h"

using namespace platform;

namespace {

// The drawing thread's own processor time: the machine is shared, and other programs' turns on
// the processor are not the renderer's cost.
double threadMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void BM_ZoomTransitionFrames(benchmark::State& state) {
    const auto home = std::filesystem::temp_directory_path() / "quillora-zoom-bench";
    Sandbox::setRoot(home);
    const char* bundle = std::getenv("QUILLORA_BUNDLE");
    NSBundle::mainBundle().setBundlePath(bundle && *bundle ? bundle : QUILLORA_SOURCE_BUNDLE);
    auto& loop = RunLoop::main();
    loop.useVirtualClock();

    auto board = std::make_shared<UIStoryboard>("Main");
    quillora::registerInfoScenes(*board);
    auto gallery = std::dynamic_pointer_cast<quillora::AppViewController1>(
        board->instantiateViewControllerWithIdentifier("AppViewController1"));
    auto window = std::make_shared<UIWindow>();
    window->setRootViewController(UINavigationController::initWithRootViewController(gallery));
    window->makeKeyAndVisible();
    loop.runUntilIdle();

    const CGRect screen = UIScreen::mainScreen().bounds();
    const double scale = static_cast<double>(state.range(0));
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(screen.width() * scale),
                                   static_cast<int>(screen.height() * scale));
    const int framesPerSecond = 60;
    double longest = 0, total = 0, wall = 0;
    long frames = 0, slow = 0;
    auto drawTransition = [&] {
        for (int f = 1; f <= framesPerSecond; ++f) {
            loop.advance(1.0 / framesPerSecond);
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = threadMilliseconds();
            cairo_t* cr = cairo_create(surface);
            ScreenRenderer::draw(cr, scale);
            cairo_destroy(cr);
            cairo_surface_flush(surface);
            const double ms = threadMilliseconds() - cpuStart;
            wall +=
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            longest = std::max(longest, ms);
            total += ms;
            ++frames;
            if (ms > 16) ++slow;
        }
        // Sixty steps of 1/60 s may fall short of the second by a rounding error.
        loop.advance(0.001);
    };
    for (auto _ : state) {
        auto card = gallery->listView->viewWithTag(1);
        if (!card || !userTapView(*card)) { // zooms out of the card
            state.SkipWithError("no card to tap");
            break;
        }
        drawTransition();
        auto detail = gallery->presentedViewController();
        if (!detail) {
            state.SkipWithError("the card opened no detail");
            break;
        }
        userTapView(*detail->view()); // shrinks back into it
        drawTransition();
        loop.runUntilIdle();
        if (gallery->presentedViewController()) state.SkipWithError("the detail did not close");
    }
    cairo_surface_destroy(surface);
    state.counters["frames"] = static_cast<double>(frames);
    state.counters["mean_frame_ms"] = total / static_cast<double>(std::max(frames, 1L));
    state.counters["max_frame_ms"] = longest;
    state.counters["mean_wall_frame_ms"] = wall / static_cast<double>(std::max(frames, 1L));
    state.counters["frames_over_16ms"] = static_cast<double>(slow);
    // Frames a second the drawing could keep up with, and what a 60 Hz display shows of it.
    const double capacity = 1000.0 / (total / static_cast<double>(std::max(frames, 1L)));
    state.counters["drawable_fps"] = capacity;
    state.counters["shown_fps"] = std::min(capacity, 60.0);
    window.reset();
    resetSharedInstances();
    std::filesystem::remove_all(home);
}
BENCHMARK(BM_ZoomTransitionFrames)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
