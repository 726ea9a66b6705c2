#include "platform/uikit/TextDrawing.h"

#include <algorithm>
#include <cctype>

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include "platform/foundation/FontLock.h"
#include "platform/uikit/ShownText.h"
#include "platform/uikit/TextLayoutLines.h"

namespace platform {

void FontDescriptionDeleter::operator()(PangoFontDescription* description) const {
    pango_font_description_free(description);
}

void LayoutDeleter::operator()(PangoLayout* layout) const {
    FontLock::Guard fonts;
    g_object_unref(layout);
}

namespace {
struct FaceName {
    std::string family;
    PangoWeight weight = PANGO_WEIGHT_NORMAL;
    PangoStyle style = PANGO_STYLE_NORMAL;
};

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// "HelveticaNeue-BoldItalic" -> family "Helvetica Neue", bold, italic.
FaceName parseFontName(const std::string& fontName) {
    FaceName face;
    std::string base = fontName;
    std::string variant;
    if (auto dash = fontName.find('-'); dash != std::string::npos && dash > 0) {
        base = fontName.substr(0, dash);
        variant = lower(fontName.substr(dash + 1));
    }
    if (base.empty() || base[0] == '.') {
        // The system font: the desktop's sans-serif face.
        face.family = "sans-serif";
    } else if (base.find(' ') != std::string::npos) {
        face.family = base;
    } else {
        // Split CamelCase names into words ("HelveticaNeue" -> "Helvetica Neue") as fontconfig
        // knows the families by their spaced names.
        for (std::size_t i = 0; i < base.size(); ++i) {
            if (i > 0 && std::isupper(static_cast<unsigned char>(base[i])) &&
                std::islower(static_cast<unsigned char>(base[i - 1])))
                face.family += ' ';
            face.family += base[i];
        }
    }
    if (lower(base) == "courier" || lower(base) == "couriernew" || lower(base) == "menlo")
        face.family = "monospace";
    if (variant.find("bold") != std::string::npos || variant.find("heavy") != std::string::npos ||
        variant.find("black") != std::string::npos)
        face.weight = PANGO_WEIGHT_BOLD;
    else if (variant.find("semibold") != std::string::npos || variant.find("medium") != std::string::npos)
        face.weight = PANGO_WEIGHT_SEMIBOLD;
    else if (variant.find("light") != std::string::npos || variant.find("thin") != std::string::npos)
        face.weight = PANGO_WEIGHT_LIGHT;
    if (variant.find("semibold") != std::string::npos) face.weight = PANGO_WEIGHT_SEMIBOLD;
    if (variant.find("italic") != std::string::npos || variant.find("oblique") != std::string::npos)
        face.style = PANGO_STYLE_ITALIC;
    return face;
}

PangoAlignment pangoAlignment(NSTextAlignment alignment) {
    switch (alignment) {
    case NSTextAlignment::Center:
        return PANGO_ALIGN_CENTER;
    case NSTextAlignment::Right:
        return PANGO_ALIGN_RIGHT;
    default:
        return PANGO_ALIGN_LEFT;
    }
}

// Debian's configuration puts the Noto families before DejaVu for the generic families; the
// screens were drawn with DejaVu, so it comes first again, with Noto right behind it.
constexpr const char* kFontRules = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <match target="pattern">
    <test name="family" qual="any"><string>Noto Sans</string></test>
    <edit name="family" mode="prepend" binding="same"><string>DejaVu Sans</string></edit>
  </match>
  <match target="pattern">
    <test name="family" qual="any"><string>Noto Serif</string></test>
    <edit name="family" mode="prepend" binding="same"><string>DejaVu Serif</string></edit>
  </match>
  <match target="pattern">
    <test name="family" qual="any"><string>Noto Sans Mono</string></test>
    <edit name="family" mode="prepend" binding="same"><string>DejaVu Sans Mono</string></edit>
  </match>
</fontconfig>
)";

// What a label or title lays out of its text: no screen shows more than this much of one, and
// pango's time grows with the whole of what it is given.
constexpr std::size_t kMaxLabelBytes = 16384;

std::string shownPart(const std::string& text) {
    return ShownText(ShownText::prefix(text, kMaxLabelBytes)).text();
}

// What is set of a text with a line limit: pango limits the lines of each paragraph, so a title
// holding line breaks would still spill one line per paragraph out of its box. Past the limit (at
// most `maxLines`, 0 for any, and no more than fit in `maxHeight` when it is positive, but always
// one) the lines are left out and the last line shown ends in an ellipsis, as on the phone.
struct Fitted {
    std::string text;
    TextStyle style;
};
Fitted fitted(std::string shown, TextStyle style, CGFloat width, CGFloat maxHeight) {
    const long limit = style.numberOfLines;
    const bool broken = shown.find_first_of("\n\r") != std::string::npos;
    // A single line without breaks is pango's own ellipsizing; no limit at all leaves all.
    if ((limit == 1 && !broken) || (limit <= 0 && maxHeight <= 0)) return {std::move(shown), style};
    TextStyle open = style;
    open.numberOfLines = 0;
    open.lineBreakMode = NSLineBreakMode::ByWordWrapping;
    auto whole = TextDrawing::layout(shown, open, width);
    const int count = pango_layout_get_line_count(whole.get());
    int keep = limit > 0 ? std::min<int>(count, static_cast<int>(limit)) : count;
    if (maxHeight > 0) {
        PangoLayoutIter* lines = pango_layout_get_iter(whole.get());
        int fit = 0;
        do {
            int top = 0, bottom = 0;
            pango_layout_iter_get_line_yrange(lines, &top, &bottom);
            if (fit > 0 && bottom > maxHeight * PANGO_SCALE) break;
            ++fit;
        } while (pango_layout_iter_next_line(lines));
        pango_layout_iter_free(lines);
        keep = std::min(keep, fit);
    }
    if (keep >= count) {
        style.numberOfLines = 0;
        return {std::move(shown), style};
    }
    const PangoLayoutLine* next = pango_layout_get_line_readonly(whole.get(), keep);
    std::string kept = shown.substr(0, static_cast<std::size_t>(next->start_index));
    while (!kept.empty() && std::isspace(static_cast<unsigned char>(kept.back())))
        kept.pop_back();
    // One paragraph of the lines kept (a line separator breaks a line without ending it), so that
    // the limit of lines holds for them all: the ellipsis ends the last one, shortening it if need be.
    std::string joined;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const bool lineBreak = kept[i] == '\r' || (kept[i] == '\n' && (i == 0 || kept[i - 1] != '\r'));
        if (lineBreak)
            joined += "\u2028";
        else if (kept[i] != '\n')
            joined += kept[i];
    }
    joined += "\u2026";
    style.numberOfLines = keep;
    style.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
    return {std::move(joined), style};
}

// One cairo context for measuring outside of any drawing, per thread: a cairo context is not to
// be used by two threads at once.
cairo_t* measuringContext() {
    TextDrawing::fontMap();
    struct Measuring {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
        cairo_t* cr = cairo_create(surface);
        ~Measuring() {
            FontLock::Guard fonts;
            cairo_destroy(cr);
            cairo_surface_destroy(surface);
        }
    };
    thread_local Measuring measuring;
    return measuring.cr;
}

// The rules belong to the process's fontconfig, loaded once before any thread looks a font up.
void loadFontRules() {
    static const bool rulesLoaded = [] {
        FcConfig* config = FcConfigGetCurrent();
        return FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kFontRules), FcTrue);
    }();
    (void)rulesLoaded;
}
} // namespace

PangoFontMap* TextDrawing::sharedFontMap() {
    FontLock::Guard fonts;
    loadFontRules();
    static PangoFontMap* const map = pango_cairo_font_map_new();
    return map;
}

PangoFontMap* TextDrawing::fontMap() {
    FontLock::Guard fonts;
    loadFontRules();
    // pango's default map is the calling thread's own (its caches are not shared between threads):
    // a print made on a worker has one, the main thread's screens another.
    thread_local PangoFontMap* map = [] {
        PangoFontMap* fonts = pango_cairo_font_map_get_default();
        // Whatever was looked up before the rules is looked up again.
        if (PANGO_IS_FC_FONT_MAP(fonts)) pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(fonts));
        return fonts;
    }();
    return map;
}

std::string TextDrawing::familyForFontName(const std::string& fontName) {
    return parseFontName(fontName).family;
}

FontDescription TextDrawing::fontDescription(const UIFont& font) {
    const FaceName face = parseFontName(font.fontName);
    FontDescription description(pango_font_description_new());
    pango_font_description_set_family(description.get(), face.family.c_str());
    pango_font_description_set_weight(description.get(), face.weight);
    pango_font_description_set_style(description.get(), face.style);
    // Points of the screen are user-space units of the cairo context.
    pango_font_description_set_absolute_size(description.get(), std::max(1.0, font.pointSize) * PANGO_SCALE);
    return description;
}

TextLayout TextDrawing::layout(const std::string& text, const TextStyle& style, CGFloat width) {
    FontLock::Guard fonts;
    // Unhinted outlines and metrics: text is laid out the same at every scale, so that a picture at
    // scale 2 and the window at any size agree, and measuring matches drawing. So it is laid out
    // at one scale, whatever it is drawn at: fonts are looked up once, not again for every scale
    // a zooming view passes through (the letters are still drawn at the scale they are shown).
    TextLayout layout(pango_cairo_create_layout(measuringContext()));
    static cairo_font_options_t* options = [] {
        cairo_font_options_t* o = cairo_font_options_create();
        cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
        return o;
    }();
    pango_cairo_context_set_font_options(pango_layout_get_context(layout.get()), options);
    pango_layout_context_changed(layout.get());
    auto description = fontDescription(style.font);
    pango_layout_set_font_description(layout.get(), description.get());
    pango_layout_set_text(layout.get(), text.c_str(), static_cast<int>(text.size()));
    pango_layout_set_alignment(layout.get(), pangoAlignment(style.alignment));
    pango_layout_set_justify(layout.get(), style.alignment == NSTextAlignment::Justified);
    if (width > 0) pango_layout_set_width(layout.get(), static_cast<int>(width * PANGO_SCALE));
    switch (style.lineBreakMode) {
    case NSLineBreakMode::ByCharWrapping:
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_CHAR);
        break;
    case NSLineBreakMode::ByTruncatingHead:
        pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_START);
        break;
    case NSLineBreakMode::ByTruncatingTail:
        pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
        break;
    default:
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
        break;
    }
    if (style.numberOfLines == 1 && width > 0 && style.lineBreakMode != NSLineBreakMode::ByClipping)
        pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
    if (style.numberOfLines > 1)
        pango_layout_set_height(layout.get(), -static_cast<int>(style.numberOfLines));
    TextLayoutLines::setSpacing(layout.get(), style.lineHeightMultiple, style.paragraphSpacing);
    return layout;
}

CGSize TextDrawing::measure(const std::string& text, const TextStyle& style, CGFloat width) {
    FontLock::Guard fonts;
    const auto [shown, set] = fitted(shownPart(text), style, width, 0);
    auto l = layout(shown, set, width);
    int w = 0, h = 0;
    pango_layout_get_size(l.get(), &w, &h);
    return {static_cast<CGFloat>(w) / PANGO_SCALE, TextLayoutLines(l.get(), shown).height()};
}

CGFloat TextDrawing::lineHeight(const UIFont& font) {
    TextStyle style;
    style.font = font;
    return measure("Ag", style).height;
}

CGFloat TextDrawing::draw(cairo_t* cr, const std::string& text, const CGRect& rect, const TextStyle& style) {
    FontLock::Guard fonts;
    if (text.empty()) return 0;
    const auto [shown, set] = fitted(shownPart(text), style, rect.width(), 0);
    auto l = layout(shown, set, rect.width());
    if (set.numberOfLines == 1) pango_layout_set_height(l.get(), -1);
    const TextLayoutLines lines(l.get(), shown);
    cairo_save(cr);
    setColor(cr, style.color);
    lines.drawText(cr, rect.origin);
    cairo_restore(cr);
    return lines.height();
}

void TextDrawing::drawCenteredVertically(cairo_t* cr, const std::string& text, const CGRect& rect,
                                         const TextStyle& style, bool withinHeight) {
    FontLock::Guard fonts;
    if (text.empty()) return;
    const auto [shown, set] = fitted(shownPart(text), style, rect.width(), withinHeight ? rect.height() : 0);
    auto l = layout(shown, set, rect.width());
    const TextLayoutLines lines(l.get(), shown);
    cairo_save(cr);
    setColor(cr, style.color);
    lines.drawText(cr, {rect.minX(), rect.minY() + (rect.height() - lines.height()) / 2});
    cairo_restore(cr);
}

void TextDrawing::setColor(cairo_t* cr, const UIColor& color, double alpha) {
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha * alpha);
}

} // namespace platform
