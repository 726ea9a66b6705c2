#include <filesystem>
#include <fstream>

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/DamagedPreferences.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using quillora::test::PlatformTest;
using quillora::test::writeFile;
namespace fs = std::filesystem;

namespace {
fs::path prefsFile() {
    return Sandbox::preferences() / "com.quillora.app.plist";
}

std::shared_ptr<NSUserDefaults> restarted() {
    NSUserDefaults::resetStandardUserDefaults();
    return NSUserDefaults::standardUserDefaults();
}

std::vector<std::string> asideFiles() {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(Sandbox::preferences())) {
        if (e.path().filename().string().find(".corrupt-") != std::string::npos)
            out.push_back(e.path().filename());
    }
    return out;
}
} // namespace

class UserDefaultsTest : public PlatformTest {};

TEST_F(UserDefaultsTest, ValuesSurviveARestartOnceTheRunLoopHasSettledThem) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setInteger_forKey(-42, "count");
    defaults->setDouble_forKey(0.1, "speed");
    defaults->setBool_forKey(true, "firstLaunchDone");
    defaults->setObject_forKey("español <&> \"ok\"", "language");
    defaults->setObject_forKey(StringArray{"one", "", "three"}, "list");
    defaults->setObject_forKey(StringDictionary{{"a", "1"}, {"b", "two"}}, "map");
    defaults->setObject_forKey("gone", "removed");
    defaults->removeObjectForKey("removed");
    // A key is removed under the name it was stored as, what it cannot carry read as U+FFFD.
    defaults->setObject_forKey("gone too", "bell \x07");
    defaults->removeObjectForKey("bell \x07");
    // Nothing is written until the change has settled on the run loop; the write is then made
    // on a worker, which the loop waits for as outside work.
    EXPECT_FALSE(fs::exists(prefsFile()));
    runUntilIdle();
    ASSERT_TRUE(RunLoop::main().settleExternalWork());
    ASSERT_TRUE(fs::exists(prefsFile()));
    EXPECT_NE(NSFileManager::defaultManager().contentsAtPath(prefsFile())->find("<?xml"), std::string::npos);

    auto again = restarted();
    ASSERT_NE(again, defaults);
    EXPECT_EQ(again->integerForKey("count"), -42);
    EXPECT_EQ(again->doubleForKey("speed"), 0.1);
    EXPECT_TRUE(again->boolForKey("firstLaunchDone"));
    EXPECT_EQ(again->stringForKey("language"), "español <&> \"ok\"");
    EXPECT_EQ(again->arrayForKey("list"), (StringArray{"one", "", "three"}));
    EXPECT_EQ(again->dictionaryForKey("map"), (StringDictionary{{"a", "1"}, {"b", "two"}}));
    EXPECT_EQ(again->objectForKey("removed"), std::nullopt);
    EXPECT_EQ(again->objectForKey("bell \uFFFD"), std::nullopt);

    // A change not yet settled is lost by a crash, but synchronize() saves it at once.
    again->setInteger_forKey(7, "count");
    EXPECT_EQ(restarted()->integerForKey("count"), -42);
    auto third = NSUserDefaults::standardUserDefaults();
    third->setInteger_forKey(8, "count");
    EXPECT_TRUE(third->synchronize());
    EXPECT_EQ(restarted()->integerForKey("count"), 8);
}

TEST_F(UserDefaultsTest, ManyChangesInOneTurnAreWrittenOnceAndUnknownEntriesAreKept) {
    // An entry of a kind the store does not hand out (a date) must survive our rewrites.
    writeFile(prefsFile(), R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>when</key><date>2020-01-01T00:00:00Z</date><key>n</key><integer>1</integer></dict></plist>)");
    auto defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults->objectForKey("when"), std::nullopt);
    for (int i = 0; i < 50; ++i)
        defaults->setInteger_forKey(i, "n");
    EXPECT_EQ(RunLoop::main().pendingCount(), 1u);
    runUntilIdle();
    auto text = *NSFileManager::defaultManager().contentsAtPath(prefsFile());
    EXPECT_NE(text.find("<date>"), std::string::npos);
    EXPECT_EQ(restarted()->integerForKey("n"), 49);
    EXPECT_TRUE(takeConsole().empty());
}

TEST_F(UserDefaultsTest, UnreadableFileIsKeptAsideAndNeverOverwritten) {
    for (const std::string& bad :
         {std::string("this is not a property list"),
          std::string(
              R"(<?xml version="1.0"?><plist version="1.0"><array><string>x</string></array></plist>)"),
          std::string()}) {
        writeFile(prefsFile(), bad);
        auto defaults = restarted();
        EXPECT_EQ(defaults->objectForKey("anything"), std::nullopt);
        defaults->setBool_forKey(true, "fresh");
        runUntilIdle();
        EXPECT_TRUE(restarted()->boolForKey("fresh"));
        fs::remove(prefsFile());
    }
    // Three bad files within the same second: each kept under its own name, content untouched.
    auto aside = asideFiles();
    ASSERT_EQ(aside.size(), 3u);
    bool foundGarbage = false;
    for (const auto& name : aside) {
        foundGarbage |= NSFileManager::defaultManager().contentsAtPath(Sandbox::preferences() / name) ==
                        "this is not a property list";
    }
    EXPECT_TRUE(foundGarbage);
    auto lines = takeConsole();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("); kept aside as"), std::string::npos);
    EXPECT_NE(lines[0].find(".corrupt-"), std::string::npos);
}

TEST_F(UserDefaultsTest, ReadsConvertBetweenKindsAsThePlatformDoes) {
    auto d = NSUserDefaults::standardUserDefaults();
    d->setDouble_forKey(3.99, "double");
    d->setDouble_forKey(-2.5, "negative");
    d->setInteger_forKey(12, "int");
    d->setBool_forKey(true, "bool");
    d->setObject_forKey("  42.7 apples", "numeric");
    d->setObject_forKey("apples", "text");
    d->setObject_forKey("YES", "yes");
    d->setObject_forKey("0007", "padded");
    d->setObject_forKey("99999999999999999999999", "huge");
    d->setObject_forKey(StringArray{"a"}, "array");

    EXPECT_EQ(d->integerForKey("double"), 3);
    EXPECT_EQ(d->integerForKey("negative"), -2);
    EXPECT_EQ(d->integerForKey("bool"), 1);
    EXPECT_EQ(d->integerForKey("numeric"), 42);
    EXPECT_EQ(d->integerForKey("text"), 0);
    EXPECT_EQ(d->integerForKey("huge"), std::numeric_limits<NSInteger>::max());
    EXPECT_EQ(d->integerForKey("array"), 0);

    EXPECT_EQ(d->doubleForKey("int"), 12.0);
    EXPECT_EQ(d->doubleForKey("numeric"), 42.7);
    EXPECT_FLOAT_EQ(d->floatForKey("double"), 3.99f);
    EXPECT_EQ(d->doubleForKey("text"), 0);

    EXPECT_EQ(d->stringForKey("int"), "12");
    EXPECT_EQ(d->stringForKey("double"), "3.99");
    EXPECT_EQ(d->stringForKey("array"), std::nullopt);
    EXPECT_EQ(d->arrayForKey("text"), std::nullopt);
    EXPECT_EQ(d->dictionaryForKey("array"), std::nullopt);

    EXPECT_TRUE(d->boolForKey("yes"));
    EXPECT_TRUE(d->boolForKey("padded"));
    EXPECT_TRUE(d->boolForKey("double"));
    EXPECT_FALSE(d->boolForKey("text"));

    // Replacing a value with one of another kind changes what objectForKey hands out.
    d->setObject_forKey("now text", "int");
    EXPECT_EQ(d->objectForKey("int"), PropertyValue(std::string("now text")));
}

TEST_F(UserDefaultsTest, AbsentKeysStayAbsentAndReadingWritesNothing) {
    auto d = NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(d->objectForKey("missing"), std::nullopt);
    EXPECT_EQ(d->integerForKey("missing"), 0);
    EXPECT_EQ(d->doubleForKey("missing"), 0.0);
    EXPECT_FALSE(d->boolForKey("missing"));
    EXPECT_EQ(d->stringForKey("missing"), std::nullopt);
    EXPECT_EQ(d->arrayForKey("missing"), std::nullopt);
    d->removeObjectForKey("missing");
    runUntilIdle();
    EXPECT_FALSE(fs::exists(prefsFile()));
}

TEST_F(UserDefaultsTest, EachTestStartsWithAFreshStoreInItsOwnSandbox) {
    auto d = NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(d->filePath(), prefsFile().string());
    d->setInteger_forKey(1, "leak");
    resetSharedInstances();
    EXPECT_NE(NSUserDefaults::standardUserDefaults(), d);
}

TEST_F(UserDefaultsTest, PendingChangesAreSavedWhenTheProgramExits) {
    // Other tests leave worker threads behind, so the child is a fresh run of this test alone;
    // it finds the parent's sandbox through the environment.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* kHome = "QUILLORA_EXIT_TEST_HOME";
    if (!std::getenv(kHome)) ::setenv(kHome, home.c_str(), 1);
    EXPECT_EXIT(
        {
            fs::remove_all(home);
            Sandbox::setRoot(std::getenv(kHome));
            NSUserDefaults::resetStandardUserDefaults();
            NSUserDefaults::standardUserDefaults()->setObject_forKey("written at exit", "last");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    ::unsetenv(kHome);
    ASSERT_TRUE(fs::exists(prefsFile()));
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->stringForKey("last"), "written at exit");
}

TEST_F(UserDefaultsTest, ADamagedFileIsKeptAsideTheStoreStartsOnWhatStoodBeforeTheDamageAndSavesIt) {
    const std::string whole =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
        "\t<key>savefontSizeApp</key>\n\t<integer>24</integer>\n"
        "\t<key>saveclipBoardText</key>\n\t<string>cut off here</string>\n</dict>\n</plist>\n";
    const std::string cut = whole.substr(0, whole.find("off"));
    writeFile(prefsFile(), cut);
    std::vector<std::string> messages;
    auto observer = std::make_shared<int>();
    NSNotificationCenter::defaultCenter().addObserver(
        observer, NSUserDefaultsFileDamagedNotification,
        [&](const NSNotification& n) { messages.push_back(n.stringForKey("message").value_or("")); });
    auto defaults = restarted();
    EXPECT_EQ(defaults->integerForKey("savefontSizeApp"), 24);
    EXPECT_EQ(defaults->objectForKey("saveclipBoardText"), std::nullopt)
        << "the value cut short is not made up";
    runUntilIdle();
    ASSERT_EQ(asideFiles().size(), 1u);
    const auto aside = Sandbox::preferences() / asideFiles().front();
    EXPECT_EQ(NSFileManager::defaultManager().contentsAtPath(aside), cut) << "kept byte for byte";
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "The settings file \u201C" + prefsFile().string() +
                  "\u201D could not be read: it is not a property list, or is cut short. Its bytes "
                  "are kept in \u201C" +
                  aside.string() + "\u201D. The settings before the damage were recovered.");
    // What was recovered is saved without waiting for a change.
    EXPECT_EQ(restarted()->integerForKey("savefontSizeApp"), 24);
    EXPECT_EQ(asideFiles().size(), 1u);
}

TEST_F(UserDefaultsTest, AFileHoldingNoDictionaryOrRepairedAsItIsReadIsKeptAsideWithTheAlert) {
    const std::string kept = " The settings are kept, with the last value given to each key.";
    struct Case {
        std::string what;
        std::string bytes;
        std::string why;
        std::string recovered;
        NSInteger fontSize;
    };
    const std::vector<Case> cases{
        {"a reference at the top", quillora::test::referenceAtTopPreferences(), "it is not a dictionary", "",
         0},
        {"a reference at the top, written in XML", quillora::test::referenceAtTopXmlPreferences(),
         "it is not a dictionary", "", 0},
        {"an array at the top", "<plist version=\"1.0\"><array><integer>7</integer></array></plist>",
         "it is not a dictionary", "", 0},
        {"a key given twice", quillora::test::repeatedKeyPreferences(false),
         "it gives the key \u201CsavefontSizeApp\u201D more than one value; the last is kept", kept, 24},
        {"a key given twice in a binary file", quillora::test::repeatedKeyPreferences(true),
         "it gives the key \u201CsavefontSizeApp\u201D more than one value; the last is kept", kept, 24},
        {"two keys given twice, and a control character",
         "<plist version=\"1.0\"><dict><key>a</key><string>1</string><key>b</key><string>\x01</string>"
         "<key>a</key><string>2</string><key>b</key><string>3</string><key>savefontSizeApp</key>"
         "<integer>24</integer></dict></plist>",
         "it holds 1 character that cannot be saved (a control character, a NUL, or bytes that are not UTF-8 "
         "text); it now reads \u201C\uFFFD\u201D, and it gives 2 keys more than one value (\u201Ca\u201D and "
         "1 "
         "more); the last value of each is kept",
         " The settings are kept, with those characters replaced and the last value given to each key.", 24},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NSUserDefaults::resetStandardUserDefaults();
        fs::remove_all(Sandbox::preferences());
        writeFile(prefsFile(), c.bytes);
        std::vector<std::string> messages;
        auto observer = std::make_shared<int>();
        NSNotificationCenter::defaultCenter().addObserver(
            observer, NSUserDefaultsFileDamagedNotification,
            [&](const NSNotification& n) { messages.push_back(n.stringForKey("message").value_or("")); });
        auto defaults = NSUserDefaults::standardUserDefaults();
        EXPECT_EQ(defaults->integerForKey("savefontSizeApp"), c.fontSize);
        EXPECT_FALSE(defaults->objectForKey("CF$UID")) << "a reference is no setting";
        runUntilIdle();
        ASSERT_EQ(asideFiles().size(), 1u);
        const auto aside = Sandbox::preferences() / asideFiles().front();
        EXPECT_EQ(NSFileManager::defaultManager().contentsAtPath(aside), c.bytes) << "kept byte for byte";
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], "The settings file \u201C" + prefsFile().string() +
                                   "\u201D could not be read: " + c.why + ". Its bytes are kept in \u201C" +
                                   aside.string() + "\u201D." + c.recovered);
        // What was kept is saved without waiting for a change.
        EXPECT_EQ(restarted()->integerForKey("savefontSizeApp"), c.fontSize);
        EXPECT_EQ(asideFiles().size(), 1u);
    }
}
