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
        if (cairo_surface_t* s = loadImageFile(path_, nullptr, {kMaxDecodedImageSide, kMaxDecodedImageSide}))
            surface_.reset(s, cairo_surface_destroy);
    }
    return surface_.get();
}

bool UIImage::Placement::samplesAsIn(const Placement& other) const {
    return xx == other.xx && yx == other.yx && xy == other.xy && yy == other.yy &&
           std::abs(fractionX - other.fractionX) < 1e-9 && std::abs(fractionY - other.fractionY) < 1e-9;
}

std::optional<UIImage::DevicePixels> UIImage::resampled(const cairo_matrix_t& toDevice) const {
    cairo_surface_t* pixels = surface();
    if (!pixels) return std::nullopt;
    const int w = cairo_image_surface_get_width(pixels), h = cairo_image_surface_get_height(pixels);
    // Unscaled at a whole pixel the image is copied as it is: nothing to resample.
    const bool unscaled = toDevice.xx == 1 && toDevice.yx == 0 && toDevice.xy == 0 && toDevice.yy == 1;
    const double originX = std::floor(toDevice.x0), originY = std::floor(toDevice.y0);
    if (w <= 0 || h <= 0 || !std::isfinite(originX) || !std::isfinite(originY) || std::abs(originX) > 1e6 ||
        std::abs(originY) > 1e6 || (unscaled && originX == toDevice.x0 && originY == toDevice.y0))
        return std::nullopt;
    const Placement placement{toDevice.xx, toDevice.yx,           toDevice.xy,
                              toDevice.yy, toDevice.x0 - originX, toDevice.y0 - originY};
    auto found = std::find_if(resamplings_.begin(), resamplings_.end(),
                              [&](const Resampling& r) { return r.placement.samplesAsIn(placement); });
    if (found == resamplings_.end()) {
        // Two placements: an image shown twice at once (a card and its detail) keeps both.
        if (resamplings_.size() >= 2) resamplings_.erase(resamplings_.begin());
        resamplings_.push_back({placement, nullptr, 0, 0});
        // Most pictures first appear where they then stand: the first placement is kept at once,
        // which spares a screen's first two frames resampling its pictures twice.
        if (placed_) return std::nullopt;
        placed_ = true;
        found = std::prev(resamplings_.end());
    }
    std::rotate(found, found + 1, resamplings_.end()); // the most recent last
    Resampling& r = resamplings_.back();
    if (!r.surface) {
        // The device pixels the image's rectangle touches, from the whole pixel of its origin.
        double left = 0, top = 0, right = 0, bottom = 0;
        const double corners[][2] = {{0, 0}, {double(w), 0}, {0, double(h)}, {double(w), double(h)}};
        for (const auto& [cx, cy] : corners) {
            const double x = placement.xx * cx + placement.xy * cy + placement.fractionX;
            const double y = placement.yx * cx + placement.yy * cy + placement.fractionY;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
        const double width = std::ceil(right) - std::floor(left),
                     height = std::ceil(bottom) - std::floor(top);
        // Beyond a few screens' worth of pixels it is not worth the memory.
        if (!(width > 0 && height > 0 && width * height <= 16e6)) return std::nullopt;
        r.left = static_cast<int>(std::floor(left));
        r.top = static_cast<int>(std::floor(top));
        cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width),
                                                          static_cast<int>(height));
        cairo_t* cr = cairo_create(out);
        cairo_matrix_t shifted = toDevice;
        shifted.x0 = placement.fractionX - r.left;
        shifted.y0 = placement.fractionY - r.top;
        cairo_set_matrix(cr, &shifted);
        cairo_set_source_surface(cr, pixels, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
        cairo_destroy(cr);
        if (!drawn || cairo_surface_status(out) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(out);
            return std::nullopt;
        }
        cairo_surface_flush(out);
        r.surface.reset(out, cairo_surface_destroy);
    }
    return DevicePixels{r.surface.get(), static_cast<int>(originX) + r.left,
                        static_cast<int>(originY) + r.top};
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
