#include <algorithm>
#include <cmath>

#include <cairo.h>

#include "platform/uikit/Drawing.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"

namespace platform {

namespace {
constexpr CGFloat alertWidth = 270;
constexpr CGFloat alertButtonHeight = 44;
constexpr CGFloat sheetButtonHeight = 57;
constexpr CGFloat sheetMargin = 8;
constexpr CGFloat radius = 13;

bool isSheet(const UIAlertController& alert) {
    return alert.preferredStyle() == UIAlertControllerStyle::ActionSheet;
}

TextStyle titleStyle(const UIAlertController& alert) {
    TextStyle s;
    s.font = isSheet(alert) ? UIFont{".SFUI-Semibold", 13} : UIFont{".SFUI-Semibold", 17};
    s.color = isSheet(alert) ? UIColor::colorWithRed_green_blue_alpha(0.24, 0.24, 0.26, 0.6)
                             : UIColor::labelColor();
    s.alignment = NSTextAlignment::Center;
    return s;
}

TextStyle messageStyle(const UIAlertController& alert) {
    TextStyle s;
    s.font = UIFont::systemFontOfSize(13);
    s.color = isSheet(alert) ? UIColor::colorWithRed_green_blue_alpha(0.24, 0.24, 0.26, 0.6)
                             : UIColor::labelColor();
    s.alignment = NSTextAlignment::Center;
    return s;
}

TextStyle buttonStyle(const UIAlertController& alert, const UIAlertAction& action, bool preferred) {
    TextStyle s;
    const bool bold = action.style() == UIAlertActionStyle::Cancel || preferred;
    const double size = isSheet(alert) ? 20 : 17;
    s.font = bold ? UIFont{".SFUI-Semibold", size} : UIFont::systemFontOfSize(size);
    s.color = !action.isEnabled()                                 ? UIColor::systemGrayColor()
              : action.style() == UIAlertActionStyle::Destructive ? UIColor::systemRedColor()
                                                                  : UIColor::systemBlueColor();
    s.alignment = NSTextAlignment::Center;
    s.numberOfLines = 1;
    s.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
    return s;
}

UIColor boxColor() {
    return UIColor::colorWithRed_green_blue_alpha(0.96, 0.96, 0.97, 1);
}
} // namespace

UIAlertControllerView::UIAlertControllerView(std::weak_ptr<UIAlertController> controller)
    : controller_(std::move(controller)) {}

UIAlertControllerView::Layout UIAlertControllerView::layout() const {
    Layout l;
    auto alert = controller_.lock();
    if (!alert) return l;
    // Laid out on the screen; the view itself is the box (with an action sheet's cancel button).
    const CGRect b = UIScreen::mainScreen().bounds();
    const auto& actions = alert->actions();
    l.buttons.assign(actions.size(), CGRect{});
    auto window = UIApplication::sharedApplication().keyWindow();
    const UIEdgeInsets safe = window ? window->safeAreaInsets() : UIEdgeInsets{};
    const bool pad = UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiom::Pad;
    const bool sheet = isSheet(*alert);
    l.popover = sheet && pad;

    const CGFloat width = sheet ? (l.popover ? 304 : b.width() - 2 * sheetMargin) : alertWidth;
    const CGFloat textWidth = width - 32;
    CGFloat header = 0;
    CGFloat titleHeight = 0, messageHeight = 0;
    if (alert->title() && !alert->title()->empty())
        titleHeight = TextDrawing::measure(*alert->title(), titleStyle(*alert), textWidth).height;
    if (alert->message() && !alert->message()->empty())
        messageHeight = TextDrawing::measure(*alert->message(), messageStyle(*alert), textWidth).height;
    if (titleHeight + messageHeight > 0)
        header = (sheet ? 14 : 20) * 2 + titleHeight + messageHeight +
                 (titleHeight > 0 && messageHeight > 0 ? 4 : 0);

    // Which buttons go in the main box and in what order: an alert's cancel button goes first of
    // two side by side and last of a column; an action sheet's (on a phone) sits in its own box.
    std::vector<std::size_t> order;
    std::optional<std::size_t> cancel;
    for (std::size_t i = 0; i < actions.size(); ++i) {
        if (actions[i]->style() == UIAlertActionStyle::Cancel)
            cancel = i;
        else
            order.push_back(i);
    }
    const CGFloat buttonHeight = sheet ? sheetButtonHeight : alertButtonHeight;
    if (!sheet) {
        if (cancel) {
            if (actions.size() == 2)
                order.insert(order.begin(), *cancel);
            else
                order.push_back(*cancel);
        }
        bool fits = actions.size() == 2;
        for (std::size_t i : order)
            if (fits &&
                TextDrawing::measure(actions[i]->title().value_or(""),
                                     buttonStyle(*alert, *actions[i], actions[i] == alert->preferredAction()))
                        .width > alertWidth / 2 - 16)
                fits = false;
        l.sideBySide = fits;
        const CGFloat buttons =
            l.sideBySide ? buttonHeight : buttonHeight * static_cast<CGFloat>(order.size());
        const CGFloat height = header + buttons;
        l.box = {b.midX() - width / 2, b.midY() - height / 2, width, height};
    } else {
        // On a pad the cancel button is the box's last row; on a phone it has a box of its own.
        CGFloat bottom = b.maxY() - std::max<CGFloat>(safe.bottom, sheetMargin);
        if (cancel && l.popover) {
            order.push_back(*cancel);
        } else if (cancel) {
            l.cancelBox = {b.minX() + sheetMargin, bottom - buttonHeight, width, buttonHeight};
            l.buttons[*cancel] = l.cancelBox;
            bottom = l.cancelBox.minY() - sheetMargin;
        }
        CGFloat height = header + buttonHeight * static_cast<CGFloat>(order.size());
        const CGFloat top = b.minY() + safe.top + sheetMargin;
        // Too many actions for the screen: the box reaches up to the status bar and its content
        // scrolls inside it.
        l.overflow = std::max<CGFloat>(0, height - (bottom - top));
        height = std::min(height, bottom - top);
        if (l.popover) {
            l.box = {b.midX() - width / 2, b.midY() - height / 2, width, height};
        } else {
            l.box = {b.minX() + sheetMargin, bottom - height, width, height};
        }
    }
    const CGFloat scrolled = std::clamp(scroll_, CGFloat(0), l.overflow);
    const CGFloat textTop = l.box.minY() + (sheet ? 14 : 20) - scrolled;
    l.title = {l.box.minX() + 16, textTop, textWidth, titleHeight};
    l.message = {l.box.minX() + 16, textTop + titleHeight + (titleHeight > 0 ? 4 : 0), textWidth,
                 messageHeight};
    CGFloat y = l.box.minY() + header - scrolled;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (l.sideBySide)
            l.buttons[order[k]] = {l.box.minX() + static_cast<CGFloat>(k) * width / 2, y, width / 2,
                                   buttonHeight};
        else
            l.buttons[order[k]] = {l.box.minX(), y + static_cast<CGFloat>(k) * buttonHeight, width,
                                   buttonHeight};
    }
    return l;
}

CGRect UIAlertControllerView::chromeFrame() const {
    const Layout l = layout();
    CGRect r = l.box;
    if (l.cancelBox.width() > 0) r = {r.minX(), r.minY(), r.width(), l.cancelBox.maxY() - r.minY()};
    return r;
}

void UIAlertControllerView::layoutSubviews() {
    const CGRect r = chromeFrame();
    if (!(r == frame())) setFrame(r);
    UIView::layoutSubviews();
}

long UIAlertControllerView::actionAtPoint(CGPoint local) const {
    const CGPoint p{local.x + frame().minX(), local.y + frame().minY()};
    const Layout l = layout();
    for (std::size_t i = 0; i < l.buttons.size(); ++i) {
        const CGRect& r = l.buttons[i];
        const bool inBox = (p.y >= l.box.minY() && p.y < l.box.maxY()) || r == l.cancelBox;
        if (inBox && p.x >= r.minX() && p.x < r.maxX() && p.y >= r.minY() && p.y < r.maxY())
            return static_cast<long>(i);
    }
    return -1;
}

void UIAlertControllerView::draw(cairo_t* cr) const {
    auto alert = controller_.lock();
    if (!alert) return;
    const Layout l = layout();
    cairo_save(cr);
    cairo_translate(cr, -frame().minX(), -frame().minY());
    cairo_save(cr);
    // A shadow under a popover box lifts it from the screen.
    if (l.popover)
        Drawing::fillRoundedRectangle(cr, {l.box.minX(), l.box.minY() + 3, l.box.width(), l.box.height()},
                                      radius, UIColor::colorWithWhite_alpha(0, 0.15));
    Drawing::fillRoundedRectangle(cr, l.box, radius, boxColor());
    Drawing::roundedRectangle(cr, l.box, radius);
    cairo_clip(cr);
    if (alert->title() && !alert->title()->empty())
        TextDrawing::draw(cr, *alert->title(), l.title, titleStyle(*alert));
    if (alert->message() && !alert->message()->empty())
        TextDrawing::draw(cr, *alert->message(), l.message, messageStyle(*alert));
    const CGFloat hairline = Drawing::hairline(cr);
    const auto& actions = alert->actions();
    for (std::size_t i = 0; i < actions.size(); ++i) {
        const CGRect r = l.buttons[i];
        if (r.width() <= 0 || r == l.cancelBox) continue;
        if (static_cast<long>(i) == pressed_)
            Drawing::fillRoundedRectangle(cr, r, 0, UIColor::colorWithWhite_alpha(0, 0.08));
        // The line above each button, and between two side by side.
        Drawing::setColor(cr, Drawing::separatorColor());
        cairo_rectangle(cr, r.minX(), r.minY(), r.width(), hairline);
        if (l.sideBySide && r.minX() > l.box.minX())
            cairo_rectangle(cr, r.minX(), r.minY(), hairline, r.height());
        cairo_fill(cr);
        TextDrawing::drawCenteredVertically(
            cr, actions[i]->title().value_or(""), {r.minX() + 8, r.minY(), r.width() - 16, r.height()},
            buttonStyle(*alert, *actions[i], actions[i] == alert->preferredAction()));
    }
    cairo_restore(cr);
    if (l.cancelBox.width() > 0) {
        for (std::size_t i = 0; i < actions.size(); ++i) {
            if (!(l.buttons[i] == l.cancelBox)) continue;
            Drawing::fillRoundedRectangle(cr, l.cancelBox, radius, UIColor::whiteColor());
            if (static_cast<long>(i) == pressed_)
                Drawing::fillRoundedRectangle(cr, l.cancelBox, radius,
                                              UIColor::colorWithWhite_alpha(0, 0.08));
            TextDrawing::drawCenteredVertically(cr, actions[i]->title().value_or(""), l.cancelBox,
                                                buttonStyle(*alert, *actions[i], false));
        }
    }
    cairo_restore(cr);
}

CGFloat UIAlertControllerView::dimming() const {
    auto alert = controller_.lock();
    if (!alert) return 0;
    const bool pad = UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiom::Pad;
    return isSheet(*alert) && !pad ? 0.4 : 0.2;
}

void UIAlertControllerView::scrollBy(CGFloat dy) {
    scroll_ = std::clamp(scroll_ + dy, CGFloat(0), layout().overflow);
    setNeedsDisplay();
}

void UIAlertControllerView::touchesBegan(const UITouch& touch) {
    pressed_ = actionAtPoint(touch.locationInView(this));
    dragFrom_ = touch.locationInWindow.y;
    dragScroll_ = scroll_;
    dragging_ = false;
    setNeedsDisplay();
}

void UIAlertControllerView::touchesMoved(const UITouch& touch) {
    // A box taller than the screen scrolls under a finger that moves more than a little; the
    // button it went down on is then not pressed.
    const CGFloat moved = dragFrom_ - touch.locationInWindow.y;
    if (layout().overflow > 0 && (dragging_ || std::abs(moved) > 8)) {
        dragging_ = true;
        pressed_ = -1;
        scroll_ = std::clamp(dragScroll_ + moved, CGFloat(0), layout().overflow);
        setNeedsDisplay();
        return;
    }
    const long now = actionAtPoint(touch.locationInView(this));
    // Sliding across the buttons moves the highlight, as on the device.
    if (pressed_ >= 0 || now >= 0) {
        pressed_ = now;
        setNeedsDisplay();
    }
}

void UIAlertControllerView::touchesEnded(const UITouch& touch) {
    auto keep = self<UIAlertControllerView>();
    const long at = dragging_ ? -1 : actionAtPoint(touch.locationInView(this));
    dragging_ = false;
    pressed_ = -1;
    setNeedsDisplay();
    auto alert = controller_.lock();
    if (!alert) return;
    if (at < 0) return;
    auto action = alert->actions()[static_cast<std::size_t>(at)];
    // The very action under the finger, even when another has the same title.
    if (action->isEnabled()) alert->pressAction(action);
}

void UIAlertControllerView::touchesCancelled(const UITouch&) {
    pressed_ = -1;
    setNeedsDisplay();
}

} // namespace platform
