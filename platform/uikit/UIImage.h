#pragma once
// Images of the bundle, looked up by name. Only the name, the file and the pixel size are kept.

#include <filesystem>
#include <memory>
#include <string>

#include "platform/foundation/Geometry.h"

namespace platform {

class UIImage {
public:
    // The bundle image `name` (with or without ".png"); none when the bundle has no such file.
    static std::shared_ptr<UIImage> imageNamed(const std::string& name);
    static std::shared_ptr<UIImage> imageWithContentsOfFile(const std::filesystem::path& path);

    UIImage(std::string name, std::filesystem::path path);

    const std::string& name() const { return name_; }
    const std::filesystem::path& path() const { return path_; }
    // The pixel size of a PNG or JPEG file; zero when it cannot be read.
    CGSize size() const { return size_; }

private:
    std::string name_;
    std::filesystem::path path_;
    CGSize size_;
};

} // namespace platform
