#pragma once
// The document template gallery, "CHOOSE A DOCUMENT ": thirteen cards in four sections, each
// opening its template's form as a sheet. The dictation screens present it; it stores nothing.

#include <memory>
#include <optional>
#include <string>
#include <tuple>

#include "platform/swiftui/View.h"

namespace platform {
class UIViewController;
}

namespace quillora {

// One selector per card, each with one case; a card's sheet is up while its selector is set.
enum class ActiveSheet { first };
enum class ActiveSheet2 { third };
enum class ActiveSheet3 { fifth };
enum class ActiveSheet4 { seventh };
enum class ActiveSheet5 { nineth };
enum class ActiveSheet6 { eleventh };
enum class ActiveSheet7 { thirteen };
enum class ActiveSheet8 { fifteen };
enum class ActiveSheet9 { seventeen };
enum class ActiveSheet10 { nineteen };
enum class ActiveSheet11 { twentyone };
enum class ActiveSheet12 { twentythree };
enum class ActiveSheet13 { twentyfive };

// A selector's identity: the hash of its one case.
template <class E>
requires std::is_enum_v<E>
int id(E value) {
    return static_cast<int>(std::hash<int>{}(static_cast<int>(value)));
}

struct SwiftUiPdfView {
    // The screen that presented the gallery; set by the presenter, read by cancel.
    std::weak_ptr<platform::UIViewController> presentingVC;
    platform::swiftui::State<std::optional<ActiveSheet>> activeSheet;
    platform::swiftui::State<std::optional<ActiveSheet2>> activeSheet2;
    platform::swiftui::State<std::optional<ActiveSheet3>> activeSheet3;
    platform::swiftui::State<std::optional<ActiveSheet4>> activeSheet4;
    platform::swiftui::State<std::optional<ActiveSheet5>> activeSheet5;
    platform::swiftui::State<std::optional<ActiveSheet6>> activeSheet6;
    platform::swiftui::State<std::optional<ActiveSheet7>> activeSheet7;
    platform::swiftui::State<std::optional<ActiveSheet8>> activeSheet8;
    platform::swiftui::State<std::optional<ActiveSheet9>> activeSheet9;
    platform::swiftui::State<std::optional<ActiveSheet10>> activeSheet10;
    platform::swiftui::State<std::optional<ActiveSheet11>> activeSheet11;
    platform::swiftui::State<std::optional<ActiveSheet12>> activeSheet12;
    platform::swiftui::State<std::optional<ActiveSheet13>> activeSheet13;

    auto states() {
        return std::tie(activeSheet, activeSheet2, activeSheet3, activeSheet4, activeSheet5, activeSheet6,
                        activeSheet7, activeSheet8, activeSheet9, activeSheet10, activeSheet11, activeSheet12,
                        activeSheet13);
    }
    platform::swiftui::AnyView body() const;
};

} // namespace quillora
