#include "tests/support/ImageCompare.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

    auto close = [&](const unsigned char* p, int sp, int x, int y, const unsigned char* q, int sq, int qx,
                     int qy) {
        int a[3], b[3];
        rgb(p, sp, x, y, a);
        rgb(q, sq, qx, qy, b);
        for (int c = 0; c < 3; ++c)
            if (std::abs(a[c] - b[c]) > tolerance.channelThreshold) return false;
        return true;
    };
    // Whether pixel (x, y) of `p` finds a pixel of about its colour near it in `q`.
    auto matched = [&](const unsigned char* p, int sp, const unsigned char* q, int sq, int x, int y) {
        if (close(p, sp, x, y, q, sq, x, y)) return true;
        const int r = std::max(0, tolerance.radius);
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx) {
                const int qx = x + dx, qy = y + dy;
                if (qx < 0 || qy < 0 || qx >= w || qy >= h) continue;
                if (close(p, sp, x, y, q, sq, qx, qy)) return true;
            }
        return false;
    };
    std::vector<bool> unmatched(static_cast<std::size_t>(w) * h, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (!matched(a, sa, e, se, x, y) || !matched(e, se, a, sa, x, y))
                unmatched[static_cast<std::size_t>(y) * w + x] = true;
    // Only solid patches count: a pixel whose whole 3 x 3 neighbourhood is unmatched. What hinting
    // changes are strokes a pixel or two thin; a moved, missing or recoloured control is an area.
    std::vector<bool> differs(static_cast<std::size_t>(w) * h, false);
    long differing = 0;
    for (int y = 1; y + 1 < h; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            bool solid = unmatched[static_cast<std::size_t>(y) * w + x];
            for (int dy = -1; dy <= 1 && solid && !tolerance.countStrokes; ++dy)
                for (int dx = -1; dx <= 1 && solid; ++dx)
                    solid = unmatched[static_cast<std::size_t>(y + dy) * w + x + dx];
            if (solid) {
                differs[static_cast<std::size_t>(y) * w + x] = true;
                ++differing;
            }
        }
    result.differingFraction = static_cast<double>(differing) / (static_cast<double>(w) * h);
    result.matches = result.differingFraction <= tolerance.maxDifferingFraction;
    if (!result.matches) {
        // The difference: the expected picture faded, the differing pixels in red.
        Surface diff(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
        cairo_t* cr = cairo_create(diff.get());
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_source_surface(cr, expected.get(), 0, 0);
        cairo_paint_with_alpha(cr, 0.3);
        cairo_set_source_rgba(cr, 1, 0, 0, 0.8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (differs[static_cast<std::size_t>(y) * w + x]) cairo_rectangle(cr, x, y, 1, 1);
        cairo_fill(cr);
        cairo_destroy(cr);
        const auto diffPath = beside(expectedPath, ".diff.png");
        cairo_surface_write_to_png(diff.get(), diffPath.c_str());
        std::ostringstream os;
        os << "differs from " << expectedPath.string() << " in " << differing << " of " << w * h
           << " pixels (" << result.differingFraction * 100 << "%, at most "
           << tolerance.maxDifferingFraction * 100 << "% allowed); difference in " << diffPath.string();
        result.message = os.str();
    }
    return result;
}

bool samePixels(const std::filesystem::path& aPath, const std::filesystem::path& bPath) {
    Surface a = load(aPath), b = load(bPath);
    if (!a || !b) return false;
    const int w = cairo_image_surface_get_width(a.get()), h = cairo_image_surface_get_height(a.get());
    if (w != cairo_image_surface_get_width(b.get()) || h != cairo_image_surface_get_height(b.get()) ||
        cairo_image_surface_get_format(a.get()) != cairo_image_surface_get_format(b.get()))
        return false;
    cairo_surface_flush(a.get());
    cairo_surface_flush(b.get());
    const int sa = cairo_image_surface_get_stride(a.get()), sb = cairo_image_surface_get_stride(b.get());
    const unsigned char* pa = cairo_image_surface_get_data(a.get());
    const unsigned char* pb = cairo_image_surface_get_data(b.get());
    // Row by row: the padding at a row's end is no pixel.
    for (int y = 0; y < h; ++y)
        if (std::memcmp(pa + y * sa, pb + y * sb, static_cast<std::size_t>(w) * 4) != 0) return false;
    return true;
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
        std::filesystem::create_directories(expected.parent_path(), ec);
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

int inkIn(const std::filesystem::path& picture, const platform::CGRect& area,
          const std::vector<platform::CGRect>& leftOut) {
    const Surface image = load(picture);
    if (!image) return -1;
    const int width = cairo_image_surface_get_width(image.get());
    const int height = cairo_image_surface_get_height(image.get());
    const int stride = cairo_image_surface_get_stride(image.get());
    const unsigned char* data = cairo_image_surface_get_data(image.get());
    const int left = std::max(0, static_cast<int>(area.minX()));
    const int right = std::min(width, static_cast<int>(area.maxX()));
    const int top = std::max(0, static_cast<int>(area.minY()));
    const int bottom = std::min(height, static_cast<int>(area.maxY()));
    int ink = 0;
    for (int y = top; y < bottom - 1; ++y)
        for (int x = left; x < right; ++x) {
            const bool out = std::any_of(leftOut.begin(), leftOut.end(), [&](const platform::CGRect& r) {
                return x >= r.minX() && x < r.maxX() && y >= r.minY() && y < r.maxY();
            });
            int here[3], foot[3];
            rgb(data, stride, x, y, here);
            rgb(data, stride, x, bottom - 1, foot);
            ink += !out && (here[0] != foot[0] || here[1] != foot[1] || here[2] != foot[2]);
        }
    return ink;
}

int darkIn(const std::filesystem::path& picture, const platform::CGRect& area,
           const std::vector<platform::CGRect>& leftOut) {
    const Surface image = load(picture);
    if (!image) return -1;
    const int width = cairo_image_surface_get_width(image.get());
    const int height = cairo_image_surface_get_height(image.get());
    const int stride = cairo_image_surface_get_stride(image.get());
    const unsigned char* data = cairo_image_surface_get_data(image.get());
    int dark = 0;
    for (int y = std::max(0, static_cast<int>(area.minY()));
         y < std::min(height, static_cast<int>(area.maxY())); ++y)
        for (int x = std::max(0, static_cast<int>(area.minX()));
             x < std::min(width, static_cast<int>(area.maxX())); ++x) {
            const bool out = std::any_of(leftOut.begin(), leftOut.end(), [&](const platform::CGRect& r) {
                return x >= r.minX() && x < r.maxX() && y >= r.minY() && y < r.maxY();
            });
            int here[3];
            rgb(data, stride, x, y, here);
            dark += !out && std::max({here[0], here[1], here[2]}) < 128;
        }
    return dark;
}

} // namespace quillora::test
