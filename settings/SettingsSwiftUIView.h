#pragma once
// The settings screen as the dictation screens present it: the app-wide font size, which the
// stepper stores under "savefontSizeApp" and then announces with "fontValue".

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/foundation/NSUserDefaults.h"
#include "platform/swiftui/View.h"

namespace platform {
class UIViewController;
}

namespace quillora {

struct SettingsSwiftUIView {
    // Reads the stored font size (0 when none is stored).
    SettingsSwiftUIView();

    std::weak_ptr<platform::UIViewController> presentingVC;
    platform::swiftui::State<bool> isPresented{false};
    platform::swiftui::State<bool> isShowingMailView{false};
    std::shared_ptr<platform::NSUserDefaults> defaults;
    platform::swiftui::State<platform::NSInteger> fontSize;
    platform::swiftui::State<platform::NSInteger> savedFontSize;
    std::vector<std::string> colors{"White", "Black", "Blue"};
    platform::swiftui::State<std::string> selectedColor{"White"};

    auto states() { return std::tie(isPresented, isShowingMailView, fontSize, savedFontSize, selectedColor); }
    platform::swiftui::AnyView body() const;

    // The stepper: stores the new size, then posts "fontValue" with it as decimal text.
    void changeFontSize(platform::NSInteger delta) const;
};

} // namespace quillora
