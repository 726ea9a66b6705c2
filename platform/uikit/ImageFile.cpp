#include "platform/uikit/ImageFile.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <cairo.h>
#include <jpeglib.h>

namespace platform {

namespace {

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jpegFail(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    std::longjmp(error->jump, 1);
}

void jpegQuiet(j_common_ptr) {}

// Kept free of objects with destructors between setjmp and the last libjpeg call, so that a
// longjmp out of a corrupt file skips nothing that needs cleaning up except what we free here.
cairo_surface_t* loadJpeg(std::FILE* file) {
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegFail;
    error.manager.output_message = jpegQuiet;
    cairo_surface_t* volatile surface = nullptr;
    unsigned char* volatile row = nullptr;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        if (surface) cairo_surface_destroy(surface);
        delete[] row;
        return nullptr;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const int width = static_cast<int>(info.output_width), height = static_cast<int>(info.output_height);
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        jpeg_destroy_decompress(&info);
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    row = new unsigned char[static_cast<std::size_t>(width) * 3];
    while (info.output_scanline < info.output_height) {
        const int y = static_cast<int>(info.output_scanline);
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(&info, rows, 1);
        auto* out = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x)
            out[x] = 0xFF000000u | (std::uint32_t(row[3 * x]) << 16) | (std::uint32_t(row[3 * x + 1]) << 8) |
                     row[3 * x + 2];
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    delete[] row;
    cairo_surface_mark_dirty(surface);
    return surface;
}

} // namespace

cairo_surface_t* loadImageFile(const std::filesystem::path& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return nullptr;
    unsigned char magic[8] = {};
    const std::size_t n = std::fread(magic, 1, sizeof magic, file);
    std::rewind(file);
    cairo_surface_t* surface = nullptr;
    if (n >= 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) {
        surface = loadJpeg(file);
        std::fclose(file);
    } else {
        std::fclose(file);
        if (n == 8 && magic[0] == 0x89 && magic[1] == 'P' && magic[2] == 'N' && magic[3] == 'G') {
            surface = cairo_image_surface_create_from_png(path.c_str());
            if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
                cairo_surface_destroy(surface);
                surface = nullptr;
            }
        }
    }
    return surface;
}

} // namespace platform
