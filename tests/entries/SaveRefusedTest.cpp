// A Save that the system refuses: a list file the person may only read, or a folder that another
// program keeps locked, waited for on the run loop while the screen stays live. "Not saved" says
// why within seconds, the rows stay as they were and the file too, and once the cause is gone
// the next Save is written.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <thread>

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "tests/entries/EntryTestSupport.h"
#include "tests/support/ActingAs.h"

namespace quillora::test {

using namespace platform;
using Rows = std::vector<std::string>;
namespace fs = std::filesystem;

class SaveRefusedTest : public EntryTest {};

TEST_F(SaveRefusedTest, AReadOnlyListOrALockedFolderIsNotSavedAndTheRowsStay) {
    const auto person = geteuid() == 0 ? Account::nobody() : std::nullopt;
    struct Case {
        std::string what;
        // Breaks the Save; returns what mends it.
        std::function<std::function<void()>()> breakIt;
        std::optional<Account> actingAs;
        std::string why;
        // The Save waits for the folder on the run loop, and is mended this long into the wait
        // (none: not before the wait runs out).
        bool waits;
        std::optional<double> mendedAfter;
    };
    auto lockDocuments = [] {
        // What `flock -x Documents sleep 45` holds.
        const int other = ::open(Sandbox::documents().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        return std::function<void()>([other] { ::close(other); });
    };
    const std::string locked =
        "another program holds its folder “" + Sandbox::documents().string() + "” locked";
    std::vector<Case> cases{
        {"a folder another program keeps locked", lockDocuments, std::nullopt, locked, true, std::nullopt},
        {"a folder another program lets go of within the wait", lockDocuments, std::nullopt, "", true, 0.5},
    };
    if (person)
        cases.push_back(
            {"a list file the person may only read",
             [&] {
                 EXPECT_EQ(::chown(Sandbox::documents().c_str(), person->uid, person->gid), 0);
                 EXPECT_EQ(::chown(documents("notes.txt").c_str(), person->uid, person->gid), 0);
                 EXPECT_EQ(::chmod(documents("notes.txt").c_str(), 0444), 0);
                 return std::function<void()>([&] { ::chmod(documents("notes.txt").c_str(), 0644); });
             },
             person, "The file “" + documents("notes.txt") + "” could not be saved: Permission denied", false,
             std::nullopt});
    else
        std::cerr << "[  SKIPPED ] the read-only file: giving it to an ordinary account needs root\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        resetSharedInstances();
        fs::remove_all(Sandbox::documents());
        fs::create_directories(Sandbox::documents());
        fs::permissions(home, fs::perms(0755));
        writeList({"kept one", "kept two"});
        const std::string before = readFile(documents("notes.txt"));
        auto mend = c.breakIt();
        std::shared_ptr<ViewControllerTabelView> list;
        int stored = 0;
        {
            ActingAs acting(c.actingAs);
            list = openList("new dictation");
            list->transcriptStored = [&] { ++stored; };
            runUntilIdle();
        }
        // The screen never waits: the run loop does, the Save neither written nor given up.
        EXPECT_EQ(NSFileManager::folderWaitsPending(), c.waits ? 1u : 0u);
        if (c.waits) {
            // Live meanwhile, showing the rows being saved.
            EXPECT_FALSE(nav->presentedViewController());
            EXPECT_EQ(readFile(documents("notes.txt")), before);
            EXPECT_EQ(rowTexts(*list->table.lock()), (Rows{"new dictation", "kept one", "kept two"}));
            advance(c.mendedAfter.value_or(NSFileManager::kFolderLockWait - 0.1));
            if (c.mendedAfter) mend();
            advance(0.5);
        }
        if (c.why.empty()) {
            EXPECT_FALSE(nav->presentedViewController());
            EXPECT_EQ(listFile(), (Rows{"new dictation", "kept one", "kept two"}));
            EXPECT_EQ(stored, 1) << "the dictation screen learns its transcript is in the list";
            nav->popToRootViewControllerAnimated(false);
            runUntilIdle();
            continue;
        }
        auto alert = std::dynamic_pointer_cast<UIAlertController>(nav->presentedViewController());
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "Not saved");
        EXPECT_EQ(alert->message(), "The list could not be saved: " + c.why);
        EXPECT_EQ(list->data, (Rows{"kept one", "kept two"}));
        EXPECT_EQ(rowTexts(*list->table.lock()), (Rows{"kept one", "kept two"}));
        EXPECT_EQ(readFile(documents("notes.txt")), before);
        EXPECT_EQ(stored, 0);
        EXPECT_TRUE(alert->pressActionWithTitle("OK"));
        runUntilIdle();

        // Mended, the next Save is written.
        mend();
        {
            ActingAs acting(c.actingAs);
            ASSERT_TRUE(list->table.lock()->userSwipeRow({0, 0}));
            ASSERT_TRUE(list->table.lock()->userPressSwipeAction(0));
        }
        EXPECT_EQ(listFile(), (Rows{"kept two"}));
        nav->popToRootViewControllerAnimated(false);
        runUntilIdle();
    }
}

// The application ends while a Save waits for a folder another program holds: the Save is written
// once the folder is let go within the wait, and otherwise fails within it and says why; it is
// never dropped with the process.
TEST_F(SaveRefusedTest, ASaveWaitingForALockedFolderWhenTheApplicationEndsIsWrittenOrReported) {
    struct Case {
        std::string what;
        // When the other program lets go, in real time from the end on (none: not within the wait).
        std::optional<std::chrono::milliseconds> letGoAfter;
    };
    const Case cases[] = {
        {"let go of within the wait", std::chrono::milliseconds(300)},
        {"held past the wait", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        resetSharedInstances();
        fs::remove_all(Sandbox::documents());
        fs::create_directories(Sandbox::documents());
        writeList({"kept one", "kept two"});
        const int other = ::open(Sandbox::documents().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        auto list = openList("new dictation");
        runUntilIdle();
        ASSERT_EQ(NSFileManager::folderWaitsPending(), 1u) << "the Save waits for the folder";

        std::thread otherProgram;
        if (c.letGoAfter)
            otherProgram = std::thread([&] {
                std::this_thread::sleep_for(*c.letGoAfter);
                ::flock(other, LOCK_UN);
            });
        const double start = RunLoop::main().now();
        UIApplication::sharedApplication().terminateAndSettle();
        const double took = RunLoop::main().now() - start;
        if (otherProgram.joinable()) otherProgram.join();
        ::close(other);

        // The end does not hang on the folder: the wait ends within its own bound of the loop's
        // clock, which moves as the tries do, however long a loaded machine takes over each.
        EXPECT_EQ(NSFileManager::folderWaitsPending(), 0u);
        EXPECT_LE(took, NSFileManager::kFolderLockWait + 0.5);
        if (c.letGoAfter) {
            EXPECT_EQ(listFile(), (Rows{"new dictation", "kept one", "kept two"}));
            continue;
        }
        EXPECT_EQ(listFile(), (Rows{"kept one", "kept two"}));
        EXPECT_TRUE(consoleHas("The list could not be saved: another program holds its folder “" +
                               Sandbox::documents().string() + "” locked"))
            << "the console says why";
    }
}

} // namespace quillora::test
