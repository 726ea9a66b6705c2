// Images read from files: header size and orientation, pixels decoded upright, JPEG encoding; and
// the photo picker's answers to its delegate.

#include <cairo.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include <jpeglib.h>

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSURL.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImagePickerController.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {

// A JPEG of w x h pixels, red on the left half and blue on the right, with an EXIF orientation.
void writeOrientedJpeg(const std::filesystem::path& path, int w, int h, int orientation) {
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
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    // "Exif\0\0", a big-endian TIFF header and one IFD entry: tag 0x0112, SHORT, count 1.
    const unsigned char exif[] = {
        'E', 'x', 'i', 'f',  0,    0, 'M', 'M', 0, 42, 0, 0, 0,
        8,   0,   1,   0x01, 0x12, 0, 3,   0,   0, 0,  1, 0, static_cast<unsigned char>(orientation),
        0,   0,   0,   0,    0,    0};
    jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif);
    std::vector<unsigned char> row(static_cast<std::size_t>(w) * 3);
    for (int x = 0; x < w; ++x) {
        const bool left = x < w / 2;
        row[3 * x] = left ? 255 : 0, row[3 * x + 1] = 0, row[3 * x + 2] = left ? 0 : 255;
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

// The pixel's red and blue, 0-255.
std::pair<int, int> redBlue(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const auto* row =
        cairo_image_surface_get_data(s) + static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(s);
    const std::uint32_t p = reinterpret_cast<const std::uint32_t*>(row)[x];
    return {int(p >> 16 & 0xFF), int(p & 0xFF)};
}

void writePng(const std::filesystem::path& path, int w, int h, double alpha) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgba(cr, 0, 0, 1, alpha);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
}

// A PNG of w x h pixels in stripes one pixel wide: opaque red and, in every other column,
// half-transparent blue (or opaque blue when `alpha` is false).
void writeStripedPng(const std::filesystem::path& path, int w, int h, bool alpha) {
    cairo_surface_t* s = cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, 0, 0, 1, alpha ? 0.5 : 1);
    for (int x = 1; x < w; x += 2)
        cairo_rectangle(cr, x, 0, 1, h);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
}

// The pixel as stored (premultiplied): alpha, red, green, blue.
std::array<int, 4> argb(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const auto* row =
        cairo_image_surface_get_data(s) + static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(s);
    const std::uint32_t p = reinterpret_cast<const std::uint32_t*>(row)[x];
    const bool opaque = cairo_image_surface_get_format(s) == CAIRO_FORMAT_RGB24;
    return {opaque ? 255 : int(p >> 24), int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF)};
}

// The first `keep` bytes of a file, as a copy cut short would hold.
void truncateFile(const std::filesystem::path& from, const std::filesystem::path& to, std::uintmax_t keep) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(to, keep);
}

class ImageAndPickerTest : public quillora::test::PlatformTest {};

TEST_F(ImageAndPickerTest, ALargePictureIsDecodedScaledDownToFitAndItsDamageIsStillFound) {
    const auto wide = home / "wide.jpg", turned = home / "turned.jpg", opaque = home / "opaque.png",
               clear = home / "clear.png";
    writeOrientedJpeg(wide, 3000, 1000, 1);
    writeOrientedJpeg(turned, 3000, 1000, 6);
    writeStripedPng(opaque, 2400, 1200, false);
    writeStripedPng(clear, 2400, 1200, true);
    struct Case {
        std::filesystem::path file;
        CGSize atMost;
        int width, height;
    };
    const std::vector<Case> cases{
        {wide, {600, 600}, 600, 200},     // libjpeg's eighths, then cairo to the size
        {wide, {5000, 5000}, 3000, 1000}, // fits already: whole
        {turned, {600, 600}, 200, 600},   // the shown (turned) size fits
        {opaque, {300, 300}, 300, 150},   // a PNG a few rows at a time
        {clear, {1000, 1000}, 1000, 500}, // not a whole number of pixels per pixel
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.filename().string() + " in " + std::to_string(int(c.atMost.width)));
        std::string why;
        cairo_surface_t* s = loadImageFile(c.file, &why, c.atMost);
        ASSERT_NE(s, nullptr) << why;
        EXPECT_EQ(cairo_image_surface_get_width(s), c.width);
        EXPECT_EQ(cairo_image_surface_get_height(s), c.height);
        if (c.file == turned) {
            // The stored left (red) half is the shown top.
            EXPECT_GT(argb(s, 100, 20)[1], 200);
            EXPECT_GT(argb(s, 100, 580)[3], 200);
        } else if (c.file == wide) {
            EXPECT_GT(argb(s, 10, 10)[1], 200);
            EXPECT_GT(argb(s, c.width - 10, 10)[3], 200);
        } else {
            // Red and blue stripes average to their mix (over a few pixels: at 2.4 stripes a pixel
            // one holds more red, the next more blue); transparency is averaged premultiplied, so
            // the half-clear blue weighs half as much as the opaque red.
            std::array<int, 4> mixed{};
            for (int i = 0; i < 4; ++i) {
                for (int x = c.width / 2; x < c.width / 2 + 10; ++x)
                    mixed[i] += argb(s, x, c.height / 2)[i];
                mixed[i] = (mixed[i] + 5) / 10;
            }
            if (c.file == opaque) {
                EXPECT_EQ(mixed[0], 255);
                EXPECT_NEAR(mixed[1], 128, 3);
                EXPECT_NEAR(mixed[3], 128, 3);
            } else {
                EXPECT_NEAR(mixed[0], 191, 3);
                EXPECT_NEAR(mixed[1], 128, 3);
                EXPECT_NEAR(mixed[3], 64, 3);
            }
        }
        cairo_surface_destroy(s);
    }

    // Scaled down or not, the whole file is read: a copy cut short is refused with the reason.
    for (const auto& file : {wide, opaque}) {
        const auto cut = home / ("cut" + file.extension().string());
        truncateFile(file, cut, std::filesystem::file_size(file) * 2 / 3);
        std::string why;
        EXPECT_EQ(loadImageFile(cut, &why, {300, 300}), nullptr) << cut;
        EXPECT_NE(why.find("damaged or incomplete"), std::string::npos) << why;
    }

    // A picture kept for the screen and for copies is never decoded past kMaxDecodedImageSide.
    const auto huge = home / "huge.png";
    writeStripedPng(huge, 9000, 300, false);
    UIImage image("huge", huge);
    EXPECT_EQ(image.size(), (CGSize{9000, 300})) << "the size is the file's";
    ASSERT_NE(image.surface(), nullptr);
    EXPECT_EQ(cairo_image_surface_get_width(image.surface()), 4096);
    EXPECT_EQ(cairo_image_surface_get_height(image.surface()), 137);
}

TEST_F(ImageAndPickerTest, AnExifOrientationTurnsTheSizeAndThePixels) {
    const auto plain = home / "plain.jpg", turned = home / "turned.jpg", flipped = home / "flipped.jpg";
    writeOrientedJpeg(plain, 40, 20, 1);
    writeOrientedJpeg(turned, 40, 20, 6);  // shown turned a quarter clockwise
    writeOrientedJpeg(flipped, 40, 20, 3); // shown upside down
    UIImage a("plain", plain), b("turned", turned), c("flipped", flipped);
    EXPECT_EQ(a.size(), (CGSize{40, 20}));
    EXPECT_EQ(b.size(), (CGSize{20, 40}));
    EXPECT_EQ(c.size(), (CGSize{40, 20}));
    ASSERT_NE(b.surface(), nullptr);
    // The upright JPEG keeps its own bytes for PDFs; a turned one does not.
    const unsigned char* data = nullptr;
    unsigned long length = 0;
    cairo_surface_get_mime_data(a.surface(), CAIRO_MIME_TYPE_JPEG, &data, &length);
    EXPECT_EQ(length, std::filesystem::file_size(plain));
    cairo_surface_get_mime_data(b.surface(), CAIRO_MIME_TYPE_JPEG, &data, &length);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(cairo_image_surface_get_width(b.surface()), 20);
    EXPECT_EQ(cairo_image_surface_get_height(b.surface()), 40);
    // The stored left (red) half is the shown top after a clockwise quarter turn.
    EXPECT_GT(redBlue(b.surface(), 5, 2).first, 200);
    EXPECT_GT(redBlue(b.surface(), 5, 37).second, 200);
    // Upside down: red is on the right.
    EXPECT_GT(redBlue(c.surface(), 37, 5).first, 200);
    EXPECT_GT(redBlue(c.surface(), 2, 5).second, 200);
    EXPECT_GT(redBlue(a.surface(), 2, 5).first, 200);
}

TEST_F(ImageAndPickerTest, JpegRepresentationEncodesThePixelsUprightOrSaysItCannot) {
    const auto turned = home / "turned.jpg", png = home / "half.png", junk = home / "junk.png";
    writeOrientedJpeg(turned, 40, 20, 8);
    writePng(png, 12, 6, 0.5);
    quillora::test::writeFile(junk, "\x89PNG\r\n\x1a\n but nothing after");

    auto jpeg = UIImageJPEGRepresentation(UIImage("turned", turned), 1.0);
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->bytes().substr(0, 3), "\xFF\xD8\xFF");
    const auto copy = home / "copy.jpg";
    ASSERT_TRUE(jpeg->writeToFile_atomically(copy.string(), true));
    UIImage back("copy", copy);
    EXPECT_EQ(back.size(), (CGSize{20, 40})) << "written upright, with no orientation left to apply";
    EXPECT_EQ(readImageFileInfo(copy).orientation, 1);
    auto low = UIImageJPEGRepresentation(UIImage("turned", turned), 0.1);
    ASSERT_TRUE(low);
    EXPECT_LT(low->length(), jpeg->length());

    // Half-transparent blue laid on white comes out light blue.
    auto half = UIImageJPEGRepresentation(UIImage("half", png), 1.0);
    ASSERT_TRUE(half);
    const auto halfCopy = home / "half.jpg";
    ASSERT_TRUE(half->writeToFile_atomically(halfCopy.string(), false));
    UIImage shown("half", halfCopy);
    auto [red, blue] = redBlue(shown.surface(), 3, 3);
    EXPECT_NEAR(red, 128, 6);
    EXPECT_GT(blue, 245);

    EXPECT_FALSE(UIImageJPEGRepresentation(UIImage("junk", junk), 1.0));
    EXPECT_FALSE(UIImageJPEGRepresentation(UIImage("none", home / "missing.png"), 1.0));
    // A write into a missing folder fails and says so.
    EXPECT_FALSE(jpeg->writeToFile_atomically((home / "no" / "such" / "x.jpg").string(), true));
    EXPECT_EQ(NSTemporaryDirectory(), (home / "tmp").string() + "/");
}

struct Delegate : NSObject, UINavigationControllerDelegate, UIImagePickerControllerDelegate {
    std::vector<UIImagePickerInfo> picks;
    int cancels = 0;
    void imagePickerController_didFinishPickingMediaWithInfo(UIImagePickerController&,
                                                             const UIImagePickerInfo& info) override {
        picks.push_back(info);
    }
    void imagePickerControllerDidCancel(UIImagePickerController&) override { ++cancels; }
};

TEST_F(ImageAndPickerTest, ThePickerHandsItsDelegateTheImageAndItsFileUrlOrRefuses) {
    auto picker = std::make_shared<UIImagePickerController>();
    auto delegate = std::make_shared<Delegate>();
    picker->setDelegate(delegate);
    const auto photo = home / "my photo#2.jpg";
    writeOrientedJpeg(photo, 8, 4, 1);
    quillora::test::writeFile(home / "doc.pdf", "%PDF-1.4");

    ASSERT_FALSE(picker->pickFile(photo.string()));
    ASSERT_EQ(delegate->picks.size(), 1u);
    const auto& info = delegate->picks[0];
    auto image = std::any_cast<std::shared_ptr<UIImage>>(info.at(UIImagePickerControllerOriginalImage));
    EXPECT_EQ(image->size(), (CGSize{8, 4}));
    const auto url = std::any_cast<NSURL>(info.at(UIImagePickerControllerImageURL));
    EXPECT_EQ(url.lastPathComponent(), "my photo#2.jpg");
    EXPECT_EQ(url.path(), photo.string());

    auto refused = picker->pickFile((home / "doc.pdf").string());
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->find("is not a PNG or JPEG image"), std::string::npos);
    EXPECT_TRUE(picker->pickFile((home / "absent.jpg").string()));
    EXPECT_TRUE(picker->pickFile(home.string())) << "a folder is no photo";
    EXPECT_EQ(delegate->picks.size(), 1u);
    picker->cancel();
    EXPECT_EQ(delegate->cancels, 1);

    // The delegate is held weakly.
    delegate.reset();
    EXPECT_EQ(picker->delegate(), nullptr);
    EXPECT_FALSE(picker->pickFile(photo.string()));
}

} // namespace

namespace {
// The largest difference of a colour channel between two pictures of the same size.
int largestDifference(cairo_surface_t* a, cairo_surface_t* b) {
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    int largest = 0;
    for (int y = 0; y < cairo_image_surface_get_height(a); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(a); ++x)
            for (int c = 0; c < 4; ++c) {
                const auto channel = [&](cairo_surface_t* s) {
                    return int(
                        cairo_image_surface_get_data(s)[y * cairo_image_surface_get_stride(s) + 4 * x + c]);
                };
                largest = std::max(largest, std::abs(channel(a) - channel(b)));
            }
    return largest;
}
} // namespace

TEST_F(ImageAndPickerTest, AStillImageIsResampledOnceAndDrawnAsItWouldBeResampledEveryTime) {
    // A picture with detail in every pixel, so that any sampling error shows.
    const auto png = home / "stripes.png";
    {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 30);
        cairo_t* cr = cairo_create(s);
        for (int x = 0; x < 40; ++x) {
            cairo_rectangle(cr, x, 0, 1, 30);
            cairo_set_source_rgba(cr, x % 2, (x * 7 % 11) / 10.0, 1 - x / 40.0, x % 3 ? 1 : 0.5);
            cairo_fill(cr);
        }
        cairo_destroy(cr);
        cairo_surface_write_to_png(s, png.c_str());
        cairo_surface_destroy(s);
    }
    UIImage image("stripes", png);
    cairo_matrix_t toDevice;
    cairo_matrix_init(&toDevice, 2.37, 0, 0, 1.61, 10.3, 7.8);
    cairo_matrix_t first;
    cairo_matrix_init(&first, 0.5, 0, 0, 0.5, 0, 0);
    EXPECT_TRUE(image.resampled(first)) << "the image's first placement is kept at once";
    EXPECT_FALSE(image.resampled(toDevice)) << "a later placement seen once is drawn straight";
    const auto kept = image.resampled(toDevice);
    ASSERT_TRUE(kept);
    EXPECT_EQ(image.resampled(toDevice)->surface, kept->surface) << "and kept while it is seen again";

    // Copied pixel for pixel it is the image drawn through the matrix, within rounding.
    auto draw = [&](const cairo_matrix_t& m, bool throughCache) {
        cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 140, 80);
        cairo_t* cr = cairo_create(out);
        cairo_set_source_rgb(cr, 0.2, 0.4, 0.6);
        cairo_paint(cr);
        cairo_set_matrix(cr, &m);
        cairo_rectangle(cr, 0, 0, 40, 30); // as a picture is drawn: cut at its edges
        cairo_clip(cr);
        if (throughCache) {
            const auto pixels = image.resampled(m);
            EXPECT_TRUE(pixels);
            cairo_identity_matrix(cr);
            if (pixels) cairo_set_source_surface(cr, pixels->surface, pixels->x, pixels->y);
        } else {
            cairo_set_source_surface(cr, image.surface(), 0, 0);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        }
        cairo_paint(cr);
        cairo_destroy(cr);
        return out;
    };
    cairo_surface_t* straight = draw(toDevice, false);
    cairo_surface_t* cached = draw(toDevice, true);
    EXPECT_LE(largestDifference(straight, cached), 2);
    cairo_surface_destroy(straight);
    cairo_surface_destroy(cached);

    // Moved by whole pixels it samples the same: the kept pixels serve, moved along.
    cairo_matrix_t moved = toDevice;
    moved.x0 += 31, moved.y0 -= 4;
    const auto along = image.resampled(moved);
    ASSERT_TRUE(along);
    EXPECT_EQ(along->surface, kept->surface);
    EXPECT_EQ(along->x, kept->x + 31);
    EXPECT_EQ(along->y, kept->y - 4);
    // Moved by a fraction of a pixel, or scaled otherwise, it is a placement of its own.
    cairo_matrix_t nudged = toDevice;
    nudged.x0 += 0.5;
    EXPECT_FALSE(image.resampled(nudged));
    // Unscaled at a whole pixel there is nothing to resample, however often it is seen.
    cairo_matrix_t plain;
    cairo_matrix_init_translate(&plain, 3, 4);
    EXPECT_FALSE(image.resampled(plain));
    EXPECT_FALSE(image.resampled(plain));
}
