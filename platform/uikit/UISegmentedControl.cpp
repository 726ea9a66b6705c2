#include "platform/uikit/UISegmentedControl.h"

#include <cairo.h>

#include <cmath>

#include "platform/uikit/TextDrawing.h"

namespace platform {

UISegmentedControl::UISegmentedControl(const std::vector<std::string>& items) {
    for (const auto& title : items)
        segments_.push_back({title, true});
}

std::shared_ptr<UISegmentedControl> UISegmentedControl::initWithItems(const std::vector<std::string>& items) {
    return std::make_shared<UISegmentedControl>(items);
}

std::optional<std::string> UISegmentedControl::titleForSegmentAtIndex(long index) const {
    if (!holds(index)) return std::nullopt;
    return segments_[static_cast<std::size_t>(index)].title;
}

void UISegmentedControl::setTitle_forSegmentAtIndex(std::string title, long index) {
    if (holds(index)) segments_[static_cast<std::size_t>(index)].title = std::move(title);
}

std::optional<long> UISegmentedControl::indexOfSegmentWithTitle(const std::string& title) const {
    for (long i = 0; i < numberOfSegments(); ++i)
        if (segments_[static_cast<std::size_t>(i)].title == title) return i;
    return std::nullopt;
}

void UISegmentedControl::setSelectedSegmentIndex(long index) {
    if (holds(index) || index == UISegmentedControlNoSegment) selected_ = index;
}

bool UISegmentedControl::isEnabledForSegmentAtIndex(long index) const {
    return holds(index) && segments_[static_cast<std::size_t>(index)].enabled;
}

void UISegmentedControl::setEnabled_forSegmentAtIndex(bool enabled, long index) {
    if (holds(index)) segments_[static_cast<std::size_t>(index)].enabled = enabled;
}

bool UISegmentedControl::userSelectSegment(long index) {
    if (!isEnabled() || isHiddenOnScreen() || alpha() < 0.01 || !isUserInteractionEnabled()) return false;
    if (!isEnabledForSegmentAtIndex(index)) return false;
    if (index == selected_) return true;
    selected_ = index;
    sendActionsForControlEvents(UIControlEvent::ValueChanged);
    return true;
}

std::string UISegmentedControl::stateDescription() const {
    std::string out = "segments=";
    for (long i = 0; i < numberOfSegments(); ++i) {
        const auto& segment = segments_[static_cast<std::size_t>(i)];
        out += i ? "|" : "";
        out += i == selected_ ? "[" + segment.title + "]" : segment.title;
        if (!segment.enabled) out += "(disabled)";
    }
    if (auto base = UIControl::stateDescription(); !base.empty()) out += " " + base;
    return out;
}

std::optional<long> UISegmentedControl::segmentAtPoint(CGPoint point) const {
    const CGRect b = bounds();
    if (segments_.empty() || point.x < b.minX() || point.x >= b.maxX() || point.y < b.minY() ||
        point.y >= b.maxY())
        return std::nullopt;
    const CGFloat width = b.width() / static_cast<CGFloat>(segments_.size());
    return std::min(static_cast<long>((point.x - b.minX()) / width), numberOfSegments() - 1);
}

void UISegmentedControl::touchesEnded(const UITouch& touch) {
    auto keep = self<UISegmentedControl>();
    const bool wasHighlighted = isHighlighted();
    setHighlighted(false);
    setNeedsDisplay();
    if (!wasHighlighted || touch.movedPastSlop) return;
    if (auto index = segmentAtPoint(touch.locationInView(this))) userSelectSegment(*index);
}

namespace {
void roundedRect(cairo_t* cr, const CGRect& r, double radius) {
    radius = std::min({radius, r.width() / 2, r.height() / 2});
    cairo_new_sub_path(cr);
    cairo_arc(cr, r.maxX() - radius, r.minY() + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, r.maxX() - radius, r.maxY() - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, r.minX() + radius, r.maxY() - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, r.minX() + radius, r.minY() + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}
} // namespace

void UISegmentedControl::draw(cairo_t* cr) const {
    const CGRect b = bounds();
    if (segments_.empty() || b.width() <= 0 || b.height() <= 0) return;
    cairo_save(cr);
    roundedRect(cr, b, 8);
    TextDrawing::setColor(cr, UIColor::colorWithWhite_alpha(0.46, 0.12));
    cairo_fill(cr);

    const CGFloat width = b.width() / static_cast<CGFloat>(segments_.size());
    for (long i = 0; i < numberOfSegments(); ++i) {
        const CGRect cell{b.minX() + width * static_cast<CGFloat>(i), b.minY(), width, b.height()};
        if (i == selected_) {
            roundedRect(cr, {cell.minX() + 2, cell.minY() + 2, cell.width() - 4, cell.height() - 4}, 7);
            TextDrawing::setColor(cr, UIColor::whiteColor());
            cairo_fill_preserve(cr);
            TextDrawing::setColor(cr, UIColor::colorWithWhite_alpha(0, 0.08));
            cairo_set_line_width(cr, 0.5);
            cairo_stroke(cr);
        } else if (i > 0 && i - 1 != selected_) {
            // Separators stand only between two unselected segments.
            TextDrawing::setColor(cr, UIColor::colorWithWhite_alpha(0.24, 0.3));
            cairo_rectangle(cr, cell.minX() - 0.5, cell.minY() + b.height() * 0.25, 1, b.height() * 0.5);
            cairo_fill(cr);
        }
        TextStyle style;
        style.font = i == selected_ ? UIFont::boldSystemFontOfSize(12) : UIFont::systemFontOfSize(12);
        const bool usable = isEnabled() && segments_[static_cast<std::size_t>(i)].enabled;
        style.color = usable ? UIColor::labelColor() : UIColor::colorWithWhite_alpha(0, 0.3);
        style.alignment = NSTextAlignment::Center;
        style.numberOfLines = 1;
        style.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
        TextDrawing::drawCenteredVertically(cr, segments_[static_cast<std::size_t>(i)].title,
                                            {cell.minX() + 4, cell.minY(), cell.width() - 8, cell.height()},
                                            style);
    }
    cairo_restore(cr);
}

} // namespace platform
