#include "platform/swiftui/HostingView.h"

#include <algorithm>
#include <cmath>

#include <cairo.h>

#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/TextLayoutLines.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UIScreen.h"

namespace platform::swiftui {

namespace {
// How far a finger may travel before a touch becomes a drag.
constexpr double kDragSlop = 10;

bool inRect(const CGRect& r, CGPoint p) {
    return p.x >= r.minX() && p.x < r.maxX() && p.y >= r.minY() && p.y < r.maxY();
}

} // namespace

HostingView::HostingView(std::shared_ptr<ViewHost> host)
    : UIView(UIScreen::mainScreen().bounds()), host_(std::move(host)) {}

const ViewLayout& HostingView::layout() const {
    const Node& tree = host_->tree();
    CGSize size = bounds().size;
    if (!layout_ || layoutGeneration_ != host_->generation() || layoutSize_ != size ||
        layoutOffsets_ != offsets_) {
        layout_ = std::make_unique<ViewLayout>(tree, size, text_, host_->colorScheme(), &offsets_);
        layoutGeneration_ = host_->generation();
        layoutSize_ = size;
        layoutOffsets_ = offsets_;
    }
    return *layout_;
}

void HostingView::draw(cairo_t* cr) const {
    const ViewLayout& l = layout();
    // A hosting view stands on the background colour of its scheme.
    Color background = ViewRenderer::resolve(Color::systemBackground(), host_->colorScheme());
    cairo_set_source_rgba(cr, background.r, background.g, background.b, background.a);
    cairo_rectangle(cr, 0, 0, bounds().width(), bounds().height());
    cairo_fill(cr);
    DrawState state;
    auto host = host_;
    state.isPressed = [host](const std::string& path) { return host->isPressed(path); };
    state.focusedPath = focused_;
    takeUpText();
    state.selection = editing_.selectedRange();
    state.openPickerPath = openPicker_;
    renderer_.draw(cr, l, state);
}

std::shared_ptr<UIView> HostingView::hitTest(CGPoint point) {
    if (isHidden() || alpha() < 0.01 || !isUserInteractionEnabled() || !pointInside(point)) return nullptr;
    // The declarative controls are not views: the hosting view takes the touch and finds the
    // control itself.
    return UIView::hitTest(point) ? std::static_pointer_cast<UIView>(shared_from_this()) : nullptr;
}

const Node* HostingView::current(const std::string& path) const {
    return host_->tree().findPath(path);
}

bool HostingView::insideControl(const std::string& path, CGPoint point) const {
    const LayoutBox* box = layout().viewBox(path);
    return box && inRect(box->frame, point);
}

void HostingView::touchesBegan(const UITouch& touch) {
    CGPoint p = touch.locationInView(this);
    Touch t;
    t.start = t.last = p;
    if (!openPicker_.empty()) {
        // An open picker's options take the touch; anywhere else closes them.
        if (const LayoutBox* picker = layout().viewBox(openPicker_)) {
            auto rects = ViewRenderer::pickerOptionRects(*picker, bounds().size);
            for (std::size_t i = 0; i < rects.size(); ++i)
                if (inRect(rects[i], p)) t.pickerOption = i;
        }
        t.path = openPicker_;
        touch_ = t;
        return;
    }
    if (auto hit = layout().hitTest(p)) {
        t.target = hit->target;
        t.path = hit->node->path;
        if (hit->target == LayoutHit::Target::tapGesture) t.path = hit->box->node->path;
        if (hit->target == LayoutHit::Target::button) host_->pressDown(*hit->node);
        if (hit->target == LayoutHit::Target::textField && t.path == focused_ && isFirstResponder()) {
            // On the field being typed into a press places the caret, a second quick one selects
            // the word there, and a drag from it selects.
            t.selecting = true;
            const std::size_t offset = offsetAt(p);
            pressText(offset, touch.locationInWindow, touch.timestamp);
        }
    }
    touch_ = t;
    setNeedsDisplay();
}

void HostingView::touchesMoved(const UITouch& touch) {
    if (!touch_) return;
    CGPoint p = touch.locationInView(this);
    Touch& t = *touch_;
    if (!t.scrolling && !t.pickerOption && std::hypot(p.x - t.start.x, p.y - t.start.y) > kDragSlop &&
        t.target != LayoutHit::Target::textField) {
        CGSize moved{t.start.x - p.x, t.start.y - p.y};
        char axis = std::abs(moved.width) > std::abs(moved.height) ? 'h' : 'v';
        if (layout().scrollViewAt(t.start, axis)) {
            // The drag belongs to the scroll view: a button under the finger lets go unpressed.
            t.scrolling = true;
            if (t.target == LayoutHit::Target::button && host_->isPressed(t.path))
                if (const Node* b = current(t.path)) host_->pressUp(*b, false);
            t.target.reset();
        }
    }
    if (t.selecting) {
        placeCaret(offsetAt(p), true);
    } else if (t.scrolling) {
        scrollBy(t.start, {t.last.x - p.x, t.last.y - p.y});
    } else if (t.target == LayoutHit::Target::button) {
        // Held while the finger is over the button, let go (without acting) while it is not, and
        // for good once it drags.
        bool inside = !touch.movedPastSlop && insideControl(t.path, p);
        if (inside != t.inside) {
            t.inside = inside;
            if (const Node* b = current(t.path)) {
                if (inside)
                    host_->pressDown(*b);
                else
                    host_->pressUp(*b, false);
            }
        }
    }
    t.last = p;
    setNeedsDisplay();
}

void HostingView::touchesEnded(const UITouch& touch) {
    if (!touch_) return;
    if (touch_->selecting) {
        touch_.reset();
        setNeedsDisplay();
        return;
    }
    const std::string before = focused_;
    finish(touch.locationInView(this), touch.movedPastSlop);
    // A touch that gave a field the focus puts the caret where the finger lifted.
    if (!focused_.empty() && focused_ != before) {
        countPress(touch.locationInWindow, touch.timestamp);
        placeCaret(offsetAt(touch.locationInView(this)), false);
    }
}

void HostingView::touchesCancelled(const UITouch&) {
    if (!touch_) return;
    Touch t = *touch_;
    touch_.reset();
    if (t.target == LayoutHit::Target::button && host_->isPressed(t.path))
        if (const Node* b = current(t.path)) host_->pressUp(*b, false);
    setNeedsDisplay();
}

void HostingView::finish(CGPoint p, bool dragged) {
    Touch t = *touch_;
    touch_.reset();
    setNeedsDisplay();
    if (!openPicker_.empty()) {
        std::string picker = openPicker_;
        openPicker_.clear();
        if (t.pickerOption)
            if (const Node* n = current(picker); n && *t.pickerOption < n->options.size()) {
                std::string option = n->options[*t.pickerOption];
                host_->change(*n, [option](const Node& c) { c.select(option); });
            }
        return;
    }
    if (t.scrolling) return;
    if (t.target == LayoutHit::Target::button) {
        if (!host_->isPressed(t.path)) return; // let go while outside
        if (const Node* b = current(t.path)) host_->pressUp(*b, !dragged && insideControl(t.path, p));
        return;
    }
    // A drag is no tap, whatever it ends on.
    if (dragged) return;
    // Every other control acts when the finger is lifted where it went down.
    auto again = layout().hitTest(p);
    bool same = again && again->target == t.target &&
                (again->target == LayoutHit::Target::tapGesture ? again->box->node->path
                                                                : again->node->path) == t.path;
    if (!t.target || !same) {
        if (!t.target && !focused_.empty()) resignFirstResponder();
        return;
    }
    const Node* n = current(t.path);
    if (!n) return;
    switch (*t.target) {
    case LayoutHit::Target::textField:
        focus(t.path);
        break;
    case LayoutHit::Target::toggle:
        host_->change(*n, [](const Node& c) { c.setOn(!c.isOn()); });
        break;
    case LayoutHit::Target::stepperIncrement:
        host_->change(*n, [](const Node& c) { c.increment(); });
        break;
    case LayoutHit::Target::stepperDecrement:
        host_->change(*n, [](const Node& c) { c.decrement(); });
        break;
    case LayoutHit::Target::picker:
        openPicker_ = t.path;
        break;
    case LayoutHit::Target::tapGesture:
        host_->tap(*n);
        break;
    case LayoutHit::Target::button:
        break;
    }
}

void HostingView::focus(const std::string& path) {
    focused_ = path;
    if (!isFirstResponder() && !becomeFirstResponder()) focused_.clear();
    const Node* field = focusedField();
    editing_.setText(field && field->getText ? field->getText() : "");
    setNeedsDisplay();
}

bool HostingView::focusField(const std::string& path) {
    const Node* field = current(path);
    if (!field || !field->setText || !field->enabled || field->kind == "Picker") return false;
    if (focused_ != path) focus(path);
    return focused_ == path;
}

void HostingView::didBecomeFirstResponder() {
    postKeyboardNotifications(true);
}

void HostingView::didResignFirstResponder() {
    auto keep = self<HostingView>();
    focused_.clear();
    setNeedsDisplay();
    if (!isFocusMoving()) postKeyboardNotifications(false);
}

void HostingView::focusLeftForNobody() {
    postKeyboardNotifications(false);
}

const Node* HostingView::focusedField() const {
    const Node* field = focused_.empty() ? nullptr : current(focused_);
    return field && field->setText ? field : nullptr;
}

TextEditingModel& HostingView::textModel() {
    takeUpText();
    return editing_;
}

void HostingView::takeUpText() const {
    if (const Node* field = focusedField(); field && field->getText) {
        std::string value = field->getText();
        if (value != editing_.text()) editing_.setText(std::move(value));
    }
}

bool HostingView::isMultiline() const {
    const Node* field = focusedField();
    return field && field->kind == "TextEditor";
}

bool HostingView::isTextEditable() const {
    const Node* field = focusedField();
    return field && field->enabled;
}

bool HostingView::submit() {
    if (!focusedField()) return false;
    resignFirstResponder();
    return true;
}

bool HostingView::replaceText(NSRange range, const std::string& text, TextEditKind kind) {
    const Node* field = focusedField();
    if (!field || !field->enabled) return false;
    textModel().replace(range, text, kind);
    // The model keeps its caret and history while the binding holds what it wrote.
    if (!host_->edit(*field, editing_.text())) return false;
    revealCaret();
    setNeedsDisplay();
    return true;
}

void HostingView::selectionDidChange() {
    revealCaret();
    setNeedsDisplay();
}

std::unique_ptr<TextLines> HostingView::textLines() const {
    const LayoutBox* box = focused_.empty() ? nullptr : layout().viewBox(focused_);
    if (!box) return nullptr;
    struct Owned : TextLayoutLines {
        Owned(ViewRenderer::FieldText at, std::string text)
            : TextLayoutLines(at.layout.get(), kept), kept(std::move(text)), field(std::move(at)) {}
        std::string kept;
        ViewRenderer::FieldText field;
    };
    return std::make_unique<Owned>(renderer_.fieldText(*box, editing_.text(), editing_.caret()),
                                   editing_.text());
}

std::size_t HostingView::offsetAt(CGPoint point) const {
    const LayoutBox* box = focused_.empty() ? nullptr : layout().viewBox(focused_);
    if (!box) return editing_.caret();
    const ViewRenderer::FieldText at = renderer_.fieldText(*box, editing_.text(), editing_.caret());
    return TextLayoutLines(at.layout.get(), editing_.text())
        .offsetAt({point.x - at.origin.x, point.y - at.origin.y});
}

void HostingView::revealCaret() {
    const LayoutBox* box = focused_.empty() ? nullptr : layout().viewBox(focused_);
    if (!box || box->node->kind != "TextEditor") return;
    const ViewRenderer::FieldText at = renderer_.fieldText(*box, editing_.text(), editing_.caret());
    const CGRect caret = TextLayoutLines(at.layout.get(), editing_.text()).caretRect(editing_.caret());
    // The caret's line with the editor's margin (8 points) above and below it.
    const double top = at.origin.y + caret.minY() - 8, bottom = at.origin.y + caret.maxY() + 8;
    CGPoint offset = box->contentOffset;
    if (bottom > box->frame.maxY()) offset.y += bottom - box->frame.maxY();
    if (top < box->frame.minY()) offset.y -= box->frame.minY() - top;
    if (offset.y != box->contentOffset.y) offsets_[focused_] = {0, std::max(0.0, offset.y)};
}

bool HostingView::scrollBy(CGPoint point, CGSize delta) {
    char axis = std::abs(delta.width) > std::abs(delta.height) ? 'h' : 'v';
    const LayoutBox* box = layout().scrollViewAt(point, axis);
    if (!box) return false;
    std::string path = box->node->path;
    double contentLength = axis == 'h' ? box->contentSize.width : box->contentSize.height;
    double visible = axis == 'h' ? box->frame.width() : box->frame.height();
    CGPoint offset = box->contentOffset;
    double& along = axis == 'h' ? offset.x : offset.y;
    along = std::clamp(along + (axis == 'h' ? delta.width : delta.height), 0.0,
                       std::max(0.0, contentLength - visible));
    offsets_[path] = offset;
    setNeedsDisplay();
    return true;
}

namespace {
// The boxes from the root down to the view box of the node at `path`.
bool chainTo(const LayoutBox& box, const std::string& path, std::vector<const LayoutBox*>& chain) {
    chain.push_back(&box);
    if (box.modifier < 0 && box.node && box.node->path == path) return true;
    for (const auto& child : box.children)
        if (chainTo(child, path, chain)) return true;
    for (const auto& child : box.content)
        if (chainTo(child, path, chain)) return true;
    chain.pop_back();
    return false;
}

bool scrollsContent(const LayoutBox& b) {
    return b.isView("ScrollView") || b.isView("List") || b.isView("Form") || b.isView("TextEditor");
}

bool clipsContent(const LayoutBox& b) {
    return scrollsContent(b) || b.role == "clipShape" || b.role == "cornerRadius";
}

} // namespace

bool HostingView::dragIntoView(const std::string& scrollPath, const std::string& path) {
    for (int attempt = 0; attempt < 40; ++attempt) {
        std::vector<const LayoutBox*> chain;
        if (!chainTo(layout().root(), path, chain)) return false;
        const LayoutBox* scroll = nullptr;
        for (const LayoutBox* b : chain)
            if (scrollsContent(*b) && b->node->path == scrollPath) scroll = b;
        if (!scroll) return false;
        const CGRect r = chain.back()->frame, frame = scroll->frame;
        const bool horizontal =
            scroll->isView("ScrollView") && scroll->node->textProp("axis") == "horizontal";
        auto along = [](double lo, double hi, double vlo, double vhi) -> double {
            if (lo < vlo) return lo - vlo;
            if (hi > vhi) return std::min(hi - vhi, lo - vlo);
            return 0;
        };
        double delta = horizontal ? along(r.minX(), r.maxX(), frame.minX(), frame.maxX())
                                  : along(r.minY(), r.maxY(), frame.minY(), frame.maxY());
        if (std::abs(delta) < 0.5) return true;
        // The finger goes down in the scroll view, on the screen, where no field or picker would
        // take the touch, and pushes the content the other way, half the visible part at a time.
        const CGRect seen = intersection(frame, bounds());
        if (seen.width() <= 0 || seen.height() <= 0) return false;
        const double half = (horizontal ? seen.width() : seen.height()) / 2;
        delta = std::clamp(delta, -half, half);
        std::optional<CGPoint> start;
        for (CGPoint p : Actionability::samplePoints(seen)) {
            const CGPoint onScreen = convertPoint_toView(p, nullptr);
            if (ScreenRenderer::hitTest(onScreen).get() != this) continue;
            auto hit = layout().hitTest(p);
            if (hit &&
                (hit->target == LayoutHit::Target::textField || hit->target == LayoutHit::Target::picker))
                continue;
            if (layout().scrollViewAt(p, horizontal ? 'h' : 'v') != scroll) continue;
            start = onScreen;
            break;
        }
        if (!start) return false;
        const CGPoint before = scroll->contentOffset;
        const CGPoint end =
            horizontal ? CGPoint{start->x - delta, start->y} : CGPoint{start->x, start->y - delta};
        Actionability::drag(*start, end);
        std::vector<const LayoutBox*> again;
        if (!chainTo(layout().root(), path, again)) return false;
        bool moved = false;
        for (const LayoutBox* b : again)
            if (b->node->path == scrollPath && scrollsContent(*b)) moved = b->contentOffset != before;
        if (!moved) return false;
    }
    return false;
}

Actionability::Reach HostingView::reachControl(std::string path, const std::string& name,
                                               std::optional<LayoutHit::Target> target) {
    using Reach = Actionability::Reach;
    ScreenRenderer::layout();
    std::vector<const LayoutBox*> chain;
    if (!chainTo(layout().root(), path, chain)) return Reach::failed("'" + name + "' is not shown");
    // The scroll views around it, innermost first, each dragged until it shows the control.
    std::vector<std::string> scrolls;
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it)
        if (scrollsContent(**it)) scrolls.push_back((*it)->node->path);
    // A scroll view inside another may be out of sight until the outer one has moved: twice round.
    for (int round = 0; round < 2; ++round)
        for (const auto& scrollPath : scrolls)
            dragIntoView(scrollPath, path);
    ScreenRenderer::layout();
    chain.clear();
    if (!chainTo(layout().root(), path, chain)) return Reach::failed("'" + name + "' is not shown");
    const LayoutBox& box = *chain.back();
    // What of it the scroll views and clips around it let show.
    CGRect visible = box.frame;
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
        if (!clipsContent(**it)) continue;
        const CGRect shown = intersection(visible, (*it)->frame);
        if (shown.width() <= 0 || shown.height() <= 0) {
            const CGRect f = (*it)->frame;
            const std::string where = box.frame.minY() >= f.maxY()   ? "below its scroll view's bottom edge"
                                      : box.frame.maxY() <= f.minY() ? "above its scroll view's top edge"
                                                                     : "beside its scroll view";
            return Reach::failed("'" + name + "' is off screen (" + where + ")");
        }
        visible = shown;
    }
    const bool enabled = box.node->enabled && box.enabled;
    auto accepts = [this, path, target, enabled](const std::shared_ptr<UIView>& hit, CGPoint screenPoint) {
        if (hit.get() != this) return false;
        if (!enabled) return true; // reached; it only takes no touch
        auto at = layout().hitTest(convertPoint_fromView(screenPoint, nullptr));
        if (!at) return false;
        const std::string& reached =
            at->target == LayoutHit::Target::tapGesture ? at->box->node->path : at->node->path;
        return reached == path && (!target || at->target == *target);
    };
    Reach reach = Actionability::pointIn(*this, name, visible, accepts);
    if (reach && !enabled) return Reach::failed("'" + name + "' is disabled");
    if (!reach && reach.reason.ends_with(" does not take touches there")) {
        // Covered inside the declarative screen: name what lies over it when it is a control.
        if (auto over = layout().hitTest({visible.midX(), visible.midY()});
            over && over->node->path != path && !over->node->label().empty())
            return Reach::failed("'" + name + "' is covered by '" + over->node->label() + "'");
    }
    return reach;
}

bool HostingView::focusNextField(bool backward) {
    if (focused_.empty()) return false;
    // The fields a person can type into, in the order the form shows them.
    std::vector<std::string> fields;
    layout().forEach([&](const LayoutBox& box) {
        const Node* node = box.node;
        if (box.modifier >= 0 || !node || !node->setText || !node->enabled || !box.enabled ||
            node->kind == "Picker")
            return;
        if (std::find(fields.begin(), fields.end(), node->path) == fields.end()) fields.push_back(node->path);
    });
    const auto at = std::find(fields.begin(), fields.end(), focused_);
    if (at == fields.end() || fields.size() < 2) return false;
    const std::size_t here = static_cast<std::size_t>(at - fields.begin());
    // Past the last field comes the first again, as in a desktop form.
    const std::size_t next =
        backward ? (here + fields.size() - 1) % fields.size() : (here + 1) % fields.size();
    const std::string path = fields[next];
    if (!focusField(path)) return false;
    // The field comes into sight: the scroll views around it move as little as they must.
    for (int round = 0; round < 2; ++round) {
        std::vector<const LayoutBox*> chain;
        if (!chainTo(layout().root(), path, chain)) break;
        const CGRect r = chain.back()->frame;
        bool moved = false;
        for (auto it = chain.rbegin() + 1; it != chain.rend() && !moved; ++it) {
            const LayoutBox& scroll = **it;
            if (!scrollsContent(scroll) || scroll.isView("TextEditor")) continue;
            const CGRect f = scroll.frame;
            double delta = 0;
            if (r.minY() < f.minY())
                delta = r.minY() - f.minY();
            else if (r.maxY() > f.maxY())
                delta = std::min(r.maxY() - f.maxY(), r.minY() - f.minY());
            if (std::abs(delta) < 0.5) continue;
            CGPoint offset = scroll.contentOffset;
            offset.y =
                std::clamp(offset.y + delta, 0.0, std::max(0.0, scroll.contentSize.height - f.height()));
            offsets_[scroll.node->path] = offset;
            moved = true;
        }
        if (!moved) break;
    }
    setNeedsDisplay();
    return true;
}

} // namespace platform::swiftui
