#include "platform/swiftui/ViewLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <set>
#include <string>

#include "platform/uikit/UIImage.h"

namespace platform::swiftui {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// The platform's spacing between neighbours in a stack, and a spacer's least length.
constexpr double kStackSpacing = 8;
constexpr double kSpacerMinLength = 8;
constexpr double kDividerThickness = 0.5;
constexpr double kListRowHeight = 44;
constexpr double kListRowInset = 16;
constexpr double kToggleWidth = 51, kToggleHeight = 31;
constexpr double kStepperWidth = 94, kStepperHeight = 32;

// Modifiers that only change what their subtree inherits, or that the drawing reads from the node
// itself: they make no box.
const std::set<std::string, std::less<>> kEnvironmentModifiers{
    "font",        "foregroundColor", "lineLimit", "multilineTextAlignment",
    "colorScheme", "buttonStyle",     "disabled",
};
const std::set<std::string, std::less<>> kInertModifiers{
    "forEach",
    "onAppear",
    "minimumScaleFactor",
    "sheet",
    "navigationTitle",
    "accessibilityLabel",
    "accessibilityValue",
    "autocapitalization",
    "textFieldStyle",
    "fill",
    "stroke",
    "inset",
    "resizable",
    "antialiased",
    "edgesIgnoringSafeArea",
    "pickerStyle",
    "aspectRatio",
    "scaledToFit",
    "scaledToFill",
    "renderingMode",
    "id",
    "keyboardType",
    "disableAutocorrection",
    "onChange",
    "tag",
    "listStyle",
};

struct Env {
    TextStyle style;
    ColorScheme scheme = ColorScheme::light;
    bool inList = false;
    bool styledButtons = false;
    std::optional<char> axis;
};

bool isShape(const Node& n) {
    return bool(n.shapePath);
}

// The picture an Image node shows: the UIImage it was made from, a bundle image by name, or a file
// by its path.
std::shared_ptr<const UIImage> imageOf(const Node& n) {
    if (n.uiImage) return n.uiImage;
    if (auto name = n.textProp("name")) return UIImage::imageNamed(*name);
    if (auto path = n.textProp("path")) return UIImage::imageWithContentsOfFile(*path);
    return nullptr;
}

bool isContainer(std::string_view kind) {
    return kind == "VStack" || kind == "HStack" || kind == "ZStack" || kind == "Group" || kind == "List" ||
           kind == "Form" || kind == "Section" || kind == "ScrollView";
}

// A Group without modifiers of its own adds its children to the container it stands in.
bool flattens(const Node& n) {
    if (n.kind != "Group") return false;
    return std::all_of(n.modifiers.begin(), n.modifiers.end(),
                       [](const Modifier& m) { return kInertModifiers.count(m.name) > 0; });
}

void collectChildren(const Node& n, std::vector<const Node*>& out) {
    for (const NodePtr& c : n.children) {
        if (flattens(*c))
            collectChildren(*c, out);
        else if (c->kind != "EmptyView" || !c->modifiers.empty())
            out.push_back(c.get());
    }
}

LayoutBox buildNode(const Node& n, const Env& env, const ViewLayout::ScrollOffsets* offsets);

LayoutBox buildView(const Node& n, const Env& env, const ViewLayout::ScrollOffsets* offsets) {
    LayoutBox b;
    b.node = &n;
    b.role = n.kind;
    b.style = env.style;
    b.scheme = env.scheme;
    b.enabled = n.enabled;
    b.inList = env.inList;
    b.stackAxis = env.axis;
    if (offsets && (n.kind == "ScrollView" || n.kind == "TextEditor" || n.kind == "List" || n.kind == "Form"))
        if (auto it = offsets->find(n.path); it != offsets->end()) b.contentOffset = it->second;

    Env inner = env;
    inner.axis.reset();
    if (n.kind == "VStack") inner.axis = 'v';
    if (n.kind == "HStack") inner.axis = 'h';
    if (n.kind == "List" || n.kind == "Form") inner.inList = true;
    if (n.kind == "Button") {
        // A button without a style shows its label in the accent colour, grey while disabled.
        b.plainButton = !env.styledButtons;
        if (b.plainButton && !inner.style.color)
            inner.style.color = n.enabled ? Color::blue() : Color::gray();
        inner.styledButtons = false;
    }
    if (isContainer(n.kind)) {
        std::vector<const Node*> kids;
        collectChildren(n, kids);
        for (const Node* c : kids)
            b.children.push_back(buildNode(*c, inner, offsets));
    } else if (!n.children.empty() && !isShape(n)) {
        // A composite view, a button's label, a stepper's label.
        for (const NodePtr& c : n.children)
            b.children.push_back(buildNode(*c, inner, offsets));
    }
    return b;
}

// The box of modifier `index` of `n`, around the boxes of the modifiers applied before it.
LayoutBox buildChain(const Node& n, int index, Env env, const ViewLayout::ScrollOffsets* offsets) {
    while (index >= 0) {
        const Modifier& m = n.modifiers[static_cast<std::size_t>(index)];
        if (kEnvironmentModifiers.count(m.name)) {
            if (m.name == "font") {
                if (auto f = m.font("font")) env.style.font = *f;
            } else if (m.name == "foregroundColor") {
                if (auto c = m.color("color")) env.style.color = *c;
            } else if (m.name == "lineLimit") {
                if (auto l = m.number("lines")) env.style.lineLimit = static_cast<int>(*l);
            } else if (m.name == "multilineTextAlignment") {
                if (auto a = m.text("alignment")) env.style.alignment = *a;
            } else if (m.name == "colorScheme") {
                env.scheme = m.text("scheme") == "dark" ? ColorScheme::dark : ColorScheme::light;
            } else if (m.name == "buttonStyle") {
                env.styledButtons = true;
            }
            --index;
            continue;
        }
        if (kInertModifiers.count(m.name)) {
            --index;
            continue;
        }
        break;
    }
    if (index < 0) return buildView(n, env, offsets);
    const Modifier& m = n.modifiers[static_cast<std::size_t>(index)];
    LayoutBox b;
    b.node = &n;
    b.modifier = index;
    b.role = m.name;
    b.style = env.style;
    b.scheme = env.scheme;
    b.enabled = n.enabled;
    b.inList = env.inList;
    b.stackAxis = env.axis;
    Env contentEnv = env;
    contentEnv.axis.reset();
    for (const NodePtr& c : m.content)
        b.content.push_back(buildNode(*c, contentEnv, offsets));
    Env innerEnv = env;
    b.children.push_back(buildChain(n, index - 1, innerEnv, offsets));
    return b;
}

LayoutBox buildNode(const Node& n, const Env& env, const ViewLayout::ScrollOffsets* offsets) {
    return buildChain(n, static_cast<int>(n.modifiers.size()) - 1, env, offsets);
}

// ---- measuring

// What a row that may set its texts smaller is known by: the texts it shows, so that rows of the
// same options are recognised as alike.
std::string rowTexts(const Node& row) {
    std::string key;
    for (const Node* t : row.findAllKind("Text"))
        key += t->text() + '\n';
    return key;
}

class Layouter {
public:
    // `rowScales`: the largest scale a row showing those texts may take (none: its full size).
    explicit Layouter(const TextMeasurer& text, std::map<std::string, double> rowScales = {})
        : text_(text), rowScales_(std::move(rowScales)) {}

    CGSize measure(const LayoutBox& b, Proposal p) const {
        for (const auto& m : b.memo)
            if (m.proposal == p) return m.size;
        CGSize s = sizeThatFits(b, p);
        b.memo.push_back({p, s});
        return s;
    }

    void place(LayoutBox& b, CGPoint origin, Proposal p) const;

    bool flexible(const LayoutBox& b, char axis) const;
    double minLength(const LayoutBox& b, char axis) const;

private:
    CGSize sizeThatFits(const LayoutBox& b, Proposal p) const;
    CGSize viewSize(const LayoutBox& b, Proposal p) const;
    CGSize textSize(const std::vector<TextRun>& runs, const TextStyle& style,
                    std::optional<double> width) const {
        return text_.measure(runs, style, width);
    }
    double lineHeight(const TextStyle& style) const {
        return textSize({TextRun{"Ag", {}, {}}}, style, std::nullopt).height;
    }
    std::vector<LayoutBox::Measured> stackSizes(const LayoutBox& b, Proposal p, char axis) const;
    void fitRow(const LayoutBox& b, Proposal p) const;
    double listRows(const LayoutBox& b, double width,
                    const std::function<void(LayoutBox&, CGPoint, Proposal)>& put) const;
    double spacingAfter(const LayoutBox& b, std::size_t i) const;
    CGSize listSize(const LayoutBox& b, Proposal p) const;

    const TextMeasurer& text_;
    std::map<std::string, double> rowScales_;
};

EdgeInsets paddingOf(const Modifier& m) {
    if (auto l = m.number("length")) return {*l, *l, *l, *l};
    return {m.number("top").value_or(0), m.number("leading").value_or(0), m.number("bottom").value_or(0),
            m.number("trailing").value_or(0)};
}

std::optional<double> shrink(std::optional<double> v, double by) {
    if (!v) return v;
    return std::max(0.0, *v - by);
}

double along(CGSize s, char axis) {
    return axis == 'h' ? s.width : s.height;
}
double across(CGSize s, char axis) {
    return axis == 'h' ? s.height : s.width;
}
std::optional<double> along(Proposal p, char axis) {
    return axis == 'h' ? p.width : p.height;
}
std::optional<double> across(Proposal p, char axis) {
    return axis == 'h' ? p.height : p.width;
}
Proposal make(char axis, std::optional<double> alongLength, std::optional<double> acrossLength) {
    return axis == 'h' ? Proposal{alongLength, acrossLength} : Proposal{acrossLength, alongLength};
}

// A flexible frame's length on one axis, from what was proposed and what the child chose.
double flexLength(std::optional<double> minL, std::optional<double> maxL, std::optional<double> proposed,
                  double child) {
    double p = proposed.value_or(child);
    double result = child;
    if (minL) result = std::max(*minL, std::min(result, p));
    if (maxL) result = std::min(*maxL, std::max(result, p));
    return result;
}

std::optional<double> clampProposal(std::optional<double> p, std::optional<double> minL,
                                    std::optional<double> maxL) {
    if (!p) return p;
    double v = *p;
    if (maxL) v = std::min(v, *maxL);
    if (minL) v = std::max(v, *minL);
    return v;
}

bool Layouter::flexible(const LayoutBox& b, char axis) const {
    if (const Modifier* m = b.modifierRecord()) {
        if (b.role == "frame") {
            const char* fixed = axis == 'h' ? "width" : "height";
            if (m->number(fixed)) return false;
            auto maxL = m->number(axis == 'h' ? "maxWidth" : "maxHeight");
            if (maxL && std::isinf(*maxL)) return true;
            if (maxL && m->number(axis == 'h' ? "minWidth" : "minHeight") == maxL) return false;
        }
        return flexible(b.children[0], axis);
    }
    const std::string& k = b.role;
    if (k == "Spacer") return !b.stackAxis || *b.stackAxis == axis;
    if (k == "Divider") return b.stackAxis != axis;
    if (isShape(*b.node) || k == "Color" || k == "LinearGradient" || k == "ScrollView" || k == "List" ||
        k == "Form" || k == "TextEditor" || k == "Representable" || b.node->drawContent)
        return true;
    if (k == "Image") return b.node->modifier("resizable") != nullptr;
    if (k == "TextField" || k == "Toggle" || k == "Stepper") return axis == 'h';
    if (k == "Picker") return b.inList && axis == 'h';
    if (k == "Text" || k == "EmptyView") return false;
    return std::any_of(b.children.begin(), b.children.end(),
                       [&](const LayoutBox& c) { return flexible(c, axis); });
}

double Layouter::minLength(const LayoutBox& b, char axis) const {
    if (const Modifier* m = b.modifierRecord()) {
        if (b.role == "frame") {
            if (auto f = m->number(axis == 'h' ? "width" : "height")) return *f;
            if (auto f = m->number(axis == 'h' ? "minWidth" : "minHeight")) return *f;
        }
        if (b.role == "padding") {
            EdgeInsets in = paddingOf(*m);
            return minLength(b.children[0], axis) +
                   (axis == 'h' ? in.leading + in.trailing : in.top + in.bottom);
        }
        return minLength(b.children[0], axis);
    }
    if (b.role == "Spacer" && b.stackAxis == axis)
        return b.node->number("minLength").value_or(kSpacerMinLength);
    return 0;
}

double Layouter::spacingAfter(const LayoutBox& b, std::size_t i) const {
    if (i + 1 >= b.children.size()) return 0;
    // A spacer brings its own length: no spacing is added beside it.
    if (b.children[i].isView("Spacer") || b.children[i + 1].isView("Spacer")) return 0;
    return b.node->number("spacing").value_or(kStackSpacing);
}

// Sets the texts under a row's box at `scale` of their size; what was measured at another scale
// is measured again.
void setTextScale(const LayoutBox& row, double scale) {
    if (row.textScale == scale) return;
    row.textScale = scale;
    const std::function<void(const LayoutBox&)> visit = [&](const LayoutBox& b) {
        auto& box = const_cast<LayoutBox&>(b);
        box.style.scale = scale;
        box.memo.clear();
        box.textScale = 0;
        for (const LayoutBox& c : b.children)
            visit(c);
        for (const LayoutBox& c : b.content)
            visit(c);
    };
    for (const LayoutBox& c : row.children)
        visit(c);
}

// A row (an HStack with a minimumScaleFactor of its own) whose views do not fit side by side at
// their ideal widths sets all its texts a step smaller at a time, the same for all, until the row
// holds them or the least size allowed is reached: none of its words is broken where a smaller
// size holds it whole, and its texts stay alike.
void Layouter::fitRow(const LayoutBox& b, Proposal p) const {
    constexpr double kStep = 0.025;
    const Modifier* shrinks = b.node->modifier("minimumScaleFactor");
    if (!shrinks) return;
    const double least = std::clamp(shrinks->number("factor").value_or(1), 0.1, 1.0);
    double scale = 1;
    if (auto alike = rowScales_.find(rowTexts(*b.node)); alike != rowScales_.end())
        scale = std::clamp(alike->second, least, 1.0);
    if (least < 1 && p.width) {
        const auto fits = [&](double s) {
            setTextScale(b, s);
            double need = 0;
            for (std::size_t i = 0; i < b.children.size(); ++i) {
                const LayoutBox& c = b.children[i];
                need += spacingAfter(b, i) +
                        (flexible(c, 'h') ? minLength(c, 'h') : measure(c, {std::nullopt, p.height}).width);
            }
            return need <= *p.width;
        };
        while (scale > least && !fits(scale))
            scale = std::max(least, scale - kStep);
    }
    setTextScale(b, scale);
}

std::vector<LayoutBox::Measured> Layouter::stackSizes(const LayoutBox& b, Proposal p, char axis) const {
    if (axis == 'h') fitRow(b, p);
    const std::size_t n = b.children.size();
    std::vector<LayoutBox::Measured> out(n);
    auto acrossP = across(p, axis);
    auto alongP = along(p, axis);
    auto offer = [&](std::size_t i, std::optional<double> length) {
        out[i].proposal = make(axis, length, acrossP);
        out[i].size = measure(b.children[i], out[i].proposal);
        return along(out[i].size, axis);
    };
    if (!alongP) {
        for (std::size_t i = 0; i < n; ++i)
            offer(i, std::nullopt);
        return out;
    }
    double spacing = 0;
    for (std::size_t i = 0; i < n; ++i)
        spacing += spacingAfter(b, i);
    std::vector<std::size_t> fixed, flex;
    for (std::size_t i = 0; i < n; ++i)
        (flexible(b.children[i], axis) ? flex : fixed).push_back(i);
    // Views that cannot grow go first, the smallest first, each offered an even share of what is
    // left; then the flexible ones share the rest, each at least its least length.
    std::vector<double> ideal(n, 0);
    for (std::size_t i : fixed)
        ideal[i] = along(measure(b.children[i], make(axis, std::nullopt, acrossP)), axis);
    std::stable_sort(fixed.begin(), fixed.end(),
                     [&](std::size_t a, std::size_t c) { return ideal[a] < ideal[c]; });
    double reserve = 0;
    for (std::size_t i : flex)
        reserve += minLength(b.children[i], axis);
    double remaining = *alongP - spacing - reserve;
    std::size_t left = fixed.size();
    for (std::size_t i : fixed)
        remaining -= offer(i, std::max(0.0, remaining / static_cast<double>(left--)));
    remaining += reserve;
    std::stable_sort(flex.begin(), flex.end(), [&](std::size_t a, std::size_t c) {
        return minLength(b.children[a], axis) > minLength(b.children[c], axis);
    });
    left = flex.size();
    for (std::size_t i : flex)
        remaining -=
            offer(i, std::max(minLength(b.children[i], axis), remaining / static_cast<double>(left--)));
    return out;
}

double Layouter::listRows(const LayoutBox& b, double width,
                          const std::function<void(LayoutBox&, CGPoint, Proposal)>& put) const {
    // Rows one under another, at least a row's height each; a section starts a new group.
    const bool grouped = b.role == "Form";
    double y = grouped ? 35 : 0;
    double inset = grouped ? 20 : 0;
    Proposal rp{std::max(0.0, width - 2 * inset - 2 * kListRowInset), std::nullopt};
    auto row = [&](const LayoutBox& r) {
        CGSize rs = measure(r, rp);
        double h = std::max(kListRowHeight, rs.height + 22);
        if (put) put(const_cast<LayoutBox&>(r), {inset + kListRowInset, y + (h - rs.height) / 2}, rp);
        y += h;
    };
    for (const LayoutBox& c : b.children) {
        if (c.isView("Section")) {
            double top = y;
            for (const LayoutBox& r : c.children)
                row(r);
            if (put) const_cast<LayoutBox&>(c).frame = CGRect(inset, top, width - 2 * inset, y - top);
            y += 35;
        } else {
            row(c);
        }
    }
    return y;
}

CGSize Layouter::listSize(const LayoutBox& b, Proposal p) const {
    double w = p.width.value_or(320);
    return {w, p.height.value_or(listRows(b, w, {}))};
}

CGSize Layouter::sizeThatFits(const LayoutBox& b, Proposal p) const {
    const Modifier* m = b.modifierRecord();
    if (!m) return viewSize(b, p);
    const LayoutBox& child = b.children[0];
    if (b.role == "padding") {
        EdgeInsets in = paddingOf(*m);
        double dx = in.leading + in.trailing, dy = in.top + in.bottom;
        CGSize s = measure(child, {shrink(p.width, dx), shrink(p.height, dy)});
        return {s.width + dx, s.height + dy};
    }
    if (b.role == "frame") {
        auto w = m->number("width"), h = m->number("height");
        auto minW = m->number("minWidth"), maxW = m->number("maxWidth");
        auto minH = m->number("minHeight"), maxH = m->number("maxHeight");
        Proposal inner{w ? w : clampProposal(p.width, minW, maxW),
                       h ? h : clampProposal(p.height, minH, maxH)};
        CGSize s = measure(child, inner);
        double rw = w ? *w : (minW || maxW) ? flexLength(minW, maxW, p.width, s.width) : s.width;
        double rh = h ? *h : (minH || maxH) ? flexLength(minH, maxH, p.height, s.height) : s.height;
        return {rw, rh};
    }
    return measure(child, p);
}

CGSize Layouter::viewSize(const LayoutBox& b, Proposal p) const {
    const Node& n = *b.node;
    const std::string& k = b.role;
    if (k == "Text") {
        CGSize s = textSize(n.runs, b.style, p.width);
        if (p.width) s.width = std::min(s.width, *p.width);
        return s;
    }
    if (k == "VStack" || k == "HStack" || k == "Section") {
        char axis = k == "HStack" ? 'h' : 'v';
        auto sizes = stackSizes(b, p, axis);
        double alongSum = 0, acrossMax = 0;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            alongSum += along(sizes[i].size, axis) + spacingAfter(b, i);
            acrossMax = std::max(acrossMax, across(sizes[i].size, axis));
        }
        return axis == 'h' ? CGSize{alongSum, acrossMax} : CGSize{acrossMax, alongSum};
    }
    if (k == "ScrollView") {
        char axis = n.textProp("axis") == "horizontal" ? 'h' : 'v';
        if (b.children.empty()) return {p.width.value_or(0), p.height.value_or(0)};
        CGSize content = measure(b.children[0], make(axis, std::nullopt, across(p, axis)));
        double a = along(p, axis).value_or(along(content, axis));
        double c = across(p, axis).value_or(across(content, axis));
        if (axis == 'h') c = std::min(c, content.height);
        return axis == 'h' ? CGSize{a, c} : CGSize{c, a};
    }
    if (k == "List" || k == "Form") return listSize(b, p);
    // Views that paint themselves (a video player) take the space they are offered.
    if (isShape(n) || k == "Color" || k == "LinearGradient" || k == "Representable" || n.drawContent)
        return {p.width.value_or(isShape(n) ? 10 : 0), p.height.value_or(isShape(n) ? 10 : 0)};
    if (k == "Spacer") {
        double minL = n.number("minLength").value_or(kSpacerMinLength);
        if (b.stackAxis == 'v') return {0, std::max(minL, p.height.value_or(minL))};
        if (b.stackAxis == 'h') return {std::max(minL, p.width.value_or(minL)), 0};
        return {p.width.value_or(0), p.height.value_or(0)};
    }
    if (k == "Divider") {
        if (b.stackAxis == 'h') return {kDividerThickness, p.height.value_or(0)};
        return {p.width.value_or(0), kDividerThickness};
    }
    if (k == "Image") {
        // A symbol is as large as the font it stands in; a picture as its file.
        CGSize intrinsic{b.style.font.size * 1.2, b.style.font.size * 1.1};
        if (!n.textProp("systemName")) {
            auto image = imageOf(n);
            intrinsic = image ? image->size() : CGSize{};
        }
        if (!n.modifier("resizable")) return intrinsic;
        CGSize s{p.width.value_or(intrinsic.width), p.height.value_or(intrinsic.height)};
        bool fit = n.modifier("scaledToFit") || n.modifier("aspectRatio");
        if (fit && intrinsic.width > 0 && intrinsic.height > 0) {
            double ratio = intrinsic.width / intrinsic.height;
            if (p.width && !p.height)
                s.height = s.width / ratio;
            else if (p.height && !p.width)
                s.width = s.height * ratio;
            else if (p.width && p.height) {
                double scale = std::min(s.width / intrinsic.width, s.height / intrinsic.height);
                s = {intrinsic.width * scale, intrinsic.height * scale};
            }
        }
        return s;
    }
    if (k == "TextField") {
        std::string shown = n.getText ? n.getText() : "";
        if (shown.empty()) shown = n.textProp("placeholder").value_or("");
        const CGSize inset = textFieldInset(n);
        CGSize s = textSize({TextRun{shown, {}, {}}}, b.style, std::nullopt);
        return {p.width.value_or(s.width + 2 * inset.width), lineHeight(b.style) + 2 * inset.height};
    }
    if (k == "TextEditor") {
        double w = p.width.value_or(100);
        CGSize s = textSize({TextRun{n.getText ? n.getText() : "", {}, {}}}, b.style, std::max(0.0, w - 10));
        return {w, p.height.value_or(s.height + 16)};
    }
    if (k == "Toggle") {
        CGSize s = textSize({TextRun{n.textProp("title").value_or(""), {}, {}}}, b.style, std::nullopt);
        return {p.width.value_or(s.width + kStackSpacing + kToggleWidth), std::max(kToggleHeight, s.height)};
    }
    if (k == "Stepper") {
        CGSize s = b.children.empty() ? CGSize{} : measure(b.children[0], {std::nullopt, std::nullopt});
        return {p.width.value_or(s.width + kStackSpacing + kStepperWidth),
                std::max(kStepperHeight, s.height)};
    }
    if (k == "Picker") {
        std::string value = n.getText ? n.getText() : "";
        CGSize v = textSize({TextRun{value, {}, {}}}, b.style, std::nullopt);
        if (b.inList) {
            CGSize t = textSize({TextRun{n.textProp("title").value_or(""), {}, {}}}, b.style, std::nullopt);
            return {p.width.value_or(t.width + kStackSpacing + v.width + 16), std::max(v.height, t.height)};
        }
        return {v.width + 18, v.height};
    }
    if (k == "EmptyView") return {0, 0};
    // ZStack, a lone Group, a button, a composite view: the children laid over one another.
    double w = 0, h = 0;
    for (const LayoutBox& c : b.children) {
        CGSize s = measure(c, p);
        w = std::max(w, s.width);
        h = std::max(h, s.height);
    }
    return {w, h};
}

double alignOffset(const std::string& alignment, double room, bool horizontal) {
    if (alignment == (horizontal ? "leading" : "top")) return 0;
    if (alignment == (horizontal ? "trailing" : "bottom")) return room;
    return room / 2;
}

void Layouter::place(LayoutBox& b, CGPoint origin, Proposal p) const {
    CGSize size = measure(b, p);
    b.frame = CGRect(origin.x, origin.y, size.width, size.height);
    if (const Modifier* m = b.modifierRecord()) {
        LayoutBox& child = b.children[0];
        Proposal inner = p;
        CGPoint at = origin;
        if (b.role == "padding") {
            EdgeInsets in = paddingOf(*m);
            inner = {shrink(p.width, in.leading + in.trailing), shrink(p.height, in.top + in.bottom)};
            at = {origin.x + in.leading, origin.y + in.top};
        } else if (b.role == "frame") {
            auto w = m->number("width"), h = m->number("height");
            inner = {w ? w : clampProposal(p.width, m->number("minWidth"), m->number("maxWidth")),
                     h ? h : clampProposal(p.height, m->number("minHeight"), m->number("maxHeight"))};
            CGSize cs = measure(child, inner);
            std::string align = m->text("alignment").value_or("center");
            at = {origin.x + alignOffset(align, size.width - cs.width, true),
                  origin.y + alignOffset(align, size.height - cs.height, false)};
        }
        place(child, at, inner);
        // What a modifier carries is offered the size of what it modifies and centred on it.
        CGRect f = child.frame;
        if (b.role == "background" || b.role == "overlay" || b.role == "clipShape") {
            Proposal cp{f.width(), f.height()};
            for (LayoutBox& c : b.content) {
                CGSize cs = measure(c, cp);
                place(c, {f.midX() - cs.width / 2, f.midY() - cs.height / 2}, cp);
            }
        }
        return;
    }
    const std::string& k = b.role;
    if (k == "VStack" || k == "HStack" || k == "Section") {
        char axis = k == "HStack" ? 'h' : 'v';
        auto sizes = stackSizes(b, p, axis);
        std::string align = b.node->textProp("alignment").value_or("center");
        double pos = axis == 'h' ? origin.x : origin.y;
        for (std::size_t i = 0; i < b.children.size(); ++i) {
            double room = across(size, axis) - across(sizes[i].size, axis);
            CGPoint at = axis == 'h' ? CGPoint{pos, origin.y + alignOffset(align, room, false)}
                                     : CGPoint{origin.x + alignOffset(align, room, true), pos};
            // Placed with the proposal it was measured with, a child keeps the size it chose.
            place(b.children[i], at, sizes[i].proposal);
            pos += along(sizes[i].size, axis) + spacingAfter(b, i);
        }
        return;
    }
    if (k == "ScrollView") {
        if (b.children.empty()) return;
        char axis = b.node->textProp("axis") == "horizontal" ? 'h' : 'v';
        Proposal cp = make(axis, std::nullopt, across(p, axis));
        CGSize content = measure(b.children[0], cp);
        b.contentSize = content;
        double maxOffset = std::max(0.0, along(content, axis) - along(size, axis));
        double offset = std::clamp(axis == 'h' ? b.contentOffset.x : b.contentOffset.y, 0.0, maxOffset);
        b.contentOffset = axis == 'h' ? CGPoint{offset, 0} : CGPoint{0, offset};
        double room = across(size, axis) - across(content, axis);
        CGPoint at = axis == 'h' ? CGPoint{origin.x - offset, origin.y + std::max(0.0, room / 2)}
                                 : CGPoint{origin.x + std::max(0.0, room / 2), origin.y - offset};
        place(b.children[0], at, cp);
        return;
    }
    if (k == "List" || k == "Form") {
        double maxOffset = std::max(0.0, listRows(b, size.width, {}) - size.height);
        b.contentOffset.y = std::clamp(b.contentOffset.y, 0.0, maxOffset);
        CGPoint base{origin.x, origin.y - b.contentOffset.y};
        double h = listRows(b, size.width, [&](LayoutBox& row, CGPoint at, Proposal rp) {
            place(row, {base.x + at.x, base.y + at.y}, rp);
        });
        for (LayoutBox& c : b.children)
            if (c.isView("Section")) c.frame.origin = {base.x + c.frame.minX(), base.y + c.frame.minY()};
        b.contentSize = {size.width, h};
        return;
    }
    if (k == "TextEditor") {
        // An editor scrolls its text when it is longer than the editor is high.
        CGSize s = textSize({TextRun{b.node->getText ? b.node->getText() : "", {}, {}}}, b.style,
                            std::max(0.0, size.width - 10));
        b.contentSize = {size.width, s.height + 16};
        b.contentOffset = {
            0, std::clamp(b.contentOffset.y, 0.0, std::max(0.0, b.contentSize.height - size.height))};
        return;
    }
    if (k == "Stepper" && !b.children.empty()) {
        CGSize ls = measure(b.children[0], {std::nullopt, std::nullopt});
        place(b.children[0], {origin.x, origin.y + (size.height - ls.height) / 2},
              {std::nullopt, std::nullopt});
        return;
    }
    std::string align = b.node->textProp("alignment").value_or("center");
    for (LayoutBox& c : b.children) {
        CGSize cs = measure(c, p);
        place(c,
              {origin.x + alignOffset(align, size.width - cs.width, true),
               origin.y + alignOffset(align, size.height - cs.height, false)},
              p);
    }
}

// ---- hit testing

struct Affine {
    // x' = a*x + tx, y' = d*y + ty: scales about a point and translations only.
    double a = 1, d = 1, tx = 0, ty = 0;
    CGPoint invert(CGPoint q) const { return {(q.x - tx) / a, (q.y - ty) / d}; }
};

bool contains(const CGRect& r, CGPoint q) {
    return q.x >= r.minX() && q.x < r.maxX() && q.y >= r.minY() && q.y < r.maxY();
}

std::optional<double> scaleOf(const LayoutBox& b) {
    if (b.role != "scaleEffect" || !b.modifierRecord()) return std::nullopt;
    return b.modifierRecord()->number("x");
}

// Whether what the box itself draws covers the point (in the box's own coordinates).
bool drawsAt(const LayoutBox& b, CGPoint q) {
    if (b.modifier >= 0) return false;
    const Node& n = *b.node;
    if (!contains(b.frame, q)) return false;
    if (isShape(n)) {
        // Shapes are given their rectangle in their own coordinates.
        q = {q.x - b.frame.minX(), q.y - b.frame.minY()};
        CGRect r(0, 0, b.frame.width(), b.frame.height());
        if (const Modifier* in = n.modifier("inset")) {
            double amount = in->number("amount").value_or(0);
            r = CGRect(r.minX() + amount, r.minY() + amount, r.width() - 2 * amount, r.height() - 2 * amount);
        }
        Path path = n.shapePath(r);
        if (const Modifier* s = n.modifier("stroke"); s && !n.modifier("fill")) {
            // Only the outline is drawn: the inside lets touches through.
            double w = s->number("lineWidth").value_or(1) / 2 + 2;
            CGRect inner(r.minX() + w, r.minY() + w, r.width() - 2 * w, r.height() - 2 * w);
            return !contains(inner, q);
        }
        return path.contains(q);
    }
    if (b.role == "Color") {
        const Arg* a = n.prop("color");
        const Color* col = a ? std::get_if<Color>(a) : nullptr;
        return !col || col->a > 0;
    }
    return b.role == "Text" || b.role == "Image" || b.role == "LinearGradient" || b.role == "TextField" ||
           b.role == "TextEditor" || b.role == "Toggle" || b.role == "Stepper" || b.role == "Picker" ||
           b.role == "Representable" || b.role == "List" || b.role == "Form" || bool(n.drawContent);
}

struct HitSearch {
    CGPoint point;
    // The boxes from the root to the one being looked at.
    std::vector<const LayoutBox*> chain;
    const LayoutBox* leaf = nullptr;
    std::vector<const LayoutBox*> leafChain;

    bool visit(const LayoutBox& b, Affine t) {
        CGPoint q = t.invert(point);
        if (b.role == "opacity" && b.modifierRecord()->number("value").value_or(1) <= 0) return false;
        if (b.role == "allowsHitTesting" && b.modifierRecord()->text("enabled") == "false") return false;
        // Clipping and scroll views keep touches to their own frame.
        if ((b.role == "clipShape" || b.role == "cornerRadius" || b.isView("ScrollView") ||
             b.isView("List") || b.isView("Form")) &&
            !contains(b.frame, q))
            return false;
        if (auto s = scaleOf(b)) {
            double cx = b.frame.midX(), cy = b.frame.midY();
            // The point in this box's coordinates = inverse of scaling about the centre.
            Affine inner = t;
            inner.a = t.a * *s;
            inner.d = t.d * *s;
            inner.tx = t.a * cx * (1 - *s) + t.tx;
            inner.ty = t.d * cy * (1 - *s) + t.ty;
            t = inner;
        }
        if (b.role == "offset" && b.modifierRecord()) {
            t.tx += t.a * b.modifierRecord()->number("x").value_or(0);
            t.ty += t.d * b.modifierRecord()->number("y").value_or(0);
        }
        chain.push_back(&b);
        // Front to back: what is drawn last is tried first.
        for (auto it = b.content.rbegin(); b.role == "overlay" && it != b.content.rend(); ++it)
            if (visit(*it, t)) return true;
        for (auto it = b.children.rbegin(); it != b.children.rend(); ++it)
            if (visit(*it, t)) return true;
        if (drawsAt(b, t.invert(point)) ||
            (b.role == "Button" && inListRow() && contains(b.frame, t.invert(point)))) {
            leaf = &b;
            leafChain = chain;
            return true;
        }
        for (auto it = b.content.rbegin(); b.role == "background" && it != b.content.rend(); ++it)
            if (visit(*it, t)) return true;
        chain.pop_back();
        return false;
    }

    // A button that is a list's row takes touches on the whole row, its blank parts included.
    bool inListRow() const {
        return std::any_of(chain.begin(), chain.end(),
                           [](const LayoutBox* b) { return b->isView("List") || b->isView("Form"); });
    }
};

std::optional<LayoutHit::Target> targetOf(const LayoutBox& b, CGPoint q) {
    const Node& n = *b.node;
    if (b.role == "onTapGesture" && b.modifierRecord()->action) return LayoutHit::Target::tapGesture;
    if (b.modifier >= 0) return std::nullopt;
    // A player's own control plays and pauses it, as a button would.
    if ((b.role == "Button" || n.drawContent) && n.action) return LayoutHit::Target::button;
    if ((b.role == "TextField" || b.role == "TextEditor") && n.setText) return LayoutHit::Target::textField;
    if (b.role == "Toggle" && n.setOn) return LayoutHit::Target::toggle;
    if (b.role == "Picker" && n.select) return LayoutHit::Target::picker;
    if (b.role == "Stepper" && n.increment) {
        double minus = b.frame.maxX() - kStepperWidth;
        if (q.x < minus) return std::nullopt;
        return q.x < minus + kStepperWidth / 2 ? LayoutHit::Target::stepperDecrement
                                               : LayoutHit::Target::stepperIncrement;
    }
    return std::nullopt;
}

void forEachBox(const LayoutBox& b, const std::function<void(const LayoutBox&)>& visit) {
    visit(b);
    if (b.role == "background")
        for (const LayoutBox& c : b.content)
            forEachBox(c, visit);
    for (const LayoutBox& c : b.children)
        forEachBox(c, visit);
    if (b.role != "background")
        for (const LayoutBox& c : b.content)
            forEachBox(c, visit);
}

} // namespace

CGSize textFieldInset(const Node& field) {
    return field.modifier("textFieldStyle") ? CGSize{7, 7} : CGSize{5, 3};
}

ViewLayout::ViewLayout(const Node& root, CGSize size, const TextMeasurer& text, ColorScheme scheme,
                       const ScrollOffsets* offsets)
    : size_(size) {
    Env env;
    env.scheme = scheme;
    const Proposal p{size.width, size.height};
    const auto layOut = [&](std::map<std::string, double> rowScales) {
        root_ = buildNode(root, env, offsets);
        Layouter layouter(text, std::move(rowScales));
        CGSize s = layouter.measure(root_, p);
        // The hosting view centres its root view, as the platform does.
        layouter.place(root_, {(size.width - s.width) / 2, (size.height - s.height) / 2}, p);
    };
    layOut({});
    // Rows of the same options look alike: where one of them had to set its labels smaller (a
    // narrower stack around it), the others are laid out again at its size.
    std::map<std::string, double> rowScales;
    bool differ = false;
    forEachBox(root_, [&](const LayoutBox& b) {
        if (b.modifier >= 0 || b.textScale <= 0 || !b.node->modifier("minimumScaleFactor")) return;
        auto [alike, first] = rowScales.try_emplace(rowTexts(*b.node), b.textScale);
        if (!first && alike->second != b.textScale) {
            differ = true;
            alike->second = std::min(alike->second, b.textScale);
        }
    });
    if (differ) layOut(std::move(rowScales));
}

const LayoutBox* ViewLayout::viewBox(std::string_view path) const {
    const LayoutBox* found = nullptr;
    forEach([&](const LayoutBox& b) {
        if (!found && b.modifier < 0 && b.node->path == path) found = &b;
    });
    return found;
}

const LayoutBox* ViewLayout::outerBox(std::string_view path) const {
    const LayoutBox* found = nullptr;
    forEach([&](const LayoutBox& b) {
        if (!found && b.node->path == path) found = &b;
    });
    return found;
}

const LayoutBox* ViewLayout::controlBox(std::string_view label) const {
    const LayoutBox* found = nullptr;
    forEach([&](const LayoutBox& b) {
        if (!found && b.modifier < 0 && b.node->isControl() && b.node->label() == label) found = &b;
    });
    return found;
}

std::optional<LayoutHit> ViewLayout::hitTest(CGPoint point) const {
    if (!contains(CGRect(0, 0, size_.width, size_.height), point)) return std::nullopt;
    HitSearch search{point, {}, nullptr, {}};
    search.visit(root_, Affine{});
    if (!search.leaf) return std::nullopt;
    // The nearest control around the view that was hit takes the touch.
    for (auto it = search.leafChain.rbegin(); it != search.leafChain.rend(); ++it) {
        const LayoutBox& b = **it;
        if (auto target = targetOf(b, point)) {
            if (!b.node->enabled) return std::nullopt;
            return LayoutHit{*target, &b, b.node};
        }
    }
    return std::nullopt;
}

const LayoutBox* ViewLayout::scrollViewAt(CGPoint point, char axis) const {
    const LayoutBox* found = nullptr;
    forEach([&](const LayoutBox& b) {
        bool scrolls =
            (b.isView("ScrollView") && (b.node->textProp("axis") == "horizontal" ? 'h' : 'v') == axis) ||
            ((b.isView("List") || b.isView("Form") || b.isView("TextEditor")) && axis == 'v');
        if (scrolls && contains(b.frame, point)) found = &b; // depth first: the innermost is last
    });
    return found;
}

void ViewLayout::forEach(const std::function<void(const LayoutBox&)>& visit) const {
    forEachBox(root_, visit);
}

} // namespace platform::swiftui
