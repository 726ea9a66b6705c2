#pragma once
// A block of bytes, as the platform hands out encoded images and file contents.

#include <cstddef>
#include <string>
#include <utility>

namespace platform {

class NSData {
public:
    NSData() = default;
    explicit NSData(std::string bytes) : bytes_(std::move(bytes)) {}

    const std::string& bytes() const { return bytes_; }
    std::size_t length() const { return bytes_.size(); }

    // Writes the bytes to `path`. Atomically or not, the write goes through the file manager's one
    // atomic write, so a failed write never leaves half a file; true when the file was written.
    bool writeToFile_atomically(const std::string& path, bool atomically) const;

private:
    std::string bytes_;
};

// The sandbox's temporary folder as a path that ends in "/", ready to have a file name appended.
std::string NSTemporaryDirectory();

} // namespace platform
