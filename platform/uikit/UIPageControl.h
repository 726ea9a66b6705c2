#pragma once
// Page indicators: a row of dots, one per page, the current one in its own colour.

#include <optional>

#include "platform/uikit/UIControl.h"

namespace platform {

class UIPageControl : public UIControl {
public:
    long numberOfPages() const { return numberOfPages_; }
    void setNumberOfPages(long count);
    // Held within 0 to numberOfPages - 1.
    long currentPage() const { return currentPage_; }
    void setCurrentPage(long page);
    std::optional<UIColor> pageIndicatorTintColor;
    std::optional<UIColor> currentPageIndicatorTintColor;
    bool hidesForSinglePage = false;

    std::string stateDescription() const override;
    // A row of dots centred in the bounds, the current page's in its own colour.
    void draw(cairo_t* cr) const override;

private:
    long numberOfPages_ = 0;
    long currentPage_ = 0;
};

} // namespace platform
