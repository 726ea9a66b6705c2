#include "tests/support/ImageCompare.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

#include <cairo.h>

namespace quillora::test {

namespace {
struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

Surface load(const std::filesystem::path& path) {
    Surface s(cairo_image_surface_create_from_png(path.c_str()));
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    return s;
}

// Red, green, blue of a pixel over white (so that transparency compares as what a person sees).
void rgb(const unsigned char* data, int stride, int x, int y, int out[3]) {
    const auto pixel = *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
    const int a = (pixel >> 24) & 0xff;
    // Premultiplied components; composite over white.
    out[0] = static_cast<int>((pixel >> 16) & 0xff) + (255 - a);
    out[1] = static_cast<int>((pixel >> 8) & 0xff) + (255 - a);
    out[2] = static_cast<int>(pixel & 0xff) + (255 - a);
}

bool updatingGoldens() {
    const char* value = std::getenv("QUILLORA_UPDATE_GOLDENS");
    return value && std::string(value) == "1";
}

std::filesystem::path beside(const std::filesystem::path& expected, const std::string& suffix) {
    auto p = expected;
    p.replace_filename(expected.stem().string() + suffix);
    return p;
}
} // namespace

ImageComparison compareImages(const std::filesystem::path& actualPath,
                              const std::filesystem::path& expectedPath, const ImageTolerance& tolerance) {
    ImageComparison result;
    Surface actual = load(actualPath);
    Surface expected = load(expectedPath);
    if (!actual || !expected) {
        result.message = "cannot read " + (!actual ? actualPath : expectedPath).string();
        return result;
    }
    const int w = cairo_image_surface_get_width(actual.get()),
              h = cairo_image_surface_get_height(actual.get());
    if (w != cairo_image_surface_get_width(expected.get()) ||
        h != cairo_image_surface_get_height(expected.get())) {
        std::ostringstream os;
        os << "size " << w << "x" << h << " differs from the expected "
           << cairo_image_surface_get_width(expected.get()) << "x"
           << cairo_image_surface_get_height(expected.get());
        result.message = os.str();
        return result;
    }
    cairo_surface_flush(actual.get());
    cairo_surface_flush(expected.get());
    const unsigned char* a = cairo_image_surface_get_data(actual.get());
    const unsigned char* e = cairo_image_surface_get_data(expected.get());
    const int sa = cairo_image_surface_get_stride(actual.get()),
              se = cairo_image_surface_get_stride(expected.get());

    const int block = std::max(1, tolerance.blockSize);
    const int bw = (w + block - 1) / block, bh = (h + block - 1) / block;
    std::vector<bool> differs(static_cast<std::size_t>(bw) * bh, false);
    long differing = 0;
    for (int by = 0; by < bh; ++by) {
        for (int bx = 0; bx < bw; ++bx) {
            long sumA[3] = {0, 0, 0}, sumE[3] = {0, 0, 0};
            int count = 0;
            for (int y = by * block; y < std::min(h, (by + 1) * block); ++y) {
                for (int x = bx * block; x < std::min(w, (bx + 1) * block); ++x) {
                    int pa[3], pe[3];
                    rgb(a, sa, x, y, pa);
                    rgb(e, se, x, y, pe);
                    for (int c = 0; c < 3; ++c) {
                        sumA[c] += pa[c];
                        sumE[c] += pe[c];
                    }
                    ++count;
                }
            }
            bool blockDiffers = false;
            for (int c = 0; c < 3; ++c)
                if (std::labs(sumA[c] - sumE[c]) > static_cast<long>(tolerance.channelThreshold) * count)
                    blockDiffers = true;
            if (blockDiffers) {
                differs[static_cast<std::size_t>(by) * bw + bx] = true;
                ++differing;
            }
        }
    }
    result.differingFraction = static_cast<double>(differing) / (static_cast<double>(bw) * bh);
    result.matches = result.differingFraction <= tolerance.maxDifferingFraction;
    if (!result.matches) {
        // The difference: the expected picture faded, the differing blocks in red.
        Surface diff(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
        cairo_t* cr = cairo_create(diff.get());
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_source_surface(cr, expected.get(), 0, 0);
        cairo_paint_with_alpha(cr, 0.3);
        cairo_set_source_rgba(cr, 1, 0, 0, 0.8);
        for (int by = 0; by < bh; ++by)
            for (int bx = 0; bx < bw; ++bx)
                if (differs[static_cast<std::size_t>(by) * bw + bx])
                    cairo_rectangle(cr, bx * block, by * block, block, block);
        cairo_fill(cr);
        cairo_destroy(cr);
        const auto diffPath = beside(expectedPath, ".diff.png");
        cairo_surface_write_to_png(diff.get(), diffPath.c_str());
        std::ostringstream os;
        os << "differs from " << expectedPath.string() << " in " << differing << " of " << bw * bh
           << " blocks (" << result.differingFraction * 100 << "%, at most "
           << tolerance.maxDifferingFraction * 100 << "% allowed); difference in " << diffPath.string();
        result.message = os.str();
    }
    return result;
}

ImageComparison compareWithGolden(const std::filesystem::path& actual, const std::filesystem::path& expected,
                                  const ImageTolerance& tolerance) {
    std::error_code ec;
    if (updatingGoldens()) {
        std::filesystem::create_directories(expected.parent_path(), ec);
        std::filesystem::copy_file(actual, expected, std::filesystem::copy_options::overwrite_existing, ec);
        ImageComparison result;
        result.matches = !ec;
        if (ec) result.message = "cannot update " + expected.string() + ": " + ec.message();
        return result;
    }
    const auto actualCopy = beside(expected, ".actual.png");
    if (!std::filesystem::exists(expected)) {
        std::filesystem::copy_file(actual, actualCopy, std::filesystem::copy_options::overwrite_existing, ec);
        ImageComparison result;
        result.message = "no golden picture " + expected.string() + " (the actual one is " +
                         actualCopy.string() + "; QUILLORA_UPDATE_GOLDENS=1 writes it)";
        return result;
    }
    ImageComparison result = compareImages(actual, expected, tolerance);
    if (!result.matches) {
        std::filesystem::copy_file(actual, actualCopy, std::filesystem::copy_options::overwrite_existing, ec);
        result.message += "; actual in " + actualCopy.string();
    } else {
        std::filesystem::remove(actualCopy, ec);
        std::filesystem::remove(beside(expected, ".diff.png"), ec);
    }
    return result;
}

} // namespace quillora::test
