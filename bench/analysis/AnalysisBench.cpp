// One word-class pass over a 9,000-word transcript, as a dictation screen runs it after each
// recognition task: tagging, the per-word console lines, the lists and the store writes.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "analysis/WordClassStatistics.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/Sandbox.h"

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

} // namespace
