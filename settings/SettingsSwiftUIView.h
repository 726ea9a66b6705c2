#pragma once
// The settings screen that the dictation screens present: a close button, the tutorial video, the
// app-wide font size (stored under "savefontSizeApp", then announced with "fontValue"), links to
// the maker's pages, sharing the app and a feedback mail.

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/avkit/AVPlayer.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/swiftui/View.h"
#include "settings/MailView.h"

namespace platform {
class UIViewController;
}

namespace quillora {

struct SettingsSwiftUIView {
    // Reads the stored font size (0 when none is stored).
    SettingsSwiftUIView();

    std::weak_ptr<platform::UIViewController> presentingVC;
    platform::swiftui::State<bool> isPresented{false};
    std::shared_ptr<platform::NSUserDefaults> defaults;
    platform::swiftui::State<platform::NSInteger> oldfontSizeApp;
    platform::swiftui::State<platform::NSInteger> stepperValue;
    platform::swiftui::State<std::optional<MailResult>> result;
    platform::swiftui::State<bool> isShowingMailView{false};
    std::vector<std::string> colors{"White", "Black", "Blue"};
    platform::swiftui::State<std::string> selectedColor{"White"};

    auto states() {
        return std::tie(isPresented, oldfontSizeApp, stepperValue, result, isShowingMailView, selectedColor);
    }
    platform::swiftui::AnyView body() const;

    // The stepper's two actions.
    void onIncrement() const;
    void onDecrement() const;
    // Dismisses what presentingVC presents (this screen's hosting controller).
    void close() const;
    // Shares the app's recommendation above whatever is shown.
    void share() const;
    // The tutorial's player, made once for this presentation of the screen.
    std::shared_ptr<platform::AVPlayer> player() const;

private:
    void step(platform::NSInteger delta, const char* line) const;
    // Shared by the copies of this view made while it is shown, so that rebuilding the screen
    // keeps the one player (and a playing video keeps playing).
    struct PlayerSlot {
        std::shared_ptr<platform::AVPlayer> player;
    };
    std::shared_ptr<PlayerSlot> playerSlot_ = std::make_shared<PlayerSlot>();
};

} // namespace quillora
