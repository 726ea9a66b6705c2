#include "platform/webkit/HTMLContainer.h"

#include "platform/foundation/FontLock.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/webkit/PrintedLine.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string_view>
#include <unordered_map>

#include "platform/uikit/ImageFile.h"

namespace platform {

namespace fs = std::filesystem;

struct HTMLContainer::Font {
    PangoFontDescription* description = nullptr;
    PangoLayout* layout = nullptr; // reused for every measure and draw of this font
    unsigned decoration = 0;
    int ascent = 0;
    int descent = 0;
    double underlinePosition = 0, underlineThickness = 1;
    double strikePosition = 0, strikeThickness = 1;
    // What pango measured of each word set in this font: a long text repeats its words, and each
    // measure would lay the word out again. Width, and the top and height of its line's ink.
    struct Measure {
        int width = 0, top = 0, height = 0;
        double advance = 0; // the width unrounded: where the next glyph would stand
    };
    std::unordered_map<std::string, Measure> measured;

    const Measure& measure(const char* text) {
        auto [at, fresh] = measured.try_emplace(text);
        if (!fresh) return at->second;
        FontLock::Guard fonts;
        pango_layout_set_text(layout, text, -1);
        int width = 0;
        pango_layout_get_size(layout, &width, nullptr);
        PangoRectangle logical;
        pango_layout_line_get_pixel_extents(pango_layout_get_line_readonly(layout, 0), nullptr, &logical);
        const double advance = static_cast<double>(width) / PANGO_SCALE;
        at->second = {static_cast<int>(std::ceil(advance)), logical.y, logical.height, advance};
        return at->second;
    }

    // Words as drawn, shaped once: a long text draws the same few thousand words on every page,
    // and shaping each again cost more than drawing it. Bounded, since a text may hold any number
    // of different words; when full it starts over.
    static constexpr std::size_t kShapedWords = 4096;
    std::unordered_map<std::string, PangoLayout*> shaped;
    // Set right to left (a part of a line the bidirectional algorithm turned), by `rightToLeft`.
    PangoLayout* rightToLeft = nullptr;
    std::unordered_map<std::string, PangoLayout*> shapedRightToLeft;

    PangoLayout* shapedLayout(const std::string& text, bool turned = false) {
        auto& words = turned ? shapedRightToLeft : shaped;
        auto found = words.find(text);
        if (found != words.end()) return found->second;
        if (words.size() >= kShapedWords) forgetShaped(words);
        PangoLayout* copy = pango_layout_copy(turned ? rightToLeft : layout);
        pango_layout_set_text(copy, text.data(), static_cast<int>(text.size()));
        words.emplace(text, copy);
        return copy;
    }

    static void forgetShaped(std::unordered_map<std::string, PangoLayout*>& words) {
        for (auto& [word, shapedWord] : words)
            g_object_unref(shapedWord);
        words.clear();
    }

    ~Font() {
        forgetShaped(shaped);
        forgetShaped(shapedRightToLeft);
        if (layout) g_object_unref(layout);
        if (rightToLeft) g_object_unref(rightToLeft);
        if (description) pango_font_description_free(description);
    }
};

namespace {

std::string trim(const std::string& s) {
    auto begin = s.find_first_not_of(" \t\r\n\"'");
    if (begin == std::string::npos) return {};
    auto end = s.find_last_not_of(" \t\r\n\"'");
    return s.substr(begin, end - begin + 1);
}

// CSS family lists name generic families that fontconfig would resolve to whatever the machine
// prefers; pin them to the fonts we ship with so that layout is the same everywhere.
std::string pangoFamilies(const char* faceName) {
    std::string out;
    std::stringstream list(faceName ? faceName : "");
    std::string item;
    while (std::getline(list, item, ',')) {
        std::string family = trim(item);
        std::string lower = family;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (lower == "serif" || lower == "cursive" || lower == "fantasy")
            family = "DejaVu Serif";
        else if (lower == "sans-serif" || lower == "system-ui" || lower == "-apple-system")
            family = "DejaVu Sans";
        else if (lower == "monospace")
            family = "DejaVu Sans Mono";
        if (family.empty()) continue;
        if (!out.empty()) out += ",";
        out += family;
    }
    return out.empty() ? "DejaVu Serif" : out;
}

std::string percentDecode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool isInside(const fs::path& path, const fs::path& folder) {
    auto p = path.lexically_normal();
    auto f = folder.lexically_normal();
    auto [fi, pi] = std::mismatch(f.begin(), f.end(), p.begin(), p.end());
    // A trailing empty element (folder ending in '/') matches anything.
    return fi == f.end() || (std::next(fi) == f.end() && fi->empty());
}

void setColor(cairo_t* cr, const litehtml::web_color& c) {
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

void roundedRectangle(cairo_t* cr, const litehtml::position& pos, const litehtml::border_radiuses& r) {
    if (r.top_left_x <= 0 && r.top_right_x <= 0 && r.bottom_left_x <= 0 && r.bottom_right_x <= 0) {
        cairo_rectangle(cr, pos.x, pos.y, pos.width, pos.height);
        return;
    }
    const double x = pos.x, y = pos.y, w = pos.width, h = pos.height;
    auto corner = [&](double cx, double cy, double radius, double from, double to) {
        if (radius > 0)
            cairo_arc(cr, cx, cy, radius, from, to);
        else
            cairo_line_to(cr, cx, cy);
    };
    cairo_new_sub_path(cr);
    corner(x + w - r.top_right_x, y + r.top_right_x, r.top_right_x, -M_PI / 2, 0);
    corner(x + w - r.bottom_right_x, y + h - r.bottom_right_x, r.bottom_right_x, 0, M_PI / 2);
    corner(x + r.bottom_left_x, y + h - r.bottom_left_x, r.bottom_left_x, M_PI / 2, M_PI);
    corner(x + r.top_left_x, y + r.top_left_x, r.top_left_x, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

// Whether `parts` hold every byte of a word `bytes` long once: a word that is not the one its line
// was set with is drawn whole instead.
bool cover(const std::vector<HTMLTextPart>& parts, std::size_t bytes) {
    std::size_t covered = 0;
    for (const auto& part : parts) {
        if (part.begin > bytes || part.length > bytes - part.begin) return false;
        covered += part.length;
    }
    return covered == bytes;
}


} // namespace

HTMLContainer::HTMLContainer(fs::path baseFolder, int pageWidthPx, int pageHeightPx, bool anyThread)
    : base_(std::move(baseFolder)), pageWidth_(pageWidthPx), pageHeight_(pageHeightPx) {
    if (!base_.empty()) {
        std::error_code ec;
        auto absolute = fs::weakly_canonical(base_, ec);
        if (!ec) base_ = absolute;
    }
    PangoFontMap* map = anyThread ? TextDrawing::sharedFontMap() : TextDrawing::fontMap();
    // Unhinted metrics keep widths proportional to the font size, so a layout measured here is the
    // layout drawn into the PDF at any scale.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    for (PangoContext** context : {&pango_, &pangoRightToLeft_}) {
        *context = pango_font_map_create_context(map);
        pango_cairo_context_set_font_options(*context, options);
        pango_cairo_context_set_resolution(*context, 72);
        pango_context_set_round_glyph_positions(*context, FALSE);
    }
    cairo_font_options_destroy(options);
    pango_context_set_base_dir(pangoRightToLeft_, PANGO_DIRECTION_RTL);
}

HTMLContainer::~HTMLContainer() {
    FontLock::Guard fonts;
    if (pango_) g_object_unref(pango_);
    if (pangoRightToLeft_) g_object_unref(pangoRightToLeft_);
}

void HTMLContainer::setPageSize(int widthPx, int heightPx) {
    pageWidth_ = widthPx;
    pageHeight_ = heightPx;
}

fs::path HTMLContainer::resolve(const std::string& reference) const {
    std::string ref = trim(reference);
    if (auto cut = ref.find_first_of("?#"); cut != std::string::npos) ref.erase(cut);
    if (ref.empty()) return {};
    auto colon = ref.find(':');
    auto slash = ref.find('/');
    if (colon != std::string::npos && (slash == std::string::npos || colon < slash)) {
        std::string scheme = ref.substr(0, colon);
        std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (scheme != "file") return {}; // http, data, ...: nothing is fetched from elsewhere
        ref = ref.substr(colon + 1);
        if (ref.rfind("//", 0) == 0) {
            ref = ref.substr(2);
            auto hostEnd = ref.find('/');
            if (hostEnd == std::string::npos) return {};
            std::string host = ref.substr(0, hostEnd);
            if (!host.empty() && host != "localhost") return {};
            ref = ref.substr(hostEnd);
        }
    }
    ref = percentDecode(ref);
    fs::path path(ref);
    if (path.is_absolute()) return path.lexically_normal();
    if (base_.empty()) return {};
    fs::path full = (base_ / path).lexically_normal();
    if (!isInside(full, base_)) return {};
    return full;
}

// Fonts -------------------------------------------------------------------------------------------

litehtml::uint_ptr HTMLContainer::create_font(const litehtml::tchar_t* faceName, int size, int weight,
                                              litehtml::font_style italic, unsigned int decoration,
                                              litehtml::font_metrics* fm) {
    FontLock::Guard fonts;
    auto font = std::make_unique<Font>();
    font->description = pango_font_description_new();
    pango_font_description_set_family(font->description, pangoFamilies(faceName).c_str());
    pango_font_description_set_absolute_size(font->description, std::max(size, 1) * PANGO_SCALE);
    pango_font_description_set_weight(font->description,
                                      static_cast<PangoWeight>(std::clamp(weight, 100, 1000)));
    pango_font_description_set_style(
        font->description, italic == litehtml::fontStyleItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    font->decoration = decoration;
    font->layout = pango_layout_new(pango_);
    pango_layout_set_font_description(font->layout, font->description);
    pango_layout_set_single_paragraph_mode(font->layout, TRUE);
    font->rightToLeft = pango_layout_new(pangoRightToLeft_);
    pango_layout_set_font_description(font->rightToLeft, font->description);
    pango_layout_set_single_paragraph_mode(font->rightToLeft, TRUE);
    pango_layout_set_auto_dir(font->rightToLeft, FALSE);

    PangoFontMetrics* metrics = pango_context_get_metrics(pango_, font->description, nullptr);
    const double scale = PANGO_SCALE;
    font->ascent = static_cast<int>(std::lround(pango_font_metrics_get_ascent(metrics) / scale));
    font->descent = static_cast<int>(std::lround(pango_font_metrics_get_descent(metrics) / scale));
    font->underlinePosition = pango_font_metrics_get_underline_position(metrics) / scale;
    font->underlineThickness = std::max(1.0, pango_font_metrics_get_underline_thickness(metrics) / scale);
    font->strikePosition = pango_font_metrics_get_strikethrough_position(metrics) / scale;
    font->strikeThickness = std::max(1.0, pango_font_metrics_get_strikethrough_thickness(metrics) / scale);
    pango_font_metrics_unref(metrics);

    if (fm) {
        fm->ascent = font->ascent;
        fm->descent = font->descent;
        fm->height = font->ascent + font->descent;
        PangoRectangle ink;
        pango_layout_set_text(font->layout, "x", 1);
        pango_layout_get_pixel_extents(font->layout, &ink, nullptr);
        fm->x_height = ink.height > 0 ? ink.height : font->ascent / 2;
        fm->draw_spaces =
            (decoration & (litehtml::font_decoration_underline | litehtml::font_decoration_linethrough |
                           litehtml::font_decoration_overline)) != 0;
    }
    return reinterpret_cast<litehtml::uint_ptr>(font.release());
}

void HTMLContainer::delete_font(litehtml::uint_ptr hFont) {
    FontLock::Guard fonts;
    delete reinterpret_cast<Font*>(hFont);
}

int HTMLContainer::text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) {
    auto* font = reinterpret_cast<Font*>(hFont);
    if (!font || !text) return 0;
    return font->measure(text).width;
}

double HTMLContainer::textAdvance(const char* text, litehtml::uint_ptr hFont) {
    auto* font = reinterpret_cast<Font*>(hFont);
    if (!font || !text) return 0;
    return font->measure(text).advance;
}

void HTMLContainer::draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr hFont,
                              litehtml::web_color color, const litehtml::position& pos) {
    auto* font = reinterpret_cast<Font*>(hFont);
    if (!font || !text) return;
    if (recording_) {
        // A glyph from a fallback font (Devanagari, emoji) may reach above or below the line box
        // that the first font's metrics gave: the page cut keeps clear of what is drawn.
        const auto& ink = font->measure(text);
        const int baseline = pos.bottom() - font->descent;
        record(std::min(pos.top(), baseline + ink.top),
               std::max(pos.bottom(), baseline + ink.top + ink.height), HTMLKeepTogether::Kind::Text,
               pos.top(), pos.bottom());
        return;
    }
    if (canvasOnly_) return;
    FontLock::Guard fonts;
    auto* cr = reinterpret_cast<cairo_t*>(hdc);
    cairo_save(cr);
    for (auto& clip : clips_)
        for (auto& box : clip)
            cairo_rectangle(cr, box.x, box.y, box.width, box.height);
    if (!clips_.empty()) cairo_clip(cr);
    setColor(cr, color);
    const double baseline = pos.bottom() - font->descent;
    const auto show = [&](PangoLayout* word, double x) {
        cairo_move_to(cr, x, baseline);
        PrintedLine::show(cr, pango_layout_get_line_readonly(word, 0));
        if (!font->decoration) return;
        int width = 0;
        pango_layout_get_size(word, &width, nullptr);
        const double w = static_cast<double>(width) / PANGO_SCALE;
        if (font->decoration & litehtml::font_decoration_underline)
            cairo_rectangle(cr, x, baseline - font->underlinePosition, w, font->underlineThickness);
        if (font->decoration & litehtml::font_decoration_linethrough)
            cairo_rectangle(cr, x, baseline - font->strikePosition, w, font->strikeThickness);
        if (font->decoration & litehtml::font_decoration_overline)
            cairo_rectangle(cr, x, baseline - font->ascent, w, font->underlineThickness);
        cairo_fill(cr);
    };
    const std::pair<int, int> at{pos.x - originX_, pos.y - originY_};
    const std::string_view word(text);
    const auto placed = placed_.find(at);
    if (placed != placed_.end() && cover(placed->second, word.size())) {
        for (const auto& part : placed->second)
            show(font->shapedLayout(std::string(word.substr(part.begin, part.length)), part.rightToLeft),
                 part.x + originX_);
    } else {
        double x = pos.x;
        if (!nudges_.empty())
            if (auto nudge = nudges_.find(at); nudge != nudges_.end()) x += nudge->second;
        show(font->shapedLayout(text), x);
    }
    cairo_restore(cr);
}

int HTMLContainer::pt_to_px(int pt) const {
    return static_cast<int>(std::lround(pt * 96.0 / 72.0));
}
int HTMLContainer::get_default_font_size() const {
    return 16;
}
const litehtml::tchar_t* HTMLContainer::get_default_font_name() const {
    return "DejaVu Serif";
}

void HTMLContainer::transform_text(litehtml::tstring& text, litehtml::text_transform tt) {
    if (text.empty()) return;
    gchar* changed = nullptr;
    switch (tt) {
    case litehtml::text_transform_uppercase:
        changed = g_utf8_strup(text.c_str(), -1);
        break;
    case litehtml::text_transform_lowercase:
        changed = g_utf8_strdown(text.c_str(), -1);
        break;
    case litehtml::text_transform_capitalize: {
        const char* next = g_utf8_next_char(text.c_str());
        gchar* first = g_utf8_strup(text.c_str(), next - text.c_str());
        text = std::string(first) + std::string(next);
        g_free(first);
        return;
    }
    default:
        return;
    }
    text = changed;
    g_free(changed);
}

// Boxes, borders, markers -------------------------------------------------------------------------

void HTMLContainer::record(int top, int bottom, HTMLKeepTogether::Kind kind, int lineTop, int lineBottom) {
    if (bottom <= top) return;
    if (lineTop <= top && lineBottom >= bottom) lineTop = lineBottom = 0;
    recorded_.push_back({top, bottom, kind, lineTop, lineBottom});
}

void HTMLContainer::draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) {
    if (recording_) {
        record(marker.pos.top(), marker.pos.bottom(), HTMLKeepTogether::Kind::Text);
        return;
    }
    if (canvasOnly_) return;
    auto* cr = reinterpret_cast<cairo_t*>(hdc);
    if (!marker.image.empty()) {
        if (auto* picture = image(marker.image, marker.baseurl ? marker.baseurl : "")) {
            cairo_surface_t* img = pixelsFor(cr, *picture, marker.pos.width, marker.pos.height);
            cairo_save(cr);
            cairo_translate(cr, marker.pos.x, marker.pos.y);
            cairo_scale(cr, marker.pos.width / std::max(1.0, double(cairo_image_surface_get_width(img))),
                        marker.pos.height / std::max(1.0, double(cairo_image_surface_get_height(img))));
            cairo_set_source_surface(cr, img, 0, 0);
            cairo_paint(cr);
            cairo_restore(cr);
            return;
        }
    }
    cairo_save(cr);
    setColor(cr, marker.color);
    const auto& p = marker.pos;
    switch (marker.marker_type) {
    case litehtml::list_style_type_none:
        break;
    case litehtml::list_style_type_circle:
        cairo_set_line_width(cr, std::max(1.0, p.width / 8.0));
        cairo_arc(cr, p.x + p.width / 2.0, p.y + p.height / 2.0, p.width / 2.0 - 0.5, 0, 2 * M_PI);
        cairo_stroke(cr);
        break;
    case litehtml::list_style_type_square:
        cairo_rectangle(cr, p.x, p.y, p.width, p.height);
        cairo_fill(cr);
        break;
    case litehtml::list_style_type_disc:
        cairo_arc(cr, p.x + p.width / 2.0, p.y + p.height / 2.0, p.width / 2.0, 0, 2 * M_PI);
        cairo_fill(cr);
        break;
    default:
        // Counted markers are normally drawn as text by the engine; this is the fallback.
        if (marker.font) {
            std::string text = std::to_string(marker.index) + ".";
            auto* font = reinterpret_cast<Font*>(marker.font);
            int width = text_width(text.c_str(), marker.font);
            litehtml::position at(p.x - width, p.y, width, font->ascent + font->descent);
            cairo_restore(cr);
            draw_text(hdc, text.c_str(), marker.font, marker.color, at);
            return;
        }
        break;
    }
    cairo_restore(cr);
}

void HTMLContainer::draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
                                 const litehtml::position& pos, bool /*root*/) {
    if (recording_ || canvasOnly_) return;
    auto* cr = reinterpret_cast<cairo_t*>(hdc);
    auto visible = [](const litehtml::border& b) {
        return b.width > 0 && b.style != litehtml::border_style_none &&
               b.style != litehtml::border_style_hidden && b.color.alpha > 0;
    };
    auto side = [&](const litehtml::border& b, double x0, double y0, double x1, double y1) {
        if (!visible(b)) return;
        cairo_save(cr);
        setColor(cr, b.color);
        cairo_set_line_width(cr, b.width);
        if (b.style == litehtml::border_style_dotted) {
            double dash[] = {double(b.width), double(b.width)};
            cairo_set_dash(cr, dash, 2, 0);
        } else if (b.style == litehtml::border_style_dashed) {
            double dash[] = {3.0 * b.width, 3.0 * b.width};
            cairo_set_dash(cr, dash, 2, 0);
        }
        cairo_move_to(cr, x0, y0);
        cairo_line_to(cr, x1, y1);
        cairo_stroke(cr);
        cairo_restore(cr);
    };
    const double l = pos.left(), r = pos.right(), t = pos.top(), b = pos.bottom();
    side(borders.top, l, t + borders.top.width / 2.0, r, t + borders.top.width / 2.0);
    side(borders.bottom, l, b - borders.bottom.width / 2.0, r, b - borders.bottom.width / 2.0);
    side(borders.left, l + borders.left.width / 2.0, t, l + borders.left.width / 2.0, b);
    side(borders.right, r - borders.right.width / 2.0, t, r - borders.right.width / 2.0, b);
}

void HTMLContainer::set_clip(const litehtml::position& pos, const litehtml::border_radiuses& /*bdr_radius*/,
                             bool valid_x, bool valid_y) {
    litehtml::position box = pos;
    if (!valid_x) {
        box.x = -100000;
        box.width = 200000;
    }
    if (!valid_y) {
        box.y = -100000;
        box.height = 200000;
    }
    clips_.push_back({box});
}

void HTMLContainer::del_clip() {
    if (!clips_.empty()) clips_.pop_back();
}

// Images and backgrounds --------------------------------------------------------------------------

HTMLContainer::Picture* HTMLContainer::image(const std::string& src, const std::string& baseurl) {
    fs::path path;
    if (!baseurl.empty() && !fs::path(src).is_absolute() && src.find(':') == std::string::npos) {
        // A stylesheet in a subfolder names its images relative to itself.
        path = resolve((fs::path(baseurl) / src).string());
        if (fs::path(baseurl).is_absolute() && !path.empty() && !isInside(path, base_)) path.clear();
    } else {
        path = resolve(src);
    }
    std::string key = path.empty() ? "?" + src : path.string();
    auto found = images_.find(key);
    if (found == images_.end()) {
        Picture picture;
        if (!path.empty()) {
            // Nothing is printed larger than the page: a picture of more pixels than the page holds
            // at print resolution is decoded scaled down to that, never at its full size.
            const double perPixel = kPrintPixelsPerInch / 96.0;
            picture.pixels.reset(
                loadImageFile(path, nullptr, {pageWidth_ * perPixel, pageHeight_ * perPixel}));
            if (picture.pixels) {
                const CGSize size = readImageFileInfo(path).orientedSize();
                picture.size.width = static_cast<int>(size.width);
                picture.size.height = static_cast<int>(size.height);
            }
        }
        if (!picture.pixels) missing_.insert(src);
        found = images_.emplace(key, std::move(picture)).first;
    }
    return found->second.pixels ? &found->second : nullptr;
}

cairo_surface_t* HTMLContainer::pixelsFor(cairo_t* cr, Picture& picture, double width, double height) {
    cairo_surface_t* pixels = picture.pixels.get();
    if (cairo_surface_get_type(cairo_get_target(cr)) != CAIRO_SURFACE_TYPE_PDF) return pixels;
    // A PDF's units are points: the pixels the printed size needs, and no more.
    double ax = width, ay = 0, bx = 0, by = height;
    cairo_user_to_device_distance(cr, &ax, &ay);
    cairo_user_to_device_distance(cr, &bx, &by);
    const double perPoint = kPrintPixelsPerInch / 72.0;
    const int needWidth = std::max(1, static_cast<int>(std::ceil(std::hypot(ax, ay) * perPoint - 1e-6)));
    const int needHeight = std::max(1, static_cast<int>(std::ceil(std::hypot(bx, by) * perPoint - 1e-6)));
    const int w = cairo_image_surface_get_width(pixels), h = cairo_image_surface_get_height(pixels);
    if (w <= needWidth && h <= needHeight) return pixels;
    const int printedWidth = std::min(w, needWidth), printedHeight = std::min(h, needHeight);
    for (auto& printed : picture.printed)
        if (printed.width == printedWidth && printed.height == printedHeight) return printed.pixels.get();
    Surface out(
        cairo_image_surface_create(cairo_image_surface_get_format(pixels), printedWidth, printedHeight));
    if (cairo_surface_status(out.get()) != CAIRO_STATUS_SUCCESS) return pixels;
    cairo_t* pc = cairo_create(out.get());
    cairo_scale(pc, double(printedWidth) / w, double(printedHeight) / h);
    cairo_set_source_surface(pc, pixels, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(pc), CAIRO_FILTER_GOOD);
    cairo_set_operator(pc, CAIRO_OPERATOR_SOURCE);
    cairo_paint(pc);
    cairo_destroy(pc);
    cairo_surface_flush(out.get());
    picture.printed.push_back({printedWidth, printedHeight, std::move(out)});
    return picture.printed.back().pixels.get();
}

void HTMLContainer::load_image(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl, bool) {
    if (src) image(src, baseurl ? baseurl : "");
}

void HTMLContainer::get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                                   litehtml::size& sz) {
    sz.width = sz.height = 0;
    if (!src) return;
    if (auto* picture = image(src, baseurl ? baseurl : "")) sz = picture->size;
}

void HTMLContainer::drawImage(cairo_t* cr, Picture& picture, const litehtml::background_paint& bg) {
    if (bg.image_size.width <= 0 || bg.image_size.height <= 0) return;
    cairo_surface_t* img = pixelsFor(cr, picture, bg.image_size.width, bg.image_size.height);
    const double iw = cairo_image_surface_get_width(img), ih = cairo_image_surface_get_height(img);
    if (iw <= 0 || ih <= 0) return;
    cairo_save(cr);
    roundedRectangle(cr, bg.clip_box, bg.border_radius);
    cairo_clip(cr);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(img);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, iw / bg.image_size.width, ih / bg.image_size.height);
    cairo_matrix_translate(&m, -bg.position_x, -bg.position_y);
    cairo_pattern_set_matrix(pattern, &m);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
    double x = bg.position_x, y = bg.position_y, w = bg.image_size.width, h = bg.image_size.height;
    switch (bg.repeat) {
    case litehtml::background_repeat_repeat:
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
        x = bg.clip_box.x, y = bg.clip_box.y, w = bg.clip_box.width, h = bg.clip_box.height;
        break;
    case litehtml::background_repeat_repeat_x:
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
        x = bg.clip_box.x, w = bg.clip_box.width;
        break;
    case litehtml::background_repeat_repeat_y:
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
        y = bg.clip_box.y, h = bg.clip_box.height;
        break;
    default:
        break;
    }
    cairo_set_source(cr, pattern);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
    cairo_restore(cr);
}

void HTMLContainer::draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) {
    if (recording_) {
        // A picture of the page (<img>) is painted as an unrepeated background the size of its
        // box; a decoration under the text (a paper's margin line) is not content of its own.
        const bool picture = bg.repeat == litehtml::background_repeat_no_repeat &&
                             bg.image_size.width == bg.clip_box.width &&
                             bg.image_size.height == bg.clip_box.height;
        if (!bg.image.empty() && picture)
            record(bg.border_box.top(), bg.border_box.bottom(), HTMLKeepTogether::Kind::Image);
        return;
    }
    // The canvas: the background the root paints (its own, or the body's when it has none),
    // painted over the whole page rather than the root's box. A body as large as the root paints
    // after it and is not the canvas.
    if (canvasOnly_) {
        const auto& box = bg.border_box;
        const auto& root = canvasSource_;
        if (canvasPainted_ || box.x != root.x || box.y != root.y || box.width != root.width ||
            box.height != root.height)
            return;
        canvasPainted_ = true;
        litehtml::background_paint canvas = bg;
        canvas.clip_box = canvas.border_box = canvas.origin_box = canvasClip_;
        canvas.border_radius = litehtml::border_radiuses();
        auto* cr = reinterpret_cast<cairo_t*>(hdc);
        if (canvas.color.alpha > 0) {
            cairo_save(cr);
            setColor(cr, canvas.color);
            cairo_rectangle(cr, canvasClip_.x, canvasClip_.y, canvasClip_.width, canvasClip_.height);
            cairo_fill(cr);
            cairo_restore(cr);
        }
        if (!canvas.image.empty())
            if (auto* picture = image(canvas.image, canvas.baseurl)) drawImage(cr, *picture, canvas);
        return;
    }
    auto* cr = reinterpret_cast<cairo_t*>(hdc);
    if (bg.color.alpha > 0) {
        cairo_save(cr);
        setColor(cr, bg.color);
        roundedRectangle(cr, bg.clip_box, bg.border_radius);
        cairo_fill(cr);
        cairo_restore(cr);
    }
    if (!bg.image.empty())
        if (auto* picture = image(bg.image, bg.baseurl)) drawImage(cr, *picture, bg);
}

// Document-level callbacks ------------------------------------------------------------------------

void HTMLContainer::import_css(litehtml::tstring& text, const litehtml::tstring& url,
                               litehtml::tstring& baseurl) {
    fs::path path;
    if (!baseurl.empty() && !fs::path(url).is_absolute() && url.find(':') == std::string::npos)
        path = resolve((fs::path(baseurl) / url).string());
    else
        path = resolve(url);
    std::ifstream in(path, std::ios::binary);
    if (path.empty() || !in) {
        missing_.insert(url);
        text.clear();
        return;
    }
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    baseurl = path.parent_path().string();
    importedStyles_ += text;
    importedStyles_ += '\n';
}

void HTMLContainer::set_caption(const litehtml::tchar_t*) {}
void HTMLContainer::set_base_url(const litehtml::tchar_t*) {}
void HTMLContainer::link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) {}
void HTMLContainer::on_anchor_click(const litehtml::tchar_t*, const litehtml::element::ptr&) {}
void HTMLContainer::set_cursor(const litehtml::tchar_t*) {}

void HTMLContainer::get_client_rect(litehtml::position& client) const {
    client = litehtml::position(0, 0, pageWidth_, pageHeight_);
}

std::shared_ptr<litehtml::element> HTMLContainer::create_element(const litehtml::tchar_t*,
                                                                 const litehtml::string_map&,
                                                                 const std::shared_ptr<litehtml::document>&) {
    return nullptr;
}

void HTMLContainer::get_media_features(litehtml::media_features& media) const {
    media.type = litehtml::media_type_print;
    media.width = media.device_width = pageWidth_;
    media.height = media.device_height = pageHeight_;
    media.color = 8;
    media.color_index = 0;
    media.monochrome = 0;
    media.resolution = 96;
}

void HTMLContainer::get_language(litehtml::tstring& language, litehtml::tstring& culture) const {
    language = "en";
    culture = "";
}

} // namespace platform
