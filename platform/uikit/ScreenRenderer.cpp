#include "platform/uikit/ScreenRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include <cairo.h>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/Drawing.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

namespace platform {

namespace {
cairo_matrix_t matrixOf(const CGAffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}

constexpr CGFloat navigationBarHeight = 44;
// The smallest scale, from points to device pixels, at which a view is drawn: text set at a
// hundredth of a pixel still draws, a thousandth of one makes cairo fail.
constexpr double kSmallestDrawnScale = 0.01;

bool isDark(const UIColor& c) {
    return 0.299 * c.red + 0.587 * c.green + 0.114 * c.blue < 0.5 && c.alpha > 0.5;
}

// The pieces of a shown navigation bar, in screen coordinates.
struct NavigationBarLayout {
    CGRect bar;     // from the top of the screen to the bar's bottom edge
    CGRect content; // the 44 points under the status bar
    std::string title;
    std::string back; // empty when there is no back button
    CGRect backRect;
    std::shared_ptr<UIBarButtonItem> left;
    CGRect leftRect;
    std::vector<std::pair<std::shared_ptr<UIBarButtonItem>, CGRect>> right;
};

TextStyle barItemStyle(const UIColor& colour, bool bold) {
    TextStyle s;
    s.font = bold ? UIFont{".SFUI-Semibold", 17} : UIFont::systemFontOfSize(17);
    s.color = colour;
    s.numberOfLines = 1;
    return s;
}

std::string itemTitle(const UIBarButtonItem& item) {
    return item.title().value_or(item.image() ? "" : "Item");
}

std::optional<NavigationBarLayout> navigationBarLayout(const UINavigationController& nav) {
    if (nav.isNavigationBarHidden() || !nav.isViewLoaded()) return std::nullopt;
    auto top = nav.topViewController();
    if (!top) return std::nullopt;
    const CGRect frame = const_cast<UINavigationController&>(nav).view()->convertRect_toView(
        const_cast<UINavigationController&>(nav).view()->bounds(), nullptr);
    auto window = UIApplication::sharedApplication().keyWindow();
    // Only a navigation controller at the top of the screen sits under the status bar.
    const CGFloat statusBar = frame.minY() <= 0 && window ? window->safeAreaInsets().top : 0;
    NavigationBarLayout l;
    l.bar = {frame.minX(), frame.minY(), frame.width(), statusBar + navigationBarHeight};
    l.content = {frame.minX(), frame.minY() + statusBar, frame.width(), navigationBarHeight};
    auto item = top->navigationItem();
    l.title = item->title.value_or(top->title().value_or(""));
    const auto& stack = nav.viewControllers();
    const TextStyle style = barItemStyle(UIColor::systemBlueColor(), false);
    CGFloat x = l.content.minX() + 8;
    if (item->leftBarButtonItem) {
        l.left = item->leftBarButtonItem;
        const CGFloat w = TextDrawing::measure(itemTitle(*l.left), style).width + 16;
        l.leftRect = {x, l.content.minY(), std::max<CGFloat>(w, 44), navigationBarHeight};
    } else if (stack.size() > 1 && !item->hidesBackButton) {
        const auto& previous = stack[stack.size() - 2];
        auto previousItem = previous->navigationItem();
        if (previousItem->backBarButtonItem && previousItem->backBarButtonItem->title())
            l.back = *previousItem->backBarButtonItem->title();
        else
            l.back = previousItem->title.value_or(previous->title().value_or("Back"));
        if (l.back.empty() || TextDrawing::measure(l.back, style).width > l.content.width() / 3)
            l.back = "Back";
        const CGFloat w = TextDrawing::measure("\u2039 " + l.back, style).width + 16;
        l.backRect = {x, l.content.minY(), std::max<CGFloat>(w, 44), navigationBarHeight};
    }
    std::vector<std::shared_ptr<UIBarButtonItem>> rights = item->rightBarButtonItems;
    if (rights.empty() && item->rightBarButtonItem) rights.push_back(item->rightBarButtonItem);
    CGFloat right = l.content.maxX() - 8;
    for (const auto& r : rights) {
        const CGFloat w = std::max<CGFloat>(
            44, TextDrawing::measure(itemTitle(*r), barItemStyle(UIColor::systemBlueColor(),
                                                                 r->style() == UIBarButtonItemStyle::Done))
                        .width +
                    16);
        l.right.emplace_back(r, CGRect{right - w, l.content.minY(), w, navigationBarHeight});
        right -= w;
    }
    return l;
}

constexpr CGFloat toolbarHeight = 49;

// A shown toolbar at the bottom of its navigation controller's view, and its items spread across.
struct ToolbarLayout {
    CGRect bar;
    std::vector<std::pair<std::shared_ptr<UIBarButtonItem>, CGRect>> items;
};

std::optional<ToolbarLayout> toolbarLayout(UINavigationController& nav) {
    if (nav.isToolbarHidden() || !nav.isViewLoaded()) return std::nullopt;
    const CGRect frame = nav.view()->convertRect_toView(nav.view()->bounds(), nullptr);
    const CGRect screen = UIScreen::mainScreen().bounds();
    auto window = UIApplication::sharedApplication().keyWindow();
    const CGFloat inset = frame.maxY() >= screen.maxY() && window ? window->safeAreaInsets().bottom : 0;
    ToolbarLayout l;
    l.bar = {frame.minX(), frame.maxY() - inset - toolbarHeight, frame.width(), toolbarHeight + inset};
    std::vector<std::shared_ptr<UIBarButtonItem>> items;
    for (const auto& item : nav.toolbar()->items)
        if (item) items.push_back(item);
    const CGFloat slot = items.empty() ? 0 : (frame.width() - 16) / static_cast<CGFloat>(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        l.items.emplace_back(items[i], CGRect{frame.minX() + 8 + slot * static_cast<CGFloat>(i), l.bar.minY(),
                                              slot, toolbarHeight});
    return l;
}

void drawBarItem(cairo_t* cr, const UIBarButtonItem& item, const CGRect& r, const UIColor& tint) {
    const UIColor colour = item.isEnabled() ? item.tintColor().value_or(tint) : UIColor::systemGrayColor();
    if (item.image() && !item.title()) {
        Drawing::drawImage(cr, *item.image(), {r.midX() - 13, r.midY() - 13, 26, 26},
                           UIViewContentMode::ScaleAspectFit);
        return;
    }
    TextStyle style = barItemStyle(colour, item.style() == UIBarButtonItemStyle::Done);
    style.alignment = NSTextAlignment::Center;
    TextDrawing::drawCenteredVertically(cr, itemTitle(item), r, style);
}

void drawToolbar(cairo_t* cr, UINavigationController& nav) {
    auto l = toolbarLayout(nav);
    if (!l) return;
    const UIColor background =
        nav.toolbar()->barTintColor.value_or(UIColor::colorWithRed_green_blue_alpha(0.97, 0.97, 0.97, 1));
    const bool dark = isDark(background);
    Drawing::fillRoundedRectangle(cr, l->bar, 0, background);
    cairo_rectangle(cr, l->bar.minX(), l->bar.minY(), l->bar.width(), Drawing::hairline(cr));
    Drawing::setColor(cr, dark ? UIColor::colorWithWhite_alpha(1, 0.15) : Drawing::separatorColor());
    cairo_fill(cr);
    for (const auto& [item, r] : l->items)
        drawBarItem(cr, *item, r, dark ? UIColor::whiteColor() : UIColor::systemBlueColor());
}

void drawNavigationBar(cairo_t* cr, UINavigationController& nav) {
    drawToolbar(cr, nav);
    auto l = navigationBarLayout(nav);
    if (!l) return;
    auto bar = nav.navigationBar();
    const UIColor background =
        bar->barTintColor.value_or(UIColor::colorWithRed_green_blue_alpha(0.97, 0.97, 0.97, 1));
    const bool dark = isDark(background);
    const UIColor tint = dark ? UIColor::whiteColor() : UIColor::systemBlueColor();
    Drawing::fillRoundedRectangle(cr, l->bar, 0, background);
    cairo_rectangle(cr, l->bar.minX(), l->bar.maxY() - Drawing::hairline(cr), l->bar.width(),
                    Drawing::hairline(cr));
    Drawing::setColor(cr, dark ? UIColor::colorWithWhite_alpha(1, 0.15) : Drawing::separatorColor());
    cairo_fill(cr);
    TextStyle title = barItemStyle(dark ? UIColor::whiteColor() : UIColor::labelColor(), true);
    title.alignment = NSTextAlignment::Center;
    const CGFloat side =
        std::max({l->backRect.width(), l->leftRect.width(),
                  l->right.empty() ? 0.0 : l->content.maxX() - l->right.back().second.minX()}) +
        8;
    TextDrawing::drawCenteredVertically(cr, l->title,
                                        {l->content.minX() + side, l->content.minY(),
                                         std::max<CGFloat>(0, l->content.width() - 2 * side),
                                         l->content.height()},
                                        title);
    if (!l->back.empty()) {
        TextStyle back = barItemStyle(tint, false);
        TextDrawing::drawCenteredVertically(cr, "\u2039 " + l->back, l->backRect, back);
    }
    if (l->left) drawBarItem(cr, *l->left, l->leftRect, tint);
    for (const auto& [item, r] : l->right)
        drawBarItem(cr, *item, r, tint);
}

bool contains(const CGRect& r, CGPoint p) {
    return p.x >= r.minX() && p.x < r.maxX() && p.y >= r.minY() && p.y < r.maxY();
}

// The navigation controllers whose bars are drawn over the given controller's view.
std::vector<std::shared_ptr<UINavigationController>>
navigationControllersIn(const std::shared_ptr<UIViewController>& root) {
    std::vector<std::shared_ptr<UINavigationController>> out;
    if (auto nav = std::dynamic_pointer_cast<UINavigationController>(root)) out.push_back(nav);
    return out;
}

// A press on a navigation bar: its items, else nothing (the bar covers what lies under it).
struct BarTouch {
    bool onBar = false;
    std::function<void()> press;
};

BarTouch navigationBarTouch(const std::shared_ptr<UIViewController>& controller, CGPoint p) {
    BarTouch touch;
    for (const auto& nav : navigationControllersIn(controller)) {
        if (auto t = toolbarLayout(*nav); t && contains(t->bar, p)) {
            touch.onBar = true;
            for (const auto& [item, r] : t->items)
                if (contains(r, p)) touch.press = [item = item] { item->press(); };
            continue;
        }
        auto l = navigationBarLayout(*nav);
        if (!l || !contains(l->bar, p)) continue;
        touch.onBar = true;
        std::weak_ptr<UINavigationController> weak = nav;
        if (!l->back.empty() && contains(l->backRect, p))
            touch.press = [weak] {
                if (auto n = weak.lock()) n->popViewControllerAnimated(true);
            };
        if (l->left && contains(l->leftRect, p)) touch.press = [item = l->left] { item->press(); };
        for (const auto& [item, r] : l->right)
            if (contains(r, p)) touch.press = [item = item] { item->press(); };
    }
    return touch;
}

void strokeBorder(cairo_t* cr, const CGRect& bounds, const CALayer& layer) {
    if (layer.borderWidth <= 0) return;
    const CGFloat inset = layer.borderWidth / 2;
    Drawing::roundedRectangle(cr,
                              {bounds.minX() + inset, bounds.minY() + inset, bounds.width() - 2 * inset,
                               bounds.height() - 2 * inset},
                              std::max<CGFloat>(0, layer.cornerRadius - inset));
    Drawing::setColor(cr, layer.borderColor.value_or(UIColor::blackColor()));
    cairo_set_line_width(cr, layer.borderWidth);
    cairo_stroke(cr);
}

void drawSublayers(cairo_t* cr, const CALayer& layer);

// A layer of its own, in the coordinates of the layer it was added to.
void drawLayer(cairo_t* cr, const CALayer& layer) {
    if (layer.hidden) return;
    cairo_save(cr);
    cairo_translate(cr, layer.frame.minX(), layer.frame.minY());
    const CGRect bounds{0, 0, layer.frame.width(), layer.frame.height()};
    if (layer.backgroundColor && layer.backgroundColor->alpha > 0) {
        Drawing::roundedRectangle(cr, bounds, layer.cornerRadius);
        Drawing::setColor(cr, *layer.backgroundColor);
        cairo_fill(cr);
    }
    if (layer.masksToBounds) {
        Drawing::roundedRectangle(cr, bounds, layer.cornerRadius);
        cairo_clip(cr);
    }
    if (auto replicator = dynamic_cast<const CAReplicatorLayer*>(&layer)) {
        for (long copy = 0; copy < replicator->instanceCount; ++copy) {
            cairo_save(cr);
            cairo_translate(cr, copy * replicator->instanceTransform.tx,
                            copy * replicator->instanceTransform.ty);
            drawSublayers(cr, layer);
            cairo_restore(cr);
        }
    } else {
        drawSublayers(cr, layer);
    }
    strokeBorder(cr, bounds, layer);
    cairo_restore(cr);
}

void drawSublayers(cairo_t* cr, const CALayer& layer) {
    for (const auto& sublayer : layer.sublayers())
        drawLayer(cr, *sublayer);
}

void clipToBounds(cairo_t* cr, const UIView& view) {
    const CALayer& layer = view.layer();
    Drawing::roundedRectangle(cr, view.bounds(),
                              layer.masksToBounds || view.backgroundColor() ? layer.cornerRadius : 0);
    cairo_clip(cr);
}

} // namespace

void ScreenRenderer::drawView(cairo_t* cr, const UIView& view) {
    // A view in an animation is drawn as it stands at this moment, not at its end state.
    const double now = RunLoop::main().now();
    const CGFloat alpha = view.presentationAt(now).alpha;
    if (view.isHidden() || alpha <= 0) return;
    cairo_save(cr);
    const cairo_matrix_t m = matrixOf(view.transformToSuperviewAt(now));
    // A view shrunk to almost nothing (a zoom starting from scale 0) covers no pixel, and cairo
    // cannot set text at such a scale: the context fails ("out of memory", or a matrix that cannot
    // be inverted) and the whole frame with it. It is not drawn until it has grown.
    cairo_matrix_t device, total;
    cairo_get_matrix(cr, &device);
    cairo_matrix_multiply(&total, &m, &device);
    const double longest = std::max(std::hypot(total.xx, total.yx), std::hypot(total.xy, total.yy));
    const double shortest = longest > 0 ? std::abs(total.xx * total.yy - total.xy * total.yx) / longest : 0;
    if (!(shortest >= kSmallestDrawnScale)) {
        cairo_restore(cr);
        return;
    }
    cairo_transform(cr, &m);
    const CGRect bounds = view.bounds();
    const CALayer& layer = view.layer();
    const bool painted = view.backgroundColor() && view.backgroundColor()->alpha > 0;
    const bool shadowed = layer.shadowOpacity > 0 && painted;
    // Everything a clipping view draws but its shadow stays in its bounds; out of sight, none of it
    // needs drawing.
    if (view.clipsWhenDrawn() && !shadowed && !Drawing::isVisible(cr, bounds)) {
        cairo_restore(cr);
        return;
    }
    const bool faded = alpha < 1;
    // A faded view is drawn into a layer of its own, the size of the clip, and the layer faded:
    // unless its content alone paints, in one piece, and can fade as it is drawn.
    if (faded && !painted && layer.borderWidth <= 0 && view.subviews().empty() && layer.sublayers().empty()) {
        cairo_save(cr);
        if (view.clipsWhenDrawn()) clipToBounds(cr, view);
        const bool drawn = view.drawFaded(cr, alpha);
        cairo_restore(cr);
        if (drawn) {
            cairo_restore(cr);
            return;
        }
    }
    if (faded) cairo_push_group(cr);

    // A layer's shadow follows its painted shape (here: its background) and is black unless it is
    // given a colour.
    if (shadowed) {
        // A soft edge made of a few widening, fainter outlines of the view's shape.
        const int steps = std::max(1, static_cast<int>(std::ceil(layer.shadowRadius)));
        for (int i = steps; i >= 0; --i) {
            const CGFloat grow = static_cast<CGFloat>(i);
            Drawing::roundedRectangle(cr,
                                      {bounds.minX() + layer.shadowOffset.width - grow,
                                       bounds.minY() + layer.shadowOffset.height - grow,
                                       bounds.width() + 2 * grow, bounds.height() + 2 * grow},
                                      layer.cornerRadius + grow);
            Drawing::setColor(cr, layer.shadowColor.value_or(UIColor::blackColor()),
                              layer.shadowOpacity / (steps + 1.0));
            cairo_fill(cr);
        }
    }
    if (painted) Drawing::fillRoundedRectangle(cr, bounds, layer.cornerRadius, *view.backgroundColor());
    if (view.clipsWhenDrawn()) clipToBounds(cr, view);
    cairo_save(cr);
    view.draw(cr);
    cairo_restore(cr);
    for (const auto& child : view.subviews())
        drawView(cr, *child);
    drawSublayers(cr, layer);
    strokeBorder(cr, bounds, layer);

    if (faded) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, alpha);
    }
    cairo_restore(cr);
}

std::vector<std::shared_ptr<UIViewController>> ScreenRenderer::presentationChain() {
    std::vector<std::shared_ptr<UIViewController>> chain;
    auto window = UIApplication::sharedApplication().keyWindow();
    if (!window) return chain;
    for (auto controller = window->rootViewController(); controller;
         controller = controller->presentedViewController())
        chain.push_back(controller);
    return chain;
}

std::optional<double> ScreenRenderer::nextChangeIn() {
    auto window = UIApplication::sharedApplication().keyWindow();
    if (!window) return std::nullopt;
    const double now = RunLoop::main().now();
    bool spinning = false;
    // The end of the latest animation in sight: a view zooming in or turning is drawn as it
    // stands at each frame, and once more at its end.
    std::optional<double> animatedUntil;
    std::function<void(const UIView&)> visit = [&](const UIView& view) {
        if (view.isHidden()) return;
        if (const auto& animation = view.lastAnimation(); animation && animation->finishesAt() > now)
            animatedUntil = std::max(animatedUntil.value_or(now), animation->finishesAt());
        if (view.presentationAt(now).alpha <= 0) return;
        if (auto spinner = dynamic_cast<const UIActivityIndicatorView*>(&view);
            spinner && spinner->isAnimating())
            spinning = true;
        for (const auto& subview : view.subviews())
            visit(*subview);
    };
    visit(*window);
    auto chain = presentationChain();
    for (std::size_t i = 1; i < chain.size(); ++i)
        if (chain[i]->isViewLoaded()) visit(*chain[i]->view());
    std::optional<double> next;
    if (animatedUntil) next = std::min(kAnimationFrameInterval, *animatedUntil - now);
    if (spinning) {
        // The moment its bright spoke moves on.
        const double steps = now * UIActivityIndicatorView::kStepsPerSecond;
        const double step = (std::floor(steps) + 1 - steps) / UIActivityIndicatorView::kStepsPerSecond;
        next = std::min(next.value_or(step), step);
    }
    return next;
}

void ScreenRenderer::layout() {
    auto window = UIApplication::sharedApplication().keyWindow();
    if (!window) return;
    auto chain = presentationChain();
    // A table whose top lies under a shown navigation bar starts its rows below the bar.
    for (const auto& controller : chain)
        for (const auto& nav : navigationControllersIn(controller)) {
            auto top = nav->topViewController();
            auto table =
                top && top->isViewLoaded() ? std::dynamic_pointer_cast<UITableView>(top->view()) : nullptr;
            if (!table) continue;
            const auto bar = navigationBarLayout(*nav);
            auto parent = table->superview();
            const double tableTop =
                parent ? parent->convertRect_toView(table->frame(), nullptr).minY() : table->frame().minY();
            table->setContentInsetTop(bar ? std::max(0.0, bar->bar.maxY() - tableTop) : 0.0);
        }
    window->layoutIfNeeded();
    for (std::size_t i = 1; i < chain.size(); ++i)
        chain[i]->view()->layoutIfNeeded();
}

namespace {
bool coversScreen(UIModalPresentationStyle style) {
    return style == UIModalPresentationStyle::FullScreen || style == UIModalPresentationStyle::CurrentContext;
}

bool isSheet(UIModalPresentationStyle style) {
    return style == UIModalPresentationStyle::PageSheet || style == UIModalPresentationStyle::FormSheet;
}

// What a presented view, as it stands at this moment of its way in or out, paints over entirely
// (screen points): all of it when it has an opaque square-cornered background, is not faded and
// is not turned; none otherwise.
std::optional<CGRect> opaqueFrame(const UIView& view) {
    const double now = RunLoop::main().now();
    const auto background = view.backgroundColor();
    if (view.isHidden() || view.presentationAt(now).alpha < 1 || !background || background->alpha < 1 ||
        view.layer().cornerRadius > 0)
        return std::nullopt;
    const CGAffineTransform t = view.transformToSuperviewAt(now);
    if (t.b != 0 || t.c != 0) return std::nullopt;
    const CGRect b = view.bounds();
    const CGFloat x1 = t.a * b.minX() + t.tx, x2 = t.a * b.maxX() + t.tx;
    const CGFloat y1 = t.d * b.minY() + t.ty, y2 = t.d * b.maxY() + t.ty;
    return CGRect{std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1)};
}

bool containsRect(const CGRect& outer, const CGRect& inner) {
    return outer.minX() <= inner.minX() && outer.maxX() >= inner.maxX() && outer.minY() <= inner.minY() &&
           outer.maxY() >= inner.maxY();
}

// Keeps further drawing off the device pixels that lie wholly inside `cover` (user coordinates),
// whose every pixel a later opaque paint replaces: what is drawn there would not be seen.
void clipOutCovered(cairo_t* cr, const CGRect& cover) {
    if (!Drawing::isWholePixelDevice(cr)) return;
    double x1 = cover.minX(), y1 = cover.minY(), x2 = cover.maxX(), y2 = cover.maxY();
    cairo_user_to_device(cr, &x1, &y1);
    cairo_user_to_device(cr, &x2, &y2);
    const double left = std::ceil(std::min(x1, x2)), right = std::floor(std::max(x1, x2));
    const double top = std::ceil(std::min(y1, y2)), bottom = std::floor(std::max(y1, y2));
    if (!(right > left && bottom > top)) return;
    double cx1 = 0, cy1 = 0, cx2 = 0, cy2 = 0;
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    cairo_identity_matrix(cr);
    cairo_clip_extents(cr, &cx1, &cy1, &cx2, &cy2);
    cx1 = std::floor(std::min(cx1, left)), cy1 = std::floor(std::min(cy1, top));
    cx2 = std::ceil(std::max(cx2, right)), cy2 = std::ceil(std::max(cy2, bottom));
    // Whole-pixel edges: the clip is a set of pixels, not a mask, and what it lets through is drawn
    // exactly as it would be without it.
    const cairo_fill_rule_t rule = cairo_get_fill_rule(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, cx1, cy1, cx2 - cx1, cy2 - cy1);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(cr);
    cairo_set_fill_rule(cr, rule);
    cairo_set_matrix(cr, &matrix);
}
} // namespace

void ScreenRenderer::draw(cairo_t* cr, double scale) {
    const CGRect screen = UIScreen::mainScreen().bounds();
    cairo_save(cr);
    cairo_scale(cr, scale, scale);
    cairo_rectangle(cr, 0, 0, screen.width(), screen.height());
    cairo_clip(cr);
    auto window = UIApplication::sharedApplication().keyWindow();
    if (!window) {
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
        return;
    }
    layout();
    auto chain = presentationChain();
    // What a full-screen presentation covers is not drawn at all, unless it is still on its way in
    // or out and lets some of it show.
    std::vector<std::optional<CGRect>> opaque(chain.size());
    std::size_t first = 0;
    for (std::size_t i = 1; i < chain.size(); ++i) {
        if (!coversScreen(chain[i]->presentationStyle())) continue;
        const bool moving = chain[i]->isBeingPresented() || chain[i]->isBeingDismissed();
        if (moving) opaque[i] = opaqueFrame(*chain[i]->view());
        if (!moving || (opaque[i] && containsRect(*opaque[i], screen))) first = i;
    }
    // Each layer is drawn only where the opaque presentations above it let it show.
    auto clipOutAbove = [&](std::size_t level) {
        for (std::size_t k = level; k < chain.size(); ++k)
            if (opaque[k] && k > first) clipOutCovered(cr, *opaque[k]);
    };
    cairo_save(cr);
    clipOutAbove(std::max<std::size_t>(1, first));
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    if (first == 0) {
        cairo_save(cr);
        clipOutAbove(1);
        drawView(cr, *window);
        if (!chain.empty())
            for (const auto& nav : navigationControllersIn(chain[0]))
                drawNavigationBar(cr, *nav);
        cairo_restore(cr);
    }
    for (std::size_t i = std::max<std::size_t>(1, first); i < chain.size(); ++i) {
        const auto& controller = chain[i];
        const auto style = controller->presentationStyle();
        auto view = controller->view();
        const CGRect frame = view->frame();
        // The presenter dims behind a sheet, a popover or an alert.
        CGFloat dim = isSheet(style) ? 0.3 : style == UIModalPresentationStyle::Popover ? 0.15 : 0;
        auto chrome = std::dynamic_pointer_cast<UIAlertControllerView>(view);
        if (chrome) dim = chrome->dimming();
        cairo_save(cr);
        if (i > first && dim > 0) {
            cairo_save(cr);
            clipOutAbove(i);
            cairo_rectangle(cr, 0, 0, screen.width(), screen.height());
            cairo_set_source_rgba(cr, 0, 0, 0, dim);
            cairo_fill(cr);
            cairo_restore(cr);
        }
        clipOutAbove(i + 1);
        if (!chrome && (isSheet(style) || style == UIModalPresentationStyle::Popover)) {
            if (!view->backgroundColor()) Drawing::fillRoundedRectangle(cr, frame, 10, UIColor::whiteColor());
            Drawing::roundedRectangle(cr, frame, isSheet(style) ? 10 : 13);
            cairo_clip(cr);
        }
        // An animator that dismisses a screen may move the presenter's view into the transition's
        // container, under the leaving view: it is drawn there, not in the window.
        if (auto container = view->superview();
            container && controller->isBeingDismissed() && !std::dynamic_pointer_cast<UIWindow>(container)) {
            for (const auto& below : container->subviews()) {
                if (below == view) break;
                drawView(cr, *below);
                // The presenter's bars stay on it while the screen above leaves.
                if (i > 0 && below == chain[i - 1]->view())
                    for (const auto& nav : navigationControllersIn(chain[i - 1]))
                        drawNavigationBar(cr, *nav);
            }
        }
        drawView(cr, *view);
        for (const auto& nav : navigationControllersIn(controller))
            drawNavigationBar(cr, *nav);
        cairo_restore(cr);
    }
    cairo_restore(cr);
}

std::optional<std::string> ScreenRenderer::writePNG(const std::string& path, double scale) {
    if (!(scale > 0) || scale > 16) return "the scale must be above 0 and at most 16";
    const CGRect screen = UIScreen::mainScreen().bounds();
    const int width = static_cast<int>(std::lround(screen.width() * scale));
    const int height = static_cast<int>(std::lround(screen.height() * scale));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    draw(cr, scale);
    cairo_destroy(cr);
    // Written beside the target and renamed, so that a failed write leaves the old picture.
    const std::string temporary = path + ".part";
    const cairo_status_t status = cairo_surface_write_to_png(surface, temporary.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::remove(temporary.c_str());
        return "cannot write " + path + ": " + cairo_status_to_string(status);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return "cannot write " + path;
    }
    return std::nullopt;
}

std::shared_ptr<UIView> ScreenRenderer::hitTest(CGPoint screenPoint) {
    auto window = UIApplication::sharedApplication().keyWindow();
    if (!window) return nullptr;
    layout();
    auto chain = presentationChain();
    if (chain.empty()) return window->hitTest(window->convertPoint_fromView(screenPoint, nullptr));
    // The front-most presentation takes every touch on the screen: what lies under it (the dimmed
    // presenter) cannot be reached.
    const auto& front = chain.back();
    if (navigationBarTouch(front, screenPoint).onBar)
        if (auto nav = std::dynamic_pointer_cast<UINavigationController>(front)) return nav->navigationBar();
    if (chain.size() > 1) {
        auto view = front->view();
        return view->hitTest(view->convertPoint_fromView(screenPoint, nullptr));
    }
    return window->hitTest(window->convertPoint_fromView(screenPoint, nullptr));
}

std::optional<CGRect> ScreenRenderer::barItemFrame(const UIBarButtonItem& item) {
    layout();
    auto chain = presentationChain();
    if (chain.empty()) return std::nullopt;
    for (const auto& nav : navigationControllersIn(chain.back())) {
        if (auto t = toolbarLayout(*nav))
            for (const auto& [shown, r] : t->items)
                if (shown.get() == &item) return r;
        auto l = navigationBarLayout(*nav);
        if (!l) continue;
        if (l->left.get() == &item) return l->leftRect;
        for (const auto& [shown, r] : l->right)
            if (shown.get() == &item) return r;
    }
    return std::nullopt;
}

std::optional<CGFloat> ScreenRenderer::toolbarTopOver(const UIView& view) {
    auto chain = presentationChain();
    if (chain.empty()) return std::nullopt;
    for (const auto& nav : navigationControllersIn(chain.back()))
        if (nav->isViewLoaded() && view.isDescendantOfView(nav->view().get()))
            if (auto t = toolbarLayout(*nav)) return t->bar.minY();
    return std::nullopt;
}

std::optional<CGRect> ScreenRenderer::backButtonFrame() {
    layout();
    auto chain = presentationChain();
    if (chain.empty()) return std::nullopt;
    for (const auto& nav : navigationControllersIn(chain.back()))
        if (auto l = navigationBarLayout(*nav); l && !l->back.empty()) return l->backRect;
    return std::nullopt;
}

namespace {
struct TouchState {
    std::weak_ptr<UIView> view;
    CGPoint began;
    bool movedPastSlop = false;
};

// The touch in progress; reset with the other shared instances.
TouchState& currentTouch() {
    static TouchState touch;
    static const bool registered = [] {
        registerSharedInstanceReset([] { currentTouch() = {}; });
        return true;
    }();
    (void)registered;
    return touch;
}
} // namespace

void ScreenRenderer::sendTouch(UITouchPhase phase, CGPoint screenPoint, double timestamp) {
    std::shared_ptr<UIView> view;
    TouchState& state = currentTouch();
    if (phase == UITouchPhase::Began) {
        // Nothing of an earlier touch carries over into a new one.
        view = hitTest(screenPoint);
        state = {view, screenPoint};
    } else {
        view = state.view.lock();
        // A finger that is not down (an end or cancel coming after its touch has ended) has no
        // travel to measure: it must not mark the next touch as dragged.
        if (!view) return;
        layout();
        if (std::hypot(screenPoint.x - state.began.x, screenPoint.y - state.began.y) > UITouch::kTapSlop)
            state.movedPastSlop = true;
    }
    if (!view) return;
    const bool dragged = state.movedPastSlop;
    if (std::dynamic_pointer_cast<UINavigationBar>(view)) {
        // A bar item is pressed when the finger lifts on the item it went down on.
        if (phase != UITouchPhase::Ended) return;
        const CGPoint began = state.began;
        state = {};
        auto chain = presentationChain();
        if (chain.empty()) return;
        auto down = navigationBarTouch(chain.back(), began);
        auto up = navigationBarTouch(chain.back(), screenPoint);
        if (down.press && up.press && !dragged) up.press();
        return;
    }
    UITouch touch{screenPoint, view, timestamp, phase, dragged};
    switch (phase) {
    case UITouchPhase::Began:
        view->touchesBegan(touch);
        break;
    case UITouchPhase::Moved:
        view->touchesMoved(touch);
        break;
    case UITouchPhase::Ended:
        state = {};
        view->touchesEnded(touch);
        break;
    case UITouchPhase::Cancelled:
        state = {};
        view->touchesCancelled(touch);
        break;
    }
}

} // namespace platform
