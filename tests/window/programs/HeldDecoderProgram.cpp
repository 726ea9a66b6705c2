// The program as it is built for a person, with its speech decoder held inside its end of an
// utterance (its second pass over it, seconds long on a starved core) from the moment the file
// named by QUILLORA_HOLD_ENDS_WHEN exists: the window runs no script, so a file is how a test says
// when. The console says once a decoder is held there.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "cli/Program.h"
#include "platform/foundation/Console.h"
#include "platform/speech/PocketsphinxEngine.h"

int main(int argc, char** argv) {
    if (const char* when = std::getenv("QUILLORA_HOLD_ENDS_WHEN"))
        std::thread([path = std::filesystem::path(when)] {
            using platform::PocketsphinxEngine;
            while (!std::filesystem::exists(path))
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            PocketsphinxEngine::holdEndsOfUtterancesForTesting(true);
            while (PocketsphinxEngine::decodersHeldInEndForTesting() == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            platform::console().print("A decoder is held in its end");
        }).detach();
    return quillora::cli::programMain(argc, argv);
}
