// The end of the program writes what changed: a large store's changes go into a side file beside
// its file, which a start folds in only when it was written beside the file it finds; a whole-file
// write under way is given up for a newer change or for the end, leaving the file as it was.
#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using quillora::test::PlatformTest;
using quillora::test::writeFile;
namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
    return NSFileManager::defaultManager().contentsAtPath(path.string()).value_or("");
}

// The files of a folder other than `kept`: a write given up leaves no temporary file behind.
std::vector<std::string> othersIn(const fs::path& folder, const std::vector<fs::path>& kept) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (std::find(kept.begin(), kept.end(), e.path()) == kept.end()) out.push_back(e.path().filename());
    return out;
}

// A large store in its own folder: a long text, and a few small settings.
std::shared_ptr<NSUserDefaults> largeStore(const fs::path& folder, std::size_t length = 2u << 20) {
    fs::create_directories(folder);
    auto store = std::make_shared<NSUserDefaults>((folder / "prefs.plist").string());
    store->setObject_forKey(std::string(length, 'a'), "text");
    store->setInteger_forKey(1, "n");
    store->setObject_forKey("soon gone", "gone");
    EXPECT_TRUE(store->synchronize());
    return store;
}

} // namespace

class PreferencesEndTest : public PlatformTest {};

// What the end of a large store leaves, and every state a crash may leave after it: the next start
// reads the latest values that reached the disk, never an older side file over a newer file.
TEST_F(PreferencesEndTest, TheEndWritesOnlyTheChangesBesideTheFileAndAStartFoldsInOnlyTheirOwn) {
    struct Case {
        const char* name;
        // Turns the state the end left into the one a start finds.
        std::function<void(NSUserDefaults& ended)> after;
        NSInteger n;
        bool gone;
    };
    const Case cases[] = {
        {"as the end left them", [](NSUserDefaults&) {}, 2, true},
        {"a whole-file write since, cut off before the side file went",
         [](NSUserDefaults& ended) {
             auto next = std::make_shared<NSUserDefaults>(ended.filePath());
             next->setInteger_forKey(3, "n");
             next->setObject_forKey("back", "gone");
             fs::copy_file(ended.changesPath(), ended.changesPath() + ".kept");
             ASSERT_TRUE(next->synchronize());
             EXPECT_FALSE(fs::exists(ended.changesPath())) << "the whole file holds what it held";
             fs::rename(ended.changesPath() + ".kept", ended.changesPath());
         },
         3, false},
        {"the side file damaged",
         [](NSUserDefaults& ended) {
             writeFile(ended.changesPath(), "<?xml version=\"1.0\"?><plist><dict><key>");
         },
         1, false},
        {"no side file: the file reads as before",
         [](NSUserDefaults& ended) { fs::remove(ended.changesPath()); }, 1, false},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = home / ("end" + std::to_string(++run));
        auto store = largeStore(folder);
        const std::string file = contents(store->filePath());
        store->setInteger_forKey(2, "n");
        store->removeObjectForKey("gone");
        store->beginEnd();
        ASSERT_TRUE(store->synchronizeAtEnd());
        EXPECT_TRUE(contents(store->filePath()) == file) << "the file itself is not left as it was";
        EXPECT_LT(fs::file_size(store->changesPath()), 1024u) << "more than what changed was written";
        c.after(*store);
        store.reset();

        NSUserDefaults next(folder / "prefs.plist");
        EXPECT_EQ(next.integerForKey("n"), c.n);
        EXPECT_EQ(next.objectForKey("gone").has_value(), !c.gone);
        EXPECT_EQ(next.stringForKey("text")->size(), 2u << 20);
        if (std::string(c.name) == "the side file damaged") {
            EXPECT_FALSE(fs::exists(next.changesPath())) << "the damaged side file is kept aside";
            EXPECT_EQ(othersIn(folder, {next.filePath()}).size(), 1u);
        }
        if (c.n == 3) {
            EXPECT_FALSE(fs::exists(next.changesPath())) << "an out-of-date side file is dropped";
        }
    }

    // Folded in, the changes stay changes until a whole-file write holds them: a second end writes
    // them again with its own, and the settled write after a change removes the side file.
    const fs::path folder = home / "twice";
    {
        auto store = largeStore(folder);
        store->setInteger_forKey(2, "n");
        ASSERT_TRUE(store->synchronizeAtEnd());
    }
    {
        auto store = std::make_shared<NSUserDefaults>((folder / "prefs.plist").string());
        store->setObject_forKey("v", "new");
        ASSERT_TRUE(store->synchronizeAtEnd());
    }
    {
        auto store = std::make_shared<NSUserDefaults>((folder / "prefs.plist").string());
        EXPECT_EQ(store->integerForKey("n"), 2);
        EXPECT_EQ(store->stringForKey("new"), "v");
        store->setInteger_forKey(4, "n");
        runUntilIdle();
        ASSERT_TRUE(RunLoop::main().settleExternalWork());
        EXPECT_FALSE(fs::exists(store->changesPath()));
    }
    NSUserDefaults last(folder / "prefs.plist");
    EXPECT_EQ(last.integerForKey("n"), 4);
    EXPECT_EQ(last.stringForKey("new"), "v");

    // A small store is written whole at the end, as it always was.
    auto small = std::make_shared<NSUserDefaults>((home / "small.plist").string());
    small->setInteger_forKey(5, "n");
    ASSERT_TRUE(small->synchronizeAtEnd());
    EXPECT_FALSE(fs::exists(small->changesPath()));
    EXPECT_EQ(NSUserDefaults((home / "small.plist").string()).integerForKey("n"), 5);
}

// A settled write of a long store is under way on its worker (held at its first piece here) when a
// newer change comes, or the end. The end gives it up at its next piece, leaving the file as it was
// and no temporary file: the end never waits for a whole write it does not use. A newer change lets
// it finish and writes the newer state after it, so that changes coming faster than a whole write
// still reach the file.
TEST_F(PreferencesEndTest, AWholeFileWriteUnderWayIsGivenUpForTheEndAndFinishedForANewerChange) {
    for (const bool end : {false, true}) {
        SCOPED_TRACE(end ? "the end" : "a newer change");
        const fs::path folder = home / (end ? "end" : "newer");
        auto store = largeStore(folder, 8u << 20);
        // The pieces of one whole write.
        int whole = 0;
        store->setPieceWrittenHook([&] { ++whole; });
        store->setInteger_forKey(1, "n");
        ASSERT_TRUE(store->synchronize());
        ASSERT_GT(whole, 2);
        const std::string file = contents(store->filePath());
        std::mutex mutex;
        std::condition_variable changed;
        int pieces = 0;
        bool released = false;
        store->setPieceWrittenHook([&] {
            std::unique_lock lock(mutex);
            if (++pieces == 1) {
                changed.notify_all();
                changed.wait(lock, [&] { return released; });
            }
        });
        store->setInteger_forKey(2, "n");
        runUntilIdle();
        {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(60), [&] { return pieces == 1; }));
        }
        if (end)
            store->beginEnd();
        else
            store->setInteger_forKey(3, "n");
        {
            std::lock_guard lock(mutex);
            released = true;
        }
        changed.notify_all();
        if (end) {
            ASSERT_TRUE(store->synchronizeAtEnd());
            EXPECT_EQ(pieces, 1) << "the whole file was written to the end";
            EXPECT_TRUE(contents(store->filePath()) == file) << "the file was written over";
        }
        runUntilIdle();
        ASSERT_TRUE(RunLoop::main().settleExternalWork());
        EXPECT_EQ(othersIn(folder, {store->filePath(), store->changesPath()}), std::vector<std::string>{});
        if (!end) {
            // The older write finished, then the whole newer one.
            EXPECT_EQ(pieces, 2 * whole) << "the older write was not finished before the newer";
            EXPECT_FALSE(contents(store->filePath()) == file) << "the newer change was not written";
        }
        store.reset();
        EXPECT_EQ(NSUserDefaults((folder / "prefs.plist").string()).integerForKey("n"), end ? 2 : 3);
    }
}
