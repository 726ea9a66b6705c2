#include "platform/uikit/UIPageControl.h"

#include <algorithm>
#include <cmath>

#include <cairo.h>

namespace platform {

void UIPageControl::setNumberOfPages(long count) {
    numberOfPages_ = std::max(0L, count);
    setCurrentPage(currentPage_);
}

void UIPageControl::setCurrentPage(long page) {
    currentPage_ = std::clamp(page, 0L, std::max(0L, numberOfPages_ - 1));
}

void UIPageControl::draw(cairo_t* cr) const {
    if (numberOfPages_ <= 0 || (hidesForSinglePage && numberOfPages_ == 1)) return;
    const CGRect b = bounds();
    const double diameter = 7, pitch = 16;
    const double width = pitch * static_cast<double>(numberOfPages_ - 1);
    const double x0 = b.midX() - width / 2, y = b.midY();
    const UIColor current = currentPageIndicatorTintColor.value_or(UIColor::whiteColor());
    const UIColor other = pageIndicatorTintColor.value_or(UIColor::whiteColor().colorWithAlphaComponent(0.3));
    for (long i = 0; i < numberOfPages_; ++i) {
        const UIColor& c = i == currentPage_ ? current : other;
        cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
        cairo_arc(cr, x0 + pitch * static_cast<double>(i), y, diameter / 2, 0, 2 * M_PI);
        cairo_fill(cr);
    }
}

std::string UIPageControl::stateDescription() const {
    std::string out = "page " + std::to_string(currentPage_ + (numberOfPages_ > 0 ? 1 : 0)) + " of " +
                      std::to_string(numberOfPages_);
    if (auto base = UIControl::stateDescription(); !base.empty()) out += " " + base;
    return out;
}

} // namespace platform
