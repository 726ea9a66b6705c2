#pragma once
// An HTML page laid out by our engine (litehtml drawn with pango on cairo), for printing: laid
// out at the width of a page's printable area, then cut into pages so that no line of text is
// split between two pages and none is lost.
//
// Units: the page is laid out in CSS pixels (96 per inch) and drawn in points (72 per inch), as a
// browser prints; everything this interface takes or returns is in points.

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <cairo.h>

#include "platform/foundation/Geometry.h"

namespace platform {

// A4 paper, in points.
inline constexpr CGSize kA4PaperSize{595.2, 841.8};

// One page's share of the laid-out column: [top, bottom) in points from the top of the content,
// drawn `pageTop` points below the top of its page (the page's top margin).
struct HTMLPageSlice {
    double top = 0;
    double bottom = 0;
    double pageTop = 0;
    bool operator==(const HTMLPageSlice&) const = default;
};

// The vertical extent of one drawn word or image, in points.
struct HTMLBox {
    double top = 0;
    double bottom = 0;
    bool isText = true;
};

class HTMLDocument {
public:
    static constexpr double kPointsPerPixel = 0.75;

    // Parses `html`. Relative references (images, <link rel=stylesheet>) are read from
    // `baseFolder` and never from outside it; absolute file paths are read as they stand; nothing
    // is fetched over a network. With no base folder relative references are not loaded.
    explicit HTMLDocument(const std::string& html, std::filesystem::path baseFolder = {});
    // With the fonts of any thread a document may be laid out on one thread and then drawn on
    // another (one at a time); with this thread's, it keeps to the thread that made it.
    enum class Fonts { ThisThread, AnyThread };
    HTMLDocument(const std::string& html, std::filesystem::path baseFolder, Fonts fonts);
    ~HTMLDocument();
    HTMLDocument(const HTMLDocument&) = delete;
    HTMLDocument& operator=(const HTMLDocument&) = delete;

    // Lays the page out for a column `width` points wide (the page being `pageHeight` tall for
    // media queries) and returns the height of the content in points.
    double layout(double width, double pageHeight = kA4PaperSize.height);
    double contentHeight() const;
    double layoutWidth() const;

    // The page cuts for pages `pageHeight` points tall: consecutive slices that cover the content
    // down to its last word or picture (what lies below is padding and starts no page). Each page
    // keeps the top and bottom margins of the page's @page rules (`@page :first` for the first).
    // A cut that would cross a line of text, an image or a block kept whole (page-break-inside:
    // avoid; a block with page-break-after: avoid and the line after it; a band with a background
    // of its own) no taller than a page moves up above it. An empty document still has one
    // (blank) page.
    std::vector<HTMLPageSlice> paginate(double pageHeight) const;

    // Draws `slice` onto a page whose top-left corner is the origin of `cr` (in points): the slice
    // `pageTop` below it. With a `pageHeight` the page's own background (the root's, or the body's
    // when the root has none) covers the whole page, margins included, as paper does; without
    // one the slice is drawn at the origin alone.
    void drawSlice(cairo_t* cr, const HTMLPageSlice& slice, double pageHeight = 0) const;

    // The words and images of the last layout, top to bottom.
    const std::vector<HTMLBox>& boxes() const;
    // References the page made that could not be read (as written in the page).
    std::set<std::string> missingResources() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The outcome of writing a PDF: how many pages, or why nothing (or not all) was written.
struct HTMLPrintResult {
    bool ok = false;
    int pageCount = 0;
    std::string error;
};

// Lays `html` out on pages of `paper` size, inset by `margins`, and writes them to a PDF file
// (atomically: a failed write leaves an existing file as it was).
HTMLPrintResult renderHTMLToPDF(const std::string& html, const std::filesystem::path& baseFolder,
                                const std::filesystem::path& pdfPath, CGSize paper = kA4PaperSize,
                                UIEdgeInsets margins = {});

} // namespace platform
