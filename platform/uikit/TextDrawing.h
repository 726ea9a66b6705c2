#pragma once
// Text on screen: the fonts the screens name mapped to installed families (fontconfig picks the
// closest face), laid out and drawn with pango into cairo, emoji in colour. Every drawing of text,
// declarative or not, goes through here so that sizes and faces agree everywhere.

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UILabel.h"

typedef struct _cairo cairo_t;
typedef struct _PangoFontDescription PangoFontDescription;
typedef struct _PangoLayout PangoLayout;

typedef struct _PangoFontMap PangoFontMap;

namespace platform {

enum class NSLineBreakMode { ByWordWrapping, ByCharWrapping, ByClipping, ByTruncatingHead, ByTruncatingTail };

// How a piece of text is set.
struct TextStyle {
    UIFont font = UIFont::systemFontOfSize(17);
    UIColor color = UIColor::labelColor();
    NSTextAlignment alignment = NSTextAlignment::Natural;
    // 0: as many lines as the height allows; 1: a single line.
    long numberOfLines = 0;
    NSLineBreakMode lineBreakMode = NSLineBreakMode::ByWordWrapping;
    // A paragraph style's spacing: each line's height times `lineHeightMultiple` (0: the font's
    // own), the extra above its letters, and `paragraphSpacing` points after each paragraph.
    CGFloat lineHeightMultiple = 0;
    CGFloat paragraphSpacing = 0;

    bool operator==(const TextStyle&) const = default;
};

struct FontDescriptionDeleter {
    void operator()(PangoFontDescription* description) const;
};
using FontDescription = std::unique_ptr<PangoFontDescription, FontDescriptionDeleter>;

struct LayoutDeleter {
    void operator()(PangoLayout* layout) const;
};
using TextLayout = std::unique_ptr<PangoLayout, LayoutDeleter>;

class TextDrawing {
public:
    // The font map every text of the screens and the PDFs is set with. The desktop's own faces
    // stay the first choice for the generic families (its fontconfig would put the broad-coverage
    // families first once they are installed); those families remain the fallbacks for every
    // script the primary faces lack. Each thread has a map of its own.
    static PangoFontMap* fontMap();
    // One map for the whole process, for what is laid out on one thread and drawn on another:
    // like every use of fonts, it is used under the font lock only, so its caches serve them all.
    static PangoFontMap* sharedFontMap();
    // The installed family for a font name of the screens ("Courier", "HelveticaNeue-Bold",
    // the system font ".SFUI-Regular"): the family part of the name with the platform's aliases.
    static std::string familyForFontName(const std::string& fontName);
    // Family, weight, style and size (points) of a font.
    static FontDescription fontDescription(const UIFont& font);

    // A layout of `text` in `width` points (<= 0: unbounded), set as `style` says, for measuring
    // and for drawing at any scale. The style's line and paragraph spacing travel with the layout:
    // TextLayoutLines places, draws and hit-tests its lines with them.
    static TextLayout layout(const std::string& text, const TextStyle& style, CGFloat width);
    // The size the text takes in `width` points (<= 0: on one line unless it holds line breaks).
    static CGSize measure(const std::string& text, const TextStyle& style, CGFloat width = 0);
    // The height of one line of the font.
    static CGFloat lineHeight(const UIFont& font);

    // Draws the text in `rect` (aligned as the style says), starting at its top. A line limit holds
    // for the whole text, its paragraphs together, the last line shown ending in an ellipsis when
    // text is left out (measure sets it the same). Returns the height used.
    static CGFloat draw(cairo_t* cr, const std::string& text, const CGRect& rect, const TextStyle& style);
    // The same, centred vertically in `rect` (labels and button titles); `withinHeight` sets no
    // more lines than fit in the rectangle (a label's bounds), the last one ending in an ellipsis
    // when text is left out.
    static void drawCenteredVertically(cairo_t* cr, const std::string& text, const CGRect& rect,
                                       const TextStyle& style, bool withinHeight = false);

    // Fills the current path-free cairo source with a colour.
    static void setColor(cairo_t* cr, const UIColor& color, double alpha = 1);
};

} // namespace platform
