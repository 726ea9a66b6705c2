// Every save the screens make, into a folder another program keeps locked (as `flock -x Documents
// sleep 45` does): the screen goes on while the save waits, a save let go within the wait is made
// as if nothing had held it, and one held past the wait says why it was not made.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenPrinter.h"
#include "platform/uikit/UIAlertController.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;
using namespace platform;

namespace {

class LockedFolderScriptTest : public quillora::test::PlatformTest {
protected:
    // Runs `text` on the data folder `data` with the commands below; the failing line's reason is
    // kept in `errors`.
    //   hold FOLDER   another program locks FOLDER (under the data folder), made when missing
    //   letgo         it lets go
    //   waiting       a save waits on the run loop, and nothing has said how it went
    //   alerted TITLE the front screen is an alert titled TITLE (blanks around it aside)
    //   printed TEXT  the console printed a line starting with TEXT since the folder was held
    //   front CLASS   the front screen is of that class
    int run(const std::filesystem::path& data, const std::string& text) {
        const auto path = data.string() + ".txt";
        std::ofstream(path) << text;
        int held = -1;
        std::size_t printedBefore = 0;
        auto extend = [&](ScriptInterpreter& interpreter) {
            interpreter.addCommand(
                "hold", "hold FOLDER", [&, data](ScriptInterpreter&, const ScriptLine& line) {
                    printedBefore = console().capturedLines().size();
                    std::filesystem::create_directories(data / line.rest);
                    held = ::open((data / line.rest).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                    if (held < 0 || ::flock(held, LOCK_EX | LOCK_NB) != 0) throw ScriptError("cannot lock");
                });
            interpreter.addCommand("letgo", "letgo", [&](ScriptInterpreter&, const ScriptLine&) {
                ::close(held);
                held = -1;
            });
            interpreter.addCommand("waiting", "waiting", [](ScriptInterpreter&, const ScriptLine&) {
                if (NSFileManager::folderWaitsPending() != 1) throw ScriptError("no save waits");
                if (std::dynamic_pointer_cast<UIAlertController>(ScriptInterpreter::currentScreen()))
                    throw ScriptError("an alert already says how the save went");
            });
            interpreter.addCommand(
                "alerted", "alerted TITLE", [](ScriptInterpreter&, const ScriptLine& line) {
                    auto alert =
                        std::dynamic_pointer_cast<UIAlertController>(ScriptInterpreter::currentScreen());
                    if (!alert) throw ScriptError("no alert is shown");
                    std::string title = alert->title().value_or("");
                    while (!title.empty() && title.back() == ' ')
                        title.pop_back();
                    if (title != line.rest) throw ScriptError("the alert says '" + title + "'");
                });
            interpreter.addCommand("printed", "printed TEXT",
                                   [&](ScriptInterpreter&, const ScriptLine& line) {
                                       const auto lines = console().capturedLines();
                                       for (std::size_t i = printedBefore; i < lines.size(); ++i)
                                           if (lines[i].rfind(line.rest, 0) == 0) return;
                                       throw ScriptError("nothing printed '" + line.rest + "'");
                                   });
            interpreter.addCommand("front", "front CLASS", [](ScriptInterpreter&, const ScriptLine& line) {
                const std::string shown = ScriptInterpreter::currentScreen()->className();
                if (shown != line.rest) throw ScriptError("the front screen is " + shown);
            });
        };
        Options options;
        options.home = data;
        options.clock = RunLoop::kDefaultVirtualEpoch;
        options.script = path;
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        testing::internal::CaptureStderr();
        const int status = runProgram(options, 1, argv, extend);
        errors = testing::internal::GetCapturedStderr();
        if (held >= 0) ::close(held);
        platform::resetSharedInstances();
        return status;
    }
    std::string errors;
};

} // namespace

TEST_F(LockedFolderScriptTest, EverySaveWaitsForALockedFolderWhileTheScreenGoesOn) {
    struct Case {
        const char* what;
        std::string before; // up to the save, the folder free
        std::string folder; // where the save goes
        std::string save;   // the line that saves
        std::string made;   // a line that checks the save made
        std::string refusal;
    };
    const std::string notes = "tap StickyDynamicButton\nwait 1\npress Notes\nwait 1\n";
    const std::vector<Case> cases{
        {"recipe text PDF", "open RecipeBookMarkViewC\nwait 1\ntype Clipboard Flour and eggs\n", "Documents",
         "tap savepdf", "alerted Done!", "Not saved"},
        {"feedback mail", "tap FontDynamicButton\nwait 1\npress Feedback\nwait 1\n", "Documents/Mail/Outbox",
         "mail send", "printed Mail kept in ", "Cannot Send Mail"},
        {"template PDF", notes, "tmp", "press Preview\nwait 1", "printed PDF location: ", "PDF not made"},
        {"shared PDF copy", notes + "press Preview\nwait 2\n", "tmp", "tap SharePDFButton",
         "front UIActivityViewController", "PDF not shared"},
        {"photo copy", "tap StickyDynamicButton\nwait 1\npress Modern Letter\nwait 1\npress Select Logo\n",
         "tmp", "photo handle.png", "printed Local Path Temp: ", "Photo not saved"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Let go within the wait: made, as if the folder had been free.
        EXPECT_EQ(run(home / (std::string(c.what) + " let go"),
                      c.before + "hold " + c.folder + "\n" + c.save +
                          "\nwaiting\nwait 1\nwaiting\nletgo\nwait 0.5\n" + c.made + "\n"),
                  0)
            << errors;
        // Held past the wait: not made, and the person hears why.
        EXPECT_EQ(run(home / (std::string(c.what) + " held"), c.before + "hold " + c.folder + "\n" + c.save +
                                                                  "\nwaiting\nwait 4\nalerted " + c.refusal +
                                                                  "\n"),
                  0)
            << errors;
    }
}
