#include "platform/foundation/NSBundle.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "platform/foundation/Sandbox.h"

namespace platform {

namespace {
std::filesystem::path executableDir() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    buf[n] = 0;
    return std::filesystem::path(buf).parent_path();
}

// Parses the "key" = "value"; lines of a .strings file (with \" and \n escapes, // and /* */ comments).
std::map<std::string, std::string> parseStrings(const std::string& text) {
    std::map<std::string, std::string> out;
    std::size_t i = 0;
    auto readQuoted = [&](std::string& s) -> bool {
        if (i >= text.size() || text[i] != '"') return false;
        ++i;
        while (i < text.size() && text[i] != '"') {
            if (text[i] == '\\' && i + 1 < text.size()) {
                char e = text[++i];
                s += e == 'n' ? '\n' : e == 't' ? '\t' : e;
            } else {
                s += text[i];
            }
            ++i;
        }
        if (i >= text.size()) return false;
        ++i;
        return true;
    };
    auto skipSpace = [&] {
        while (i < text.size()) {
            if (std::isspace(static_cast<unsigned char>(text[i]))) {
                ++i;
            } else if (text.compare(i, 2, "//") == 0) {
                while (i < text.size() && text[i] != '\n')
                    ++i;
            } else if (text.compare(i, 2, "/*") == 0) {
                auto end = text.find("*/", i + 2);
                i = end == std::string::npos ? text.size() : end + 2;
            } else {
                break;
            }
        }
    };
    while (true) {
        skipSpace();
        std::string key, value;
        if (!readQuoted(key)) break;
        skipSpace();
        if (i >= text.size() || text[i] != '=') break;
        ++i;
        skipSpace();
        if (!readQuoted(value)) break;
        skipSpace();
        if (i < text.size() && text[i] == ';') ++i;
        out[key] = value;
    }
    return out;
}
} // namespace

NSBundle::NSBundle() : path_(defaultPath()) {}

NSBundle& NSBundle::mainBundle() {
    static NSBundle bundle;
    return bundle;
}

std::filesystem::path NSBundle::defaultPath() {
    if (const char* b = std::getenv("QUILLORA_BUNDLE"); b && *b) return b;
    auto beside = executableDir() / "resources";
    if (std::filesystem::is_directory(beside)) return beside;
    return std::filesystem::path(QUILLORA_SOURCE_DIR) / "resources";
}

void NSBundle::setBundlePath(const std::filesystem::path& path) {
    path_ = path;
    tables_.clear();
}

std::optional<std::filesystem::path> NSBundle::pathForResource(const std::string& name,
                                                               const std::string& ext) const {
    std::string file = name;
    if (!ext.empty()) file += "." + ext;
    if (file.empty()) return std::nullopt;
    auto p = path_ / file;
    std::error_code ec;
    if (std::filesystem::is_regular_file(p, ec)) return p;
    return std::nullopt;
}

std::optional<std::filesystem::path> NSBundle::pathForImageNamed(const std::string& name) const {
    if (auto p = pathForResource(name, "")) return p;
    return pathForResource(name, "png");
}

const std::map<std::string, std::string>& NSBundle::table(const std::string& name) const {
    auto it = tables_.find(name);
    if (it != tables_.end()) return it->second;
    std::map<std::string, std::string> entries;
    for (auto dir : {path_ / "en.lproj", path_}) {
        std::ifstream in(dir / (name + ".strings"), std::ios::binary);
        if (!in) continue;
        std::stringstream ss;
        ss << in.rdbuf();
        entries = parseStrings(ss.str());
        break;
    }
    return tables_.emplace(name, std::move(entries)).first->second;
}

std::string NSBundle::localizedStringForKey(const std::string& key, const std::string& value,
                                            const std::string& tableName) const {
    const auto& t = table(tableName.empty() ? "Localizable" : tableName);
    if (auto it = t.find(key); it != t.end()) return it->second;
    return value.empty() ? key : value;
}

std::string NSLocalizedString(const std::string& key, const std::string&) {
    return NSBundle::mainBundle().localizedStringForKey(key);
}

} // namespace platform
