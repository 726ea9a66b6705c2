#include "platform/webkit/UIPrintFormatter.h"

#include <algorithm>

#include "platform/webkit/UIGraphicsPDF.h"
#include "platform/webkit/UIPrintPageRenderer.h"

namespace platform {

UIPrintFormatter::~UIPrintFormatter() = default;

void UIPrintFormatter::removeFromPrintPageRenderer() {
    if (auto renderer = renderer_.lock()) renderer->remove(this);
    renderer_.reset();
}

void UIPrintFormatter::layoutFor(CGRect printableRect, CGSize paper) {
    printable_ = printableRect;
    const auto& in = perPageContentInsets;
    const double width = printableRect.width() - in.left - in.right;
    const double height = printableRect.height() - in.top - in.bottom;
    slices_.clear();
    document_.reset();
    if (width <= 0 || height <= 0) return;
    document_ = makeDocument();
    document_->layout(width, paper.height);
    slices_ = document_->paginate(height);
}

CGRect UIPrintFormatter::rectForPageAtIndex(int pageIndex) const {
    if (pageIndex < startPage_ || pageIndex >= startPage_ + pageCount()) return CGRectZero;
    const auto& in = perPageContentInsets;
    return CGRect(printable_.minX() + in.left, printable_.minY() + in.top,
                  printable_.width() - in.left - in.right, printable_.height() - in.top - in.bottom);
}

void UIPrintFormatter::drawInRect_forPageAtIndex(CGRect rect, int pageIndex) {
    const int local = pageIndex - startPage_;
    cairo_t* cr = UIGraphicsGetPDFDrawingContext();
    if (!cr || !document_ || local < 0 || local >= pageCount()) return;
    cairo_save(cr);
    cairo_translate(cr, rect.minX(), rect.minY());
    document_->drawSlice(cr, slices_[static_cast<std::size_t>(local)], rect.height());
    cairo_restore(cr);
}

std::unique_ptr<HTMLDocument> UIMarkupTextPrintFormatter::makeDocument() const {
    return std::make_unique<HTMLDocument>(markupText);
}

std::unique_ptr<HTMLDocument> UIViewPrintFormatter::makeDocument() const {
    return std::make_unique<HTMLDocument>(html_, base_);
}

} // namespace platform
