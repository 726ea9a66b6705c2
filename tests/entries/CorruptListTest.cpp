// List files that are not lists of entries, cut short or very large: the list and its detail
// screen still open, the file is kept aside as it was, and the console says where and why.

#include <filesystem>
#include <fstream>
#include <iostream>

#include "tests/entries/EntryTestSupport.h"
#include "tests/support/WorkMeter.h"

using namespace platform;
using quillora::DetailVCTableView;
using quillora::NotesVCTableView;
using Rows = std::vector<std::string>;
using quillora::test::WorkMeter;

namespace {

constexpr const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">";

class CorruptListTest : public quillora::test::EntryTest {
protected:
    void writeRaw(const std::string& name, const std::string& bytes) {
        std::ofstream(documents(name), std::ios::binary) << bytes;
    }
};

TEST_F(CorruptListTest, ListsOfTheWrongShapeOrCutShortAreKeptAsideAndTheListOpensOnWhatCouldBeRead) {
    struct Case {
        std::string bytes;
        std::string why;
        // What the list shows of the file: never the stand-in rows of a list that never existed.
        Rows readable;
    };
    const std::string whole =
        std::string(kHeader) + "<array><string>one</string><string>two</string></array></plist>";
    const std::vector<Case> cases{
        {std::string(kHeader) + "<dict><key>a</key><string>b</string></dict></plist>",
         "it holds a dictionary, not an array of strings",
         {}},
        {std::string(kHeader) + "<array><integer>1</integer><real>2.5</real></array></plist>",
         "its element 0 is a number, not a string",
         {}},
        {std::string(kHeader) +
             "<array><string>keep one</string><integer>5</integer><string>keep two</string></array></plist>",
         "its element 1 is a number, not a string",
         {"keep one", "keep two"}},
        {whole.substr(0, whole.size() / 2), "it is not a property list, or is cut short", {}},
        {whole.substr(0, whole.find("two")), "it is not a property list, or is cut short", {"one"}},
        {"", "it is empty", {}},
    };
    for (const auto& [bytes, why, readable] : cases) {
        SCOPED_TRACE(why);
        resetSharedInstances();
        std::filesystem::remove_all(documents(""));
        std::filesystem::create_directories(documents(""));
        writeRaw("notesNVC.txt", bytes);
        auto list = openList<NotesVCTableView>("", "NVCTV");
        ASSERT_TRUE(list->isViewLoaded());
        EXPECT_EQ(list->data, readable);
        EXPECT_EQ(rowTexts(*list->table.lock()), readable);
        EXPECT_EQ(listFile("notesNVC.txt"), readable) << "what could be read is saved in the file's place";
        EXPECT_EQ(readFile(documents("notesNVC.txt.unreadable")), bytes) << "kept byte for byte";
        EXPECT_TRUE(consoleHas("entry list could not be read (" + why + "), moved to " +
                               documents("notesNVC.txt.unreadable")));
        nav->popViewControllerAnimated(false);
        runUntilIdle();
        // The next visit finds what could be read, and a dictation saved beside it.
        auto again = openList<NotesVCTableView>("new entry", "NVCTV");
        Rows shown{"new entry"};
        shown.insert(shown.end(), readable.begin(), readable.end());
        EXPECT_EQ(again->data, shown);
        EXPECT_EQ(listFile("notesNVC.txt"), shown);
        EXPECT_EQ(readFile(documents("notesNVC.txt.unreadable")), bytes);
        nav->popViewControllerAnimated(false);
    }
}

TEST_F(CorruptListTest, AFiftyMegabyteEntryOpensInItsDetailScreenAndComesBackWhole) {
    std::string huge;
    huge.reserve(50 * 1024 * 1024);
    const std::string sentence = "A long dictation about rivers, <tags> & ampersands, ünïcödé and 📌. ";
    while (huge.size() < 50 * 1024 * 1024)
        huge += sentence;
    writeList({"small", huge, "last"});
    const auto before = readFile(documents("notes.txt"));

    const WorkMeter meter;
    auto list = openList("");
    ASSERT_EQ(list->data.size(), 3u);
    EXPECT_EQ(list->data[1].size(), huge.size());
    ASSERT_TRUE(list->table.lock()->userTapRow({0, 1}));
    auto detail = std::dynamic_pointer_cast<DetailVCTableView>(nav->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->textView->text().size(), huge.size());
    nav->popViewControllerAnimated(false);
    const double seconds = meter.processorSeconds();
    std::cout << "[ 50 MB entry ] list, detail and hand-back in " << seconds << " s of processor time\n";

    EXPECT_EQ(readFile(documents("notes.txt")), before) << "handed back unchanged, written back the same";
    EXPECT_LT(seconds, 60) << "entity decoding is linear in the entry's length";
}

} // namespace
