#pragma once
// The editor sheet every dictation and detail screen uses: the stored transcript in a text editor,
// Cancel to discard the edits, Save to store them and tell the screens through `printValue`.

#include <memory>
#include <string>
#include <tuple>

#include "platform/foundation/PropertyList.h"
#include "platform/swiftui/View.h"

namespace platform {
class UIViewController;
}

namespace quillora {

struct SwiftUIEditView {
    // Starts from the transcript and the edit flag as stored (an absent transcript edits as empty
    // text). The presenter sets presentingVC afterwards.
    SwiftUIEditView();

    platform::swiftui::State<std::string> text;
    // The screen that presented the editor; Save and Cancel dismiss what it presents.
    std::weak_ptr<platform::UIViewController> presentingVC;
    platform::swiftui::State<platform::NSInteger> checkchangedtextinEdit;

    auto states() { return std::tie(text, checkchangedtextinEdit); }
    platform::swiftui::AnyView body() const;

    // The button actions. Save writes the flag and the transcript before it posts `printValue`, so
    // an observer that reads the store on receipt sees the new text; Cancel writes nothing.
    void save() const;
    void cancel() const;
};

} // namespace quillora
