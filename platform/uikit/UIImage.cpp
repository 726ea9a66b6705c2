#include "platform/uikit/UIImage.h"

#include <array>
#include <fstream>
#include <vector>

#include <cairo.h>

#include "platform/foundation/NSBundle.h"
#include "platform/uikit/ImageFile.h"

namespace platform {

namespace {
// Reads the dimensions from a PNG header or a JPEG start-of-frame marker, without decoding.
CGSize readImageSize(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::vector<unsigned char> head(64 * 1024);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    auto be32 = [&](std::size_t i) {
        return (head[i] << 24) | (head[i + 1] << 16) | (head[i + 2] << 8) | head[i + 3];
    };
    auto be16 = [&](std::size_t i) { return (head[i] << 8) | head[i + 1]; };
    static const std::array<unsigned char, 8> png{0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
    if (head.size() >= 24 && std::equal(png.begin(), png.end(), head.begin()))
        return {static_cast<double>(be32(16)), static_cast<double>(be32(20))};
    if (head.size() >= 4 && head[0] == 0xff && head[1] == 0xd8) {
        std::size_t i = 2;
        while (i + 9 < head.size()) {
            if (head[i] != 0xff) return {};
            unsigned char marker = head[i + 1];
            std::size_t length = static_cast<std::size_t>(be16(i + 2));
            bool sof = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
            if (sof) return {static_cast<double>(be16(i + 7)), static_cast<double>(be16(i + 5))};
            i += 2 + length;
        }
    }
    return {};
}
} // namespace

UIImage::UIImage(std::string name, std::filesystem::path path)
    : name_(std::move(name)), path_(std::move(path)), size_(readImageSize(path_)) {}

cairo_surface_t* UIImage::surface() const {
    if (!decoded_) {
        decoded_ = true;
        if (cairo_surface_t* loaded = loadImageFile(path_)) surface_.reset(loaded, cairo_surface_destroy);
    }
    return surface_.get();
}

std::shared_ptr<UIImage> UIImage::imageNamed(const std::string& name) {
    auto path = NSBundle::mainBundle().pathForImageNamed(name);
    if (!path) return nullptr;
    return std::make_shared<UIImage>(name, *path);
}

std::shared_ptr<UIImage> UIImage::imageWithContentsOfFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
    return std::make_shared<UIImage>(path.filename().string(), path);
}

} // namespace platform
