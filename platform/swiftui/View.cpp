#include "platform/swiftui/View.h"

#include <cxxabi.h>

#include <cstdlib>

#include "platform/uikit/UIImage.h"

namespace platform::swiftui {

namespace detail {
namespace {
thread_local const BuildContext* current = nullptr;
} // namespace

BuildScope::BuildScope(const BuildContext& ctx) : previous_(current) {
    current = &ctx;
}
BuildScope::~BuildScope() {
    current = previous_;
}
const BuildContext* currentBuild() {
    return current;
}

std::string demangle(const char* name) {
    int status = 0;
    char* out = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string result = status == 0 && out ? out : name;
    std::free(out);
    return result;
}

NodePtr makeNode(std::string kind, const BuildContext& ctx) {
    auto node = std::make_shared<Node>();
    node->kind = std::move(kind);
    node->path = ctx.path;
    node->enabled = ctx.env.isEnabled;
    return node;
}
} // namespace detail

const EnvironmentValues& environment() {
    static const EnvironmentValues defaults;
    const BuildContext* ctx = detail::currentBuild();
    return ctx ? ctx->env : defaults;
}

BuildContext BuildContext::child(std::size_t index) const {
    return sub("/" + std::to_string(index));
}

BuildContext BuildContext::sub(const std::string& suffix) const {
    BuildContext c = *this;
    c.path += suffix;
    return c;
}

namespace {
const char* alignmentName(Alignment a) {
    switch (a) {
    case Alignment::center:
        return "center";
    case Alignment::leading:
        return "leading";
    case Alignment::trailing:
        return "trailing";
    case Alignment::top:
        return "top";
    case Alignment::bottom:
        return "bottom";
    }
    return "center";
}

// A primitive view: a node of a kind with fixed properties and child views, finished by `setup`.
class Primitive : public AnyView::Impl {
public:
    using Setup = std::function<void(Node&, const BuildContext&)>;
    Primitive(std::string kind, Args props, std::vector<AnyView> children, Setup setup = {})
        : kind_(std::move(kind)), props_(std::move(props)), children_(std::move(children)),
          setup_(std::move(setup)) {}

    NodePtr build(const BuildContext& ctx) const override {
        NodePtr node = detail::makeNode(kind_, ctx);
        node->props = props_;
        for (std::size_t i = 0; i < children_.size(); ++i)
            node->children.push_back(children_[i].build(ctx.child(i)));
        if (setup_) setup_(*node, ctx);
        return node;
    }

private:
    std::string kind_;
    Args props_;
    std::vector<AnyView> children_;
    Setup setup_;
};

AnyView primitive(std::string kind, Args props = {}, std::vector<AnyView> children = {},
                  Primitive::Setup setup = {}) {
    return AnyView(std::make_shared<Primitive>(std::move(kind), std::move(props), std::move(children),
                                               std::move(setup)));
}

class Modified : public AnyView::Impl {
public:
    Modified(AnyView inner, Modifier m, std::vector<AnyView> content,
             std::function<void(EnvironmentValues&)> env)
        : inner_(std::move(inner)), modifier_(std::move(m)), content_(std::move(content)),
          env_(std::move(env)) {}

    NodePtr build(const BuildContext& ctx) const override {
        BuildContext inner = ctx;
        if (env_) env_(inner.env);
        NodePtr node = inner_.build(inner);
        Modifier m = modifier_;
        std::string prefix = "/" + m.name + std::to_string(node->modifiers.size()) + ".";
        for (std::size_t i = 0; i < content_.size(); ++i)
            m.content.push_back(content_[i].build(ctx.sub(prefix + std::to_string(i))));
        node->modifiers.push_back(std::move(m));
        return node;
    }

private:
    AnyView inner_;
    Modifier modifier_;
    std::vector<AnyView> content_;
    std::function<void(EnvironmentValues&)> env_;
};

class TextImpl : public AnyView::Impl {
public:
    explicit TextImpl(std::vector<TextRun> runs) : runs_(std::move(runs)) {}
    NodePtr build(const BuildContext& ctx) const override {
        NodePtr node = detail::makeNode("Text", ctx);
        node->runs = runs_;
        return node;
    }

private:
    std::vector<TextRun> runs_;
};

class ButtonImpl : public AnyView::Impl {
public:
    ButtonImpl(AnyView label, std::function<void()> action)
        : label_(std::move(label)), action_(std::move(action)) {}
    NodePtr build(const BuildContext& ctx) const override;

private:
    AnyView label_;
    std::function<void()> action_;
};

AnyView shape(std::string kind, Args props, std::function<Path(CGRect)> makePath) {
    return primitive(std::move(kind), std::move(props), {},
                     [makePath](Node& n, const BuildContext&) { n.shapePath = makePath; });
}

Path roundedRectPath(CGRect r, double radius) {
    Path p;
    double rad = std::min({radius, r.width() / 2, r.height() / 2});
    Angle a0 = Angle::degrees(0), a90 = Angle::degrees(90), a180 = Angle::degrees(180),
          a270 = Angle::degrees(270);
    p.moveTo({r.minX() + rad, r.minY()});
    p.addLine({r.maxX() - rad, r.minY()});
    p.addArc({r.maxX() - rad, r.minY() + rad}, rad, a270, a0, false);
    p.addLine({r.maxX(), r.maxY() - rad});
    p.addArc({r.maxX() - rad, r.maxY() - rad}, rad, a0, a90, false);
    p.addLine({r.minX() + rad, r.maxY()});
    p.addArc({r.minX() + rad, r.maxY() - rad}, rad, a90, a180, false);
    p.addLine({r.minX(), r.minY() + rad});
    p.addArc({r.minX() + rad, r.minY() + rad}, rad, a180, a270, false);
    p.closeSubpath();
    return p;
}
} // namespace

namespace detail {
bool isPressed(const BuildContext& ctx); // kept by the host (ViewHost.cpp)
}

NodePtr ButtonImpl::build(const BuildContext& ctx) const {
    NodePtr node = detail::makeNode("Button", ctx);
    BuildContext labelCtx = ctx.child(0);
    auto style = ctx.env.buttonStyle;
    // A style applies to this button only, not to buttons inside its label.
    labelCtx.env.buttonStyle = nullptr;
    if (style) {
        ButtonStyleConfiguration config{label_, detail::isPressed(ctx)};
        node->children.push_back(style->makeBody(config).build(labelCtx));
    } else {
        node->children.push_back(label_.build(labelCtx));
    }
    node->action = action_;
    return node;
}

AnyView::AnyView() : AnyView(EmptyView()) {}

AnyView::AnyView(const Color& color) : AnyView(primitive("Color", {{"color", color}})) {}

AnyView AnyView::modified(Modifier m, std::vector<AnyView> content,
                          std::function<void(EnvironmentValues&)> env) const {
    return AnyView(std::make_shared<Modified>(*this, std::move(m), std::move(content), std::move(env)));
}

AnyView AnyView::modifier(std::string name, Args args) const {
    return modified(Modifier{std::move(name), std::move(args), {}, {}, {}});
}

AnyView AnyView::font(const Font& f) const {
    return modifier("font", {{"font", f}});
}
AnyView AnyView::foregroundColor(const Color& c) const {
    return modifier("foregroundColor", {{"color", c}});
}
AnyView AnyView::background(const AnyView& view) const {
    return modified(Modifier{"background", {}, {}, {}, {}}, {view});
}
AnyView AnyView::padding(double length) const {
    return modifier("padding", {{"length", length}});
}
AnyView AnyView::padding(const EdgeInsets& in) const {
    return modifier(
        "padding",
        {{"top", in.top}, {"leading", in.leading}, {"bottom", in.bottom}, {"trailing", in.trailing}});
}
AnyView AnyView::frame(double width, double height) const {
    return frame(FrameOptions{width, height, {}, {}, {}, {}});
}
AnyView AnyView::frame(const FrameOptions& o) const {
    Args args;
    auto add = [&](const char* key, const std::optional<double>& v) {
        if (v) args.emplace_back(key, *v);
    };
    add("width", o.width);
    add("height", o.height);
    add("minWidth", o.minWidth);
    add("maxWidth", o.maxWidth);
    add("minHeight", o.minHeight);
    add("maxHeight", o.maxHeight);
    return modifier("frame", std::move(args));
}
AnyView AnyView::cornerRadius(double r) const {
    return modifier("cornerRadius", {{"radius", r}});
}
AnyView AnyView::clipShape(const AnyView& s) const {
    return modified(Modifier{"clipShape", {}, {}, {}, {}}, {s});
}
AnyView AnyView::shadow(const Color& c, double radius, double x, double y) const {
    return modifier("shadow", {{"color", c}, {"radius", radius}, {"x", x}, {"y", y}});
}
AnyView AnyView::scaleEffect(double s) const {
    return modifier("scaleEffect", {{"x", s}, {"y", s}, {"anchor", std::string("center")}});
}
AnyView AnyView::opacity(double v) const {
    return modifier("opacity", {{"value", v}});
}
AnyView AnyView::overlay(const AnyView& view) const {
    return modified(Modifier{"overlay", {}, {}, {}, {}}, {view});
}
AnyView AnyView::fill(const Color& c) const {
    return modifier("fill", {{"color", c}});
}
AnyView AnyView::stroke(const Color& c, double w) const {
    return modifier("stroke", {{"color", c}, {"lineWidth", w}});
}
AnyView AnyView::resizable() const {
    return modifier("resizable");
}
AnyView AnyView::aspectRatio(ContentMode mode) const {
    return modifier("aspectRatio", {{"contentMode", std::string(mode == ContentMode::fit ? "fit" : "fill")}});
}
AnyView AnyView::border(const Color& c, double width) const {
    return modifier("border", {{"color", c}, {"width", width}});
}
AnyView AnyView::animation(const Animation& a) const {
    return modifier("animation", {{"curve", a.curve}, {"duration", a.duration}});
}
AnyView AnyView::colorInvert() const {
    return modifier("colorInvert");
}
AnyView AnyView::renderingMode(const std::string& mode) const {
    return modifier("renderingMode", {{"mode", mode}});
}
AnyView AnyView::lineLimit(int lines) const {
    return modifier("lineLimit", {{"lines", double(lines)}});
}
AnyView AnyView::minimumScaleFactor(double factor) const {
    return modifier("minimumScaleFactor", {{"factor", factor}});
}
AnyView AnyView::navigationTitle(const std::string& t) const {
    return modifier("navigationTitle", {{"title", t}});
}
AnyView AnyView::disabled(bool d) const {
    return modified(Modifier{"disabled", {{"value", d}}, {}, {}, {}}, {}, [d](EnvironmentValues& env) {
        if (d) env.isEnabled = false;
    });
}
AnyView AnyView::colorScheme(ColorScheme s) const {
    return modified(
        Modifier{
            "colorScheme", {{"scheme", std::string(s == ColorScheme::dark ? "dark" : "light")}}, {}, {}, {}},
        {}, [s](EnvironmentValues& env) { env.colorScheme = s; });
}
AnyView AnyView::onAppear(std::function<void()> action) const {
    return modified(Modifier{"onAppear", {}, {}, std::move(action), {}});
}
AnyView AnyView::onTapGesture(std::function<void()> action) const {
    return modified(Modifier{"onTapGesture", {}, {}, std::move(action), {}});
}
AnyView AnyView::withButtonStyle(std::shared_ptr<const ButtonStyle> style, std::string name) const {
    return modified(Modifier{"buttonStyle", {{"style", std::move(name)}}, {}, {}, {}}, {},
                    [style](EnvironmentValues& env) { env.buttonStyle = style; });
}
AnyView AnyView::sheet(Binding<bool> isPresented, std::function<AnyView()> content) const {
    auto request = std::make_shared<SheetRequest>();
    request->isPresented = [isPresented] { return isPresented.get(); };
    request->reset = [isPresented] { isPresented.set(false); };
    request->content = std::move(content);
    return withSheet(std::move(request));
}
AnyView AnyView::withSheet(std::shared_ptr<SheetRequest> request) const {
    return modified(Modifier{"sheet", {}, {}, {}, std::move(request)});
}

Text::Text(std::string text) : Text(std::vector<TextRun>{TextRun{std::move(text), {}, {}}}) {}
Text::Text(std::vector<TextRun> runs) : AnyView(std::make_shared<TextImpl>(runs)), runs_(std::move(runs)) {}

Text Text::operator+(const Text& other) const {
    auto runs = runs_;
    runs.insert(runs.end(), other.runs_.begin(), other.runs_.end());
    return Text(std::move(runs));
}
Text Text::foregroundColor(const Color& color) const {
    auto runs = runs_;
    for (TextRun& r : runs)
        if (!r.color) r.color = color;
    return Text(std::move(runs));
}
Text Text::font(const Font& f) const {
    auto runs = runs_;
    for (TextRun& r : runs)
        if (!r.font) r.font = f;
    return Text(std::move(runs));
}
Text Text::bold() const {
    auto runs = runs_;
    for (TextRun& r : runs)
        r.font = r.font.value_or(Font::body()).bold();
    return Text(std::move(runs));
}

Image::Image(std::string name) : Image(std::move(name), false) {}
Image Image::system(std::string name) {
    return Image(std::move(name), true);
}
Image::Image(std::string name, bool isSystem)
    : AnyView(primitive("Image", {{isSystem ? "systemName" : "name", std::move(name)}})) {}

Image::Image(std::shared_ptr<const UIImage> uiImage)
    : AnyView(uiImage ? primitive("Image", {{"uiImage", uiImage->name()}, {"path", uiImage->path().string()}},
                                  {}, [uiImage](Node& n, const BuildContext&) { n.uiImage = uiImage; })
                      : EmptyView()) {}

AnyView If(bool condition, AnyView then, AnyView otherwise) {
    // The branch taken stands one level down, under a name of its own, so states built in one
    // branch are never found by the other.
    class Conditional : public AnyView::Impl {
    public:
        Conditional(bool c, AnyView t, AnyView o)
            : condition_(c), then_(std::move(t)), otherwise_(std::move(o)) {}
        NodePtr build(const BuildContext& ctx) const override {
            NodePtr node = detail::makeNode("Group", ctx);
            node->props.emplace_back("condition", condition_);
            node->children.push_back(
                (condition_ ? then_ : otherwise_).build(ctx.sub(condition_ ? "/then" : "/else")));
            return node;
        }

    private:
        bool condition_;
        AnyView then_, otherwise_;
    };
    return AnyView(std::make_shared<Conditional>(condition, std::move(then), std::move(otherwise)));
}

AnyView EmptyView() {
    return primitive("EmptyView");
}

static Args stackProps(const StackOptions& o) {
    Args args{{"alignment", std::string(alignmentName(o.alignment))}};
    if (o.spacing) args.emplace_back("spacing", *o.spacing);
    return args;
}
AnyView VStack(std::vector<AnyView> c) {
    return VStack({}, std::move(c));
}
AnyView VStack(StackOptions o, std::vector<AnyView> c) {
    return primitive("VStack", stackProps(o), std::move(c));
}
AnyView HStack(std::vector<AnyView> c) {
    return HStack({}, std::move(c));
}
AnyView HStack(StackOptions o, std::vector<AnyView> c) {
    return primitive("HStack", stackProps(o), std::move(c));
}
AnyView ZStack(std::vector<AnyView> c) {
    return ZStack({}, std::move(c));
}
AnyView ZStack(StackOptions o, std::vector<AnyView> c) {
    return primitive("ZStack", stackProps(o), std::move(c));
}
AnyView Group(std::vector<AnyView> c) {
    return primitive("Group", {}, std::move(c));
}
AnyView List(std::vector<AnyView> c) {
    return primitive("List", {}, std::move(c));
}
AnyView ScrollView(AnyView content) {
    return ScrollView(Axis::vertical, true, std::move(content));
}
AnyView ScrollView(Axis axis, bool showsIndicators, AnyView content) {
    return primitive("ScrollView",
                     {{"axis", std::string(axis == Axis::vertical ? "vertical" : "horizontal")},
                      {"showsIndicators", showsIndicators}},
                     {std::move(content)});
}
AnyView Spacer() {
    return primitive("Spacer");
}
AnyView Divider() {
    return primitive("Divider");
}
AnyView LinearGradient(std::vector<Color> colors, std::string startPoint, std::string endPoint) {
    Args args;
    for (std::size_t i = 0; i < colors.size(); ++i)
        args.emplace_back("color" + std::to_string(i), colors[i]);
    args.emplace_back("startPoint", std::move(startPoint));
    args.emplace_back("endPoint", std::move(endPoint));
    return primitive("LinearGradient", std::move(args));
}

AnyView Button(std::string title, std::function<void()> action) {
    return Button(Text(std::move(title)), std::move(action));
}
AnyView Button(AnyView label, std::function<void()> action) {
    return AnyView(std::make_shared<ButtonImpl>(std::move(label), std::move(action)));
}

AnyView TextField(std::string placeholder, Binding<std::string> text) {
    return primitive("TextField", {{"placeholder", std::move(placeholder)}}, {},
                     [text](Node& n, const BuildContext&) {
                         n.getText = [text] { return text.get(); };
                         n.setText = [text](const std::string& s) { text.set(s); };
                     });
}
AnyView TextEditor(Binding<std::string> text, std::string title) {
    return primitive("TextEditor", {{"title", std::move(title)}}, {}, [text](Node& n, const BuildContext&) {
        n.getText = [text] { return text.get(); };
        n.setText = [text](const std::string& s) { text.set(s); };
    });
}
AnyView Toggle(std::string title, Binding<bool> isOn) {
    return primitive("Toggle", {{"title", std::move(title)}}, {}, [isOn](Node& n, const BuildContext&) {
        n.isOn = [isOn] { return isOn.get(); };
        n.setOn = [isOn](bool v) { isOn.set(v); };
    });
}
AnyView Stepper(AnyView label, std::function<void()> onIncrement, std::function<void()> onDecrement) {
    return primitive("Stepper", {}, {std::move(label)},
                     [onIncrement, onDecrement](Node& n, const BuildContext&) {
                         n.props.emplace_back("title", n.text());
                         n.increment = onIncrement;
                         n.decrement = onDecrement;
                     });
}
AnyView Picker(std::string title, Binding<std::string> selection, std::vector<std::string> options) {
    return primitive("Picker", {{"title", std::move(title)}}, {},
                     [selection, options](Node& n, const BuildContext&) {
                         n.options = options;
                         n.getText = [selection] { return selection.get(); };
                         n.select = [selection](const std::string& s) { selection.set(s); };
                     });
}

AnyView Rectangle() {
    return shape("Rectangle", {}, [](CGRect r) {
        Path p;
        p.moveTo(r.origin);
        p.addLine({r.maxX(), r.minY()});
        p.addLine({r.maxX(), r.maxY()});
        p.addLine({r.minX(), r.maxY()});
        p.closeSubpath();
        return p;
    });
}
AnyView Circle() {
    return shape("Circle", {}, [](CGRect r) {
        Path p;
        p.addArc({r.midX(), r.midY()}, std::min(r.width(), r.height()) / 2, Angle::degrees(0),
                 Angle::degrees(360), false);
        p.closeSubpath();
        return p;
    });
}
AnyView Capsule() {
    return shape("Capsule", {},
                 [](CGRect r) { return roundedRectPath(r, std::min(r.width(), r.height()) / 2); });
}
AnyView RoundedRectangle(double cornerRadius, CornerStyle style) {
    return shape("RoundedRectangle",
                 {{"cornerRadius", cornerRadius},
                  {"style", std::string(style == CornerStyle::continuous ? "continuous" : "circular")}},
                 [cornerRadius](CGRect r) { return roundedRectPath(r, cornerRadius); });
}

} // namespace platform::swiftui
