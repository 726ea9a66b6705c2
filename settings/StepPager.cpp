#include "settings/StepPager.h"

#include <algorithm>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "settings/StepPage.h"

using namespace platform;

namespace quillora {

StepPager::StepPager(std::vector<std::string_view> pageClasses, UIPageViewControllerTransitionStyle style,
                     UIPageViewControllerNavigationOrientation orientation, Options options)
    : UIPageViewController(style, orientation, std::move(options)),
      CancelButton(UIButton::buttonWithType(UIButtonType::Custom)),
      pageControl(std::make_shared<UIPageControl>()), pageClasses_(std::move(pageClasses)) {}

void StepPager::viewDidLoad() {
    UIPageViewController::viewDidLoad();
    auto me = self<StepPager>();
    setDataSource(std::static_pointer_cast<UIPageViewControllerDataSource>(me));
    setDelegate(std::static_pointer_cast<UIPageViewControllerDelegate>(me));
    for (auto name : pageClasses_)
        pages.push_back(makeStepPage(name));
    if (!pages.empty())
        setViewControllers_direction_animated_completion(
            {pages.front()}, UIPageViewControllerNavigationDirection::Forward, true, nullptr);

    auto root = view();
    pageControl->setFrame(CGRectZero);
    pageControl->currentPageIndicatorTintColor = UIColor::blackColor();
    pageControl->pageIndicatorTintColor = UIColor::greenColor();
    pageControl->setNumberOfPages(static_cast<long>(pages.size()));
    pageControl->setCurrentPage(0);
    root->addSubview(pageControl);
    pageControl->setTranslatesAutoresizingMaskIntoConstraints(false);
    pageControl->bottomAnchor().constraintEqualToAnchor(root->bottomAnchor(), -5)->setActive(true);
    pageControl->widthAnchor().constraintEqualToAnchor(root->widthAnchor(), -20)->setActive(true);
    pageControl->heightAnchor().constraintEqualToConstant(20)->setActive(true);
    pageControl->centerXAnchor().constraintEqualToAnchor(root->centerXAnchor())->setActive(true);
    // No layout is solved from the records: the frame the constraints describe.
    const CGRect b = root->bounds();
    pageControl->setFrame({10, b.height() - 25, b.width() - 20, 20});

    auto cancel = UIImage::imageNamed("cancelStore.jpg");
    CancelButton->setFrame({5, 5, 50, 50});
    CancelButton->setBackgroundColor(UIColor::clearColor());
    CancelButton->setTitle_forState(NSLocalizedString(""), UIControlStates::Normal);
    CancelButton->setImage_forState(cancel, UIControlStates::Normal);
    CancelButton->addTarget(
        me, "CancelButtonTapped", [](StepPager& pager) { pager.CancelButtonTapped(); },
        UIControlEvent::TouchUpInside);
    CancelButton->setSpringLoaded(true);
    root->addSubview(CancelButton);

    exposeOutlet("CancelButton", CancelButton);
    exposeOutlet("pageControl", pageControl);
}

long StepPager::position(const std::shared_ptr<UIViewController>& page) const {
    auto it = std::find(pages.begin(), pages.end(), page);
    return it == pages.end() ? -1 : static_cast<long>(it - pages.begin());
}

std::shared_ptr<UIViewController> StepPager::pageViewController_viewControllerBeforeViewController(
    UIPageViewController&, const std::shared_ptr<UIViewController>& page) {
    const long p = position(page);
    if (p < 0 || pages.empty()) return nullptr;
    return p > 0 ? pages[static_cast<std::size_t>(p - 1)] : pages.back();
}

std::shared_ptr<UIViewController> StepPager::pageViewController_viewControllerAfterViewController(
    UIPageViewController&, const std::shared_ptr<UIViewController>& page) {
    const long p = position(page);
    if (p < 0 || pages.empty()) return nullptr;
    return p + 1 < static_cast<long>(pages.size()) ? pages[static_cast<std::size_t>(p + 1)] : pages.front();
}

void StepPager::pageViewController_didFinishAnimating_previousViewControllers_transitionCompleted(
    UIPageViewController&, bool, const std::vector<std::shared_ptr<UIViewController>>&, bool) {
    // Whatever the swipe came to, the dot follows the page now shown.
    const auto& shown = viewControllers();
    if (shown.empty()) return;
    if (const long p = position(shown.front()); p >= 0) pageControl->setCurrentPage(p);
}

void StepPager::CancelButtonTapped() {
    dismissViewControllerAnimated_completion(true, nullptr);
    console().print("Page View Controller got cancelled ");
}

PageViewControllerA::PageViewControllerA(UIPageViewControllerTransitionStyle style,
                                         UIPageViewControllerNavigationOrientation orientation,
                                         Options options)
    : StepPager({"ViewControllerA1", "ViewControllerA2", "ViewControllerA3", "ViewControllerA4",
                 "ViewControllerA5", "ViewControllerA6", "ViewControllerA7", "ViewControllerA8",
                 "ViewControllerA9", "ViewControllerA10", "ViewControllerA11", "ViewControllerA12",
                 "ViewControllerA14", "ViewControllerA15"},
                style, orientation, std::move(options)) {}

PageViewControllerB::PageViewControllerB(UIPageViewControllerTransitionStyle style,
                                         UIPageViewControllerNavigationOrientation orientation,
                                         Options options)
    : StepPager({"ViewControllerB1", "ViewControllerB8", "ViewControllerB2", "ViewControllerB5",
                 "ViewControllerB6", "ViewControllerB7"},
                style, orientation, std::move(options)) {}

} // namespace quillora
