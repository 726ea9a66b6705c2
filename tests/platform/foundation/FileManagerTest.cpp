#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include <plist/plist.h>

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using quillora::test::PlatformTest;
namespace fs = std::filesystem;

namespace {
// What the program asks the disk to keep while a test watches: each path synced, with what the
// watched file held at that moment.
struct Sync {
    std::string path;
    std::string watchedThen;
};
std::vector<Sync>* watchedSyncs = nullptr;
std::string watchedFile;
// A folder whose sync fails, as a failing disk's does.
bool failFolderSync = false;
} // namespace

// Every sync of the program passes here, then goes to the kernel as it would.
extern "C" int fsync(int fd) {
    if (watchedSyncs) {
        std::error_code ec;
        const auto path = fs::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
        std::ifstream in(watchedFile, std::ios::binary);
        watchedSyncs->push_back({path.string(), {std::istreambuf_iterator<char>(in), {}}});
        if (failFolderSync && fs::is_directory(path, ec)) {
            errno = EIO;
            return -1;
        }
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

class FileManagerTest : public PlatformTest {
protected:
    NSFileManager& fm = NSFileManager::defaultManager();
    std::string docs(const std::string& name) { return (Sandbox::documents() / name).string(); }
};

TEST_F(FileManagerTest, WellKnownFoldersFollowTheCurrentSandbox) {
    auto urls = fm.URLsForDirectory_inDomains(NSDocumentDirectory, NSUserDomainMask);
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0].path(), Sandbox::documents().string());
    EXPECT_EQ(fm.temporaryDirectory().path(), Sandbox::tmp().string());
    EXPECT_EQ(urls[0].URLByAppendingPathComponent("a b.pdf").path(), docs("a b.pdf"));
}

TEST_F(FileManagerTest, AtomicWriteReplacesWholeFilesAndFailsCleanly) {
    std::string path = docs("note.txt");
    EXPECT_EQ(fm.writeAtomically(path, "first version, rather long"), std::nullopt);
    EXPECT_EQ(fm.writeAtomically(path, std::string("second\0bytes", 12)), std::nullopt);
    EXPECT_EQ(fm.contentsAtPath(path), std::string("second\0bytes", 12));
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write)
        << "a new file is its owner's alone";

    // A missing folder is an error, not a silent success, and leaves no temporary file behind.
    auto error = fm.writeAtomically(docs("nofolder/x.txt"), "data");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, NSFileNoSuchFileError);
    // Writing over a folder fails and keeps the folder.
    fs::create_directory(docs("folder"));
    EXPECT_TRUE(fm.writeAtomically(docs("folder"), "data").has_value());
    bool isDir = false;
    EXPECT_TRUE(fm.fileExistsAtPath_isDirectory(docs("folder"), &isDir));
    EXPECT_TRUE(isDir);
    EXPECT_EQ(fm.contentsOfDirectoryAtPath(Sandbox::documents().string()),
              (std::vector<std::string>{"folder", "note.txt"}));
}

TEST_F(FileManagerTest, ListingRemovingAndCreatingReportErrors) {
    NSError error;
    EXPECT_EQ(fm.contentsOfDirectoryAtPath(docs("missing"), &error), std::nullopt);
    EXPECT_EQ(error.code, NSFileNoSuchFileError);
    EXPECT_FALSE(fm.contentsAtPath(docs("missing")).has_value());
    EXPECT_FALSE(fm.contentsAtPath(Sandbox::documents().string()).has_value());

    auto removal = fm.removeItemAtPath(docs("missing"));
    ASSERT_TRUE(removal.has_value());
    EXPECT_EQ(removal->code, NSFileNoSuchFileError);

    EXPECT_TRUE(fm.createDirectoryAtPath_withIntermediateDirectories(docs("a/b"), false).has_value());
    EXPECT_EQ(fm.createDirectoryAtPath_withIntermediateDirectories(docs("a/b"), true), std::nullopt);
    EXPECT_EQ(fm.createDirectoryAtPath_withIntermediateDirectories(docs("a/b"), true), std::nullopt);
    EXPECT_TRUE(fm.createDirectoryAtPath_withIntermediateDirectories(docs("a/b"), false).has_value());
    ASSERT_EQ(fm.writeAtomically(docs("a/b/c.txt"), "x"), std::nullopt);
    EXPECT_TRUE(fm.createDirectoryAtPath_withIntermediateDirectories(docs("a/b/c.txt"), true).has_value());

    EXPECT_EQ(fm.removeItemAtPath(docs("a")), std::nullopt);
    EXPECT_FALSE(fm.fileExistsAtPath(docs("a")));
}

TEST_F(FileManagerTest, StringArrayPlistsRoundTripAndRejectAnythingPartial) {
    std::string path = docs("entries.plist");
    StringArray entries{"Dictado del martes", "", "line one\nline two", "<b>&amp;</b>", "emoji 🎙️"};
    ASSERT_TRUE(writeStringArrayPlist(path, entries));
    EXPECT_EQ(readStringArrayPlist(path), entries);
    auto xml = *fm.contentsAtPath(path);
    EXPECT_EQ(xml.rfind("<?xml", 0), 0u);
    EXPECT_NE(xml.find("<array>"), std::string::npos);

    ASSERT_TRUE(writeStringArrayPlist(path, {}));
    EXPECT_EQ(readStringArrayPlist(path), StringArray{});

    // A NUL is stored as U+FFFD, not cut short.
    std::size_t replaced = 0;
    ASSERT_TRUE(writeStringArrayPlist(path, {std::string("a\0b", 3)}, nullptr, &replaced));
    EXPECT_EQ(readStringArrayPlist(path), StringArray{"a\uFFFDb"});
    EXPECT_EQ(replaced, 1u);
    EXPECT_FALSE(writeStringArrayPlist(docs("nofolder/list.plist"), entries));

    // The writer's bound is the reader's. A list longer than the pieces it is written in, whose
    // file would be one byte over the bound, is refused once its first pieces are written: the
    // old file stays, and nothing is left beside it. One that fits exactly is read back.
    StringArray longList(6000, std::string(999, 'x') + "&");
    ASSERT_TRUE(writeStringArrayPlist(path, longList));
    const auto kept = fm.contentsAtPath(path);
    const std::size_t bound = kept->size();
    longList.back() += "y";
    NSError error;
    EXPECT_FALSE(writeStringArrayPlist(path, longList, &error, nullptr, bound));
    EXPECT_EQ(error.localizedDescription,
              "it would be larger than the " + std::to_string(bound) + " bytes a list file may hold");
    EXPECT_TRUE(fm.contentsAtPath(path) == kept) << "the old file is kept";
    longList.back().pop_back();
    ASSERT_TRUE(writeStringArrayPlist(path, longList, nullptr, nullptr, bound));
    EXPECT_EQ(readStringArrayPlistFile(RegularFile::open(path, bound)).entries, longList);
    std::vector<std::string> names;
    for (auto& item : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
        names.push_back(item.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"entries.plist"});

    auto write = [&](const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        return readStringArrayPlist(path);
    };
    EXPECT_EQ(readStringArrayPlist(docs("missing.plist")), std::nullopt);
    EXPECT_EQ(write(""), std::nullopt);
    EXPECT_EQ(write("garbage"), std::nullopt);
    EXPECT_EQ(
        write(
            R"(<?xml version="1.0"?><plist version="1.0"><dict><key>a</key><string>b</string></dict></plist>)"),
        std::nullopt);
    EXPECT_EQ(
        write(
            R"(<?xml version="1.0"?><plist version="1.0"><array><string>a</string><integer>3</integer></array></plist>)"),
        std::nullopt);
    EXPECT_EQ(readStringArrayPlist(Sandbox::documents().string()), std::nullopt);
}

TEST_F(FileManagerTest, StringArrayPlistsAreWrittenAsLibplistWritesThemAndAnyOfItsListsRead) {
    const std::string path = docs("entries.plist");
    const StringArray entries{"a&b<c>d\"e'f\tg\nh]]>", "", "  spaced  ", "emoji 🎙️ &amp;"};
    auto libplistBytes = [](const StringArray& rows, bool binary) {
        plist_t root = plist_new_array();
        for (const auto& row : rows)
            plist_array_append_item(root, plist_new_string(row.c_str()));
        char* out = nullptr;
        uint32_t length = 0;
        binary ? plist_to_bin(root, &out, &length) : plist_to_xml(root, &out, &length);
        std::string bytes(out, length);
        binary ? plist_to_bin_free(out) : plist_to_xml_free(out);
        plist_free(root);
        return bytes;
    };
    for (const StringArray& rows : {entries, StringArray{}, StringArray{"one"}}) {
        ASSERT_TRUE(writeStringArrayPlist(path, rows));
        EXPECT_EQ(*fm.contentsAtPath(path), libplistBytes(rows, false));
        EXPECT_EQ(readStringArrayPlist(path), rows);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << libplistBytes(rows, true);
        EXPECT_EQ(readStringArrayPlist(path), rows) << "binary lists read too";
    }

    // What is wrong with a file that is no list of entries.
    auto why = [&](const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        std::string reason;
        EXPECT_FALSE(readStringArrayPlist(path, &reason));
        return reason;
    };
    const std::string whole = libplistBytes({"one", "two"}, false);
    EXPECT_EQ(why(whole.substr(0, whole.size() - 20)), "it is not a property list, or is cut short");
    EXPECT_EQ(why(R"(<plist version="1.0"><array><string>a</string><true/></array></plist>)"),
              "its element 1 is a Boolean, not a string");
    EXPECT_EQ(why(R"(<plist version="1.0"><array><array/></array></plist>)"),
              "its element 0 is an array, not a string");
    EXPECT_EQ(why(R"(<plist version="1.0"><dict/></plist>)"),
              "it holds a dictionary, not an array of strings");
    EXPECT_EQ(why(R"(<plist version="1.0"><array/><array/></plist>)"),
              "it is not a property list, or is cut short");
    EXPECT_EQ(why("<html><body>hello</body></html>"), "it is not a property list, or is cut short");
    EXPECT_EQ(why(""), "it is empty");

    // A long entry full of entities is read and written in linear time.
    std::string entry;
    while (entry.size() < (8 << 20))
        entry += "rock & roll <live> ";
    ASSERT_TRUE(writeStringArrayPlist(path, {entry}));
    EXPECT_EQ(readStringArrayPlist(path), StringArray{entry});
}

TEST_F(FileManagerTest, ASaveIsReportedDoneOnlyOnceTheFolderHoldingItIsOnDisk) {
    // Saved through a link, as a sync tool's: what the power cut could lose is the entry of the
    // folder the file really is in.
    fs::create_directories(Sandbox::documents());
    fs::create_directories(home / "synced");
    const fs::path target = home / "synced" / "notes.txt";
    fs::create_symlink(target, docs("notes.txt"));
    ASSERT_EQ(fm.writeAtomically(docs("notes.txt"), "old"), std::nullopt);
    struct Case {
        bool folderSyncFails;
        std::optional<std::string> error;
    };
    const std::vector<Case> cases{
        {false, std::nullopt},
        {true, "The file \u201C" + docs("notes.txt") + "\u201D could not be saved: Input/output error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folderSyncFails);
        std::vector<Sync> syncs;
        watchedSyncs = &syncs;
        watchedFile = target.string();
        failFolderSync = c.folderSyncFails;
        const std::string bytes = c.folderSyncFails ? "newer" : "new";
        auto error = fm.writeAtomically(docs("notes.txt"), bytes);
        watchedSyncs = nullptr;
        failFolderSync = false;
        EXPECT_EQ(error ? std::optional(error->localizedDescription) : std::nullopt, c.error);
        // The new bytes are synced before they take the name, and the folder once they have it.
        ASSERT_EQ(syncs.size(), 2u);
        EXPECT_EQ(syncs[0].path.find((home / "synced" / ".notes.txt.quillora-tmp-").string()), 0u)
            << syncs[0].path;
        EXPECT_EQ(syncs[1].path, (home / "synced").string());
        EXPECT_EQ(syncs[1].watchedThen, bytes);
    }
}

namespace {

// A new file never takes a name that something holds, however many writers race for it: each
// gets a name of its own and keeps its bytes, and nothing that held a name is written over.
TEST_F(FileManagerTest, NewFilesTakeFreeNamesAtomicallyAndReplaceNothing) {
    fs::create_directories(Sandbox::documents());
    auto pathFor = [&](int attempt) {
        return docs("export" + (attempt > 1 ? " " + std::to_string(attempt) : std::string()) + ".pdf");
    };
    // What may hold a name: a file, a link to nothing (written through, it would make a file
    // elsewhere), a folder.
    std::ofstream(docs("export.pdf")) << "there before";
    fs::create_symlink(home / "nowhere", docs("export 2.pdf"));
    fs::create_directory(docs("export 3.pdf"));
    constexpr int kWriters = 8;
    std::vector<std::optional<std::string>> written(kWriters);
    {
        std::vector<std::thread> writers;
        for (int i = 0; i < kWriters; ++i)
            writers.emplace_back(
                [&, i] { written[i] = fm.writeNewFile(pathFor, "writer " + std::to_string(i)); });
        for (auto& writer : writers)
            writer.join();
    }
    std::set<std::string> names;
    for (int i = 0; i < kWriters; ++i) {
        ASSERT_TRUE(written[i]) << i;
        EXPECT_EQ(fm.contentsAtPath(*written[i]), "writer " + std::to_string(i));
        EXPECT_EQ(fs::status(*written[i]).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        names.insert(*written[i]);
    }
    EXPECT_EQ(names.size(), std::size_t(kWriters)) << "two writers shared a name";
    for (int taken = 1; taken <= 3; ++taken)
        EXPECT_EQ(names.count(pathFor(taken)), 0u) << pathFor(taken);
    EXPECT_EQ(fm.contentsAtPath(docs("export.pdf")), "there before");
    EXPECT_TRUE(fs::is_symlink(docs("export 2.pdf")));
    EXPECT_FALSE(fs::exists(home / "nowhere"));
    for (const auto& entry : fs::directory_iterator(Sandbox::documents()))
        EXPECT_EQ(entry.path().filename().string().find("tmp-"), std::string::npos) << "left behind";
}

} // namespace
