#include "platform/swiftui/ViewRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "platform/uikit/SystemSymbol.h"
#include "platform/uikit/TextLayoutLines.h"
#include "platform/uikit/UIImage.h"

namespace platform::swiftui {

namespace {

const Color kSeparator{"separator", 0.78, 0.78, 0.8, 1};
const Color kPlaceholder{"placeholderText", 0.24, 0.24, 0.26, 0.3};
const Color kGroupedBackground{"systemGroupedBackground", 0.95, 0.95, 0.97, 1};
const Color kFill{"systemFill", 0.47, 0.47, 0.5, 0.2};

void setColor(cairo_t* cr, const Color& c) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

void rect(cairo_t* cr, const CGRect& r) {
    cairo_rectangle(cr, r.minX(), r.minY(), r.width(), r.height());
}

void roundedRect(cairo_t* cr, const CGRect& r, double radius) {
    double rad = std::min({radius, r.width() / 2, r.height() / 2});
    if (rad <= 0) {
        rect(cr, r);
        return;
    }
    cairo_new_sub_path(cr);
    cairo_arc(cr, r.maxX() - rad, r.minY() + rad, rad, -std::numbers::pi / 2, 0);
    cairo_arc(cr, r.maxX() - rad, r.maxY() - rad, rad, 0, std::numbers::pi / 2);
    cairo_arc(cr, r.minX() + rad, r.maxY() - rad, rad, std::numbers::pi / 2, std::numbers::pi);
    cairo_arc(cr, r.minX() + rad, r.minY() + rad, rad, std::numbers::pi, 3 * std::numbers::pi / 2);
    cairo_close_path(cr);
}

void tracePath(cairo_t* cr, const Path& path) {
    cairo_new_path(cr);
    for (const Path::Element& e : path.elements()) {
        switch (e.kind) {
        case Path::Kind::move:
            cairo_move_to(cr, e.point.x, e.point.y);
            break;
        case Path::Kind::line:
            cairo_line_to(cr, e.point.x, e.point.y);
            break;
        case Path::Kind::arc: {
            double start = e.startAngle.radians;
            if (e.sweep >= 0)
                cairo_arc(cr, e.center.x, e.center.y, e.radius, start, start + e.sweep);
            else
                cairo_arc_negative(cr, e.center.x, e.center.y, e.radius, start, start + e.sweep);
            break;
        }
        case Path::Kind::close:
            cairo_close_path(cr);
            break;
        }
    }
}

CGRect insetRect(const CGRect& r, double by) {
    return CGRect(r.minX() + by, r.minY() + by, std::max(0.0, r.width() - 2 * by),
                  std::max(0.0, r.height() - 2 * by));
}

Color primaryOf(ColorScheme scheme) {
    return scheme == ColorScheme::dark ? Color::white() : Color::black();
}

// A unit point of a gradient by its name.
CGPoint unitPoint(const std::string& name) {
    if (name == "leading") return {0, 0.5};
    if (name == "trailing") return {1, 0.5};
    if (name == "top") return {0.5, 0};
    if (name == "bottom") return {0.5, 1};
    if (name == "topLeading") return {0, 0};
    if (name == "topTrailing") return {1, 0};
    if (name == "bottomLeading") return {0, 1};
    if (name == "bottomTrailing") return {1, 1};
    return {0.5, 0.5};
}

// One box pass along a row: each value becomes the mean of the 2r+1 values around it (zero
// beyond the ends).
void boxPassRow(const std::uint8_t* src, std::uint8_t* dst, int count, int r) {
    int sum = 0;
    // A multiplication by the window's reciprocal (16-bit fixed point) rather than a division.
    const int inverse = 65536 / (2 * r + 1);
    for (int i = 0; i < std::min(r, count); ++i)
        sum += src[i];
    for (int i = 0; i < count; ++i) {
        if (i + r < count) sum += src[i + r];
        dst[i] = static_cast<std::uint8_t>((sum * inverse) >> 16);
        if (i - r >= 0) sum -= src[i - r];
    }
}

// The same down the columns, a whole row at a time so that memory is read in order.
void boxPassColumns(const std::uint8_t* src, std::uint8_t* dst, int w, int h, int r, std::vector<int>& sums) {
    const int inverse = 65536 / (2 * r + 1);
    sums.assign(static_cast<std::size_t>(w), 0);
    auto row = [&](int y) { return src + static_cast<std::size_t>(y) * w; };
    for (int y = 0; y < std::min(r, h); ++y)
        for (int x = 0; x < w; ++x)
            sums[x] += row(y)[x];
    for (int y = 0; y < h; ++y) {
        if (y + r < h) {
            const std::uint8_t* in = row(y + r);
            for (int x = 0; x < w; ++x)
                sums[x] += in[x];
        }
        std::uint8_t* out = dst + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x)
            out[x] = static_cast<std::uint8_t>((sums[x] * inverse) >> 16);
        if (y - r >= 0) {
            const std::uint8_t* gone = row(y - r);
            for (int x = 0; x < w; ++x)
                sums[x] -= gone[x];
        }
    }
}

// Blurs the alpha of a premultiplied ARGB surface with three box passes each way (close to a
// gaussian), leaving every channel equal to the blurred alpha.
void blurAlpha(cairo_surface_t* surface, int radius) {
    cairo_surface_flush(surface);
    const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<std::uint8_t> a(static_cast<std::size_t>(w) * h), tmp(a.size());
    std::vector<int> sums;
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        for (int x = 0; x < w; ++x)
            a[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint8_t>(row[x] >> 24);
    }
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y)
            boxPassRow(&a[static_cast<std::size_t>(y) * w], &tmp[static_cast<std::size_t>(y) * w], w, radius);
        boxPassColumns(tmp.data(), a.data(), w, h, radius, sums);
    }
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < w; ++x) {
            std::uint32_t v = a[static_cast<std::size_t>(y) * w + x];
            row[x] = (v << 24) | (v << 16) | (v << 8) | v;
        }
    }
    cairo_surface_mark_dirty(surface);
}

void drawSymbol(cairo_t* cr, const std::string& name, const CGRect& r, const Color& color,
                const std::string& weight = "regular") {
    setColor(cr, color);
    SystemSymbol::draw(cr, name, r, weight);
}

} // namespace

void ViewRenderer::drawText(cairo_t* cr, std::vector<TextRun> runs, TextStyle style, const CGRect& rect,
                            ColorScheme scheme) const {
    // The adaptive colours (primary, the background) stand for the scheme's own.
    for (auto& run : runs)
        if (run.color) run.color = resolve(*run.color, scheme);
    style.color = resolve(style.color.value_or(Color::primary()), scheme);
    text_.draw(cr, runs, style, rect, *style.color);
}

Color ViewRenderer::resolve(const Color& color, ColorScheme scheme) {
    if (color.name == "primary") return primaryOf(scheme);
    if (color.name == "systemBackground")
        return scheme == ColorScheme::dark ? Color::black() : Color::white();
    return color;
}

cairo_surface_t* ViewRenderer::picture(const std::string& name, bool isPath) const {
    auto it = pictures_.find(name);
    if (it == pictures_.end())
        it = pictures_
                 .emplace(name, isPath ? UIImage::imageWithContentsOfFile(name) : UIImage::imageNamed(name))
                 .first;
    return it->second ? it->second->surface() : nullptr;
}

void ViewRenderer::drawImage(cairo_t* cr, const LayoutBox& b) const {
    const Node& n = *b.node;
    Color tint = resolve(b.style.color.value_or(Color::primary()), b.scheme);
    if (auto symbol = n.textProp("systemName")) {
        drawSymbol(cr, *symbol, b.frame, tint, b.style.font.weight);
        return;
    }
    cairo_surface_t* s = nullptr;
    // An image made from a UIImage draws its pixels, decoded once, rather than its file again.
    if (n.uiImage)
        s = n.uiImage->surface();
    else if (auto name = n.textProp("name"))
        s = picture(*name);
    else if (auto path = n.textProp("path"))
        s = picture(*path, true);
    if (!s || b.frame.isEmpty()) return;
    double w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    cairo_save(cr);
    rect(cr, b.frame);
    cairo_clip(cr);
    cairo_translate(cr, b.frame.minX(), b.frame.minY());
    cairo_scale(cr, b.frame.width() / w, b.frame.height() / h);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
}

void ViewRenderer::draw(cairo_t* cr, const ViewLayout& layout, const DrawState& state) const {
    cairo_save(cr);
    drawBox(cr, layout.root(), state);
    if (!state.openPickerPath.empty())
        if (const LayoutBox* picker = layout.viewBox(state.openPickerPath))
            drawPickerMenu(cr, *picker, layout.size());
    cairo_restore(cr);
}

void ViewRenderer::drawShadowed(cairo_t* cr, const LayoutBox& b, const DrawState& state) const {
    const Modifier& m = *b.modifierRecord();
    const LayoutBox& child = b.children[0];
    Color color = m.color("color").value_or(Color::white(0, 0.33));
    double radius = m.number("radius").value_or(0);
    double dx = m.number("x").value_or(0), dy = m.number("y").value_or(0);
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    double scale = std::hypot(ctm.xx, ctm.yx);
    // The shadow's area in device pixels: the content's frame grown by the blur.
    double x0 = child.frame.minX() - 2 * radius, y0 = child.frame.minY() - 2 * radius;
    double x1 = child.frame.maxX() + 2 * radius, y1 = child.frame.maxY() + 2 * radius;
    cairo_user_to_device(cr, &x0, &y0);
    cairo_user_to_device(cr, &x1, &y1);
    int ix = static_cast<int>(std::floor(std::min(x0, x1))),
        iy = static_cast<int>(std::floor(std::min(y0, y1)));
    int iw = static_cast<int>(std::ceil(std::max(x0, x1))) - ix,
        ih = static_cast<int>(std::ceil(std::max(y0, y1))) - iy;
    // Only what can be seen is blurred.
    double cx0, cy0, cx1, cy1;
    cairo_clip_extents(cr, &cx0, &cy0, &cx1, &cy1);
    cairo_user_to_device(cr, &cx0, &cy0);
    cairo_user_to_device(cr, &cx1, &cy1);
    int pad = static_cast<int>(std::ceil(2 * radius * scale));
    int left = std::max(ix, static_cast<int>(std::floor(std::min(cx0, cx1))) - pad);
    int top = std::max(iy, static_cast<int>(std::floor(std::min(cy0, cy1))) - pad);
    int right = std::min(ix + iw, static_cast<int>(std::ceil(std::max(cx0, cx1))) + pad);
    int bottom = std::min(iy + ih, static_cast<int>(std::ceil(std::max(cy0, cy1))) + pad);
    if (radius > 0 && color.a > 0 && right > left && bottom > top) {
        // A shadow is soft: its mask is drawn and blurred at one pixel a point, then scaled up.
        const double f = std::max(1.0, scale);
        const int mw = static_cast<int>(std::ceil((right - left) / f)),
                  mh = static_cast<int>(std::ceil((bottom - top) / f));
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, mw, mh);
        cairo_t* mc = cairo_create(mask);
        cairo_matrix_t shifted = ctm;
        shifted.xx /= f;
        shifted.yx /= f;
        shifted.xy /= f;
        shifted.yy /= f;
        shifted.x0 = (ctm.x0 - left) / f;
        shifted.y0 = (ctm.y0 - top) / f;
        cairo_set_matrix(mc, &shifted);
        drawBox(mc, child, state);
        cairo_destroy(mc);
        blurAlpha(mask, std::max(1, static_cast<int>(std::lround(radius / 2))));
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_translate(cr, left + dx * scale, top + dy * scale);
        cairo_scale(cr, f, f);
        setColor(cr, color);
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(mask);
        cairo_pattern_set_filter(pattern, CAIRO_FILTER_FAST);
        cairo_mask(cr, pattern);
        cairo_pattern_destroy(pattern);
        cairo_restore(cr);
        cairo_surface_destroy(mask);
    }
    drawBox(cr, child, state);
}

void ViewRenderer::drawBox(cairo_t* cr, const LayoutBox& b, const DrawState& state) const {
    const Modifier* m = b.modifierRecord();
    if (!m) {
        drawView(cr, b, state);
        return;
    }
    const LayoutBox& child = b.children[0];
    const std::string& role = b.role;
    if (role == "background") {
        for (const LayoutBox& c : b.content)
            drawBox(cr, c, state);
        drawBox(cr, child, state);
    } else if (role == "overlay") {
        drawBox(cr, child, state);
        for (const LayoutBox& c : b.content)
            drawBox(cr, c, state);
    } else if (role == "clipShape" || role == "cornerRadius") {
        cairo_save(cr);
        if (role == "cornerRadius")
            roundedRect(cr, child.frame, m->number("radius").value_or(0));
        else if (!b.content.empty() && b.content[0].node->shapePath) {
            const CGRect& sf = b.content[0].frame;
            cairo_translate(cr, sf.minX(), sf.minY());
            tracePath(cr, b.content[0].node->shapePath(CGRect(0, 0, sf.width(), sf.height())));
            cairo_translate(cr, -sf.minX(), -sf.minY());
        } else
            rect(cr, child.frame);
        cairo_clip(cr);
        drawBox(cr, child, state);
        cairo_restore(cr);
    } else if (role == "scaleEffect") {
        double sx = m->number("x").value_or(1), sy = m->number("y").value_or(1);
        cairo_save(cr);
        cairo_translate(cr, child.frame.midX(), child.frame.midY());
        cairo_scale(cr, sx, sy);
        cairo_translate(cr, -child.frame.midX(), -child.frame.midY());
        drawBox(cr, child, state);
        cairo_restore(cr);
    } else if (role == "opacity") {
        double value = m->number("value").value_or(1);
        if (value <= 0) return;
        cairo_push_group(cr);
        drawBox(cr, child, state);
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, value);
    } else if (role == "shadow") {
        drawShadowed(cr, b, state);
    } else if (role == "border") {
        drawBox(cr, child, state);
        double width = m->number("width").value_or(1);
        setColor(cr, resolve(m->color("color").value_or(Color::primary()), b.scheme));
        rect(cr, insetRect(child.frame, width / 2));
        cairo_set_line_width(cr, width);
        cairo_stroke(cr);
    } else if (role == "offset") {
        // Moved where it is drawn, not where it is laid out.
        cairo_save(cr);
        cairo_translate(cr, m->number("x").value_or(0), m->number("y").value_or(0));
        drawBox(cr, child, state);
        cairo_restore(cr);
    } else {
        drawBox(cr, child, state);
    }
}

ViewRenderer::FieldText ViewRenderer::fieldText(const LayoutBox& b, const std::string& value,
                                                std::size_t caret) const {
    const CGRect& f = b.frame;
    const bool editor = b.node->kind == "TextEditor";
    // An editor's text stands in its container (5 points at the sides, 8 above and below) and
    // scrolls; a field's is one line inside its inset.
    const CGSize inset = editor ? CGSize{5, 8} : textFieldInset(*b.node);
    const double padX = inset.width, padY = inset.height;
    const CGRect inner(f.minX() + padX, f.minY() + padY - (editor ? b.contentOffset.y : 0),
                       std::max(0.0, f.width() - 2 * padX), std::max(0.0, f.height() - 2 * padY));
    FieldText at{text_.plainLayout(value, b.style, editor ? std::optional(inner.width()) : std::nullopt),
                 inner.origin, inner};
    if (!editor) {
        const CGSize ts = text_.measure({TextRun{value, {}, {}}}, b.style, std::nullopt);
        at.origin.y = inner.midY() - ts.height / 2;
        const double caretX = platform::TextLayoutLines(at.layout.get(), value).caretRect(caret).maxX();
        if (ts.width > inner.width()) at.origin.x -= std::max(0.0, caretX - (inner.width() - 2));
    }
    return at;
}

void ViewRenderer::drawView(cairo_t* cr, const LayoutBox& b, const DrawState& state) const {
    const Node& n = *b.node;
    const std::string& k = b.role;
    const CGRect& f = b.frame;
    const Color primary = primaryOf(b.scheme);
    auto children = [&] {
        for (const LayoutBox& c : b.children)
            drawBox(cr, c, state);
    };

    if (k == "Text") {
        drawText(cr, n.runs, b.style, f, b.scheme);
        return;
    }
    if (n.drawContent) {
        // A view that paints itself (a video player): its rectangle in its own coordinates.
        cairo_save(cr);
        cairo_translate(cr, f.minX(), f.minY());
        n.drawContent(cr, CGSize{f.width(), f.height()});
        cairo_restore(cr);
        return;
    }
    if (n.shapePath) {
        // A shape is given its rectangle in its own coordinates, as the platform does.
        CGRect r(0, 0, f.width(), f.height());
        if (const Modifier* in = n.modifier("inset")) r = insetRect(r, in->number("amount").value_or(0));
        cairo_save(cr);
        cairo_translate(cr, f.minX(), f.minY());
        tracePath(cr, n.shapePath(r));
        cairo_restore(cr);
        const Modifier* stroke = n.modifier("stroke");
        const Modifier* fill = n.modifier("fill");
        if (stroke && !fill) {
            setColor(cr, resolve(stroke->color("color").value_or(primary), b.scheme));
            cairo_set_line_width(cr, stroke->number("lineWidth").value_or(1));
            cairo_stroke(cr);
        } else {
            Color c = fill ? fill->color("color").value_or(primary) : b.style.color.value_or(primary);
            setColor(cr, resolve(c, b.scheme));
            cairo_fill(cr);
        }
        return;
    }
    if (k == "Color") {
        const Arg* a = n.prop("color");
        if (const Color* c = a ? std::get_if<Color>(a) : nullptr) {
            setColor(cr, resolve(*c, b.scheme));
            rect(cr, f);
            cairo_fill(cr);
        }
        return;
    }
    if (k == "LinearGradient") {
        CGPoint s = unitPoint(n.textProp("startPoint").value_or("leading"));
        CGPoint e = unitPoint(n.textProp("endPoint").value_or("trailing"));
        cairo_pattern_t* g =
            cairo_pattern_create_linear(f.minX() + s.x * f.width(), f.minY() + s.y * f.height(),
                                        f.minX() + e.x * f.width(), f.minY() + e.y * f.height());
        std::vector<Color> colors;
        for (const auto& [key, value] : n.props)
            if (key.rfind("color", 0) == 0)
                if (const Color* c = std::get_if<Color>(&value)) colors.push_back(resolve(*c, b.scheme));
        for (std::size_t i = 0; i < colors.size(); ++i) {
            double at =
                colors.size() == 1 ? 0 : static_cast<double>(i) / static_cast<double>(colors.size() - 1);
            cairo_pattern_add_color_stop_rgba(g, at, colors[i].r, colors[i].g, colors[i].b, colors[i].a);
        }
        cairo_set_source(cr, g);
        rect(cr, f);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
        return;
    }
    if (k == "Image") {
        drawImage(cr, b);
        return;
    }
    if (k == "Button") {
        bool held = state.isPressed && state.isPressed(n.path);
        if (b.plainButton && held) {
            // The platform's own buttons dim while held.
            cairo_push_group(cr);
            children();
            cairo_pop_group_to_source(cr);
            cairo_paint_with_alpha(cr, 0.25);
            return;
        }
        children();
        return;
    }
    if (k == "Divider") {
        setColor(cr, kSeparator);
        rect(cr, f);
        cairo_fill(cr);
        return;
    }
    if (k == "TextField" || k == "TextEditor") {
        const bool editor = k == "TextEditor";
        const bool rounded = n.modifier("textFieldStyle") != nullptr;
        if (rounded) {
            roundedRect(cr, insetRect(f, 0.25), 5);
            setColor(cr, resolve(Color::systemBackground(), b.scheme));
            cairo_fill_preserve(cr);
            setColor(cr, kSeparator);
            cairo_set_line_width(cr, 0.5);
            cairo_stroke(cr);
        }
        std::string value = n.getText ? n.getText() : "";
        bool placeholder = value.empty() && !editor;
        std::string shown = placeholder ? n.textProp("placeholder").value_or("") : value;
        const bool focused = state.focusedPath == n.path;
        const FieldText at =
            fieldText(b, value, focused ? state.selection.location + state.selection.length : 0);
        TextStyle style = b.style;
        if (placeholder) style.color = kPlaceholder;
        CGSize ts = text_.measure({TextRun{shown, {}, {}}}, style,
                                  editor ? std::optional(at.inner.width()) : std::nullopt);
        CGRect textRect(at.origin.x, at.origin.y, std::min(at.inner.width(), ts.width), ts.height);
        if (!editor) {
            // A field keeps its text on one line, cut at its edge.
            textRect.origin.y = at.inner.midY() - ts.height / 2;
            textRect.size.width = ts.width + 1;
        }
        cairo_save(cr);
        rect(cr, f);
        cairo_clip(cr);
        drawText(cr, {TextRun{shown, {}, {}}}, style, textRect, b.scheme);
        if (focused)
            platform::TextLayoutLines(at.layout.get(), value)
                .drawSelection(cr, state.selection, at.origin, 0, 0.48, 1);
        cairo_restore(cr);
        return;
    }
    if (k == "Toggle") {
        std::string title = n.textProp("title").value_or("");
        TextStyle style = b.style;
        CGSize ts = text_.measure({TextRun{title, {}, {}}}, style, std::nullopt);
        drawText(cr, {TextRun{title, {}, {}}}, style,
                 CGRect(f.minX(), f.midY() - ts.height / 2, ts.width, ts.height), b.scheme);
        bool on = n.isOn && n.isOn();
        CGRect track(f.maxX() - 51, f.midY() - 15.5, 51, 31);
        roundedRect(cr, track, 15.5);
        setColor(cr, on ? Color::green() : Color{"track", 0.47, 0.47, 0.5, 0.16});
        cairo_fill(cr);
        double knobX = on ? track.maxX() - 15.5 : track.minX() + 15.5;
        cairo_arc(cr, knobX, track.midY() + 0.5, 13.5, 0, 2 * std::numbers::pi);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.12);
        cairo_fill(cr);
        cairo_arc(cr, knobX, track.midY(), 13.5, 0, 2 * std::numbers::pi);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_fill(cr);
        if (!n.enabled) {
            roundedRect(cr, track, 15.5);
            cairo_set_source_rgba(cr, 1, 1, 1, 0.5);
            cairo_fill(cr);
        }
        return;
    }
    if (k == "Stepper") {
        children();
        CGRect control(f.maxX() - 94, f.midY() - 16, 94, 32);
        roundedRect(cr, control, 8);
        setColor(cr, kFill);
        cairo_fill(cr);
        setColor(cr, kSeparator);
        cairo_rectangle(cr, control.midX() - 0.5, control.minY() + 8, 1, 16);
        cairo_fill(cr);
        setColor(cr, n.enabled ? primary : Color::gray());
        cairo_set_line_width(cr, 2);
        double cy = control.midY();
        cairo_move_to(cr, control.minX() + 23.5 - 7, cy);
        cairo_line_to(cr, control.minX() + 23.5 + 7, cy);
        cairo_move_to(cr, control.maxX() - 23.5 - 7, cy);
        cairo_line_to(cr, control.maxX() - 23.5 + 7, cy);
        cairo_move_to(cr, control.maxX() - 23.5, cy - 7);
        cairo_line_to(cr, control.maxX() - 23.5, cy + 7);
        cairo_stroke(cr);
        return;
    }
    if (k == "Picker") {
        std::string value = n.getText ? n.getText() : "";
        TextStyle style = b.style;
        Color accent = n.enabled ? Color::blue() : Color::gray();
        CGSize vs = text_.measure({TextRun{value, {}, {}}}, style, std::nullopt);
        if (b.inList) {
            std::string title = n.textProp("title").value_or("");
            CGSize ts = text_.measure({TextRun{title, {}, {}}}, style, std::nullopt);
            drawText(cr, {TextRun{title, {}, {}}}, style,
                     CGRect(f.minX(), f.midY() - ts.height / 2, ts.width, ts.height), b.scheme);
            style.color = Color::gray();
            text_.draw(cr, {TextRun{value, {}, {}}}, style,
                       CGRect(f.maxX() - 16 - vs.width, f.midY() - vs.height / 2, vs.width, vs.height),
                       Color::gray());
            drawSymbol(cr, "chevron.right", CGRect(f.maxX() - 14, f.midY() - 7, 14, 14), Color::gray());
            return;
        }
        style.color = accent;
        text_.draw(cr, {TextRun{value, {}, {}}}, style,
                   CGRect(f.minX(), f.midY() - vs.height / 2, vs.width, vs.height), accent);
        drawSymbol(cr, "chevron.down", CGRect(f.minX() + vs.width + 3, f.midY() - 6, 12, 12), accent);
        return;
    }
    if (k == "ScrollView" || k == "List" || k == "Form") {
        cairo_save(cr);
        rect(cr, f);
        cairo_clip(cr);
        if (k == "Form") {
            setColor(cr, kGroupedBackground);
            rect(cr, f);
            cairo_fill(cr);
        }
        for (const LayoutBox& c : b.children) {
            if (k != "ScrollView" && c.isView("Section")) {
                roundedRect(cr, c.frame, k == "Form" ? 10 : 0);
                setColor(cr, resolve(Color::systemBackground(), b.scheme));
                cairo_fill(cr);
            }
        }
        children();
        if (k != "ScrollView") {
            // Separators between the rows of each group.
            auto separators = [&](const std::vector<LayoutBox>& rows, double left, double right) {
                for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
                    double y = (rows[i].frame.maxY() + rows[i + 1].frame.minY()) / 2;
                    setColor(cr, kSeparator);
                    cairo_rectangle(cr, left, std::round(y * 2) / 2, right - left, 0.5);
                    cairo_fill(cr);
                }
            };
            std::vector<LayoutBox> loose;
            for (const LayoutBox& c : b.children)
                if (c.isView("Section")) separators(c.children, c.frame.minX() + 16, c.frame.maxX());
            separators(b.children, f.minX() + 16, f.maxX());
        }
        cairo_restore(cr);
        return;
    }
    if (k == "Section" && !b.inList) {
        children();
        return;
    }
    children();
}

std::vector<CGRect> ViewRenderer::pickerOptionRects(const LayoutBox& picker, CGSize bounds) {
    const auto& options = picker.node->options;
    double rowH = 44, width = std::max(200.0, picker.frame.width());
    double height = rowH * static_cast<double>(options.size());
    double x = std::clamp(picker.frame.minX(), 8.0, std::max(8.0, bounds.width - width - 8));
    double y = picker.frame.maxY() + 4;
    if (y + height > bounds.height - 8) y = std::max(8.0, picker.frame.minY() - 4 - height);
    std::vector<CGRect> rects;
    for (std::size_t i = 0; i < options.size(); ++i)
        rects.emplace_back(x, y + rowH * static_cast<double>(i), width, rowH);
    return rects;
}

void ViewRenderer::drawPickerMenu(cairo_t* cr, const LayoutBox& picker, CGSize bounds) const {
    auto rects = pickerOptionRects(picker, bounds);
    if (rects.empty()) return;
    CGRect all(rects.front().minX(), rects.front().minY(), rects.front().width(),
               rects.back().maxY() - rects.front().minY());
    roundedRect(cr, insetRect(all, -1), 13);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.12);
    cairo_fill(cr);
    roundedRect(cr, all, 12);
    cairo_set_source_rgb(cr, 0.97, 0.97, 0.97);
    cairo_fill(cr);
    std::string chosen = picker.node->getText ? picker.node->getText() : "";
    TextStyle style = picker.style;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const std::string& option = picker.node->options[i];
        CGSize ts = text_.measure({TextRun{option, {}, {}}}, style, std::nullopt);
        text_.draw(cr, {TextRun{option, {}, {}}}, style,
                   CGRect(rects[i].minX() + 36, rects[i].midY() - ts.height / 2, ts.width, ts.height),
                   Color::black());
        if (option == chosen) {
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_set_line_width(cr, 2);
            cairo_move_to(cr, rects[i].minX() + 12, rects[i].midY());
            cairo_line_to(cr, rects[i].minX() + 17, rects[i].midY() + 5);
            cairo_line_to(cr, rects[i].minX() + 25, rects[i].midY() - 6);
            cairo_stroke(cr);
        }
        if (i + 1 < rects.size()) {
            setColor(cr, kSeparator);
            cairo_rectangle(cr, rects[i].minX(), rects[i].maxY() - 0.25, rects[i].width(), 0.5);
            cairo_fill(cr);
        }
    }
}

} // namespace platform::swiftui
