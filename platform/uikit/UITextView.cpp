#include "platform/uikit/UITextView.h"

#include <algorithm>

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

namespace platform {

std::size_t utf16Length(const std::string& text) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) == 0x80) continue; // continuation byte
        units += c >= 0xF0 ? 2 : 1;       // four-byte sequences are surrogate pairs
    }
    return units;
}

std::size_t byteOffsetForUtf16(const std::string& text, std::size_t utf16Offset) {
    std::size_t units = 0, i = 0;
    while (i < text.size() && units < utf16Offset) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        units += len == 4 ? 2 : 1;
        i += len;
    }
    return std::min(i, text.size());
}

namespace {
bool& keyboardUp() {
    static bool up = false;
    static const bool registered = [] {
        registerSharedInstanceReset([] { keyboardUp() = false; });
        return true;
    }();
    (void)registered;
    return up;
}
} // namespace

UIKeyboardFrames keyboardFramesIn(const NSNotification& notification, const UIView& view) {
    const CGRect end = notification.rectForKey(UIKeyboardFrameEndUserInfoKey).value_or(CGRect{});
    const CGRect begin = notification.rectForKey(UIKeyboardFrameBeginUserInfoKey).value_or(end);
    auto window = view.window();
    return {view.convertRect_fromView(begin, window.get()), view.convertRect_fromView(end, window.get())};
}

void postKeyboardNotifications(bool showing) {
    CGRect screen = UIScreen::mainScreen().bounds();
    CGFloat h = UIScreen::mainScreen().keyboardHeight();
    CGRect up(0, screen.height() - h, screen.width(), h);
    CGRect down(0, screen.height(), screen.width(), h);
    // The focus moving to another text view keeps the keyboard where it is.
    const bool wasUp = keyboardUp();
    keyboardUp() = showing;
    UserInfo info{{UIKeyboardFrameBeginUserInfoKey, showing && !wasUp ? down : up},
                  {UIKeyboardFrameEndUserInfoKey, showing ? up : down},
                  {UIKeyboardAnimationDurationUserInfoKey, 0.25},
                  {UIKeyboardAnimationCurveUserInfoKey, 7LL}};
    auto& center = NSNotificationCenter::defaultCenter();
    center.postNotificationName(UIKeyboardWillChangeFrameNotification, nullptr, info);
    center.postNotificationName(showing ? UIKeyboardWillShowNotification : UIKeyboardWillHideNotification,
                                nullptr, info);
    center.postNotificationName(showing ? UIKeyboardDidShowNotification : UIKeyboardDidHideNotification,
                                nullptr, info);
}

namespace {
// Replaces `range` (UTF-16) of `text` by `replacement`; returns the caret after the insertion.
std::size_t replaceRange(std::string& text, NSRange range, const std::string& replacement) {
    std::size_t total = utf16Length(text);
    std::size_t start = std::min(range.location, total);
    std::size_t end = std::min(start + range.length, total);
    std::size_t b0 = byteOffsetForUtf16(text, start), b1 = byteOffsetForUtf16(text, end);
    text.replace(b0, b1 - b0, replacement);
    return start + utf16Length(replacement);
}
} // namespace

void UITextView::setText(std::string text) {
    text_ = std::move(text);
    selectedRange_ = {utf16Length(text_), 0};
}

void UITextView::setEditable(bool editable) {
    editable_ = editable;
    if (!editable && isFirstResponder()) resignFirstResponder();
}

void UITextView::scrollRangeToVisible(NSRange range) {
    // The text sits inside the view's margins, as the text container places it (see draw).
    constexpr CGFloat kInsetX = 5, kInsetY = 8;
    TextStyle style;
    style.font = font_.value_or(UIFont{"Helvetica", 12});
    style.alignment = textAlignment_;
    const CGFloat width = std::max<CGFloat>(1, bounds().width() - 2 * kInsetX);
    const std::size_t length = utf16Length(text_);
    const std::size_t start = std::min(range.location, length);
    const std::size_t end = std::min(range.location + range.length, length);
    const CGFloat line = TextDrawing::lineHeight(style.font);
    auto heightUpTo = [&](std::size_t offset) {
        // The lines up to `offset`, the line that holds it included.
        std::string before = text_.substr(0, byteOffsetForUtf16(text_, offset));
        return std::max(line, TextDrawing::measure(before + " ", style, width).height);
    };
    const CGFloat bottom = kInsetY + heightUpTo(end);
    const CGFloat top = kInsetY + heightUpTo(start) - line;
    CGPoint offset = contentOffset();
    const CGFloat visible = bounds().height();
    if (bottom > offset.y + visible) offset.y = bottom - visible;
    if (top < offset.y) offset.y = std::max<CGFloat>(0, top);
    setContentOffset(offset);
}

void UITextView::setSelectedRange(NSRange range) {
    std::size_t total = utf16Length(text_);
    range.location = std::min(range.location, total);
    range.length = std::min(range.length, total - range.location);
    selectedRange_ = range;
    if (auto d = delegate()) d->textViewDidChangeSelection(*this);
}

bool UITextView::shouldBecomeFirstResponder() {
    auto d = delegate();
    return !d || d->textViewShouldBeginEditing(*this);
}

void UITextView::didBecomeFirstResponder() {
    auto keep = self<UITextView>();
    postKeyboardNotifications(true);
    showInputAccessory();
    if (auto d = delegate()) d->textViewDidBeginEditing(*this);
}

void UITextView::setInputAccessoryView(std::shared_ptr<UIView> view) {
    if (inputAccessoryView_ == view) return;
    hideInputAccessory();
    if (inputAccessoryView_) inputAccessoryView_->setServesAsInputAccessory(false);
    inputAccessoryView_ = std::move(view);
    if (!inputAccessoryView_) return;
    inputAccessoryView_->setServesAsInputAccessory(true);
    if (isFirstResponder()) showInputAccessory();
}

void UITextView::showInputAccessory() {
    auto bar = inputAccessoryView_;
    auto host = window();
    if (!bar || !host) return;
    // Full width, its own height, standing on the keyboard.
    CGRect screen = UIScreen::mainScreen().bounds();
    CGFloat height = bar->frame().height() > 0 ? bar->frame().height() : 44;
    bar->setFrame(
        {0, screen.height() - UIScreen::mainScreen().keyboardHeight() - height, screen.width(), height});
    host->addSubview(bar);
}

void UITextView::hideInputAccessory() {
    if (inputAccessoryView_ && inputAccessoryView_->superview()) inputAccessoryView_->removeFromSuperview();
}

bool UITextView::shouldResignFirstResponder() {
    auto d = delegate();
    return !d || d->textViewShouldEndEditing(*this);
}

void UITextView::didResignFirstResponder() {
    auto keep = self<UITextView>();
    hideInputAccessory();
    if (auto d = delegate()) d->textViewDidEndEditing(*this);
    if (!isFocusMoving()) postKeyboardNotifications(false);
}

void UITextView::focusLeftForNobody() {
    postKeyboardNotifications(false);
}

bool UITextView::typeText(const std::string& text) {
    auto keep = self<UITextView>();
    if (!becomeFirstResponder()) return false;
    if (auto d = delegate();
        d && !d->textView_shouldChangeTextInRange_replacementText(*this, selectedRange_, text))
        return false;
    selectedRange_ = {replaceRange(text_, selectedRange_, text), 0};
    if (auto d = delegate()) d->textViewDidChange(*this);
    NSNotificationCenter::defaultCenter().postNotificationName(UITextViewTextDidChangeNotification);
    return true;
}

bool UITextView::replaceAllText(const std::string& text) {
    auto keep = self<UITextView>();
    if (!becomeFirstResponder()) return false;
    selectedRange_ = {0, utf16Length(text_)};
    return typeText(text);
}

std::string UITextView::stateDescription() const {
    std::string out = "text=" + quote(text_);
    if (!editable_) out += " not-editable";
    if (isFirstResponder()) out += " focused";
    if (auto base = UIView::stateDescription(); !base.empty()) out += " " + base;
    return out;
}

bool UITextField::shouldBecomeFirstResponder() {
    auto d = delegate();
    return !d || d->textFieldShouldBeginEditing(*this);
}

void UITextField::didBecomeFirstResponder() {
    auto keep = self<UITextField>();
    postKeyboardNotifications(true);
    if (auto d = delegate()) d->textFieldDidBeginEditing(*this);
}

bool UITextField::shouldResignFirstResponder() {
    auto d = delegate();
    return !d || d->textFieldShouldEndEditing(*this);
}

void UITextField::didResignFirstResponder() {
    auto keep = self<UITextField>();
    if (auto d = delegate()) d->textFieldDidEndEditing(*this);
    if (!isFocusMoving()) postKeyboardNotifications(false);
}

void UITextField::focusLeftForNobody() {
    postKeyboardNotifications(false);
}

bool UITextField::typeText(const std::string& text) {
    auto keep = self<UITextField>();
    if (!becomeFirstResponder()) return false;
    NSRange end{utf16Length(text_), 0};
    if (auto d = delegate();
        d && !d->textField_shouldChangeCharactersInRange_replacementString(*this, end, text))
        return false;
    text_ += text;
    sendActionsForControlEvents(UIControlEvent::EditingChanged);
    NSNotificationCenter::defaultCenter().postNotificationName(UITextFieldTextDidChangeNotification);
    return true;
}

bool UITextField::pressReturn() {
    auto d = delegate();
    return !d || d->textFieldShouldReturn(*this);
}

std::string UITextField::stateDescription() const {
    std::string out = "text=" + quote(text_);
    if (text_.empty() && !placeholder_.empty()) out += " placeholder=" + quote(placeholder_);
    if (isFirstResponder()) out += " focused";
    if (auto base = UIControl::stateDescription(); !base.empty()) out += " " + base;
    return out;
}

} // namespace platform
