#include "platform/swiftui/Node.h"

#include <sstream>

namespace platform::swiftui {

namespace {
const Arg* findArg(const Args& args, std::string_view key) {
    for (const auto& [k, v] : args)
        if (k == key) return &v;
    return nullptr;
}

template <class T> std::optional<T> argAs(const Args& args, std::string_view key) {
    const Arg* a = findArg(args, key);
    if (!a) return std::nullopt;
    if (const T* v = std::get_if<T>(a)) return *v;
    return std::nullopt;
}

void printArg(std::ostream& os, const Arg& a) {
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>)
                os << (v ? "true" : "false");
            else if constexpr (std::is_same_v<T, Angle>)
                os << v.degreesValue() << "deg";
            else
                os << v;
        },
        a);
}

void printArgs(std::ostream& os, const Args& args) {
    bool first = true;
    for (const auto& [k, v] : args) {
        if (!first) os << ", ";
        first = false;
        if (!k.empty()) os << k << ": ";
        printArg(os, v);
    }
}

void describeInto(std::ostream& os, const Node& n, int depth) {
    std::string indent(depth * 2, ' ');
    os << indent << n.kind;
    if (!n.props.empty()) {
        os << "(";
        printArgs(os, n.props);
        os << ")";
    }
    if (n.kind == "Text") {
        os << " \"" << n.text() << "\"";
        if (n.runs.size() > 1 || (n.runs.size() == 1 && (n.runs[0].color || n.runs[0].font))) {
            os << " runs[";
            for (std::size_t i = 0; i < n.runs.size(); ++i) {
                const TextRun& r = n.runs[i];
                os << (i ? " | " : "") << "\"" << r.text << "\"";
                if (r.color) os << " " << *r.color;
                if (r.font) os << " " << *r.font;
            }
            os << "]";
        }
    }
    if (n.getText) os << " text=\"" << n.getText() << "\"";
    if (n.isOn) os << " isOn=" << (n.isOn() ? "true" : "false");
    if (!n.enabled) os << " disabled";
    for (const Modifier& m : n.modifiers) {
        os << " ." << m.name << "(";
        printArgs(os, m.args);
        os << ")";
    }
    os << "\n";
    for (const Modifier& m : n.modifiers)
        for (const NodePtr& c : m.content) {
            os << indent << "  ." << m.name << ":\n";
            describeInto(os, *c, depth + 2);
        }
    for (const NodePtr& c : n.children)
        describeInto(os, *c, depth + 1);
}
} // namespace

const Arg* Modifier::arg(std::string_view key) const {
    return findArg(args, key);
}
std::optional<double> Modifier::number(std::string_view key) const {
    return argAs<double>(args, key);
}
std::optional<std::string> Modifier::text(std::string_view key) const {
    return argAs<std::string>(args, key);
}
std::optional<Color> Modifier::color(std::string_view key) const {
    return argAs<Color>(args, key);
}
std::optional<Font> Modifier::font(std::string_view key) const {
    return argAs<Font>(args, key);
}

const Arg* Node::prop(std::string_view key) const {
    return findArg(props, key);
}
std::optional<double> Node::number(std::string_view key) const {
    return argAs<double>(props, key);
}
std::optional<std::string> Node::textProp(std::string_view key) const {
    return argAs<std::string>(props, key);
}

std::string Node::text() const {
    std::string out;
    if (kind == "Text") {
        for (const TextRun& r : runs)
            out += r.text;
        return out;
    }
    for (const NodePtr& c : children)
        out += c->text();
    return out;
}

bool Node::isControl() const {
    return action || setText || setOn || increment || select;
}

std::string Node::label() const {
    if (kind == "Button") return text();
    for (const char* key : {"placeholder", "title"})
        if (auto t = textProp(key); t && !t->empty()) return *t;
    return {};
}

const Modifier* Node::modifier(std::string_view name) const {
    for (const Modifier& m : modifiers)
        if (m.name == name) return &m;
    return nullptr;
}

std::vector<const Modifier*> Node::modifiersNamed(std::string_view name) const {
    std::vector<const Modifier*> out;
    for (const Modifier& m : modifiers)
        if (m.name == name) out.push_back(&m);
    return out;
}

std::optional<Color> Node::foregroundColor() const {
    auto all = modifiersNamed("foregroundColor");
    if (!all.empty()) return all.back()->color("color");
    if (runs.size() == 1) return runs[0].color;
    return std::nullopt;
}

const Node* Node::find(const std::function<bool(const Node&)>& pred) const {
    if (pred(*this)) return this;
    for (const Modifier& m : modifiers)
        for (const NodePtr& c : m.content)
            if (const Node* hit = c->find(pred)) return hit;
    for (const NodePtr& c : children)
        if (const Node* hit = c->find(pred)) return hit;
    return nullptr;
}

std::vector<const Node*> Node::findAll(const std::function<bool(const Node&)>& pred) const {
    std::vector<const Node*> out;
    find([&](const Node& n) {
        if (pred(n)) out.push_back(&n);
        return false;
    });
    return out;
}

const Node* Node::findKind(std::string_view k) const {
    return find([&](const Node& n) { return n.kind == k; });
}

std::vector<const Node*> Node::findAllKind(std::string_view k) const {
    return findAll([&](const Node& n) { return n.kind == k; });
}

const Node* Node::findText(std::string_view fragment) const {
    return find(
        [&](const Node& n) { return n.kind == "Text" && n.text().find(fragment) != std::string::npos; });
}

const Node* Node::findControl(std::string_view l) const {
    return find([&](const Node& n) { return n.isControl() && n.label() == l; });
}

const Node* Node::findPath(std::string_view p) const {
    return find([&](const Node& n) { return n.path == p; });
}

std::string Node::describe() const {
    std::ostringstream os;
    describeInto(os, *this, 0);
    return os.str();
}

} // namespace platform::swiftui
