// Starting on preferences whose transcript holds 1,200,000 characters stored escaped (&, <, >):
// the store's load alone, and the whole start of the application up to its first screen.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <benchmark/benchmark.h>

#include "app/ApplicationMain.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/UIApplication.h"
#include "tests/support/DamagedPreferences.h"

namespace {

using namespace platform;

void writeEscapedPreferences() {
    std::random_device rd;
    Sandbox::setRoot(std::filesystem::temp_directory_path() / ("quillora-bench-" + std::to_string(rd())));
    std::filesystem::create_directories(Sandbox::preferences());
    std::ofstream(Sandbox::preferences() / "com.quillora.app.plist", std::ios::binary)
        << quillora::test::escapedTranscriptPreferences(1200000);
    console().setSink([](const std::string&) {});
}

void BM_PreferencesLoadWith1200000EscapedCharacters(benchmark::State& state) {
    writeEscapedPreferences();
    for (auto _ : state) {
        NSUserDefaults::resetStandardUserDefaults();
        auto text = NSUserDefaults::standardUserDefaults()->stringForKey("saveclipBoardText");
        if (!text || text->size() != 1200000) state.SkipWithError("the transcript was not read whole");
    }
    NSUserDefaults::resetStandardUserDefaults();
    std::filesystem::remove_all(Sandbox::root());
}
BENCHMARK(BM_PreferencesLoadWith1200000EscapedCharacters)->Unit(benchmark::kMillisecond);

// Once: the application starts once per program.
void BM_ApplicationStartWith1200000EscapedCharacters(benchmark::State& state) {
    writeEscapedPreferences();
    NSUserDefaults::resetStandardUserDefaults();
    RunLoop::main().useVirtualClock();
    UIApplication::sharedApplication().setMainLoop([] { return 0; });
    for (auto _ : state) {
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        quillora::applicationMain(1, argv);
        RunLoop::main().runUntilIdle();
    }
    if (NSUserDefaults::standardUserDefaults()->stringForKey("saveclipBoardText")->size() != 1200000)
        state.SkipWithError("the transcript was not kept");
}
BENCHMARK(BM_ApplicationStartWith1200000EscapedCharacters)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
