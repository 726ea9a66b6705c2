#include "platform/uikit/UITextInput.h"

#include <cmath>

namespace platform {

bool UITextInput::insertText(const std::string& text) {
    return replaceText(textModel().selectedRange(), text, TextEditKind::typing);
}

bool UITextInput::deleteBackward() {
    const NSRange range = textModel().rangeToDelete(false);
    // Nothing before the caret: the key is taken and nothing changes.
    if (range.length == 0) return isTextEditable();
    return replaceText(range, "", TextEditKind::deletion);
}

bool UITextInput::deleteForward() {
    const NSRange range = textModel().rangeToDelete(true);
    if (range.length == 0) return isTextEditable();
    return replaceText(range, "", TextEditKind::deletion);
}

bool UITextInput::moveCaret(TextMove move, bool extend) {
    TextEditingModel& model = textModel();
    auto lines = textLines();
    model.move(move, extend, lines.get());
    selectionDidChange();
    return true;
}

bool UITextInput::selectAllText() {
    textModel().selectAll();
    selectionDidChange();
    return true;
}

bool UITextInput::undoTyping() {
    auto change = textModel().undoChange();
    if (!change || !isTextEditable()) return false;
    // The view applies the change the history gives, so its delegate sees it like any other,
    // then the history takes its step back.
    TextEditingModel before = textModel();
    if (!replaceText(change->range, change->replacement, TextEditKind::other)) return false;
    before.undo();
    textModel() = before;
    selectionDidChange();
    return true;
}

bool UITextInput::redoTyping() {
    auto change = textModel().redoChange();
    if (!change || !isTextEditable()) return false;
    TextEditingModel before = textModel();
    if (!replaceText(change->range, change->replacement, TextEditKind::other)) return false;
    before.redo();
    textModel() = before;
    selectionDidChange();
    return true;
}

void UITextInput::placeCaret(std::size_t offset, bool extend) {
    TextEditingModel& model = textModel();
    const std::size_t anchor = model.anchor();
    model.setSelectedRange({offset, 0});
    if (extend) model.select(anchor, model.caret());
    selectionDidChange();
}

void UITextInput::selectWord(std::size_t offset) {
    textModel().selectWordAt(offset);
    selectionDidChange();
}

void UITextInput::pressText(std::size_t offset, CGPoint windowPoint, double timestamp) {
    if (taps_.press(windowPoint, timestamp) == 2)
        selectWord(offset);
    else
        placeCaret(offset, false);
}

int TapCounter::press(CGPoint point, double timestamp) {
    const bool again = timestamp - time_ < 0.5 && std::hypot(point.x - last_.x, point.y - last_.y) < 6;
    count_ = again ? count_ + 1 : 1;
    last_ = point;
    time_ = timestamp;
    return count_;
}

} // namespace platform
