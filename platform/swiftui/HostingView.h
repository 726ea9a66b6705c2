#pragma once
// The view of a hosting controller: it lays out the host's current tree in its bounds, draws it,
// and turns touches into what a person does with the declarative controls: a button is held down
// (drawn pressed) while the finger is over it and acts when lifted over it; a field takes the
// focus for typing; a toggle flips; a picker shows its options and takes the one touched; a
// stepper steps; a drag scrolls the scroll view under it.
//
// The layout is made once per tree and size and is what drawing and touches both read.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/swiftui/TextSetter.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewLayout.h"
#include "platform/swiftui/ViewRenderer.h"
#include "platform/uikit/Actionability.h"
#include "platform/uikit/UIKeyInput.h"
#include "platform/uikit/UITextInput.h"
#include "platform/uikit/UIView.h"

namespace platform::swiftui {

class HostingView : public UIView, public UITextInput {
public:
    explicit HostingView(std::shared_ptr<ViewHost> host);

    // The layout of the host's current tree in the current bounds.
    const ViewLayout& layout() const;

    void draw(cairo_t* cr) const override;
    std::shared_ptr<UIView> hitTest(CGPoint point) override;
    void touchesBegan(const UITouch& touch) override;
    void touchesMoved(const UITouch& touch) override;
    void touchesEnded(const UITouch& touch) override;
    void touchesCancelled(const UITouch& touch) override;

    // The field or editor being typed into (its place in the tree), empty when none.
    const std::string& focusedPath() const { return focused_; }
    // Gives the focus to the field or editor at `path` as a touch on it does, the caret at the end
    // of its text. False when there is none there or it is disabled.
    bool focusField(const std::string& path);

    // Typing into the focused field or editor edits through the one editing model; its text is
    // written through the field's binding. A text changed from elsewhere (the screen, a script's
    // `edit`) is taken up with the caret at its end.
    TextEditingModel& textModel() override;
    std::unique_ptr<TextLines> textLines() const override;
    bool replaceText(NSRange range, const std::string& text, TextEditKind kind) override;
    bool isMultiline() const override;
    // Return in a field ends the typing there: the keyboard goes.
    bool submit() override;
    // Tab and Shift+Tab go to the next and the previous field (round past either end), which
    // comes into sight with its text's end.
    bool focusNextField(bool backward) override;
    bool isTextEditable() const override;
    void selectionDidChange() override;
    // The picker whose options are shown, empty when none.
    const std::string& openPickerPath() const { return openPicker_; }
    // Scrolls the innermost scroll view under `point` that moves along the larger part of
    // `delta` (points the content moves by, positive towards its end). False when none does.
    bool scrollBy(CGPoint point, CGSize delta);

    bool canBecomeFirstResponder() const override { return !focused_.empty(); }

    // Brings the control at `path` into sight as a person would, dragging the scroll views around
    // it, then finds a point of the screen where a touch reaches it (and goes to `target` of it,
    // when given: a stepper's + or -). `name` is how reasons name it.
    Actionability::Reach reachControl(std::string path, const std::string& name,
                                      std::optional<LayoutHit::Target> target = std::nullopt);

protected:
    // A field or editor with the focus has the keyboard, as a text view has: it comes up with the
    // focus (or stays up when the focus comes from another text) and goes with it.
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;
    void focusLeftForNobody() override;

private:
    struct Touch {
        std::optional<LayoutHit::Target> target;
        std::string path;
        CGPoint start, last;
        bool inside = true;
        bool scrolling = false;
        // On the focused field, a press placed the caret and a drag selects.
        bool selecting = false;
        std::optional<std::size_t> pickerOption;
    };
    const Node* current(const std::string& path) const;
    bool insideControl(const std::string& path, CGPoint point) const;
    // The finger lifted at `point`; `dragged` when it wandered past the tap slop on the way.
    void finish(CGPoint point, bool dragged);
    void focus(const std::string& path);
    const Node* focusedField() const;
    void takeUpText() const;
    // The caret offset in the focused field under `point`.
    std::size_t offsetAt(CGPoint point) const;
    // Scrolls an editor as little as needed for its caret to show.
    void revealCaret();
    // Drags the scroll view at `scrollPath` until the box of `path` is in its frame; false when
    // it goes no further.
    bool dragIntoView(const std::string& scrollPath, const std::string& path);

    std::shared_ptr<ViewHost> host_;
    TextSetter text_;
    ViewRenderer renderer_{text_};
    ViewLayout::ScrollOffsets offsets_;
    std::string focused_;
    mutable TextEditingModel editing_;
    std::string openPicker_;
    std::optional<Touch> touch_;
    mutable std::unique_ptr<ViewLayout> layout_;
    mutable std::uint64_t layoutGeneration_ = 0;
    mutable CGSize layoutSize_;
    mutable ViewLayout::ScrollOffsets layoutOffsets_;
};

} // namespace platform::swiftui
