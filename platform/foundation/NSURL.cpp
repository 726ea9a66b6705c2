#include "platform/foundation/NSURL.h"

#include <cctype>
#include <filesystem>

namespace platform {

namespace {
bool isUnreserved(unsigned char c) {
    return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}
bool isSubDelim(unsigned char c) {
    return c == '!' || c == '$' || c == '&' || c == '\'' || c == '(' || c == ')' || c == '*' || c == '+' ||
           c == ',' || c == ';' || c == '=';
}
bool isPathChar(unsigned char c) {
    return isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@' || c == '/';
}

std::string percentEncodePath(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (isPathChar(c) && c != ';') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Every character must be one a URL may hold literally, and every "%" must start an escape.
bool wellFormed(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            if (i + 2 >= text.size() || hexValue(text[i + 1]) < 0 || hexValue(text[i + 2]) < 0) return false;
        } else if (!(isPathChar(c) || c == '?' || c == '#' || c == '[' || c == ']')) {
            return false;
        }
    }
    return true;
}
} // namespace

NSURL NSURL::fileURLWithPath(const std::string& path, bool isDirectory) {
    std::filesystem::path p(path);
    std::error_code ec;
    if (p.is_relative()) p = std::filesystem::current_path(ec) / p;
    std::string s = p.lexically_normal().string();
    if (isDirectory && s.back() != '/') s += '/';
    if (!isDirectory && s.size() > 1 && s.back() == '/') s.pop_back();
    NSURL url;
    url.scheme_ = "file";
    url.hasAuthority_ = true;
    url.encodedPath_ = percentEncodePath(s);
    url.text_ = "file://" + url.encodedPath_;
    return url;
}

std::optional<NSURL> NSURL::URLWithString(const std::string& text) {
    if (text.empty() || !wellFormed(text)) return std::nullopt;
    if (text.find('#') != std::string::npos && text.find('#', text.find('#') + 1) != std::string::npos) {
        return std::nullopt;
    }
    NSURL url;
    url.text_ = text;
    std::size_t pos = 0;
    // A scheme is letters, digits, "+", "-", "." after a first letter, ended by ":".
    std::size_t colon = text.find(':');
    if (colon != std::string::npos && colon > 0 && std::isalpha(static_cast<unsigned char>(text[0]))) {
        bool ok = true;
        for (std::size_t i = 1; i < colon && ok; ++i) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            ok = std::isalnum(c) || c == '+' || c == '-' || c == '.';
        }
        if (ok && text.find_first_of("/?#") > colon) {
            for (std::size_t i = 0; i < colon; ++i)
                url.scheme_ += static_cast<char>(std::tolower(text[i]));
            pos = colon + 1;
        }
    }
    std::size_t end = text.find_first_of("?#", pos);
    std::string rest = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (rest.rfind("//", 0) == 0) {
        url.hasAuthority_ = true;
        std::size_t slash = rest.find('/', 2);
        url.authority_ = rest.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
        url.encodedPath_ = slash == std::string::npos ? "" : rest.substr(slash);
        std::string hostPort = url.authority_.substr(
            url.authority_.find('@') == std::string::npos ? 0 : url.authority_.find('@') + 1);
        std::string port;
        if (!hostPort.empty() && hostPort.front() == '[') {
            std::size_t close = hostPort.find(']');
            if (close == std::string::npos) return std::nullopt;
            url.host_ = hostPort.substr(0, close + 1);
            std::string after = hostPort.substr(close + 1);
            if (!after.empty() && after.front() != ':') return std::nullopt;
            if (!after.empty()) port = after.substr(1);
        } else {
            if (hostPort.find_first_of("[]") != std::string::npos) return std::nullopt;
            std::size_t c = hostPort.find(':');
            url.host_ = hostPort.substr(0, c);
            if (c != std::string::npos) port = hostPort.substr(c + 1);
        }
        for (char c : port) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        }
    } else {
        if (rest.find_first_of("[]") != std::string::npos) return std::nullopt;
        url.encodedPath_ = rest;
    }
    return url;
}

std::string NSURL::path() const {
    std::string p = percentDecode(encodedPath_);
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::string NSURL::lastPathComponent() const {
    std::string p = path();
    if (p == "/") return p;
    return p.substr(p.rfind('/') == std::string::npos ? 0 : p.rfind('/') + 1);
}

std::string NSURL::pathExtension() const {
    std::string last = lastPathComponent();
    std::size_t dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == last.size()) return "";
    return last.substr(dot + 1);
}

NSURL NSURL::URLByAppendingPathComponent(const std::string& component, bool isDirectory) const {
    std::string base = encodedPath_;
    if (base.empty() || base.back() != '/') base += '/';
    std::string added = percentEncodePath(component);
    while (!added.empty() && added.front() == '/')
        added.erase(0, 1);
    if (isDirectory && (added.empty() || added.back() != '/')) added += '/';
    NSURL url = *this;
    url.encodedPath_ = base + added;
    url.text_ =
        (scheme_.empty() ? "" : scheme_ + ":") + (hasAuthority_ ? "//" + authority_ : "") + url.encodedPath_;
    return url;
}

} // namespace platform
