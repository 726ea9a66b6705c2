#include "platform/uikit/UIPageViewController.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/RunLoop.h"

namespace platform {

void UIPageViewController::show(std::vector<std::shared_ptr<UIViewController>> pages, bool animated) {
    auto keep = self<UIPageViewController>();
    auto old = shown_;
    const bool onScreen = appearance() == UIViewControllerAppearance::Appeared ||
                          appearance() == UIViewControllerAppearance::Appearing;
    for (auto& page : pages)
        if (page->parentViewController().get() != this) addChildViewController(page);
    shown_ = pages;
    auto root = view();
    // Pages lie under the pager's own views (its indicator, its buttons).
    std::size_t index = 0;
    for (auto& page : pages) {
        auto content = page->view();
        content->setFrame(root->bounds());
        root->insertSubview_atIndex(content, index++);
    }
    auto leaving = [&](const std::shared_ptr<UIViewController>& page) {
        return std::find(pages.begin(), pages.end(), page) == pages.end();
    };
    if (onScreen) {
        for (auto& page : old)
            if (leaving(page)) page->beginAppearanceTransition(false, animated);
        for (auto& page : pages)
            if (std::find(old.begin(), old.end(), page) == old.end())
                page->beginAppearanceTransition(true, animated);
        for (auto& page : old)
            if (leaving(page)) page->endAppearanceTransition();
        for (auto& page : pages)
            if (std::find(old.begin(), old.end(), page) == old.end()) page->endAppearanceTransition();
    }
    for (auto& page : old)
        if (leaving(page)) {
            if (page->isViewLoaded() && page->view()->superview() == root)
                page->view()->removeFromSuperview();
            page->removeFromParentViewController();
        }
}

void UIPageViewController::setViewControllers_direction_animated_completion(
    std::vector<std::shared_ptr<UIViewController>> pages, UIPageViewControllerNavigationDirection,
    bool animated, std::function<void(bool)> completion) {
    pages.erase(std::remove(pages.begin(), pages.end(), nullptr), pages.end());
    if (pages.empty()) return;
    show(std::move(pages), animated);
    if (completion) RunLoop::main().schedule(0, [completion = std::move(completion)] { completion(true); });
}

bool UIPageViewController::userSwipe(UIPageViewControllerNavigationDirection direction, bool complete) {
    auto source = dataSource();
    if (!source || shown_.empty() || isViewLoaded() == false || view()->isHiddenOnScreen()) return false;
    auto keep = self<UIPageViewController>();
    auto current = shown_.front();
    auto next = direction == UIPageViewControllerNavigationDirection::Forward
                    ? source->pageViewController_viewControllerAfterViewController(*this, current)
                    : source->pageViewController_viewControllerBeforeViewController(*this, current);
    if (!next) return false;
    if (auto d = delegate()) d->pageViewController_willTransitionToViewControllers(*this, {next});
    auto previous = shown_;
    if (complete) show({next}, true);
    std::weak_ptr<UIPageViewController> weak = keep;
    RunLoop::main().schedule(0, [weak, previous, complete] {
        auto pager = weak.lock();
        if (!pager) return;
        if (auto d = pager->delegate())
            d->pageViewController_didFinishAnimating_previousViewControllers_transitionCompleted(
                *pager, true, previous, complete);
    });
    return true;
}

void UIPageViewController::touchesBegan(const UITouch& touch) {
    dragStart_ = touch.locationInWindow;
}

void UIPageViewController::touchesEnded(const UITouch& touch) {
    if (!dragStart_) return;
    const bool horizontal = orientation_ == UIPageViewControllerNavigationOrientation::Horizontal;
    const CGFloat moved =
        horizontal ? touch.locationInWindow.x - dragStart_->x : touch.locationInWindow.y - dragStart_->y;
    dragStart_.reset();
    const CGRect b = view()->bounds();
    const CGFloat extent = horizontal ? b.width() : b.height();
    if (std::abs(moved) < 10) return; // a tap, not a drag
    // Dragging the content towards the start shows the next page.
    const auto direction = moved < 0 ? UIPageViewControllerNavigationDirection::Forward
                                     : UIPageViewControllerNavigationDirection::Reverse;
    userSwipe(direction, std::abs(moved) >= extent / 4);
}

std::vector<std::pair<std::string, std::shared_ptr<NSObject>>> UIPageViewController::exposedOutlets() const {
    auto out = UIViewController::exposedOutlets();
    for (auto& page : shown_)
        for (auto& outlet : page->exposedOutlets())
            out.push_back(outlet);
    return out;
}

void UIPageViewController::describeScreen(std::vector<std::string>& lines) const {
    UIViewController::describeScreen(lines);
    // The pages' controls are listed under their page, not among the pager's own.
    std::size_t pageOutlets = 0;
    for (auto& page : shown_)
        pageOutlets += page->exposedOutlets().size();
    lines.resize(lines.size() - std::min(pageOutlets, lines.size() - 1));
    for (auto& page : shown_) {
        std::vector<std::string> block;
        page->describeScreen(block);
        for (auto& line : block)
            lines.push_back("  " + (line.starts_with("  ") ? line : "page " + line));
    }
}

} // namespace platform
