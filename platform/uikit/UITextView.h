#pragma once
// Text views and text fields: text, style, editability, selection and focus. The user's typing
// goes through the delegate exactly as it would on the device.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSRange.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UILabel.h"

namespace platform {

// UTF-16 length of a UTF-8 string, and conversions between UTF-16 offsets and byte offsets.
std::size_t utf16Length(const std::string& text);
std::size_t byteOffsetForUtf16(const std::string& text, std::size_t utf16Offset);

class UITextView;

class UITextViewDelegate {
public:
    virtual ~UITextViewDelegate() = default;
    virtual bool textViewShouldBeginEditing(UITextView&) { return true; }
    virtual void textViewDidBeginEditing(UITextView&) {}
    virtual bool textViewShouldEndEditing(UITextView&) { return true; }
    virtual void textViewDidEndEditing(UITextView&) {}
    virtual bool textView_shouldChangeTextInRange_replacementText(UITextView&, NSRange, const std::string&) {
        return true;
    }
    virtual void textViewDidChange(UITextView&) {}
    virtual void textViewDidChangeSelection(UITextView&) {}
};

class UITextView : public UIView {
public:
    UITextView() = default;
    explicit UITextView(const CGRect& frame) : UIView(frame) {}

    const std::string& text() const { return text_; }
    // Setting text from code sends no delegate message; the caret moves to the end.
    void setText(std::string text);
    const std::optional<UIFont>& font() const { return font_; }
    void setFont(std::optional<UIFont> font) { font_ = std::move(font); }
    const std::optional<UIColor>& textColor() const { return textColor_; }
    void setTextColor(std::optional<UIColor> color) { textColor_ = std::move(color); }
    NSTextAlignment textAlignment() const { return textAlignment_; }
    void setTextAlignment(NSTextAlignment alignment) { textAlignment_ = alignment; }
    bool isEditable() const { return editable_; }
    void setEditable(bool editable);
    bool isSelectable() const { return selectable_; }
    void setSelectable(bool selectable) { selectable_ = selectable; }
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool value) { scrollEnabled_ = value; }
    NSRange selectedRange() const { return selectedRange_; }
    void setSelectedRange(NSRange range);
    // How far the text is scrolled (points): the origin of the view's bounds.
    CGPoint contentOffset() const { return bounds().origin; }
    void setContentOffset(CGPoint offset) {
        setBounds({offset.x, offset.y, bounds().width(), bounds().height()});
    }
    // Scrolls as little as needed for the lines of `range` (UTF-16) to show; a range past the end
    // of the text stands for its end.
    void scrollRangeToVisible(NSRange range);

    std::shared_ptr<UITextViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UITextViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // Editable views take the focus after asking textViewShouldBeginEditing; the keyboard comes.
    bool canBecomeFirstResponder() const override { return editable_ && !isHiddenOnScreen(); }

    // The user types `text` at the selection: focuses the view first, asks
    // textView_shouldChangeTextInRange_replacementText, then replaces and reports textViewDidChange.
    // False when the view cannot take the focus or the delegate refused the change.
    bool typeText(const std::string& text);
    // The user selects all the text and replaces it.
    bool replaceAllText(const std::string& text);

    std::string stateDescription() const override;

    // The text in its container (inset 8 above and below, 5 at the sides), scrolled by the bounds'
    // origin; caret and selection while it has the focus.
    void draw(cairo_t* cr) const override;
    bool clipsWhenDrawn() const override { return true; }
    // The size of the laid-out text with its insets, which a scroll of the bounds' origin stays in.
    CGSize contentSize() const;
    // A touch on an editable view gives it the focus, the caret where the finger lifted.
    void touchesEnded(const UITouch& touch) override;

protected:
    bool shouldBecomeFirstResponder() override;
    void didBecomeFirstResponder() override;
    bool shouldResignFirstResponder() override;
    void didResignFirstResponder() override;

private:
    std::string text_;
    std::optional<UIFont> font_;
    std::optional<UIColor> textColor_;
    NSTextAlignment textAlignment_ = NSTextAlignment::Natural;
    bool editable_ = true;
    bool selectable_ = true;
    bool scrollEnabled_ = true;
    NSRange selectedRange_;
    std::weak_ptr<UITextViewDelegate> delegate_;
};

class UITextField;

class UITextFieldDelegate {
public:
    virtual ~UITextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(UITextField&) { return true; }
    virtual void textFieldDidBeginEditing(UITextField&) {}
    virtual bool textFieldShouldEndEditing(UITextField&) { return true; }
    virtual void textFieldDidEndEditing(UITextField&) {}
    virtual bool textField_shouldChangeCharactersInRange_replacementString(UITextField&, NSRange,
                                                                           const std::string&) {
        return true;
    }
    virtual bool textFieldShouldReturn(UITextField&) { return true; }
};

enum class UITextBorderStyle { None, Line, Bezel, RoundedRect };

class UITextField : public UIControl {
public:
    UITextField() = default;
    explicit UITextField(const CGRect& frame) { setFrame(frame); }

    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string text) { placeholder_ = std::move(text); }
    const std::optional<UIFont>& font() const { return font_; }
    void setFont(std::optional<UIFont> font) { font_ = std::move(font); }
    const std::optional<UIColor>& textColor() const { return textColor_; }
    void setTextColor(std::optional<UIColor> color) { textColor_ = std::move(color); }
    NSTextAlignment textAlignment() const { return textAlignment_; }
    void setTextAlignment(NSTextAlignment alignment) { textAlignment_ = alignment; }
    UITextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(UITextBorderStyle style) { borderStyle_ = style; }

    std::shared_ptr<UITextFieldDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UITextFieldDelegate> delegate) { delegate_ = std::move(delegate); }

    bool canBecomeFirstResponder() const override { return isEnabled() && !isHiddenOnScreen(); }

    // The user types `text` at the end through the delegate; editing-changed is sent.
    bool typeText(const std::string& text);
    // The user presses return: asks textFieldShouldReturn.
    bool pressReturn();

    std::string stateDescription() const override;

    void draw(cairo_t* cr) const override;
    // A touch gives the field the focus.
    void touchesEnded(const UITouch& touch) override;

protected:
    bool shouldBecomeFirstResponder() override;
    void didBecomeFirstResponder() override;
    bool shouldResignFirstResponder() override;
    void didResignFirstResponder() override;

private:
    std::string text_;
    std::string placeholder_;
    std::optional<UIFont> font_;
    std::optional<UIColor> textColor_;
    NSTextAlignment textAlignment_ = NSTextAlignment::Natural;
    UITextBorderStyle borderStyle_ = UITextBorderStyle::None;
    std::weak_ptr<UITextFieldDelegate> delegate_;
};

} // namespace platform
