#pragma once
// Declarative views. A view is a value: primitives (stacks, texts, buttons, shapes...) are made by
// the functions below; a composite view is any struct with `AnyView body() const`. Nothing is built
// until a host asks: then each view turns into a Node of the tree (see Node.h) and each modifier is
// recorded on the node it was applied to, in order.
//
//     struct Counter {
//         State<int> count{0};
//         AnyView body() const {
//             auto self = *this; // actions keep a copy: its states share storage with this one
//             return VStack({Text("Count " + std::to_string(count.get())),
//                            Button("Add", [self] { self.count.set(self.count.get() + 1); })});
//         }
//     };
//     auto host = ViewHost::make(Counter{});
//     host->press("Add");

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/swiftui/Environment.h"
#include "platform/swiftui/Node.h"
#include "platform/swiftui/State.h"

namespace platform::swiftui {

class AnyView;

// Where a view is built: the host (null when built without one), its place in the tree and the
// environment in force there.
struct BuildContext {
    ViewHost* host = nullptr;
    std::string path = "0";
    EnvironmentValues env;

    BuildContext child(std::size_t index) const;
    BuildContext sub(const std::string& suffix) const;
};

template <class V>
concept ViewWithBody = requires(const V& v) {
    { v.body() } -> std::convertible_to<AnyView>;
};

template <class S>
concept ShapeWithPath = requires(const S& s, CGRect r) {
    { s.path(r) } -> std::same_as<Path>;
};

enum class Alignment { center, leading, trailing, top, bottom };
enum class Axis { vertical, horizontal };
enum class CornerStyle { circular, continuous };

struct StackOptions {
    Alignment alignment = Alignment::center;
    std::optional<double> spacing;
};

struct FrameOptions {
    std::optional<double> width, height, minWidth, maxWidth, minHeight, maxHeight;
};

enum class ContentMode { fit, fill };

// How a change is animated: the curve's name and its duration in seconds.
struct Animation {
    std::string curve;
    double duration = 0.35;
    static Animation easeInOut(double duration = 0.35) { return {"easeInOut", duration}; }
    static Animation linear(double duration = 0.35) { return {"linear", duration}; }
    static Animation easeIn(double duration = 0.35) { return {"easeIn", duration}; }
    static Animation easeOut(double duration = 0.35) { return {"easeOut", duration}; }
};

struct EdgeInsets {
    double top = 0, leading = 0, bottom = 0, trailing = 0;
};

// The platform's default padding.
inline constexpr double kDefaultPadding = 16;

class AnyView {
public:
    struct Impl {
        virtual ~Impl() = default;
        virtual NodePtr build(const BuildContext& ctx) const = 0;
    };

    AnyView(); // an empty view
    explicit AnyView(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}
    template <ViewWithBody V> AnyView(V view);
    template <ShapeWithPath S>
    requires(!ViewWithBody<S>) AnyView(S shape);
    // A colour used as a view fills the space it is given.
    AnyView(const Color& color);

    NodePtr build(const BuildContext& ctx) const { return impl_->build(ctx); }

    // Records `name(args)` on the node; the generic form for modifiers without a typed one.
    AnyView modifier(std::string name, Args args = {}) const;

    AnyView font(const Font& font) const;
    AnyView foregroundColor(const Color& color) const;
    AnyView background(const AnyView& view) const;
    AnyView padding(double length = kDefaultPadding) const;
    AnyView padding(const EdgeInsets& insets) const;
    AnyView frame(double width, double height) const;
    AnyView frame(const FrameOptions& options) const;
    AnyView cornerRadius(double radius) const;
    AnyView clipShape(const AnyView& shape) const;
    AnyView shadow(const Color& color, double radius, double x = 0, double y = 0) const;
    AnyView scaleEffect(double scale) const;
    AnyView opacity(double value) const;
    AnyView overlay(const AnyView& view) const;
    AnyView fill(const Color& color) const;
    AnyView stroke(const Color& color, double lineWidth = 1) const;
    AnyView resizable() const;
    AnyView aspectRatio(ContentMode mode) const;
    // A border of `width` drawn inside the view's bounds.
    AnyView border(const Color& color, double width = 1) const;
    // Changes of this view animate along `animation`.
    AnyView animation(const Animation& animation) const;
    AnyView colorInvert() const;
    AnyView renderingMode(const std::string& mode) const;
    AnyView lineLimit(int lines) const;
    // The texts of this subtree may be set as small as `factor` of their size to fit.
    AnyView minimumScaleFactor(double factor) const;
    AnyView navigationTitle(const std::string& title) const;
    AnyView disabled(bool isDisabled) const;
    AnyView colorScheme(ColorScheme scheme) const;
    AnyView onAppear(std::function<void()> action) const;
    AnyView onTapGesture(std::function<void()> action) const;
    // Buttons in this subtree take their look from `style`.
    template <class S> AnyView buttonStyle(S style) const {
        return withButtonStyle(std::make_shared<S>(std::move(style)), typeName<S>());
    }
    // Presents `content` in a new host while the flag is true, from the run-loop turn after the
    // flag was set; dismissing the sheet sets the flag back to false.
    AnyView sheet(Binding<bool> isPresented, std::function<AnyView()> content) const;
    // The same, presented while the item is set and cleared on dismissal.
    template <class T>
    AnyView sheet(Binding<std::optional<T>> item, std::function<AnyView(const T&)> content) const {
        auto request = std::make_shared<SheetRequest>();
        request->isPresented = [item] { return item.get().has_value(); };
        request->reset = [item] { item.set(std::nullopt); };
        request->content = [item, content]() -> AnyView {
            auto value = item.get();
            return value ? content(*value) : AnyView();
        };
        return withSheet(std::move(request));
    }

    // A modifier of our own: a value whose `AnyView body(AnyView content) const` is built at this
    // view's place, so that it reads the environment in force there.
    template <class M>
    requires requires(const M& m, AnyView content) {
        { m.body(content) } -> std::convertible_to<AnyView>;
    }
    AnyView modifier(M m) const;

    template <class V> static std::string typeName();

private:
    AnyView withButtonStyle(std::shared_ptr<const ButtonStyle> style, std::string name) const;
    AnyView withSheet(std::shared_ptr<SheetRequest> request) const;
    AnyView modified(Modifier m, std::vector<AnyView> content = {},
                     std::function<void(EnvironmentValues&)> env = {}) const;

    std::shared_ptr<const Impl> impl_;
};

// Text made of runs, each with its own colour and font; `+` joins texts run by run.
class Text : public AnyView {
public:
    explicit Text(std::string text);
    explicit Text(std::vector<TextRun> runs);

    Text operator+(const Text& other) const;
    // Applied to the runs that have no colour (font) of their own yet.
    Text foregroundColor(const Color& color) const;
    Text font(const Font& font) const;
    Text bold() const;
    const std::vector<TextRun>& runs() const { return runs_; }

private:
    std::vector<TextRun> runs_;
};

// An image of the bundle by name, or a symbol of the platform's symbol set.
class Image : public AnyView {
public:
    explicit Image(std::string name);
    static Image system(std::string name);
    // An image already loaded (a picked photo, say); an empty view when there is none.
    explicit Image(std::shared_ptr<const UIImage> uiImage);

private:
    Image(std::string name, bool isSystem);
};

// What a button style is given to build a button's look from.
struct ButtonStyleConfiguration {
    AnyView label;
    bool isPressed = false;
};

class ButtonStyle {
public:
    virtual ~ButtonStyle() = default;
    virtual AnyView makeBody(const ButtonStyleConfiguration& configuration) const = 0;
};

AnyView EmptyView();
AnyView VStack(std::vector<AnyView> children);
AnyView VStack(StackOptions options, std::vector<AnyView> children);
AnyView HStack(std::vector<AnyView> children);
AnyView HStack(StackOptions options, std::vector<AnyView> children);
AnyView ZStack(std::vector<AnyView> children);
AnyView ZStack(StackOptions options, std::vector<AnyView> children);
AnyView Group(std::vector<AnyView> children);
AnyView List(std::vector<AnyView> children);
AnyView ScrollView(AnyView content);
AnyView ScrollView(Axis axis, bool showsIndicators, AnyView content);
// Where a view is shown only sometimes: the place is kept either way, so the views after it
// keep their places (and their states), and the two branches never share states.
AnyView If(bool condition, AnyView then, AnyView otherwise = AnyView());
AnyView Spacer();
AnyView Divider();
AnyView LinearGradient(std::vector<Color> colors, std::string startPoint = "leading",
                       std::string endPoint = "trailing");

template <class Items, class F> AnyView ForEach(const Items& items, F makeView) {
    std::vector<AnyView> children;
    for (const auto& item : items)
        children.push_back(makeView(item));
    return Group(std::move(children)).modifier("forEach");
}

AnyView Button(std::string title, std::function<void()> action);
AnyView Button(AnyView label, std::function<void()> action);
AnyView TextField(std::string placeholder, Binding<std::string> text);
// An editor has no placeholder; `title` is the name it is found by.
AnyView TextEditor(Binding<std::string> text, std::string title = "");
AnyView Toggle(std::string title, Binding<bool> isOn);
AnyView Stepper(AnyView label, std::function<void()> onIncrement, std::function<void()> onDecrement);
AnyView Picker(std::string title, Binding<std::string> selection, std::vector<std::string> options);

AnyView Rectangle();
AnyView Circle();
AnyView Capsule();
AnyView RoundedRectangle(double cornerRadius, CornerStyle style = CornerStyle::circular);

namespace detail {
// The build in progress on this thread, for environment() and state tracking.
class BuildScope {
public:
    explicit BuildScope(const BuildContext& ctx);
    ~BuildScope();
    BuildScope(const BuildScope&) = delete;
    BuildScope& operator=(const BuildScope&) = delete;

private:
    const BuildContext* previous_;
};
const BuildContext* currentBuild();

// The storage kept for `key` by the host, or `fresh` (now kept) when there is none.
std::shared_ptr<StateBoxBase> stateSlot(const BuildContext& ctx, const std::string& key,
                                        std::shared_ptr<StateBoxBase> fresh);
std::string demangle(const char* name);
NodePtr makeNode(std::string kind, const BuildContext& ctx);

// A view's states are kept by its place and its type: a view of another type that comes to stand
// at the same place starts with states of its own.
template <class Tuple> void adoptStates(const BuildContext& ctx, const std::string& type, Tuple&& states) {
    std::size_t index = 0;
    std::apply(
        [&](auto&... state) {
            ((state.adopt(
                 stateSlot(ctx, ctx.path + "#" + type + "#" + std::to_string(index++), state.storage()))),
             ...);
        },
        states);
}

template <class M> class ModifierImpl : public AnyView::Impl {
public:
    ModifierImpl(AnyView content, M m) : content_(std::move(content)), modifier_(std::move(m)) {}
    NodePtr build(const BuildContext& ctx) const override {
        AnyView body;
        {
            BuildScope scope(ctx);
            body = modifier_.body(content_);
        }
        return body.build(ctx);
    }

private:
    AnyView content_;
    M modifier_;
};

template <class V> class Composite : public AnyView::Impl {
public:
    explicit Composite(V view) : view_(std::move(view)) {}
    NodePtr build(const BuildContext& ctx) const override {
        V view = view_;
        if constexpr (requires { view.states(); }) adoptStates(ctx, AnyView::typeName<V>(), view.states());
        NodePtr node = makeNode(AnyView::typeName<V>(), ctx);
        AnyView content;
        {
            BuildScope scope(ctx);
            content = view.body();
        }
        node->children.push_back(content.build(ctx.child(0)));
        return node;
    }

private:
    V view_;
};

template <class S> class ShapeImpl : public AnyView::Impl {
public:
    explicit ShapeImpl(S shape) : shape_(std::move(shape)) {}
    NodePtr build(const BuildContext& ctx) const override {
        NodePtr node = makeNode(AnyView::typeName<S>(), ctx);
        S shape = shape_;
        node->shapePath = [shape](CGRect rect) { return shape.path(rect); };
        return node;
    }

private:
    S shape_;
};
} // namespace detail

template <ViewWithBody V>
AnyView::AnyView(V view) : impl_(std::make_shared<detail::Composite<V>>(std::move(view))) {}

template <ShapeWithPath S>
requires(!ViewWithBody<S>) AnyView::AnyView(S shape)
    : impl_(std::make_shared<detail::ShapeImpl<S>>(std::move(shape))) {}

template <class M>
requires requires(const M& m, AnyView content) {
    { m.body(content) } -> std::convertible_to<AnyView>;
}
AnyView AnyView::modifier(M m) const {
    return AnyView(std::make_shared<detail::ModifierImpl<M>>(*this, std::move(m)));
}

template <class V> std::string AnyView::typeName() {
    std::string full = detail::demangle(typeid(V).name());
    auto cut = full.rfind("::", full.find('<'));
    return cut == std::string::npos ? full : full.substr(cut + 2);
}

} // namespace platform::swiftui
