#include "platform/uikit/TextLayoutLines.h"

#include <algorithm>

#include <cairo.h>
#include <pango/pangocairo.h>

#include "platform/foundation/FontLock.h"

namespace platform {

namespace {
double points(int pangoUnits) {
    return static_cast<double>(pangoUnits) / PANGO_SCALE;
}

struct Spacing {
    double lineHeightMultiple;
    double paragraphSpacing;
};

GQuark spacingKey() {
    static const GQuark key = g_quark_from_static_string("quillora-paragraph-spacing");
    return key;
}
} // namespace

void TextLayoutLines::setSpacing(PangoLayout* layout, double lineHeightMultiple, double paragraphSpacing) {
    if ((lineHeightMultiple <= 0 || lineHeightMultiple == 1) && paragraphSpacing == 0) {
        g_object_set_qdata(G_OBJECT(layout), spacingKey(), nullptr);
        return;
    }
    auto* spacing = g_new(Spacing, 1);
    *spacing = {lineHeightMultiple > 0 ? lineHeightMultiple : 1, paragraphSpacing};
    g_object_set_qdata_full(G_OBJECT(layout), spacingKey(), spacing, g_free);
}

TextLayoutLines::TextLayoutLines(PangoLayout* layout, const std::string& text)
    : layout_(layout), text_(text) {
    FontLock::Guard fonts;
    const auto* spacing = static_cast<const Spacing*>(g_object_get_qdata(G_OBJECT(layout_), spacingKey()));
    if (!spacing) return;
    // Each line owns a band its height times the multiple tall, its letters at the band's
    // bottom; a paragraph's spacing follows the band of its last line.
    multiple_ = spacing->lineHeightMultiple;
    double top = 0;
    PangoLayoutIter* iter = pango_layout_get_iter(layout_);
    do {
        const PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        const double y = points(logical.y), h = points(logical.height);
        if (!bandTops_.empty() && line->is_paragraph_start) top += spacing->paragraphSpacing;
        bandTops_.push_back(top);
        pangoTops_.push_back(y);
        pangoHeights_.push_back(h);
        shifts_.push_back(top + (multiple_ - 1) * h - y);
        top += multiple_ * h;
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    height_ = top;
}

double TextLayoutLines::height() const {
    FontLock::Guard fonts;
    if (!shifts_.empty()) return height_;
    int width = 0, height = 0;
    pango_layout_get_size(layout_, &width, &height);
    return points(height);
}

int TextLayoutLines::lineOfByte(int byte) const {
    FontLock::Guard fonts;
    int lineNumber = 0, x = 0;
    pango_layout_index_to_line_x(layout_, byte, FALSE, &lineNumber, &x);
    return std::clamp(lineNumber, 0, std::max(0, pango_layout_get_line_count(layout_) - 1));
}

void TextLayoutLines::drawText(cairo_t* cr, CGPoint origin) const {
    FontLock::Guard fonts;
    cairo_save(cr);
    if (shifts_.empty()) {
        cairo_move_to(cr, origin.x, origin.y);
        pango_cairo_show_layout(cr, layout_);
        cairo_restore(cr);
        return;
    }
    // Line by line, each where its band puts it; lines far outside the clip are not shaped into
    // the surface at all.
    double clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
    cairo_clip_extents(cr, &clipLeft, &clipTop, &clipRight, &clipBottom);
    PangoLayoutIter* iter = pango_layout_get_iter(layout_);
    std::size_t i = 0;
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        const double top = origin.y + points(logical.y) + shifts_[i], h = points(logical.height);
        // Letters may reach past their line (accents, emoji): a line's height of margin.
        if (top + 2 * h >= clipTop && top - h <= clipBottom) {
            cairo_move_to(cr, origin.x + points(logical.x),
                          origin.y + points(pango_layout_iter_get_baseline(iter)) + shifts_[i]);
            pango_cairo_show_layout_line(cr, pango_layout_iter_get_line_readonly(iter));
        }
        ++i;
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    cairo_restore(cr);
}

int TextLayoutLines::byteIndex(std::size_t offset) const {
    return static_cast<int>(std::min(text_.size(), byteOffsetForUtf16(text_, offset)));
}

std::size_t TextLayoutLines::offsetOfByte(int byte) const {
    const auto clamped = static_cast<std::size_t>(std::clamp<int>(byte, 0, static_cast<int>(text_.size())));
    return utf16Length(text_.substr(0, clamped));
}

std::pair<std::size_t, std::size_t> TextLayoutLines::lineAt(std::size_t offset) const {
    FontLock::Guard fonts;
    int lineNumber = 0, x = 0;
    pango_layout_index_to_line_x(layout_, byteIndex(offset), FALSE, &lineNumber, &x);
    PangoLayoutLine* line = pango_layout_get_line_readonly(layout_, lineNumber);
    if (!line) return {offset, offset};
    int end = line->start_index + line->length;
    // A line that wrapped ends before the blank it wrapped at: after it the caret would stand at
    // the start of the next line.
    const int lines = pango_layout_get_line_count(layout_);
    if (lineNumber + 1 < lines && end > line->start_index && end <= static_cast<int>(text_.size()) &&
        text_[static_cast<std::size_t>(end) - 1] != '\n') {
        PangoLayoutLine* next = pango_layout_get_line_readonly(layout_, lineNumber + 1);
        if (next && next->start_index == end) {
            const char* at = g_utf8_find_prev_char(text_.c_str(), text_.c_str() + end);
            if (at) end = static_cast<int>(at - text_.c_str());
        }
    }
    return {offsetOfByte(line->start_index), offsetOfByte(end)};
}

double TextLayoutLines::caretX(std::size_t offset) const {
    FontLock::Guard fonts;
    int lineNumber = 0, x = 0;
    pango_layout_index_to_line_x(layout_, byteIndex(offset), FALSE, &lineNumber, &x);
    return points(x);
}

std::optional<std::size_t> TextLayoutLines::offsetOnLine(std::size_t offset, int direction, double x) const {
    FontLock::Guard fonts;
    int lineNumber = 0, lineX = 0;
    pango_layout_index_to_line_x(layout_, byteIndex(offset), FALSE, &lineNumber, &lineX);
    const int target = lineNumber + direction;
    if (target < 0 || target >= pango_layout_get_line_count(layout_)) return std::nullopt;
    PangoLayoutLine* line = pango_layout_get_line_readonly(layout_, target);
    if (!line) return std::nullopt;
    int index = 0, trailing = 0;
    pango_layout_line_x_to_index(line, static_cast<int>(x * PANGO_SCALE), &index, &trailing);
    const char* at = text_.c_str() + std::clamp<int>(index, 0, static_cast<int>(text_.size()));
    for (int i = 0; i < trailing && *at; ++i)
        at = g_utf8_next_char(at);
    const std::size_t found = offsetOfByte(static_cast<int>(at - text_.c_str()));
    // Past the end of a wrapped line is the start of the next one: stay on the line aimed at.
    return std::min(found, lineAt(offsetOfByte(line->start_index)).second);
}

CGRect TextLayoutLines::caretRect(std::size_t offset) const {
    FontLock::Guard fonts;
    PangoRectangle strong;
    const int byte = byteIndex(offset);
    pango_layout_get_cursor_pos(layout_, byte, &strong, nullptr);
    const double y = points(strong.y) + (shifts_.empty() ? 0 : shift(lineOfByte(byte)));
    return {points(strong.x) - 1, y, 2, std::max(1.0, points(strong.height))};
}

std::size_t TextLayoutLines::offsetAt(CGPoint point) const {
    FontLock::Guard fonts;
    // Below the last line is the end of the text, as a touch there puts the caret on the device.
    if (point.y >= height()) return utf16Length(text_);
    double y = point.y;
    if (!shifts_.empty()) {
        // The line whose band holds the point, then a point within the line as pango placed it.
        const auto above = std::upper_bound(bandTops_.begin(), bandTops_.end(), y);
        const std::size_t line =
            above == bandTops_.begin() ? 0 : static_cast<std::size_t>(above - bandTops_.begin()) - 1;
        y = std::clamp(y - shifts_[line], pangoTops_[line],
                       pangoTops_[line] + std::max(0.0, pangoHeights_[line] - 1.0 / PANGO_SCALE));
    }
    int index = 0, trailing = 0;
    pango_layout_xy_to_index(layout_, static_cast<int>(point.x * PANGO_SCALE),
                             static_cast<int>(y * PANGO_SCALE), &index, &trailing);
    const char* at = text_.c_str() + std::clamp<int>(index, 0, static_cast<int>(text_.size()));
    for (int i = 0; i < trailing && *at; ++i)
        at = g_utf8_next_char(at);
    return offsetOfByte(static_cast<int>(at - text_.c_str()));
}

std::vector<CGRect> TextLayoutLines::selectionRects(NSRange range) const {
    FontLock::Guard fonts;
    std::vector<CGRect> out;
    const int start = byteIndex(range.location), end = byteIndex(range.location + range.length);
    if (end <= start) return out;
    PangoLayoutIter* iter = pango_layout_get_iter(layout_);
    GSList* next = pango_layout_get_lines_readonly(layout_);
    std::size_t lineNumber = 0;
    do {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
        next = next ? next->next : nullptr;
        // Pango stretches a range that begins after a line to the line's trailing edge, and one
        // that ends before it from its leading edge: only the lines the selection reaches are
        // asked. A wrapped line ends where the next one starts, and a selection from there does
        // not cover it; a paragraph's last line ends at its line break, which such a one does.
        const int lineStart = line->start_index, lineEnd = line->start_index + line->length;
        const bool wraps = next && static_cast<PangoLayoutLine*>(next->data)->start_index == lineEnd;
        if (lineStart >= end || lineEnd < start || (wraps && lineEnd == start)) {
            ++lineNumber;
            continue;
        }
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        // With spacing the selection covers the line's band, not the paragraph's gap after it.
        const double top = shifts_.empty() ? points(logical.y) : bandTops_[lineNumber];
        const double height = points(logical.height) * (shifts_.empty() ? 1 : multiple_);
        int* ranges = nullptr;
        int count = 0;
        pango_layout_line_get_x_ranges(line, start, end, &ranges, &count);
        for (int i = 0; i < count; ++i) {
            const double x0 = points(ranges[2 * i]), x1 = points(ranges[2 * i + 1]);
            if (x1 > x0) out.push_back({x0, top, x1 - x0, height});
        }
        g_free(ranges);
        ++lineNumber;
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    return out;
}

void TextLayoutLines::drawSelection(cairo_t* cr, NSRange range, CGPoint origin, double r, double g,
                                    double b) const {
    cairo_save(cr);
    if (range.length == 0) {
        const CGRect caret = caretRect(range.location);
        cairo_set_source_rgb(cr, r, g, b);
        cairo_rectangle(cr, origin.x + caret.minX(), origin.y + caret.minY(), caret.width(), caret.height());
    } else {
        cairo_set_source_rgba(cr, r, g, b, 0.25);
        for (const CGRect& rect : selectionRects(range))
            cairo_rectangle(cr, origin.x + rect.minX(), origin.y + rect.minY(), rect.width(), rect.height());
    }
    cairo_fill(cr);
    cairo_restore(cr);
}

} // namespace platform
