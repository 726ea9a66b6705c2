#include "platform/uikit/UISearchBar.h"

#include "platform/uikit/UIKitNotifications.h"

namespace platform {

bool UISearchBar::shouldBecomeFirstResponder() {
    auto d = delegate();
    return !d || d->searchBarShouldBeginEditing(*this);
}

void UISearchBar::didBecomeFirstResponder() {
    auto keep = self<UISearchBar>();
    postKeyboardNotifications(true);
    if (auto d = delegate()) d->searchBarTextDidBeginEditing(*this);
}

bool UISearchBar::shouldResignFirstResponder() {
    auto d = delegate();
    return !d || d->searchBarShouldEndEditing(*this);
}

void UISearchBar::didResignFirstResponder() {
    auto keep = self<UISearchBar>();
    if (auto d = delegate()) d->searchBarTextDidEndEditing(*this);
    postKeyboardNotifications(false);
}

bool UISearchBar::typeText(const std::string& text) {
    if (!isFirstResponder() && !becomeFirstResponder()) return false;
    return insertText(text);
}

bool UISearchBar::replaceText(NSRange range, const std::string& text, TextEditKind kind) {
    auto keep = self<UISearchBar>();
    editing_.replace(range, text, kind);
    hasText_ = true;
    if (auto d = delegate()) d->searchBar_textDidChange(*this, editing_.text());
    setNeedsDisplay();
    return true;
}

bool UISearchBar::clearText() {
    if (isHiddenOnScreen()) return false;
    auto keep = self<UISearchBar>();
    editing_.setText("");
    hasText_ = true;
    if (auto d = delegate()) d->searchBar_textDidChange(*this, editing_.text());
    return true;
}

bool UISearchBar::pressSearchButton() {
    if (!isFirstResponder()) return false;
    auto keep = self<UISearchBar>();
    if (auto d = delegate()) d->searchBarSearchButtonClicked(*this);
    return true;
}

bool UISearchBar::pressCancelButton() {
    if (!showsCancelButton_ || isHiddenOnScreen()) return false;
    auto keep = self<UISearchBar>();
    if (auto d = delegate()) d->searchBarCancelButtonClicked(*this);
    return true;
}

std::string UISearchBar::stateDescription() const {
    std::string out = hasText_ ? quote(editing_.text()) : "none";
    if (!placeholder_.empty()) out += " placeholder=" + quote(placeholder_);
    if (isFirstResponder()) out += " focused";
    if (auto base = UIView::stateDescription(); !base.empty()) out += " " + base;
    return out;
}

} // namespace platform
