#pragma once
// Image files for the layout tests, and the PDF readers every PDF test shares.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <cairo.h>
#include <jpeglib.h>

#include "tests/support/PdfTools.h"

namespace quillora::test {

// A solid-colour PNG of w x h pixels.
inline void writePng(const std::filesystem::path& path, int w, int h, double r, double g, double b) {
    std::filesystem::create_directories(path.parent_path());
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, r, g, b);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
}

// A solid-colour JPEG of w x h pixels.
inline void writeJpeg(const std::filesystem::path& path, int w, int h, unsigned char r, unsigned char g,
                      unsigned char b) {
    std::filesystem::create_directories(path.parent_path());
    FILE* file = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(w);
    info.image_height = static_cast<JDIMENSION>(h);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(w) * 3);
    for (int x = 0; x < w; ++x)
        row[3 * x] = r, row[3 * x + 1] = g, row[3 * x + 2] = b;
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

} // namespace quillora::test
