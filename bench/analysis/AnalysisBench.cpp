// One word-class pass over a 9,000-word transcript, as a dictation screen runs it after each
// recognition task: tagging, the per-word console lines, the lists and the store writes. And the
// analysis screen opened on a transcript of one unbroken word, beside ordinary words of the same
// length: the pass, then the screen built, laid out and drawn with nothing laid out before.

#include <benchmark/benchmark.h>

#include <cairo.h>

#include <filesystem>
#include <random>
#include <string>

#include "analysis/SwiftUIView.h"
#include "analysis/WordClassStatistics.h"
#include "common/StoredKeys.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/Sandbox.h"
#include "platform/swiftui/TextSetter.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewLayout.h"
#include "platform/swiftui/ViewRenderer.h"

namespace {

// Varied everyday prose, repeated to 9,000 words.
std::string transcript() {
    const std::string paragraphs[] = {
        "Thank you so much for the lovely flowers you sent last week. They arrived on Tuesday morning and "
        "they "
        "still look beautiful on the kitchen table. I have been very busy with work, but I would love to see "
        "you "
        "again soon. ",
        "We need milk, eggs, bread and two bags of apples. Buy the cheap coffee if the good one is sold out. "
        "Don't forget the dog food and some fresh vegetables for dinner. ",
        "The team met on Monday to discuss the new project. Tom explained that the budget was too small and "
        "asked "
        "for more time. Everyone agreed that the first draft should be ready by the end of the month. ",
        "Yesterday I walked to the park with my children. The weather was warm and the trees were green. We "
        "played football on the grass and ate sandwiches under a big tree. ",
    };
    std::string out;
    int words = 0;
    for (int i = 0; words < 9000; ++i) {
        const std::string& p = paragraphs[i % 4];
        for (char c : p)
            if (c == ' ' && words < 9000) ++words;
        out += p;
    }
    return out;
}

void BM_WordClassPass(benchmark::State& state) {
    auto root = std::filesystem::temp_directory_path() / "quillora-analysis-bench";
    platform::Sandbox::setRoot(root);
    // The lines are formatted and handed to the console as in the program; only the terminal is
    // left out of the measurement.
    platform::console().setSink([](const std::string& line) { benchmark::DoNotOptimize(line.data()); });
    auto defaults = platform::NSUserDefaults::standardUserDefaults();
    const std::string text = transcript();
    for (auto _ : state) {
        // A fresh screen each time, so every iteration is the first pass over the transcript.
        quillora::WordClassStatistics screen;
        screen.analyzeWordClasses(text, *defaults, quillora::WordClassPass::mainScreen());
        benchmark::DoNotOptimize(screen.WordCountforApp);
    }
    platform::console().setSink({});
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_WordClassPass)->Unit(benchmark::kMillisecond);

// `length` letters without a blank, as a recognizer that heard no pause might give them.
std::string unbrokenWord(std::size_t length) {
    std::minstd_rand random(7);
    std::string word;
    while (word.size() < length)
        word += static_cast<char>('a' + random() % 26);
    return word;
}

// The prose above cut to `length` bytes.
std::string ordinaryWords(std::size_t length) {
    std::string text = transcript();
    while (text.size() < length)
        text += text;
    text.resize(length);
    return text;
}

void analysisScreen(benchmark::State& state, const std::string& text) {
    auto root = std::filesystem::temp_directory_path() / "quillora-analysis-screen-bench";
    platform::Sandbox::setRoot(root);
    platform::console().setSink([](const std::string& line) { benchmark::DoNotOptimize(line.data()); });
    auto defaults = platform::NSUserDefaults::standardUserDefaults();
    defaults->setObject_forKey(text, std::string(quillora::keys::saveclipBoardText));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 390, 844);
    for (auto _ : state) {
        quillora::WordClassStatistics screen;
        screen.analyzeWordClasses(text, *defaults, quillora::WordClassPass::mainScreen());
        auto host = platform::swiftui::ViewHost::make(quillora::SwiftUIView());
        const platform::swiftui::TextSetter setter;
        const platform::swiftui::ViewLayout layout(host->tree(), {390, 844}, setter);
        cairo_t* cr = cairo_create(surface);
        platform::swiftui::ViewRenderer(setter).draw(cr, layout);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    }
    cairo_surface_destroy(surface);
    platform::console().setSink({});
    std::filesystem::remove_all(root);
}

void BM_AnalysisScreenOfOneWord(benchmark::State& state) {
    analysisScreen(state, unbrokenWord(static_cast<std::size_t>(state.range(0))));
}
void BM_AnalysisScreenOfOrdinaryWords(benchmark::State& state) {
    analysisScreen(state, ordinaryWords(static_cast<std::size_t>(state.range(0))));
}
// The Noun row's button sets its word in a frame 65 points wide: that text alone, one word against
// ordinary words of the same length set the same way.
void textInTheButtonsFrame(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        const platform::swiftui::TextSetter setter;
        benchmark::DoNotOptimize(setter.measure({platform::swiftui::TextRun{text, {}, {}}}, {}, 65.0));
    }
}

void BM_ButtonTextOfOneWord(benchmark::State& state) {
    textInTheButtonsFrame(state, unbrokenWord(static_cast<std::size_t>(state.range(0))));
}
void BM_ButtonTextOfOrdinaryWords(benchmark::State& state) {
    textInTheButtonsFrame(state, ordinaryWords(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_ButtonTextOfOneWord)->Arg(10000)->Arg(40000)->Arg(70000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ButtonTextOfOrdinaryWords)->Arg(10000)->Arg(40000)->Arg(70000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalysisScreenOfOneWord)->Arg(10000)->Arg(40000)->Arg(70000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalysisScreenOfOrdinaryWords)
    ->Arg(10000)
    ->Arg(40000)
    ->Arg(70000)
    ->Unit(benchmark::kMillisecond);

} // namespace
