// A Save that the system refuses: a list file the person may only read, or a folder that another
// program keeps locked. "Not saved" says why within seconds, the rows stay as they were and the
// file too, and once the cause is gone the next Save is written.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>

#include "platform/foundation/NSFileManager.h"
#include "platform/uikit/UIAlertController.h"
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
    };
    std::vector<Case> cases{
        {"a folder another program keeps locked",
         [] {
             // What `flock -x Documents sleep 45` holds.
             const int other = ::open(Sandbox::documents().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
             EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
             return std::function<void()>([other] { ::close(other); });
         },
         std::nullopt, "another program holds its folder “" + Sandbox::documents().string() + "” locked"},
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
             person, "The file “" + documents("notes.txt") + "” could not be saved: Permission denied"});
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
        const auto start = std::chrono::steady_clock::now();
        {
            ActingAs acting(c.actingAs);
            list = openList("new dictation");
            runUntilIdle();
        }
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(took, NSFileManager::kFolderLockWait + 2) << "the screen waits a few seconds at most";
        auto alert = std::dynamic_pointer_cast<UIAlertController>(nav->presentedViewController());
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "Not saved");
        EXPECT_EQ(alert->message(), "The list could not be saved: " + c.why);
        EXPECT_EQ(list->data, (Rows{"kept one", "kept two"}));
        EXPECT_EQ(rowTexts(*list->table.lock()), (Rows{"kept one", "kept two"}));
        EXPECT_EQ(readFile(documents("notes.txt")), before);
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

} // namespace quillora::test
