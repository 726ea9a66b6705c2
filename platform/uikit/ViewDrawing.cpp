// How each kind of view paints its content from its state, and how the views that take touches
// themselves (pickers, tables, text views, search bars) answer them.

#include <algorithm>
#include <cmath>

#include <cairo.h>
#include <pango/pangocairo.h>

#include "platform/foundation/FontLock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/Drawing.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/TextBlockLayout.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/TextLayoutLines.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UISearchBar.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextView.h"

namespace platform {

namespace {
NSTextAlignment resolved(NSTextAlignment alignment) {
    return alignment == NSTextAlignment::Natural ? NSTextAlignment::Left : alignment;
}

CGRect inset(const CGRect& r, CGFloat dx, CGFloat dy) {
    return {r.minX() + dx, r.minY() + dy, std::max<CGFloat>(0, r.width() - 2 * dx),
            std::max<CGFloat>(0, r.height() - 2 * dy)};
}

UIColor placeholderColor() {
    return UIColor::colorWithRed_green_blue_alpha(0.24, 0.24, 0.26, 0.3);
}

struct OneLine {
    TextLayout layout;
    CGPoint origin;
};

OneLine oneLine(const std::string& text, const TextStyle& style, const CGRect& area, std::size_t caret) {
    FontLock::Guard fonts;
    TextStyle plain = style;
    plain.numberOfLines = 0;
    OneLine line{TextDrawing::layout(text, plain, 0), {}};
    int w = 0, h = 0;
    pango_layout_get_size(line.layout.get(), &w, &h);
    const CGFloat width = static_cast<CGFloat>(w) / PANGO_SCALE,
                  height = static_cast<CGFloat>(h) / PANGO_SCALE;
    CGFloat x = area.minX();
    if (width <= area.width() - 2) {
        if (style.alignment == NSTextAlignment::Center) x = area.midX() - width / 2;
        if (style.alignment == NSTextAlignment::Right) x = area.maxX() - 2 - width;
    } else {
        const CGFloat caretX = TextLayoutLines(line.layout.get(), text).caretRect(caret).maxX();
        x = area.minX() - std::max<CGFloat>(0, caretX - (area.width() - 2));
    }
    line.origin = {x, area.midY() - height / 2};
    return line;
}

// Draws a one-line text being typed into and its caret or selection (in the view's tint), clipped to
// `area` widened by a point each side, over the height of `band`.
void drawEditingLine(cairo_t* cr, const OneLine& line, const std::string& text, const TextStyle& style,
                     const CGRect& area, const CGRect& band, NSRange range, const UIColor& tint) {
    FontLock::Guard fonts;
    cairo_save(cr);
    cairo_rectangle(cr, area.minX() - 1, band.minY(), area.width() + 2, band.height());
    cairo_clip(cr);
    if (!text.empty()) {
        TextDrawing::setColor(cr, style.color);
        cairo_move_to(cr, line.origin.x, line.origin.y);
        pango_cairo_show_layout(cr, line.layout.get());
    }
    TextLayoutLines(line.layout.get(), text)
        .drawSelection(cr, range, line.origin, tint.red, tint.green, tint.blue);
    cairo_restore(cr);
}

// The caret offset in a one-line text for a point of its view.
std::size_t offsetInLine(const OneLine& line, const std::string& text, CGPoint point) {
    return TextLayoutLines(line.layout.get(), text)
        .offsetAt({point.x - line.origin.x, point.y - line.origin.y});
}

// A magnifying glass of the search field, `size` points, centred at `c`.
void drawMagnifier(cairo_t* cr, CGPoint c, CGFloat size, const UIColor& color) {
    Drawing::setColor(cr, color);
    cairo_set_line_width(cr, size * 0.13);
    const CGFloat r = size * 0.3;
    cairo_new_path(cr);
    cairo_arc(cr, c.x - size * 0.08, c.y - size * 0.08, r, 0, 2 * M_PI);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, c.x + r * 0.62, c.y + r * 0.62);
    cairo_line_to(cr, c.x + size * 0.42, c.y + size * 0.42);
    cairo_stroke(cr);
}
} // namespace

// MARK: labels and images

void UILabel::draw(cairo_t* cr) const {
    if (text_.empty()) return;
    TextStyle style;
    style.font = font_;
    style.color = textColor_;
    style.alignment = resolved(textAlignment_);
    style.numberOfLines = numberOfLines_;
    style.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
    const CGRect b = bounds();
    if (adjustsFontSize_) {
        // Shrinks to fit the width, down to half the size, as the platform's minimum scale does.
        while (style.font.pointSize > font_.pointSize / 2 &&
               TextDrawing::measure(text_, style).width > b.width())
            style.font.pointSize -= 0.5;
    }
    // Only what fits in the bounds is drawn, as on the phone.
    TextDrawing::drawCenteredVertically(cr, text_, b, style, true);
}

void UIImageView::draw(cairo_t* cr) const {
    if (image_) Drawing::drawImage(cr, *image_, bounds(), contentMode());
}

bool UIImageView::drawFaded(cairo_t* cr, CGFloat alpha) const {
    if (image_) Drawing::drawImage(cr, *image_, bounds(), contentMode(), alpha);
    return true;
}

void UIActivityIndicatorView::draw(cairo_t* cr) const {
    const CGRect b = bounds();
    const bool large = style_ == Style::Large;
    const CGFloat outer = large ? 18 : 10, innerR = large ? 9 : 5, width = large ? 3.5 : 2.2;
    const int spokes = 8;
    const int lead =
        animating_ ? static_cast<int>(std::fmod(RunLoop::main().now() * kStepsPerSecond, spokes)) : 0;
    cairo_save(cr);
    cairo_translate(cr, b.midX(), b.midY());
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, width);
    for (int i = 0; i < spokes; ++i) {
        const double angle = -M_PI / 2 + i * 2 * M_PI / spokes;
        const int age = (lead - i + spokes) % spokes;
        Drawing::setColor(cr, UIColor::systemGrayColor(), 1.0 - age * 0.1);
        cairo_move_to(cr, std::cos(angle) * innerR, std::sin(angle) * innerR);
        cairo_line_to(cr, std::cos(angle) * outer, std::sin(angle) * outer);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

// MARK: buttons

void UIButton::draw(cairo_t* cr) const {
    const UIControlState s = state();
    const bool pressed = (s & UIControlStates::Highlighted) != 0;
    const bool disabled = (s & UIControlStates::Disabled) != 0;
    const CGRect b = bounds();
    const UIEdgeInsets in = contentEdgeInsets_;
    const CGRect content{b.minX() + in.left, b.minY() + in.top,
                         std::max<CGFloat>(0, b.width() - in.left - in.right),
                         std::max<CGFloat>(0, b.height() - in.top - in.bottom)};
    const bool system = type_ == UIButtonType::System;
    // A system button fades while pressed; a custom one darkens its pictures.
    double alpha = system && pressed ? 0.25 : 1;
    if (disabled && !system) alpha = 0.45;

    if (auto background = backgroundImageForState(s)) Drawing::drawImage(cr, *background, b, alpha);

    auto image = imageForState(s);
    auto title = titleForState(s);
    TextStyle style;
    style.font = titleLabel_ ? titleLabel_->font() : UIFont::systemFontOfSize(system ? 15 : 18);
    style.numberOfLines = 1;
    style.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
    // A title given for the disabled state says why the button is disabled: it is drawn to be
    // read (grey, not faded), unless a colour was given for it too; a custom button's white would
    // vanish on a light screen.
    const bool reason = disabled && titles_.count(UIControlStates::Disabled) &&
                        !titleColors_.count(UIControlStates::Disabled);
    if (reason)
        style.color = UIColor::systemGrayColor();
    else if (auto color = titleColorForState(s))
        style.color = *color;
    else if (system)
        style.color = disabled ? UIColor::systemGrayColor() : tintColor();
    else
        style.color = UIColor::whiteColor();

    CGSize imageSize;
    if (image) {
        imageSize = image->size();
        // Too big a picture shrinks to fit the content, keeping its shape.
        if (imageSize.width > content.width() || imageSize.height > content.height()) {
            const CGFloat f = std::min(content.width() / std::max<CGFloat>(1, imageSize.width),
                                       content.height() / std::max<CGFloat>(1, imageSize.height));
            imageSize = {imageSize.width * f, imageSize.height * f};
        }
    }
    CGSize titleSize;
    const bool hasTitle = title && !title->empty();
    if (hasTitle) {
        titleSize = TextDrawing::measure(*title, style);
        titleSize.width = std::min(titleSize.width, std::max<CGFloat>(0, content.width() - imageSize.width));
    }
    const CGFloat total = imageSize.width + titleSize.width;
    CGFloat x = content.midX() - total / 2;
    if (image && imageSize.width > 0) {
        const CGRect r{x, content.midY() - imageSize.height / 2, imageSize.width, imageSize.height};
        Drawing::drawImage(cr, *image, r, alpha);
        if (pressed && !system) {
            // The platform darkens a pressed picture where it has paint.
            cairo_save(cr);
            cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
            cairo_rectangle(cr, r.minX(), r.minY(), r.width(), r.height());
            cairo_clip(cr);
            cairo_surface_t* surface = image->surface();
            if (surface) {
                cairo_translate(cr, r.minX(), r.minY());
                cairo_scale(cr, r.width() / cairo_image_surface_get_width(surface),
                            r.height() / cairo_image_surface_get_height(surface));
                cairo_mask_surface(cr, surface, 0, 0);
            }
            cairo_restore(cr);
        }
        x += imageSize.width;
    }
    if (hasTitle) {
        if (pressed && !system) style.color = style.color.colorWithAlphaComponent(style.color.alpha * 0.5);
        const CGRect titleRect{x, content.minY(), titleSize.width + 1, content.height()};
        const double titleAlpha = reason ? 1 : system ? alpha : (disabled ? 0.45 : 1);
        cairo_save(cr);
        if (titleAlpha < 1) {
            // The title fades as one piece, where its letters overlap too. The layer is no larger
            // than the title with room for its letters' ascenders and descenders: a layer the size
            // of the whole clip costs as much as the screen.
            const CGFloat room = style.font.pointSize;
            cairo_rectangle(cr, titleRect.minX() - room, titleRect.minY() - room,
                            titleRect.width() + 2 * room, titleRect.height() + 2 * room);
            cairo_clip(cr);
            cairo_push_group(cr);
        }
        TextDrawing::drawCenteredVertically(cr, *title, titleRect, style);
        if (titleAlpha < 1) {
            cairo_pop_group_to_source(cr);
            cairo_paint_with_alpha(cr, titleAlpha);
        }
        cairo_restore(cr);
    }
}

// MARK: text

void UITextView::draw(cairo_t* cr) const {
    const CGPoint origin{inset_.left, inset_.top};
    const TextBlockLayout& layout = textLayout();
    // Only the lines in sight are laid out and drawn, above the foot band.
    const CGRect b = bounds();
    const CGFloat top = b.minY() - inset_.top, bottom = b.maxY() - footBand_ - inset_.top;
    if (footBand_ > 0) {
        cairo_rectangle(cr, b.minX(), b.minY(), b.width(), std::max<CGFloat>(0, b.height() - footBand_));
        cairo_clip(cr);
    }
    layout.draw(cr, origin, top, bottom);
    if (isFirstResponder()) {
        const UIColor tint = tintColor();
        layout.drawSelection(cr, editing_.selectedRange(), origin, top, bottom, tint.red, tint.green,
                             tint.blue);
    }
}

CGSize UITextView::contentSize() const {
    return {bounds().width(), textLayout().height() + inset_.top + inset_.bottom};
}

void UITextView::touchesBegan(const UITouch& touch) {
    selecting_ = false;
    if (!isFirstResponder() || (!selectable_ && !editable_)) return UIView::touchesBegan(touch);
    // On the focused text a press places the caret (Shift is not known to a finger), a second
    // quick press on the same place selects the word there, and a drag from it selects.
    const CGPoint p = touch.locationInView(this);
    const std::size_t offset = offsetAtPoint(p);
    selecting_ = true;
    pressText(offset, touch.locationInWindow, touch.timestamp);
}

void UITextView::touchesMoved(const UITouch& touch) {
    if (!selecting_) return UIView::touchesMoved(touch);
    placeCaret(offsetAtPoint(touch.locationInView(this)), true);
}

void UITextView::touchesEnded(const UITouch& touch) {
    if (selecting_) {
        selecting_ = false;
        return;
    }
    if (!selectable_ && !editable_) return UIView::touchesEnded(touch);
    if (touch.movedPastSlop) return;
    auto keep = self<UITextView>();
    // The caret goes where the finger lifted, taken before the focus: the keyboard coming up
    // scrolls the text to its caret, which must already be that place, not where it stood before.
    const std::size_t offset = offsetAtPoint(touch.locationInView(this));
    if (editable_ && !isFirstResponder()) {
        const NSRange before = editing_.selectedRange();
        editing_.setSelectedRange({offset, 0});
        if (!becomeFirstResponder()) {
            editing_.setSelectedRange(before);
            return;
        }
    }
    countPress(touch.locationInWindow, touch.timestamp);
    setSelectedRange({offset, 0});
    scrollCaretToVisible();
    setNeedsDisplay();
}

namespace {
TextStyle fieldStyle(const std::optional<UIFont>& font, NSTextAlignment alignment) {
    TextStyle style;
    style.font = font.value_or(UIFont::systemFontOfSize(17));
    style.alignment = resolved(alignment);
    style.numberOfLines = 1;
    return style;
}
} // namespace

void UITextField::draw(cairo_t* cr) const {
    const CGRect b = bounds();
    if (borderStyle_ == UITextBorderStyle::RoundedRect) {
        if (!backgroundColor()) Drawing::fillRoundedRectangle(cr, b, 5, UIColor::whiteColor());
        Drawing::roundedRectangle(cr, inset(b, 0.25, 0.25), 5);
        Drawing::setColor(cr, Drawing::separatorColor());
        cairo_set_line_width(cr, 0.5);
        cairo_stroke(cr);
    } else if (borderStyle_ == UITextBorderStyle::Line || borderStyle_ == UITextBorderStyle::Bezel) {
        cairo_rectangle(cr, b.minX() + 0.5, b.minY() + 0.5, b.width() - 1, b.height() - 1);
        Drawing::setColor(cr, UIColor::blackColor());
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
    const std::string& text = editing_.text();
    TextStyle style = fieldStyle(font_, textAlignment_);
    style.color = text.empty() ? placeholderColor() : textColor_.value_or(UIColor::blackColor());
    const CGRect area = inset(b, 7, 0);
    if (!isFirstResponder() || text.empty()) {
        TextDrawing::drawCenteredVertically(cr, text.empty() ? placeholder_ : text, area, style);
        if (!isFirstResponder()) return;
    }
    drawEditingLine(cr, oneLine(text, style, area, editing_.caret()), text, style, area, b,
                    editing_.selectedRange(), tintColor());
}

std::size_t UITextField::offsetAtPoint(CGPoint point) const {
    const OneLine line =
        oneLine(editing_.text(), fieldStyle(font_, textAlignment_), inset(bounds(), 7, 0), editing_.caret());
    return offsetInLine(line, editing_.text(), point);
}

void UITextField::touchesBegan(const UITouch& touch) {
    selecting_ = false;
    UIControl::touchesBegan(touch);
    if (!isFirstResponder() || !isEnabled()) return;
    const std::size_t offset = offsetAtPoint(touch.locationInView(this));
    selecting_ = true;
    pressText(offset, touch.locationInWindow, touch.timestamp);
}

void UITextField::touchesMoved(const UITouch& touch) {
    UIControl::touchesMoved(touch);
    if (selecting_) placeCaret(offsetAtPoint(touch.locationInView(this)), true);
}

void UITextField::touchesEnded(const UITouch& touch) {
    if (!isEnabled()) return UIControl::touchesEnded(touch);
    auto keep = self<UITextField>();
    UIControl::touchesEnded(touch);
    if (selecting_) {
        selecting_ = false;
        return;
    }
    if (touch.movedPastSlop) return;
    if (!isFirstResponder() && !becomeFirstResponder()) return;
    countPress(touch.locationInWindow, touch.timestamp);
    placeCaret(offsetAtPoint(touch.locationInView(this)), false);
}

// MARK: pickers

namespace {
struct PickerGeometry {
    long components = 0;
    CGFloat componentWidth = 0;
};

PickerGeometry pickerGeometry(UIPickerView& picker) {
    PickerGeometry g;
    g.components = std::max(0L, picker.numberOfComponents());
    g.componentWidth = g.components > 0 ? picker.bounds().width() / static_cast<CGFloat>(g.components) : 0;
    return g;
}

CGFloat pickerRowHeight(UIPickerView& picker, long component) {
    auto d = picker.delegate();
    const CGFloat h = d ? d->pickerView_rowHeightForComponent(picker, component) : 32;
    return h > 0 ? h : 32;
}
} // namespace

void UIPickerView::draw(cairo_t* cr) const {
    // Asking the data source and delegate changes nothing, but their interfaces take the picker
    // as it is given to the screen: mutable.
    auto& self = const_cast<UIPickerView&>(*this);
    const CGRect b = bounds();
    const PickerGeometry g = pickerGeometry(self);
    UIColor textColor = UIColor::labelColor();
    if (const KeyValue* value = valueForKeyPath("textColor"))
        if (auto color = std::any_cast<UIColor>(value)) textColor = *color;
    auto d = delegate();
    for (long component = 0; component < g.components; ++component) {
        const CGFloat rowHeight = pickerRowHeight(self, component);
        const CGRect column{b.minX() + g.componentWidth * static_cast<CGFloat>(component), b.minY(),
                            g.componentWidth, b.height()};
        const CGFloat centre = column.midY();
        // The band that marks the chosen row.
        Drawing::fillRoundedRectangle(
            cr, {column.minX() + 8, centre - rowHeight / 2, column.width() - 16, rowHeight}, 7,
            UIColor::colorWithRed_green_blue_alpha(0.46, 0.46, 0.5, 0.12));
        const long rows = self.numberOfRowsInComponent(component);
        const long selected = self.selectedRowInComponent(component);
        if (rows <= 0 || selected < 0) continue;
        const long reach = static_cast<long>(std::ceil(column.height() / 2 / rowHeight)) + 1;
        for (long row = std::max(0L, selected - reach); row <= std::min(rows - 1, selected + reach); ++row) {
            const long distance = row - selected;
            const CGRect rowRect{column.minX() + 8,
                                 centre - rowHeight / 2 + static_cast<CGFloat>(distance) * rowHeight,
                                 column.width() - 16, rowHeight};
            // The wheel turns away from the eye: rows further from the centre are fainter.
            const double fade = std::max(0.25, 1.0 - 0.35 * std::abs(static_cast<double>(distance)));
            if (d) {
                if (auto view =
                        d->pickerView_viewForRow_forComponent_reusingView(self, row, component, nullptr)) {
                    cairo_save(cr);
                    cairo_translate(cr, rowRect.minX(), rowRect.minY());
                    view->setFrame({0, 0, rowRect.width(), rowRect.height()});
                    ScreenRenderer::drawView(cr, *view);
                    cairo_restore(cr);
                    continue;
                }
            }
            TextStyle style;
            style.font = UIFont::systemFontOfSize(21);
            style.color = textColor;
            style.alignment = NSTextAlignment::Center;
            style.numberOfLines = 1;
            std::string title;
            if (d) {
                if (auto plain = d->pickerView_titleForRow_forComponent(self, row, component)) {
                    title = *plain;
                } else if (auto attributed =
                               d->pickerView_attributedTitleForRow_forComponent(self, row, component)) {
                    title = attributed->string;
                    if (attributed->foregroundColor) style.color = *attributed->foregroundColor;
                    if (attributed->font) style.font = *attributed->font;
                }
            }
            if (title.empty()) title = "?";
            style.color = style.color.colorWithAlphaComponent(style.color.alpha * fade);
            TextDrawing::drawCenteredVertically(cr, title, rowRect, style);
        }
    }
}

std::optional<std::pair<long, long>> UIPickerView::rowAtPoint(CGPoint point) {
    const PickerGeometry g = pickerGeometry(*this);
    const CGRect b = bounds();
    if (g.components <= 0 || !pointInside(point)) return std::nullopt;
    const long component =
        std::clamp(static_cast<long>((point.x - b.minX()) / g.componentWidth), 0L, g.components - 1);
    const CGFloat rowHeight = pickerRowHeight(*this, component);
    const long selected = selectedRowInComponent(component);
    if (selected < 0) return std::nullopt;
    const long distance = static_cast<long>(std::floor((point.y - b.midY()) / rowHeight + 0.5));
    const long row = selected + distance;
    if (row < 0 || row >= numberOfRowsInComponent(component)) return std::nullopt;
    return std::make_pair(row, component);
}

void UIPickerView::touchesEnded(const UITouch& touch) {
    auto keep = self<UIPickerView>();
    if (touch.movedPastSlop) return;
    auto hit = rowAtPoint(touch.locationInView(this));
    // A click on the chosen row leaves it chosen and tells nobody, as on the device.
    if (!hit || hit->first == selectedRowInComponent(hit->second)) return;
    userSelectRow(hit->first, hit->second);
    setNeedsDisplay();
}

// MARK: search bars

namespace {
struct SearchBarGeometry {
    CGRect field;
    CGRect cancel;
};

SearchBarGeometry searchBarGeometry(const UISearchBar& bar) {
    const CGRect b = bar.bounds();
    SearchBarGeometry g;
    const CGFloat cancelWidth = bar.showsCancelButton() ? 70 : 0;
    const CGFloat fieldHeight = std::min<CGFloat>(36, std::max<CGFloat>(0, b.height() - 16));
    g.field = {b.minX() + 8, b.midY() - fieldHeight / 2, std::max<CGFloat>(0, b.width() - 16 - cancelWidth),
               fieldHeight};
    g.cancel = {g.field.maxX(), b.minY(), cancelWidth + 8, b.height()};
    return g;
}
} // namespace

namespace {
TextStyle searchStyle() {
    TextStyle style;
    style.font = UIFont::systemFontOfSize(17);
    style.numberOfLines = 1;
    return style;
}

CGRect searchTextArea(const SearchBarGeometry& g) {
    return {g.field.minX() + 30, g.field.minY(), std::max<CGFloat>(0, g.field.width() - 36),
            g.field.height()};
}
} // namespace

void UISearchBar::draw(cairo_t* cr) const {
    const CGRect b = bounds();
    if (!backgroundColor()) {
        cairo_rectangle(cr, b.minX(), b.minY(), b.width(), b.height());
        Drawing::setColor(cr, Drawing::chromeBackgroundColor());
        cairo_fill(cr);
    }
    const SearchBarGeometry g = searchBarGeometry(*this);
    Drawing::fillRoundedRectangle(cr, g.field, 10,
                                  UIColor::colorWithRed_green_blue_alpha(0.46, 0.46, 0.5, 0.12));
    const UIColor grey = UIColor::colorWithRed_green_blue_alpha(0.24, 0.24, 0.26, 0.6);
    drawMagnifier(cr, {g.field.minX() + 16, g.field.midY()}, 15, grey);
    TextStyle style = searchStyle();
    const std::string& text = editing_.text();
    style.color = text.empty() ? grey : UIColor::labelColor();
    const CGRect area = searchTextArea(g);
    if (!isFirstResponder() || text.empty())
        TextDrawing::drawCenteredVertically(
            cr, text.empty() ? (placeholder_.empty() ? "Search" : placeholder_) : text, area, style);
    if (isFirstResponder()) {
        drawEditingLine(cr, oneLine(text, style, area, editing_.caret()), text, style, area, g.field,
                        editing_.selectedRange(), tintColor());
    }
    if (showsCancelButton_) {
        TextStyle cancel;
        cancel.font = UIFont::systemFontOfSize(17);
        cancel.color = tintColor();
        cancel.alignment = NSTextAlignment::Center;
        cancel.numberOfLines = 1;
        TextDrawing::drawCenteredVertically(cr, "Cancel", g.cancel, cancel);
    }
}

std::size_t UISearchBar::offsetAtPoint(CGPoint point) const {
    const OneLine line =
        oneLine(editing_.text(), searchStyle(), searchTextArea(searchBarGeometry(*this)), editing_.caret());
    return offsetInLine(line, editing_.text(), point);
}

void UISearchBar::touchesBegan(const UITouch& touch) {
    selecting_ = false;
    const CGPoint p = touch.locationInView(this);
    if (!isFirstResponder() || (showsCancelButton_ && p.x >= searchBarGeometry(*this).cancel.minX())) return;
    const std::size_t offset = offsetAtPoint(p);
    selecting_ = true;
    pressText(offset, touch.locationInWindow, touch.timestamp);
}

void UISearchBar::touchesMoved(const UITouch& touch) {
    if (selecting_) placeCaret(offsetAtPoint(touch.locationInView(this)), true);
}

void UISearchBar::touchesEnded(const UITouch& touch) {
    auto keep = self<UISearchBar>();
    const SearchBarGeometry g = searchBarGeometry(*this);
    const CGPoint p = touch.locationInView(this);
    if (selecting_) {
        selecting_ = false;
    } else if (showsCancelButton_ && p.x >= g.cancel.minX()) {
        pressCancelButton();
    } else if (isFirstResponder() || becomeFirstResponder()) {
        countPress(touch.locationInWindow, touch.timestamp);
        placeCaret(offsetAtPoint(p), false);
    }
    setNeedsDisplay();
}

// MARK: tables

void UITableViewCell::drawCell(cairo_t* cr, CGFloat revealed, CGFloat indent) const {
    const CGRect b = bounds();
    cairo_save(cr);
    cairo_translate(cr, -revealed, 0);
    UIColor background = backgroundColor().value_or(UIColor::whiteColor());
    if (background.alpha <= 0) background = UIColor::whiteColor();
    Drawing::fillRoundedRectangle(cr, b, 0, background);
    if (highlighted_ || selected_)
        Drawing::fillRoundedRectangle(cr, b, 0, UIColor::colorWithRed_green_blue_alpha(0.82, 0.82, 0.84, 1));
    // In editing mode the content moves right of the row's editing control.
    cairo_translate(cr, indent, 0);
    // What the screen put into the content view, laid out to the width left of the cell beside
    // the control.
    if (contentView_) {
        contentView_->setFrame({0, 0, std::max<CGFloat>(0, b.width() - indent), b.height()});
        contentView_->layoutIfNeeded();
        ScreenRenderer::drawView(cr, *contentView_);
    }
    CGFloat x = 16;
    if (imageView_ && imageView_->image()) {
        const CGFloat side = std::min<CGFloat>(b.height() - 8, 36);
        Drawing::drawImage(cr, *imageView_->image(), {x, b.midY() - side / 2, side, side},
                           UIViewContentMode::ScaleAspectFit);
        x += side + 12;
    }
    const CGFloat width = std::max<CGFloat>(0, b.width() - indent - x - 16);
    auto styleOf = [](const UILabel& label) {
        TextStyle s;
        s.font = label.font();
        s.color = label.textColor();
        s.alignment = resolved(label.textAlignment());
        s.numberOfLines = label.numberOfLines();
        s.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
        return s;
    };
    const bool hasDetail = detailTextLabel_ && !detailTextLabel_->text().empty();
    if (style_ == UITableViewCellStyle::Subtitle && hasDetail) {
        const TextStyle title = styleOf(*textLabel_), detail = styleOf(*detailTextLabel_);
        const CGFloat h1 = TextDrawing::measure(textLabel_->text(), title, width).height;
        const CGFloat h2 = TextDrawing::measure(detailTextLabel_->text(), detail, width).height;
        const CGFloat top = std::max<CGFloat>(2, b.midY() - (h1 + h2 + 2) / 2);
        TextDrawing::draw(cr, textLabel_->text(), {x, top, width, h1}, title);
        TextDrawing::draw(cr, detailTextLabel_->text(), {x, top + h1 + 2, width, h2}, detail);
    } else {
        TextDrawing::drawCenteredVertically(cr, textLabel_->text(), {x, b.minY(), width, b.height()},
                                            styleOf(*textLabel_));
        if (hasDetail && style_ == UITableViewCellStyle::Value1) {
            TextStyle detail = styleOf(*detailTextLabel_);
            detail.alignment = NSTextAlignment::Right;
            TextDrawing::drawCenteredVertically(cr, detailTextLabel_->text(),
                                                {x, b.minY(), width, b.height()}, detail);
        }
    }
    cairo_restore(cr);
}

void UITableView::layoutSubviews() {
    UIView::layoutSubviews();
    ensureVisibleCells();
}

std::vector<CGRect> UITableView::swipeActionRects() const {
    std::vector<CGRect> rects;
    if (!swipe_ || !swipedRow_) return rects;
    const UITableViewCell* cell = nullptr;
    for (const auto& [path, c] : visible_)
        if (path == *swipedRow_) cell = c.get();
    if (!cell) return rects;
    const CGRect row = cell->frame();
    TextStyle style;
    style.font = UIFont::systemFontOfSize(15);
    CGFloat right = bounds().width();
    // The first action sits at the right edge, the others to its left.
    for (const auto& action : swipe_->actions()) {
        const CGFloat w =
            std::max<CGFloat>(74, TextDrawing::measure(action->title().value_or(""), style).width + 30);
        rects.push_back({right - w, row.minY(), w, row.height()});
        right -= w;
    }
    return rects;
}

void UITableView::draw(cairo_t* cr) const {
    const CGRect b = bounds();
    if (!backgroundColor()) {
        cairo_rectangle(cr, b.minX(), b.minY(), b.width(), b.height());
        Drawing::setColor(cr, style_ == UITableViewStyle::Plain ? UIColor::whiteColor()
                                                                : Drawing::chromeBackgroundColor());
        cairo_fill(cr);
    }
    // Rows sit in content coordinates, moved by the scroll offset.
    cairo_save(cr);
    cairo_translate(cr, 0, b.minY() - contentOffsetY_);
    const std::vector<CGRect> actions = swipeActionRects();
    CGFloat revealed = 0;
    for (const auto& r : actions)
        revealed += r.width();
    const CGFloat hairline = Drawing::hairline(cr);
    for (const auto& [path, cell] : visible_) {
        const CGRect f = cell->frame();
        const bool swiped = swipedRow_ && *swipedRow_ == path;
        cairo_save(cr);
        cairo_translate(cr, f.minX(), f.minY());
        cairo_rectangle(cr, 0, 0, f.width(), f.height());
        cairo_clip(cr);
        const auto control = editingControlRect(path);
        cell->drawCell(cr, swiped ? revealed : 0, control ? kEditingIndent : 0);
        if (control) {
            // The red round delete control; it slides away with the row while the row asks to
            // confirm with its Delete button.
            const CGRect c{control->minX() - (swiped ? revealed : 0), control->minY() - f.minY(),
                           control->width(), control->height()};
            Drawing::fillRoundedRectangle(cr, c, c.width() / 2, UIColor::systemRedColor());
            Drawing::fillRoundedRectangle(cr, {c.midX() - 6.5, c.midY() - 1.25, 13, 2.5}, 1.25,
                                          UIColor::whiteColor());
        }
        cairo_restore(cr);
        // The separator under the row, from the text's edge (moved right of an editing control).
        const CGFloat inset =
            (cell->imageView() && cell->imageView()->image() ? 64 : 16) + (control ? kEditingIndent : 0);
        cairo_rectangle(cr, inset - (swiped ? revealed : 0), f.maxY() - hairline, f.width() - inset,
                        hairline);
        Drawing::setColor(cr, Drawing::separatorColor());
        cairo_fill(cr);
    }
    if (swipe_) {
        for (std::size_t i = 0; i < actions.size(); ++i) {
            const auto& action = swipe_->actions()[i];
            const UIColor colour = action->backgroundColor.value_or(
                action->style() == UIContextualActionStyle::Destructive ? UIColor::systemRedColor()
                                                                        : UIColor::systemGrayColor());
            const CGRect r = actions[i];
            Drawing::fillRoundedRectangle(cr, r, 0, colour);
            TextStyle style;
            style.font = UIFont::systemFontOfSize(15);
            style.color = UIColor::whiteColor();
            style.alignment = NSTextAlignment::Center;
            style.numberOfLines = 1;
            if (action->image) {
                Drawing::drawImage(cr, *action->image, {r.midX() - 12, r.midY() - 20, 24, 24},
                                   UIViewContentMode::ScaleAspectFit);
                TextDrawing::drawCenteredVertically(cr, action->title().value_or(""),
                                                    {r.minX(), r.midY() + 4, r.width(), 20}, style);
            } else {
                TextDrawing::drawCenteredVertically(cr, action->title().value_or(""), r, style);
            }
        }
    }
    cairo_restore(cr);
}

std::optional<NSIndexPath> UITableView::indexPathForRowAtPoint(CGPoint point) {
    ensureVisibleCells();
    const CGFloat y = point.y - bounds().minY() + contentOffsetY_;
    for (const auto& [path, cell] : visible_)
        if (y >= cell->frame().minY() && y < cell->frame().maxY()) return path;
    return std::nullopt;
}

void UITableView::closeSwipe() {
    swipe_.reset();
    swipedRow_.reset();
    setNeedsDisplay();
}

void UITableView::touchesBegan(const UITouch& touch) {
    touchedRow_.reset();
    if (swipe_) return;
    if (editing_ && !allowsSelectionDuringEditing) {
        touchedRow_ = indexPathForRowAtPoint(touch.locationInView(this));
        return;
    }
    const CGPoint p = touch.locationInView(this);
    touchedRow_ = indexPathForRowAtPoint(p);
    if (!touchedRow_) return;
    if (auto cell = cellForRowAtIndexPath(*touchedRow_)) {
        auto d = delegate();
        if (!d || d->tableView_shouldHighlightRowAtIndexPath(*this, *touchedRow_))
            cell->setHighlighted_animated(true, false);
    }
    setNeedsDisplay();
}

void UITableView::touchesEnded(const UITouch& touch) {
    auto keep = self<UITableView>();
    const CGPoint p = touch.locationInView(this);
    if (swipe_) {
        const auto rects = swipeActionRects();
        const CGFloat y = p.y - bounds().minY() + contentOffsetY_;
        for (std::size_t i = 0; i < rects.size(); ++i)
            if (p.x >= rects[i].minX() && p.x < rects[i].maxX() && y >= rects[i].minY() &&
                y < rects[i].maxY()) {
                userPressSwipeAction(i);
                setNeedsDisplay();
                return;
            }
        closeSwipe();
        return;
    }
    auto began = touchedRow_;
    touchedRow_.reset();
    if (editing_ && !allowsSelectionDuringEditing) {
        // Only a row's delete control takes a touch: it asks to confirm with a Delete button.
        const CGFloat y = p.y - bounds().minY() + contentOffsetY_;
        const auto row = indexPathForRowAtPoint(p);
        if (began && row && *row == *began && !touch.movedPastSlop)
            if (auto control = editingControlRect(*row))
                if (p.x >= control->minX() - 12 && p.x < control->maxX() + 12 && y >= control->minY() - 12 &&
                    y < control->maxY() + 12)
                    openDeleteConfirmation(*row);
        setNeedsDisplay();
        return;
    }
    if (began)
        if (auto cell = cellForRowAtIndexPath(*began)) cell->setHighlighted_animated(false, false);
    const auto row = indexPathForRowAtPoint(p);
    if (began && row && *row == *began && !touch.movedPastSlop) userTapRow(*row);
    setNeedsDisplay();
}

void UITableView::touchesCancelled(const UITouch&) {
    if (touchedRow_)
        if (auto cell = cellForRowAtIndexPath(*touchedRow_)) cell->setHighlighted_animated(false, false);
    touchedRow_.reset();
    setNeedsDisplay();
}

} // namespace platform
