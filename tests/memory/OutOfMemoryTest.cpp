// Memory running out while a stored file is read or written: the read or the Save fails as that
// file's failure, told as such, and nothing is lost: the file stays as it was (not kept aside as
// damaged, not written over), the rows and the transcript stay where they were, and once memory
// is there again the file reads and saves as before.

#include <filesystem>
#include <fstream>

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/uikit/UIAlertController.h"
#include "tests/entries/EntryTestSupport.h"
#include "tests/memory/AllocationLimit.h"

namespace quillora::test {

using namespace platform;
using Rows = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMegabyte = std::size_t(1) << 20;

// 40 entries of 1.25 MB: a 50 MB list.
Rows longEntries() {
    Rows rows;
    for (int i = 0; i < 40; ++i)
        rows.push_back(std::to_string(i) + " " + std::string(kMegabyte * 5 / 4, 'a' + i % 26));
    return rows;
}

class OutOfMemoryTest : public EntryTest {
protected:
    std::shared_ptr<UIAlertController> shownAlert() {
        runUntilIdle();
        return std::dynamic_pointer_cast<UIAlertController>(nav->presentedViewController());
    }
    std::vector<std::string> documentsFiles() {
        std::vector<std::string> out;
        for (auto& e : fs::directory_iterator(Sandbox::documents()))
            out.push_back(e.path().filename().string());
        return out;
    }
};

} // namespace

TEST_F(OutOfMemoryTest, AListThatCannotBeReadForWantOfMemoryIsLeftAsItIsAndReadsOnceThereIsMemory) {
    const Rows rows = longEntries();
    writeList(rows);
    const std::string bytes = readFile(documents("notes.txt"));
    // Memory runs out at the file's bytes, or at its entries once the bytes are in.
    for (std::size_t extra : {16 * kMegabyte, 72 * kMegabyte}) {
        SCOPED_TRACE(extra / kMegabyte);
        resetSharedInstances();
        takeConsole();
        std::shared_ptr<ViewControllerTabelView> list;
        {
            AllocationLimit limit(extra);
            list = openList("new dictation");
            EXPECT_GT(limit.failures(), 0u);
        }
        auto alert = shownAlert();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "List not read");
        EXPECT_EQ(alert->message(),
                  "The list file “notes.txt” could not be read: there is not enough memory to "
                  "read it. It is left as it is and nothing will be saved into it.");
        EXPECT_TRUE(list->data.empty());
        const auto lines = takeConsole();
        EXPECT_EQ(std::count(lines.begin(), lines.end(),
                             "The list could not be saved: its file could not be read and is left as it is"),
                  1)
            << "the transcript is not saved over it";
        EXPECT_TRUE(readFile(documents("notes.txt")) == bytes) << "the file as it was";
        EXPECT_EQ(documentsFiles(), Rows{"notes.txt"}) << "nothing kept aside, nothing left beside it";
        EXPECT_TRUE(alert->pressActionWithTitle("OK"));
        nav->popToRootViewControllerAnimated(false);
        runUntilIdle();
    }
    // With memory enough, the next visit reads it all and saves into it.
    auto list = openList("new dictation");
    EXPECT_FALSE(shownAlert());
    ASSERT_EQ(list->data.size(), rows.size() + 1);
    EXPECT_EQ(listFile()->size(), rows.size() + 1);
}

TEST_F(OutOfMemoryTest, ASaveThatRunsOutOfMemoryIsNotSavedAndTheFileStaysAsItWas) {
    writeList({"kept one", "kept two"});
    const std::string bytes = readFile(documents("notes.txt"));
    auto list = openList("");
    ASSERT_EQ(list->data, (Rows{"kept one", "kept two"}));
    list->transribeText = "new row";
    {
        // Less than the piece the file is written in.
        AllocationLimit limit(kMegabyte / 2);
        EXPECT_FALSE(list->addNote());
        EXPECT_GT(limit.failures(), 0u);
    }
    auto alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Not saved");
    EXPECT_EQ(alert->message(), "The list could not be saved: there is not enough memory to save it");
    EXPECT_EQ(list->data, (Rows{"kept one", "kept two"}));
    EXPECT_TRUE(readFile(documents("notes.txt")) == bytes) << "the file as it was";
    EXPECT_EQ(documentsFiles(), Rows{"notes.txt"}) << "no temporary file left";
    EXPECT_TRUE(alert->pressActionWithTitle("OK"));
    runUntilIdle();
    // With memory enough, the next Save is written.
    EXPECT_TRUE(list->addNote());
    EXPECT_EQ(listFile(), (Rows{"new row", "kept one", "kept two"}));
}

TEST_F(OutOfMemoryTest, PreferencesThatCannotBeReadForWantOfMemoryAreLeftAsTheyAreAndNotWrittenOver) {
    const fs::path prefs = Sandbox::preferences() / "com.quillora.app.plist";
    {
        auto defaults = NSUserDefaults::standardUserDefaults();
        defaults->setObject_forKey(std::string(8 * kMegabyte, 't'), "saveclipBoardText");
        defaults->setInteger_forKey(24, "savefontSizeApp");
        ASSERT_TRUE(defaults->synchronize());
    }
    NSUserDefaults::resetStandardUserDefaults();
    const std::string bytes = readFile(prefs);
    std::string message;
    auto observer = std::make_shared<int>();
    NSNotificationCenter::defaultCenter().addObserver(
        observer, NSUserDefaultsFileDamagedNotification,
        [&](const NSNotification& n) { message = n.stringForKey("message").value_or(""); });
    std::shared_ptr<NSUserDefaults> defaults;
    {
        AllocationLimit limit(4 * kMegabyte);
        defaults = NSUserDefaults::standardUserDefaults();
        EXPECT_GT(limit.failures(), 0u);
    }
    runUntilIdle();
    EXPECT_EQ(message, "The settings file “" + prefs.string() +
                           "” could not be read: there is not enough memory to read it. It is left as it is, "
                           "and settings will not be saved.");
    EXPECT_EQ(defaults->integerForKey("savefontSizeApp"), 0);
    defaults->setInteger_forKey(30, "savefontSizeApp");
    EXPECT_FALSE(defaults->synchronize()) << "not written over what it could not read";
    EXPECT_TRUE(readFile(prefs) == bytes) << "the file as it was";
    EXPECT_EQ(std::distance(fs::directory_iterator(prefs.parent_path()), fs::directory_iterator()), 1)
        << "nothing kept aside";
    // With memory enough, the next start reads it.
    defaults.reset();
    NSUserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->integerForKey("savefontSizeApp"), 24);

    // Their writer, out of memory, says so rather than writing part of them.
    PlistValue::Dictionary settings;
    settings.keys.push_back("saveclipBoardText");
    settings.values.push_back(PlistValue{std::string(4 * kMegabyte, 't')});
    const PlistValue root{std::move(settings)};
    AllocationLimit limit(kMegabyte);
    std::string why;
    EXPECT_FALSE(plistXml(root, &why));
    EXPECT_EQ(why, "there is not enough memory to save it");
}

} // namespace quillora::test
