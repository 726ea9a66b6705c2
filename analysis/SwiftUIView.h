#pragma once
// The text-analysis screen: the word-class counters as a donut chart with its legend, a readout of
// the wedge tapped, the transcript with a search term marked in red, and the saved verbs, nouns,
// adjectives and pronouns as buttons that put themselves into the search field. Everything comes
// from the user-defaults store as it stands when the screen is made; nothing is written.

#include <memory>
#include <string>
#include <vector>

#include "platform/swiftui/View.h"

namespace platform {
class UIViewController;
}

namespace quillora {

struct SwiftUIView {
    // Reads the transcript and the four word lists from the standard store (a missing transcript
    // shows as empty text, a missing or malformed list as an empty row).
    SwiftUIView();

    platform::swiftui::State<std::string> selectedDonut{""};
    platform::swiftui::State<std::string> matching{""};
    // The screen that presented this one; Cancel dismisses what it presents. Empty when embedded.
    std::weak_ptr<platform::UIViewController> presentingVC;
    platform::swiftui::State<std::string> text;
    std::vector<std::string> savedarrayverb;
    std::vector<std::string> savedarraynoun;
    std::vector<std::string> savedarrayadjective;
    std::vector<std::string> savedarraypronoun;

    auto states() { return std::tie(selectedDonut, matching, text); }
    platform::swiftui::AnyView body() const;
};

} // namespace quillora
