#pragma once
// Reading PDFs back with poppler's command-line tools, as a person checking the output would.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <cairo.h>
#include <jpeglib.h>

namespace quillora::test {

inline std::string run(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

inline std::string quoted(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

inline int pdfPageCount(const std::filesystem::path& pdf) {
    std::string info = run("pdfinfo " + quoted(pdf));
    auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

// Every page's size as pdfinfo prints it ("595.2 x 841.8").
inline std::vector<std::string> pdfPageSizes(const std::filesystem::path& pdf) {
    std::vector<std::string> sizes;
    std::string info = run("pdfinfo -f 1 -l 1000 " + quoted(pdf));
    std::istringstream lines(info);
    for (std::string line; std::getline(lines, line);) {
        auto at = line.find(" size:");
        if (line.rfind("Page ", 0) != 0 || at == std::string::npos) continue;
        auto begin = line.find_first_not_of(' ', at + 6);
        sizes.push_back(line.substr(begin, line.find(" pts", begin) - begin));
    }
    return sizes;
}

// The text of one page (1-based), line by line, blank lines dropped.
inline std::vector<std::string> pdfPageLines(const std::filesystem::path& pdf, int page,
                                             bool layout = false) {
    std::string text = run("pdftotext " + std::string(layout ? "-layout " : "") + "-f " +
                           std::to_string(page) + " -l " + std::to_string(page) + " " + quoted(pdf) + " -");
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n' || c == '\f') {
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

inline void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

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
