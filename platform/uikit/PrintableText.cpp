#include "platform/uikit/PrintableText.h"

#include <system_error>
#include <vector>

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include "platform/foundation/FontLock.h"
#include "platform/uikit/TextDrawing.h"

namespace platform {

namespace {
constexpr double kPaperWidth = 612, kPaperHeight = 792, kMargin = 72;

struct PlacedLine {
    PangoLayoutLine* line;
    int page;
    double baseline; // from the top of the page's printable area
};

// Every line of the laid-out text with its page: a line that would reach below the printable area
// starts the next page.
std::vector<PlacedLine> placeLines(PangoLayout* layout) {
    std::vector<PlacedLine> lines;
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    const double printable = kPaperHeight - 2 * kMargin;
    double pageTop = 0;
    int page = 0;
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        const double top = static_cast<double>(logical.y) / PANGO_SCALE;
        const double bottom = top + static_cast<double>(logical.height) / PANGO_SCALE;
        if (bottom - pageTop > printable && top > pageTop) {
            ++page;
            pageTop = top;
        }
        const double baseline = static_cast<double>(pango_layout_iter_get_baseline(iter)) / PANGO_SCALE;
        lines.push_back({pango_layout_iter_get_line_readonly(iter), page, baseline - pageTop});
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    return lines;
}

TextStyle printStyle() {
    TextStyle style;
    style.font = UIFont::systemFontOfSize(12);
    style.color = UIColor::blackColor();
    return style;
}
} // namespace

bool PrintableText::writePDF(const std::string& text, const std::filesystem::path& to, std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    auto temporary = to;
    temporary += ".part";
    FontLock::Guard fonts;
    cairo_surface_t* surface = cairo_pdf_surface_create(temporary.c_str(), kPaperWidth, kPaperHeight);
    cairo_t* cr = cairo_create(surface);
    const TextLayout layout = TextDrawing::layout(text, printStyle(), kPaperWidth - 2 * kMargin);
    int page = 0;
    for (const auto& placed : placeLines(layout.get())) {
        for (; page < placed.page; ++page)
            cairo_show_page(cr);
        TextDrawing::setColor(cr, UIColor::blackColor());
        cairo_move_to(cr, kMargin, kMargin + placed.baseline);
        pango_cairo_show_layout_line(cr, placed.line);
    }
    cairo_show_page(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    std::error_code ec;
    if (status != CAIRO_STATUS_SUCCESS) {
        std::filesystem::remove(temporary, ec);
        return fail("cannot write '" + to.string() + "': " + cairo_status_to_string(status));
    }
    std::filesystem::rename(temporary, to, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return fail("cannot write '" + to.string() + "': " + ec.message());
    }
    return true;
}

} // namespace platform
