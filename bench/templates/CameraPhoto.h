#pragma once
// A camera-like JPEG for the picture benchmarks: smooth gradients with some grain, so that it
// compresses as photos do. Made at run time, so no large picture lives in the repository.

#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include <jpeglib.h>

namespace quillora::bench {

inline void writeCameraPhoto(const std::filesystem::path& path, int width, int height, int quality) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::minstd_rand grain(7);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            const int g = static_cast<int>(grain() % 8);
            row[3 * x] = static_cast<unsigned char>((x * 200 / width) + g);
            row[3 * x + 1] = static_cast<unsigned char>((y * 180 / height) + g);
            row[3 * x + 2] = static_cast<unsigned char>(((x + y) % 1024) / 8 + g);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

} // namespace quillora::bench
