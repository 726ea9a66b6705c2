#include "platform/swiftui/TextSetter.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>
#include <vector>

#include "platform/foundation/FontLock.h"
#include "platform/uikit/TextDrawing.h"

namespace platform::swiftui {

namespace {

// The font as the platform's font names spell it, so that declarative texts take the same faces
// as every other text on screen.
UIFont uiFontOf(const Font& font) {
    static const char* const styles[] = {"system", "footnote", "body",    "headline",  "subheadline",
                                         "title",  "caption",  "callout", "largeTitle"};
    double size = font.size > 0 ? font.size : 17;
    bool isStyle = std::find(std::begin(styles), std::end(styles), font.name) != std::end(styles);
    std::string weight = font.weight;
    if (!weight.empty()) weight[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(weight[0])));
    if (isStyle) return {".SFUI-" + weight, size};
    return {font.weight == "regular" ? font.name : font.name + "-" + weight, size};
}

PangoFontDescription* describe(Font font, double scale) {
    font.size = (font.size > 0 ? font.size : 17) * scale;
    return TextDrawing::fontDescription(uiFontOf(font)).release();
}

guint16 channel(double v) {
    return static_cast<guint16>(std::lround(std::clamp(v, 0.0, 1.0) * 65535));
}

void addColor(PangoAttrList* list, const Color& c, guint start, guint end) {
    PangoAttribute* fg = pango_attr_foreground_new(channel(c.r), channel(c.g), channel(c.b));
    fg->start_index = start;
    fg->end_index = end;
    pango_attr_list_insert(list, fg);
    if (c.a < 1) {
        PangoAttribute* alpha = pango_attr_foreground_alpha_new(channel(c.a));
        alpha->start_index = start;
        alpha->end_index = end;
        pango_attr_list_insert(list, alpha);
    }
}

// Pango breaks a line inside a word by shaping again what is left of the word's item, once for
// each line: a word of 70,000 letters set in a narrow frame cost the square of its length. An item
// ends where an attribute does, so every stretch without a blank longer than kPieceBytes is cut
// into pieces of about that length, at grapheme boundaries, by an attribute that changes nothing
// drawn (font fallback, which is on anyway); no line then shapes more than a piece again.
constexpr std::size_t kPieceBytes = 256;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void cutIntoPieces(const char* stretch, std::size_t length, std::size_t offset, PangoAttrList* list) {
    if (!g_utf8_validate(stretch, static_cast<gssize>(length), nullptr)) return;
    const auto chars = static_cast<std::size_t>(g_utf8_strlen(stretch, static_cast<gssize>(length)));
    std::vector<PangoLogAttr> attrs(chars + 1);
    pango_get_log_attrs(stretch, static_cast<int>(length), -1, nullptr, attrs.data(),
                        static_cast<int>(attrs.size()));
    std::size_t start = 0, at = 0;
    auto cut = [&](std::size_t end) {
        PangoAttribute* piece = pango_attr_fallback_new(TRUE);
        piece->start_index = static_cast<guint>(offset + start);
        piece->end_index = static_cast<guint>(offset + end);
        pango_attr_list_insert(list, piece);
        start = end;
    };
    for (std::size_t i = 0; i < chars; ++i) {
        at = static_cast<std::size_t>(g_utf8_next_char(stretch + at) - stretch);
        if (at - start >= kPieceBytes && attrs[i + 1].is_cursor_position && at < length) cut(at);
    }
    cut(length);
}

void cutLongStretches(const std::string& text, PangoAttrList* list) {
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isBlank(text[i])) continue;
        if (i - begin > kPieceBytes) cutIntoPieces(text.data() + begin, i - begin, begin, list);
        begin = i + 1;
    }
}

} // namespace

void TextSetter::LayoutDeleter::operator()(PangoLayout* layout) const {
    FontLock::Guard fonts;
    g_object_unref(layout);
}

TextSetter::TextSetter() {
    context_ = pango_font_map_create_context(TextDrawing::fontMap());
    pango_cairo_context_set_resolution(context_, 72);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context_, FALSE);
}

TextSetter::~TextSetter() {
    FontLock::Guard fonts;
    g_object_unref(context_);
}

std::unique_ptr<PangoLayout, TextSetter::LayoutDeleter> TextSetter::layout(const std::vector<TextRun>& runs,
                                                                           const TextStyle& style,
                                                                           std::optional<double> width,
                                                                           const Color& fallback) const {
    std::unique_ptr<PangoLayout, LayoutDeleter> layout(pango_layout_new(context_));
    std::string text;
    PangoAttrList* attrs = pango_attr_list_new();
    for (const TextRun& run : runs) {
        auto start = static_cast<guint>(text.size());
        text += run.text;
        auto end = static_cast<guint>(text.size());
        addColor(attrs, run.color.value_or(style.color.value_or(fallback)), start, end);
        if (run.font) {
            PangoFontDescription* d = describe(*run.font, style.scale);
            PangoAttribute* a = pango_attr_font_desc_new(d);
            pango_font_description_free(d);
            a->start_index = start;
            a->end_index = end;
            pango_attr_list_insert(attrs, a);
        }
    }
    if (width) cutLongStretches(text, attrs);
    PangoFontDescription* base = describe(style.font, style.scale);
    pango_layout_set_font_description(layout.get(), base);
    pango_font_description_free(base);
    pango_layout_set_text(layout.get(), text.c_str(), static_cast<int>(text.size()));
    pango_layout_set_attributes(layout.get(), attrs);
    pango_attr_list_unref(attrs);
    if (width) {
        pango_layout_set_width(layout.get(), static_cast<int>(std::max(1.0, *width) * PANGO_SCALE));
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
        if (style.lineLimit > 0) {
            pango_layout_set_height(layout.get(), -style.lineLimit);
            pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
        }
    }
    PangoAlignment align = style.alignment == "center"     ? PANGO_ALIGN_CENTER
                           : style.alignment == "trailing" ? PANGO_ALIGN_RIGHT
                                                           : PANGO_ALIGN_LEFT;
    pango_layout_set_alignment(layout.get(), align);
    return layout;
}

PangoLayout* TextSetter::cached(const std::vector<TextRun>& runs, const TextStyle& style,
                                std::optional<double> width, const Color& fallback) const {
    std::ostringstream key;
    key.precision(17);
    auto color = [&](const Color& c) { key << c.r << ',' << c.g << ',' << c.b << ',' << c.a << ';'; };
    auto font = [&](const Font& f) { key << f.name << ',' << f.size << ',' << f.weight << ';'; };
    for (const TextRun& r : runs) {
        key << r.text.size() << ':' << r.text;
        if (r.color) color(*r.color);
        key << '|';
        if (r.font) font(*r.font);
        key << '|';
    }
    font(style.font);
    if (style.color) color(*style.color);
    color(fallback);
    key << style.lineLimit << style.alignment << ';' << style.scale << ';' << (width ? *width : -1.0);
    std::string k = key.str();
    if (auto it = layouts_.find(k); it != layouts_.end()) return it->second.get();
    // Kept for a few frames' worth of texts, then started afresh.
    if (layouts_.size() > 1024) layouts_.clear();
    return layouts_.emplace(std::move(k), layout(runs, style, width, fallback)).first->second.get();
}

CGSize TextSetter::measure(const std::vector<TextRun>& runs, const TextStyle& style,
                           std::optional<double> width) const {
    FontLock::Guard fonts;
    PangoLayout* l = cached(runs, style, width, Color::black());
    PangoRectangle logical;
    pango_layout_get_extents(l, nullptr, &logical);
    return {std::ceil(static_cast<double>(logical.width) / PANGO_SCALE),
            std::ceil(static_cast<double>(logical.height) / PANGO_SCALE)};
}

platform::TextLayout TextSetter::plainLayout(const std::string& text, const TextStyle& style,
                                             std::optional<double> width) const {
    return platform::TextLayout(layout({TextRun{text, {}, {}}}, style, width, Color::black()).release());
}

void TextSetter::draw(cairo_t* cr, const std::vector<TextRun>& runs, const TextStyle& style,
                      const CGRect& rect, const Color& fallback) const {
    FontLock::Guard fonts;
    PangoLayout* l = cached(runs, style, rect.width(), fallback);
    PangoRectangle logical;
    pango_layout_get_extents(l, nullptr, &logical);
    cairo_save(cr);
    // A text shorter than its frame (a single line that was measured without a width) stands where
    // its alignment puts it; the lines themselves are aligned by pango within the frame's width.
    cairo_move_to(cr, rect.minX(), rect.minY() + (rect.height() - logical.height / double(PANGO_SCALE)) / 2);
    pango_cairo_show_layout(cr, l);
    cairo_restore(cr);
}

} // namespace platform::swiftui
