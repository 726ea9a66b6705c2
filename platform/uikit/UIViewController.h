#pragma once
// View controllers: a lazily loaded view, appearance callbacks in the platform's order, modal
// presentation, containment, storyboard segues, and the named controls a screen exposes so that
// it can be printed and driven by name.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewControllerTransitioning.h"

namespace platform {

class UINavigationController;
class UIStoryboard;
class UIStoryboardSegue;

enum class UIModalPresentationStyle {
    FullScreen = 0,
    PageSheet = 1,
    FormSheet = 2,
    CurrentContext = 3,
    Custom = 4,
    OverFullScreen = 5,
    OverCurrentContext = 6,
    Popover = 7,
    None = -1,
    Automatic = -2
};
enum class UIModalTransitionStyle {
    CoverVertical = 0,
    FlipHorizontal = 1,
    CrossDissolve = 2,
    PartialCurl = 3
};

enum class UINavigationItemLargeTitleDisplayMode { Automatic = 0, Always = 1, Never = 2 };

class UINavigationItem : public NSObject {
public:
    std::optional<std::string> title;
    UINavigationItemLargeTitleDisplayMode largeTitleDisplayMode =
        UINavigationItemLargeTitleDisplayMode::Automatic;
    std::shared_ptr<UIBarButtonItem> leftBarButtonItem;
    std::shared_ptr<UIBarButtonItem> rightBarButtonItem;
    std::vector<std::shared_ptr<UIBarButtonItem>> rightBarButtonItems;
    std::shared_ptr<UIBarButtonItem> backBarButtonItem;
    bool hidesBackButton = false;
};

using UIPopoverArrowDirection = unsigned;
namespace UIPopoverArrowDirections {
inline constexpr UIPopoverArrowDirection None = 0; // no arrow
inline constexpr UIPopoverArrowDirection Up = 1 << 0;
inline constexpr UIPopoverArrowDirection Down = 1 << 1;
inline constexpr UIPopoverArrowDirection Left = 1 << 2;
inline constexpr UIPopoverArrowDirection Right = 1 << 3;
inline constexpr UIPopoverArrowDirection Any = Up | Down | Left | Right;
} // namespace UIPopoverArrowDirections

// Where a popover points: a view and a rectangle in it, or a bar button item.
class UIPopoverPresentationController : public NSObject {
public:
    std::weak_ptr<UIView> sourceView;
    CGRect sourceRect;
    std::weak_ptr<UIBarButtonItem> barButtonItem;
    UIPopoverArrowDirection permittedArrowDirections = UIPopoverArrowDirections::Any;

    bool hasAnchor() const { return !sourceView.expired() || !barButtonItem.expired(); }
};

enum class UIViewControllerAppearance { Disappeared, Appearing, Appeared, Disappearing };

class UIViewController : public UIResponder {
public:
    UIViewController();
    ~UIViewController() override;

    // The view, loaded on first use: loadView, then viewDidLoad once.
    std::shared_ptr<UIView> view();
    bool isViewLoaded() const { return view_ != nullptr; }
    void setView(std::shared_ptr<UIView> view) {
        view_ = std::move(view);
        // Also called from constructors, before this controller is owned by a shared pointer.
        if (view_) view_->setOwningResponder(std::static_pointer_cast<UIResponder>(weak_from_this().lock()));
    }
    // The view's superview, else the presenting controller.
    std::shared_ptr<UIResponder> nextResponder() const override;
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool) {}
    virtual void viewDidAppear(bool) {}
    virtual void viewWillDisappear(bool) {}
    virtual void viewDidDisappear(bool) {}
    UIViewControllerAppearance appearance() const { return appearance_; }

    // Setting the title also titles the navigation item, as the platform does.
    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title);
    std::shared_ptr<UINavigationItem> navigationItem();

    // Containment.
    std::shared_ptr<UIViewController> parentViewController() const { return parent_.lock(); }
    const std::vector<std::shared_ptr<UIViewController>>& childViewControllers() const { return children_; }
    void addChildViewController(const std::shared_ptr<UIViewController>& child);
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(const std::shared_ptr<UIViewController>&) {}
    virtual void didMoveToParentViewController(const std::shared_ptr<UIViewController>&) {}
    // The closest navigation controller above this one.
    std::shared_ptr<UINavigationController> navigationController() const;

    // Modal presentation. Presenting while a presentation is up is refused with the platform's
    // warning; completion blocks run on the main run loop once the transition is over.
    void presentViewController_animated_completion(const std::shared_ptr<UIViewController>& controller,
                                                   bool animated, std::function<void()> completion);
    void dismissViewControllerAnimated_completion(bool animated, std::function<void()> completion);
    std::shared_ptr<UIViewController> presentedViewController() const;
    std::shared_ptr<UIViewController> presentingViewController() const;
    UIModalPresentationStyle modalPresentationStyle() const { return modalPresentationStyle_; }
    // The style this controller is shown in when presented, `Automatic` resolved.
    UIModalPresentationStyle presentationStyle() const { return resolvedPresentationStyle(); }
    // Where a presented controller's view goes on the screen in its presentation style.
    virtual CGRect presentationFrame() const;
    void setModalPresentationStyle(UIModalPresentationStyle style) { modalPresentationStyle_ = style; }
    UIModalTransitionStyle modalTransitionStyle() const { return modalTransitionStyle_; }
    void setModalTransitionStyle(UIModalTransitionStyle style) { modalTransitionStyle_ = style; }
    // Who animates this controller's presentation and dismissal; none: the platform's animation.
    // An animator's transition holds the presentation until it reports completion.
    std::shared_ptr<UIViewControllerTransitioningDelegate> transitioningDelegate() const {
        return transitioningDelegate_.lock();
    }
    void setTransitioningDelegate(std::weak_ptr<UIViewControllerTransitioningDelegate> delegate) {
        transitioningDelegate_ = std::move(delegate);
    }
    // True while an animator presents or dismisses this controller: what it will cover (or has
    // covered) still shows around it.
    bool isBeingPresented() const { return beingPresented_; }
    bool isBeingDismissed() const { return beingDismissed_; }
    // The screen's size changes (a rotation): passed on to the children.
    virtual void
    viewWillTransitionToSize_withTransitionCoordinator(CGSize size,
                                                       UIViewControllerTransitionCoordinator& coordinator);
    // Present when the controller will show as a popover: popover style, or a sheet that becomes a
    // popover on a pad. None otherwise.
    std::shared_ptr<UIPopoverPresentationController> popoverPresentationController();

    // Storyboards.
    std::shared_ptr<UIStoryboard> storyboard() const { return storyboard_; }
    // What a scene designs into the view beyond the screen's own code: it runs once the view is
    // made and before viewDidLoad, as a storyboard's views are loaded.
    void setSceneViews(std::function<void(UIViewController&, UIView&)> builder) {
        sceneViews_ = std::move(builder);
    }
    const std::string& storyboardIdentifier() const { return storyboardIdentifier_; }
    // Makes the destination of the segue, calls prepareForSegue_sender, then shows it (pushes
    // inside a navigation controller, presents otherwise). An unknown identifier stops the program.
    void performSegueWithIdentifier_sender(const std::string& identifier, std::shared_ptr<NSObject> sender);
    virtual void prepareForSegue_sender(UIStoryboardSegue&, const std::shared_ptr<NSObject>&) {}
    virtual bool shouldPerformSegueWithIdentifier_sender(const std::string&,
                                                         const std::shared_ptr<NSObject>&) {
        return true;
    }

    // Editing mode and the item that toggles it ("Edit" / "Done").
    bool isEditing() const { return editing_; }
    virtual void setEditing_animated(bool editing, bool animated);
    std::shared_ptr<UIBarButtonItem> editButtonItem();

    // The controls a screen makes reachable by their property names, in the order exposed.
    void exposeOutlet(const std::string& name, const std::shared_ptr<NSObject>& object);
    std::shared_ptr<NSObject> outletNamed(const std::string& name) const;
    virtual std::vector<std::pair<std::string, std::shared_ptr<NSObject>>> exposedOutlets() const;
    // The titled items of a bar the screen draws itself, not a navigation bar's: a person knows
    // them by their titles, as the navigation bar's items.
    virtual std::vector<std::shared_ptr<UIView>> ownBarItems() const { return {}; }
    // This screen as text lines: its class and title, then each exposed outlet and its state.
    virtual void describeScreen(std::vector<std::string>& lines) const;
    // Escape on the keyboard while this screen is the front-most presentation: true when the
    // screen answers it itself (a composer asks what becomes of its draft), false to be dismissed.
    virtual bool escapeKeyPressed() { return false; }

    // Appearance transitions, driven by containers and presentation.
    void beginAppearanceTransition(bool appearing, bool animated);
    void endAppearanceTransition();

protected:
    // The children that receive this controller's appearance callbacks (containers narrow it).
    virtual std::vector<std::shared_ptr<UIViewController>> childViewControllersForAppearance() const {
        return children_;
    }
    // Sheets that the platform shows as popovers on a pad (action sheets, share sheets).
    virtual bool adaptsToPopoverOnPad() const { return false; }
    // A controller this one presented has gone, however it was dismissed.
    virtual void didDismissPresentedViewController(const std::shared_ptr<UIViewController>&) {}
    // The style this controller is shown in, `Automatic` resolved.
    virtual UIModalPresentationStyle resolvedPresentationStyle() const;

private:
    friend class UINavigationController;
    friend class UIStoryboard;
    // The controller that hosts presentations for this one: the root of its parent chain.
    std::shared_ptr<UIViewController> presentationHost() const;
    void dismissPresented(bool animated, std::function<void()> completion);
    // A presentation or dismissal by the transitioning delegate's animator.
    void presentWithAnimator(const std::shared_ptr<UIViewController>& controller,
                             const std::shared_ptr<UIViewControllerAnimatedTransitioning>& animator,
                             std::function<void()> completion);
    void dismissWithAnimator(const std::shared_ptr<UIViewControllerAnimatedTransitioning>& animator,
                             std::function<void()> completion);

    std::shared_ptr<UIView> view_;
    bool loadingView_ = false;
    UIViewControllerAppearance appearance_ = UIViewControllerAppearance::Disappeared;
    bool appearanceAnimated_ = false;
    std::optional<std::string> title_;
    std::shared_ptr<UINavigationItem> navigationItem_;
    std::weak_ptr<UIViewController> parent_;
    std::vector<std::shared_ptr<UIViewController>> children_;
    std::shared_ptr<UIViewController> presented_;
    std::weak_ptr<UIViewController> presenting_;
    UIModalPresentationStyle modalPresentationStyle_ = UIModalPresentationStyle::Automatic;
    UIModalTransitionStyle modalTransitionStyle_ = UIModalTransitionStyle::CoverVertical;
    std::shared_ptr<UIPopoverPresentationController> popover_;
    std::weak_ptr<UIViewControllerTransitioningDelegate> transitioningDelegate_;
    // The view that holds a custom presentation's views while it is shown.
    std::shared_ptr<UIView> transitionContainer_;
    bool transitioning_ = false;
    bool beingPresented_ = false;
    bool beingDismissed_ = false;
    std::function<void(UIViewController&, UIView&)> sceneViews_;
    std::shared_ptr<UIStoryboard> storyboard_;
    std::string storyboardIdentifier_;
    bool editing_ = false;
    std::shared_ptr<UIBarButtonItem> editButtonItem_;
    std::vector<std::pair<std::string, std::weak_ptr<NSObject>>> outlets_;
};

} // namespace platform
