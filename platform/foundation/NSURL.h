#pragma once
// URLs: file URLs built from paths, and web URLs parsed from text.

#include <optional>
#include <string>

namespace platform {

class NSURL {
public:
    // A file URL for an absolute path (a relative one is taken from the current directory).
    // `isDirectory` makes the URL end with "/", as folder URLs do.
    static NSURL fileURLWithPath(const std::string& path, bool isDirectory = false);
    // Parses `text` as a URL (absolute or relative reference); none when it is not one: empty,
    // spaces or other characters that must be percent-encoded, a bad "%" escape, a bad port.
    static std::optional<NSURL> URLWithString(const std::string& text);

    bool isFileURL() const { return scheme_ == "file"; }
    // The whole URL, percent-encoded ("file:///tmp/a%20b.txt").
    const std::string& absoluteString() const { return text_; }
    const std::string& scheme() const { return scheme_; }
    const std::string& host() const { return host_; }
    // The decoded path, without a trailing "/" (except for the root).
    std::string path() const;
    std::string lastPathComponent() const;
    // The part after the last "." of the last component; empty when there is none.
    std::string pathExtension() const;
    // Appends one component (which may itself hold "/"); the result keeps query and fragment off.
    NSURL URLByAppendingPathComponent(const std::string& component, bool isDirectory = false) const;

    bool operator==(const NSURL& other) const { return text_ == other.text_; }

private:
    NSURL() = default;

    std::string text_;
    std::string scheme_;
    bool hasAuthority_ = false;
    std::string authority_;
    std::string host_;
    std::string encodedPath_;
};

} // namespace platform
