#include "platform/uikit/KeyboardInput.h"

#include <algorithm>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include "platform/uikit/DesktopServices.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIKeyInput.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UISearchBar.h"
#include "platform/uikit/UITextView.h"

namespace platform {

namespace {

std::shared_ptr<UIResponder> focused() {
    return UIResponder::currentFirstResponder();
}

// The boundaries a caret stops at: whole characters as a person sees them (an emoji flag, an
// accented letter made of two code points), in UTF-16 offsets.
std::size_t characterBoundary(const std::string& text, std::size_t offset, bool forward) {
    const icu::UnicodeString string = icu::UnicodeString::fromUTF8(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    const auto length = static_cast<std::size_t>(string.length());
    offset = std::min(offset, length);
    if (U_FAILURE(status) || !it) return forward ? std::min(offset + 1, length) : (offset ? offset - 1 : 0);
    it->setText(string);
    const int32_t next =
        forward ? it->following(static_cast<int32_t>(offset)) : it->preceding(static_cast<int32_t>(offset));
    if (next == icu::BreakIterator::DONE) return forward ? length : 0;
    return static_cast<std::size_t>(next);
}

std::u16string utf16(const std::string& text) {
    const icu::UnicodeString string = icu::UnicodeString::fromUTF8(text);
    return std::u16string(reinterpret_cast<const char16_t*>(string.getBuffer()),
                          static_cast<std::size_t>(string.length()));
}

std::size_t lineStart(const std::u16string& text, std::size_t offset) {
    while (offset > 0 && text[offset - 1] != u'\n')
        --offset;
    return offset;
}
std::size_t lineEnd(const std::u16string& text, std::size_t offset) {
    while (offset < text.size() && text[offset] != u'\n')
        ++offset;
    return offset;
}

std::string selectedText(const UITextView& view) {
    const NSRange range = view.selectedRange();
    const std::string& text = view.text();
    const std::size_t b0 = byteOffsetForUtf16(text, range.location);
    const std::size_t b1 = byteOffsetForUtf16(text, range.location + range.length);
    return text.substr(b0, b1 - b0);
}

// The caret end of the selection moves; the other end stays where the selection began.
struct Caret {
    std::size_t anchor;
    std::size_t head;
};

std::size_t utf8Length16(const std::string& text) {
    return utf16Length(text);
}

} // namespace

bool KeyboardInput::insertText(const std::string& text) {
    auto responder = focused();
    if (auto view = std::dynamic_pointer_cast<UITextView>(responder)) return view->typeText(text);
    if (auto field = std::dynamic_pointer_cast<UITextField>(responder)) return field->typeText(text);
    if (auto bar = std::dynamic_pointer_cast<UISearchBar>(responder)) return bar->typeText(text);
    if (auto input = std::dynamic_pointer_cast<UIKeyInput>(responder)) return input->insertText(text);
    return false;
}

bool KeyboardInput::deleteBackward() {
    auto responder = focused();
    if (auto view = std::dynamic_pointer_cast<UITextView>(responder)) {
        NSRange range = view->selectedRange();
        if (range.length == 0) {
            if (range.location == 0) return true;
            const std::size_t start = characterBoundary(view->text(), range.location, false);
            view->setSelectedRange({start, range.location - start});
        }
        return view->typeText("");
    }
    if (auto field = std::dynamic_pointer_cast<UITextField>(responder)) {
        std::string text = field->text();
        if (text.empty()) return true;
        const std::size_t end = utf8Length16(text);
        const std::size_t start = characterBoundary(text, end, false);
        if (auto d = field->delegate(); d && !d->textField_shouldChangeCharactersInRange_replacementString(
                                                 *field, {start, end - start}, ""))
            return false;
        field->setText(text.substr(0, byteOffsetForUtf16(text, start)));
        field->sendActionsForControlEvents(UIControlEvent::EditingChanged);
        return true;
    }
    if (auto bar = std::dynamic_pointer_cast<UISearchBar>(responder)) {
        std::string text = bar->text().value_or("");
        if (text.empty()) return true;
        const std::size_t start = characterBoundary(text, utf8Length16(text), false);
        bar->setText(text.substr(0, byteOffsetForUtf16(text, start)));
        if (auto d = bar->delegate()) d->searchBar_textDidChange(*bar, *bar->text());
        return true;
    }
    if (auto input = std::dynamic_pointer_cast<UIKeyInput>(responder)) return input->deleteBackward();
    return false;
}

bool KeyboardInput::deleteForward() {
    auto view = std::dynamic_pointer_cast<UITextView>(focused());
    if (!view) return false;
    NSRange range = view->selectedRange();
    if (range.length == 0) {
        const std::size_t end = characterBoundary(view->text(), range.location, true);
        if (end == range.location) return true;
        view->setSelectedRange({range.location, end - range.location});
    }
    return view->typeText("");
}

bool KeyboardInput::moveCaret(KeyboardMove move, bool extend) {
    auto view = std::dynamic_pointer_cast<UITextView>(focused());
    if (!view) return false;
    const std::string& text = view->text();
    const std::u16string units = utf16(text);
    const NSRange range = view->selectedRange();
    // Without a remembered anchor the selection is taken to have grown to the right.
    Caret caret{range.location, range.location + range.length};
    std::size_t head = caret.head;
    if (!extend && range.length > 0 && (move == KeyboardMove::left || move == KeyboardMove::right)) {
        // An arrow collapses a selection to its side first.
        head = move == KeyboardMove::left ? range.location : range.location + range.length;
    } else {
        switch (move) {
        case KeyboardMove::left:
            head = characterBoundary(text, head, false);
            break;
        case KeyboardMove::right:
            head = characterBoundary(text, head, true);
            break;
        case KeyboardMove::lineStart:
            head = lineStart(units, head);
            break;
        case KeyboardMove::lineEnd:
            head = lineEnd(units, head);
            break;
        case KeyboardMove::up:
        case KeyboardMove::down: {
            const std::size_t start = lineStart(units, head);
            const std::size_t column = head - start;
            if (move == KeyboardMove::up) {
                if (start == 0) {
                    head = 0;
                    break;
                }
                const std::size_t previous = lineStart(units, start - 1);
                head = std::min(previous + column, start - 1);
            } else {
                const std::size_t end = lineEnd(units, head);
                if (end == units.size()) {
                    head = end;
                    break;
                }
                const std::size_t next = end + 1;
                head = std::min(next + column, lineEnd(units, next));
            }
            break;
        }
        }
    }
    if (extend) {
        const std::size_t anchor = caret.anchor;
        view->setSelectedRange({std::min(anchor, head), std::max(anchor, head) - std::min(anchor, head)});
    } else {
        view->setSelectedRange({head, 0});
    }
    return true;
}

bool KeyboardInput::pressReturn() {
    auto responder = focused();
    if (std::dynamic_pointer_cast<UITextView>(responder)) return insertText("\n");
    if (auto field = std::dynamic_pointer_cast<UITextField>(responder)) return field->pressReturn();
    if (auto bar = std::dynamic_pointer_cast<UISearchBar>(responder)) return bar->pressSearchButton();
    return false;
}

bool KeyboardInput::selectAll() {
    auto view = std::dynamic_pointer_cast<UITextView>(focused());
    if (!view) return false;
    view->setSelectedRange({0, utf16Length(view->text())});
    return true;
}

bool KeyboardInput::copy() {
    auto responder = focused();
    if (auto view = std::dynamic_pointer_cast<UITextView>(responder)) {
        if (view->selectedRange().length == 0) return false;
        DesktopServices::shared().copyToClipboard(selectedText(*view));
        return true;
    }
    if (auto field = std::dynamic_pointer_cast<UITextField>(responder)) {
        DesktopServices::shared().copyToClipboard(field->text());
        return true;
    }
    return false;
}

bool KeyboardInput::cut() {
    auto view = std::dynamic_pointer_cast<UITextView>(focused());
    if (!view || view->selectedRange().length == 0 || !view->isEditable()) return false;
    DesktopServices::shared().copyToClipboard(selectedText(*view));
    return view->typeText("");
}

bool KeyboardInput::paste() {
    auto responder = focused();
    if (!responder) return false;
    std::weak_ptr<UIResponder> target = responder;
    DesktopServices::shared().clipboardText([target](const std::optional<std::string>& text) {
        // Typed only where the focus still is when the answer comes.
        auto still = target.lock();
        if (text && still && still == UIResponder::currentFirstResponder()) insertText(*text);
    });
    return true;
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
        auto presenter = front->presentingViewController();
        if (!presenter) return false;
        presenter->dismissViewControllerAnimated_completion(true, nullptr);
        return true;
    }
    std::shared_ptr<UINavigationController> nav = std::dynamic_pointer_cast<UINavigationController>(front);
    if (!nav) return false;
    return nav->viewControllers().size() > 1 && nav->popViewControllerAnimated(true) != nullptr;
}

} // namespace platform
