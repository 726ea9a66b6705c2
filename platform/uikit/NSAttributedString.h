#pragma once
// Attributed text: a string with the attributes the screens give it, each for the whole string.
// Views draw what it holds, the paragraph style's spacing and alignment included.

#include <optional>
#include <string>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UILabel.h"

namespace platform {

struct NSParagraphStyle {
    NSTextAlignment alignment = NSTextAlignment::Natural;
    // Each line's natural height is multiplied by this (0: by 1); the extra space lies above the
    // letters, as the platform sets them.
    CGFloat lineHeightMultiple = 0;
    // Space after each paragraph, between its last line and the next paragraph's first.
    CGFloat paragraphSpacing = 0;
    float hyphenationFactor = 0;
};
using NSMutableParagraphStyle = NSParagraphStyle;

struct NSAttributedString {
    std::string string;
    std::optional<UIColor> foregroundColor;
    std::optional<UIFont> font;
    std::optional<NSParagraphStyle> paragraphStyle;
};

} // namespace platform
