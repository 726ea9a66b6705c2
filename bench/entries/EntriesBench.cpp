// Entry lists at scale: saving a list of 10,000 entries, opening a 50 MB list of 20,000 entries in
// its screen and saving a new row into it, indexing 10,000 entries of 200 words for the lemma
// search and one search over them, exporting a 20-page transcript to PDF, and the recipe text's
// export of 5 MB.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <malloc.h>
#include <random>
#include <string>
#include <vector>

#include "entries/EntryFilter.h"
#include "entries/EntryListViewController.h"
#include "entries/TextPDFExport.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/UIViewController.h"

namespace {

using namespace quillora;

struct Sandbox {
    Sandbox() {
        root = std::filesystem::temp_directory_path() /
               ("quillora-bench-" + std::to_string(std::random_device()()));
        platform::Sandbox::setRoot(root);
        platform::RunLoop::main().useVirtualClock();
        platform::console().startCapture();
    }
    ~Sandbox() { std::filesystem::remove_all(root); }
    std::filesystem::path root;
};

// Everyday words, so that entries share most of their vocabulary as dictated notes do.
std::vector<std::string> makeEntries(std::size_t count, std::size_t words) {
    static const char* vocabulary[] = {
        "the",      "meeting",  "started",    "late",      "because", "children",  "were",     "running",
        "around",   "kitchen",  "we",         "bought",    "apples",  "milk",      "eggs",     "bread",
        "tomorrow", "call",     "doctor",     "about",     "results", "she",       "wrote",    "letters",
        "to",       "friends",  "while",      "traveling", "through", "mountains", "and",      "rivers",
        "budget",   "needs",    "more",       "time",      "project", "deadline",  "moved",    "next",
        "week",     "remember", "buy",        "flowers",   "for",     "mother",    "birthday", "dinner",
        "cooked",   "fresh",    "vegetables", "garden",    "grows"};
    constexpr std::size_t n = sizeof vocabulary / sizeof *vocabulary;
    std::mt19937 random(42);
    std::vector<std::string> entries;
    for (std::size_t e = 0; e < count; ++e) {
        std::string text = "Note " + std::to_string(e) + ":";
        for (std::size_t w = 0; w < words; ++w)
            text += std::string(" ") + vocabulary[random() % n];
        entries.push_back(text + ".");
    }
    return entries;
}

void BM_SaveListOf10000(benchmark::State& state) {
    Sandbox sandbox;
    auto entries = makeEntries(10000, 20);
    auto path = (platform::Sandbox::documents() / "notes.txt").string();
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::writeStringArrayPlist(path, entries));
}
BENCHMARK(BM_SaveListOf10000)->Unit(benchmark::kMillisecond);

// What a Save on the main screen does: the list screen made (its search snapshot read), shown
// (the file read again and printed on the console) and the transcript written into the file.
void BM_OpenAndSaveListOf20000(benchmark::State& state) {
    Sandbox sandbox;
    // 20,000 entries of about 2,600 bytes: a 50 MB file.
    auto entries = makeEntries(20000, 400);
    const auto path = (platform::Sandbox::documents() / "notes.txt").string();
    platform::writeStringArrayPlist(path, entries);
    const std::string bytes = platform::NSFileManager::defaultManager().contentsAtPath(path).value_or("");
    entries.clear();
    entries.shrink_to_fit();
    state.counters["MB"] = static_cast<double>(bytes.size()) / 1e6;
    for (auto _ : state) {
        state.PauseTiming();
        platform::NSFileManager::defaultManager().writeAtomically(path, bytes);
        platform::console().clearCaptured();
        // The heap as a program that has just started has it: the strings freed by the setting-up
        // and the last round would otherwise leave thousands of odd-sized holes for malloc to sort.
        malloc_trim(0);
        state.ResumeTiming();
        auto list = std::make_shared<ViewControllerTabelView>();
        list->transribeText = "One more note.";
        list->transcribe = true;
        list->view();
        benchmark::DoNotOptimize(list->data.size());
    }
}
BENCHMARK(BM_OpenAndSaveListOf20000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Index10000EntriesOf200Words(benchmark::State& state) {
    Sandbox sandbox;
    platform::writeStringArrayPlist((platform::Sandbox::documents() / "notes.txt").string(),
                                    makeEntries(10000, 200));
    for (auto _ : state) {
        EntryFilter filter(std::make_shared<EntryCollection>());
        filter.indexEntries();
        benchmark::DoNotOptimize(filter.wordSets.size());
    }
}
BENCHMARK(BM_Index10000EntriesOf200Words)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SearchOver10000Entries(benchmark::State& state) {
    Sandbox sandbox;
    platform::writeStringArrayPlist((platform::Sandbox::documents() / "notes.txt").string(),
                                    makeEntries(10000, 200));
    EntryFilter filter(std::make_shared<EntryCollection>());
    filter.setSearchString("ran");
    // Words of the shared vocabulary match nearly every entry; "zebra" matches none.
    std::string term = state.range(0) ? "wrote letters" : "zebra";
    for (auto _ : state) {
        filter.setSearchString(term);
        benchmark::DoNotOptimize(filter.filteredEntries.size());
    }
    state.counters["found"] = static_cast<double>(filter.filteredEntries.size());
}
BENCHMARK(BM_SearchOver10000Entries)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_Export20Pages(benchmark::State& state) {
    Sandbox sandbox;
    std::string text;
    for (int i = 1; i <= 20 * 45; ++i)
        text += "Line " + std::to_string(i) + " of a long dictated transcript\n";
    auto screen = std::make_shared<platform::UIViewController>();
    for (auto _ : state)
        exportListPDF(text, *screen);
}
BENCHMARK(BM_Export20Pages)->Unit(benchmark::kMillisecond);

void BM_RecipeExportOf5MB(benchmark::State& state) {
    Sandbox sandbox;
    std::string text;
    for (int sentence = 0; text.size() < (5u << 20); ++sentence)
        text += sentence % 12 == 11 ? "Bake for forty minutes until golden.\n"
                                    : "Stir the flour into the milk, then add two eggs and a pinch of salt. ";
    auto screen = std::make_shared<platform::UIViewController>();
    for (auto _ : state)
        exportListPDF(text, *screen);
}
BENCHMARK(BM_RecipeExportOf5MB)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
