#include "platform/uikit/KeyboardInput.h"

#include <algorithm>
#include <memory>

#include <cctype>

#include <glib.h>

#include "platform/uikit/DesktopServices.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UISearchBar.h"
#include "platform/uikit/UITextInput.h"
#include "platform/uikit/UITextView.h"

namespace platform {

namespace {

std::shared_ptr<UIResponder> focused() {
    return UIResponder::currentFirstResponder();
}

std::shared_ptr<UITextInput> focusedText() {
    return std::dynamic_pointer_cast<UITextInput>(focused());
}

TextMove textMove(KeyboardMove move) {
    switch (move) {
    case KeyboardMove::left:
        return TextMove::characterBackward;
    case KeyboardMove::right:
        return TextMove::characterForward;
    case KeyboardMove::up:
        return TextMove::lineUp;
    case KeyboardMove::down:
        return TextMove::lineDown;
    case KeyboardMove::lineStart:
        return TextMove::lineStart;
    case KeyboardMove::lineEnd:
        return TextMove::lineEnd;
    case KeyboardMove::wordLeft:
        return TextMove::wordBackward;
    case KeyboardMove::wordRight:
        return TextMove::wordForward;
    case KeyboardMove::textStart:
        return TextMove::textStart;
    case KeyboardMove::textEnd:
        return TextMove::textEnd;
    }
    return TextMove::characterForward;
}

std::string lowered(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

std::optional<KeyCombo> KeyCombo::parse(const std::string& text) {
    KeyCombo combo;
    std::size_t start = 0;
    while (true) {
        // A '+' at the very end is the plus key itself.
        const std::size_t plus = text.find('+', start);
        if (plus == std::string::npos || plus + 1 == text.size()) {
            combo.key = text.substr(start);
            break;
        }
        const std::string modifier = lowered(text.substr(start, plus - start));
        if (modifier == "ctrl" || modifier == "control")
            combo.control = true;
        else if (modifier == "shift")
            combo.shift = true;
        else if (modifier == "alt")
            combo.alt = true;
        else
            return std::nullopt;
        start = plus + 1;
    }
    if (combo.key.empty()) return std::nullopt;
    return combo;
}

bool KeyboardInput::insertText(const std::string& text) {
    auto input = focusedText();
    return input && input->insertText(text);
}

bool KeyboardInput::deleteBackward() {
    auto input = focusedText();
    return input && input->deleteBackward();
}

bool KeyboardInput::deleteForward() {
    auto input = focusedText();
    return input && input->deleteForward();
}

bool KeyboardInput::moveCaret(KeyboardMove move, bool extend) {
    auto input = focusedText();
    return input && input->moveCaret(textMove(move), extend);
}

bool KeyboardInput::pressReturn() {
    auto responder = focused();
    if (std::dynamic_pointer_cast<UITextView>(responder)) return insertText("\n");
    if (auto field = std::dynamic_pointer_cast<UITextField>(responder)) return field->pressReturn();
    if (auto bar = std::dynamic_pointer_cast<UISearchBar>(responder)) return bar->pressSearchButton();
    return false;
}

bool KeyboardInput::selectAll() {
    auto input = focusedText();
    return input && input->selectAllText();
}

bool KeyboardInput::copy() {
    auto input = focusedText();
    if (!input || input->textModel().selectedRange().length == 0) return false;
    DesktopServices::shared().copyToClipboard(input->textModel().selectedText());
    return true;
}

bool KeyboardInput::cut() {
    auto input = focusedText();
    if (!input || input->textModel().selectedRange().length == 0 || !input->isTextEditable()) return false;
    const std::string selected = input->textModel().selectedText();
    if (!input->replaceText(input->textModel().selectedRange(), "", TextEditKind::deletion)) return false;
    DesktopServices::shared().copyToClipboard(selected);
    return true;
}

bool KeyboardInput::paste() {
    auto responder = focused();
    if (!responder) return false;
    std::weak_ptr<UIResponder> target = responder;
    DesktopServices::shared().clipboardText([target](const std::optional<std::string>& text) {
        // Typed only where the focus still is when the answer comes.
        auto still = target.lock();
        if (text && still && still == UIResponder::currentFirstResponder())
            if (auto input = std::dynamic_pointer_cast<UITextInput>(still))
                input->replaceText(input->textModel().selectedRange(), *text, TextEditKind::other);
    });
    return true;
}

bool KeyboardInput::undo() {
    auto input = focusedText();
    return input && input->undoTyping();
}

bool KeyboardInput::redo() {
    auto input = focusedText();
    return input && input->redoTyping();
}

bool KeyboardInput::pressAlertReturn() {
    auto chain = ScreenRenderer::presentationChain();
    auto alert = chain.empty() ? nullptr : std::dynamic_pointer_cast<UIAlertController>(chain.back());
    if (!alert) return false;
    alert->pressReturnKeyAction();
    return true;
}

bool KeyboardInput::pressEscape() {
    auto chain = ScreenRenderer::presentationChain();
    if (chain.empty()) return false;
    auto front = chain.back();
    if (auto alert = std::dynamic_pointer_cast<UIAlertController>(front))
        return alert->pressEscapeKeyAction();
    if (chain.size() > 1) {
        if (front->escapeKeyPressed()) return true;
        auto presenter = front->presentingViewController();
        if (!presenter) return false;
        presenter->dismissViewControllerAnimated_completion(true, nullptr);
        return true;
    }
    std::shared_ptr<UINavigationController> nav = std::dynamic_pointer_cast<UINavigationController>(front);
    if (!nav) return false;
    return nav->viewControllers().size() > 1 && nav->popViewControllerAnimated(true) != nullptr;
}

bool KeyboardInput::pressKey(const KeyCombo& combo) {
    const std::string& key = combo.key;
    const bool shift = combo.shift;
    if (combo.alt) return false;
    if (combo.control) {
        const std::string k = key.size() == 1 ? lowered(key) : key;
        if (k == "a") return selectAll();
        if (k == "c") return copy();
        if (k == "x") return cut();
        if (k == "v") return paste();
        // Shift turns z into Z: either is redo with Shift.
        if (k == "z") return shift || key == "Z" ? redo() : undo();
        if (k == "Left" || k == "KP_Left") return moveCaret(KeyboardMove::wordLeft, shift);
        if (k == "Right" || k == "KP_Right") return moveCaret(KeyboardMove::wordRight, shift);
        if (k == "Home" || k == "KP_Home") return moveCaret(KeyboardMove::textStart, shift);
        if (k == "End" || k == "KP_End") return moveCaret(KeyboardMove::textEnd, shift);
        return false;
    }
    if (key == "BackSpace") return deleteBackward();
    if (key == "Delete" || key == "KP_Delete") return deleteForward();
    if (key == "Left" || key == "KP_Left") return moveCaret(KeyboardMove::left, shift);
    if (key == "Right" || key == "KP_Right") return moveCaret(KeyboardMove::right, shift);
    if (key == "Up" || key == "KP_Up") return moveCaret(KeyboardMove::up, shift);
    if (key == "Down" || key == "KP_Down") return moveCaret(KeyboardMove::down, shift);
    if (key == "Home" || key == "KP_Home") return moveCaret(KeyboardMove::lineStart, shift);
    if (key == "End" || key == "KP_End") return moveCaret(KeyboardMove::lineEnd, shift);
    if (key == "Escape") return pressEscape();
    if (key == "Return" || key == "KP_Enter") {
        // An alert in front takes Return before the focused text behind it.
        if (pressAlertReturn()) return true;
        if (auto input = focusedText()) {
            if (!input->isMultiline()) return input->submit();
            // Taken even when the text's delegate turns the line break into something else (the
            // recipe text view closes the keyboard instead).
            input->insertText("\n");
            return true;
        }
        return pressReturn();
    }
    if (key == "Tab" || key == "ISO_Left_Tab" || key == "KP_Tab") {
        auto input = focusedText();
        return input && input->focusNextField(shift || key == "ISO_Left_Tab");
    }
    if (key == "space") return insertText(" ");
    // A printable key types itself.
    if (g_utf8_strlen(key.c_str(), -1) == 1) return insertText(key);
    return false;
}

} // namespace platform
