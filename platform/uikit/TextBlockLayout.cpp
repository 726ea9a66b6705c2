#include "platform/uikit/TextBlockLayout.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <cairo.h>
#include <glib.h>
#include <pango/pangocairo.h>

#include "platform/foundation/FontLock.h"
#include "platform/uikit/TextLayoutLines.h"

namespace platform {

namespace {
std::size_t utf16Units(const char* begin, const char* end) {
    std::size_t units = 0;
    for (const char* p = begin; p < end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        units += (c & 0xC0) != 0x80;
        units += c >= 0xF0;
    }
    return units;
}

// Whether a character starts at `at`; with `withMarks`, one that is not a combining mark.
bool startsCharacter(const std::string& text, std::size_t at, bool withMarks = false) {
    if (at >= text.size()) return true;
    const auto c = static_cast<unsigned char>(text[at]);
    if ((c & 0xC0) == 0x80) return false;
    if (!withMarks || c < 0x80) return true;
    const gunichar u = g_utf8_get_char_validated(text.data() + at, static_cast<gssize>(text.size() - at));
    return u >= 0x110000 || !g_unichar_ismark(u);
}
} // namespace

void TextBlockLayout::update(const std::string& text, std::uint64_t revision, const TextStyle& style,
                             CGFloat width) {
    if (valid_ && text_ == &text && revision_ == revision && width_ == width && style_ == style) return;
    const bool sameLook = valid_ && width_ == width && style_ == style;
    text_ = &text;
    revision_ = revision;
    style_ = style;
    width_ = width;
    valid_ = true;
    if (!sameLook) {
        // What a line of this font holds, for the blocks not laid out yet.
        const std::string sample = "The quick brown fox jumps over the lazy dog. ";
        TextStyle one = style;
        one.numberOfLines = 0;
        const CGSize size = TextDrawing::measure(sample, one, 0);
        averageAdvance_ = std::max<CGFloat>(1, size.width / static_cast<CGFloat>(sample.size()));
        lineHeight_ = std::max<CGFloat>(1, size.height);
    }
    laid_.clear();
    split();
}

void TextBlockLayout::split() {
    blocks_.clear();
    tops_.clear();
    const std::string& text = *text_;
    const std::size_t size = text.size();
    // A short text is laid out whole, as it always was.
    if (size <= kBlockBytes) {
        blocks_.push_back({0, size, 0, utf16Units(text.data(), text.data() + size), 0, 0, true, {}, {}});
        return;
    }
    std::size_t start = 0, u16 = 0;
    while (start < size) {
        const std::size_t limit = std::min(size, start + kBlockBytes);
        // After the last line break of the stretch, which is not laid out: the next block begins
        // on a line of its own anyway.
        std::size_t end = limit, next = limit;
        bool broken = false;
        if (limit == size) {
            // The last stretch; its final line break leaves the empty line added below.
            if (text.back() == '\n') end = size - 1;
        } else {
            const std::size_t from = start + kBlockBytes / 4;
            if (const void* found = ::memrchr(text.data() + from, '\n', limit - from)) {
                end = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
                next = end + 1;
                broken = true;
            }
            if (!broken) {
                // A paragraph longer than a block: after a blank near the limit, else between
                // characters.
                std::size_t at = limit;
                while (at > start + kBlockBytes / 2 && text[at - 1] != ' ')
                    --at;
                if (text[at - 1] != ' ') {
                    // Never inside a character with its marks: what is shown of it is bounded,
                    // and a piece of it alone would be marks on nothing.
                    at = limit;
                    while (at > start + 1 && !startsCharacter(text, at, true))
                        --at;
                    if (at <= start + 1) {
                        at = limit;
                        while (at < size && !startsCharacter(text, at, true))
                            ++at;
                    }
                }
                end = next = at;
            }
        }
        const std::size_t units = utf16Units(text.data() + start, text.data() + end);
        // A block after a line break starts a paragraph: where its lines start is known.
        const bool starts = blocks_.empty() || blocks_.back().byteEnd < start;
        const std::size_t cuts = starts ? 0 : blocks_.back().cutsBefore + 1;
        blocks_.push_back({start, end, u16, u16 + units, start, cuts, starts, {}, {}});
        u16 += units + (next - end); // the line break between blocks is one unit
        start = next;
    }
    // A text ending in a line break has an empty last line for the caret to stand on.
    if (text.back() == '\n') blocks_.push_back({size, size, u16, u16, size, 0, true, {}, {}});
}

void TextBlockLayout::settleCut(std::size_t index) const {
    if (index == 0 || index >= blocks_.size() || blocks_[index].startSettled) return;
    // A cut follows from the one before it in its paragraph: those first, back to the paragraph's
    // start or to a cut that starts over.
    std::size_t first = index;
    while (blocks_[first].cutsBefore % kCutsFollowed != 0 && !blocks_[first - 1].startSettled)
        --first;
    for (std::size_t i = first; i <= index; ++i)
        moveCut(i);
}

void TextBlockLayout::moveCut(std::size_t index) const {
    FontLock::Guard fonts;
    Block& before = blocks_[index - 1];
    Block& after = blocks_[index];
    after.startSettled = true;
    const std::string& text = *text_;
    const std::size_t cut = after.byteStart;
    // Each cut moves less than halfway to the cuts first made beside it: blocks never meet nor
    // swap.
    const bool cutAfter = index + 1 < blocks_.size() && blocks_[index + 1].byteStart == after.byteEnd;
    const std::size_t low = before.firstCut + (cut - before.firstCut) / 2;
    const std::size_t high = cut + ((cutAfter ? blocks_[index + 1].firstCut : after.byteEnd) - cut) / 2;

    // The paragraph is laid out from where the block before starts, a line start, to a few lines
    // past the cut. Where following the lines from the paragraph's start would cost too much, from
    // a blank a block's length before the cut instead: greedy wrapping begun there has mostly
    // fallen in with the paragraph's own by the cut.
    std::size_t from = before.byteStart;
    if (after.cutsBefore % kCutsFollowed == 0) {
        from = cut > kBlockBytes ? cut - kBlockBytes : 0;
        const std::size_t farthest = from > kBlockBytes / 4 ? from - kBlockBytes / 4 : 0;
        while (from > farthest && text[from - 1] != ' ' && text[from - 1] != '\n')
            --from;
        // A word longer than all that: nothing to start from, the cut stays.
        if (from > 0 && text[from - 1] != ' ' && text[from - 1] != '\n') return;
    }
    std::size_t to = std::min(text.size(), cut + kBlockBytes / 8);
    if (const void* found = std::memchr(text.data() + cut, '\n', to - cut))
        to = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
    while (to > cut && !startsCharacter(text, to, true))
        --to;

    const ShownText shown(std::string_view(text).substr(from, to - from));
    const TextLayout window = TextDrawing::layout(shown.text(), style_, width_);
    // The line start nearest to the cut, but for the window's last line (whose words may go on
    // past it).
    std::size_t best = cut;
    std::size_t bestDistance = std::numeric_limits<std::size_t>::max();
    for (const GSList* l = pango_layout_get_lines_readonly(window.get()); l && l->next; l = l->next) {
        const auto* line = static_cast<const PangoLayoutLine*>(l->data);
        const std::size_t at = from + shown.sourceByte(static_cast<std::size_t>(line->start_index));
        const std::size_t distance = at > cut ? at - cut : cut - at;
        if (at > low && at < high && distance < bestDistance) {
            best = at;
            bestDistance = distance;
        }
    }
    // Only the two blocks' ranges change: the text between them moves from one to the other.
    if (best > cut) {
        const std::size_t units = utf16Units(text.data() + cut, text.data() + best);
        before.u16End += units;
        after.u16Start += units;
    } else {
        const std::size_t units = utf16Units(text.data() + best, text.data() + cut);
        before.u16End -= units;
        after.u16Start -= units;
    }
    before.byteEnd = after.byteStart = best;
}

std::size_t TextBlockLayout::settledBlockAtOffset(std::size_t offset) const {
    for (;;) {
        const std::size_t index = blockAtOffset(offset);
        const bool settled =
            blocks_[index].startSettled && (index + 1 >= blocks_.size() || blocks_[index + 1].startSettled);
        if (settled) return index;
        // A cut moving may hand the offset to the block beside.
        settleCut(index);
        settleCut(index + 1);
    }
}

CGFloat TextBlockLayout::estimate(const Block& block) const {
    if (block.estimate) return *block.estimate;
    // Each paragraph as many lines as its characters fill at the font's average width, at least
    // one: close for short lines, for paragraphs of a line and a half, and for long ones alike.
    // Characters are counted from bytes at the block's own rate, so that a text of megabytes is
    // estimated at the speed of finding its line breaks.
    const char* at = text_->data() + block.byteStart;
    const char* end = text_->data() + block.byteEnd;
    const CGFloat perLine = std::max<CGFloat>(1, std::floor(width_ / averageAdvance_));
    const CGFloat unitsPerByte =
        end > at ? static_cast<CGFloat>(block.u16End - block.u16Start) / static_cast<CGFloat>(end - at) : 1;
    CGFloat lines = 0;
    for (;;) {
        const auto* next =
            static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        const char* stop = next ? next : end;
        lines += std::max<CGFloat>(1, std::ceil(static_cast<CGFloat>(stop - at) * unitsPerByte / perLine));
        if (!next) break;
        at = next + 1;
    }
    block.estimate = lines * lineHeight_;
    return *block.estimate;
}

void TextBlockLayout::layOut(CGFloat from, CGFloat to) const {
    if (blocks_.empty()) return;
    std::size_t index = blockAtY(std::max<CGFloat>(0, from));
    for (CGFloat y = top(index); index < blocks_.size() && y < to; ++index) {
        laid(index);
        y = top(index) + *blocks_[index].height;
    }
}

std::size_t TextBlockLayout::laidOutCount() const {
    return static_cast<std::size_t>(
        std::count_if(blocks_.begin(), blocks_.end(), [](const Block& b) { return b.height.has_value(); }));
}

const TextBlockLayout::Laid& TextBlockLayout::laid(std::size_t index) const {
    FontLock::Guard fonts;
    for (auto it = laid_.begin(); it != laid_.end(); ++it)
        if (it->index == index) {
            laid_.splice(laid_.begin(), laid_, it);
            return laid_.front();
        }
    settleCut(index);
    settleCut(index + 1);
    Block& block = blocks_[index];
    Laid fresh;
    fresh.index = index;
    // A block ending inside a paragraph ends on a line like the others: the blanks it wrapped at
    // take no room and the caret at its end stands before them (they are not laid out), and a
    // justified one is justified too.
    const bool cutAfter = index + 1 < blocks_.size() && blocks_[index + 1].byteStart == block.byteEnd;
    fresh.bytes = block.byteEnd - block.byteStart;
    while (cutAfter && fresh.bytes > 1 && (*text_)[block.byteStart + fresh.bytes - 1] == ' ')
        --fresh.bytes;
    fresh.shown = ShownText(std::string_view(*text_).substr(block.byteStart, fresh.bytes));
    fresh.layout = TextDrawing::layout(fresh.shown.text(), style_, width_);
    if (cutAfter && style_.alignment == NSTextAlignment::Justified)
        pango_layout_set_justify_last_line(fresh.layout.get(), TRUE);
    CGFloat height = TextLayoutLines(fresh.layout.get(), fresh.shown.text()).height();
    // A block cut after a line break ends a paragraph: the space after it belongs to this block,
    // as it would inside one layout.
    if (index + 1 < blocks_.size() && blocks_[index + 1].byteStart > block.byteEnd)
        height += style_.paragraphSpacing;
    if (!block.height || *block.height != height) tops_.clear();
    block.height = height;
    laid_.push_front(std::move(fresh));
    if (laid_.size() > kKeptLayouts) laid_.pop_back();
    return laid_.front();
}

CGFloat TextBlockLayout::top(std::size_t index) const {
    if (tops_.size() != blocks_.size() + 1) {
        tops_.assign(blocks_.size() + 1, 0);
        for (std::size_t i = 0; i < blocks_.size(); ++i)
            tops_[i + 1] = tops_[i] + blocks_[i].height.value_or(estimate(blocks_[i]));
    }
    return tops_[std::min(index, blocks_.size())];
}

CGFloat TextBlockLayout::height() const {
    // A single block is measured: short texts keep their exact size.
    if (blocks_.size() == 1) laid(0);
    return top(blocks_.size());
}

std::size_t TextBlockLayout::blockAtY(CGFloat y) const {
    top(0);
    auto after = std::upper_bound(tops_.begin() + 1, tops_.end() - 1, y);
    return static_cast<std::size_t>(after - (tops_.begin() + 1));
}

std::size_t TextBlockLayout::blockAtOffset(std::size_t offset) const {
    // A place between two blocks is the start of the later one.
    auto after = std::upper_bound(blocks_.begin(), blocks_.end(), offset,
                                  [](std::size_t o, const Block& b) { return o < b.u16Start; });
    return after == blocks_.begin() ? 0 : static_cast<std::size_t>(after - blocks_.begin()) - 1;
}

std::size_t TextBlockLayout::localOffset(const Laid& laid, std::size_t offset) const {
    const Block& block = blocks_[laid.index];
    const std::string_view source =
        std::string_view(*text_).substr(block.byteStart, block.byteEnd - block.byteStart);
    const std::size_t units =
        std::min(offset - std::min(offset, block.u16Start), block.u16End - block.u16Start);
    // UTF-16 units to bytes of the block, across the gap, back to units of what is shown.
    std::size_t byte = 0, counted = 0;
    while (byte < source.size() && counted < units) {
        const auto c = static_cast<unsigned char>(source[byte]);
        const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        counted += length == 4 ? 2 : 1;
        byte += length;
    }
    const std::size_t shown = laid.shown.shownByte(std::min(byte, laid.bytes));
    const std::string& text = laid.shown.text();
    return utf16Units(text.data(), text.data() + std::min(shown, text.size()));
}

std::size_t TextBlockLayout::globalOffset(const Laid& laid, std::size_t local) const {
    const Block& block = blocks_[laid.index];
    const std::string& text = laid.shown.text();
    const std::size_t shown = byteOffsetForUtf16(text, local);
    const std::size_t byte = std::min(laid.shown.sourceByte(shown), block.byteEnd - block.byteStart);
    return block.u16Start +
           utf16Units(text_->data() + block.byteStart, text_->data() + block.byteStart + byte);
}

void TextBlockLayout::draw(cairo_t* cr, CGPoint origin, CGFloat from, CGFloat to) const {
    if (blocks_.empty()) return;
    std::size_t index = blockAtY(std::max<CGFloat>(0, from));
    CGFloat y = top(index);
    for (; index < blocks_.size() && y < to; ++index) {
        const Laid& block = laid(index);
        cairo_save(cr);
        TextDrawing::setColor(cr, style_.color);
        TextLayoutLines(block.layout.get(), block.shown.text()).drawText(cr, {origin.x, origin.y + y});
        cairo_restore(cr);
        y += *blocks_[index].height;
    }
}

void TextBlockLayout::drawSelection(cairo_t* cr, NSRange range, CGPoint origin, CGFloat from, CGFloat to,
                                    double r, double g, double b) const {
    if (blocks_.empty()) return;
    if (range.length == 0) {
        const std::size_t index = settledBlockAtOffset(range.location);
        const Laid& block = laid(index);
        const CGFloat y = top(index);
        TextLayoutLines(block.layout.get(), block.shown.text())
            .drawSelection(cr, {localOffset(block, range.location), 0}, {origin.x, origin.y + y}, r, g, b);
        return;
    }
    std::size_t index = blockAtY(std::max<CGFloat>(0, from));
    CGFloat y = top(index);
    for (; index < blocks_.size() && y < to; ++index) {
        const Laid& block = laid(index);
        const Block& span = blocks_[index];
        const std::size_t start = std::max(range.location, span.u16Start);
        // A selection going on past a block's end takes in the line break between blocks.
        const std::size_t end = std::min(range.location + range.length, span.u16End);
        if (start < end) {
            const std::size_t a = localOffset(block, start), z = localOffset(block, end);
            TextLayoutLines(block.layout.get(), block.shown.text())
                .drawSelection(cr, {a, z - a}, {origin.x, origin.y + y}, r, g, b);
        }
        y += *span.height;
    }
}

CGRect TextBlockLayout::caretRect(std::size_t offset) const {
    if (blocks_.empty()) return {-1, 0, 2, lineHeight_};
    const std::size_t index = settledBlockAtOffset(offset);
    const Laid& block = laid(index);
    const CGRect r =
        TextLayoutLines(block.layout.get(), block.shown.text()).caretRect(localOffset(block, offset));
    return {r.minX(), r.minY() + top(index), r.width(), r.height()};
}

std::size_t TextBlockLayout::offsetAt(CGPoint point) const {
    if (blocks_.empty()) return 0;
    if (point.y < 0) point.y = 0;
    for (;;) {
        const std::size_t index = blockAtY(point.y);
        const Laid& block = laid(index);
        const CGFloat y = top(index);
        // Laid out, the block may end above the point: then the point is in a later block.
        if (index + 1 < blocks_.size() && point.y >= y + *blocks_[index].height) continue;
        const std::size_t local =
            TextLayoutLines(block.layout.get(), block.shown.text()).offsetAt({point.x, point.y - y});
        return globalOffset(block, local);
    }
}

// The lines as drawn: within a block its own, and across a boundary the neighbouring block's
// first or last line.
class TextBlockLayout::Lines : public TextLines {
public:
    explicit Lines(const TextBlockLayout& layout) : layout_(layout) {}

    std::pair<std::size_t, std::size_t> lineAt(std::size_t offset) const override {
        const Laid& block = layout_.laid(layout_.settledBlockAtOffset(offset));
        auto [a, z] = lines(block).lineAt(layout_.localOffset(block, offset));
        return {layout_.globalOffset(block, a), layout_.globalOffset(block, z)};
    }
    double caretX(std::size_t offset) const override {
        const Laid& block = layout_.laid(layout_.settledBlockAtOffset(offset));
        return lines(block).caretX(layout_.localOffset(block, offset));
    }
    std::optional<std::size_t> offsetOnLine(std::size_t offset, int direction, double x) const override {
        std::size_t index = layout_.settledBlockAtOffset(offset);
        const Laid& block = layout_.laid(index);
        if (auto local = lines(block).offsetOnLine(layout_.localOffset(block, offset), direction, x))
            return layout_.globalOffset(block, *local);
        // Off the block's first or last line: the nearest line of the block beside it.
        if (direction < 0 && index > 0) {
            const Laid& before = layout_.laid(index - 1);
            const std::size_t end = utf16Length(before.shown.text());
            if (auto local = lines(before).offsetOnLine(end, 0, x))
                return layout_.globalOffset(before, *local);
        } else if (direction > 0 && index + 1 < layout_.blocks_.size()) {
            const Laid& after = layout_.laid(index + 1);
            if (auto local = lines(after).offsetOnLine(0, 0, x)) return layout_.globalOffset(after, *local);
        }
        return std::nullopt;
    }

private:
    static TextLayoutLines lines(const Laid& block) { return {block.layout.get(), block.shown.text()}; }
    const TextBlockLayout& layout_;
};

std::unique_ptr<TextLines> TextBlockLayout::lines() const {
    return std::make_unique<Lines>(*this);
}

} // namespace platform
