// A damaged list, a Save that cannot be written, a Save killed half-way and a second copy of the
// program on the same folder: the person is told, the screen shows what the file holds, and no
// entry is lost.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "entries/WebViewController_Center.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/uikit/UIAlertController.h"
#include "tests/entries/EntryTestSupport.h"
#include "tests/support/DamagedPreferences.h"

namespace quillora::test {

using namespace platform;
using quillora::test::selfReferencingArray;
using quillora::test::sharedStringList;
using Rows = std::vector<std::string>;
namespace fs = std::filesystem;

class DamagedListTest : public EntryTest {
protected:
    std::shared_ptr<UIAlertController> shownAlert() {
        runUntilIdle();
        return std::dynamic_pointer_cast<UIAlertController>(nav->presentedViewController());
    }
    std::vector<std::string> temporaryFiles() {
        std::vector<std::string> out;
        for (auto& e : fs::directory_iterator(Sandbox::documents()))
            if (e.path().filename().string().find(".tmp-") != std::string::npos) out.push_back(e.path());
        return out;
    }
};

TEST_F(DamagedListTest, ADamagedListIsNamedInAnAlertWithWhereItsBytesWentWhatCameBackAndWhatWasLeftOut) {
    writeList({"first", "second", "third"});
    const std::string whole = readFile(documents("notes.txt"));
    auto list = [](const std::string& body) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>" + body +
               "</array></plist>\n";
    };
    struct Case {
        std::string bytes;
        std::string why;
        std::string recovered;
        Rows readable;
    };
    const std::vector<Case> cases{
        {whole.substr(0, whole.find("third") + 2),
         "it is not a property list, or is cut short",
         " The 2 entries before the damage were recovered.",
         {"first", "second"}},
        {list("<string>keep one</string><integer>5</integer><string>keep two</string>"),
         "its element 1 is a number, not a string",
         " The 2 entries that could be read are shown; left out: element 1 (a number).",
         {"keep one", "keep two"}},
        {list("<integer>1</integer><string>only</string><dict/><array/><true/><data>AA==</data>"),
         "its element 0 is a number, not a string",
         " The 1 entry that could be read is shown; left out: elements 0 (a number), 2 (a dictionary), 3 "
         "(an array) and 2 more.",
         {"only"}},
        {list("<string>kept</string><real>1.5</real><string>cut"),
         "it is not a property list, or is cut short",
         " The 1 entry before the damage was recovered; left out: element 1 (a number).",
         {"kept"}},
        {list("<date>2020-01-01T00:00:00Z</date>"),
         "its element 0 is a date, not a string",
         " Left out: element 0 (a date).",
         {}},
        {selfReferencingArray(100000), "its objects refer to each other over and over", "", {}},
        {sharedStringList(100000, 1000),
         "it refers to its objects so often that reading it would take more than 8 times its size",
         "",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why + c.recovered);
        resetSharedInstances();
        fs::remove_all(Sandbox::documents());
        fs::create_directories(Sandbox::documents());
        writeFile(documents("notes.txt"), c.bytes);
        auto list = openList("new dictation");
        auto alert = shownAlert();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "List damaged");
        EXPECT_EQ(alert->message(), "The list file “notes.txt” could not be read: " + c.why +
                                        ". Its bytes are kept in “" + documents("notes.txt.unreadable") +
                                        "”." + c.recovered);
        EXPECT_EQ(readFile(documents("notes.txt.unreadable")), c.bytes);
        Rows shown{"new dictation"};
        shown.insert(shown.end(), c.readable.begin(), c.readable.end());
        EXPECT_EQ(rowTexts(*list->table.lock()), shown);
        EXPECT_EQ(listFile(), shown);
        EXPECT_TRUE(alert->pressActionWithTitle("OK"));
        nav->popToRootViewControllerAnimated(false);
        runUntilIdle();
    }
}

TEST_F(DamagedListTest, AListHoldingWhatCannotBeSavedShowsItCleanedKeepsTheFileAndSavesAgain) {
    // A control character in one entry, once refused at every later Save, dropping the dictation.
    const std::string bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>"
                              "<string>first</string><string>bell \x01 rings</string></array></plist>\n";
    writeFile(documents("notes.txt"), bytes);
    auto list = openList("new dictation");
    auto alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "List damaged");
    EXPECT_EQ(alert->message(),
              "The list file “notes.txt” could not be read: it holds 1 character that cannot be "
              "saved (a control character, a NUL, or bytes that are not UTF-8 text); it now "
              "reads “\uFFFD”. Its bytes are kept in “" +
                  documents("notes.txt.unreadable") + "”. All 2 entries are shown, as they now read.");
    EXPECT_EQ(readFile(documents("notes.txt.unreadable")), bytes) << "kept byte for byte";
    const Rows shown{"new dictation", "first", "bell \uFFFD rings"};
    EXPECT_EQ(rowTexts(*list->table.lock()), shown);
    EXPECT_EQ(listFile(), shown) << "the dictation is saved";
    EXPECT_TRUE(alert->pressActionWithTitle("OK"));
    nav->popViewControllerAnimated(false);
    // Later Saves go on.
    auto again = openList("another");
    EXPECT_FALSE(shownAlert());
    EXPECT_EQ(listFile()->front(), "another");
}

// A transcript holding what a list file cannot carry (a pasted form feed, an escape sequence, a
// NUL, bytes that are no UTF-8) is saved, those characters stored as U+FFFD, as the preferences
// store them; the row shows what the file holds.
TEST_F(DamagedListTest, ATranscriptHoldingWhatAListFileCannotCarryIsSavedWithThoseCharactersReplaced) {
    struct Case {
        std::string transcript, stored, told;
    };
    const std::string one = "The list held 1 character that cannot be saved; it is stored as U+FFFD";
    const std::vector<Case> cases{
        {"page\x0C"
         "break",
         "page\uFFFDbreak", one},
        {"\x1B[1mbold\x1B[0m", "\uFFFD[1mbold\uFFFD[0m",
         "The list held 2 characters that cannot be saved; they are stored as U+FFFD"},
        {std::string("before\0after", 12), "before\uFFFDafter", one},
        {"caf\xE9 au lait", "caf\uFFFD au lait", one},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        resetSharedInstances();
        fs::remove_all(Sandbox::documents());
        fs::create_directories(Sandbox::documents());
        writeList({"kept"});
        takeConsole();
        auto list = std::dynamic_pointer_cast<ViewControllerTabelView>(
            storyboard->instantiateViewControllerWithIdentifier("VCTV"));
        list->transribeText = c.transcript;
        list->transcribe = true;
        bool stored = false;
        list->transcriptStored = [&] { stored = true; };
        nav->pushViewController_animated(list, true);
        EXPECT_FALSE(shownAlert());
        EXPECT_TRUE(stored) << "the dictation screen is told its transcript is saved";
        const auto told = takeConsole();
        EXPECT_EQ(std::count(told.begin(), told.end(), c.told), 1);
        const Rows rows{c.stored, "kept"};
        EXPECT_EQ(rowTexts(*list->table.lock()), rows);
        EXPECT_EQ(listFile(), rows);
        // The next Save finds nothing more to replace.
        list->deleteEntryAtRow(1);
        EXPECT_EQ(listFile(), Rows{c.stored});
        const auto later = takeConsole();
        EXPECT_EQ(std::count(later.begin(), later.end(), c.told), 0);
        nav->popToRootViewControllerAnimated(false);
        runUntilIdle();
    }
}

// A Save whose file would be larger than its reader takes (a list of ampersands, each written
// as "&amp;") is refused: "Not saved" says why, the rows and the file stay as they were.
TEST_F(DamagedListTest, ASaveWhoseFileTheReaderWouldRefuseIsNotSavedAndTheListStaysAsItWas) {
    const std::string bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>"
                              "<string>kept</string><string><![CDATA[" +
                              std::string(kMaxListFileLength / 5 + (1 << 20), '&') +
                              "]]></string></array></plist>\n";
    writeFile(documents("notes.txt"), bytes);
    auto list = openList("new dictation");
    auto alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Not saved");
    EXPECT_EQ(alert->message(), "The list could not be saved: it would be larger than the " +
                                    std::to_string(kMaxListFileLength) + " bytes a list file may hold");
    ASSERT_EQ(list->data.size(), 2u);
    EXPECT_EQ(list->data.front(), "kept");
    EXPECT_TRUE(readFile(documents("notes.txt")) == bytes) << "the file as it was";
    EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(DamagedListTest, ASaveThatFailsLeavesTheScreenAsItWasAndSaysWhy) {
    // Each fault meets a dictation's Save (the list opens with the transcript) or, on an open
    // list, a row deleted by swipe.
    struct Case {
        std::string what;
        std::string transcript;
        std::function<void()> breakIt;
        std::string why;
    };
    struct rlimit unlimited {};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    const std::vector<Case> cases{
        {"a folder that is gone", "",
         [&] {
             // A sync tool's link whose folder went away.
             fs::remove(documents("notes.txt"));
             fs::create_symlink("gone/notes.txt", documents("notes.txt"));
         },
         "The file “" + documents("notes.txt") + "” could not be saved: No such file or directory"},
        {"a full disk", "",
         [&] {
             // The disk takes no more than a few bytes.
             std::signal(SIGXFSZ, SIG_IGN);
             struct rlimit small = unlimited;
             small.rlim_cur = 64;
             setrlimit(RLIMIT_FSIZE, &small);
         },
         "The file “" + documents("notes.txt") + "” could not be saved: File too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        resetSharedInstances();
        fs::remove_all(Sandbox::documents());
        fs::create_directories(Sandbox::documents());
        writeList({"kept one", "kept two"});
        const std::string before = readFile(documents("notes.txt"));
        std::shared_ptr<ViewControllerTabelView> list;
        if (!c.transcript.empty()) {
            c.breakIt();
            list = openList(c.transcript);
        } else {
            list = openList("");
            ASSERT_EQ(rowTexts(*list->table.lock()), (Rows{"kept one", "kept two"}));
            c.breakIt();
            ASSERT_TRUE(list->table.lock()->userSwipeRow({0, 1}));
            ASSERT_TRUE(list->table.lock()->userPressSwipeAction(0));
        }
        auto alert = shownAlert();
        setrlimit(RLIMIT_FSIZE, &unlimited);
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "Not saved");
        EXPECT_EQ(alert->message(), "The list could not be saved: " + c.why);
        EXPECT_EQ(list->data, (Rows{"kept one", "kept two"}));
        EXPECT_EQ(rowTexts(*list->table.lock()), (Rows{"kept one", "kept two"}));
        if (fs::is_regular_file(fs::symlink_status(documents("notes.txt")))) {
            EXPECT_EQ(readFile(documents("notes.txt")), before);
        }
        EXPECT_TRUE(temporaryFiles().empty());
        EXPECT_TRUE(alert->pressActionWithTitle("OK"));
        runUntilIdle();
        // The program goes on: once the fault is gone, the next Save is written.
        fs::remove(documents("notes.txt"));
        ASSERT_TRUE(list->table.lock()->userSwipeRow({0, 0}));
        ASSERT_TRUE(list->table.lock()->userPressSwipeAction(0));
        EXPECT_EQ(listFile(), (Rows{"kept two"}));
        nav->popToRootViewControllerAnimated(false);
        runUntilIdle();
    }
}

TEST_F(DamagedListTest, ChangesOfTwoCopiesAreMergedNotOverwritten) {
    struct Case {
        std::string what;
        Rows base, ours, theirs, merged;
    };
    const std::vector<Case> cases{
        {"both added", {"a", "b"}, {"mine", "a", "b"}, {"theirs", "a", "b"}, {"theirs", "mine", "a", "b"}},
        {"they deleted, we added", {"a", "b"}, {"mine", "a", "b"}, {"a"}, {"mine", "a"}},
        {"both edited one entry",
         {"a", "b"},
         {"a mine", "b"},
         {"a theirs", "b"},
         {"a theirs", "a mine", "b"}},
        {"both deleted the same", {"a", "b"}, {"b"}, {"b"}, {"b"}},
        {"equal texts", {"x", "x"}, {"x", "x", "x"}, {"x"}, {"x", "x"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(EntryListViewController::mergedEntries(c.base, c.ours, c.theirs), c.merged);
    }
}

// The list a screen last read or wrote is what another copy's changes are told from, and what a
// failed Save puts back: the file as this screen knew it, not the one another copy wrote since.
TEST_F(DamagedListTest, AnotherCopysSaveIsToldFromWhatThisScreenLastReadOrWrote) {
    writeList({"a", "b"});
    auto list = openList("mine");
    ASSERT_EQ(listFile(), (Rows{"mine", "a", "b"}));
    writeList({"theirs", "mine", "a", "b"}); // another copy's Save
    list->deleteEntryAtRow(1);
    EXPECT_EQ(listFile(), (Rows{"theirs", "mine", "b"})) << "our own Save is no change of theirs";
    EXPECT_EQ(list->data, (Rows{"theirs", "mine", "b"}));
    nav->popViewControllerAnimated(false);
    runUntilIdle();

    auto second = openList("");
    writeList({"later", "theirs", "mine", "b"});
    // The disk takes no more than a few bytes: the Save fails after taking in the other copy's.
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit unlimited {};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    struct rlimit small = unlimited;
    small.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &small);
    second->transribeText = "not saved";
    EXPECT_FALSE(second->addNote());
    setrlimit(RLIMIT_FSIZE, &unlimited);
    EXPECT_EQ(second->data, (Rows{"theirs", "mine", "b"}));
    EXPECT_EQ(listFile(), (Rows{"later", "theirs", "mine", "b"}));
    runUntilIdle();
}

// Two programs saving into one folder: every entry either of them saved is in the list.
TEST_F(DamagedListTest, TwoCopiesSavingIntoOneFolderLoseNoEntry) {
    writeList({"start"});
    constexpr int kRounds = 20;
    auto copy = [&](const std::string& name, unsigned seed) {
        std::mt19937 random(seed);
        for (int round = 0; round < kRounds; ++round) {
            // The list is read when the screen opens; the other copy may save before this one does.
            auto list = openList<NotesVCTableView>("", "NVCTV");
            (void)list;
            auto main = openList(name + " " + std::to_string(round));
            ::usleep(random() % 3000);
            main->transribeText = name + " late " + std::to_string(round);
            main->addNote();
            nav->popToRootViewControllerAnimated(false);
            // A Save that found the other copy writing waits for it on the run loop.
            advance(NSFileManager::kFolderLockWait);
        }
    };
    pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        copy("B", 2);
        ::_exit(testing::Test::HasFailure() ? 1 : 0);
    }
    copy("A", 1);
    int status = 0;
    ::waitpid(other, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    auto rows = listFile();
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->size(), 1u + 2 * 2 * kRounds);
    for (std::string name : {"A", "B"})
        for (int round = 0; round < kRounds; ++round) {
            for (std::string kind : {" ", " late "})
                EXPECT_EQ(std::count(rows->begin(), rows->end(), name + kind + std::to_string(round)), 1)
                    << name << kind << round;
        }
}

// A Save killed at any moment leaves the old list or the new one, and the next start removes what
// it left. The list is 1 MB here; QUILLORA_KILL_MB sets another size.
TEST_F(DamagedListTest, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewListAndNoTemporaryFile) {
    const char* megabytes = std::getenv("QUILLORA_KILL_MB");
    const std::size_t size = std::size_t(megabytes ? std::atoi(megabytes) : 1) << 20;
    auto listOf = [&](char letter) {
        Rows rows;
        for (std::size_t total = 0; total < size; total += 16 << 10)
            rows.push_back(std::string((16 << 10) - 8, letter) + std::to_string(rows.size()));
        return rows;
    };
    const Rows old = listOf('o'), fresh = listOf('n');
    // How long a whole Save takes here: the kills fall anywhere in it, and a little after.
    auto start = std::chrono::steady_clock::now();
    writeList(old);
    const auto saveTime =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
            .count();
    std::mt19937 random(23);
    int sawOld = 0, sawNew = 0;
    for (int run = 0; run < 30; ++run) {
        SCOPED_TRACE(run);
        const Rows& now = run % 2 ? fresh : old;
        const Rows& next = run % 2 ? old : fresh;
        writeList(now);
        pid_t saver = ::fork();
        ASSERT_GE(saver, 0);
        if (saver == 0) {
            writeStringArrayPlist(documents("notes.txt"), next);
            ::_exit(0);
        }
        ::usleep(static_cast<useconds_t>(random() % (saveTime * 3 / 2 + 1000)));
        ::kill(saver, SIGKILL);
        ::waitpid(saver, nullptr, 0);
        auto rows = listFile();
        ASSERT_TRUE(rows);
        ASSERT_TRUE(*rows == now || *rows == next);
        (*rows == next ? sawNew : sawOld)++;
        // The next start: the list screen opens on it and nothing of the killed Save is left.
        auto list = openList("");
        EXPECT_TRUE(temporaryFiles().empty());
        EXPECT_EQ(list->data, *rows);
        nav->popToRootViewControllerAnimated(false);
        runUntilIdle();
    }
    std::cout << "30 saves of " << (size >> 20) << " MB (" << saveTime / 1000
              << " ms each) killed: " << sawOld << " left the old list, " << sawNew << " the new one\n";
}

TEST_F(DamagedListTest, TheBrowserListsRegularPdfFilesOnlyAndDeleteRemovesOneFile) {
    writeFile(documents("letter.pdf"), "%PDF-1.4 stand-in");
    writeFile(documents("Folder.pdf/inside.txt"), "someone's");
    fs::create_symlink("letter.pdf", documents("link.pdf"));
    fs::create_symlink("nothing.pdf", documents("dangling.pdf"));
    auto list = openList("");
    ASSERT_TRUE(std::dynamic_pointer_cast<UIButton>(list->outletNamed("PDFButton"))->tap());
    auto browser = std::dynamic_pointer_cast<WebViewController_Center>(nav->topViewController());
    ASSERT_TRUE(browser);
    auto table = browser->tableList.lock();
    EXPECT_EQ(rowTexts(*table), (Rows{"letter", "link"}));
    // A folder put in place of a listed file is not removed with what is inside it.
    fs::remove(documents("letter.pdf"));
    fs::create_directories(documents("letter.pdf/kept"));
    ASSERT_TRUE(table->userSwipeRow({0, 0}));
    ASSERT_TRUE(table->userPressSwipeAction(0));
    EXPECT_TRUE(fs::is_directory(documents("letter.pdf/kept")));
    EXPECT_EQ(rowTexts(*table), (Rows{"letter", "link"}));
    // The link is one file: deleting it leaves what it points to.
    ASSERT_TRUE(table->userSwipeRow({0, 1}));
    ASSERT_TRUE(table->userPressSwipeAction(0));
    EXPECT_FALSE(fs::exists(fs::symlink_status(documents("link.pdf"))));
    EXPECT_TRUE(fs::exists(documents("Folder.pdf/inside.txt")));
}

} // namespace quillora::test
