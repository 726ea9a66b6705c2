#include "platform/uikit/UIPageControl.h"

#include <algorithm>

namespace platform {

void UIPageControl::setNumberOfPages(long count) {
    numberOfPages_ = std::max(0L, count);
    setCurrentPage(currentPage_);
}

void UIPageControl::setCurrentPage(long page) {
    currentPage_ = std::clamp(page, 0L, std::max(0L, numberOfPages_ - 1));
}

std::string UIPageControl::stateDescription() const {
    std::string out = "page " + std::to_string(currentPage_ + (numberOfPages_ > 0 ? 1 : 0)) + " of " +
                      std::to_string(numberOfPages_);
    if (auto base = UIControl::stateDescription(); !base.empty()) out += " " + base;
    return out;
}

} // namespace platform
