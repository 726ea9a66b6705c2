#pragma once
// The lines of a text as pango laid them out for drawing, seen by the editing model and the
// pointer: where the caret stands, which character is under the pointer, what a selection covers.
// It reads the very layout the text is drawn with, so a click lands on the character it is over.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/TextEditingModel.h"

typedef struct _cairo cairo_t;
typedef struct _PangoLayout PangoLayout;

namespace platform {

class TextLayoutLines : public TextLines {
public:
    // `layout` lays out `text`; both must outlive this object.
    TextLayoutLines(PangoLayout* layout, const std::string& text);

    // Gives `layout` a paragraph style's spacing (see TextStyle): pango places lines one under the
    // other, these lines are then moved down by it, for drawing and for the pointer alike.
    static void setSpacing(PangoLayout* layout, double lineHeightMultiple, double paragraphSpacing);

    // The height of the text's lines, their spacing included.
    double height() const;
    // Draws the text in the current source with the layout's corner at `origin`.
    void drawText(cairo_t* cr, CGPoint origin) const;

    std::pair<std::size_t, std::size_t> lineAt(std::size_t offset) const override;
    double caretX(std::size_t offset) const override;
    std::optional<std::size_t> offsetOnLine(std::size_t offset, int direction, double x) const override;

    // The caret at `offset`, from the layout's top-left corner: 2 points wide, a line high.
    CGRect caretRect(std::size_t offset) const;
    // The caret offset for a point (from the layout's top-left corner): before the character
    // under it, or after it when the point is on its trailing half; on the first line above the
    // text, the text's end below it.
    std::size_t offsetAt(CGPoint point) const;
    // What a selection of `range` covers, line by line.
    std::vector<CGRect> selectionRects(NSRange range) const;

    // Draws the selection (a tint of `rgb`) or, when it is empty, the caret (in `rgb`), with the
    // layout's corner at `origin`.
    void drawSelection(cairo_t* cr, NSRange range, CGPoint origin, double r, double g, double b) const;

private:
    int byteIndex(std::size_t offset) const;
    std::size_t offsetOfByte(int byte) const;

    int lineOfByte(int byte) const;
    // How far line `line` is drawn below where pango placed it.
    double shift(int line) const { return shifts_.empty() ? 0 : shifts_[static_cast<std::size_t>(line)]; }

    PangoLayout* layout_;
    const std::string& text_;
    // With spacing only: per line, its shift and the top of the band it owns (its height times the
    // multiple, and the paragraph's spacing after its last line), and where pango placed it.
    std::vector<double> shifts_, bandTops_, pangoTops_, pangoHeights_;
    double multiple_ = 1, height_ = 0;
};

} // namespace platform
