#include "platform/webkit/PDFPagesView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <cairo.h>
#include <gio/gio.h>
#include <poppler.h>

#include "platform/foundation/FontLock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/Drawing.h"

namespace platform {

namespace {

// Pages further than this from the visible ones are let go.
constexpr long kKeptAround = 2;

UIColor backdrop() {
    return UIColor::colorWithWhite_alpha(0.82, 1);
}

} // namespace

struct PDFPagesView::Raster {
    int pixelWidth = 0;
    std::shared_ptr<cairo_surface_t> surface;
};

PDFPagesView::PDFPagesView() {
    setBackgroundColor(backdrop());
}

PDFPagesView::~PDFPagesView() = default;

PDFPagesView::Opened PDFPagesView::openFile(const std::filesystem::path& file, GCancellable* cancellable) {
    Opened out;
    std::error_code ec;
    const auto length = std::filesystem::file_size(file, ec);
    if (!ec && length > kMaxFileLength) {
        out.failure =
            "the file is larger than the " + std::to_string(kMaxFileLength >> 20) + " MB a PDF may have here";
        out.tooLarge = true;
        return out;
    }
    GError* error = nullptr;
    // Through a stream, which poppler reads with the cancellable (a file it opens itself it reads
    // to the end).
    GFile* handle = g_file_new_for_path(file.c_str());
    GFileInputStream* stream = g_file_read(handle, cancellable, &error);
    g_object_unref(handle);
    PopplerDocument* document =
        stream ? poppler_document_new_from_stream(G_INPUT_STREAM(stream), -1, nullptr, cancellable, &error)
               : nullptr;
    if (stream) g_object_unref(stream);
    if (!document) {
        out.failure = error ? error->message : "unreadable";
        if (error) g_error_free(error);
        return out;
    }
    // poppler keeps the fonts it has drawn the document's pages with until the document goes.
    out.document.reset(document, [](PopplerDocument* d) {
        FontLock::Guard fonts;
        g_object_unref(d);
    });
    const int count = poppler_document_get_n_pages(document);
    for (int i = 0; i < count; ++i) {
        PopplerPage* page = poppler_document_get_page(document, i);
        double w = 0, h = 0;
        if (page) {
            poppler_page_get_size(page, &w, &h);
            g_object_unref(page);
        }
        out.pageSizes.push_back({std::max(1.0, w), std::max(1.0, h)});
    }
    if (out.pageSizes.empty()) {
        out.document.reset();
        out.failure = "the document has no page";
    }
    return out;
}

std::optional<std::string> PDFPagesView::show(const std::filesystem::path& file, Opened opened) {
    raster_.clear();
    file_ = file;
    document_ = std::move(opened.document);
    pageSizes_ = std::move(opened.pageSizes);
    return std::move(opened.failure);
}

double PDFPagesView::pageScale(long index, double width) const {
    return std::max(1.0, width - 2 * kMargin) / pageSize(index).width;
}

CGRect PDFPagesView::pageFrame(long index) const {
    const double width = bounds().width();
    double y = kMargin;
    for (long i = 0; i < index; ++i)
        y += pageSize(i).height * pageScale(i, width) + kMargin;
    const double scale = pageScale(index, width);
    return {kMargin, y, pageSize(index).width * scale, pageSize(index).height * scale};
}

double PDFPagesView::contentHeightForWidth(double width) const {
    double y = kMargin;
    for (long i = 0; i < pageCount(); ++i)
        y += pageSize(i).height * pageScale(i, width) + kMargin;
    return y;
}

long PDFPagesView::firstVisiblePage() const {
    const double top = bounds().minY();
    for (long i = 0; i < pageCount(); ++i)
        if (pageFrame(i).maxY() > top) return i;
    return std::max(0L, pageCount() - 1);
}

void PDFPagesView::layoutSubviews() {
    UIScrollView::layoutSubviews();
    const CGRect b = bounds();
    setContentSize({b.width(), contentHeightForWidth(b.width())});
    // A narrower view makes a shorter document: the offset stays within it.
    const double most = std::max(0.0, contentSize().height - b.height());
    if (b.minY() > most) setContentOffset({0, most});
}

std::shared_ptr<PDFPagesView::Raster> PDFPagesView::rasterFor(long index, int pixelWidth) const {
    if (auto it = raster_.find(index); it != raster_.end() && it->second->pixelWidth == pixelWidth)
        return it->second;
    PopplerPage* page = poppler_document_get_page(document_.get(), static_cast<int>(index));
    if (!page) return nullptr;
    const CGSize size = pageSize(index);
    const double scale = pixelWidth / size.width;
    const int pixelHeight = std::max(1, static_cast<int>(std::lround(size.height * scale)));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, pixelWidth, pixelHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, scale, scale);
    {
        FontLock::Guard fonts;
        poppler_page_render(page, cr);
        cairo_destroy(cr);
        g_object_unref(page);
    }
    auto raster = std::make_shared<Raster>();
    raster->pixelWidth = pixelWidth;
    raster->surface.reset(surface, cairo_surface_destroy);
    raster_[index] = raster;
    return raster;
}

void PDFPagesView::prepareSoon(long index, int pixelWidth) const {
    if (preparing_ || index >= pageCount()) return;
    if (auto it = raster_.find(index); it != raster_.end() && it->second->pixelWidth == pixelWidth) return;
    preparing_ = true;
    std::weak_ptr<const PDFPagesView> weak = self<PDFPagesView>();
    RunLoop::main().schedule(0, [weak, index, pixelWidth] {
        auto view = weak.lock();
        if (!view) return;
        view->preparing_ = false;
        if (view->document_) view->rasterFor(index, pixelWidth);
    });
}

void PDFPagesView::draw(cairo_t* cr) const {
    const CGRect b = bounds();
    Drawing::fillRoundedRectangle(cr, b, 0, backdrop());
    if (!document_) return;
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    const double density = std::hypot(m.xx, m.yx);
    const bool upright = m.xy == 0 && m.yx == 0 && m.xx > 0 && m.yy > 0;
    long first = -1, last = -1;
    int lastPixels = 0;
    for (long i = 0; i < pageCount(); ++i) {
        const CGRect page = pageFrame(i);
        if (page.maxY() < b.minY() || page.minY() > b.maxY()) continue;
        if (first < 0) first = i;
        last = i;
        // A thin shadow under the sheet.
        Drawing::fillRoundedRectangle(
            cr, {page.minX() - 0.5, page.minY() - 0.5, page.width() + 1, page.height() + 1}, 0,
            UIColor::colorWithWhite_alpha(0, 0.18));
        const int pixels = std::max(1, static_cast<int>(std::lround(page.width() * density)));
        lastPixels = pixels;
        auto raster = rasterFor(i, pixels);
        if (!raster) continue;
        cairo_save(cr);
        if (upright) {
            // One raster pixel on one device pixel: the page is as sharp as the screen allows.
            double x = page.minX(), y = page.minY();
            cairo_user_to_device(cr, &x, &y);
            cairo_identity_matrix(cr);
            cairo_set_source_surface(cr, raster->surface.get(), std::round(x), std::round(y));
        } else {
            cairo_translate(cr, page.minX(), page.minY());
            cairo_scale(cr, page.width() / pixels, page.width() / pixels);
            cairo_set_source_surface(cr, raster->surface.get(), 0, 0);
        }
        cairo_paint(cr);
        cairo_restore(cr);
    }
    if (first < 0) return;
    for (auto it = raster_.begin(); it != raster_.end();)
        it = it->first < first - kKeptAround || it->first > last + kKeptAround ? raster_.erase(it)
                                                                               : std::next(it);
    prepareSoon(last + 1, lastPixels);
}

std::string PDFPagesView::stateDescription() const {
    char text[96];
    std::snprintf(text, sizeof text, "pages=%ld page=%ld", pageCount(),
                  pageCount() ? firstVisiblePage() + 1 : 0);
    std::string out = text;
    if (auto base = UIScrollView::stateDescription(); !base.empty()) out += " " + base;
    return out;
}

} // namespace platform
