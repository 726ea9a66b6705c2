// The program ended from outside where the end is hard to reach: a worker of its background queue
// that never answers, and a logout, where the display server ends a moment after the signal. Either
// way it ends through its saves within the termination's own time, exits with 0 and lets its data
// folder go, so that the next start opens a window instead of finding one "already open".
#include <signal.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "cli/InstanceLock.h"
#include "platform/foundation/PropertyList.h"
#include "platform/uikit/UIApplication.h"
#include "tests/dictation/PhrasesWithPauses.h"
#include "tests/window/WindowTest.h"

using quillora::test::fileContent;
using quillora::test::occurrences;

namespace {

class EndingTest : public WindowTest {
protected:
    // A display of its own for the next start of the window: a logout ends it.
    void newDisplay(const std::string& name) {
        // The one before ends first: its server, ended or not, holds its display number until then.
        x_.reset();
        x_ = std::make_unique<quillora::test::XvfbSession>(home / name);
        ASSERT_TRUE(x_->unavailable().empty()) << x_->unavailable();
        display_ = x_->display();
        env_ = x_->environment();
    }

    // The window ended through its saves, and the data folder let go; what was dictated is in the
    // list, once.
    void expectEndedAndLetGo(int status, const std::filesystem::path& appHome, bool dictated) {
        if (dictated) {
            expectEndedThroughItsSaves(status, appHome);
        } else {
            EXPECT_EQ(status, 0) << readFile(home / "app.log");
            EXPECT_EQ(printed("app going to terminate"), 1u) << readFile(home / "app.log");
        }
        expectLetGo(appHome);
    }

    // How long the window's thread (the process's first) has run on a processor.
    static std::chrono::nanoseconds windowThreadTime(pid_t pid) {
        std::ifstream stats("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/schedstat");
        long long ran = 0;
        stats >> ran;
        return std::chrono::nanoseconds(ran);
    }

    static void expectLetGo(const std::filesystem::path& appHome) {
        std::optional<quillora::cli::InstanceLock::Holder> holder;
        std::string error;
        EXPECT_TRUE(quillora::cli::InstanceLock::acquire(appHome, "script", holder, error))
            << "the data folder is still held: " << error;
    }
};

} // namespace

// A worker stuck in its block (an export hung on its input) while the main loop waits for it: a
// signal still ends the program through its saves, in the time the termination gives its workers,
// and the process ends without waiting for the worker. In a script waiting on the real clock, and
// in the window while it dictates.
TEST_F(EndingTest, ASignalEndsTheProgramThroughItsSavesWhileAWorkerIsStuck) {
    // The script dictates into the notes screen, which saves its list at the end, and goes on
    // dictating through a wait on its virtual clock, whose every second (the run's timer) first
    // waits for the worker.
    {
        SCOPED_TRACE("script");
        const auto appHome = home / "script";
        const auto log = home / "script.log", script = home / "script.txt";
        std::filesystem::create_directories(appHome);
        std::ofstream(script)
            << "scripted\nmicrophone silence\nsegment segmentcontrol Notes\ntap recordButton\n"
               "final Hello there.\nwait 2\nstuck\nwait 600\n";
        ChildProcess program = ChildProcess::start(
            {QUILLORA_STUCK_WORKER_PROGRAM, "--home", appHome.string(), "run", script.string()}, {},
            log.string());
        ASSERT_TRUE(quillora::test::waitUntil(
            [&] {
                return occurrences(appHome / "Library" / "Logs" / "console.log", "A worker is stuck") > 0;
            },
            180s))
            << fileContent(log);
        ASSERT_EQ(kill(program.pid(), SIGTERM), 0);
        // However long the machine takes: a program that waits for its worker never ends.
        EXPECT_EQ(program.wait(180s), 0) << fileContent(log);
        EXPECT_EQ(occurrences(appHome / "Library" / "Logs" / "console.log", "app going to terminate"), 1u)
            << fileContent(log);
        auto rows = platform::readStringArrayPlist((appHome / "Documents" / "notesNVC.txt").string());
        ASSERT_TRUE(rows && !rows->empty()) << "the termination saved nothing: " << fileContent(log);
        EXPECT_EQ(rows->front(), " Hello there.");
        expectLetGo(appHome);
    }
    {
        SCOPED_TRACE("window");
        const auto appHome = home / "window";
        program_ = QUILLORA_STUCK_WORKER_PROGRAM;
        env_["QUILLORA_STUCK_WORKER"] = "1";
        ChildProcess app;
        Controls controls;
        std::string id;
        std::pair<int, int> size;
        ASSERT_NO_FATAL_FAILURE(startDictating(app, appHome, controls, id, size));
        ASSERT_GT(printed("A worker is stuck"), 0u);
        ASSERT_EQ(kill(app.pid(), SIGTERM), 0);
        expectEndedAndLetGo(app.wait(180s), appHome, true);
    }
}

// A worker that is not waited for still reads the program's shared tables, its file manager, bundle,
// console and main loop as the process ends, by itself or on a signal: nothing it reads is taken
// down beside it (a sanitizer build reports any read of what was freed, and fails the exit).
TEST_F(EndingTest, AWorkerReadingWhatTheProgramSharesMeetsNothingFreedAtTheEnd) {
    struct Case {
        const char* name;
        bool signalled;
    };
    for (const Case& c : {Case{"by itself", false}, Case{"on a signal", true}}) {
        SCOPED_TRACE(c.name);
        const auto appHome = home / (c.signalled ? "signalled" : "itself");
        const auto log = home / (std::string(c.signalled ? "signalled" : "itself") + ".log");
        const auto script = home / "busy.txt";
        std::filesystem::create_directories(appHome);
        std::ofstream(script) << "busy\nwait 1\n" << (c.signalled ? "wait 600\n" : "");
        ChildProcess program = ChildProcess::start(
            {QUILLORA_STUCK_WORKER_PROGRAM, "--home", appHome.string(), "--realtime", "run", script.string()},
            {}, log.string());
        if (c.signalled) {
            ASSERT_TRUE(quillora::test::waitUntil(
                [&] {
                    return occurrences(appHome / "Library" / "Logs" / "console.log", "A worker is reading") >
                           0;
                },
                180s))
                << fileContent(log);
            ASSERT_EQ(kill(program.pid(), SIGTERM), 0);
        }
        EXPECT_EQ(program.wait(180s), 0) << fileContent(log);
        EXPECT_EQ(occurrences(appHome / "Library" / "Logs" / "console.log", "A worker is reading"), 1u);
        EXPECT_EQ(fileContent(log).find("Sanitizer"), std::string::npos) << fileContent(log);
    }
}

// A signal a second after Preview of a long stored transcript (60 MB: the page is filled and laid
// out on a worker meanwhile), the program held to a tenth of the processor as on a loaded machine:
// it ends through its saves, the transcript kept whole, and nothing the worker reads is freed
// beside it.
TEST_F(EndingTest, ASignalSoonAfterPreviewOfALongTranscriptEndsThroughItsSavesBesideTheFillingWorker) {
    const auto appHome = home / "long";
    std::string transcript;
    transcript.reserve(60u << 20);
    while (transcript.size() < (60u << 20))
        transcript += "She opened the window and looked at the garden, and the garden looked back.\n";
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                             "<key>saveclipBoardText</key><string>";
    std::filesystem::create_directories(appHome / "Library" / "Preferences");
    {
        std::ofstream prefs(appHome / "Library" / "Preferences" / "com.quillora.app.plist", std::ios::binary);
        prefs << head << transcript << "</string></dict></plist>\n";
    }
    // Where the form's controls are, measured on a short transcript: the form shows none of it.
    const auto at = places("place StickyDynamicButton\ntap StickyDynamicButton\nwait 1\nplace Essay\n"
                           "press Essay\nwait 1\ntoend\nplace Preview\n");
    ASSERT_EQ(at.count("Preview"), 1u);
    ChildProcess app = launch(appHome, "silence");
    const std::string id = window("Quillora", true);
    ASSERT_FALSE(id.empty()) << readFile(home / "app.log");
    const auto size = windowSize(id);
    ASSERT_NO_FATAL_FAILURE(waitForFirstScreen(id));
    ASSERT_NO_FATAL_FAILURE(clickAndSettle(id, size, at.at("StickyDynamicButton")));
    ASSERT_NO_FATAL_FAILURE(clickAndSettle(id, size, at.at("Essay")));
    const platform::CGRect screen = platform::UIScreen::mainScreen().bounds();
    const auto [midX, midY] = pixel(size, {screen.midX(), screen.midY()});
    ASSERT_TRUE(x_->wheel(id, midX, midY, 80));
    ASSERT_TRUE(x_->waitUntilStill(id));
    click(id, size, at.at("Preview"));
    ASSERT_TRUE(waitForPrinted("Preview", 0)) << readFile(home / "app.log");
    // From now on the program has a tenth of the processor, as on a machine under load: stopped
    // for 90 ms of every 100.
    std::atomic<bool> throttled = true;
    std::thread throttle([&, pid = app.pid()] {
        while (throttled) {
            kill(pid, SIGSTOP);
            std::this_thread::sleep_for(90ms);
            kill(pid, SIGCONT);
            std::this_thread::sleep_for(10ms);
        }
        kill(pid, SIGCONT);
    });
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(printed("app going to terminate"), 0u);
    const auto signalled = std::chrono::steady_clock::now();
    const auto workedBefore = windowThreadTime(app.pid());
    EXPECT_EQ(kill(app.pid(), SIGTERM), 0);
    // The termination is acted on at once, whatever the window thread was doing: the end announces
    // itself as it begins. Before that the thread finishes at most the frame under way. It is timed
    // on the processor, not the clock: beside a loaded test run the program has less than its
    // tenth, and a frame of this screen under AddressSanitizer costs GTK up to 60 ms of it (each
    // large allocation is fresh memory, faulted in page by page); a release build acts on the
    // signal within half a second of the clock at a tenth of a processor beside eight busy ones.
    EXPECT_TRUE(waitForPrinted("app going to terminate", 0, 180s));
    const auto worked = windowThreadTime(app.pid()) - workedBefore;
    const auto waited = std::chrono::steady_clock::now() - signalled;
    EXPECT_LT(worked, 200ms) << "the termination was acted on late: "
                             << std::chrono::duration<double>(waited).count() << " s after the signal";
    // The page is still being filled on its worker as the process ends: a sanitizer build reports
    // any read of what the end freed, and fails the exit.
    const int status = app.wait(180s);
    throttled = false;
    throttle.join();
    EXPECT_EQ(status, 0) << readFile(home / "app.log");
    EXPECT_EQ(readFile(home / "app.log").find("Sanitizer"), std::string::npos) << readFile(home / "app.log");
    EXPECT_EQ(printed("app going to terminate"), 1u) << readFile(home / "app.log");
    auto stored =
        platform::readPlistFile((appHome / "Library" / "Preferences" / "com.quillora.app.plist").string());
    ASSERT_TRUE(stored.root) << stored.why;
    const auto* kept =
        std::get<platform::PlistValue::Dictionary>(stored.root->value).find("saveclipBoardText");
    ASSERT_TRUE(kept);
    EXPECT_EQ(std::get<std::string>(kept->value).size(), transcript.size()) << "the transcript is kept whole";
}

// A logout: the desktop's signal, then the display server ending a moment later, while the
// application makes its saves or when it has made them. The program ends through its saves with 0
// whenever the server goes, and the next start on its folder opens a window.
TEST_F(EndingTest, AtALogoutTheWindowEndsThroughItsSavesAndTheNextStartOpensAWindow) {
    struct Case {
        // Between the signal and the server's end.
        std::chrono::milliseconds serverEndsAfter;
        bool dictating;
    };
    const Case cases[] = {{0ms, true},  {200ms, true},  {1000ms, true},
                          {0ms, false}, {200ms, false}, {1000ms, false}};
    int run = 0;
    Controls controls;
    for (const auto& c : cases) {
        const std::string name = "logout" + std::to_string(++run);
        SCOPED_TRACE(name + ": the server ends " + std::to_string(c.serverEndsAfter.count()) +
                     " ms after the signal" + (c.dictating ? ", while dictating" : ", idle"));
        const auto appHome = home / name;
        ASSERT_NO_FATAL_FAILURE(newDisplay(name + "-display"));
        ChildProcess app;
        std::string id;
        std::pair<int, int> size;
        if (c.dictating)
            ASSERT_NO_FATAL_FAILURE(startDictating(app, appHome, controls, id, size));
        else
            ASSERT_NO_FATAL_FAILURE(openFirstScreen(app, appHome, controls, id, size));
        ASSERT_EQ(kill(app.pid(), SIGTERM), 0);
        // The logout's own timing, not a wait for anything.
        std::this_thread::sleep_for(c.serverEndsAfter);
        x_->endServer();
        expectEndedAndLetGo(app.wait(180s), appHome, c.dictating);

        // The next start, on a display of its own: a window, not "already open".
        ASSERT_NO_FATAL_FAILURE(newDisplay(name + "-next"));
        ChildProcess next = launch(appHome);
        EXPECT_FALSE(window("Quillora", false).empty()) << readFile(home / "app.log");
        EXPECT_EQ(readFile(home / "app.log").find("already open"), std::string::npos)
            << readFile(home / "app.log");
        ASSERT_EQ(kill(next.pid(), SIGTERM), 0);
        EXPECT_EQ(next.wait(180s), 0) << readFile(home / "app.log");
        if (HasFailure()) break;
    }
}

// A signal while the decoder is deep in its last pass over an utterance (seconds on a starved core),
// in the phrase being spoken or in the one after a final phrase: the window ends through its saves
// without waiting for the decoder, which lets go by itself only after half a minute, and the notes
// keep every finished phrase once and the words the decoder had posted.
TEST_F(EndingTest, ASignalEndsTheWindowThroughItsSavesWithoutWaitingForTheDecoder) {
    constexpr const char* kPhrase = "Go forward ten meters";
    struct Case {
        const char* name;
        int phrasesBefore;
    };
    Controls controls;
    for (const Case& c : {Case{"held in the phrase being spoken", 0}, Case{"held after a final phrase", 1}}) {
        SCOPED_TRACE(c.name);
        const std::string name = "held" + std::to_string(c.phrasesBefore);
        const auto appHome = home / name, hold = home / (name + ".hold"), sound = home / (name + ".wav");
        ASSERT_TRUE(quillora::test::writePhrasesWithPauses(
            sound, std::vector<std::pair<std::filesystem::path, double>>(
                       c.phrasesBefore + 1, {quillora::test::sourceBundle() / "demo.wav", 2})));
        if (c.phrasesBefore == 0) std::ofstream{hold};
        program_ = QUILLORA_HELD_DECODER_PROGRAM;
        env_["QUILLORA_HOLD_ENDS_WHEN"] = hold.string();
        ChildProcess app;
        std::string id;
        std::pair<int, int> size;
        ASSERT_NO_FATAL_FAILURE(openFirstScreen(app, appHome, controls, id, size, false, sound.string()));
        // Nothing is heard before the record button: the log so far is this start's.
        const std::size_t heldBefore = printed("A decoder is held in its end");
        const std::size_t endedBefore = printed("start recodring again ");
        click(id, size, controls.recordButton);
        if (c.phrasesBefore > 0) {
            ASSERT_TRUE(waitForPrinted("start recodring again ", endedBefore))
                << "the first phrase never ended: " << readFile(home / "app.log");
            std::ofstream{hold};
        }
        ASSERT_TRUE(waitForPrinted("A decoder is held in its end", heldBefore)) << readFile(home / "app.log");
        ASSERT_EQ(kill(app.pid(), SIGTERM), 0);
        const auto signalled = std::chrono::steady_clock::now();
        const int status = app.wait(180s);
        // Well inside the half minute the held decoder takes to let go, with room for a loaded machine.
        EXPECT_LT(std::chrono::steady_clock::now() - signalled,
                  3 * std::chrono::duration<double>(platform::UIApplication::kTerminationWait))
            << "the end waited for the decoder";
        const auto rows = expectEndedThroughItsSaves(status, appHome);
        ASSERT_FALSE(rows.empty());
        // The finished phrases once each, then all the decoder had posted of the held one: the
        // whole phrase, heard before its end.
        std::string expected;
        for (int phrase = 0; phrase <= c.phrasesBefore; ++phrase)
            expected += " " + std::string(kPhrase);
        EXPECT_EQ(rows.front(), expected);
        if (HasFailure()) break;
    }
}
