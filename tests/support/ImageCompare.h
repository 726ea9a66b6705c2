#pragma once
// Golden pictures: a PNG compared with a committed one, tolerant of what font hinting and
// anti-aliasing change (edges of glyphs, a pixel here and there) but not of a control that moved,
// went missing or changed colour. On a mismatch the actual picture and a picture of the difference
// are written beside the expected one. QUILLORA_UPDATE_GOLDENS=1 rewrites the expected pictures.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/Geometry.h"

namespace quillora::test {

struct ImageTolerance {
    // A pixel matches when the other picture has a pixel of about its colour (no channel more than
    // `channelThreshold` apart, 0-255) within `radius` pixels: glyph edges that hinting or
    // anti-aliasing moved by a pixel or two still match.
    int radius = 2;
    int channelThreshold = 48;
    // The pictures differ when more than this share of the pixels (of either) find no match.
    double maxDifferingFraction = 0.0003;
    // Whether thin strokes count as well as solid patches: lines of text moved by whole lines pass
    // for unmoved when only patches count, as glyph strokes are thin.
    bool countStrokes = false;
};

struct ImageComparison {
    bool matches = false;
    double differingFraction = 0;
    // Why it does not match, with the paths of the pictures written; empty on a match.
    std::string message;
};

// Compares the PNG `actual` with the PNG `expected`.
ImageComparison compareImages(const std::filesystem::path& actual, const std::filesystem::path& expected,
                              const ImageTolerance& tolerance = {});

// Whether two PNGs hold the same pixels, whatever else their files hold (a capture's file carries
// the second it was taken); false when either cannot be read.
bool samePixels(const std::filesystem::path& a, const std::filesystem::path& b);

// Compares the PNG `actual` with the golden `expected`: writes `expected` when goldens are being
// updated (or reports the missing golden), else compares and on a mismatch leaves
// NAME.actual.png and NAME.diff.png beside it.
ImageComparison compareWithGolden(const std::filesystem::path& actual, const std::filesystem::path& expected,
                                  const ImageTolerance& tolerance = {});

// What is drawn in `area` of the PNG `picture` (in its pixels) around the rectangles `leftOut`: the
// pixels whose colour differs from the pixel under them in the area's bottom row, so that a plain
// ground, or a rule running down the whole area, counts as nothing. -1 when the picture cannot be
// read.
int inkIn(const std::filesystem::path& picture, const platform::CGRect& area,
          const std::vector<platform::CGRect>& leftOut = {});

// How many pixels of `area` of the PNG `picture` (in its pixels), around the rectangles `leftOut`,
// are drawn dark as black text is (no channel above half); -1 when the picture cannot be read.
int darkIn(const std::filesystem::path& picture, const platform::CGRect& area,
           const std::vector<platform::CGRect>& leftOut = {});

} // namespace quillora::test
