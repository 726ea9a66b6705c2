#include "cli/Finger.h"

#include <algorithm>
#include <cmath>

#include "cli/ScriptInterpreter.h"
#include "platform/swiftui/HostingView.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/Actionability.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/ScrollInput.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableView.h"

using namespace platform;

namespace quillora::cli {

namespace {

// The row's place in the table's bounds coordinates, as its content is scrolled now.
CGRect rowRect(UITableView& table, const NSIndexPath& path) {
    const long rows = table.numberOfRowsInSection(path.section);
    const double top = table.offsetOfRow(path);
    const double bottom =
        path.row + 1 < rows
            ? table.offsetOfRow(NSIndexPath::indexPathForRow_inSection(path.row + 1, path.section))
        : path.section + 1 < table.numberOfSections()
            ? table.offsetOfRow(NSIndexPath::indexPathForRow_inSection(0, path.section + 1))
            : table.contentHeight();
    const CGRect b = table.bounds();
    return {b.minX(), b.minY() + top - table.contentOffsetY(), b.width(), bottom - top};
}

} // namespace

CGPoint Finger::reach(UIView& view, const std::string& name, std::optional<CGRect> part) {
    auto reached = Actionability::reach(view, name, part);
    if (!reached) throw ScriptError(reached.reason);
    return *reached.point;
}

void Finger::tap(UIView& view, const std::string& name, std::optional<CGRect> part) {
    Actionability::tap(reach(view, name, part));
}

void Finger::tap(UIBarButtonItem& item, const std::string& name) {
    auto frame = ScreenRenderer::barItemFrame(item);
    if (!frame) throw ScriptError("'" + name + "' is not shown");
    const CGPoint p{frame->midX(), frame->midY()};
    if (!item.isEnabled()) throw ScriptError("'" + name + "' is disabled");
    if (!ScreenRenderer::hitTest(p)) throw ScriptError("'" + name + "' is covered");
    Actionability::tap(p);
}

swiftui::HostingView& Finger::hostingView(swiftui::UIHostingController& screen) {
    auto view = std::dynamic_pointer_cast<swiftui::HostingView>(screen.view());
    if (!view) throw ScriptError("the declarative screen has no view of its own");
    return *view;
}

void Finger::tap(swiftui::UIHostingController& screen, std::string path, const std::string& name,
                 std::optional<swiftui::LayoutHit::Target> target) {
    auto reached = hostingView(screen).reachControl(path, name, target);
    if (!reached) throw ScriptError(reached.reason);
    Actionability::tap(*reached.point);
}

CGPoint Finger::reachRow(UITableView& table, const NSIndexPath& path, const std::string& name) {
    // The table itself must be in sight (in a scroll view of its own, perhaps) before it is dragged.
    reach(table, name);
    for (int attempt = 0; attempt < 60; ++attempt) {
        ScreenRenderer::layout();
        const CGRect r = rowRect(table, path), b = table.bounds();
        double dy = 0;
        if (r.minY() < b.minY())
            dy = r.minY() - b.minY();
        else if (r.maxY() > b.maxY())
            dy = std::min(r.maxY() - b.maxY(), r.minY() - b.minY());
        if (std::abs(dy) < 0.5) break;
        const CGRect seen =
            intersection(table.convertRect_toView(b, nullptr), UIScreen::mainScreen().bounds());
        if (seen.width() <= 0 || seen.height() <= 0) break;
        dy = std::clamp(dy, -seen.height() / 2, seen.height() / 2);
        std::optional<CGPoint> start;
        for (CGPoint p : Actionability::samplePoints(seen))
            if (ScrollInput::scrollingViewAt(p).get() == &table) {
                start = p;
                break;
            }
        if (!start) break;
        const double before = table.contentOffsetY();
        Actionability::drag(*start, {start->x, start->y - dy});
        if (table.contentOffsetY() == before) break;
    }
    ScreenRenderer::layout();
    auto reached = Actionability::pointIn(table, name, rowRect(table, path));
    if (!reached) throw ScriptError(reached.reason);
    return *reached.point;
}

CGPoint Finger::reachAlertAction(UIAlertControllerView& view, std::size_t index, const std::string& name) {
    auto seenPart = [&view, index]() -> std::optional<CGRect> {
        ScreenRenderer::layout();
        const auto l = view.layout();
        if (index >= l.buttons.size()) return std::nullopt;
        const CGRect r = l.buttons[index];
        // The separate cancel button never scrolls; the others show only inside the box.
        return r == l.cancelBox ? r : intersection(r, l.box);
    };
    for (int attempt = 0; attempt < 60; ++attempt) {
        ScreenRenderer::layout();
        const auto l = view.layout();
        if (index >= l.buttons.size() || l.overflow <= 0) break;
        const CGRect r = l.buttons[index], box = l.box;
        if (r == l.cancelBox) break;
        double dy = 0;
        if (r.minY() < box.minY())
            dy = r.minY() - box.minY();
        else if (r.maxY() > box.maxY())
            dy = std::min(r.maxY() - box.maxY(), r.minY() - box.minY());
        if (std::abs(dy) < 0.5) break;
        // A finger that moves only a little presses the button it went down on: the drag goes
        // far enough to count as one, and at most half the box at a time.
        const double least = std::min(20.0, std::max(0.0, box.height() - r.height()) / 2);
        dy = std::copysign(std::clamp(std::abs(dy), least, box.height() / 2), dy);
        const CGPoint start{box.midX(),
                            dy > 0 ? box.midY() + box.height() / 4 : box.midY() - box.height() / 4};
        if (ScreenRenderer::hitTest(start).get() != &view) break;
        const double before = view.scrollOffset();
        Actionability::drag(start, {start.x, start.y - dy});
        if (view.scrollOffset() == before) break;
    }
    auto part = seenPart();
    if (!part) throw ScriptError("'" + name + "' is not shown");
    const CGRect f = view.frame();
    if (part->width() <= 0.5 || part->height() <= 0.5) {
        const auto l = view.layout();
        const bool below = l.buttons[index].minY() >= l.box.maxY();
        throw ScriptError("'" + name + "' is off screen (" + (below ? "below" : "above") + " the alert's " +
                          (below ? "bottom" : "top") + " edge)");
    }
    // Only a point where the alert itself takes the touch for this very action will do.
    auto reached = Actionability::pointIn(
        view, name, {part->minX() - f.minX(), part->minY() - f.minY(), part->width(), part->height()},
        [&view, index](const std::shared_ptr<UIView>& hit, CGPoint p) {
            return hit.get() == &view &&
                   view.actionAtPoint(view.convertPoint_fromView(p, nullptr)) == static_cast<long>(index);
        });
    if (!reached) {
        // A view the screen added to the box lies over the button: it takes the touch instead.
        auto hit = ScreenRenderer::hitTest({part->midX(), part->midY()});
        if (hit && hit.get() != &view && hit->isDescendantOfView(&view))
            throw ScriptError("'" + name + "' is covered by a " + hit->className());
        throw ScriptError(reached.reason);
    }
    return *reached.point;
}

void Finger::pick(UIPickerView& picker, long row, long component, const std::string& name) {
    ScreenRenderer::layout();
    const long components = std::max(1L, picker.numberOfComponents());
    const CGRect b = picker.bounds();
    const double width = b.width() / static_cast<double>(components);
    const CGRect column{b.minX() + width * static_cast<double>(component), b.minY(), width, b.height()};
    const CGPoint centre = reach(picker, name, column);
    // The row drawn on the wheel: a touch on it picks it.
    const CGPoint local = picker.convertPoint_fromView(centre, nullptr);
    for (double y = b.minY() + 1; y < b.maxY(); y += 2) {
        auto at = picker.rowAtPoint({local.x, y});
        if (!at || at->first != row || at->second != component) continue;
        auto reached = Actionability::pointIn(picker, name, {column.minX(), y - 1, column.width(), 2});
        if (!reached) continue;
        Actionability::tap(*reached.point);
        return;
    }
    // Further away: the wheel turns under the pointer until the row settles in the middle.
    const long current = picker.selectedRowInComponent(component);
    double height = 32;
    if (auto delegate = picker.delegate())
        height = delegate->pickerView_rowHeightForComponent(picker, component);
    ScrollInput::scroll(centre, 0, static_cast<double>(row - current) * height, false);
    if (picker.selectedRowInComponent(component) != row)
        throw ScriptError("'" + name + "' did not turn to row " + std::to_string(row));
}

} // namespace quillora::cli
