#include "platform/foundation/Sandbox.h"

#include <cstdlib>
#include <mutex>
#include <vector>

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
    std::error_code ec;
    std::filesystem::create_directories(root / "Documents", ec);
    std::filesystem::create_directories(root / "tmp", ec);
    std::filesystem::create_directories(root / "Library" / "Preferences", ec);
}

const std::filesystem::path& Sandbox::root() {
    if (rootPath().empty()) setRoot(defaultRoot());
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

std::filesystem::path Sandbox::defaultRoot() {
    if (const char* home = std::getenv("QUILLORA_HOME"); home && *home) return home;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return std::filesystem::path(xdg) / "quillora";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/tmp") / ".local" / "share" / "quillora";
}

void registerSharedInstanceReset(std::function<void()> reset) {
    resets().push_back(std::move(reset));
}

void resetSharedInstances() {
    for (auto& reset : resets())
        reset();
}

} // namespace platform
