#pragma once
// A row of radio buttons, one per option: the group keeps which option shows as chosen and tells
// its creator of every tap, also of a tap on the option already chosen.

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/swiftui/View.h"

namespace quillora {

// Inverts the colours of what it modifies in dark mode; leaves them alone in light mode.
struct ColorInvert {
    platform::swiftui::AnyView body(platform::swiftui::AnyView content) const;
};

struct RadioButton {
    std::string id; // the option, also the label
    std::function<void(const std::string&)> callback;
    std::string selectedID; // the group's choice when the button was built
    double size = 20;
    platform::swiftui::Color color = platform::swiftui::Color::primary();
    double textSize = 14;

    platform::swiftui::AnyView body() const;
};

struct RadioButtonGroup {
    RadioButtonGroup(std::vector<std::string> items, std::string selectedId,
                     std::function<void(const std::string&)> callback)
        : items(std::move(items)), selectedId(std::move(selectedId)), callback(std::move(callback)) {}

    std::vector<std::string> items;
    // The creator's value is only where the group starts; taps change it, the creator never does.
    platform::swiftui::State<std::string> selectedId;
    std::function<void(const std::string&)> callback;

    auto states() { return std::tie(selectedId); }
    platform::swiftui::AnyView body() const;
};

} // namespace quillora
