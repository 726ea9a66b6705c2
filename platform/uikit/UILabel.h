#pragma once
// Labels: text and how it is set.

#include <optional>
#include <string>

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIView.h"

namespace platform {

enum class NSTextAlignment { Left, Center, Right, Justified, Natural };

const char* describe(NSTextAlignment alignment);

class UILabel : public UIView {
public:
    using UIView::UIView;

    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }
    UIFont font() const { return font_; }
    void setFont(const std::optional<UIFont>& font) { font_ = font ? *font : UIFont::systemFontOfSize(17); }
    const UIColor& textColor() const { return textColor_; }
    void setTextColor(const std::optional<UIColor>& color) {
        textColor_ = color ? *color : UIColor::labelColor();
    }
    NSTextAlignment textAlignment() const { return textAlignment_; }
    void setTextAlignment(NSTextAlignment alignment) { textAlignment_ = alignment; }
    long numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(long lines) { numberOfLines_ = lines; }
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
    void setAdjustsFontSizeToFitWidth(bool value) { adjustsFontSize_ = value; }

    std::string stateDescription() const override;
    void draw(cairo_t* cr) const override;

private:
    std::string text_;
    UIFont font_ = UIFont::systemFontOfSize(17);
    UIColor textColor_ = UIColor::labelColor();
    NSTextAlignment textAlignment_ = NSTextAlignment::Natural;
    long numberOfLines_ = 1;
    bool adjustsFontSize_ = false;
};

} // namespace platform
