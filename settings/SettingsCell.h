#pragma once
// One row of the settings list: a coloured symbol, the title as given, and a chevron.

#include <string>

#include "platform/swiftui/View.h"

namespace quillora {

struct SettingsCell {
    std::string title;
    std::string imgName;
    platform::swiftui::Color colorname;

    platform::swiftui::AnyView body() const;
};

} // namespace quillora
