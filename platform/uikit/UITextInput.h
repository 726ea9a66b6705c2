#pragma once
// What every text a person types into offers the keyboard and the pointer: its editing model
// (text, caret, selection, history), its displayed lines, and the one way a change is made: the
// view asks its delegate about the real range being changed, then changes and reports. The keys
// (KeyboardInput), the scripts and the touches all edit through here.

#include <memory>
#include <string>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/TextEditingModel.h"
#include "platform/uikit/UIKeyInput.h"

namespace platform {

// Tells a double click from two single ones: a press within half a second of the last one and
// near it counts as the second.
class TapCounter {
public:
    int press(CGPoint point, double timestamp);

private:
    CGPoint last_;
    double time_ = -1e9;
    int count_ = 0;
};

class UITextInput : public UIKeyInput {
public:
    // The text being typed into. Views whose text can change from elsewhere bring it up to date
    // first (the caret then goes to its end).
    virtual TextEditingModel& textModel() = 0;
    // The lines as drawn, for Up/Down and Home/End; none: the text's own lines.
    virtual std::unique_ptr<TextLines> textLines() const { return nullptr; }
    // Replaces `range` by `text` as the person's edit: asks the delegate, changes the text and the
    // caret (after what was put in), reports the change. False when refused or not editable.
    virtual bool replaceText(NSRange range, const std::string& text, TextEditKind kind) = 0;
    // Return makes a new line in multi-line text and submits a single-line one.
    virtual bool isMultiline() const = 0;
    virtual bool submit() = 0;
    // Tab (Shift+Tab: `backward`) in a form moves the focus to its next (previous) field; false
    // where there is no other field to go to.
    virtual bool focusNextField(bool backward) {
        (void)backward;
        return false;
    }
    virtual bool isTextEditable() const { return true; }
    // The selection moved: redraw, keep the caret in sight, tell whom it concerns.
    virtual void selectionDidChange() = 0;

    // The keyboard's part, the same for every kind of text.
    bool insertText(const std::string& text) final;
    bool deleteBackward() final;
    bool deleteForward();
    bool moveCaret(TextMove move, bool extend);
    bool selectAllText();
    bool undoTyping();
    bool redoTyping();
    // The pointer: the caret at `offset` (the anchor stays with `extend`); a word selected.
    void placeCaret(std::size_t offset, bool extend);
    void selectWord(std::size_t offset);
    // A press on the focused text at `offset`: the caret goes there, or, on a second quick press
    // at the same place of the window, the word there is selected.
    void pressText(std::size_t offset, CGPoint windowPoint, double timestamp);
    // A press that only focused the text: counted, so that a quick second one selects a word.
    void countPress(CGPoint windowPoint, double timestamp) { taps_.press(windowPoint, timestamp); }

private:
    TapCounter taps_;
};

} // namespace platform
