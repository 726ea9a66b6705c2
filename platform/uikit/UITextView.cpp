#include "platform/uikit/UITextView.h"

#include <algorithm>

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/TextBlockLayout.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

namespace platform {

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

void UITextView::setText(std::string text) {
    // A text scrolled to its end stays at its end and shows what was added there; else the view
    // keeps its place, no further than the new text's end (a view scrolled past the text is blank).
    const CGFloat before = contentOffset().y;
    const bool atEnd = before > 0 && before >= contentSize().height - visibleHeight() - 1;
    editing_.setText(std::move(text));
    if (atEnd) scrollRangeToVisible({editing_.length(), 0});
    if (contentOffset().y <= 0) return;
    const CGFloat most = std::max<CGFloat>(0, contentSize().height - visibleHeight());
    if (contentOffset().y > most) setContentOffset({contentOffset().x, most});
}

void UITextView::setEditable(bool editable) {
    editable_ = editable;
    if (!editable && isFirstResponder()) resignFirstResponder();
}

void UITextView::setTextAlignment(NSTextAlignment alignment) {
    textAlignment_ = alignment;
    if (paragraphStyle_) paragraphStyle_->alignment = alignment;
}

NSAttributedString UITextView::attributedText() const {
    NSAttributedString out;
    out.string = editing_.text();
    out.font = font_;
    out.foregroundColor = textColor_;
    out.paragraphStyle = paragraphStyle_;
    return out;
}

void UITextView::setAttributedText(NSAttributedString text) {
    font_ = std::move(text.font);
    textColor_ = std::move(text.foregroundColor);
    paragraphStyle_ = std::move(text.paragraphStyle);
    textAlignment_ = paragraphStyle_ ? paragraphStyle_->alignment : NSTextAlignment::Natural;
    editing_.setText(std::move(text.string));
    setNeedsDisplay();
}

TextStyle UITextView::textStyle() const {
    TextStyle style;
    style.font = font_.value_or(UIFont{"Helvetica", 12});
    style.color = textColor_.value_or(UIColor::blackColor());
    style.alignment = textAlignment_ == NSTextAlignment::Natural ? NSTextAlignment::Left : textAlignment_;
    if (paragraphStyle_) {
        style.lineHeightMultiple = paragraphStyle_->lineHeightMultiple;
        style.paragraphSpacing = paragraphStyle_->paragraphSpacing;
    }
    return style;
}

const TextBlockLayout& UITextView::textLayout() const {
    if (!layout_) layout_ = std::make_shared<TextBlockLayout>();
    // The text sits inside the view's margins, as the text container places it.
    layout_->update(editing_.text(), editing_.revision(), textStyle(),
                    std::max<CGFloat>(1, bounds().width() - inset_.left - inset_.right));
    return *layout_;
}

std::unique_ptr<TextLines> UITextView::textLines() const {
    return textLayout().lines();
}

std::size_t UITextView::offsetAtPoint(CGPoint point) const {
    return textLayout().offsetAt({point.x - inset_.left, point.y - inset_.top});
}

CGRect UITextView::caretRect() const {
    const CGRect caret = textLayout().caretRect(editing_.caret());
    return {caret.minX() + inset_.left, caret.minY() + inset_.top, caret.width(), caret.height()};
}

void UITextView::scrollRangeToVisible(NSRange range) {
    const TextBlockLayout& lines = textLayout();
    const std::size_t length = editing_.length();
    const std::size_t start = std::min(range.location, length);
    const std::size_t end = std::min(range.location + range.length, length);
    const CGPoint from = contentOffset();
    const CGFloat visible = visibleHeight();
    CGPoint offset = from;
    // The text above the range may be estimated only: once the lines that will show are laid
    // out, the range may stand elsewhere. Again then, until it stays (a few rounds at most).
    for (int round = 0; round < 4; ++round) {
        const CGFloat top = inset_.top + lines.caretRect(start).minY();
        const CGFloat bottom = inset_.top + lines.caretRect(end).maxY();
        offset = from;
        if (bottom > offset.y + visible) offset.y = bottom - visible;
        if (top < offset.y) offset.y = std::max<CGFloat>(0, top);
        const CGFloat laidBefore = lines.height();
        lines.layOut(offset.y - inset_.top, offset.y + visible - inset_.top);
        if (lines.height() == laidBefore) break;
    }
    setContentOffset(offset);
}

void UITextView::setSelectedRange(NSRange range) {
    editing_.setSelectedRange(range);
    if (auto d = delegate()) d->textViewDidChangeSelection(*this);
}

CGFloat UITextView::visibleHeight() const {
    // What the keyboard and its accessory bar cover of the view is not seen while it has the focus.
    CGFloat visible = std::max<CGFloat>(0, bounds().height() - footBand_);
    auto host = window();
    if (!host) return visible;
    const CGFloat top = convertRect_toView(bounds(), nullptr).minY();
    // A navigation toolbar drawn over the view's foot hides it too.
    CGFloat cover = ScreenRenderer::toolbarTopOver(*this).value_or(UIScreen::mainScreen().bounds().height());
    if (!isFirstResponder()) return std::clamp<CGFloat>(cover - top, 0, visible);
    cover =
        std::min(cover, UIScreen::mainScreen().bounds().height() - UIScreen::mainScreen().keyboardHeight());
    if (inputAccessoryView_ && inputAccessoryView_->superview())
        cover = std::min(
            cover, inputAccessoryView_->convertRect_toView(inputAccessoryView_->bounds(), nullptr).minY());
    return std::clamp<CGFloat>(cover - top, 0, visible);
}

void UITextView::scrollCaretToVisible() {
    if (!scrollEnabled_) return;
    scrollRangeToVisible({editing_.caret(), 0});
}

void UITextView::selectionDidChange() {
    if (auto d = delegate()) d->textViewDidChangeSelection(*this);
    scrollCaretToVisible();
    setNeedsDisplay();
}

bool UITextView::replaceText(NSRange range, const std::string& text, TextEditKind kind) {
    auto keep = self<UITextView>();
    if (!editable_) return false;
    if (auto d = delegate(); d && !d->textView_shouldChangeTextInRange_replacementText(*this, range, text))
        return false;
    editing_.replace(range, text, kind);
    if (auto d = delegate()) d->textViewDidChange(*this);
    NSNotificationCenter::defaultCenter().postNotificationName(UITextViewTextDidChangeNotification);
    scrollCaretToVisible();
    setNeedsDisplay();
    return true;
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
    return insertText(text);
}

bool UITextView::replaceAllText(const std::string& text) {
    auto keep = self<UITextView>();
    if (!becomeFirstResponder()) return false;
    editing_.selectAll();
    return typeText(text);
}

std::string UITextView::stateDescription() const {
    std::string out = "text=" + quote(editing_.text());
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
    return insertText(text);
}

bool UITextField::replaceText(NSRange range, const std::string& text, TextEditKind kind) {
    auto keep = self<UITextField>();
    if (!isEnabled()) return false;
    if (auto d = delegate();
        d && !d->textField_shouldChangeCharactersInRange_replacementString(*this, range, text))
        return false;
    editing_.replace(range, text, kind);
    sendActionsForControlEvents(UIControlEvent::EditingChanged);
    NSNotificationCenter::defaultCenter().postNotificationName(UITextFieldTextDidChangeNotification);
    setNeedsDisplay();
    return true;
}

bool UITextField::pressReturn() {
    auto d = delegate();
    return !d || d->textFieldShouldReturn(*this);
}

std::string UITextField::stateDescription() const {
    const std::string& text = editing_.text();
    std::string out = "text=" + quote(text);
    if (text.empty() && !placeholder_.empty()) out += " placeholder=" + quote(placeholder_);
    if (isFirstResponder()) out += " focused";
    if (auto base = UIControl::stateDescription(); !base.empty()) out += " " + base;
    return out;
}

} // namespace platform
