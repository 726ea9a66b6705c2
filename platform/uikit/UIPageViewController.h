#pragma once
// Page view controllers: one page (a child screen) shown at a time; its neighbours come from the
// data source, and the delegate hears when a person's swipe has settled. A page's view is loaded
// when the page is first shown, and its controls are reachable through the pager.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/UIViewController.h"

namespace platform {

class UIPageViewController;

enum class UIPageViewControllerTransitionStyle { PageCurl = 0, Scroll = 1 };
enum class UIPageViewControllerNavigationOrientation { Horizontal = 0, Vertical = 1 };
enum class UIPageViewControllerNavigationDirection { Forward = 0, Reverse = 1 };

class UIPageViewControllerDataSource {
public:
    virtual ~UIPageViewControllerDataSource() = default;
    virtual std::shared_ptr<UIViewController>
    pageViewController_viewControllerBeforeViewController(UIPageViewController&,
                                                          const std::shared_ptr<UIViewController>&) = 0;
    virtual std::shared_ptr<UIViewController>
    pageViewController_viewControllerAfterViewController(UIPageViewController&,
                                                         const std::shared_ptr<UIViewController>&) = 0;
};

class UIPageViewControllerDelegate {
public:
    virtual ~UIPageViewControllerDelegate() = default;
    virtual void pageViewController_willTransitionToViewControllers(
        UIPageViewController&, const std::vector<std::shared_ptr<UIViewController>>&) {}
    // After the animation of a person's swipe; `completed` is false when the swipe was given up.
    virtual void pageViewController_didFinishAnimating_previousViewControllers_transitionCompleted(
        UIPageViewController&, bool /*finished*/,
        const std::vector<std::shared_ptr<UIViewController>>& /*previous*/, bool /*completed*/) {}
};

class UIPageViewController : public UIViewController {
public:
    using Options = std::map<std::string, double>;

    explicit UIPageViewController(
        UIPageViewControllerTransitionStyle style = UIPageViewControllerTransitionStyle::PageCurl,
        UIPageViewControllerNavigationOrientation orientation =
            UIPageViewControllerNavigationOrientation::Horizontal,
        Options options = {})
        : style_(style), orientation_(orientation), options_(std::move(options)) {}

    UIPageViewControllerTransitionStyle transitionStyle() const { return style_; }
    UIPageViewControllerNavigationOrientation navigationOrientation() const { return orientation_; }
    const Options& options() const { return options_; }

    std::shared_ptr<UIPageViewControllerDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<UIPageViewControllerDataSource> source) {
        dataSource_ = std::move(source);
    }
    std::shared_ptr<UIPageViewControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIPageViewControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // The pages shown (one; none before the first is set).
    const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return shown_; }
    // Shows the pages from code: no delegate message; `completion(true)` on the run loop.
    void
    setViewControllers_direction_animated_completion(std::vector<std::shared_ptr<UIViewController>> pages,
                                                     UIPageViewControllerNavigationDirection direction,
                                                     bool animated, std::function<void(bool)> completion);

    // A person's swipe towards the next (forward) or previous page. Asks the data source for the
    // neighbour; none: nothing moves (false). `complete` false gives the swipe up half-way: the
    // page stays. The delegate hears of both once the swipe's animation is over.
    bool userSwipe(UIPageViewControllerNavigationDirection direction, bool complete = true);

    // A drag in the window: lifted past a quarter of the width it turns the page, short of that
    // it is a swipe given up.
    void touchesBegan(const UITouch& touch) override;
    void touchesEnded(const UITouch& touch) override;

    // The pager's own controls, then those of the page shown.
    std::vector<std::pair<std::string, std::shared_ptr<NSObject>>> exposedOutlets() const override;
    void describeScreen(std::vector<std::string>& lines) const override;

protected:
    std::vector<std::shared_ptr<UIViewController>> childViewControllersForAppearance() const override {
        return shown_;
    }

private:
    void show(std::vector<std::shared_ptr<UIViewController>> pages, bool animated);

    UIPageViewControllerTransitionStyle style_;
    UIPageViewControllerNavigationOrientation orientation_;
    Options options_;
    std::weak_ptr<UIPageViewControllerDataSource> dataSource_;
    std::weak_ptr<UIPageViewControllerDelegate> delegate_;
    std::vector<std::shared_ptr<UIViewController>> shown_;
    std::optional<CGPoint> dragStart_;
};

} // namespace platform
