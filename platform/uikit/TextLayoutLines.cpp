#include "platform/uikit/TextLayoutLines.h"

#include <algorithm>

#include <cairo.h>
#include <pango/pangocairo.h>

namespace platform {

namespace {
double points(int pangoUnits) {
    return static_cast<double>(pangoUnits) / PANGO_SCALE;
}
} // namespace

int TextLayoutLines::byteIndex(std::size_t offset) const {
    return static_cast<int>(std::min(text_.size(), byteOffsetForUtf16(text_, offset)));
}

std::size_t TextLayoutLines::offsetOfByte(int byte) const {
    const auto clamped = static_cast<std::size_t>(std::clamp<int>(byte, 0, static_cast<int>(text_.size())));
    return utf16Length(text_.substr(0, clamped));
}

std::pair<std::size_t, std::size_t> TextLayoutLines::lineAt(std::size_t offset) const {
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
    int lineNumber = 0, x = 0;
    pango_layout_index_to_line_x(layout_, byteIndex(offset), FALSE, &lineNumber, &x);
    return points(x);
}

std::optional<std::size_t> TextLayoutLines::offsetOnLine(std::size_t offset, int direction, double x) const {
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
    PangoRectangle strong;
    pango_layout_get_cursor_pos(layout_, byteIndex(offset), &strong, nullptr);
    return {points(strong.x) - 1, points(strong.y), 2, std::max(1.0, points(strong.height))};
}

std::size_t TextLayoutLines::offsetAt(CGPoint point) const {
    // Below the last line is the end of the text, as a touch there puts the caret on the device.
    int width = 0, height = 0;
    pango_layout_get_size(layout_, &width, &height);
    if (point.y >= points(height)) return utf16Length(text_);
    int index = 0, trailing = 0;
    pango_layout_xy_to_index(layout_, static_cast<int>(point.x * PANGO_SCALE),
                             static_cast<int>(point.y * PANGO_SCALE), &index, &trailing);
    const char* at = text_.c_str() + std::clamp<int>(index, 0, static_cast<int>(text_.size()));
    for (int i = 0; i < trailing && *at; ++i)
        at = g_utf8_next_char(at);
    return offsetOfByte(static_cast<int>(at - text_.c_str()));
}

std::vector<CGRect> TextLayoutLines::selectionRects(NSRange range) const {
    std::vector<CGRect> out;
    const int start = byteIndex(range.location), end = byteIndex(range.location + range.length);
    if (end <= start) return out;
    PangoLayoutIter* iter = pango_layout_get_iter(layout_);
    do {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        int* ranges = nullptr;
        int count = 0;
        pango_layout_line_get_x_ranges(line, start, end, &ranges, &count);
        for (int i = 0; i < count; ++i) {
            const double x0 = points(ranges[2 * i]), x1 = points(ranges[2 * i + 1]);
            if (x1 > x0) out.push_back({x0, points(logical.y), x1 - x0, points(logical.height)});
        }
        g_free(ranges);
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
