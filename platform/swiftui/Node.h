#pragma once
// The tree a view's body builds: one node per primitive view (stack, text, button, shape...) and
// per composite view, with its modifiers recorded in the order they were applied. Tests and the
// program read the tree, find a control by its label and drive it through the host.

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/swiftui/Color.h"
#include "platform/swiftui/Path.h"

typedef struct _cairo cairo_t;

namespace platform {
class UIImage;
class UIViewController;
} // namespace platform

namespace platform::swiftui {

class AnyView;

// A controller made by a representable view, with the coordinator that must live as long as it.
struct RepresentedController {
    std::shared_ptr<UIViewController> controller;
    std::any coordinator;
};
struct Node;
using NodePtr = std::shared_ptr<Node>;

using Arg = std::variant<bool, double, std::string, Color, Font, Angle>;
using Args = std::vector<std::pair<std::string, Arg>>;

// A sheet attached to a node: shown while `isPresented` holds; `reset` clears the flag (or item)
// when the sheet goes away by any means.
struct SheetRequest {
    std::function<bool()> isPresented;
    std::function<void()> reset;
    std::function<AnyView()> content;
};

struct Modifier {
    std::string name;
    Args args;
    // Views the modifier carries (an overlay, a background, a clip shape).
    std::vector<NodePtr> content;
    // onAppear, onTapGesture.
    std::function<void()> action;
    std::shared_ptr<SheetRequest> sheet;

    const Arg* arg(std::string_view key) const;
    std::optional<double> number(std::string_view key) const;
    std::optional<std::string> text(std::string_view key) const;
    std::optional<Color> color(std::string_view key) const;
    std::optional<Font> font(std::string_view key) const;
};

struct TextRun {
    std::string text;
    std::optional<Color> color;
    std::optional<Font> font;
    bool operator==(const TextRun&) const = default;
};

struct Node {
    std::string kind;          // "VStack", "Text", "Button", "TextField", a composite's type name...
    std::string path;          // structural position, e.g. "0/2/1": stable across rebuilds of the same tree
    Args props;                // spacing, alignment, placeholder, style...
    std::vector<TextRun> runs; // Text only
    std::vector<NodePtr> children;
    std::vector<Modifier> modifiers;
    bool enabled = true;

    // What a control does when driven; empty for views that are not controls.
    std::function<void()> action;                          // Button
    std::function<std::string()> getText;                  // TextField, TextEditor
    std::function<void(const std::string&)> setText;       // TextField, TextEditor
    std::function<bool()> isOn;                            // Toggle
    std::function<void(bool)> setOn;                       // Toggle
    std::function<void()> increment, decrement;            // Stepper
    std::vector<std::string> options;                      // Picker
    std::function<void(const std::string&)> select;        // Picker
    std::function<Path(CGRect)> shapePath;                 // shapes
    std::function<RepresentedController()> makeController; // representables
    std::shared_ptr<const UIImage> uiImage;                // Image(uiImage)
    // Views whose content is not made of other views (a video player): the object shown, and how
    // its content is painted into a rectangle of the given size at the origin.
    std::any attachment;
    std::function<void(cairo_t*, CGSize)> drawContent;

    const Arg* prop(std::string_view key) const;
    std::optional<double> number(std::string_view key) const;
    std::optional<std::string> textProp(std::string_view key) const;

    // The text a Text node shows (its runs joined); for any other node the texts of its subtree
    // joined in order, which is how a button's label reads.
    std::string text() const;
    // What a control is found by: a button's label text, a field's placeholder or title, a
    // toggle's, stepper's or picker's title.
    std::string label() const;
    bool isControl() const;

    // The first (or every) modifier of that name, in the order applied.
    const Modifier* modifier(std::string_view name) const;
    std::vector<const Modifier*> modifiersNamed(std::string_view name) const;
    // The last foreground colour applied: a modifier, else the colour of a single-run text.
    std::optional<Color> foregroundColor() const;

    // Searches this node and its subtree depth-first, modifier contents included.
    const Node* find(const std::function<bool(const Node&)>& pred) const;
    std::vector<const Node*> findAll(const std::function<bool(const Node&)>& pred) const;
    const Node* findKind(std::string_view kind) const;
    std::vector<const Node*> findAllKind(std::string_view kind) const;
    // A Text node whose text contains `fragment`.
    const Node* findText(std::string_view fragment) const;
    // A control whose label() equals `label` exactly.
    const Node* findControl(std::string_view label) const;
    const Node* findPath(std::string_view path) const;

    // Indented text, one node per line with its properties and modifiers.
    std::string describe() const;
};

} // namespace platform::swiftui
