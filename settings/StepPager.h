#pragma once
// The tutorial and promotion pagers: a list of pages that wraps around at both ends, a page
// indicator at the bottom and a cancel button in the top-left corner that closes the pager.
// The two pagers differ only in their page lists.

#include <memory>
#include <string_view>
#include <vector>

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIPageControl.h"
#include "platform/uikit/UIPageViewController.h"

namespace quillora {

class StepPager : public platform::UIPageViewController,
                  public platform::UIPageViewControllerDataSource,
                  public platform::UIPageViewControllerDelegate {
public:
    // `pageClasses`: the page classes in paging order.
    StepPager(std::vector<std::string_view> pageClasses, platform::UIPageViewControllerTransitionStyle style,
              platform::UIPageViewControllerNavigationOrientation orientation, Options options);

    std::shared_ptr<platform::UIButton> CancelButton;
    std::vector<std::shared_ptr<platform::UIViewController>> pages;
    std::shared_ptr<platform::UIPageControl> pageControl;

    void viewDidLoad() override;
    std::shared_ptr<platform::UIViewController> pageViewController_viewControllerBeforeViewController(
        platform::UIPageViewController&, const std::shared_ptr<platform::UIViewController>& page) override;
    std::shared_ptr<platform::UIViewController> pageViewController_viewControllerAfterViewController(
        platform::UIPageViewController&, const std::shared_ptr<platform::UIViewController>& page) override;
    void pageViewController_didFinishAnimating_previousViewControllers_transitionCompleted(
        platform::UIPageViewController&, bool finished,
        const std::vector<std::shared_ptr<platform::UIViewController>>& previous, bool completed) override;
    void CancelButtonTapped();

private:
    // The position of `page` in `pages`; -1 when it is not there.
    long position(const std::shared_ptr<platform::UIViewController>& page) const;

    std::vector<std::string_view> pageClasses_;
};

// Fourteen tutorial pages, the first five with a button for the tutorial video.
class PageViewControllerA final : public StepPager {
public:
    explicit PageViewControllerA(platform::UIPageViewControllerTransitionStyle style =
                                     platform::UIPageViewControllerTransitionStyle::Scroll,
                                 platform::UIPageViewControllerNavigationOrientation orientation =
                                     platform::UIPageViewControllerNavigationOrientation::Horizontal,
                                 Options options = {});
};

// Six promotion pages, each with a download button for the app it shows.
class PageViewControllerB final : public StepPager {
public:
    explicit PageViewControllerB(platform::UIPageViewControllerTransitionStyle style =
                                     platform::UIPageViewControllerTransitionStyle::Scroll,
                                 platform::UIPageViewControllerNavigationOrientation orientation =
                                     platform::UIPageViewControllerNavigationOrientation::Horizontal,
                                 Options options = {});
};

} // namespace quillora
