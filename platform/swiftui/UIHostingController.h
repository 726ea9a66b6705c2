#pragma once
// A UIKit view controller that hosts a declarative root view: its ViewHost builds and drives the
// tree; sheets the views ask for are presented from this controller as new hosting controllers
// (or, for a representable, as the controller it makes), one new controller per presentation.

#include <any>
#include <memory>
#include <string>
#include <vector>

#include "platform/swiftui/ViewHost.h"
#include "platform/uikit/UIViewController.h"

namespace platform::swiftui {

class UIHostingController : public UIViewController {
public:
    explicit UIHostingController(AnyView rootView);

    const AnyView& rootView() const { return host_->rootView(); }
    void setRootView(AnyView rootView) { host()->setRootView(std::move(rootView)); }
    // The host that builds and drives the tree (press, edit, tree, describe...).
    const std::shared_ptr<ViewHost>& host();

    // The view draws the tree and takes its touches (HostingView).
    void loadView() override;
    // Takes the device's appearance as the colour scheme of its views (done when it is made and
    // each time it appears; the sheets it presents take it as well).
    void followDeviceAppearance();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void describeScreen(std::vector<std::string>& lines) const override;

protected:
    // A sheet that is a plain controller (a representable's) tells no host when it goes: the
    // views learn it here, once the dismissal is over.
    void didDismissPresentedViewController(const std::shared_ptr<UIViewController>& gone) override;

private:
    void wire();
    void presentSheet(const AnyView& content);

    std::shared_ptr<ViewHost> host_;
    bool wired_ = false;
    std::weak_ptr<UIViewController> sheetController_;
    std::any sheetCoordinator_;
    // The host of the hosting controller that presented this one as a sheet.
    std::weak_ptr<ViewHost> presentingHost_;
};

} // namespace platform::swiftui
