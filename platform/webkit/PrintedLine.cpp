#include "platform/webkit/PrintedLine.h"

#include <hb-ot.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/foundation/FontLock.h"

namespace platform {

namespace {

// cairo paints the glyphs of a colour font (bitmap strikes, colour layers) as pictures and drops
// their characters from the text it writes.
bool hasColorGlyphs(PangoFont* font) {
    hb_font_t* hb = font ? pango_font_get_hb_font(font) : nullptr;
    if (!hb) return false;
    hb_face_t* face = hb_font_get_face(hb);
    return hb_ot_color_has_png(face) || hb_ot_color_has_layers(face);
}

// The scale from user space to PDF points (the device units of a PDF surface).
double pointsPerUnit(cairo_t* cr) {
    double ax = 1, ay = 0, bx = 0, by = 1;
    cairo_user_to_device_distance(cr, &ax, &ay);
    cairo_user_to_device_distance(cr, &bx, &by);
    return std::max(std::hypot(ax, ay), std::hypot(bx, by));
}

void writeCharacters(cairo_t* cr, PangoGlyphItem* run, const char* text, double x, double baseline,
                     double inkTop, double inkHeight);

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};

// Pictures of runs drawn lately, by font, glyphs, scale and colour: a text that repeats an emoji
// puts the one picture into its PDF once and shows it again where it recurs, instead of a picture
// of its own at every place. Each drawing thread keeps its own; the fonts are held while their
// pictures are.
class RecentPictures {
public:
    static std::string key(PangoFont* font, PangoGlyphString* glyphs, double scale, cairo_t* cr) {
        double rgba[4];
        if (cairo_pattern_get_rgba(cairo_get_source(cr), &rgba[0], &rgba[1], &rgba[2], &rgba[3]) !=
            CAIRO_STATUS_SUCCESS)
            return {};
        std::string out;
        auto add = [&out](const auto& value) {
            out.append(reinterpret_cast<const char*>(&value), sizeof value);
        };
        add(font);
        add(scale);
        for (double channel : rgba)
            add(channel);
        for (int i = 0; i < glyphs->num_glyphs; ++i) {
            add(glyphs->glyphs[i].glyph);
            add(glyphs->glyphs[i].geometry);
        }
        return out;
    }
    cairo_surface_t* find(const std::string& key) const {
        auto found = pictures_.find(key);
        return found == pictures_.end() ? nullptr : found->second.surface;
    }
    void keep(const std::string& key, PangoFont* font, cairo_surface_t* surface) {
        if (pictures_.size() >= kKept) clear();
        pictures_.emplace(key, Picture{PANGO_FONT(g_object_ref(font)), cairo_surface_reference(surface)});
    }
    ~RecentPictures() {
        FontLock::Guard fonts;
        clear();
    }

private:
    static constexpr std::size_t kKept = 512;
    struct Picture {
        PangoFont* font;
        cairo_surface_t* surface;
    };
    void clear() {
        for (auto& [key, picture] : pictures_) {
            cairo_surface_destroy(picture.surface);
            g_object_unref(picture.font);
        }
        pictures_.clear();
    }
    std::unordered_map<std::string, Picture> pictures_;
};

// The run's glyphs drawn into a picture of kPixelsPerInch at their printed size, painted where
// they stand over their characters. False when the picture could not be made (the caller then
// draws them as cairo does).
bool paintAtPrintResolution(cairo_t* cr, PangoGlyphItem* run, const char* text, double x, double baseline) {
    PangoFont* font = run->item->analysis.font;
    PangoRectangle ink;
    pango_glyph_string_extents(run->glyphs, font, &ink, nullptr);
    const double left = double(ink.x) / PANGO_SCALE, top = double(ink.y) / PANGO_SCALE;
    const double width = double(ink.width) / PANGO_SCALE, height = double(ink.height) / PANGO_SCALE;
    if (width <= 0 || height <= 0) return true;
    const double scale = pointsPerUnit(cr) * PrintedLine::kPixelsPerInch / 72.0;
    // A pixel of room on each side for the edge's antialiasing.
    const double pixelsWide = std::ceil(width * scale) + 2, pixelsHigh = std::ceil(height * scale) + 2;
    if (!(scale > 0) || pixelsWide * pixelsHigh > 16e6) return false;
    thread_local RecentPictures recent;
    const std::string key = RecentPictures::key(font, run->glyphs, scale, cr);
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> picture(
        key.empty() ? nullptr : cairo_surface_reference(recent.find(key)));
    if (!picture) {
        picture.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(pixelsWide), int(pixelsHigh)));
        if (cairo_surface_status(picture.get()) != CAIRO_STATUS_SUCCESS) return false;
        cairo_t* pc = cairo_create(picture.get());
        cairo_translate(pc, 1, 1);
        cairo_scale(pc, scale, scale);
        cairo_translate(pc, -left, -top);
        // Parts of a glyph without colours of their own take the text's.
        cairo_set_source(pc, cairo_get_source(cr));
        cairo_move_to(pc, 0, 0);
        pango_cairo_show_glyph_string(pc, font, run->glyphs);
        const bool drawn = cairo_status(pc) == CAIRO_STATUS_SUCCESS;
        cairo_destroy(pc);
        if (!drawn) return false;
        cairo_surface_flush(picture.get());
        if (!key.empty()) recent.keep(key, font, picture.get());
    }

    writeCharacters(cr, run, text, x, baseline, top, height);
    cairo_save(cr);
    cairo_translate(cr, x + left, baseline + top);
    cairo_scale(cr, 1 / scale, 1 / scale);
    cairo_set_source_surface(cr, picture.get(), -1, -1);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
    return true;
}

// Each cluster's characters as text under its picture: a glyph of the text face mapped to them,
// as wide as the cluster and as tall as the line's type, so that a reader takes them for part of
// the line. The glyph is the missing-glyph box, which no character maps to, so cairo writes the
// characters as the span's ActualText. PDF's invisible text mode is out of cairo's reach and a
// transparent glyph is never written: the glyph is drawn at the faintest alpha cairo keeps, and
// only in the middle of the cluster's ink, which the picture then covers.
void writeCharacters(cairo_t* cr, PangoGlyphItem* run, const char* text, double x, double baseline,
                     double inkTop, double inkHeight) {
    PangoFontDescription* description = pango_font_describe(run->item->analysis.font);
    const double size = double(pango_font_description_get_size(description)) / PANGO_SCALE;
    pango_font_description_free(description);
    if (!(size > 0)) return;
    cairo_save(cr);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 1);
    cairo_glyph_t box{0, 0, 0};
    cairo_text_extents_t unit;
    cairo_glyph_extents(cr, &box, 1, &unit);
    const double boxAdvance = unit.x_advance > 0 ? unit.x_advance : 0.6;
    cairo_set_source_rgba(cr, 0, 0, 0, 1.0 / 255);
    PangoGlyphString* glyphs = run->glyphs;
    PangoGlyphItemIter cluster;
    for (gboolean more = pango_glyph_item_iter_init_start(&cluster, run, text); more;
         more = pango_glyph_item_iter_next_cluster(&cluster)) {
        const int first = std::min(cluster.start_glyph, cluster.end_glyph + 1);
        const int last = std::max(cluster.start_glyph, cluster.end_glyph - 1);
        double before = 0, wide = 0;
        for (int g = 0; g < glyphs->num_glyphs; ++g) {
            const double advance = double(glyphs->glyphs[g].geometry.width) / PANGO_SCALE;
            if (g < first) before += advance;
            if (g >= first && g <= last) wide += advance;
        }
        const int bytes = cluster.end_index - cluster.start_index;
        if (wide <= 0 || bytes <= 0) continue;
        cairo_matrix_t matrix;
        cairo_matrix_init_scale(&matrix, wide / boxAdvance, size);
        cairo_set_font_matrix(cr, &matrix);
        cairo_save(cr);
        cairo_rectangle(cr, x + before + wide * 0.4, baseline + inkTop + inkHeight * 0.4, wide * 0.2,
                        inkHeight * 0.2);
        cairo_clip(cr);
        cairo_glyph_t glyph{0, x + before, baseline};
        cairo_text_cluster_t mapping{bytes, 1};
        cairo_show_text_glyphs(cr, text + cluster.start_index, bytes, &glyph, 1, &mapping, 1,
                               cairo_text_cluster_flags_t(0));
        cairo_restore(cr);
    }
    cairo_restore(cr);
}

void showGlyphs(cairo_t* cr, PangoGlyphItem* run, const char* text, double x, double baseline) {
    cairo_move_to(cr, x, baseline);
    pango_cairo_show_glyph_item(cr, text, run);
}

void showPicture(cairo_t* cr, PangoGlyphItem* run, const char* text, double x, double baseline) {
    if (!paintAtPrintResolution(cr, run, text, x, baseline)) showGlyphs(cr, run, text, x, baseline);
}

// A picture for each character of the run (a flag, an emoji with its modifiers), left to right:
// a row of the same few emoji, however long, puts each of them into the document once.
void showPictures(cairo_t* cr, PangoGlyphItem* run, const char* text, double x, double baseline) {
    if (run->item->analysis.level % 2 != 0) return showPicture(cr, run, text, x, baseline);
    std::vector<int> ends;
    PangoGlyphItemIter cluster;
    for (gboolean more = pango_glyph_item_iter_init_start(&cluster, run, text); more;
         more = pango_glyph_item_iter_next_cluster(&cluster))
        ends.push_back(cluster.end_index);
    if (ends.size() < 2) return showPicture(cr, run, text, x, baseline);
    PangoGlyphItem* rest = pango_glyph_item_copy(run);
    for (std::size_t i = 0; i + 1 < ends.size(); ++i) {
        PangoGlyphItem* first = pango_glyph_item_split(rest, text, ends[i] - rest->item->offset);
        if (!first) break;
        showPicture(cr, first, text, x, baseline);
        x += double(pango_glyph_string_get_width(first->glyphs)) / PANGO_SCALE;
        pango_glyph_item_free(first);
    }
    showPicture(cr, rest, text, x, baseline);
    pango_glyph_item_free(rest);
}

} // namespace

void PrintedLine::show(cairo_t* cr, PangoLayoutLine* line) {
    FontLock::Guard fonts;
    if (cairo_surface_get_type(cairo_get_target(cr)) != CAIRO_SURFACE_TYPE_PDF) {
        pango_cairo_show_layout_line(cr, line);
        return;
    }
    double x = 0, baseline = 0;
    if (cairo_has_current_point(cr)) cairo_get_current_point(cr, &x, &baseline);
    const char* text = pango_layout_get_text(line->layout);
    for (GSList* l = line->runs; l; l = l->next) {
        auto* run = static_cast<PangoGlyphItem*>(l->data);
        const double width = double(pango_glyph_string_get_width(run->glyphs)) / PANGO_SCALE;
        if (hasColorGlyphs(run->item->analysis.font))
            showPictures(cr, run, text, x, baseline);
        else
            showGlyphs(cr, run, text, x, baseline);
        x += width;
    }
    cairo_move_to(cr, x, baseline);
}

} // namespace platform
