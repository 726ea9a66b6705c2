// The desktop entry and icon the window installs in the user's data folder.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "platform/desktop/DesktopEntry.h"
#include "tests/support/PlatformTest.h"

using platform::DesktopEntry;

namespace {

std::string read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class DesktopEntryTest : public quillora::test::PlatformTest {
protected:
    DesktopEntry entry() const {
        DesktopEntry e;
        e.applicationId = "com.quillora.app";
        e.name = "Quillora";
        e.program = "/opt/my \"apps\"/quillora";
        e.icon = std::filesystem::path(std::getenv("QUILLORA_BUNDLE")) / "com.quillora.app.png";
        return e;
    }
    std::filesystem::path data() const { return home / "data"; }
    std::filesystem::path entryFile() const { return data() / "applications" / "com.quillora.app.desktop"; }
    std::filesystem::path iconFile() const {
        return data() / "icons" / "hicolor" / "256x256" / "apps" / "com.quillora.app.png";
    }
};

} // namespace

TEST_F(DesktopEntryTest, InstallsTheEntryAndTheIconWhereTheDesktopLooksAndKeepsTheUsersOwn) {
    std::string error;
    ASSERT_TRUE(entry().install(data(), &error)) << error;
    const std::string text = read(entryFile());
    for (const char* line :
         {"[Desktop Entry]\n", "\nType=Application\n", "\nName=Quillora\n", "\nIcon=com.quillora.app\n",
          "\nStartupWMClass=com.quillora.app\n", "\nExec=\"/opt/my \\\\\"apps\\\\\"/quillora\"\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    EXPECT_EQ(read(iconFile()), read(entry().icon)) << "the bundle's picture at its own size";

    // Ours and out of date (the program moved): brought up to date.
    DesktopEntry moved = entry();
    moved.program = "/usr/bin/quillora";
    ASSERT_TRUE(moved.install(data(), &error)) << error;
    EXPECT_NE(read(entryFile()).find("\nExec=\"/usr/bin/quillora\"\n"), std::string::npos);

    // The user's own entry and icon are never written over.
    std::ofstream(entryFile(), std::ios::trunc) << "[Desktop Entry]\nName=My dictation\n";
    std::ofstream(iconFile(), std::ios::trunc) << "my picture";
    ASSERT_TRUE(entry().install(data(), &error)) << error;
    EXPECT_EQ(read(entryFile()), "[Desktop Entry]\nName=My dictation\n");
    EXPECT_EQ(read(iconFile()), "my picture");

    // An icon that cannot be read is a failure with its reason, and nothing half-written stays.
    DesktopEntry broken = entry();
    broken.icon = home / "missing.png";
    std::filesystem::remove_all(data());
    EXPECT_FALSE(broken.install(data(), &error));
    EXPECT_NE(error.find("missing.png"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(iconFile()));
    EXPECT_FALSE(std::filesystem::exists(entryFile()));
}
