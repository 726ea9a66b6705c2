// The program as it is built for a person, with one worker of its background queue stuck on
// purpose, as a worker hung on its input would be: the block never returns, and the main loop
// counts it as work it waits for. A script's `stuck` line has it start a second later, in the
// middle of the script's next wait; with QUILLORA_STUCK_WORKER set, the first turn of the main loop
// starts it (for the window, which runs no script). The console says when it has.
//
// A script's `busy` line starts a worker that is not waited for and, until the process ends, reads
// what the whole program shares: the template table, the file manager, the bundle, the console
// and the main loop, as an export still filling its page at the end does. The console says when it
// has read them once.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "pdf/PDFTemplate.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/RunLoop.h"

namespace {

void stickAWorker() {
    platform::console().print("A worker is stuck");
    platform::DispatchQueue::global().asyncThenMain(
        [] {
            while (true)
                std::this_thread::sleep_for(std::chrono::hours(1));
        },
        [] {});
}

void keepAWorkerReading() {
    platform::DispatchQueue::global(platform::DispatchQoS::UserInitiated).async([] {
        std::atomic<std::size_t> read = 0;
        for (bool told = false;; told = true) {
            for (const auto& row : quillora::pdfTemplates())
                read += row.name.size() + row.marks.size();
            const auto& bundle = platform::NSBundle::mainBundle().bundlePath();
            read += platform::NSFileManager::defaultManager().fileExistsAtPath(bundle.string());
            read += platform::RunLoop::main().pendingCount();
            if (!told) platform::console().print("A worker is reading");
        }
    });
}

} // namespace

int main(int argc, char** argv) {
    return quillora::cli::programMain(argc, argv, [](quillora::cli::ScriptInterpreter& interpreter) {
        interpreter.addCommand("stuck", "stuck",
                               [](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                                   platform::RunLoop::main().schedule(1, stickAWorker);
                               });
        interpreter.addCommand("busy", "busy",
                               [](quillora::cli::ScriptInterpreter&, const quillora::cli::ScriptLine&) {
                                   keepAWorkerReading();
                               });
        if (std::getenv("QUILLORA_STUCK_WORKER")) platform::RunLoop::main().schedule(0, stickAWorker);
    });
}
