#pragma once
// The pages of a PDF document as a web view shows them: one under another on grey, each as wide
// as the view allows, in a scroll view moved by drag and wheel. Pages are rasterised by poppler
// at the pixel density they are drawn at, kept while they stay near the screen, and the next page
// down is prepared on the run loop after a frame, so that scrolling onto it is only a copy.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/UIScrollView.h"

typedef struct _cairo_surface cairo_surface_t;
typedef struct _PopplerDocument PopplerDocument;
typedef struct _GCancellable GCancellable;

namespace platform {

class PDFPagesView : public UIScrollView {
public:
    // Grey around the pages and between them.
    static constexpr double kMargin = 8;

    PDFPagesView();
    ~PDFPagesView() override;

    // A document opened and measured, ready to be shown. Opening a large or damaged file takes
    // seconds, so it is made on any thread and then handed to a view on the main thread.
    struct Opened {
        std::shared_ptr<PopplerDocument> document;
        std::vector<CGSize> pageSizes;
        // Why nothing can be shown: poppler's reason, no page, or a file too large.
        std::optional<std::string> failure;
        bool tooLarge = false;
    };
    // No PDF the application makes comes near this (5 MB of text print as 3.4 MB); poppler
    // searches a damaged file for about 40 ms a megabyte, so a bound keeps that to seconds.
    static constexpr std::uintmax_t kMaxFileLength = std::uintmax_t(128) << 20;
    // Cancelled (from any thread), the reading stops and the opening fails soon after.
    static Opened openFile(const std::filesystem::path& file, GCancellable* cancellable = nullptr);
    // Shows what was opened (nothing when it failed: the reason is returned).
    std::optional<std::string> show(const std::filesystem::path& file, Opened opened);
    const std::filesystem::path& file() const { return file_; }
    long pageCount() const { return static_cast<long>(pageSizes_.size()); }
    // A page's size in PDF points.
    CGSize pageSize(long index) const { return pageSizes_.at(static_cast<std::size_t>(index)); }
    // Where a page lies in the content, for the current width.
    CGRect pageFrame(long index) const;
    // The content's height for a width (the pages and the grey between them).
    double contentHeightForWidth(double width) const;
    // The first page whose frame reaches below the top of the visible part.
    long firstVisiblePage() const;

    void layoutSubviews() override;
    void draw(cairo_t* cr) const override;
    bool clipsWhenDrawn() const override { return true; }
    std::string stateDescription() const override;

    // Rasterised pages kept now (for tests of the cache).
    std::size_t cachedPageCount() const { return raster_.size(); }

private:
    struct Raster;
    double pageScale(long index, double width) const;
    std::shared_ptr<Raster> rasterFor(long index, int pixelWidth) const;
    void prepareSoon(long index, int pixelWidth) const;

    std::filesystem::path file_;
    std::shared_ptr<PopplerDocument> document_;
    std::vector<CGSize> pageSizes_;
    mutable std::map<long, std::shared_ptr<Raster>> raster_;
    mutable bool preparing_ = false;
};

} // namespace platform
