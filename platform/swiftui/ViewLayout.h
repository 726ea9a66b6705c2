#pragma once
// The layout of a declarative tree, done the platform's way in one pass: a parent proposes a size
// to each child (a width and a height, either of which may be left open to ask for the child's
// ideal size), the child chooses its own size, and the parent places the child. Every modifier
// that changes geometry (padding, frame, background, overlay, clip, scale...) is a box of its own
// around the box of what it modifies, in the order the modifiers were applied.
//
// The boxes point into the Node tree they were made from and are valid until that tree is rebuilt.
// Drawing (ViewRenderer) and hit testing read the same boxes; nothing of the tree's state is copied
// except the resolved text style each box inherits from the modifiers above it.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/swiftui/Environment.h"
#include "platform/swiftui/Node.h"
#include "platform/swiftui/View.h"

namespace platform::swiftui {

// A size offered to a child; an open side asks for the child's ideal length on that axis.
struct Proposal {
    std::optional<double> width, height;
    bool operator==(const Proposal&) const = default;
};

// What a text (or a control's text) inherits from the modifiers above it.
struct TextStyle {
    Font font = Font::body();
    std::optional<Color> color; // none: the scheme's primary colour
    int lineLimit = 0;          // 0: as many lines as it takes
    std::string alignment = "leading";
    // Every font of the text at this share of its size: a row set smaller to hold its labels.
    double scale = 1;
};

// Measures text for the layout; the drawing uses the same metrics to set it.
class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    // The size of the runs set in `style`: wrapped at `width`, or one line per paragraph when the
    // width is open.
    virtual CGSize measure(const std::vector<TextRun>& runs, const TextStyle& style,
                           std::optional<double> width) const = 0;
};

struct LayoutBox {
    const Node* node = nullptr;
    // The modifier of `node` this box stands for; -1 for the node's own view.
    int modifier = -1;
    // What the box does in the layout: the node's kind for its own view ("VStack", "Text"...) or
    // the modifier's name ("padding", "frame"...).
    std::string role;
    // In the coordinates of the hosting view, with the scroll offsets of enclosing scroll views
    // applied; transforms (scaleEffect) are not applied.
    CGRect frame;
    // A modifier box: the one box it modifies. A container (stack, list, scroll view): its
    // children in order.
    std::vector<LayoutBox> children;
    // The views a modifier carries (background, overlay, clip shape), laid out in its frame.
    std::vector<LayoutBox> content;
    TextStyle style;
    // The scale a row set its texts at (0 when not known).
    mutable double textScale = 1;
    ColorScheme scheme = ColorScheme::light;
    bool enabled = true;
    // Inside a List or Form (rows draw their own separators and insets).
    bool inList = false;
    // A button without a button style: the platform's own look (accent label, dimmed while held).
    bool plainButton = false;
    // The stack axis a Spacer or Divider stands in; none outside a stack.
    std::optional<char> stackAxis; // 'h' or 'v'
    // Scroll views: the content's full size and the offset it is shown at.
    CGSize contentSize;
    CGPoint contentOffset;

    const Modifier* modifierRecord() const {
        return modifier >= 0 ? &node->modifiers[static_cast<std::size_t>(modifier)] : nullptr;
    }
    bool isView(std::string_view kind) const { return modifier < 0 && role == kind; }

    // Measurement memo: one box is often asked the same question several times in a pass.
    struct Measured {
        Proposal proposal;
        CGSize size;
    };
    mutable std::vector<Measured> memo;
};

// The room a text field keeps between its text and its edges (a rounded field's is wider), so that
// no letter touches a border drawn round it.
CGSize textFieldInset(const Node& field);

// What a touch at a point reaches in a laid-out tree.
struct LayoutHit {
    enum class Target { button, textField, toggle, picker, stepperIncrement, stepperDecrement, tapGesture };
    Target target;
    const LayoutBox* box; // the control's box (for a tap gesture, the box of its modifier)
    const Node* node;
};

class ViewLayout {
public:
    using ScrollOffsets = std::map<std::string, CGPoint>;

    // Lays `root` out in `size`, the hosting view's bounds. `offsets` are the scroll offsets by the
    // path of their scroll view (clamped to what the content allows).
    ViewLayout(const Node& root, CGSize size, const TextMeasurer& text,
               ColorScheme scheme = ColorScheme::light, const ScrollOffsets* offsets = nullptr);
    ViewLayout(const ViewLayout&) = delete;
    ViewLayout& operator=(const ViewLayout&) = delete;

    const LayoutBox& root() const { return root_; }
    CGSize size() const { return size_; }

    // The box of the view of the node at `path` (inside its modifiers), or its outermost box
    // (around all its modifiers).
    const LayoutBox* viewBox(std::string_view path) const;
    const LayoutBox* outerBox(std::string_view path) const;
    // The box of a control found by its label (see Node::label).
    const LayoutBox* controlBox(std::string_view label) const;

    // The control or tap gesture a touch at `point` reaches: the front-most view under the point
    // decides, and the touch goes to the nearest control that encloses it. Views that draw
    // nothing there (spacers, stacks, a clear colour, the inside of a stroked outline) let the
    // touch through; a disabled control, hidden or transparent views take none.
    std::optional<LayoutHit> hitTest(CGPoint point) const;
    // The innermost scroll view under `point` that scrolls along `axis` ('h' or 'v').
    const LayoutBox* scrollViewAt(CGPoint point, char axis) const;

    // Every box depth first, in drawing order.
    void forEach(const std::function<void(const LayoutBox&)>& visit) const;

private:
    LayoutBox root_;
    CGSize size_;
};

} // namespace platform::swiftui
