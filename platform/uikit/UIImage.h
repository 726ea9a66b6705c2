#pragma once
// Images of the bundle, looked up by name: the name, the file and the pixel size; the pixels are
// decoded the first time the image is drawn.

#include <filesystem>
#include <memory>
#include <string>

#include "platform/foundation/Geometry.h"

typedef struct _cairo_surface cairo_surface_t;

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
    // The decoded pixels, owned by the image; none when the file cannot be decoded.
    cairo_surface_t* surface() const;

private:
    std::string name_;
    std::filesystem::path path_;
    CGSize size_;
    mutable std::shared_ptr<cairo_surface_t> surface_;
    mutable bool decoded_ = false;
};

} // namespace platform
