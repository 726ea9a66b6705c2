#pragma once
// Text views and text fields: text, style, editability, selection and focus. The user's typing
// goes through the delegate exactly as it would on the device, with the range it really changes;
// both edit through the one editing model (UITextInput).

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSRange.h"
#include "platform/uikit/NSAttributedString.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITextInput.h"

namespace platform {

class UITextView;
class TextBlockLayout;

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

class UITextView : public UIView, public UITextInput {
public:
    UITextView() = default;
    explicit UITextView(const CGRect& frame) : UIView(frame) {}

    const std::string& text() const { return editing_.text(); }
    // Setting text from code sends no delegate message; the caret moves to the end.
    void setText(std::string text);
    const std::optional<UIFont>& font() const { return font_; }
    void setFont(std::optional<UIFont> font) { font_ = std::move(font); }
    const std::optional<UIColor>& textColor() const { return textColor_; }
    void setTextColor(std::optional<UIColor> color) { textColor_ = std::move(color); }
    NSTextAlignment textAlignment() const { return textAlignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    // The text with its attributes, each for the whole text. Setting it sets the text, the font,
    // the colour and the alignment (absent ones go back to the defaults); its paragraph style
    // stays with the text typed or set after it, as the typing attributes keep it.
    NSAttributedString attributedText() const;
    void setAttributedText(NSAttributedString text);
    bool isEditable() const { return editable_; }
    void setEditable(bool editable);
    bool isSelectable() const { return selectable_; }
    void setSelectable(bool selectable) { selectable_ = selectable; }
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool value) { scrollEnabled_ = value; }
    NSRange selectedRange() const { return editing_.selectedRange(); }
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

    // A bar shown above the keyboard, in the focused view's window, while this view has the focus.
    const std::shared_ptr<UIView>& inputAccessoryView() const { return inputAccessoryView_; }
    void setInputAccessoryView(std::shared_ptr<UIView> view);

    // The user types `text` at the selection: focuses the view first, asks
    // textView_shouldChangeTextInRange_replacementText, then replaces and reports textViewDidChange.
    // False when the view cannot take the focus or the delegate refused the change.
    bool typeText(const std::string& text);
    // The user selects all the text and replaces it.
    bool replaceAllText(const std::string& text);

    TextEditingModel& textModel() override { return editing_; }
    std::unique_ptr<TextLines> textLines() const override;
    bool replaceText(NSRange range, const std::string& text, TextEditKind kind) override;
    bool isMultiline() const override { return true; }
    bool submit() override { return false; }
    bool isTextEditable() const override { return editable_; }
    void selectionDidChange() override;
    // Scrolls as little as needed for the caret to show above whatever covers the view's lower
    // part (the keyboard's accessory bar).
    void scrollCaretToVisible();

    std::string stateDescription() const override;

    // The text in its container, within its margins, scrolled by the bounds' origin; caret and
    // selection while it has the focus.
    void draw(cairo_t* cr) const override;
    bool clipsWhenDrawn() const override { return true; }
    // The size of the laid-out text with its insets, which a scroll of the bounds' origin stays in.
    CGSize contentSize() const;
    // The height of the view a person sees: while it has the focus, less what the keyboard and
    // its accessory bar cover of it; never the foot band.
    CGFloat visibleHeight() const;
    // A band at the foot of the view, inside its frame, where no text is drawn: a control stands
    // there over the view. The text shows above it, and scrolled to its end its last line stands
    // above it.
    CGFloat footBand() const { return footBand_; }
    void setFootBand(CGFloat height) { footBand_ = std::max<CGFloat>(0, height); }
    // The margins of the text inside the view (the text container's inset with its line padding):
    // 8 points above and below and 5 at the sides unless set. A wider side keeps the text clear of
    // a control standing over that edge of the view.
    UIEdgeInsets textContainerInset() const { return inset_; }
    void setTextContainerInset(UIEdgeInsets inset) {
        inset_ = inset;
        setNeedsDisplay();
    }
    // A touch on an editable view gives it the focus, the caret where the finger lifted; on the
    // focused view a press places the caret, a drag selects, a double press selects a word.
    void touchesBegan(const UITouch& touch) override;
    void touchesMoved(const UITouch& touch) override;
    void touchesEnded(const UITouch& touch) override;
    // The caret offset under a point of the view (its bounds' coordinates), and where the caret
    // is drawn (the same coordinates).
    std::size_t offsetAtPoint(CGPoint point) const;
    CGRect caretRect() const;

protected:
    bool shouldBecomeFirstResponder() override;
    void didBecomeFirstResponder() override;
    bool shouldResignFirstResponder() override;
    void didResignFirstResponder() override;
    void focusLeftForNobody() override;

private:
    TextStyle textStyle() const;
    // The text laid out for the view's width, as far as it has been shown.
    const TextBlockLayout& textLayout() const;
    void showInputAccessory();
    void hideInputAccessory();

    std::shared_ptr<UIView> inputAccessoryView_;
    TextEditingModel editing_;
    mutable std::shared_ptr<TextBlockLayout> layout_;
    bool selecting_ = false;
    std::optional<UIFont> font_;
    std::optional<UIColor> textColor_;
    NSTextAlignment textAlignment_ = NSTextAlignment::Natural;
    std::optional<NSParagraphStyle> paragraphStyle_;
    bool editable_ = true;
    bool selectable_ = true;
    bool scrollEnabled_ = true;
    CGFloat footBand_ = 0;
    UIEdgeInsets inset_{8, 5, 8, 5};
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

class UITextField : public UIControl, public UITextInput {
public:
    UITextField() = default;
    explicit UITextField(const CGRect& frame) { setFrame(frame); }

    const std::string& text() const { return editing_.text(); }
    // From code: tells nobody; the caret goes to the end.
    void setText(std::string text) { editing_.setText(std::move(text)); }
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

    // The user types `text` at the caret, over the selection, through the delegate (focusing the
    // field first); editing-changed is sent.
    bool typeText(const std::string& text);
    // The user presses return: asks textFieldShouldReturn.
    bool pressReturn();

    TextEditingModel& textModel() override { return editing_; }
    bool replaceText(NSRange range, const std::string& text, TextEditKind kind) override;
    bool isMultiline() const override { return false; }
    bool submit() override { return pressReturn(); }
    bool isTextEditable() const override { return isEnabled(); }
    void selectionDidChange() override { setNeedsDisplay(); }

    std::string stateDescription() const override;

    void draw(cairo_t* cr) const override;
    // A touch gives the field the focus, the caret where it lifted; on the focused field a press
    // places the caret, a drag selects, a double press selects a word.
    void touchesBegan(const UITouch& touch) override;
    void touchesMoved(const UITouch& touch) override;
    void touchesEnded(const UITouch& touch) override;
    // The caret offset under a point of the field (its bounds' coordinates).
    std::size_t offsetAtPoint(CGPoint point) const;

protected:
    bool shouldBecomeFirstResponder() override;
    void didBecomeFirstResponder() override;
    bool shouldResignFirstResponder() override;
    void didResignFirstResponder() override;
    void focusLeftForNobody() override;

private:
    TextEditingModel editing_;
    bool selecting_ = false;
    std::string placeholder_;
    std::optional<UIFont> font_;
    std::optional<UIColor> textColor_;
    NSTextAlignment textAlignment_ = NSTextAlignment::Natural;
    UITextBorderStyle borderStyle_ = UITextBorderStyle::None;
    std::weak_ptr<UITextFieldDelegate> delegate_;
};

} // namespace platform
