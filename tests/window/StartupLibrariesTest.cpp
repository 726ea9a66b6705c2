// The libraries a run of the program maps, from the dynamic loader's own account (LD_DEBUG=files):
// the window's toolkit, video, mail, vector symbols and the speech engine are opened when first
// used, so a script that uses none of them does not pay for loading them. A call of one of their
// functions that bypasses LazyLibrary.h links its library at start again.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/XvfbSession.h"

using namespace std::chrono_literals;
using quillora::test::ChildProcess;

namespace {

class StartupLibrariesTest : public quillora::test::PlatformTest {
protected:
    // The loader's lines of one run of `script`: every library it mapped, at start or later.
    std::string loaderLog(const std::string& name, const std::string& script,
                          const std::vector<std::string>& options) {
        const auto data = home / name;
        std::filesystem::create_directories(data);
        const auto scriptFile = home / (name + ".txt");
        std::ofstream(scriptFile) << script;
        const auto trace = home / (name + ".loader");
        std::vector<std::string> args = {QUILLORA_PROGRAM, "--home", data.string()};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), {"run", scriptFile.string()});
        ChildProcess program =
            ChildProcess::start(args, {{"LD_DEBUG", "files"}, {"LD_DEBUG_OUTPUT", trace.string()}},
                                (home / (name + ".log")).string());
        EXPECT_EQ(program.wait(300s), 0) << quillora::test::fileContent(home / (name + ".log"));
        std::string lines;
        // One file per process: <trace>.<pid>.
        for (const auto& entry : std::filesystem::directory_iterator(home))
            if (entry.path().filename().string().rfind(trace.filename().string() + ".", 0) == 0)
                lines += quillora::test::fileContent(entry.path());
        return lines;
    }
};

} // namespace

TEST_F(StartupLibrariesTest, AScriptMapsOnlyTheLibrariesItUses) {
    const std::vector<std::string> lazy = {"libgtk-4.so",     "libgstreamer-1.0",   "libgmime-3.0.so",
                                           "librsvg-2.so",    "libpocketsphinx.so", "libsphinxbase.so",
                                           "libsamplerate.so"};
    struct Case {
        const char* name;
        const char* script;
        std::vector<std::string> options;
        // Of the libraries above, those the run opens (the resampler only for a microphone whose
        // rate is not the model's).
        std::vector<std::string> opened;
    };
    const Case cases[] = {
        {"show", "show\n", {}, {}},
        {"essay", "tap StickyDynamicButton\npress Essay\npress Preview\nwait 1\n", {}, {}},
        {"record",
         "tap recordButton\nwait 0.3\ntap recordButton\nwait 1\n",
         {"--microphone", "silence"},
         {"libpocketsphinx.so", "libsphinxbase.so"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string log = loaderLog(c.name, c.script, c.options);
        ASSERT_NE(log.find("file=libc.so.6"), std::string::npos) << "no account from the loader:\n" << log;
        for (const auto& library : lazy) {
            const bool opened = log.find("file=" + library) != std::string::npos;
            const bool expected = std::find(c.opened.begin(), c.opened.end(), library) != c.opened.end();
            EXPECT_EQ(opened, expected) << library;
        }
    }
}
