#pragma once
// The one reader of image files: PNG through cairo, JPEG through libjpeg. Images, the web view's
// pages and the PDFs drawn from them all decode through here.

#include <filesystem>
#include <string>

#include "platform/foundation/Geometry.h"

typedef struct _cairo_surface cairo_surface_t;

namespace platform {

enum class ImageFormat { None, PNG, JPEG };

struct ImageFileInfo {
    ImageFormat format = ImageFormat::None;
    // As stored, before the orientation is applied.
    int width = 0, height = 0;
    // The EXIF orientation (1 to 8); 1 when the file names none.
    int orientation = 1;

    // The size as shown: width and height swapped for the orientations that turn by 90 degrees.
    CGSize orientedSize() const;
};

// Reads what the file's headers say, without decoding the pixels. Format None when it is neither
// a PNG nor a JPEG, or its header cannot be read.
ImageFileInfo readImageFileInfo(const std::filesystem::path& path);

// The most pixels a picture may have (100 megapixels): a header may claim far more than its few
// bytes hold, and decoding it would take gigabytes.
inline constexpr double kMaxImagePixels = 100e6;

// Decodes the whole of a PNG or JPEG file into an image surface with its EXIF orientation applied
// (CMYK and YCCK JPEGs become RGB as image viewers show them); null when it cannot be read, with
// the reason in words in `reason` when given: not a PNG or JPEG, more than kMaxImagePixels (refused
// before any pixel memory is taken), damaged or cut short. An upright RGB or grey JPEG keeps its
// file's bytes as the surface's JPEG data, so a PDF embeds them as they are instead of encoding the
// pixels again. The caller owns the surface.
// With `atMost` (in pixels, as shown) a larger picture is decoded scaled down to fit inside it,
// its shape kept: a JPEG through libjpeg's scaling as it is decoded, a PNG a row at a time, so
// that neither is ever held at full size. Its whole file is still read, so damage is still found.
cairo_surface_t* loadImageFile(const std::filesystem::path& path, std::string* reason = nullptr,
                               CGSize atMost = {});

// The most pixels on either side that a picture is decoded to for the screen and for copies:
// more than a full A4 or Letter page needs at 300 pixels an inch (3508 on the long side of A4).
inline constexpr double kMaxDecodedImageSide = 4096;

} // namespace platform
