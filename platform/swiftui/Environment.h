#pragma once
// Values a view reads from where it is hosted rather than from its creator: the colour scheme, the
// dismissal of the sheet it is shown in, the open-URL action, the enabled flag and the button style
// in force. A host sets them up; modifiers override them for a subtree.

#include <functional>
#include <memory>
#include <string>

namespace platform::swiftui {

class ButtonStyle;

enum class ColorScheme { light, dark };

struct EnvironmentValues {
    ColorScheme colorScheme = ColorScheme::light;
    bool isEnabled = true;
    // True inside a presented sheet.
    bool isPresented = false;
    std::function<void()> dismissAction;
    std::function<void(const std::string&)> openURLAction;
    std::shared_ptr<const ButtonStyle> buttonStyle;

    // Dismisses the sheet the view is shown in; does nothing elsewhere.
    void dismiss() const {
        if (dismissAction) dismissAction();
    }
    void openURL(const std::string& url) const {
        if (openURLAction) openURLAction(url);
    }
};

// The environment of the view whose body is being built on this thread; the defaults outside a build.
const EnvironmentValues& environment();

} // namespace platform::swiftui
