#include "platform/uikit/SystemSymbol.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>

#include <cairo.h>
#include <librsvg/rsvg.h>

#include "platform/foundation/Console.h"
#include "platform/foundation/LazyLibrary.h"

// librsvg is opened when a symbol drawn from a file is first shown.
#define rsvg_handle_new_from_file QUILLORA_LAZY("librsvg-2.so.2", rsvg_handle_new_from_file)
#define rsvg_handle_render_document QUILLORA_LAZY("librsvg-2.so.2", rsvg_handle_render_document)

namespace platform {

namespace {

using Drawer = std::function<void(cairo_t*, double side, double line)>;

// Our drawings work in a square of `side` points centred on the origin.
void circle(cairo_t* cr, double side, double line, bool filled, bool dotted) {
    const double radius = side / 2 - line / 2;
    cairo_new_path(cr);
    cairo_arc(cr, 0, 0, radius, 0, 2 * std::numbers::pi);
    if (filled) {
        cairo_fill(cr);
        return;
    }
    cairo_stroke(cr);
    if (dotted) {
        cairo_arc(cr, 0, 0, radius * 0.55, 0, 2 * std::numbers::pi);
        cairo_fill(cr);
    }
}

void chevronsUpDown(cairo_t* cr, double side, double line) {
    const double w = side * 0.22, h = side * 0.14;
    cairo_move_to(cr, -w, -side * 0.08);
    cairo_line_to(cr, 0, -side * 0.08 - 2 * h);
    cairo_line_to(cr, w, -side * 0.08);
    cairo_move_to(cr, -w, side * 0.08);
    cairo_line_to(cr, 0, side * 0.08 + 2 * h);
    cairo_line_to(cr, w, side * 0.08);
    cairo_set_line_width(cr, line);
    cairo_stroke(cr);
}

// Vertical bars of a sound's level, tallest in the middle.
void waveform(cairo_t* cr, double side, double line) {
    static constexpr double heights[] = {0.25, 0.55, 0.9, 0.6, 0.35, 0.75, 0.3};
    const double step = side / 7;
    cairo_set_line_width(cr, std::max(line * 1.3, step * 0.55));
    for (int i = 0; i < 7; ++i) {
        const double x = -side / 2 + step * (i + 0.5), h = heights[i] * side / 2;
        cairo_move_to(cr, x, -h);
        cairo_line_to(cr, x, h);
    }
    cairo_stroke(cr);
}

// A chip: a square with a smaller one inside and pins along every side.
void cpu(cairo_t* cr, double side, double line) {
    const double body = side * 0.62, die = side * 0.26, pin = side * 0.16;
    cairo_set_line_width(cr, line);
    cairo_rectangle(cr, -body / 2, -body / 2, body, body);
    cairo_stroke(cr);
    cairo_rectangle(cr, -die / 2, -die / 2, die, die);
    cairo_fill(cr);
    for (int i = -1; i <= 1; ++i) {
        const double at = i * body * 0.28;
        cairo_move_to(cr, at, -body / 2);
        cairo_line_to(cr, at, -body / 2 - pin);
        cairo_move_to(cr, at, body / 2);
        cairo_line_to(cr, at, body / 2 + pin);
        cairo_move_to(cr, -body / 2, at);
        cairo_line_to(cr, -body / 2 - pin, at);
        cairo_move_to(cr, body / 2, at);
        cairo_line_to(cr, body / 2 + pin, at);
    }
    cairo_stroke(cr);
}

// The share symbol: an open box with an arrow rising out of it.
void shareBox(cairo_t* cr, double side, double line) {
    const double w = side * 0.6, top = -side * 0.08, bottom = side * 0.46, gap = side * 0.14;
    cairo_set_line_width(cr, line);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, -gap, top);
    cairo_line_to(cr, -w / 2, top);
    cairo_line_to(cr, -w / 2, bottom);
    cairo_line_to(cr, w / 2, bottom);
    cairo_line_to(cr, w / 2, top);
    cairo_line_to(cr, gap, top);
    cairo_stroke(cr);
    cairo_move_to(cr, 0, side * 0.2);
    cairo_line_to(cr, 0, -side * 0.46);
    cairo_move_to(cr, -side * 0.16, -side * 0.3);
    cairo_line_to(cr, 0, -side * 0.46);
    cairo_line_to(cr, side * 0.16, -side * 0.3);
    cairo_stroke(cr);
}

// A chevron that points right (or down): the platform's disclosure mark.
void chevron(cairo_t* cr, double side, double line, bool down) {
    const double s = side * 0.2;
    cairo_set_line_width(cr, line * 1.2);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    if (down) {
        cairo_move_to(cr, -2 * s, -s);
        cairo_line_to(cr, 0, s);
        cairo_line_to(cr, 2 * s, -s);
    } else {
        cairo_move_to(cr, -s, -2 * s);
        cairo_line_to(cr, s, 0);
        cairo_line_to(cr, -s, 2 * s);
    }
    cairo_stroke(cr);
}

struct Entry {
    // The Adwaita symbolic icon's name, or empty when we draw it.
    const char* icon;
    Drawer drawer;
};

// The one table: every system symbol the screens name.
const std::map<std::string, Entry>& table() {
    static const std::map<std::string, Entry> entries = {
        {"apps.iphone", {"phone-apple-iphone-symbolic", nullptr}},
        {"chevron.down", {"", [](cairo_t* cr, double s, double l) { chevron(cr, s, l, true); }}},
        {"chevron.right", {"", [](cairo_t* cr, double s, double l) { chevron(cr, s, l, false); }}},
        {"chevron.up.chevron.down", {"", chevronsUpDown}},
        {"circle", {"", [](cairo_t* cr, double s, double l) { circle(cr, s, l, false, false); }}},
        {"circle.fill", {"", [](cairo_t* cr, double s, double l) { circle(cr, s, l, true, false); }}},
        {"cpu", {"", cpu}},
        {"display", {"video-display-symbolic", nullptr}},
        {"envelope.fill", {"mail-unread-symbolic", nullptr}},
        {"largecircle.fill.circle",
         {"", [](cairo_t* cr, double s, double l) { circle(cr, s, l, false, true); }}},
        {"person.2.square.stack.fill", {"system-users-symbolic", nullptr}},
        {"photo", {"image-x-generic-symbolic", nullptr}},
        {"square.and.arrow.up", {"", shareBox}},
        {"waveform", {"", waveform}},
    };
    return entries;
}

std::string findIcon(const std::string& icon) {
    static const char* roots[] = {"/usr/share/icons/Adwaita/scalable", "/usr/share/icons/Adwaita/symbolic"};
    static const char* contexts[] = {"actions", "apps",      "categories", "devices", "emblems",
                                     "legacy",  "mimetypes", "places",     "status",  "ui"};
    for (const char* root : roots)
        for (const char* context : contexts) {
            std::filesystem::path path = std::filesystem::path(root) / context / (icon + ".svg");
            std::error_code ec;
            if (std::filesystem::is_regular_file(path, ec)) return path.string();
        }
    return {};
}

// Icons are read once; the parsed documents do not change.
std::shared_ptr<RsvgHandle> iconHandle(const std::string& file) {
    static std::mutex lock;
    static std::map<std::string, std::shared_ptr<RsvgHandle>> handles;
    std::lock_guard guard(lock);
    if (auto it = handles.find(file); it != handles.end()) return it->second;
    // Without librsvg the screens are drawn all the same, without the symbols taken from icons.
    if (LazyLibrary::load("librsvg-2.so.2")) return nullptr;
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_file(file.c_str(), &error);
    std::shared_ptr<RsvgHandle> out;
    if (handle)
        out.reset(handle, [](RsvgHandle* h) { g_object_unref(h); });
    else {
        console().print("SystemSymbol: cannot read " + file + ": " +
                        (error ? error->message : "unknown error"));
        if (error) g_error_free(error);
    }
    handles[file] = out;
    return out;
}

} // namespace

double SystemSymbol::strokeFactor(const std::string& weight) {
    if (weight == "ultraLight" || weight == "thin") return 0.6;
    if (weight == "light") return 0.8;
    if (weight == "medium") return 1.12;
    if (weight == "semibold") return 1.25;
    if (weight == "bold") return 1.4;
    if (weight == "heavy" || weight == "black") return 1.6;
    return 1.0;
}

std::vector<std::string> SystemSymbol::names() {
    std::vector<std::string> out;
    for (const auto& [name, entry] : table())
        out.push_back(name);
    return out;
}

std::string SystemSymbol::iconFile(const std::string& name) {
    auto it = table().find(name);
    if (it == table().end() || !*it->second.icon) return {};
    return findIcon(it->second.icon);
}

bool SystemSymbol::isAvailable(const std::string& name) {
    auto it = table().find(name);
    if (it == table().end()) return false;
    if (it->second.drawer) return true;
    const std::string file = iconFile(name);
    return !file.empty() && iconHandle(file) != nullptr;
}

bool SystemSymbol::draw(cairo_t* cr, const std::string& name, const CGRect& rect, const std::string& weight) {
    auto it = table().find(name);
    if (it == table().end()) {
        console().print("SystemSymbol: no symbol named " + name);
        return false;
    }
    const double side = std::min(rect.width(), rect.height());
    if (side <= 0) return true;
    const double factor = strokeFactor(weight);
    cairo_save(cr);
    if (it->second.drawer) {
        cairo_translate(cr, rect.midX(), rect.midY());
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_new_path(cr);
        it->second.drawer(cr, side, std::max(0.8, side / 12 * factor));
        cairo_restore(cr);
        return true;
    }
    auto handle = iconHandle(iconFile(name));
    if (!handle) {
        cairo_restore(cr);
        return false;
    }
    // The icon's own colours are ignored: its shape masks the current source, as a template.
    cairo_pattern_t* source = cairo_pattern_reference(cairo_get_source(cr));
    cairo_push_group(cr);
    const RsvgRectangle viewport{rect.midX() - side / 2, rect.midY() - side / 2, side, side};
    rsvg_handle_render_document(handle.get(), cr, &viewport, nullptr);
    cairo_pattern_t* mask = cairo_pop_group(cr);
    cairo_set_source(cr, source);
    // A heavier weight thickens the shape by painting it a little off centre all round.
    const double spread = (factor - 1) * side / 16 * 0.5;
    if (spread > 0.01) {
        for (int i = 0; i < 8; ++i) {
            const double a = i * std::numbers::pi / 4;
            cairo_save(cr);
            cairo_translate(cr, spread * std::cos(a), spread * std::sin(a));
            cairo_mask(cr, mask);
            cairo_restore(cr);
        }
    } else {
        cairo_mask(cr, mask);
    }
    cairo_pattern_destroy(mask);
    cairo_pattern_destroy(source);
    cairo_restore(cr);
    return true;
}

} // namespace platform
