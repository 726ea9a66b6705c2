#pragma once
// The fixture every test of the platform and the screens derives from: a fresh sandbox in a
// temporary folder, the virtual clock at 0, a captured console and freshly reset shared instances.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillora::test {

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Moves the virtual clock forward, running what falls due.
    void advance(double seconds);
    void runUntilIdle();

    std::vector<std::string> consoleLines() const;
    bool consoleHas(const std::string& line) const;
    // Lines printed since the last call (or since the test started).
    std::vector<std::string> takeConsole();

    std::filesystem::path home;

private:
    std::size_t taken_ = 0;
};

// Writes `content` to `path`, making its folders first.
void writeFile(const std::filesystem::path& path, const std::string& content);

// The bundle folder of the source tree (resources/).
std::filesystem::path sourceBundle();
// The source tree (its tests' data files).
std::filesystem::path sourceTree();

} // namespace quillora::test
