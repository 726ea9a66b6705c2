// The voice-command pass over a long live text, and one end-of-task pass over a long transcript.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "dictation/ViewController.h"
#include "dictation/VoiceCommands.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"

using namespace platform;

namespace {

const char* kWords[] = {"the",    "patient", "walked", "to",        "the",       "clinic",
                        "and",    "wrote",   "a",      "memo",      "with",      "a",
                        "pencil", "near",    "the",    "clipboard", "Checkmark", "today"};

std::string words(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += (i ? " " : "") + std::string(kWords[i % std::size(kWords)]);
    return text;
}

// What the screen does with one result: the trigger test over the segment list, then every row of
// the table over the live text.
void BM_VoiceCommandPass(benchmark::State& state) {
    std::string live = words(2000);
    live.resize(10000);
    SFSpeechRecognitionResult result(SFTranscription::verbatim(live, 0.3, 0), false);
    const auto& table = quillora::mainVoiceCommands();
    for (auto _ : state) {
        std::string text = live;
        if (quillora::holdsTrigger(quillora::triggerText(result), quillora::mainCommandTriggersLoop1()))
            text = table.apply(std::move(text));
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(live.size()));
}
BENCHMARK(BM_VoiceCommandPass)->Unit(benchmark::kMillisecond);

// The notes screen's twenty rows over the same 10,000 characters, with office words in it.
void BM_NotesVoiceCommandPass(benchmark::State& state) {
    std::string live = words(2000);
    live.resize(10000);
    for (std::size_t at = 0; at + 40 < live.size(); at += 400)
        live.replace(at, 12, "red circle. ");
    SFSpeechRecognitionResult result(SFTranscription::verbatim(live, 0.3, 0), false);
    const auto& table = quillora::notesVoiceCommands();
    for (auto _ : state) {
        std::string text = live;
        if (quillora::holdsTrigger(quillora::triggerText(result), quillora::notesCommandTriggers()))
            text = table.apply(std::move(text));
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(live.size()));
}
BENCHMARK(BM_NotesVoiceCommandPass)->Unit(benchmark::kMillisecond);

// The recipe screen's 52 steps with the gate open, over 1,000 and 10,000 characters.
void BM_RecipeVoiceCommandPass(benchmark::State& state) {
    std::string live = words(static_cast<std::size_t>(state.range(0)) / 4);
    live.resize(static_cast<std::size_t>(state.range(0)));
    live.replace(0, 12, "apple pizza ");
    SFSpeechRecognitionResult result(SFTranscription::verbatim(live, 0.3, 0), false);
    const auto& table = quillora::recipeVoiceCommands();
    for (auto _ : state) {
        std::string text = live;
        if (quillora::holdsTrigger(quillora::triggerText(result), quillora::recipeCommandTriggers()))
            text = table.apply(std::move(text));
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(live.size()));
}
BENCHMARK(BM_RecipeVoiceCommandPass)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// A task's end on a transcript of 9,000 words: append, store, two word-class passes, tear-down.
void BM_EndOfTaskPass(benchmark::State& state) {
    auto root = std::filesystem::temp_directory_path() / "quillora-bench-dictation";
    Sandbox::setRoot(root);
    console().setSink([](const std::string&) {});
    RunLoop::main().useVirtualClock();
    const std::string transcript = words(9000);
    auto result = std::make_shared<SFSpeechRecognitionResult>(
        SFTranscription::verbatim("and then the memo was finished", 0.3, 0.9f), true);
    for (auto _ : state) {
        state.PauseTiming();
        auto screen = std::make_shared<quillora::ViewController>();
        screen->view();
        screen->Clipboard->setText(transcript);
        state.ResumeTiming();
        screen->handleRecognitionResultLoop1(result, std::nullopt, screen->audioEngine->inputNode());
        state.PauseTiming();
        RunLoop::main().runUntilIdle();
        screen.reset();
        state.ResumeTiming();
    }
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_EndOfTaskPass)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
