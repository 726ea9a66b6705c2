#include "platform/swiftui/UIHostingController.h"

#include <sstream>

#include "platform/foundation/DispatchQueue.h"
#include "platform/swiftui/HostingView.h"
#include "platform/uikit/UIScreen.h"

namespace platform::swiftui {

namespace {
// The controller a sheet's content stands for, when its content is (or wraps) a representable.
const Node* representableIn(const Node& n) {
    if (n.makeController) return &n;
    if (n.children.size() == 1) return representableIn(*n.children[0]);
    return nullptr;
}
} // namespace

namespace {
ColorScheme deviceScheme() {
    return UIScreen::mainScreen().userInterfaceStyle() == UIUserInterfaceStyle::Dark ? ColorScheme::dark
                                                                                     : ColorScheme::light;
}
} // namespace

UIHostingController::UIHostingController(AnyView rootView) : host_(ViewHost::make(std::move(rootView))) {}

void UIHostingController::followDeviceAppearance() {
    if (host_->colorScheme() != deviceScheme()) host()->setColorScheme(deviceScheme());
}

const std::shared_ptr<ViewHost>& UIHostingController::host() {
    wire();
    return host_;
}

void UIHostingController::wire() {
    if (wired_) return;
    wired_ = true;
    if (host_->colorScheme() != deviceScheme()) host_->setColorScheme(deviceScheme());
    std::weak_ptr<UIHostingController> weak = weakSelf<UIHostingController>();
    host_->setDismissHandler([weak] {
        auto me = weak.lock();
        if (me && me->presentingViewController()) me->dismissViewControllerAnimated_completion(true, nullptr);
    });
    host_->setSheetPresenter(
        [weak](const AnyView& content) {
            if (auto me = weak.lock()) me->presentSheet(content);
        },
        [weak] {
            auto me = weak.lock();
            if (!me) return;
            auto shown = me->sheetController_.lock();
            if (shown && me->presentedViewController() == shown)
                me->dismissViewControllerAnimated_completion(true, nullptr);
            me->sheetCoordinator_.reset();
        },
        [weak] {
            auto me = weak.lock();
            auto shown = me ? me->sheetController_.lock() : nullptr;
            return shown && me->presentedViewController() == shown;
        });
}

void UIHostingController::presentSheet(const AnyView& content) {
    // The sheet's environment dismisses whatever controller ends up showing it.
    auto shownHolder = std::make_shared<std::weak_ptr<UIViewController>>();
    BuildContext ctx{nullptr, "sheet", {}};
    followDeviceAppearance();
    ctx.env.colorScheme = host_->colorScheme();
    ctx.env.isPresented = true;
    ctx.env.dismissAction = [shownHolder] {
        if (auto c = shownHolder->lock()) c->dismissViewControllerAnimated_completion(true, nullptr);
    };
    NodePtr probe = content.build(ctx);
    std::shared_ptr<UIViewController> controller;
    if (const Node* rep = representableIn(*probe)) {
        RepresentedController made = rep->makeController();
        controller = made.controller;
        sheetCoordinator_ = made.coordinator;
    } else {
        auto hosting = std::make_shared<UIHostingController>(content);
        hosting->presentingHost_ = host_;
        hosting->host()->setColorScheme(host_->colorScheme());
        controller = hosting;
    }
    *shownHolder = controller;
    sheetController_ = controller;
    presentViewController_animated_completion(controller, true, nullptr);
    if (presentedViewController() != controller) {
        // Refused (something else is up): the sheet is not shown, so its flag goes back.
        sheetController_.reset();
        host_->sheetDidDismiss();
    }
}

void UIHostingController::loadView() {
    setView(std::make_shared<HostingView>(host_));
}

void UIHostingController::viewDidLoad() {
    wire();
    host_->tree();
}

void UIHostingController::viewWillAppear(bool) {
    followDeviceAppearance();
    host()->syncSheet();
}

void UIHostingController::viewDidDisappear(bool) {
    // Shown as a sheet and now dismissed (by its own views, its presenter or a swipe): the
    // presenting views learn it once the dismissal is over.
    auto presenting = presentingHost_.lock();
    if (!presenting) return;
    std::weak_ptr<ViewHost> weak = presenting;
    DispatchQueue::main().async([weak] {
        if (auto h = weak.lock()) h->syncSheet();
    });
}

void UIHostingController::didDismissPresentedViewController(const std::shared_ptr<UIViewController>& gone) {
    if (gone != sheetController_.lock()) return;
    std::weak_ptr<ViewHost> weak = host_;
    DispatchQueue::main().async([weak] {
        if (auto h = weak.lock()) h->syncSheet();
    });
}

void UIHostingController::describeScreen(std::vector<std::string>& lines) const {
    UIViewController::describeScreen(lines);
    std::istringstream tree(host_->describe());
    for (std::string line; std::getline(tree, line);)
        lines.push_back("  " + line);
}

} // namespace platform::swiftui
