#pragma once
// The application delegate: keeps the window the platform installs and keeps the screen awake.

#include <memory>
#include <string>

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UIWindow.h"

namespace quillora {

class AppDelegate : public platform::UIResponder, public platform::UIApplicationDelegate {
public:
    AppDelegate() = default;

    std::shared_ptr<platform::UIWindow> window() const override { return window_; }
    void setWindow(std::shared_ptr<platform::UIWindow> window) override { window_ = std::move(window); }

    // Dictation can run for half an hour without a touch: the device must never dim or lock.
    // Preferences that cannot be saved, or were found damaged, are told in an alert on the screen
    // that is up.
    bool application_didFinishLaunchingWithOptions(platform::UIApplication& application,
                                                   const platform::LaunchOptions& launchOptions) override;

    // The alert about the preferences file, `message` saying which file and why.
    static void presentSettingsAlert(const std::string& title, const std::string& message);

private:
    std::shared_ptr<platform::UIWindow> window_;
};

} // namespace quillora
