// One frame of the main screen as the window draws it: the whole key window at scale 2 into an
// image surface, with a transcript of a few paragraphs on screen; the first frame of that
// transcript holding 50 MB, and at the end of a 50 MB paragraph; and the list screen opened on a
// 50 MB list.

#include <filesystem>
#include <random>
#include <string>

#include <benchmark/benchmark.h>
#include <cairo.h>

#include "app/ApplicationMain.h"
#include "dictation/ViewController.h"
#include "entries/EntryScenes.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/TextEditingModel.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIStoryboard.h"

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

std::shared_ptr<quillora::ViewController> mainScreen() {
    auto nav = std::dynamic_pointer_cast<UINavigationController>(
        UIApplication::sharedApplication().keyWindow()->rootViewController());
    return std::dynamic_pointer_cast<quillora::ViewController>(nav->viewControllers().front());
}

void drawFrame(cairo_surface_t* surface) {
    cairo_t* cr = cairo_create(surface);
    ScreenRenderer::draw(cr, 2);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
}

// Dictated sentences up to `bytes`, a paragraph every ten of them.
std::string dictatedText(std::size_t bytes) {
    std::string text;
    for (int sentence = 0; text.size() < bytes; ++sentence)
        text += (sentence % 10 == 9) ? "The garden needs water before the rain comes.\n"
                                     : "The meeting starts at noon, and nobody knows the room. ";
    return text;
}

void BM_TranscriptFirstFrameHolding50MB(benchmark::State& state) {
    launchOnce();
    const std::string text = dictatedText(50u << 20);
    auto screen = mainScreen();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 780, 1688);
    for (auto _ : state) {
        state.PauseTiming();
        screen->Clipboard->setText(text);
        state.ResumeTiming();
        drawFrame(surface);
    }
    cairo_surface_destroy(surface);
    screen->Clipboard->setText("");
}
BENCHMARK(BM_TranscriptFirstFrameHolding50MB)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same with a single paragraph of 50 MB, shown at its end: the blocks there are cut where its
// lines start, found by laying out up to eight blocks before them once more.
void BM_TranscriptFirstFrameAtTheEndOf50MBParagraph(benchmark::State& state) {
    launchOnce();
    std::string text;
    while (text.size() < (50u << 20))
        text += "The meeting starts at noon, and nobody knows the room. ";
    auto screen = mainScreen();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 780, 1688);
    for (auto _ : state) {
        state.PauseTiming();
        screen->Clipboard->setText(text);
        state.ResumeTiming();
        screen->Clipboard->scrollRangeToVisible({utf16Length(text), 0});
        drawFrame(surface);
    }
    cairo_surface_destroy(surface);
    screen->Clipboard->setText("");
}
BENCHMARK(BM_TranscriptFirstFrameAtTheEndOf50MBParagraph)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ListScreenOpenedOn50MBList(benchmark::State& state) {
    launchOnce();
    // 500 entries of 100 KB.
    std::vector<std::string> entries(500, dictatedText(100u << 10));
    writeStringArrayPlist((Sandbox::documents() / "notes.txt").string(), entries);
    auto storyboard = std::make_shared<UIStoryboard>("Main");
    quillora::registerEntryScenes(*storyboard);
    auto nav = std::dynamic_pointer_cast<UINavigationController>(
        UIApplication::sharedApplication().keyWindow()->rootViewController());
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 780, 1688);
    for (auto _ : state) {
        nav->pushViewController_animated(storyboard->instantiateViewControllerWithIdentifier("VCTV"), false);
        RunLoop::main().runUntilIdle();
        drawFrame(surface);
        state.PauseTiming();
        nav->popToRootViewControllerAnimated(false);
        RunLoop::main().runUntilIdle();
        state.ResumeTiming();
    }
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_ListScreenOpenedOn50MBList)->Unit(benchmark::kMillisecond)->Iterations(3);

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
