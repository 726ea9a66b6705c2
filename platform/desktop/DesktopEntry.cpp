#include "platform/desktop/DesktopEntry.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "platform/foundation/LazyLibrary.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/Sandbox.h"

// Opened with the window, which alone installs the entry.
#define gdk_pixbuf_get_file_info QUILLORA_LAZY("libgdk_pixbuf-2.0.so.0", gdk_pixbuf_get_file_info)

namespace platform {

namespace {
// The first line of an entry we wrote: a file without it is the user's.
constexpr const char* kMark =
    "# Written by Quillora when its window first ran; edits are kept once this line goes.";

std::optional<std::string> contentsOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Written as the window opens: a folder another program holds is not waited for (the next start
// writes what this one could not).
bool write(const std::filesystem::path& path, const std::string& bytes, std::string* error) {
    // Folders made in the user's data folder are the user's alone, as the desktop's conventions ask.
    auto& files = NSFileManager::defaultManager();
    auto failed = files.createDirectoryAtPath_withIntermediateDirectories(path.parent_path().string(), true);
    if (!failed && !(failed = files.writeAtomically(path.string(), bytes, 0))) return true;
    if (error)
        *error = "cannot write '" + path.string() + "'" +
                 (failed ? ": " + failed->localizedDescription : std::string());
    return false;
}

// A value of a desktop entry key: backslashes, line breaks and tabs escaped.
std::string escaped(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

// The program as an Exec argument: quoted, with the characters the quotes keep special escaped.
std::string execArgument(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
    // Inside a value the escapes are escaped once more.
    return escaped(out);
}
} // namespace

std::filesystem::path DesktopEntry::userDataFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') return data;
    return Sandbox::homeFolder().value_or("/") / ".local" / "share";
}

std::string DesktopEntry::text() const {
    std::string t = std::string(kMark) + "\n[Desktop Entry]\nType=Application\n";
    t += "Name=" + escaped(name) + "\n";
    if (!comment.empty()) t += "Comment=" + escaped(comment) + "\n";
    t += "Exec=" + execArgument(program.string()) + "\n";
    t += "Icon=" + applicationId + "\n";
    t += "StartupWMClass=" + applicationId + "\n";
    t += "Terminal=false\nCategories=Office;Utility;\n";
    return t;
}

bool DesktopEntry::install(const std::filesystem::path& dataFolder, std::string* error) const {
    const auto picture = contentsOf(icon);
    if (!picture) {
        if (error) *error = "cannot read the icon '" + icon.string() + "'";
        return false;
    }
    if (auto missing = LazyLibrary::load("libgdk_pixbuf-2.0.so.0")) {
        if (error) *error = "the icon cannot be measured: " + *missing;
        return false;
    }
    int width = 0, height = 0;
    if (!gdk_pixbuf_get_file_info(icon.c_str(), &width, &height) || width <= 0 || width != height) {
        if (error) *error = "the icon '" + icon.string() + "' is not a square picture";
        return false;
    }
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const auto entryPath = dataFolder / "applications" / (applicationId + ".desktop");
    const auto existing = contentsOf(entryPath);
    const bool ours = !existing || existing->rfind(kMark, 0) == 0;
    if (ours && existing != text() && !write(entryPath, text(), error)) return false;

    const auto iconPath = dataFolder / "icons" / "hicolor" / size / "apps" / (applicationId + ".png");
    // An icon is the user's once the entry is: only a missing one is added then.
    const auto installedIcon = contentsOf(iconPath);
    if ((!installedIcon || (ours && installedIcon != picture)) && !write(iconPath, *picture, error))
        return false;
    return true;
}

} // namespace platform
