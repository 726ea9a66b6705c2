#pragma once
// Golden pictures: a PNG compared with a committed one, tolerant of what font hinting and
// anti-aliasing change (edges of glyphs, a pixel here and there) but not of a control that moved,
// went missing or changed colour. On a mismatch the actual picture and a picture of the difference
// are written beside the expected one. QUILLORA_UPDATE_GOLDENS=1 rewrites the expected pictures.

#include <filesystem>
#include <string>

namespace quillora::test {

struct ImageTolerance {
    // Both pictures are averaged over blocks of this many pixels square before comparing, so that
    // a glyph edge moved by a pixel counts for little.
    int blockSize = 4;
    // A block differs when a channel's average differs by more than this (0-255).
    int channelThreshold = 40;
    // The picture differs when more blocks than this share differ.
    double maxDifferingFraction = 0.0004;
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

// Compares the PNG `actual` with the golden `expected`: writes `expected` when goldens are being
// updated (or reports the missing golden), else compares and on a mismatch leaves
// NAME.actual.png and NAME.diff.png beside it.
ImageComparison compareWithGolden(const std::filesystem::path& actual, const std::filesystem::path& expected,
                                  const ImageTolerance& tolerance = {});

} // namespace quillora::test
