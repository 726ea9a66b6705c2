#include "platform/uikit/ScrollInput.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextView.h"

namespace platform {

namespace {

// The finger now on the screen, while it pans or may still start to.
struct Pan {
    CGPoint start;
    CGPoint last;
    std::weak_ptr<UIView> target;
    std::optional<NSIndexPath> row;
    bool panning = false;
    bool horizontal = false;
    // Picker wheels turn a row per row height of travel; what is left over waits for more.
    double carried = 0;
};

struct State {
    std::optional<Pan> pan;
    double wheelCarry = 0;
};

State& state() {
    static State s;
    static const bool registered = [] {
        registerSharedInstanceReset([] { state() = State(); });
        return true;
    }();
    (void)registered;
    return s;
}

bool scrolls(const UIView& view) {
    if (view.scrollsOwnContent()) return true;
    if (auto text = dynamic_cast<const UITextView*>(&view)) return text->isScrollEnabled();
    return dynamic_cast<const UITableView*>(&view) || dynamic_cast<const UIPickerView*>(&view);
}

std::optional<NSIndexPath> rowAt(UITableView& table, CGPoint screenPoint) {
    const CGPoint p = table.convertPoint_fromView(screenPoint, nullptr);
    const double y = p.y + table.contentOffsetY();
    if (p.x < 0 || p.x > table.bounds().width() || y < 0) return std::nullopt;
    for (long section = 0; section < table.numberOfSections(); ++section) {
        const long rows = table.numberOfRowsInSection(section);
        for (long row = 0; row < rows; ++row) {
            const auto path = NSIndexPath::indexPathForRow_inSection(row, section);
            const double top = table.offsetOfRow(path);
            const double bottom =
                row + 1 < rows ? table.offsetOfRow(NSIndexPath::indexPathForRow_inSection(row + 1, section))
                : section + 1 < table.numberOfSections()
                    ? table.offsetOfRow(NSIndexPath::indexPathForRow_inSection(0, section + 1))
                    : table.contentHeight();
            if (y >= top && y < bottom) return path;
        }
    }
    return std::nullopt;
}

// A wheel's component under a point: the components share the width.
long componentAt(UIPickerView& picker, CGPoint screenPoint) {
    const long count = std::max(1L, picker.numberOfComponents());
    const CGPoint p = picker.convertPoint_fromView(screenPoint, nullptr);
    const double width = picker.bounds().width();
    if (width <= 0) return 0;
    return std::clamp(static_cast<long>(p.x / (width / static_cast<double>(count))), 0L, count - 1);
}

bool turn(UIPickerView& picker, long component, long rows) {
    if (rows == 0) return false;
    const long count = picker.numberOfRowsInComponent(component);
    if (count <= 0) return false;
    const long current = picker.selectedRowInComponent(component);
    const long next = std::clamp(current + rows, 0L, count - 1);
    if (next == current) return false;
    // The wheel settling on a row is the person's choice of it.
    return picker.userSelectRow(next, component);
}

double pickerRowHeight(UIPickerView& picker, long component) {
    if (auto delegate = picker.delegate())
        return delegate->pickerView_rowHeightForComponent(picker, component);
    return 32;
}

} // namespace

std::shared_ptr<UIView> ScrollInput::scrollingViewAt(CGPoint screenPoint) {
    for (auto view = ScreenRenderer::hitTest(screenPoint); view; view = view->superview())
        if (scrolls(*view)) return view;
    return nullptr;
}

bool ScrollInput::scrollBy(UIView& view, double dy) {
    if (auto scroll = dynamic_cast<UIScrollView*>(&view)) {
        const CGPoint before = scroll->contentOffset();
        return scroll->userScrollTo({before.x, before.y + dy}) && scroll->contentOffset().y != before.y;
    }
    if (auto table = dynamic_cast<UITableView*>(&view)) {
        const double before = table->contentOffsetY();
        const double most = std::max(0.0, table->contentHeight() - table->bounds().height());
        table->setContentOffsetY(std::clamp(before + dy, 0.0, most));
        table->setNeedsDisplay();
        return table->contentOffsetY() != before;
    }
    if (auto text = dynamic_cast<UITextView*>(&view)) {
        CGRect bounds = text->bounds();
        const double content = text->contentSize().height;
        // Scrolled to its end, the text's last line stands above the keyboard, not under it.
        const double most = std::max(0.0, content - text->visibleHeight());
        const double y = std::clamp(bounds.minY() + dy, 0.0, most);
        if (y == bounds.minY()) return false;
        text->setBounds({bounds.minX(), y, bounds.width(), bounds.height()});
        text->setNeedsDisplay();
        return true;
    }
    return view.scrollOwnContentBy(dy);
}

bool ScrollInput::scroll(CGPoint screenPoint, double dx, double dy, bool notches) {
    // Sideways, only a scroll view whose content is wider than it moves: the one under the pointer
    // or around it.
    if (std::abs(dx) > std::abs(dy)) {
        for (auto v = ScreenRenderer::hitTest(screenPoint); v; v = v->superview())
            if (auto s = std::dynamic_pointer_cast<UIScrollView>(v);
                s && s->isScrollEnabled() && s->contentSize().width > s->bounds().width()) {
                const CGPoint before = s->contentOffset();
                return s->userScrollTo({before.x + dx, before.y}) && s->contentOffset().x != before.x;
            }
        return false;
    }
    // An alert or action sheet taller than the screen scrolls its buttons under the wheel, as under
    // a finger; the screen behind it does not move.
    for (auto v = ScreenRenderer::hitTest(screenPoint); v; v = v->superview())
        if (auto alert = std::dynamic_pointer_cast<UIAlertControllerView>(v)) {
            const CGFloat before = alert->scrollOffset();
            alert->scrollBy(dy);
            return alert->scrollOffset() != before;
        }
    auto view = scrollingViewAt(screenPoint);
    // A plain scroll view pans by itself under the finger; only the wheel is brought to it.
    if (!view)
        for (auto v = ScreenRenderer::hitTest(screenPoint); v && !view; v = v->superview())
            if (auto s = std::dynamic_pointer_cast<UIScrollView>(v); s && s->isScrollEnabled()) view = s;
    if (!view) return false;
    if (auto picker = std::dynamic_pointer_cast<UIPickerView>(view)) {
        const long component = componentAt(*picker, screenPoint);
        auto& carry = state().wheelCarry;
        if (notches) {
            carry = 0;
            return turn(*picker, component, dy > 0 ? 1 : dy < 0 ? -1 : 0);
        }
        carry += dy;
        const double height = pickerRowHeight(*picker, component);
        const long rows = static_cast<long>(carry / height);
        carry -= static_cast<double>(rows) * height;
        return turn(*picker, component, rows);
    }
    return scrollBy(*view, dy);
}

void ScrollInput::touch(UITouchPhase phase, CGPoint screenPoint, double timestamp) {
    auto& pan = state().pan;
    if (phase == UITouchPhase::Began) {
        auto target = scrollingViewAt(screenPoint);
        // On the text being typed into a drag selects, as a mouse does on a desktop; the wheel
        // still scrolls it.
        if (auto text = std::dynamic_pointer_cast<UITextView>(target); text && text->isFirstResponder())
            target = nullptr;
        pan = Pan{screenPoint, screenPoint, target, std::nullopt};
        if (auto table = std::dynamic_pointer_cast<UITableView>(pan->target.lock()))
            pan->row = rowAt(*table, screenPoint);
        ScreenRenderer::sendTouch(phase, screenPoint, timestamp);
        return;
    }
    if (!pan) {
        ScreenRenderer::sendTouch(phase, screenPoint, timestamp);
        return;
    }
    auto target = pan->target.lock();
    if (!pan->panning && phase == UITouchPhase::Moved && target) {
        const double dx = screenPoint.x - pan->start.x, dy = screenPoint.y - pan->start.y;
        if (std::hypot(dx, dy) > kPanSlop) {
            // From here the finger scrolls: the view it began on lets go of it.
            pan->panning = true;
            pan->horizontal = std::abs(dx) > std::abs(dy);
            pan->last = pan->start;
            ScreenRenderer::sendTouch(UITouchPhase::Cancelled, screenPoint, timestamp);
        }
    }
    if (!pan->panning) {
        ScreenRenderer::sendTouch(phase, screenPoint, timestamp);
        if (phase == UITouchPhase::Ended || phase == UITouchPhase::Cancelled) pan.reset();
        return;
    }
    if (target && (phase == UITouchPhase::Moved || phase == UITouchPhase::Ended)) {
        if (pan->horizontal) {
            auto table = std::dynamic_pointer_cast<UITableView>(target);
            if (table && pan->row && !table->swipedRow() && pan->start.x - screenPoint.x > kSwipeDistance) {
                table->userSwipeRow(*pan->row);
                table->setNeedsDisplay();
            }
        } else if (auto picker = std::dynamic_pointer_cast<UIPickerView>(target)) {
            // Dragging the wheel up brings the rows below into the centre.
            const long component = componentAt(*picker, pan->start);
            pan->carried += pan->last.y - screenPoint.y;
            const double height = pickerRowHeight(*picker, component);
            const long rows = static_cast<long>(pan->carried / height);
            pan->carried -= static_cast<double>(rows) * height;
            turn(*picker, component, rows);
        } else {
            scrollBy(*target, pan->last.y - screenPoint.y);
        }
        pan->last = screenPoint;
    }
    if (phase == UITouchPhase::Ended || phase == UITouchPhase::Cancelled) pan.reset();
}

} // namespace platform
