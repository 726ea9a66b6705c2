#include "platform/webkit/UIPrintPageRenderer.h"

#include <algorithm>

#include "platform/foundation/Console.h"
#include "platform/webkit/UIGraphicsPDF.h"

namespace platform {

void UIPrintPageRenderer::addPrintFormatter_startingAtPageAtIndex(
    const std::shared_ptr<UIPrintFormatter>& formatter, int pageIndex) {
    if (!formatter) return;
    // A formatter belongs to one renderer at a time.
    if (auto previous = formatter->renderer_.lock(); previous && previous.get() != this)
        previous->remove(formatter.get());
    formatter->renderer_ = weak_from_this();
    formatter->startPage_ = std::max(0, pageIndex);
    if (std::find(formatters_.begin(), formatters_.end(), formatter) == formatters_.end())
        formatters_.push_back(formatter);
    dirty_ = true;
}

void UIPrintPageRenderer::remove(UIPrintFormatter* formatter) {
    std::erase_if(formatters_, [&](const auto& f) { return f.get() == formatter; });
    dirty_ = true;
}

std::vector<std::shared_ptr<UIPrintFormatter>>
UIPrintPageRenderer::printFormattersForPageAtIndex(int pageIndex) {
    layout();
    std::vector<std::shared_ptr<UIPrintFormatter>> out;
    for (const auto& f : formatters_)
        if (pageIndex >= f->startPage() && pageIndex < f->startPage() + f->pageCount()) out.push_back(f);
    return out;
}

void UIPrintPageRenderer::setPaperRect(CGRect rect) {
    paperRect_ = rect;
    dirty_ = true;
}

void UIPrintPageRenderer::setPrintableRect(CGRect rect) {
    printableRect_ = rect;
    dirty_ = true;
}

void UIPrintPageRenderer::setValue_forKey(CGRect value, const std::string& key) {
    if (key == "paperRect")
        setPaperRect(value);
    else if (key == "printableRect")
        setPrintableRect(value);
    else
        fatalError("[UIPrintPageRenderer setValue:forKey:]: this class is not key value coding-compliant for "
                   "the key " +
                   key + ".");
}

void UIPrintPageRenderer::layout() {
    if (!dirty_) return;
    dirty_ = false;
    for (const auto& f : formatters_)
        f->layoutFor(printableRect_, paperRect_.size);
}

int UIPrintPageRenderer::numberOfPages() {
    layout();
    int pages = 0;
    for (const auto& f : formatters_)
        if (f->pageCount() > 0) pages = std::max(pages, f->startPage() + f->pageCount());
    return pages;
}

void UIPrintPageRenderer::prepareForDrawingPages(int, int) {
    layout();
}

void UIPrintPageRenderer::drawPrintFormatter_forPageAtIndex(
    const std::shared_ptr<UIPrintFormatter>& formatter, int pageIndex) {
    formatter->drawInRect_forPageAtIndex(formatter->rectForPageAtIndex(pageIndex), pageIndex);
}

void UIPrintPageRenderer::drawPageAtIndex_inRect(int pageIndex, CGRect rect) {
    cairo_t* cr = UIGraphicsGetPDFDrawingContext();
    if (!cr || pageIndex < 0) return;
    layout();
    const CGSize paper = paperRect_.isEmpty() ? rect.size : paperRect_.size;
    double scale = 1;
    if (paper.width > 0 && paper.height > 0)
        scale = std::min({1.0, rect.width() / paper.width, rect.height() / paper.height});
    cairo_save(cr);
    cairo_translate(cr, rect.minX() + (rect.width() - paper.width * scale) / 2, rect.minY());
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, -paperRect_.minX(), -paperRect_.minY());
    for (const auto& f : printFormattersForPageAtIndex(pageIndex))
        drawPrintFormatter_forPageAtIndex(f, pageIndex);
    cairo_restore(cr);
}

} // namespace platform
