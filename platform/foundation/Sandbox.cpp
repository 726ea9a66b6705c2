#include "platform/foundation/Sandbox.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSFileManager.h"

namespace platform {

namespace {
std::filesystem::path& rootPath() {
    static std::filesystem::path root;
    return root;
}

std::vector<std::function<void()>>& resets() {
    static std::vector<std::function<void()>> list;
    return list;
}
} // namespace

void Sandbox::setRoot(const std::filesystem::path& root) {
    rootPath() = root;
    auto& files = NSFileManager::defaultManager();
    for (const auto& folder : {root / "Documents", root / "tmp", root / "Library" / "Preferences"})
        files.createDirectoryAtPath_withIntermediateDirectories(folder.string(), true);
}

const std::filesystem::path& Sandbox::root() {
    if (rootPath().empty()) {
        auto root = defaultRoot();
        if (!root) fatalError("There is no home folder to keep the application's data in.");
        setRoot(*root);
    }
    return rootPath();
}

std::filesystem::path Sandbox::documents() {
    return root() / "Documents";
}
std::filesystem::path Sandbox::tmp() {
    return root() / "tmp";
}
std::filesystem::path Sandbox::preferences() {
    return root() / "Library" / "Preferences";
}

std::optional<std::filesystem::path> Sandbox::defaultRoot() {
    if (const char* home = std::getenv("QUILLORA_HOME"); home && *home) return home;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return std::filesystem::path(xdg) / "quillora";
    auto home = homeFolder();
    if (!home) return std::nullopt;
    return *home / ".local" / "share" / "quillora";
}

std::optional<std::filesystem::path> Sandbox::homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    // A service or a cron job may run without HOME: the account's own home is still known.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir || found->pw_dir[0] != '/')
        return std::nullopt;
    return std::filesystem::path(found->pw_dir);
}

void registerSharedInstanceReset(std::function<void()> reset) {
    resets().push_back(std::move(reset));
}

void resetSharedInstances() {
    for (auto& reset : resets())
        reset();
}

} // namespace platform
