#pragma once
// The host side of the layout engine: fonts through pango, drawing through cairo, images and
// linked stylesheets read from the document's base folder. Private to platform/webkit: nothing
// outside this library sees litehtml.

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <cairo.h>
#include <litehtml.h>
#include <pango/pangocairo.h>

#include "platform/uikit/ImageFile.h"

namespace platform {

// A box the pagination must not cut through: a word of text, an image, or a block the page asks
// to keep whole (page-break-inside: avoid, a heading with its first line).
struct HTMLKeepTogether {
    enum class Kind { Text, Image, Block };
    int top = 0;
    int bottom = 0;
    Kind kind = Kind::Text;
    // For text whose letters reach beyond its line (fallback fonts, stacked marks): the line's own
    // box, within [top, bottom). Unset (equal) otherwise.
    int lineTop = 0;
    int lineBottom = 0;
    bool isText() const { return kind == Kind::Text; }
    bool isContent() const { return kind != Kind::Block; }
    int coreTop() const { return lineBottom > lineTop ? lineTop : top; }
    int coreBottom() const { return lineBottom > lineTop ? lineBottom : bottom; }
};

// Part of a word drawn at a place of its own, where a line holding right-to-left text sets it: the
// part's bytes of the word as drawn, the x it starts at in the document, and its direction.
struct HTMLTextPart {
    std::size_t begin = 0;
    std::size_t length = 0;
    double x = 0;
    bool rightToLeft = false;
};

class HTMLContainer final : public litehtml::document_container {
public:
    // With `anyThread` the container looks fonts up in the map every thread shares (under the font
    // lock) instead of the thread's own: a document laid out on one thread may then be drawn on
    // another, one at a time.
    HTMLContainer(std::filesystem::path baseFolder, int pageWidthPx, int pageHeightPx, bool anyThread = false);
    ~HTMLContainer();
    HTMLContainer(const HTMLContainer&) = delete;
    HTMLContainer& operator=(const HTMLContainer&) = delete;

    void setPageSize(int widthPx, int heightPx);
    // While recording, drawing only notes where text and images fall.
    void setRecording(bool recording) { recording_ = recording; }
    // While painting the canvas only the page's own background is drawn (the one the root, whose
    // border box is `source` in drawing coordinates, paints), over all of `clip`: the page's paper
    // reaches every page's edges, also below where the content ends.
    void setCanvasOnly(const litehtml::position* clip, const litehtml::position& source = {}) {
        canvasOnly_ = clip != nullptr;
        canvasPainted_ = false;
        if (clip) canvasClip_ = *clip;
        canvasSource_ = source;
    }
    std::vector<HTMLKeepTogether> takeRecorded() { return std::move(recorded_); }
    const std::set<std::string>& missingResources() const { return missing_; }
    // The linked stylesheets read so far, one after the other: the engine skips what it does not
    // know, such as @page rules, which the pagination reads from here.
    const std::string& importedStyles() const { return importedStyles_; }

    // Resolves a reference of the document to a local file: relative references against the base
    // folder (never escaping it), absolute paths and file: URLs as they are; anything fetched over a
    // network is refused. Empty when refused.
    std::filesystem::path resolve(const std::string& reference) const;

    // The width of `text` in `font` as drawn, in pixels and unrounded (text_width rounds up).
    double textAdvance(const char* text, litehtml::uint_ptr font);
    // Boxes are whole pixels, so the last word of a justified line would miss the edge by up to
    // half of one: the word standing at (x, y) in the document is drawn `dx` pixels further.
    void nudgeText(int x, int y, double dx) { nudges_[{x, y}] = dx; }
    void clearTextNudges() { nudges_.clear(); }
    // How far the word standing at (x, y) is drawn from its box's left edge.
    double textNudge(int x, int y) const {
        const auto found = nudges_.find({x, y});
        return found == nudges_.end() ? 0 : found->second;
    }
    // The word standing at (x, y) in the document is drawn as `parts` instead, each where it says
    // (a word's nudge no longer applies).
    void placeText(int x, int y, std::vector<HTMLTextPart> parts) { placed_[{x, y}] = std::move(parts); }
    void clearTextPlacements() { placed_.clear(); }
    // Where the document's origin is drawn (the offsets given to its draw).
    void setDrawOrigin(int x, int y) {
        originX_ = x;
        originY_ = y;
    }

    litehtml::uint_ptr create_font(const litehtml::tchar_t* faceName, int size, int weight,
                                   litehtml::font_style italic, unsigned int decoration,
                                   litehtml::font_metrics* fm) override;
    void delete_font(litehtml::uint_ptr hFont) override;
    int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) override;
    void draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr hFont,
                   litehtml::web_color color, const litehtml::position& pos) override;
    int pt_to_px(int pt) const override;
    int get_default_font_size() const override;
    const litehtml::tchar_t* get_default_font_name() const override;
    void draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) override;
    void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                    bool redraw_on_ready) override;
    void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                        litehtml::size& sz) override;
    void draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) override;
    void draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
                      const litehtml::position& draw_pos, bool root) override;
    void set_caption(const litehtml::tchar_t* caption) override;
    void set_base_url(const litehtml::tchar_t* base_url) override;
    void link(const std::shared_ptr<litehtml::document>& doc, const litehtml::element::ptr& el) override;
    void on_anchor_click(const litehtml::tchar_t* url, const litehtml::element::ptr& el) override;
    void set_cursor(const litehtml::tchar_t* cursor) override;
    void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override;
    void import_css(litehtml::tstring& text, const litehtml::tstring& url,
                    litehtml::tstring& baseurl) override;
    void set_clip(const litehtml::position& pos, const litehtml::border_radiuses& bdr_radius, bool valid_x,
                  bool valid_y) override;
    void del_clip() override;
    void get_client_rect(litehtml::position& client) const override;
    std::shared_ptr<litehtml::element>
    create_element(const litehtml::tchar_t* tag_name, const litehtml::string_map& attributes,
                   const std::shared_ptr<litehtml::document>& doc) override;
    void get_media_features(litehtml::media_features& media) const override;
    void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override;

private:
    struct Font;
    struct SurfaceDeleter {
        void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
    };
    using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

    // A picture of the page: its size as the file gives it (what the layout sees), and its pixels
    // decoded no larger than the page needs; on paper it goes in at no more than
    // kPrintPixelsPerInch of the size it is printed at.
    struct Picture {
        litehtml::size size;
        Surface pixels;
        struct Printed {
            int width = 0, height = 0;
            Surface pixels;
        };
        std::vector<Printed> printed;
    };
    static constexpr double kPrintPixelsPerInch = 300;

    Picture* image(const std::string& src, const std::string& baseurl);
    // The pixels to draw `picture` with at `size` (in user units) into `cr`.
    cairo_surface_t* pixelsFor(cairo_t* cr, Picture& picture, double width, double height);
    void drawImage(cairo_t* cr, Picture& picture, const litehtml::background_paint& bg);
    void record(int top, int bottom, HTMLKeepTogether::Kind kind, int lineTop = 0, int lineBottom = 0);

    std::filesystem::path base_;
    int pageWidth_;
    int pageHeight_;
    PangoContext* pango_ = nullptr;
    // Sets every text right to left, whatever it holds.
    PangoContext* pangoRightToLeft_ = nullptr;
    std::map<std::string, Picture> images_; // by resolved path; no pixels when it failed to load
    std::set<std::string> missing_;
    std::string importedStyles_;
    std::map<std::pair<int, int>, double> nudges_;
    std::map<std::pair<int, int>, std::vector<HTMLTextPart>> placed_;
    int originX_ = 0, originY_ = 0;
    std::vector<std::vector<litehtml::position>> clips_;
    bool recording_ = false;
    bool canvasOnly_ = false;
    litehtml::position canvasClip_;
    litehtml::position canvasSource_;
    bool canvasPainted_ = false;
    std::vector<HTMLKeepTogether> recorded_;
};

// The stylesheet every document starts from.
const char* htmlMasterStylesheet();

} // namespace platform
