#pragma once
// Draws a laid-out declarative tree into cairo, box by box in the layout's order: what a modifier
// carries behind (background) before what it modifies, what it carries in front (overlay) after.
// Everything is read from the layout and the nodes it points into; the renderer keeps only the
// pictures it has decoded.

#include <cairo.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/swiftui/TextSetter.h"
#include "platform/swiftui/ViewLayout.h"
#include "platform/uikit/TextEditingModel.h"

namespace platform {
class UIImage;
}

namespace platform::swiftui {

// What the host knows beyond the tree: the button held down, the field being edited.
struct DrawState {
    std::function<bool(const std::string& path)> isPressed;
    std::string focusedPath;
    // The caret and selection of the focused field or editor.
    NSRange selection;
    // The picker whose options are shown, if any.
    std::string openPickerPath;
};

class ViewRenderer {
public:
    explicit ViewRenderer(const TextSetter& text) : text_(text) {}
    ViewRenderer(const ViewRenderer&) = delete;
    ViewRenderer& operator=(const ViewRenderer&) = delete;

    void draw(cairo_t* cr, const ViewLayout& layout, const DrawState& state = {}) const;

    // A colour as it looks in a scheme (the semantic colours follow it).
    static Color resolve(const Color& color, ColorScheme scheme);
    // Where the text of a field or editor box stands when it holds `value` with the caret at
    // `caret` (a field too narrow for its text moves it left to keep the caret inside): its layout
    // and the corner it is drawn from, in the box's coordinates.
    struct FieldText {
        platform::TextLayout layout;
        CGPoint origin;
        CGRect inner;
    };
    FieldText fieldText(const LayoutBox& box, const std::string& value, std::size_t caret) const;

    // The rectangles of the options of an open picker, under (or over) the picker's box.
    static std::vector<CGRect> pickerOptionRects(const LayoutBox& picker, CGSize bounds);

private:
    void drawBox(cairo_t* cr, const LayoutBox& b, const DrawState& state) const;
    void drawView(cairo_t* cr, const LayoutBox& b, const DrawState& state) const;
    void drawShadowed(cairo_t* cr, const LayoutBox& b, const DrawState& state) const;
    void drawImage(cairo_t* cr, const LayoutBox& b) const;
    void drawPickerMenu(cairo_t* cr, const LayoutBox& picker, CGSize bounds) const;
    // A bundle picture by name, or a picture file by its path.
    cairo_surface_t* picture(const std::string& name, bool isPath = false) const;

    // Draws `runs` with the adaptive colours resolved for `scheme`.
    void drawText(cairo_t* cr, std::vector<TextRun> runs, TextStyle style, const CGRect& rect,
                  ColorScheme scheme) const;

    const TextSetter& text_;
    // The bundle pictures drawn so far, by name (none for a name the bundle lacks).
    mutable std::map<std::string, std::shared_ptr<UIImage>> pictures_;
};

} // namespace platform::swiftui
