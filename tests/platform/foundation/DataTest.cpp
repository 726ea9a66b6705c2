// Data written to files through the one atomic write, and the temporary folder's path.

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/foundation/NSData.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {

class DataTest : public quillora::test::PlatformTest {};

std::string read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST_F(DataTest, WritesReplaceTheFileWholeAndAFailureLeavesTheOldOne) {
    const std::string tmp = NSTemporaryDirectory();
    EXPECT_EQ(tmp, (home / "tmp").string() + "/");
    const std::string path = tmp + "a.bin";
    ASSERT_TRUE(NSData(std::string("first\0bytes", 11)).writeToFile_atomically(path, true));
    EXPECT_EQ(read(path), std::string("first\0bytes", 11));
    ASSERT_TRUE(NSData("second").writeToFile_atomically(path, false));
    EXPECT_EQ(read(path), "second");
    EXPECT_FALSE(NSData("x").writeToFile_atomically(tmp + "missing/b.bin", true));
    std::filesystem::create_directories(tmp + "folder");
    EXPECT_FALSE(NSData("x").writeToFile_atomically(tmp + "folder", true)) << "a folder is not replaced";
    EXPECT_TRUE(std::filesystem::is_directory(tmp + "folder"));
    EXPECT_EQ(read(path), "second");
}

} // namespace
