#pragma once
// Images: of the bundle by name, or read from a file. The size comes from the file's header; the
// pixels are decoded on first use and kept, with the file's EXIF orientation applied.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Geometry.h"
#include "platform/foundation/NSData.h"
#include "platform/uikit/ImageFile.h"

typedef struct _cairo_matrix cairo_matrix_t;

namespace platform {

class UIImage {
public:
    // The bundle image `name` (with or without ".png"); none when the bundle has no such file.
    static std::shared_ptr<UIImage> imageNamed(const std::string& name);
    static std::shared_ptr<UIImage> imageWithContentsOfFile(const std::filesystem::path& path);

    UIImage(std::string name, std::filesystem::path path);

    const std::string& name() const { return name_; }
    const std::filesystem::path& path() const { return path_; }
    // The size as shown (a quarter turn of the EXIF orientation swaps width and height); zero when
    // the file is neither a PNG nor a JPEG or its header cannot be read.
    CGSize size() const { return size_; }
    ImageFormat format() const { return info_.format; }
    // The decoded pixels, upright, owned by the image; null when the file cannot be decoded. A
    // picture larger than kMaxDecodedImageSide on a side is decoded scaled down to it: no screen
    // or page shows more, and the whole of a 100-megapixel photo would take 400 MB.
    cairo_surface_t* surface() const;

    // The pixels resampled (with cairo's good filter) through `toDevice`, image pixels to device
    // pixels, onto whole device pixels, and the device pixel their surface's corner goes to. Null
    // the first time a placement is seen (but the image's very first): resampling is worth keeping
    // only for an image that stands still from one frame to the next, and a moving one is cheaper
    // drawn straight.
    struct DevicePixels {
        cairo_surface_t* surface;
        int x, y;
    };
    std::optional<DevicePixels> resampled(const cairo_matrix_t& toDevice) const;

private:
    std::string name_;
    std::filesystem::path path_;
    ImageFileInfo info_;
    CGSize size_;
    mutable std::shared_ptr<cairo_surface_t> surface_;
    mutable bool decoded_ = false;
    // The last placements drawn, by the scaling and the fraction of a pixel they stand at: the same
    // samples, whichever whole pixel they are moved to.
    struct Placement {
        double xx, yx, xy, yy, fractionX, fractionY;
        // Fractions a rounding error apart (of a move by whole pixels worked out in points) sample
        // the same pixels of the image.
        bool samplesAsIn(const Placement& other) const;
    };
    struct Resampling {
        Placement placement;
        std::shared_ptr<cairo_surface_t> surface; // null until the placement is seen again
        int left, top;                            // the surface's corner from the whole pixel of the origin
    };
    mutable std::vector<Resampling> resamplings_;
    mutable bool placed_ = false;
};

// The image encoded as JPEG at `compressionQuality` (0 to 1; 1 is libjpeg's quality 100); none
// when the image cannot be decoded or encoded. Transparent pixels are laid on white.
std::optional<NSData> UIImageJPEGRepresentation(const UIImage& image, double compressionQuality);

} // namespace platform
