#include "platform/uikit/ImageFile.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <jpeglib.h> // after <cstdio>: it needs FILE and size_t
#include <png.h>

#include "platform/foundation/RegularFile.h"

namespace platform {

namespace {

// A picture's file may be this large (a 100-megapixel JPEG of the best quality stays below it).
constexpr std::size_t kMaxImageFileLength = 256u << 20;

// The orientation tag of a JPEG's EXIF block (APP1 "Exif\0\0" followed by a TIFF header).
int exifOrientation(const std::string& app1) {
    if (app1.size() < 14 || app1.compare(0, 6, std::string("Exif\0\0", 6)) != 0) return 1;
    const auto* tiff = reinterpret_cast<const unsigned char*>(app1.data()) + 6;
    const std::size_t size = app1.size() - 6;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
    auto u16 = [&](std::size_t i) -> unsigned {
        return little ? tiff[i] | (tiff[i + 1] << 8) : (tiff[i] << 8) | tiff[i + 1];
    };
    auto u32 = [&](std::size_t i) -> std::size_t {
        return little ? std::size_t(tiff[i]) | (std::size_t(tiff[i + 1]) << 8) |
                            (std::size_t(tiff[i + 2]) << 16) | (std::size_t(tiff[i + 3]) << 24)
                      : (std::size_t(tiff[i]) << 24) | (std::size_t(tiff[i + 1]) << 16) |
                            (std::size_t(tiff[i + 2]) << 8) | std::size_t(tiff[i + 3]);
    };
    const std::size_t ifd = u32(4);
    if (ifd + 2 > size) return 1;
    const unsigned entries = u16(ifd);
    for (unsigned e = 0; e < entries; ++e) {
        const std::size_t at = ifd + 2 + std::size_t(e) * 12;
        if (at + 12 > size) return 1;
        if (u16(at) == 0x0112) {
            const unsigned value = u16(at + 8);
            return value >= 1 && value <= 8 ? int(value) : 1;
        }
    }
    return 1;
}

ImageFileInfo jpegInfo(std::string_view bytes) {
    ImageFileInfo info;
    std::size_t at = 2; // past the start-of-image marker
    auto byte = [&]() -> int { return at < bytes.size() ? static_cast<unsigned char>(bytes[at++]) : -1; };
    for (;;) {
        int c = byte();
        if (c != 0xFF) return {};
        int marker;
        do
            marker = byte();
        while (marker == 0xFF);
        if (marker < 0 || marker == 0xD9 || marker == 0xDA) return {}; // no frame before the scan
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        const int hi = byte(), lo = byte();
        if (hi < 0 || lo < 0) return {};
        const int length = (hi << 8) | lo;
        if (length < 2) return {};
        const std::size_t payload = static_cast<std::size_t>(length - 2);
        // Only what is read of a segment must be there: a cut-short frame header still names the
        // size.
        const std::size_t present = std::min(payload, bytes.size() - at);
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
        const bool sof =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof) {
            // Precision, height and width are all we need of the frame header.
            if (length < 7 || present < 5) return {};
            info.height = (p[1] << 8) | p[2];
            info.width = (p[3] << 8) | p[4];
            if (info.width == 0 || info.height == 0) return {};
            info.format = ImageFormat::JPEG;
            return info;
        }
        if (marker == 0xE1) {
            if (present < payload) return {};
            if (int o = exifOrientation(std::string(bytes.substr(at, payload))); o != 1) info.orientation = o;
        }
        at += payload;
    }
}

ImageFileInfo infoOfBytes(std::string_view bytes) {
    const auto* head = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() >= 2 && head[0] == 0xFF && head[1] == 0xD8) return jpegInfo(bytes);
    static const unsigned char png[8] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
    if (bytes.size() < 24 || std::memcmp(head, png, 8) != 0 || std::memcmp(head + 12, "IHDR", 4) != 0)
        return {};
    auto be32 = [&](int i) {
        return int((unsigned(head[i]) << 24) | (unsigned(head[i + 1]) << 16) | (unsigned(head[i + 2]) << 8) |
                   unsigned(head[i + 3]));
    };
    ImageFileInfo info;
    info.width = be32(16);
    info.height = be32(20);
    if (info.width <= 0 || info.height <= 0) return {};
    info.format = ImageFormat::PNG;
    return info;
}

// A picture is read as a regular file only, so that a pipe or a device named where a picture
// should be (a stored photo path, a pick) is refused at once instead of blocking the screen.
RegularFile::Contents readImageBytes(const std::filesystem::path& path) {
    return RegularFile::read(path.string(), kMaxImageFileLength);
}

// cairo reads a PNG's rows from memory through this; libpng through the next.
struct PngSource {
    std::string_view bytes;
    std::size_t at = 0;
};

cairo_status_t readPng(void* closure, unsigned char* data, unsigned int length) {
    auto* source = static_cast<PngSource*>(closure);
    if (length > source->bytes.size() - source->at) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, source->bytes.data() + source->at, length);
    source->at += length;
    return CAIRO_STATUS_SUCCESS;
}

void readPngRows(png_structp png, png_bytep data, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->bytes.size() - source->at) png_error(png, "cut short");
    std::memcpy(data, source->bytes.data() + source->at, length);
    source->at += length;
}

void pngFail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void pngQuiet(png_structp, png_const_charp) {}

// How the source pixels along one side fall into fewer output pixels: each source pixel, a pixel
// wide, covers a stretch of `out / in` of the output, within one output pixel or across the border
// of two. `first[i]` is the output pixel it starts in and `weight[i]` how much of it (in 256ths)
// lies there; the rest lies in the next. `total[o]` is the weight each output pixel gathers.
struct Coverage {
    std::vector<int> first;
    std::vector<std::uint32_t> weight;
    std::vector<std::uint64_t> total;

    Coverage(int in, int out) : first(std::size_t(in)), weight(std::size_t(in)), total(std::size_t(out) + 1) {
        const double scale = double(out) / in;
        for (int i = 0; i < in; ++i) {
            const double from = i * scale, to = (i + 1) * scale;
            const int o = std::min(out - 1, static_cast<int>(from));
            const double inFirst = to <= o + 1 ? 1.0 : (o + 1 - from) / scale;
            first[std::size_t(i)] = o;
            weight[std::size_t(i)] = static_cast<std::uint32_t>(std::lround(inFirst * 256));
            total[std::size_t(o)] += weight[std::size_t(i)];
            total[std::size_t(o) + 1] += 256 - weight[std::size_t(i)];
        }
    }
};

// A PNG decoded a row at a time into `outW` x `outH` pixels, each the mean of the area of the
// picture it covers, so that a picture far larger than it is shown never sits in memory whole.
// Null with `interlaced` set for an interlaced file, whose rows come in seven passes over the
// whole picture. `w` x `h` is the size its header gives. Everything with a destructor is made
// before setjmp, so that a longjmp out of a damaged file skips none.
cairo_surface_t* decodePngReduced(std::string_view bytes, int w, int h, int outW, int outH,
                                  bool* interlaced) {
    *interlaced = false;
    const Coverage columns(w, outW), lines(h, outH);
    // Premultiplied colour and alpha of one source row gathered into output columns, and of the
    // output row being gathered and the one after it (a source pixel or row may straddle two).
    std::vector<std::uint64_t> across(std::size_t(outW + 1) * 4), rows(std::size_t(outW + 1) * 8);
    std::vector<unsigned char> row(std::size_t(w) * 4);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFail, pngQuiet);
    if (!png) return nullptr;
    png_infop info = png_create_info_struct(png);
    PngSource source{bytes};
    cairo_surface_t* volatile surface = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        if (surface) cairo_surface_destroy(surface);
        return nullptr;
    }
    if (!info) png_error(png, "no memory");
    png_set_read_fn(png, &source, readPngRows);
    // Every chunk's CRC still finds a damaged file; the checksum over the decompressed rows would
    // add a pass over hundreds of megabytes for nothing more.
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, color = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &color, &interlace, nullptr, nullptr);
    if (interlace != PNG_INTERLACE_NONE || int(width) != w || int(height) != h) {
        *interlaced = interlace != PNG_INTERLACE_NONE;
        png_destroy_read_struct(&png, &info, nullptr);
        return nullptr;
    }
    const bool alpha = (color & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    if (color == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (color == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (color == PNG_COLOR_TYPE_GRAY || color == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    surface = cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, outW, outH);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) png_error(png, "no memory");
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::uint64_t* current = rows.data();
    std::uint64_t* next = rows.data() + std::size_t(outW + 1) * 4;
    int outY = 0;
    const auto flush = [&] {
        auto* out = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(outY) * stride);
        for (int x = 0; x < outW; ++x) {
            const std::uint64_t* sum = current + 4 * x;
            const std::uint64_t total =
                std::max<std::uint64_t>(1, columns.total[std::size_t(x)] * lines.total[std::size_t(outY)]);
            const auto mean = [&](int c, std::uint64_t unit) {
                return std::uint32_t(
                    std::min<std::uint64_t>(255, (sum[c] + total * unit / 2) / (total * unit)));
            };
            out[x] = (mean(3, 1) << 24) | (mean(0, 255) << 16) | (mean(1, 255) << 8) | mean(2, 255);
        }
        std::swap(current, next);
        std::fill(next, next + std::size_t(outW + 1) * 4, 0);
        ++outY;
    };
    for (int y = 0; y < h; ++y) {
        png_read_row(png, row.data(), nullptr);
        std::fill(across.begin(), across.end(), 0);
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = row.data() + 4 * x;
            // Weighted by alpha, as cairo keeps its pixels premultiplied: a clear pixel adds no
            // colour.
            const std::uint64_t a = p[3], r = p[0] * a, g = p[1] * a, b = p[2] * a;
            const std::uint64_t inFirst = columns.weight[std::size_t(x)], inNext = 256 - inFirst;
            std::uint64_t* sum = across.data() + 4 * columns.first[std::size_t(x)];
            sum[0] += r * inFirst, sum[1] += g * inFirst, sum[2] += b * inFirst, sum[3] += a * inFirst;
            if (inNext)
                sum[4] += r * inNext, sum[5] += g * inNext, sum[6] += b * inNext, sum[7] += a * inNext;
        }
        while (lines.first[std::size_t(y)] > outY)
            flush();
        const std::uint64_t inFirst = lines.weight[std::size_t(y)], inNext = 256 - inFirst;
        for (std::size_t i = 0; i < across.size(); ++i) {
            current[i] += across[i] * inFirst;
            next[i] += across[i] * inNext;
        }
    }
    while (outY < outH)
        flush();
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    cairo_surface_mark_dirty(surface);
    return surface;
}

// `surface` resampled to exactly `width` x `height` (consumed); null when there is no memory.
cairo_surface_t* resampled(cairo_surface_t* surface, int width, int height) {
    const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    if (w == width && h == height) return surface;
    cairo_surface_t* out = cairo_image_surface_create(cairo_image_surface_get_format(surface), width, height);
    if (cairo_surface_status(out) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(out);
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_t* cr = cairo_create(out);
    cairo_scale(cr, double(width) / w, double(height) / h);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    cairo_surface_flush(out);
    return out;
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
};

void jpegFail(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->jump, 1);
}

// A warning means the data is corrupt or cut short (libjpeg fills in grey and goes on): the first
// one is kept, as the reason the picture is refused.
void jpegWarn(j_common_ptr info, int level) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    if (level < 0) {
        if (error->message[0] == '\0') (*info->err->format_message)(info, error->message);
        ++info->err->num_warnings;
    }
}

// One pixel of a four-channel JPEG. Adobe's files (the usual print logos) store the inks
// inverted; as viewers do, their values then are the light that remains.
std::uint32_t cmykPixel(const unsigned char* p, bool inverted) {
    unsigned c = p[0], m = p[1], y = p[2], k = p[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    const auto channel = [&](unsigned v) { return std::uint32_t((v * k + 127) / 255); };
    return 0xFF000000u | (channel(c) << 16) | (channel(m) << 8) | channel(y);
}

// Kept free of objects with destructors between setjmp and the last libjpeg call, so that a
// longjmp out of a corrupt file skips nothing that needs cleaning up except what we free here.
// `inkChannels` tells whether the file was CMYK or YCCK (then it is not embedded as it is).
// `eighths` scales the picture by that many eighths as it is decoded (libjpeg's DCT scaling): a
// smaller picture costs a fraction of the time and memory of the whole.
cairo_surface_t* decodeJpeg(const unsigned char* bytes, std::size_t size, std::string* reason,
                            bool* inkChannels, int eighths = 8) {
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegFail;
    error.manager.emit_message = jpegWarn;
    cairo_surface_t* volatile surface = nullptr;
    unsigned char* volatile row = nullptr;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        if (surface) cairo_surface_destroy(surface);
        delete[] row;
        if (reason) *reason = std::string("it is damaged (") + error.message + ")";
        return nullptr;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    const bool ink = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    const bool inverted = ink && info.saw_Adobe_marker;
    *inkChannels = ink;
    info.out_color_space = ink ? JCS_CMYK : JCS_RGB;
    info.scale_num = static_cast<unsigned>(eighths);
    info.scale_denom = 8;
    jpeg_start_decompress(&info);
    const int width = static_cast<int>(info.output_width), height = static_cast<int>(info.output_height);
    const int channels = static_cast<int>(info.output_components);
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS || channels != (ink ? 4 : 3)) {
        jpeg_destroy_decompress(&info);
        cairo_surface_destroy(surface);
        if (reason) *reason = "its colours cannot be read";
        return nullptr;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    row = new unsigned char[static_cast<std::size_t>(width) * static_cast<std::size_t>(channels)];
    while (info.output_scanline < info.output_height) {
        const int y = static_cast<int>(info.output_scanline);
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(&info, rows, 1);
        auto* out = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x)
            out[x] = ink ? cmykPixel(row + 4 * x, inverted)
                         : 0xFF000000u | (std::uint32_t(row[3 * x]) << 16) |
                               (std::uint32_t(row[3 * x + 1]) << 8) | row[3 * x + 2];
    }
    jpeg_finish_decompress(&info);
    const bool damaged = error.manager.num_warnings > 0;
    jpeg_destroy_decompress(&info);
    delete[] row;
    if (damaged) {
        cairo_surface_destroy(surface);
        if (reason) *reason = std::string("it is damaged or incomplete (") + error.message + ")";
        return nullptr;
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

// The surface turned upright: each orientation maps a shown pixel back to the stored one.
cairo_surface_t* applyOrientation(cairo_surface_t* stored, int orientation) {
    if (orientation <= 1 || orientation > 8) return stored;
    const double w = cairo_image_surface_get_width(stored), h = cairo_image_surface_get_height(stored);
    const bool turned = orientation >= 5;
    cairo_surface_t* shown = cairo_image_surface_create(cairo_image_surface_get_format(stored),
                                                        int(turned ? h : w), int(turned ? w : h));
    if (cairo_surface_status(shown) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(shown);
        cairo_surface_destroy(stored);
        return nullptr;
    }
    // cairo_matrix_init(xx, yx, xy, yy, x0, y0): stored x = xx*x + xy*y + x0, stored y = yx*x + yy*y + y0.
    cairo_matrix_t m;
    switch (orientation) {
    case 2:
        cairo_matrix_init(&m, -1, 0, 0, 1, w, 0);
        break;
    case 3:
        cairo_matrix_init(&m, -1, 0, 0, -1, w, h);
        break;
    case 4:
        cairo_matrix_init(&m, 1, 0, 0, -1, 0, h);
        break;
    case 5:
        cairo_matrix_init(&m, 0, 1, 1, 0, 0, 0);
        break;
    case 6:
        cairo_matrix_init(&m, 0, -1, 1, 0, 0, h);
        break;
    case 7:
        cairo_matrix_init(&m, 0, -1, -1, 0, w, h);
        break;
    default:
        cairo_matrix_init(&m, 0, 1, -1, 0, w, 0);
        break;
    }
    cairo_t* cr = cairo_create(shown);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(stored);
    cairo_pattern_set_matrix(pattern, &m);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
    cairo_set_source(cr, pattern);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_pattern_destroy(pattern);
    cairo_destroy(cr);
    cairo_surface_destroy(stored);
    cairo_surface_flush(shown);
    return shown;
}

} // namespace

CGSize ImageFileInfo::orientedSize() const {
    if (orientation >= 5) return {double(height), double(width)};
    return {double(width), double(height)};
}

ImageFileInfo readImageFileInfo(const std::filesystem::path& path) {
    auto contents = readImageBytes(path);
    return contents.bytes ? infoOfBytes(*contents.bytes) : ImageFileInfo{};
}

cairo_surface_t* loadImageFile(const std::filesystem::path& path, std::string* reason, CGSize atMost) {
    const auto fail = [&](const std::string& why) -> cairo_surface_t* {
        if (reason) *reason = why;
        return nullptr;
    };
    auto contents = readImageBytes(path);
    if (!contents.bytes) return fail("it " + contents.why);
    const std::string& file = *contents.bytes;
    const ImageFileInfo info = infoOfBytes(file);
    if (info.format == ImageFormat::None) return fail("it is not a PNG or JPEG image");
    if (double(info.width) * double(info.height) > kMaxImagePixels)
        return fail("it claims " + std::to_string(info.width) + " \u00D7 " + std::to_string(info.height) +
                    " pixels, more than the 100 megapixels a picture may have");
    const CGSize shown = info.orientedSize();
    double fit = 1;
    if (atMost.width > 0 && atMost.height > 0)
        fit = std::min({1.0, atMost.width / shown.width, atMost.height / shown.height});
    // The size it is decoded to, as stored (the orientation turns it afterwards).
    const int targetWidth = std::max(1, static_cast<int>(std::lround(info.width * fit)));
    const int targetHeight = std::max(1, static_cast<int>(std::lround(info.height * fit)));
    const bool reduced = targetWidth < info.width || targetHeight < info.height;
    const auto shrunk = [&](cairo_surface_t* surface) -> cairo_surface_t* {
        surface = resampled(surface, targetWidth, targetHeight);
        if (!surface) return fail("there is not enough memory to open it");
        return applyOrientation(surface, info.orientation);
    };
    // cairo reports libpng's complaints as lack of memory; the size is bounded above, so it is the
    // file.
    const std::string damaged = "it is damaged or incomplete";
    if (info.format == ImageFormat::PNG) {
        if (reduced) {
            bool interlaced = false;
            if (cairo_surface_t* surface =
                    decodePngReduced(file, info.width, info.height, targetWidth, targetHeight, &interlaced))
                return shrunk(surface);
            if (!interlaced) return fail(damaged);
        }
        PngSource source{file};
        cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(readPng, &source);
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(surface);
            return fail(damaged);
        }
        return reduced ? shrunk(surface) : surface;
    }
    bool ink = false;
    if (reduced) {
        // The fewest eighths that still give at least the pixels wanted; cairo takes it the rest of
        // the way. The file's own bytes no longer match the pixels, so none are kept.
        int eighths = 1;
        while (eighths < 8 && ((info.width * eighths + 7) / 8 < targetWidth ||
                               (info.height * eighths + 7) / 8 < targetHeight))
            ++eighths;
        const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
        cairo_surface_t* surface = decodeJpeg(bytes, file.size(), reason, &ink, eighths);
        return surface ? shrunk(surface) : nullptr;
    }
    const std::size_t size = file.size();
    auto* bytes = static_cast<unsigned char*>(std::malloc(size ? size : 1));
    if (!bytes) return fail("there is not enough memory to open it");
    std::memcpy(bytes, file.data(), size);
    cairo_surface_t* surface = decodeJpeg(bytes, size, reason, &ink);
    if (!surface) {
        std::free(bytes);
        return nullptr;
    }
    // A PDF would embed ink channels as they are, and readers differ on inverted ones: those go in
    // as the RGB pixels decoded here.
    if (info.orientation != 1 || ink) {
        std::free(bytes);
        return applyOrientation(surface, info.orientation);
    }
    if (cairo_surface_set_mime_data(surface, CAIRO_MIME_TYPE_JPEG, bytes, size, std::free, bytes) !=
        CAIRO_STATUS_SUCCESS)
        std::free(bytes);
    return surface;
}

} // namespace platform
