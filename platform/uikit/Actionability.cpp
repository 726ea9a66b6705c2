#include "platform/uikit/Actionability.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/uikit/ScreenPrinter.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/ScrollInput.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

namespace platform {

namespace {

bool isEmpty(const CGRect& r) {
    return !(r.width() > 0.5 && r.height() > 0.5);
}

bool isSheetStyle(UIModalPresentationStyle style) {
    return style == UIModalPresentationStyle::PageSheet || style == UIModalPresentationStyle::FormSheet;
}

// The screen in front, as a reason names it.
std::string frontName(const UIViewController& front) {
    if (dynamic_cast<const UIAlertController*>(&front)) return "the alert";
    return isSheetStyle(front.presentationStyle()) ? "the sheet" : "the presented screen";
}

// How a clipping edge is named in "below the sheet's bottom edge".
struct Clip {
    CGRect rect;
    std::string owner;
};

std::string offScreenReason(const std::string& name, const CGRect& wanted, const Clip& clip) {
    std::string where;
    if (wanted.minY() >= clip.rect.maxY())
        where = "below " + clip.owner + " bottom edge";
    else if (wanted.maxY() <= clip.rect.minY())
        where = "above " + clip.owner + " top edge";
    else if (wanted.minX() >= clip.rect.maxX())
        where = "beyond " + clip.owner + " right edge";
    else
        where = "beyond " + clip.owner + " left edge";
    return "'" + name + "' is off screen (" + where + ")";
}

const UIView* rootOf(const UIView& view) {
    const UIView* top = &view;
    while (auto parent = top->superview())
        top = parent.get();
    return top;
}

// On the screen: in the window, or in the views of a screen presented over it (a transition may
// hold them in a container of its own).
bool attached(const UIView& view) {
    if (view.window()) return true;
    const UIView* top = rootOf(view);
    for (const auto& controller : ScreenRenderer::presentationChain())
        if (controller->isViewLoaded() && rootOf(*controller->view()) == top) return true;
    return false;
}

bool shown(const UIView& view) {
    if (!attached(view) || view.isHiddenOnScreen()) return false;
    for (const UIView* v = &view; v; v = v->superview().get())
        if (v->alpha() < 0.01) return false;
    return true;
}

bool scrollsContent(const UIView& view) {
    return dynamic_cast<const UIScrollView*>(&view) || dynamic_cast<const UITableView*>(&view) ||
           dynamic_cast<const UITextView*>(&view);
}

} // namespace

std::vector<CGPoint> Actionability::samplePoints(CGRect r) {
    std::vector<CGPoint> points{{r.midX(), r.midY()}};
    // About every 12 points, so that a small part of a wide control (a stepper's -) is found.
    const int columns = std::clamp(static_cast<int>(r.width() / 12), 3, 32);
    const int rows = std::clamp(static_cast<int>(r.height() / 12), 3, 32);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i)
            points.push_back(
                {r.minX() + r.width() * (i + 0.5) / columns, r.minY() + r.height() * (j + 0.5) / rows});
    return points;
}

std::string Actionability::describeCover(const std::shared_ptr<UIView>& hit) {
    if (!hit) return "nothing that takes touches";
    for (auto v = hit; v; v = v->superview())
        if (!v->accessibilityIdentifier().empty()) return "the " + v->accessibilityIdentifier();
    auto chain = ScreenRenderer::presentationChain();
    if (chain.size() > 1 && hit->isDescendantOfView(chain.back()->view().get()) &&
        dynamic_cast<UIAlertController*>(chain.back().get()))
        return "the alert";
    if (auto screen = ScreenPrinter::currentViewController())
        for (auto v = hit; v; v = v->superview())
            for (const auto& [outlet, object] : screen->exposedOutlets())
                if (object == v) return "'" + outlet + "'";
    return "a " + hit->className();
}

Actionability::Reach Actionability::pointIn(UIView& view, const std::string& name, CGRect part,
                                            const Accepts& accepts) {
    ScreenRenderer::layout();
    if (!shown(view) || isEmpty(part)) return Reach::failed("'" + name + "' is not shown");
    auto chain = ScreenRenderer::presentationChain();
    if (chain.size() > 1) {
        auto front = chain.back()->view();
        if (rootOf(view) != rootOf(*front))
            return Reach::failed("'" + name + "' is covered by " + frontName(*chain.back()));
    }
    // What of the part is drawn: cut by every view around it that clips, by the screen in front
    // and by the screen's edges.
    const CGRect wanted = view.convertRect_toView(part, nullptr);
    CGRect visible = wanted;
    std::vector<Clip> clips;
    for (auto v = view.superview(); v; v = v->superview())
        if (v->clipsWhenDrawn())
            clips.push_back({v->convertRect_toView(v->bounds(), nullptr),
                             scrollsContent(*v) ? "its scroll view's" : "its container's"});
    if (chain.size() > 1 && !dynamic_cast<UIAlertController*>(chain.back().get())) {
        auto front = chain.back()->view();
        clips.push_back({front->convertRect_toView(front->bounds(), nullptr),
                         isSheetStyle(chain.back()->presentationStyle()) ? "the sheet's" : "the screen's"});
    }
    clips.push_back({UIScreen::mainScreen().bounds(), "the screen's"});
    for (const auto& clip : clips) {
        const CGRect cut = intersection(visible, clip.rect);
        if (isEmpty(cut)) return Reach::failed(offScreenReason(name, wanted, clip));
        visible = cut;
    }
    Accepts reaches = accepts ? accepts : [&view](const std::shared_ptr<UIView>& hit, CGPoint) {
        return hit && (hit.get() == &view || hit->isDescendantOfView(&view));
    };
    // A disabled control takes the touch and does nothing with it: reached, it is refused.
    auto control = dynamic_cast<UIControl*>(&view);
    const bool disabled = control && !control->isEnabled();
    std::shared_ptr<UIView> cover;
    bool first = true;
    for (CGPoint p : samplePoints(visible)) {
        auto hit = ScreenRenderer::hitTest(p);
        if (reaches(hit, p)) {
            if (disabled) return Reach::failed("'" + name + "' is disabled");
            return Reach::at(p);
        }
        if (first) cover = hit;
        first = false;
    }
    if (cover && (cover.get() == &view || cover->isDescendantOfView(&view)))
        return Reach::failed("'" + name + "' does not take touches there");
    return Reach::failed("'" + name + "' is covered by " + describeCover(cover));
}

void Actionability::scrollIntoView(UIView& view, CGRect part) {
    for (auto v = view.superview(); v; v = v->superview()) {
        auto scroll = std::dynamic_pointer_cast<UIScrollView>(v);
        if (!scroll) continue;
        for (int attempt = 0; attempt < 20; ++attempt) {
            ScreenRenderer::layout();
            const CGRect r = view.convertRect_toView(part, scroll.get());
            const CGRect b = scroll->bounds();
            auto along = [](CGFloat lo, CGFloat hi, CGFloat vlo, CGFloat vhi) -> CGFloat {
                if (lo < vlo) return lo - vlo;
                if (hi > vhi) return std::min(hi - vhi, lo - vlo);
                return 0;
            };
            CGFloat dx = along(r.minX(), r.maxX(), b.minX(), b.maxX());
            CGFloat dy = along(r.minY(), r.maxY(), b.minY(), b.maxY());
            if (dx == 0 && dy == 0) break;
            // The finger goes down on the scroll view where nothing that takes touches of its
            // own lies, and moves the content the other way, at most half the view at a time.
            const CGRect seen =
                intersection(scroll->convertRect_toView(b, nullptr), UIScreen::mainScreen().bounds());
            if (isEmpty(seen)) break;
            dx = std::clamp(dx, -seen.width() / 2, seen.width() / 2);
            dy = std::clamp(dy, -seen.height() / 2, seen.height() / 2);
            std::optional<CGPoint> start;
            for (CGPoint p : samplePoints(seen)) {
                auto hit = ScreenRenderer::hitTest(p);
                if (hit && (hit == scroll || (hit->isDescendantOfView(scroll.get()) &&
                                              !dynamic_cast<UIControl*>(hit.get())))) {
                    start = p;
                    break;
                }
            }
            if (!start) break;
            const CGPoint before = scroll->contentOffset();
            drag(*start, {start->x - dx, start->y - dy});
            if (scroll->contentOffset() == before) break;
        }
    }
}

Actionability::Reach Actionability::reach(UIView& view, const std::string& name, std::optional<CGRect> part,
                                          const Accepts& accepts) {
    ScreenRenderer::layout();
    const CGRect wanted = part.value_or(view.bounds());
    if (shown(view)) scrollIntoView(view, wanted);
    return pointIn(view, name, wanted, accepts);
}

void Actionability::tap(CGPoint p) {
    const double now = RunLoop::main().now();
    ScrollInput::touch(UITouchPhase::Began, p, now);
    ScrollInput::touch(UITouchPhase::Ended, p, now + 0.1);
}

void Actionability::drag(CGPoint from, CGPoint to) {
    const double now = RunLoop::main().now();
    constexpr int steps = 8;
    ScrollInput::touch(UITouchPhase::Began, from, now);
    for (int i = 1; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        ScrollInput::touch(UITouchPhase::Moved, {from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t},
                           now + 0.02 * i);
    }
    ScrollInput::touch(UITouchPhase::Ended, to, now + 0.02 * (steps + 1));
}

} // namespace platform
