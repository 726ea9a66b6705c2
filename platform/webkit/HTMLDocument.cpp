#include "platform/webkit/HTMLDocument.h"

#include <algorithm>
#include <cmath>

#include "platform/webkit/HTMLContainer.h"
#include "platform/webkit/PDFWriter.h"

namespace platform {

namespace {

constexpr double kPxPerPt = 1.0 / HTMLDocument::kPointsPerPixel;

int toPx(double points) {
    return static_cast<int>(std::floor(points * kPxPerPt + 1e-6));
}

// Parsed once: the engine only reads it.
litehtml::context& sharedContext() {
    static litehtml::context* context = [] {
        auto* c = new litehtml::context;
        c->load_master_stylesheet(htmlMasterStylesheet());
        return c;
    }();
    return *context;
}

} // namespace

struct HTMLDocument::Impl {
    // Declared first so that it outlives the document, which hands its fonts back on destruction.
    HTMLContainer container;
    litehtml::document::ptr document;
    int widthPx = 0;
    int heightPx = 0; // content height
    std::vector<HTMLBox> boxes;
    std::vector<HTMLKeepTogether> boxesPx;

    Impl(const std::string& html, std::filesystem::path base)
        : container(std::move(base), toPx(kA4PaperSize.width), toPx(kA4PaperSize.height)) {
        document = litehtml::document::createFromUTF8(html.c_str(), &container, &sharedContext());
    }
};

HTMLDocument::HTMLDocument(const std::string& html, std::filesystem::path baseFolder)
    : impl_(std::make_unique<Impl>(html, std::move(baseFolder))) {}

HTMLDocument::~HTMLDocument() = default;

double HTMLDocument::layout(double width, double pageHeight) {
    auto& d = *impl_;
    d.widthPx = std::max(1, toPx(width));
    d.container.setPageSize(d.widthPx, std::max(1, toPx(pageHeight)));
    if (!d.document) return 0;
    d.document->media_changed();
    d.document->render(d.widthPx);

    // Walk the drawing once without painting, to learn where every word and image lies.
    d.container.setRecording(true);
    d.document->draw(0, 0, 0, nullptr);
    d.container.setRecording(false);
    d.boxesPx = d.container.takeRecorded();
    std::sort(d.boxesPx.begin(), d.boxesPx.end(),
              [](const HTMLKeepTogether& a, const HTMLKeepTogether& b) { return a.top < b.top; });
    d.heightPx = std::max(0, d.document->height());
    d.boxes.clear();
    for (const auto& box : d.boxesPx) {
        d.heightPx = std::max(d.heightPx, box.bottom);
        d.boxes.push_back({box.top * kPointsPerPixel, box.bottom * kPointsPerPixel, box.isText});
    }
    return contentHeight();
}

double HTMLDocument::contentHeight() const {
    return impl_->heightPx * kPointsPerPixel;
}
double HTMLDocument::layoutWidth() const {
    return impl_->widthPx * kPointsPerPixel;
}
const std::vector<HTMLBox>& HTMLDocument::boxes() const {
    return impl_->boxes;
}
std::set<std::string> HTMLDocument::missingResources() const {
    return impl_->container.missingResources();
}

std::vector<HTMLPageSlice> HTMLDocument::paginate(double pageHeight) const {
    const auto& d = *impl_;
    const int page = std::max(1, toPx(pageHeight));
    const int total = d.heightPx;
    std::vector<HTMLPageSlice> slices;
    auto add = [&](int top, int bottom) {
        slices.push_back({top * kPointsPerPixel, bottom * kPointsPerPixel});
    };
    if (total <= 0) {
        add(0, 0);
        return slices;
    }
    int top = 0;
    while (top < total) {
        int cut = top + page;
        if (cut >= total) {
            add(top, total);
            break;
        }
        // Move the cut above every box it would cross, until it crosses none. Boxes that start at
        // or above the page's top (or images taller than a page) cannot be kept whole.
        for (bool moved = true; moved;) {
            moved = false;
            for (const auto& box : d.boxesPx) {
                if (box.top >= cut) break;
                if (box.bottom <= cut || box.top <= top) continue;
                if (!box.isText && box.bottom - box.top > page) continue;
                cut = box.top;
                moved = true;
            }
        }
        if (cut <= top) cut = top + page;
        add(top, cut);
        top = cut;
    }
    return slices;
}

void HTMLDocument::drawSlice(cairo_t* cr, const HTMLPageSlice& slice) const {
    const auto& d = *impl_;
    if (!d.document) return;
    const int top = static_cast<int>(std::lround(slice.top * kPxPerPt));
    const int bottom = static_cast<int>(std::lround(slice.bottom * kPxPerPt));
    if (bottom <= top) return;
    cairo_save(cr);
    cairo_scale(cr, kPointsPerPixel, kPointsPerPixel);
    // Wide enough for content that overflows the column; only the slice's height is cut.
    cairo_rectangle(cr, -d.widthPx, 0, 3.0 * d.widthPx, bottom - top);
    cairo_clip(cr);
    litehtml::position clip(-d.widthPx, 0, 3 * d.widthPx, bottom - top);
    d.document->draw(reinterpret_cast<litehtml::uint_ptr>(cr), 0, -top, &clip);
    cairo_restore(cr);
}

HTMLPrintResult renderHTMLToPDF(const std::string& html, const std::filesystem::path& baseFolder,
                                const std::filesystem::path& pdfPath, CGSize paper, UIEdgeInsets margins) {
    HTMLPrintResult result;
    const double width = paper.width - margins.left - margins.right;
    const double height = paper.height - margins.top - margins.bottom;
    if (width <= 0 || height <= 0) {
        result.error = "the margins leave no room on the page";
        return result;
    }
    HTMLDocument document(html, baseFolder);
    document.layout(width, paper.height);
    PDFWriter writer(paper);
    for (const auto& slice : document.paginate(height)) {
        cairo_t* cr = writer.beginPage(paper);
        cairo_save(cr);
        cairo_translate(cr, margins.left, margins.top);
        document.drawSlice(cr, slice);
        cairo_restore(cr);
    }
    if (!writer.finish() || !writeFileAtomically(pdfPath, writer.data(), &result.error)) {
        if (result.error.empty()) result.error = writer.error();
        return result;
    }
    result.ok = true;
    result.pageCount = writer.pageCount();
    return result;
}

} // namespace platform
