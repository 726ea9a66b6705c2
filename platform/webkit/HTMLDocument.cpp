#include "platform/webkit/HTMLDocument.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <limits>
#include <optional>
#include <sstream>
#include <strings.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

#include <unicode/ubidi.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include "platform/foundation/FontLock.h"
#include "platform/webkit/HTMLContainer.h"
#include "platform/webkit/HTMLLongText.h"
#include "platform/webkit/PDFWriter.h"

// After litehtml.h, which they need before them.
#include <el_space.h>
#include <el_text.h>

namespace platform {

namespace {

// A thread that lays out pieces of a long text beside the one drawing it runs below the usual
// priority: there are as many of them as cores, and the window's thread and the display server
// must get a core within a frame when they wake. On an idle machine they run as fast as before.
void becomeLayoutHelper() {
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
}

constexpr double kPxPerPt = 1.0 / HTMLDocument::kPointsPerPixel;
// A page this many lines long with no cut clear of their ink is not a page of tall lines but of
// lines whose letters reach into each other all the way down.
constexpr int kLinesReachingAcross = 12;

int toPx(double points) {
    return static_cast<int>(std::floor(points * kPxPerPt + 1e-6));
}

// Parsed once: the engine only reads it.
litehtml::context& sharedContext() {
    static litehtml::context* context = [] {
        auto* c = new litehtml::context;
        c->load_master_stylesheet(htmlMasterStylesheet());
        return c;
    }();
    return *context;
}

using Element = litehtml::element::ptr;

std::string styleOf(const Element& el, const char* name, bool inherited) {
    const char* value = el->get_style_property(name, inherited, nullptr);
    std::string out = value ? value : "";
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

template <typename Visit> void forEachElement(const Element& el, Visit&& visit) {
    if (!el || !visit(el)) return;
    for (std::size_t i = 0; i < el->get_children_count(); ++i)
        forEachElement(el->get_child(static_cast<int>(i)), visit);
}

bool isWord(const Element& el) {
    return dynamic_cast<litehtml::el_text*>(el.get()) && !dynamic_cast<litehtml::el_space*>(el.get()) &&
           !el->is_white_space();
}

// The width a word must fit in: its block's content width; inside a table cell, which grows with
// its widest word, the share of the table that the cell asks for (a browser keeps it once words
// may break anywhere), or the column when it asks for none.
int roomFor(const Element& word, int columnWidth) {
    int blockWidth = 0;
    for (auto box = word->parent(); box; box = box->parent()) {
        const auto display = box->get_display();
        if (display == litehtml::display_table_cell) {
            const auto width = box->get_css_width();
            if (width.is_predefined() || width.units() != litehtml::css_units_percentage) return columnWidth;
            for (auto table = box->parent(); table; table = table->parent()) {
                if (table->get_display() != litehtml::display_table) continue;
                // A table grown past its container by a long word counts at its container's width.
                int tableWidth = table->get_position().width;
                if (auto around = table->parent())
                    tableWidth = std::min(tableWidth, around->get_position().width);
                const int share = static_cast<int>(tableWidth * width.val() / 100.0) - box->padding_left() -
                                  box->padding_right() - box->border_left() - box->border_right();
                return std::max(1, std::min(columnWidth, share));
            }
            return columnWidth;
        }
        if (blockWidth == 0 &&
            (display == litehtml::display_block || display == litehtml::display_list_item ||
             display == litehtml::display_inline_block))
            blockWidth = std::max(1, box->get_position().width);
    }
    return blockWidth > 0 ? std::min(blockWidth, columnWidth) : columnWidth;
}

std::vector<std::string> graphemes(const std::string& text) {
    const int chars = static_cast<int>(g_utf8_strlen(text.c_str(), -1));
    std::vector<PangoLogAttr> attrs(static_cast<std::size_t>(chars) + 1);
    pango_get_log_attrs(text.c_str(), static_cast<int>(text.size()), -1, pango_language_get_default(),
                        attrs.data(), chars + 1);
    std::vector<std::string> pieces;
    const char* start = text.c_str();
    const char* at = start;
    for (int i = 0; i < chars; ++i) {
        const char* next = g_utf8_next_char(at);
        if (i > 0 && attrs[static_cast<std::size_t>(i)].is_cursor_position) {
            pieces.emplace_back(start, at);
            start = at;
        }
        at = next;
    }
    if (at > start) pieces.emplace_back(start, at);
    return pieces;
}

// Where a reader expects an address, a path or a link to go on on the next line, as style guides
// break them: after "@", "//" (a scheme's), a ":" not before one and a hyphen; before a "/" of a
// path, a "." and the other separators of names and queries. A break that parts an address from
// its domain or a path at a folder ranks above one inside a name. By the characters of a word as
// seen (`pieces`): at i, the rank of a break before piece i (0 for none, 1 the strongest).
std::vector<int> addressBreaks(const std::vector<std::string>& pieces) {
    // Only characters of one byte part the names of an address: the others count as letters.
    std::vector<char> c(pieces.size() + 1, 0);
    for (std::size_t i = 0; i < pieces.size(); ++i)
        if (pieces[i].size() == 1) c[i] = pieces[i][0];
    std::vector<int> ranks(pieces.size(), 0);
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        const char here = c[i], before = c[i - 1], after = c[i + 1];
        if (before == '@' || (before == '/' && i >= 2 && c[i - 2] == '/'))
            ranks[i] = 1;
        else if (here == '/' && before != '/' && before != ':' && after != '/')
            ranks[i] = 1;
        else if (here == '?' || here == '#')
            ranks[i] = 1;
        else if ((before == ':' && here != '/') || before == '-')
            ranks[i] = 2;
        else if (here != 0 && here != before && std::strchr("._~%,&=", here))
            ranks[i] = 2;
    }
    return ranks;
}

// The fewest characters a line holds of a word broken over lines: a letter or two alone on a
// line reads as a stray mark, not as the word's end.
constexpr std::size_t kFewestOnALine = 3;

// `pieces` (the characters of a word) joined into runs each as wide as fits in `room` pixels in
// `font` once cased as `transform` says: a line's worth each, ending where an address or a path
// breaks (the strongest break that fits, the last one of its rank) and only where none fits cut
// between two characters. No run but a word's only one holds fewer than kFewestOnALine characters.
// Each run is measured whole, as it is drawn; its length is first guessed from the word's average
// width, then found by doubling and halving from there, so a word costs a few measures a line.
std::vector<std::string> lineLengths(const std::vector<std::string>& pieces, double averageWidth, int room,
                                     HTMLContainer& container, litehtml::uint_ptr font,
                                     litehtml::text_transform transform) {
    std::vector<std::string> lines;
    // The places a line may start at, by rank.
    std::vector<std::size_t> breaksOfRank[2];
    const auto ranks = addressBreaks(pieces);
    for (std::size_t i = kFewestOnALine; i + kFewestOnALine <= pieces.size(); ++i)
        if (ranks[i] > 0) breaksOfRank[ranks[i] - 1].push_back(i);
    std::size_t from = 0;
    std::string run;
    const auto join = [&](std::size_t count) -> const std::string& {
        run.clear();
        for (std::size_t i = from; i < from + count; ++i)
            run += pieces[i];
        return run;
    };
    const auto fits = [&](std::size_t count) {
        litehtml::tstring shown = join(count);
        container.transform_text(shown, transform);
        return container.text_width(shown.c_str(), font) <= room;
    };
    while (from < pieces.size()) {
        const std::size_t left = pieces.size() - from;
        // `most` fits (or is the one character that must go on the line anyway), `tooMany` does not
        // (or is more than there are).
        std::size_t most = 1, tooMany = left + 1;
        const double guess = averageWidth > 0 ? room / averageWidth : 1;
        const std::size_t start = static_cast<std::size_t>(std::clamp(guess, 1.0, static_cast<double>(left)));
        if (fits(start)) {
            most = start;
            for (std::size_t step = 1; most < left; step *= 2) {
                const std::size_t next = std::min(left, most + step);
                if (!fits(next)) {
                    tooMany = next;
                    break;
                }
                most = next;
            }
        } else {
            tooMany = start;
            for (std::size_t step = 1; tooMany > 1; step *= 2) {
                const std::size_t next = tooMany > step ? tooMany - step : 1;
                if (fits(next)) {
                    most = next;
                    break;
                }
                tooMany = next;
            }
        }
        while (tooMany - most > 1) {
            const std::size_t middle = most + (tooMany - most) / 2;
            (fits(middle) ? most : tooMany) = middle;
        }
        std::size_t count = most;
        if (most < left) {
            std::optional<std::size_t> end;
            for (const auto& breaks : breaksOfRank) {
                auto after = std::upper_bound(breaks.begin(), breaks.end(), from + most);
                if (after != breaks.begin() && *std::prev(after) >= from + kFewestOnALine) {
                    end = *std::prev(after);
                    break;
                }
            }
            if (end)
                count = *end - from;
            else if (left < 2 * kFewestOnALine)
                count = left; // too few to make two lines of
            else
                count = std::clamp(most, kFewestOnALine, left - kFewestOnALine);
        }
        lines.push_back(join(count));
        from += count;
    }
    return lines;
}

// litehtml 0.6 knows no overflow-wrap: a word wider than its box runs out of it, off the page.
// Where the page allows breaking anywhere, such a word is cut into pieces as wide as its box,
// each of which then takes a line, as a browser breaks it. Words that fit are left whole, so
// their shaping and kerning are untouched. A word wider than its box is broken first; only when
// none is left are words broken that a widened table pushes past the column's edge, into one
// piece per character (grapheme cluster), which lines may break between like ideographs, so that
// the table may narrow: the long ones first (`pass` 1), which usually narrows the table enough,
// then any (`pass` 2). True when anything changed.
bool breakOverflowingWords(litehtml::document& document, HTMLContainer& container, int columnWidth,
                           int pass) {
    // A word's room, and the pixel that rounding a table's shares may have taken from it.
    const auto widest = [columnWidth](const Element& word) { return roomFor(word, columnWidth) + 1; };
    std::vector<Element> overflowing;
    // Words sit in crowds under one parent: its style is read once for all of them.
    const litehtml::element* lastParent = nullptr;
    bool mayBreak = false;
    forEachElement(document.root(), [&](const Element& el) {
        if (!el->is_visible()) return false;
        if (!isWord(el)) return true;
        const auto parent = el->parent();
        if (!parent) return false;
        if (parent.get() != lastParent) {
            lastParent = parent.get();
            const std::string wrap = styleOf(parent, "overflow-wrap", true);
            mayBreak = wrap == "anywhere" || wrap == "break-word" ||
                       styleOf(parent, "word-wrap", true) == "break-word";
        }
        if (!mayBreak) return false;
        const auto at = el->get_placement();
        const bool overflows =
            pass == 0 ? at.width > widest(el)
                      : at.right() > columnWidth + 1 && (pass == 2 || at.width > columnWidth / 4);
        if (overflows) overflowing.push_back(el);
        return false;
    });
    // Each parent's children are laid out anew once, with every broken word of theirs in pieces:
    // a block of many words, several of them broken, costs its length, not its length for each.
    bool changed = false;
    for (auto first = overflowing.begin(); first != overflowing.end();) {
        const auto parent = std::dynamic_pointer_cast<litehtml::html_tag>((*first)->parent());
        auto last = first;
        while (last != overflowing.end() && (*last)->parent() == parent)
            ++last;
        if (!parent) {
            first = last;
            continue;
        }
        std::unordered_set<const litehtml::element*> broken;
        for (auto it = first; it != last; ++it)
            broken.insert(it->get());
        first = last;
        litehtml::elements_vector children;
        children.swap(parent->children());
        parent->children().reserve(children.size());
        for (const auto& child : children) {
            std::vector<std::string> pieces;
            if (broken.count(child.get())) {
                litehtml::tstring text;
                child->get_text(text);
                pieces = graphemes(text);
                if (pass == 0 && pieces.size() > 1)
                    pieces = lineLengths(pieces, double(child->get_placement().width) / pieces.size(),
                                         widest(child), container, child->get_font(),
                                         static_cast<litehtml::text_transform>(litehtml::value_index(
                                             styleOf(parent, "text-transform", true), text_transform_strings,
                                             litehtml::text_transform_none)));
            }
            if (pieces.size() < 2) {
                parent->children().push_back(child);
                continue;
            }
            child->parent(nullptr);
            for (const auto& piece : pieces) {
                auto part = std::make_shared<litehtml::el_text>(piece.c_str(), child->get_document());
                parent->appendChild(part);
                part->parse_styles(false);
            }
            changed = true;
        }
    }
    return changed;
}

bool formatsLines(const Element& el) {
    const auto display = el->get_display();
    return display == litehtml::display_block || display == litehtml::display_list_item ||
           display == litehtml::display_table_cell || display == litehtml::display_inline_block;
}

// A word, a blank or a box set inline (a picture) of a block's lines.
struct InlineItem {
    Element el;
    litehtml::position at; // on the page
    bool blank = false;
};
struct InlineLine {
    std::vector<InlineItem> items;
    // The paragraph's last line: the block's last, and the one before a forced break or a block
    // inside it.
    bool endsParagraph = false;
};

// A block's inline content in order, line by line: a line ends where the next item stands left of
// the one before it, or below it. Blocks inside it have lines of their own.
class InlineLines {
public:
    static std::vector<InlineLine> of(const Element& block) {
        InlineLines lines;
        lines.collect(block);
        lines.finishLine(true);
        return std::move(lines.lines_);
    }

private:
    void collect(const Element& parent) {
        for (std::size_t i = 0; i < parent->get_children_count(); ++i) {
            const auto el = parent->get_child(static_cast<int>(i));
            if (!el || el->get_display() == litehtml::display_none) continue;
            if (el->get_float() != litehtml::float_none ||
                el->get_element_position() == litehtml::element_position_absolute ||
                el->get_element_position() == litehtml::element_position_fixed)
                continue;
            if (el->is_break() || (!el->is_inline_box() && el->get_display() != litehtml::display_inline)) {
                finishLine(true);
                continue;
            }
            if (el->get_display() == litehtml::display_inline &&
                !dynamic_cast<litehtml::el_text*>(el.get())) {
                collect(el);
                continue;
            }
            if (el->skip()) continue; // a blank the line ends at: not drawn
            InlineItem item{el, el->get_placement(), el->is_white_space()};
            if (!line_.items.empty() && (item.at.x < line_.items.back().at.x || item.at.y >= lineBottom_))
                finishLine(false);
            lineBottom_ = line_.items.empty() ? item.at.bottom() : std::max(lineBottom_, item.at.bottom());
            line_.items.push_back(std::move(item));
        }
    }

    void finishLine(bool endsParagraph) {
        if (line_.items.empty()) return;
        line_.endsParagraph = endsParagraph;
        lines_.push_back(std::move(line_));
        line_ = {};
    }

    std::vector<InlineLine> lines_;
    InlineLine line_;
    int lineBottom_ = 0;
};

// A word's text as it is drawn: cased as its style says. Empty for what is not text.
litehtml::tstring drawnText(HTMLContainer& container, const Element& el) {
    litehtml::tstring word;
    auto* text = dynamic_cast<litehtml::el_text*>(el.get());
    if (!text) return word;
    text->get_text(word);
    const auto transform = styleOf(el->parent(), "text-transform", true);
    if (transform == "uppercase")
        container.transform_text(word, litehtml::text_transform_uppercase);
    else if (transform == "lowercase")
        container.transform_text(word, litehtml::text_transform_lowercase);
    else if (transform == "capitalize")
        container.transform_text(word, litehtml::text_transform_capitalize);
    return word;
}

// litehtml 0.6 sets `text-align: justify` ragged. Here a justified block's lines are widened to
// its right edge after layout, at their blanks only (letters keep their spacing), except the last
// line of each paragraph: the block's last, and the one before a forced break or a block inside
// it; `text-align-last: justify` widens those too. Lines keep their words in order and on their
// baseline, so the reading order stays the same.
class Justification {
public:
    explicit Justification(HTMLContainer& container) : container_(container) {}

    void run(litehtml::document& document) {
        container_.clearTextNudges();
        forEachElement(document.root(), [&](const Element& el) {
            if (!el->is_visible() || dynamic_cast<litehtml::el_text*>(el.get())) return false;
            if (formatsLines(el) && styleOf(el, "text-align", true) == "justify") justifyBlock(el);
            return true;
        });
    }

private:
    using Item = InlineItem;

    void justifyBlock(const Element& block) {
        block_ = block;
        blockAt_ = block->get_placement();
        const bool justifyLast = styleOf(block, "text-align-last", true) == "justify";
        for (const auto& line : InlineLines::of(block))
            if (!line.endsParagraph || justifyLast) justifyLine(line.items);
    }

    // The right edge of the line's last word as drawn, in pixels on the page.
    double drawnRight(const Item& item) {
        auto* text = dynamic_cast<litehtml::el_text*>(item.el.get());
        if (!text) return item.at.right();
        return item.at.x + container_.textAdvance(drawnText(container_, item.el).c_str(), text->get_font());
    }

    void justifyLine(const std::vector<Item>& line) {
        const auto first = std::find_if(line.begin(), line.end(), [](const Item& i) { return !i.blank; });
        const auto last = std::find_if(line.rbegin(), line.rend(), [](const Item& i) { return !i.blank; });
        if (first == line.end()) return;
        const auto end = last.base();
        const auto blanks = std::count_if(first, end, [](const Item& i) { return i.blank; });
        if (blanks == 0) return;
        // The line box's right edge, which a float beside the line may have drawn in.
        const int right = blockAt_.x + block_->get_line_right(first->at.y - blockAt_.y, blockAt_.width);
        const double extra = right - drawnRight(*(end - 1));
        if (extra <= 0) return;
        // Whole pixels: the k-th blank ends where k/n of the extra room is taken. The last word
        // is then drawn moved by the part of a pixel that is left, to end at the edge.
        long gap = 0;
        int shift = 0;
        for (auto it = first; it != end; ++it) {
            auto& pos = it->el->get_position();
            pos.x += shift;
            if (!it->blank) continue;
            ++gap;
            const int next = static_cast<int>(std::lround(extra * static_cast<double>(gap) / blanks));
            pos.width += next - shift;
            shift = next;
        }
        const auto& lastWord = *(end - 1);
        if (dynamic_cast<litehtml::el_text*>(lastWord.el.get()))
            container_.nudgeText(lastWord.at.x + shift, lastWord.at.y, extra - shift);
    }

    HTMLContainer& container_;
    Element block_;
    litehtml::position blockAt_;
};

// A letter or number of a right-to-left script, or a mark that starts a right-to-left run.
bool turnsRightToLeft(UChar32 c) {
    switch (u_charDirection(c)) {
    case U_RIGHT_TO_LEFT:
    case U_RIGHT_TO_LEFT_ARABIC:
    case U_ARABIC_NUMBER:
    case U_RIGHT_TO_LEFT_EMBEDDING:
    case U_RIGHT_TO_LEFT_OVERRIDE:
    case U_RIGHT_TO_LEFT_ISOLATE:
        return true;
    default:
        return false;
    }
}

// Whether `text` holds a character that may set a run right to left: most texts hold none.
bool holdsRightToLeft(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        UChar32 c = 0;
        U8_NEXT(text.data(), i, text.size(), c);
        if (c >= 0 && turnsRightToLeft(c)) return true;
    }
    return false;
}

// Whether a page of `markup` may hold right-to-left text: one of its characters, or a character
// reference that may stand for one. A page that cannot is laid out without looking for it.
bool mayHoldRightToLeft(std::string_view markup) {
    return holdsRightToLeft(markup) || markup.find("&#") != std::string_view::npos ||
           markup.find("&rlm;") != std::string_view::npos;
}

// litehtml 0.6 sets a line's words from the left in the order they come, so a right-to-left
// sentence read backwards. Lines are set as a browser sets them: the bidirectional algorithm
// resolves the levels of each paragraph's characters (a block's text up to a forced break or a
// block inside it, left to right, as no page here gives another direction), and each line shows
// its runs in their visual order from where the line starts. Words keep their boxes, so breaking
// and pagination are untouched: the container draws each word, or each part of a word that
// stands apart (a full stop after a Hebrew word, in a left-to-right paragraph), where it goes.
class VisualOrder {
public:
    explicit VisualOrder(HTMLContainer& container) : container_(container) {}
    ~VisualOrder() {
        if (paragraph_) ubidi_close(paragraph_);
        if (line_) ubidi_close(line_);
    }
    VisualOrder(const VisualOrder&) = delete;
    VisualOrder& operator=(const VisualOrder&) = delete;

    void run(litehtml::document& document) {
        container_.clearTextPlacements();
        forEachElement(document.root(), [&](const Element& el) {
            if (!el->is_visible() || dynamic_cast<litehtml::el_text*>(el.get())) return false;
            if (formatsLines(el)) orderBlock(el);
            return true;
        });
    }

private:
    // An item of a paragraph: its text as drawn, and where that lies in the paragraph's UTF-16.
    struct Piece {
        const InlineItem* item = nullptr;
        litehtml::tstring text;
        int32_t begin = 0, end = 0;
    };
    // Part of an item as it stands on its line: [begin, end) of the paragraph's UTF-16.
    struct Part {
        std::size_t piece = 0;
        int32_t begin = 0, end = 0;
        bool rightToLeft = false;
        double x = 0, width = 0;
    };

    void orderBlock(const Element& block) {
        const auto lines = InlineLines::of(block);
        std::size_t first = 0;
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].endsParagraph || i + 1 == lines.size()) {
                orderParagraph(lines, first, i + 1);
                first = i + 1;
            }
    }

    void orderParagraph(const std::vector<InlineLine>& lines, std::size_t from, std::size_t to) {
        bool rightToLeft = false;
        litehtml::tstring raw;
        for (std::size_t l = from; l < to && !rightToLeft; ++l)
            for (const auto& item : lines[l].items) {
                raw.clear();
                if (auto* text = dynamic_cast<litehtml::el_text*>(item.el.get()); text && !item.blank)
                    text->get_text(raw);
                if ((rightToLeft = holdsRightToLeft(raw))) break;
            }
        if (!rightToLeft) return;
        std::vector<Piece> pieces;
        for (std::size_t l = from; l < to; ++l)
            for (const auto& item : lines[l].items) {
                Piece piece{&item, drawnText(container_, item.el), 0, 0};
                if (!dynamic_cast<litehtml::el_text*>(item.el.get()))
                    piece.text = "\xef\xbf\xbc"; // a box set inline stands as an object in the text
                else if (item.blank)
                    piece.text = " ";
                pieces.push_back(std::move(piece));
            }

        icu::UnicodeString text;
        for (auto& piece : pieces) {
            piece.begin = text.length();
            text.append(icu::UnicodeString::fromUTF8(piece.text));
            piece.end = text.length();
        }
        UErrorCode status = U_ZERO_ERROR;
        if (!paragraph_) paragraph_ = ubidi_open();
        if (!line_) line_ = ubidi_open();
        ubidi_setPara(paragraph_, text.getBuffer(), text.length(), UBIDI_LTR, nullptr, &status);
        if (U_FAILURE(status)) return;
        std::size_t first = 0;
        for (std::size_t l = from; l < to; ++l) {
            const std::size_t count = lines[l].items.size();
            orderLine(pieces, first, first + count);
            first += count;
        }
    }

    // Sets the line of `pieces` [first, last) in visual order.
    void orderLine(const std::vector<Piece>& pieces, std::size_t first, std::size_t last) {
        if (first == last) return;
        UErrorCode status = U_ZERO_ERROR;
        const int32_t lineBegin = pieces[first].begin;
        ubidi_setLine(paragraph_, lineBegin, pieces[last - 1].end, line_, &status);
        if (U_FAILURE(status) || ubidi_getDirection(line_) == UBIDI_LTR) return;
        const int32_t runs = ubidi_countRuns(line_, &status);
        if (U_FAILURE(status)) return;
        std::vector<Part> parts;
        for (int32_t r = 0; r < runs; ++r) {
            int32_t start = 0, length = 0;
            const bool rtl = ubidi_getVisualRun(line_, r, &start, &length) == UBIDI_RTL;
            start += lineBegin;
            std::vector<Part> run;
            for (std::size_t p = first; p < last; ++p) {
                const int32_t begin = std::max(start, pieces[p].begin);
                const int32_t end = std::min(start + length, pieces[p].end);
                if (begin < end) run.push_back({p, begin, end, rtl});
            }
            if (rtl) std::reverse(run.begin(), run.end());
            parts.insert(parts.end(), run.begin(), run.end());
        }
        // Each part as wide as it is drawn; an item in one part keeps its box's width (a
        // widened blank its widening), an item in several gives what its box has over their
        // widths to its last part.
        std::vector<double> taken(last - first, 0);
        std::vector<std::size_t> partsOf(last - first, 0), lastPart(last - first, 0);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            ++partsOf[parts[i].piece - first];
            auto& latest = lastPart[parts[i].piece - first];
            if (partsOf[parts[i].piece - first] == 1 || parts[i].begin > parts[latest].begin) latest = i;
        }
        for (std::size_t i = 0; i < parts.size(); ++i) {
            auto& part = parts[i];
            const Piece& piece = pieces[part.piece];
            if (partsOf[part.piece - first] == 1) {
                part.width = piece.item->at.width;
                continue;
            }
            part.width = container_.textAdvance(bytesOf(piece, part.begin, part.end).c_str(),
                                                piece.item->el->get_font());
            taken[part.piece - first] += part.width;
        }
        for (std::size_t p = first; p < last; ++p)
            if (partsOf[p - first] > 1) {
                auto& part = parts[lastPart[p - first]];
                part.width = std::max(part.width, pieces[p].item->at.width - (taken[p - first] - part.width));
            }
        double x = pieces[first].item->at.x;
        for (auto& part : parts) {
            part.x = x;
            x += part.width;
        }
        // A justified line's last word ends at the edge: so does the word now standing last.
        const InlineItem& logicalLast = *pieces[last - 1].item;
        if (const double nudge = container_.textNudge(logicalLast.at.x, logicalLast.at.y); nudge != 0) {
            const double edge =
                logicalLast.at.x + nudge +
                container_.textAdvance(pieces[last - 1].text.c_str(), logicalLast.el->get_font());
            auto& end = parts.back();
            const Piece& piece = pieces[end.piece];
            if (!piece.item->blank && dynamic_cast<litehtml::el_text*>(piece.item->el.get()))
                end.x = edge - container_.textAdvance(bytesOf(piece, end.begin, end.end).c_str(),
                                                      piece.item->el->get_font());
        }
        place(pieces, parts, first, last);
    }

    // The UTF-8 of the piece's UTF-16 [begin, end).
    static std::string bytesOf(const Piece& piece, int32_t begin, int32_t end) {
        const auto [from, to] = byteRange(piece, begin, end);
        return piece.text.substr(from, to - from);
    }

    static std::pair<std::size_t, std::size_t> byteRange(const Piece& piece, int32_t begin, int32_t end) {
        std::size_t at = 0, from = 0;
        int32_t unit = piece.begin;
        while (at < piece.text.size() && unit < end) {
            if (unit == begin) from = at;
            UChar32 c = 0;
            U8_NEXT(piece.text.data(), at, piece.text.size(), c);
            unit += c > 0xFFFF ? 2 : 1;
        }
        if (begin >= end) from = at;
        return {from, at};
    }

    // Words drawn where their parts stand; a box set inline moved there.
    void place(const std::vector<Piece>& pieces, const std::vector<Part>& parts, std::size_t first,
               std::size_t last) {
        for (std::size_t p = first; p < last; ++p) {
            const Piece& piece = pieces[p];
            const auto& at = piece.item->at;
            std::vector<HTMLTextPart> drawn;
            for (const auto& part : parts) {
                if (part.piece != p) continue;
                const auto [from, to] = byteRange(piece, part.begin, part.end);
                drawn.push_back({from, to - from, part.x, part.rightToLeft});
            }
            if (!dynamic_cast<litehtml::el_text*>(piece.item->el.get())) {
                if (!drawn.empty())
                    piece.item->el->get_position().x += static_cast<int>(std::lround(drawn[0].x - at.x));
                continue;
            }
            if (piece.item->blank || drawn.empty()) continue;
            if (drawn.size() == 1 && !drawn[0].rightToLeft && std::abs(drawn[0].x - at.x) < 1e-6) continue;
            container_.placeText(at.x, at.y, std::move(drawn));
        }
    }

    HTMLContainer& container_;
    UBiDi* paragraph_ = nullptr;
    UBiDi* line_ = nullptr;
};

// The page's margins from its @page rules (which the engine skips): `margin`, `margin-top` and
// `margin-bottom` of `@page` for every page, and of `@page :first` for the first one, in points.
// Side margins are the body's to give.
struct PageMargins {
    double firstTop = 0, firstBottom = 0, top = 0, bottom = 0;
};

std::optional<double> cssLengthInPoints(std::string_view value) {
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.front())))
        value.remove_prefix(1);
    std::string text(value);
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) return std::nullopt;
    std::string unit(end);
    std::transform(unit.begin(), unit.end(), unit.begin(), [](unsigned char c) { return std::tolower(c); });
    while (!unit.empty() && std::isspace(static_cast<unsigned char>(unit.back())))
        unit.pop_back();
    if (unit == "pt") return number;
    if (unit == "px") return number * HTMLDocument::kPointsPerPixel;
    if (unit == "in") return number * 72;
    if (unit == "cm") return number * 72 / 2.54;
    if (unit == "mm") return number * 72 / 25.4;
    if (unit.empty() && number == 0) return 0.0;
    return std::nullopt;
}

PageMargins pageMarginsIn(std::string css) {
    for (auto open = css.find("/*"); open != std::string::npos; open = css.find("/*", open)) {
        const auto close = css.find("*/", open + 2);
        css.erase(open, close == std::string::npos ? std::string::npos : close + 2 - open);
    }
    std::optional<double> top, bottom, firstTop, firstBottom;
    for (auto at = css.find("@page"); at != std::string::npos; at = css.find("@page", at + 1)) {
        const auto open = css.find('{', at);
        const auto close = open == std::string::npos ? open : css.find('}', open);
        if (close == std::string::npos) break;
        std::string selector = css.substr(at + 5, open - at - 5);
        selector.erase(
            std::remove_if(selector.begin(), selector.end(), [](unsigned char c) { return std::isspace(c); }),
            selector.end());
        if (!selector.empty() && selector != ":first") continue; // :left, :right, named pages
        auto& t = selector.empty() ? top : firstTop;
        auto& b = selector.empty() ? bottom : firstBottom;
        std::stringstream declarations(css.substr(open + 1, close - open - 1));
        for (std::string declaration; std::getline(declarations, declaration, ';');) {
            const auto colon = declaration.find(':');
            if (colon == std::string::npos) continue;
            std::string name = declaration.substr(0, colon);
            name.erase(
                std::remove_if(name.begin(), name.end(), [](unsigned char c) { return std::isspace(c); }),
                name.end());
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return std::tolower(c); });
            const std::string value = declaration.substr(colon + 1);
            if (name == "margin-top") {
                if (auto v = cssLengthInPoints(value)) t = v;
            } else if (name == "margin-bottom") {
                if (auto v = cssLengthInPoints(value)) b = v;
            } else if (name == "margin") {
                std::vector<double> values;
                std::stringstream parts(value);
                for (std::string part; parts >> part;)
                    if (auto v = cssLengthInPoints(part)) values.push_back(*v);
                if (values.empty()) continue;
                t = values[0];
                b = values.size() >= 3 ? values[2] : values[0];
            }
        }
        at = close;
    }
    PageMargins margins;
    margins.top = std::max(0.0, top.value_or(0));
    margins.bottom = std::max(0.0, bottom.value_or(0));
    margins.firstTop = std::max(0.0, firstTop.value_or(margins.top));
    margins.firstBottom = std::max(0.0, firstBottom.value_or(margins.bottom));
    return margins;
}

// The text of the page's <style> elements.
std::string styleElementsOf(std::string_view html) {
    std::string out;
    for (auto at = html.find('<'); at != std::string_view::npos; at = html.find('<', at + 1)) {
        if (at + 6 > html.size() || strncasecmp(html.data() + at + 1, "style", 5) != 0) continue;
        const auto open = html.find('>', at);
        if (open == std::string_view::npos) break;
        auto close = open;
        while ((close = html.find("</", close + 1)) != std::string_view::npos)
            if (close + 7 <= html.size() && strncasecmp(html.data() + close + 2, "style", 5) == 0) break;
        if (close == std::string_view::npos) break;
        out.append(html.substr(open + 1, close - open - 1));
        out += '\n';
        at = close;
    }
    return out;
}

// Lines of text among `content` (sorted by their tops) that lie within [top, bottom], from the
// lowest up, at most `count`: each from the highest top to the lowest foot of the words side by
// side on it.
std::vector<std::pair<int, int>> linesFromTheFoot(const std::vector<HTMLKeepTogether>& content, int top,
                                                  int bottom, std::size_t count) {
    std::vector<std::pair<int, int>> lines;
    auto it = std::upper_bound(content.begin(), content.end(), bottom,
                               [](int y, const HTMLKeepTogether& b) { return y < b.top; });
    while (it != content.begin()) {
        const auto& box = *--it;
        if (box.top < top) break;
        if (!box.isText() || box.bottom > bottom) continue;
        if (lines.empty() || box.bottom <= lines.back().first) {
            if (lines.size() == count) break;
            lines.emplace_back(box.top, box.bottom);
        } else {
            lines.back().first = std::min(lines.back().first, box.top);
            lines.back().second = std::max(lines.back().second, box.bottom);
        }
    }
    return lines;
}

// Blocks that the page keeps whole on one page (page-break-inside: avoid); a block that must
// not end a page (page-break-after: avoid, as headings ask) held together with the first line
// that follows it, and one that must not start a page (page-break-before: avoid) with the last
// line before it; and the last lines of a block asking for widows, that many (its inner blocks'
// lines count as its own).
std::vector<HTMLKeepTogether> keptTogether(litehtml::document& document,
                                           const std::vector<HTMLKeepTogether>& content) {
    std::vector<HTMLKeepTogether> blocks;
    forEachElement(document.root(), [&](const Element& el) {
        if (!el->is_visible()) return false;
        if (dynamic_cast<litehtml::el_text*>(el.get())) return false;
        const auto at = el->get_placement();
        const int top = at.top() - el->padding_top() - el->border_top();
        const int bottom = at.bottom() + el->padding_bottom() + el->border_bottom();
        if (bottom <= top) return true;
        const auto inside = styleOf(el, "page-break-inside", false) + styleOf(el, "break-inside", false);
        // A band of colour (a footer, a title band) cut by a page would leave an empty strip of it
        // at the foot of one page and the rest on the next: kept whole like a picture. The page's
        // own background is its paper, not a band.
        const auto* background = el->get_background(true);
        const bool band = background && (background->m_color.alpha > 0 || !background->m_image.empty()) &&
                          el != document.root() && !el->is_body() &&
                          el->get_display() != litehtml::display_inline;
        if (band || inside.find("avoid") != std::string::npos)
            blocks.push_back({top, bottom, HTMLKeepTogether::Kind::Block});
        const auto after = styleOf(el, "page-break-after", false) + styleOf(el, "break-after", false);
        if (after.find("avoid") != std::string::npos) {
            auto next = std::find_if(content.begin(), content.end(), [&](const HTMLKeepTogether& b) {
                return b.isText() && b.top >= bottom - 1;
            });
            if (next != content.end()) blocks.push_back({top, next->bottom, HTMLKeepTogether::Kind::Block});
        }
        const auto before = styleOf(el, "page-break-before", false) + styleOf(el, "break-before", false);
        if (before.find("avoid") != std::string::npos) {
            const auto above = linesFromTheFoot(content, std::numeric_limits<int>::min(), top + 1, 1);
            // Down to the element's first line, or its foot when it has no text.
            auto first = std::lower_bound(content.begin(), content.end(), top - 1,
                                          [](const HTMLKeepTogether& b, int y) { return b.top < y; });
            first = std::find_if(first, content.end(), [&](const HTMLKeepTogether& b) {
                return b.top > bottom + 1 || (b.isText() && b.bottom <= bottom + 1);
            });
            if (first != content.end() && first->top > bottom + 1) first = content.end();
            if (!above.empty())
                blocks.push_back({above.front().first, first != content.end() ? first->bottom : bottom,
                                  HTMLKeepTogether::Kind::Block});
        }
        const auto display = el->get_display();
        if (display == litehtml::display_block || display == litehtml::display_list_item ||
            display == litehtml::display_table_cell || display == litehtml::display_inline_block) {
            if (const int widows = std::atoi(styleOf(el, "widows", true).c_str()); widows > 1) {
                const auto last =
                    linesFromTheFoot(content, top - 1, bottom + 1, static_cast<std::size_t>(widows));
                if (last.size() > 1)
                    blocks.push_back({last.back().first, last.front().second, HTMLKeepTogether::Kind::Block});
            }
        }
        return true;
    });
    return blocks;
}

// The border box of the root, in drawing coordinates for a slice starting at `top`: the engine
// paints the page's background (the root's, or the body's when the root has none) through the
// root, at least as tall as the page and taller only when the content is.
litehtml::position canvasSource(litehtml::document& document, int top) {
    const Element root = document.root();
    if (!root) return {};
    auto box = root->get_placement();
    box.x -= root->padding_left() + root->border_left();
    box.y -= root->padding_top() + root->border_top() + top;
    box.width += root->padding_left() + root->padding_right() + root->border_left() + root->border_right();
    box.height += root->padding_top() + root->padding_bottom() + root->border_top() + root->border_bottom();
    return box;
}

// An element with a crowd of children (the words of a long text in one block, the paragraphs of
// a long page): the engine walks every child each time a page is drawn, so a long text would cost
// its length for each of its pages. For a page, such an element is shown only the children that
// can reach into it, found by their extents, and gets all of them back after.
struct Crowd {
    static constexpr std::size_t kCrowded = 256;
    std::shared_ptr<litehtml::html_tag> tag;
    std::vector<int> reachesDownTo; // the lowest foot among the children up to each one
    std::vector<int> nothingAbove;  // the highest head among the children from each one on
    litehtml::elements_vector kept; // the children set aside while a page is drawn
};

std::vector<Crowd> crowdsOf(litehtml::document& document) {
    std::vector<Crowd> crowds;
    forEachElement(document.root(), [&](const Element& el) {
        auto tag = std::dynamic_pointer_cast<litehtml::html_tag>(el);
        if (!tag || tag->children().size() < Crowd::kCrowded) return true;
        Crowd crowd;
        crowd.tag = tag;
        const auto& children = tag->children();
        const std::size_t n = children.size();
        crowd.reachesDownTo.resize(n);
        crowd.nothingAbove.resize(n);
        std::vector<int> tops(n);
        int lowest = std::numeric_limits<int>::min();
        for (std::size_t i = 0; i < n; ++i) {
            const auto at = children[i]->get_placement();
            tops[i] =
                at.top() - children[i]->margin_top() - children[i]->padding_top() - children[i]->border_top();
            const int bottom = at.bottom() + children[i]->margin_bottom() + children[i]->padding_bottom() +
                               children[i]->border_bottom();
            lowest = std::max(lowest, bottom);
            crowd.reachesDownTo[i] = lowest;
        }
        int highest = std::numeric_limits<int>::max();
        for (std::size_t i = n; i-- > 0;) {
            highest = std::min(highest, tops[i]);
            crowd.nothingAbove[i] = highest;
        }
        crowds.push_back(std::move(crowd));
        return true;
    });
    return crowds;
}

// Shows the crowded elements only the children that reach into [top, bottom) (pixels) while it
// lives.
class PageOfCrowds {
public:
    PageOfCrowds(std::vector<Crowd>& crowds, int top, int bottom) : crowds_(crowds) {
        for (auto& crowd : crowds_) {
            const auto first = std::upper_bound(crowd.reachesDownTo.begin(), crowd.reachesDownTo.end(), top);
            const auto last = std::lower_bound(crowd.nothingAbove.begin(), crowd.nothingAbove.end(), bottom);
            const auto from = static_cast<std::size_t>(first - crowd.reachesDownTo.begin());
            const auto to = std::max(from, static_cast<std::size_t>(last - crowd.nothingAbove.begin()));
            crowd.kept.swap(crowd.tag->children());
            crowd.tag->children().assign(crowd.kept.begin() + static_cast<std::ptrdiff_t>(from),
                                         crowd.kept.begin() + static_cast<std::ptrdiff_t>(to));
        }
    }
    ~PageOfCrowds() {
        for (auto& crowd : crowds_) {
            crowd.kept.swap(crowd.tag->children());
            crowd.kept.clear();
        }
    }
    PageOfCrowds(const PageOfCrowds&) = delete;
    PageOfCrowds& operator=(const PageOfCrowds&) = delete;

private:
    std::vector<Crowd>& crowds_;
};

constexpr const char* kRoomAttribute = "data-long-text-room";

// The markup with each long run of text replaced by an empty block `heights[k]` pixels tall (0
// when not known yet), marked with its run's number, where the run's pieces will be drawn.
std::string withRooms(const std::string& html, const std::vector<HTMLLongTextRun>& runs,
                      const std::vector<int>& heights) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t k = 0; k < runs.size(); ++k) {
        out.append(html, from, runs[k].begin - from);
        out += "<div " + std::string(kRoomAttribute) + "='" + std::to_string(k) +
               "' style='height:" + std::to_string(k < heights.size() ? heights[k] : 0) + "px'></div>";
        from = runs[k].end;
    }
    out.append(html, from, std::string::npos);
    return out;
}

// The rooms of a document laid out from withRooms, by run number (null where none was laid out).
std::vector<Element> roomsOf(litehtml::document& document, std::size_t count) {
    std::vector<Element> rooms(count);
    forEachElement(document.root(), [&](const Element& el) {
        if (dynamic_cast<litehtml::el_text*>(el.get())) return false;
        if (const char* k = el->get_attr(kRoomAttribute)) {
            const auto index = static_cast<std::size_t>(std::strtoul(k, nullptr, 10));
            if (index < count) rooms[index] = el;
            return false;
        }
        return true;
    });
    return rooms;
}

// How the text of the element holding `room` looks, as one style attribute: what the pieces,
// laid out apart, need to be laid out as they would be in place. Sizes are the computed ones.
std::string textStyleAround(const Element& room) {
    const auto holder = room->parent();
    std::string style = "margin:0;padding:0;border:0;background:none;";
    for (const char* name :
         {"font-family", "font-weight", "font-style", "font-variant", "text-align", "text-align-last",
          "text-transform", "text-decoration", "white-space", "overflow-wrap", "word-wrap"}) {
        const char* value = holder->get_style_property(name, true, nullptr);
        if (!value || !*value) continue;
        std::string escaped;
        for (const char* c = value; *c; ++c)
            escaped += *c == '"' ? std::string("&quot;") : std::string(1, *c);
        style += std::string(name) + ":" + escaped + ";";
    }
    style += "font-size:" + std::to_string(holder->get_font_size()) + "px;";
    style += "line-height:" + std::to_string(holder->line_height()) + "px;";
    const auto color = holder->get_color("color", true, litehtml::web_color(0, 0, 0));
    // Every word reads its colour from this text: the engine reads "#rrggbb" fastest.
    char rgba[64];
    if (color.alpha == 255)
        std::snprintf(rgba, sizeof rgba, "color:#%02x%02x%02x;", color.red, color.green, color.blue);
    else
        std::snprintf(rgba, sizeof rgba, "color:rgba(%d,%d,%d,%.3f);", color.red, color.green, color.blue,
                      color.alpha / 255.0);
    return style + rgba;
}

// Whether the room sits right in the element that held the text, and that element holds blocks.
// An inline one cannot: the engine moves a block out of it.
bool holdsBlocks(const Element& room, const std::string& tag) {
    const auto holder = room->parent();
    if (!holder || !holder->get_tagName() || tag != holder->get_tagName()) return false;
    const auto display = holder->get_display();
    return display == litehtml::display_block || display == litehtml::display_list_item ||
           display == litehtml::display_table_cell || display == litehtml::display_inline_block;
}

// Consecutive boxes of one line become one: pagination and drawing need lines, not words, and a
// long text keeps a box per line instead of one per word.
void addLines(std::vector<HTMLKeepTogether>& to, const std::vector<HTMLKeepTogether>& from, int offset) {
    const HTMLKeepTogether* last = nullptr;
    for (const auto& box : from) {
        if (box.kind == HTMLKeepTogether::Kind::Block) continue;
        if (last && last->isText() && box.isText() && last->top == box.top && last->bottom == box.bottom &&
            last->coreTop() == box.coreTop() && last->coreBottom() == box.coreBottom())
            continue;
        last = &box;
        const bool core = box.lineBottom > box.lineTop;
        to.push_back({box.top + offset, box.bottom + offset, box.kind, core ? box.lineTop + offset : 0,
                      core ? box.lineBottom + offset : 0});
    }
}

} // namespace

struct HTMLDocument::Impl {
    // Declared first so that it outlives the document, which hands its fonts back on destruction.
    mutable HTMLContainer container;
    litehtml::document::ptr document;
    int widthPx = 0;
    int heightPx = 0; // content height
    double pageHeight = kA4PaperSize.height;
    std::vector<HTMLBox> boxes;
    std::vector<HTMLKeepTogether> boxesPx; // words, pictures and kept blocks, by their tops
    int lastContentPx = 0;                 // the foot of the last word or picture
    bool rightToLeft = false;              // whether its lines may need turning
    mutable std::vector<Crowd> crowds;
    PageMargins margins;

    // A long run of text, laid out apart in pieces, one under the other, in the room the page
    // keeps for it.
    struct LongText {
        std::vector<std::string_view> pieces; // into `html`
        std::string style;
        int leftPx = 0;
        int topPx = 0;
        int widthPx = 0;
        std::vector<int> pieceTops; // from the room's top
        std::vector<int> pieceHeights;
        std::vector<HTMLKeepTogether> lines; // from the room's top
    };
    std::string html; // kept while the page has long texts: their pieces are read from it
    std::vector<HTMLLongTextRun> runs;
    std::vector<LongText> longTexts;
    // A piece being laid out on a thread of its own. Waiting for it, also to let it go, lets the
    // fonts go meanwhile: its thread needs them to finish.
    class PieceAhead {
    public:
        PieceAhead() = default;
        explicit PieceAhead(std::future<std::unique_ptr<HTMLDocument>> laidOut)
            : laidOut_(std::move(laidOut)) {}
        PieceAhead(PieceAhead&&) = default;
        PieceAhead& operator=(PieceAhead&& other) {
            wait();
            laidOut_ = std::move(other.laidOut_);
            return *this;
        }
        ~PieceAhead() { wait(); }
        bool pending() const { return laidOut_.valid(); }
        std::unique_ptr<HTMLDocument> take() {
            wait();
            return laidOut_.get();
        }

    private:
        void wait() {
            if (!laidOut_.valid()) return;
            FontLock::Released waiting;
            laidOut_.wait();
        }
        std::future<std::unique_ptr<HTMLDocument>> laidOut_;
    };
    // Pieces are laid out again when drawn, the next ones on worker threads while one is drawn;
    // the few of each text used last are kept, since pages are drawn in order and a view shows
    // one or two pieces of it at a time.
    struct ShownPiece {
        std::size_t text = 0;
        std::size_t piece = 0;
        std::unique_ptr<HTMLDocument> document;
        PieceAhead pending;
        std::uint64_t lastUse = 0;
    };
    static constexpr std::size_t kPiecesAhead = 2;
    static constexpr std::size_t kShownPieces = 4 + kPiecesAhead;
    mutable std::vector<ShownPiece> shownPieces;
    mutable std::uint64_t uses = 0;

    Impl(const std::string& given, std::filesystem::path base, bool anyThread = false)
        : container(std::move(base), toPx(kA4PaperSize.width), toPx(kA4PaperSize.height), anyThread) {
        auto held = withEmptyLinesHeld(given);
        const std::string& markup = held ? *held : given;
        runs = findLongTextRuns(markup);
        std::string styles = styleElementsOf(markup);
        if (runs.empty()) {
            document = parse(markup);
        } else {
            html = held ? std::move(*held) : given;
            document = parse(withRooms(html, runs, {}));
        }
        margins = pageMarginsIn(container.importedStyles() + styles);
        rightToLeft = mayHoldRightToLeft(markup);
    }

    litehtml::document::ptr parse(const std::string& markup) {
        return litehtml::document::createFromUTF8(markup.c_str(), &container, &sharedContext());
    }

    // Safe on any thread while the long texts stay as they are: the piece has fonts of its own.
    std::unique_ptr<HTMLDocument> layOutPiece(std::size_t text, std::size_t piece, bool onlyToDraw) const {
        const auto& t = longTexts[text];
        std::string style = t.style;
        // A piece cut inside a paragraph (at a blank, not at a line break) ends with a line that
        // the paragraph goes on from: justified like any line but a paragraph's last.
        if (piece + 1 < t.pieces.size() && style.find("text-align:justify;") != std::string::npos) {
            const std::string_view gap(
                t.pieces[piece].data() + t.pieces[piece].size(),
                static_cast<std::size_t>(t.pieces[piece + 1].data() -
                                         (t.pieces[piece].data() + t.pieces[piece].size())));
            if (gap.find('<') == std::string_view::npos) style += "text-align-last:justify;";
        }
        auto document = std::make_unique<HTMLDocument>("<html><body style=\"" + style + "\">" +
                                                           std::string(t.pieces[piece]) + "</body></html>",
                                                       std::filesystem::path(), Fonts::AnyThread);
        document->impl_->layOut(t.widthPx * kPointsPerPixel, pageHeight, onlyToDraw);
        return document;
    }

    ShownPiece* findShown(std::size_t text, std::size_t piece) const {
        for (auto& shown : shownPieces)
            if (shown.text == text && shown.piece == piece) return &shown;
        return nullptr;
    }

    const HTMLDocument& shownPiece(std::size_t text, std::size_t piece) const {
        ++uses;
        if (!findShown(text, piece))
            shownPieces.push_back({text, piece, layOutPiece(text, piece, true), {}, 0});
        for (std::size_t next = piece + 1;
             next <= piece + kPiecesAhead && next < longTexts[text].pieces.size(); ++next)
            if (!findShown(text, next))
                shownPieces.push_back({text, next, nullptr,
                                       PieceAhead(std::async(std::launch::async,
                                                             [this, text, next] {
                                                                 becomeLayoutHelper();
                                                                 return layOutPiece(text, next, true);
                                                             })),
                                       uses});
        ShownPiece* shown = findShown(text, piece);
        shown->lastUse = uses;
        // Each text keeps its own: texts side by side (a table's cells) are drawn page by page
        // together, and would otherwise push each other's pieces out, to be laid out again.
        const auto ofText = [text](const ShownPiece& p) { return p.text == text; };
        while (std::count_if(shownPieces.begin(), shownPieces.end(), ofText) >
               static_cast<std::ptrdiff_t>(kShownPieces)) {
            auto oldest = shownPieces.end();
            for (auto it = shownPieces.begin(); it != shownPieces.end(); ++it)
                if (it->text == text && (oldest == shownPieces.end() || it->lastUse < oldest->lastUse))
                    oldest = it;
            shownPieces.erase(oldest);
        }
        shown = findShown(text, piece);
        if (shown->pending.pending()) shown->document = shown->pending.take();
        return *shown->document;
    }

    // Lays the long texts out at the width of their rooms and makes the page again with rooms as
    // tall as they came out. Where a room is not a block the page is parsed whole instead.
    void layOutLongTexts() {
        longTexts.clear();
        shownPieces.clear();
        document = parse(withRooms(html, runs, {}));
        document->media_changed();
        document->render(widthPx);
        const auto rooms = roomsOf(*document, runs.size());
        bool roomy = true;
        for (std::size_t k = 0; k < runs.size(); ++k)
            roomy = roomy && rooms[k] && holdsBlocks(rooms[k], runs[k].holder) &&
                    rooms[k]->get_position().width > 0;
        if (!roomy) {
            runs.clear();
            document = parse(html);
            html.clear();
            return;
        }
        std::vector<int> heights;
        const std::string_view all(html);
        for (std::size_t k = 0; k < runs.size(); ++k) {
            LongText t;
            t.style = textStyleAround(rooms[k]);
            t.widthPx = rooms[k]->get_position().width;
            t.pieces = cutTextRun(all.substr(runs[k].begin, runs[k].end - runs[k].begin));
            longTexts.push_back(std::move(t));
            auto& text = longTexts.back();
            // Each piece is laid out on its own, so they are laid out side by side on the machine's
            // cores; the first ones, drawn first, are kept.
            const std::size_t count = text.pieces.size();
            std::vector<int> pieceHeights(count);
            std::vector<std::vector<HTMLKeepTogether>> pieceLines(count);
            std::vector<std::unique_ptr<HTMLDocument>> kept(std::min(count, kShownPieces - kPiecesAhead));
            std::atomic<std::size_t> nextPiece{0};
            auto work = [&] {
                for (std::size_t i; (i = nextPiece++) < count;) {
                    auto piece = layOutPiece(k, i, false);
                    pieceHeights[i] = piece->impl_->heightPx;
                    addLines(pieceLines[i], piece->impl_->boxesPx, 0);
                    if (i < kept.size()) kept[i] = std::move(piece);
                }
            };
            const std::size_t helpers =
                std::min<std::size_t>(count - 1, std::max(1u, std::thread::hardware_concurrency()) - 1);
            std::vector<std::thread> workers;
            for (std::size_t w = 0; w < std::min<std::size_t>(helpers, 7); ++w)
                workers.emplace_back([&] {
                    becomeLayoutHelper();
                    work();
                });
            work();
            {
                FontLock::Released waiting;
                for (auto& worker : workers)
                    worker.join();
            }
            int y = 0;
            for (std::size_t i = 0; i < count; ++i) {
                text.pieceTops.push_back(y);
                text.pieceHeights.push_back(pieceHeights[i]);
                addLines(text.lines, pieceLines[i], y);
                y += pieceHeights[i];
            }
            for (std::size_t i = 0; i < kept.size(); ++i)
                shownPieces.push_back({k, i, std::move(kept[i]), {}, 0});
            heights.push_back(y);
        }
        document = parse(withRooms(html, runs, heights));
    }

    // Where the rooms came to lie on the page, and the long texts' lines among the page's boxes.
    void placeLongTexts() {
        if (longTexts.empty()) return;
        const auto rooms = roomsOf(*document, longTexts.size());
        for (std::size_t k = 0; k < longTexts.size(); ++k) {
            auto& t = longTexts[k];
            if (!rooms[k]) continue;
            const auto at = rooms[k]->get_placement();
            t.leftPx = at.x;
            t.topPx = at.y;
            addLines(boxesPx, t.lines, t.topPx);
        }
    }

    // Draws the pieces of the long texts that reach into [top, bottom) (pixels of the page), for
    // a slice of the page drawn from `top`, onto `cr` in points.
    void drawLongTexts(cairo_t* cr, int top, int bottom) const {
        for (std::size_t k = 0; k < longTexts.size(); ++k) {
            const auto& t = longTexts[k];
            auto first = std::upper_bound(t.pieceTops.begin(), t.pieceTops.end(), top - t.topPx);
            std::size_t i =
                first == t.pieceTops.begin() ? 0 : static_cast<std::size_t>(first - t.pieceTops.begin()) - 1;
            for (; i < t.pieces.size(); ++i) {
                const int pieceTop = t.topPx + t.pieceTops[i];
                if (pieceTop >= bottom) break;
                const int from = std::max(0, top - pieceTop);
                const int to = std::min(t.pieceHeights[i], bottom - pieceTop);
                if (to <= from) continue;
                cairo_save(cr);
                cairo_translate(cr, t.leftPx * kPointsPerPixel, (pieceTop + from - top) * kPointsPerPixel);
                shownPiece(k, i).drawSlice(cr, {from * kPointsPerPixel, to * kPointsPerPixel});
                cairo_restore(cr);
            }
        }
    }

    // Lays the page out `width` points wide. Only to draw it, where its pages are known already,
    // the boxes that pagination needs are not looked for.
    void layOut(double width, double pageHeight, bool onlyToDraw) {
        widthPx = std::max(1, toPx(width));
        container.setPageSize(widthPx, std::max(1, toPx(pageHeight)));
        this->pageHeight = pageHeight;
        if (!runs.empty() && !onlyToDraw) layOutLongTexts();
        if (!document) return;
        document->media_changed();
        document->render(widthPx);
        // A word split to fit may move others; a few rounds settle every box.
        for (int round = 0; round < 6; ++round) {
            if (!breakOverflowingWords(*document, container, widthPx, 0) &&
                !breakOverflowingWords(*document, container, widthPx, 1) &&
                !breakOverflowingWords(*document, container, widthPx, 2))
                break;
            document->render(widthPx);
        }
        Justification(container).run(*document);
        if (rightToLeft) VisualOrder(container).run(*document);

        crowds = crowdsOf(*document);
        if (onlyToDraw) return;

        // Walk the drawing once without painting, to learn where every word and image lies.
        container.setRecording(true);
        document->draw(0, 0, 0, nullptr);
        container.setRecording(false);
        boxesPx = container.takeRecorded();
        placeLongTexts();
        std::sort(boxesPx.begin(), boxesPx.end(),
                  [](const HTMLKeepTogether& a, const HTMLKeepTogether& b) { return a.top < b.top; });
        heightPx = std::max(0, document->height());
        boxes.clear();
        lastContentPx = 0;
        for (const auto& box : boxesPx) {
            heightPx = std::max(heightPx, box.bottom);
            lastContentPx = std::max(lastContentPx, box.bottom);
            boxes.push_back({box.top * kPointsPerPixel, box.bottom * kPointsPerPixel, box.isText()});
        }
        auto blocks = keptTogether(*document, boxesPx);
        boxesPx.insert(boxesPx.end(), blocks.begin(), blocks.end());
        std::stable_sort(boxesPx.begin(), boxesPx.end(),
                         [](const HTMLKeepTogether& a, const HTMLKeepTogether& b) { return a.top < b.top; });
    }
};

HTMLDocument::HTMLDocument(const std::string& html, std::filesystem::path baseFolder)
    : impl_(std::make_unique<Impl>(html, std::move(baseFolder))) {}

HTMLDocument::HTMLDocument(const std::string& html, std::filesystem::path baseFolder, Fonts fonts)
    : impl_(std::make_unique<Impl>(html, std::move(baseFolder), fonts == Fonts::AnyThread)) {}

HTMLDocument::~HTMLDocument() = default;

double HTMLDocument::layout(double width, double pageHeight) {
    impl_->layOut(width, pageHeight, false);
    return contentHeight();
}

double HTMLDocument::contentHeight() const {
    return impl_->heightPx * kPointsPerPixel;
}
double HTMLDocument::layoutWidth() const {
    return impl_->widthPx * kPointsPerPixel;
}
const std::vector<HTMLBox>& HTMLDocument::boxes() const {
    return impl_->boxes;
}
std::set<std::string> HTMLDocument::missingResources() const {
    return impl_->container.missingResources();
}

std::vector<HTMLPageSlice> HTMLDocument::paginate(double pageHeight) const {
    const auto& d = *impl_;
    const int pagePx = std::max(1, toPx(pageHeight));
    // The page's margins, in whole pixels that keep at least the room asked for; margins that
    // would leave no room are not kept.
    const auto marginsOf = [&](bool first) -> std::pair<int, int> {
        const auto px = [](double points) { return static_cast<int>(std::ceil(points * kPxPerPt - 1e-6)); };
        const int top = px(first ? d.margins.firstTop : d.margins.top);
        const int bottom = px(first ? d.margins.firstBottom : d.margins.bottom);
        if (top + bottom >= pagePx) return {0, 0};
        return {top, bottom};
    };
    // What lies below the last word or picture is padding, margins and borders: it starts no page.
    const int contentEnd = d.lastContentPx > 0 ? std::min(d.heightPx, d.lastContentPx) : d.heightPx;
    std::vector<HTMLPageSlice> slices;
    auto add = [&](int top, int bottom, int marginTop) {
        slices.push_back({top * kPointsPerPixel, bottom * kPointsPerPixel, marginTop * kPointsPerPixel});
    };
    if (contentEnd <= 0) {
        add(0, 0, marginsOf(true).first);
        return slices;
    }
    int top = 0;
    while (top < contentEnd) {
        const auto [marginTop, marginBottom] = marginsOf(slices.empty());
        const int page = pagePx - marginTop - marginBottom;
        int cut = top + page;
        if (cut >= contentEnd) {
            add(top, std::min(d.heightPx, cut), marginTop);
            break;
        }
        // Move the cut above every box it would cross, until it crosses none. Boxes that start at
        // or above the page's top, and pictures or blocks taller than a page, cannot be kept whole.
        // Only the boxes starting on this page are looked at: a long document's pages cost no
        // more each than a short one's.
        // Blocks are kept whole only while the page keeps a line of text: a chain of them that
        // would leave it with nothing to read (a picture at most) is cut like any text instead.
        const auto onPage = std::upper_bound(d.boxesPx.begin(), d.boxesPx.end(), top,
                                             [](int y, const HTMLKeepTogether& b) { return y < b.top; });
        bool noClearCut = false;
        const auto cutAbove = [&](bool keepBlocks, bool inkToo = true) {
            // The spans the cut may not lie inside. A cut moved to the top of one may land inside
            // another, so spans that overlap are taken as one: the cut goes to the top of the
            // group it falls in, found in one pass however many lines reach into each other.
            std::vector<std::pair<int, int>> spans;
            for (auto it = onPage; it != d.boxesPx.end() && it->top < top + page; ++it) {
                const auto& box = *it;
                int from = inkToo ? box.top : box.coreTop();
                const int to = inkToo ? box.bottom : box.coreBottom();
                if (from <= top || (!keepBlocks && !box.isContent())) continue;
                if (!box.isText() && box.bottom - box.top > page) continue;
                // A picture or a band of colour is cut a pixel above, where that cuts no line:
                // a viewer that snaps the page's clip to its own pixels would show a hairline
                // of it at the page's foot otherwise.
                if (!box.isText() && box.top - 1 > top) {
                    bool endsALine = false;
                    for (auto b = onPage; b != d.boxesPx.end() && b->top < box.top; ++b)
                        endsALine = endsALine || (b->bottom > box.top - 1 && b->bottom <= box.top);
                    if (!endsALine) from = box.top - 1;
                }
                spans.push_back({from, to});
            }
            std::sort(spans.begin(), spans.end());
            const int at = top + page;
            int start = at, reach = std::numeric_limits<int>::min(), groups = 0;
            for (const auto& [from, to] : spans) {
                if (from >= at) break;
                if (from >= reach) {
                    start = from;
                    ++groups;
                }
                reach = std::max(reach, to);
            }
            noClearCut = inkToo && groups == 1 && reach > at;
            return reach > at ? start : at;
        };
        const auto holdsText = [&](int at) {
            for (auto it = onPage; it != d.boxesPx.end() && it->top < at; ++it)
                if (it->isText() && it->bottom <= at) return true;
            return false;
        };
        // The lines that start and end on the page, each counted once.
        const auto linesOn = [&](int at) {
            int lines = 0, lineTop = std::numeric_limits<int>::min();
            for (auto it = onPage; it != d.boxesPx.end() && it->top < at; ++it)
                if (it->isText() && it->coreBottom() <= at && it->coreTop() > lineTop) {
                    ++lines;
                    lineTop = it->coreTop();
                }
            return lines;
        };
        bool keepBlocks = true;
        cut = cutAbove(true);
        if (!holdsText(cut)) cut = cutAbove(keepBlocks = false);
        // Lines whose letters reach into each other (stacked marks) leave no cut clear of all ink
        // on the whole page: rather than pages of a line each, such a page is cut between lines,
        // through the ink that reaches across.
        if (noClearCut && linesOn(top + page) >= kLinesReachingAcross)
            cut = std::max(cut, cutAbove(keepBlocks, false));
        if (cut <= top) cut = top + page;
        add(top, cut, marginTop);
        top = cut;
    }
    return slices;
}

void HTMLDocument::drawSlice(cairo_t* cr, const HTMLPageSlice& slice, double pageHeight) const {
    const auto& d = *impl_;
    if (!d.document) return;
    const int top = static_cast<int>(std::lround(slice.top * kPxPerPt));
    const int bottom = static_cast<int>(std::lround(slice.bottom * kPxPerPt));
    // The page around the slice, in the page's pixels: from its top edge, the slice's margin
    // above it, down to its foot.
    const int above = pageHeight > 0 ? static_cast<int>(std::lround(slice.pageTop * kPxPerPt)) : 0;
    const int pageTop = top - above;
    const int pageBottom = std::max(bottom, pageTop + static_cast<int>(std::lround(pageHeight * kPxPerPt)));
    const PageOfCrowds page(d.crowds, pageTop, pageBottom);
    cairo_save(cr);
    cairo_translate(cr, 0, above * kPointsPerPixel);
    cairo_save(cr);
    cairo_scale(cr, kPointsPerPixel, kPointsPerPixel);
    // Without a background on the root or the body there is no paper to paint, and the pass
    // that paints it would walk the page's words for nothing.
    const auto root = d.document->root();
    if ((pageBottom > bottom || above > 0) && root && root->get_background(false)) {
        // The page's paper first, over its margins and down to its foot, then what the slice
        // holds on it.
        cairo_save(cr);
        cairo_rectangle(cr, -d.widthPx, -above, 3.0 * d.widthPx, pageBottom - pageTop);
        cairo_clip(cr);
        litehtml::position canvas(-d.widthPx, -above, 3 * d.widthPx, pageBottom - pageTop);
        d.container.setCanvasOnly(&canvas, canvasSource(*d.document, top));
        d.document->draw(reinterpret_cast<litehtml::uint_ptr>(cr), 0, -top, &canvas);
        d.container.setCanvasOnly(nullptr);
        cairo_restore(cr);
    }
    if (bottom > top) {
        // Wide enough for content that overflows the column; only the slice's height is cut.
        cairo_rectangle(cr, -d.widthPx, 0, 3.0 * d.widthPx, bottom - top);
        cairo_clip(cr);
        litehtml::position clip(-d.widthPx, 0, 3 * d.widthPx, bottom - top);
        d.container.setDrawOrigin(0, -top);
        d.document->draw(reinterpret_cast<litehtml::uint_ptr>(cr), 0, -top, &clip);
    }
    cairo_restore(cr);
    if (bottom > top) d.drawLongTexts(cr, top, bottom);
    cairo_restore(cr);
}

HTMLPrintResult renderHTMLToPDF(const std::string& html, const std::filesystem::path& baseFolder,
                                const std::filesystem::path& pdfPath, CGSize paper, UIEdgeInsets margins) {
    HTMLPrintResult result;
    const double width = paper.width - margins.left - margins.right;
    const double height = paper.height - margins.top - margins.bottom;
    if (width <= 0 || height <= 0) {
        result.error = "the margins leave no room on the page";
        return result;
    }
    HTMLDocument document(html, baseFolder);
    document.layout(width, paper.height);
    PDFWriter writer(paper);
    for (const auto& slice : document.paginate(height)) {
        cairo_t* cr = writer.beginPage(paper);
        cairo_save(cr);
        cairo_translate(cr, margins.left, margins.top);
        document.drawSlice(cr, slice, height);
        cairo_restore(cr);
    }
    if (!writer.finish() || !writeFileAtomically(pdfPath, writer.data(), &result.error)) {
        if (result.error.empty()) result.error = writer.error();
        return result;
    }
    result.ok = true;
    result.pageCount = writer.pageCount();
    return result;
}

} // namespace platform
