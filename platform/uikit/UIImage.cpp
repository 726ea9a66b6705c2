#include "platform/uikit/UIImage.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h> // after <cstdio>: it needs FILE and size_t

#include "platform/foundation/NSBundle.h"

namespace platform {

UIImage::UIImage(std::string name, std::filesystem::path path)
    : name_(std::move(name)), path_(std::move(path)), info_(readImageFileInfo(path_)),
      size_(info_.orientedSize()) {}

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

cairo_surface_t* UIImage::surface() const {
    if (!decoded_) {
        decoded_ = true;
        if (cairo_surface_t* s = loadImageFile(path_)) surface_.reset(s, cairo_surface_destroy);
    }
    return surface_.get();
}

namespace {

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jpegFail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void jpegQuiet(j_common_ptr) {}

// Rows of 8-bit RGB from a cairo image surface (premultiplied ARGB laid on white).
void rgbRow(const unsigned char* data, int stride, int width, int y, bool alpha, unsigned char* out) {
    const auto* px = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < width; ++x) {
        const std::uint32_t p = px[x];
        const unsigned a = alpha ? p >> 24 : 255u;
        out[3 * x] = static_cast<unsigned char>(((p >> 16) & 0xFF) + 255 - a);
        out[3 * x + 1] = static_cast<unsigned char>(((p >> 8) & 0xFF) + 255 - a);
        out[3 * x + 2] = static_cast<unsigned char>((p & 0xFF) + 255 - a);
    }
}

// Kept free of objects with destructors between setjmp and the last libjpeg call.
bool encodeJpeg(cairo_surface_t* surface, int quality, unsigned char** buffer, unsigned long* size) {
    const int width = cairo_image_surface_get_width(surface),
              height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const bool alpha = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
    const unsigned char* data = cairo_image_surface_get_data(surface);
    if (width <= 0 || height <= 0 || !data) return false;
    jpeg_compress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegFail;
    error.manager.output_message = jpegQuiet;
    unsigned char* volatile row = nullptr;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        delete[] row;
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    row = new unsigned char[static_cast<std::size_t>(width) * 3];
    while (info.next_scanline < info.image_height) {
        rgbRow(data, stride, width, static_cast<int>(info.next_scanline), alpha, row);
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    delete[] row;
    return true;
}

} // namespace

std::optional<NSData> UIImageJPEGRepresentation(const UIImage& image, double compressionQuality) {
    cairo_surface_t* surface = image.surface();
    // Not flushed: decoded surfaces are complete already, and a flush would drop the JPEG bytes
    // kept for PDFs.
    if (!surface || std::isnan(compressionQuality)) return std::nullopt;
    const int quality = static_cast<int>(std::lround(std::clamp(compressionQuality, 0.0, 1.0) * 100));
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = encodeJpeg(surface, std::max(quality, 1), &buffer, &size);
    std::optional<NSData> data;
    if (ok && buffer && size > 0) data = NSData(std::string(reinterpret_cast<const char*>(buffer), size));
    std::free(buffer);
    return data;
}

} // namespace platform
