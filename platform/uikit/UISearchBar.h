#pragma once
// Search bars: a text field with a search button and an optional cancel button, reporting to
// their delegate. The user's typing edits through the one editing model and is reported to the
// delegate as on the device; setting the text from code tells nobody.

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/UITextInput.h"
#include "platform/uikit/UIView.h"

namespace platform {

class UISearchBar;

class UISearchBarDelegate {
public:
    virtual ~UISearchBarDelegate() = default;
    virtual bool searchBarShouldBeginEditing(UISearchBar&) { return true; }
    virtual void searchBarTextDidBeginEditing(UISearchBar&) {}
    virtual bool searchBarShouldEndEditing(UISearchBar&) { return true; }
    virtual void searchBarTextDidEndEditing(UISearchBar&) {}
    virtual void searchBar_textDidChange(UISearchBar&, const std::string&) {}
    virtual void searchBarSearchButtonClicked(UISearchBar&) {}
    virtual void searchBarCancelButtonClicked(UISearchBar&) {}
};

class UISearchBar : public UIView, public UITextInput {
public:
    UISearchBar() = default;
    explicit UISearchBar(const CGRect& frame) : UIView(frame) {}

    // Empty, not absent, until something is typed or set, as on the device.
    std::optional<std::string> text() const {
        return hasText_ ? std::optional<std::string>(editing_.text()) : std::nullopt;
    }
    void setText(std::optional<std::string> text) {
        hasText_ = text.has_value();
        editing_.setText(text.value_or(""));
    }
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string text) { placeholder_ = std::move(text); }
    bool showsCancelButton() const { return showsCancelButton_; }
    void setShowsCancelButton(bool shows) { showsCancelButton_ = shows; }

    std::shared_ptr<UISearchBarDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UISearchBarDelegate> delegate) { delegate_ = std::move(delegate); }

    bool canBecomeFirstResponder() const override {
        return !isHiddenOnScreen() && isUserInteractionEnabled();
    }

    // The user's actions; each returns false when the bar cannot take it (hidden, no focus).
    // Types `text` at the caret, over the selection (focusing the field first); textDidChange
    // follows.
    bool typeText(const std::string& text);
    // Clears the field with its clear button; textDidChange follows with "".
    bool clearText();
    // The keyboard's search key, while the bar has the focus.
    bool pressSearchButton();
    // The cancel button, when shown.
    bool pressCancelButton();

    TextEditingModel& textModel() override { return editing_; }
    bool replaceText(NSRange range, const std::string& text, TextEditKind kind) override;
    bool isMultiline() const override { return false; }
    bool submit() override { return pressSearchButton(); }
    void selectionDidChange() override { setNeedsDisplay(); }

    std::string stateDescription() const override;

    void draw(cairo_t* cr) const override;
    // A touch on the field gives it the focus, the caret where it lifted (on the focused field a
    // press places the caret, a drag selects, a double press selects a word); on the cancel
    // button, presses it.
    void touchesBegan(const UITouch& touch) override;
    void touchesMoved(const UITouch& touch) override;
    void touchesEnded(const UITouch& touch) override;
    // The caret offset under a point of the bar (its bounds' coordinates).
    std::size_t offsetAtPoint(CGPoint point) const;

protected:
    bool shouldBecomeFirstResponder() override;
    void didBecomeFirstResponder() override;
    bool shouldResignFirstResponder() override;
    void didResignFirstResponder() override;

private:
    TextEditingModel editing_;
    bool hasText_ = true;
    bool selecting_ = false;
    std::string placeholder_;
    bool showsCancelButton_ = false;
    std::weak_ptr<UISearchBarDelegate> delegate_;
};

} // namespace platform
