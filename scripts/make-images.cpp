// Draws the generated button and placeholder pictures of resources/; regenerate with scripts/make-images.
// Every picture is drawn on a 120 x 120 grid and scaled to its pixel size.
#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h> // after <cstdio>: it needs FILE and size_t

namespace {

struct Rgb {
    double r, g, b;
};
const Rgb kBlue{0.12, 0.53, 0.90}, kGreen{0.26, 0.63, 0.28}, kRed{0.83, 0.18, 0.18},
    kRecord{0.90, 0.22, 0.21}, kOrange{0.98, 0.55, 0.0}, kPurple{0.49, 0.30, 0.73}, kTeal{0.0, 0.54, 0.48},
    kSlate{0.33, 0.43, 0.48}, kYellow{0.98, 0.75, 0.18}, kWhite{1, 1, 1};

void color(cairo_t* cr, Rgb c, double alpha = 1) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void disc(cairo_t* cr, Rgb c) {
    color(cr, c);
    cairo_arc(cr, 60, 60, 56, 0, 2 * M_PI);
    cairo_fill(cr);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void tile(cairo_t* cr, Rgb c) {
    color(cr, c);
    roundedRect(cr, 4, 4, 112, 112, 26);
    cairo_fill(cr);
}

// A round-capped polyline through the points (x0, y0, x1, y1, ...).
void stroke(cairo_t* cr, std::vector<double> pts, double width) {
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, pts[0], pts[1]);
    for (size_t i = 2; i + 1 < pts.size(); i += 2)
        cairo_line_to(cr, pts[i], pts[i + 1]);
    cairo_stroke(cr);
}

void polygon(cairo_t* cr, std::vector<double> pts) {
    cairo_move_to(cr, pts[0], pts[1]);
    for (size_t i = 2; i + 1 < pts.size(); i += 2)
        cairo_line_to(cr, pts[i], pts[i + 1]);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void text(cairo_t* cr, const char* s, double cx, double cy, double size) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s, &e);
    cairo_move_to(cr, cx - e.width / 2 - e.x_bearing, cy - e.height / 2 - e.y_bearing);
    cairo_show_text(cr, s);
}

// A sheet of paper with a folded top-right corner; `ink` colours the fold.
void page(cairo_t* cr, double x, double y, double w, double h, Rgb paper, Rgb ink) {
    const double f = w * 0.3;
    color(cr, paper);
    polygon(cr, {x, y, x + w - f, y, x + w, y + f, x + w, y + h, x, y + h});
    color(cr, ink, 0.35);
    polygon(cr, {x + w - f, y, x + w - f, y + f, x + w, y + f});
}

void pdfDocument(cairo_t* cr, Rgb paper, Rgb band) {
    page(cr, 32, 18, 56, 84, paper, kSlate);
    color(cr, band);
    roundedRect(cr, 22, 54, 60, 26, 5);
    cairo_fill(cr);
    color(cr, kWhite);
    text(cr, "PDF", 52, 67, 18);
}

void play(cairo_t* cr, Rgb c = kRecord) {
    disc(cr, c);
    color(cr, kWhite);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 8);
    cairo_move_to(cr, 48, 38);
    cairo_line_to(cr, 48, 82);
    cairo_line_to(cr, 84, 60);
    cairo_close_path(cr);
    cairo_fill_preserve(cr);
    cairo_stroke(cr);
}

void pause(cairo_t* cr, Rgb c = kRecord) {
    disc(cr, c);
    color(cr, kWhite);
    roundedRect(cr, 40, 36, 14, 48, 4);
    roundedRect(cr, 66, 36, 14, 48, 4);
    cairo_fill(cr);
}

// The record button of one language: its code on the disc beside the play or pause sign.
void languageButton(cairo_t* cr, const std::string& code, bool playing) {
    disc(cr, kRecord);
    color(cr, kWhite);
    if (playing) {
        roundedRect(cr, 44, 24, 11, 36, 3);
        roundedRect(cr, 65, 24, 11, 36, 3);
        cairo_fill(cr);
    } else {
        cairo_move_to(cr, 48, 24);
        cairo_line_to(cr, 48, 60);
        cairo_line_to(cr, 78, 42);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
    text(cr, code.c_str(), 60, 84, 24);
}

void pencil(cairo_t* cr) {
    disc(cr, kBlue);
    cairo_save(cr);
    cairo_translate(cr, 60, 60);
    cairo_rotate(cr, 3 * M_PI / 4); // tip towards the lower left
    color(cr, kWhite);
    roundedRect(cr, -34, -9, 12, 18, 3); // eraser
    cairo_fill(cr);
    cairo_rectangle(cr, -18, -9, 38, 18);
    cairo_fill(cr);
    polygon(cr, {20, -9, 36, 0, 20, 9});
    color(cr, kBlue);
    polygon(cr, {31, -3, 37, 0, 31, 3}); // lead
    cairo_restore(cr);
}

void downArrowIntoTray(cairo_t* cr, Rgb c) {
    disc(cr, c);
    color(cr, kWhite);
    stroke(cr, {60, 30, 60, 70}, 9);
    stroke(cr, {43, 54, 60, 71, 77, 54}, 9);
    stroke(cr, {34, 72, 34, 86, 86, 86, 86, 72}, 8);
}

void backArrow(cairo_t* cr, Rgb arrow) {
    color(cr, arrow);
    stroke(cr, {84, 60, 38, 60}, 10);
    stroke(cr, {58, 40, 38, 60, 58, 80}, 10);
}

void backButton(cairo_t* cr) {
    disc(cr, kBlue);
    backArrow(cr, kWhite);
}

void backRing(cairo_t* cr) {
    color(cr, kWhite);
    cairo_arc(cr, 60, 60, 52, 0, 2 * M_PI);
    cairo_fill_preserve(cr);
    color(cr, kSlate);
    cairo_set_line_width(cr, 7);
    cairo_stroke(cr);
    backArrow(cr, kSlate);
}

void commandList(cairo_t* cr) {
    disc(cr, kPurple);
    color(cr, kWhite);
    for (double y : {40.0, 60.0, 80.0}) {
        cairo_arc(cr, 38, y, 5.5, 0, 2 * M_PI);
        cairo_fill(cr);
        stroke(cr, {52, y, 84, y}, 8);
    }
}

void chart(cairo_t* cr) {
    disc(cr, kTeal);
    color(cr, kWhite);
    const double bars[][2] = {{34, 22}, {53, 44}, {72, 32}};
    for (auto [x, h] : bars) {
        roundedRect(cr, x, 82 - h, 14, h, 3);
        cairo_fill(cr);
    }
    stroke(cr, {30, 88, 90, 88}, 5);
}

void share(cairo_t* cr, Rgb c) {
    disc(cr, c);
    color(cr, kWhite);
    stroke(cr, {47, 52, 38, 52, 38, 88, 82, 88, 82, 52, 73, 52}, 7);
    stroke(cr, {60, 28, 60, 68}, 8);
    stroke(cr, {47, 41, 60, 28, 73, 41}, 8);
}

void floppy(cairo_t* cr, Rgb c) {
    disc(cr, c);
    color(cr, kWhite);
    cairo_move_to(cr, 34, 34);
    cairo_line_to(cr, 74, 34);
    cairo_line_to(cr, 86, 46);
    cairo_line_to(cr, 86, 86);
    cairo_line_to(cr, 34, 86);
    cairo_close_path(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 6);
    cairo_fill_preserve(cr);
    cairo_stroke(cr);
    color(cr, c);
    cairo_rectangle(cr, 44, 34, 26, 15);
    cairo_fill(cr);
    cairo_arc(cr, 60, 69, 9, 0, 2 * M_PI);
    cairo_fill(cr);
}

void refresh(cairo_t* cr) {
    disc(cr, kBlue);
    color(cr, kWhite);
    const double r = 25, from = M_PI / 6, to = from + 1.6 * M_PI;
    cairo_set_line_width(cr, 9);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_arc(cr, 60, 60, r, from, to);
    cairo_stroke(cr);
    const double px = 60 + r * std::cos(to), py = 60 + r * std::sin(to);
    const double tx = -std::sin(to), ty = std::cos(to), nx = std::cos(to), ny = std::sin(to);
    polygon(cr, {px + 13 * tx, py + 13 * ty, px + 13 * nx - 2 * tx, py + 13 * ny - 2 * ty,
                 px - 13 * nx - 2 * tx, py - 13 * ny - 2 * ty});
}

void createPdf(cairo_t* cr) {
    disc(cr, kRed);
    page(cr, 36, 26, 48, 68, kWhite, kRed);
    color(cr, kRed);
    text(cr, "PDF", 60, 66, 16);
}

void gear(cairo_t* cr) {
    disc(cr, kSlate);
    color(cr, kWhite);
    const double inner = 27, outer = 38, deg = M_PI / 180;
    for (int i = 0; i < 8; ++i) {
        const double a = i * 45 * deg;
        cairo_arc(cr, 60, 60, inner, a - 31 * deg, a - 13 * deg);
        cairo_line_to(cr, 60 + outer * std::cos(a - 9 * deg), 60 + outer * std::sin(a - 9 * deg));
        cairo_line_to(cr, 60 + outer * std::cos(a + 9 * deg), 60 + outer * std::sin(a + 9 * deg));
    }
    cairo_close_path(cr);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 60, 60, 11, 0, 2 * M_PI);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_fill(cr);
}

void pdfIcon(cairo_t* cr) {
    page(cr, 32, 14, 58, 92, {0.93, 0.94, 0.95}, kSlate);
    color(cr, kSlate, 0.5);
    for (double y : {86.0, 95.0})
        stroke(cr, {42, y, 80, y}, 3);
    color(cr, kRed);
    roundedRect(cr, 20, 46, 62, 28, 5);
    cairo_fill(cr);
    color(cr, kWhite);
    text(cr, "PDF", 51, 60, 19);
}

void printer(cairo_t* cr) {
    disc(cr, kSlate);
    color(cr, kWhite);
    cairo_rectangle(cr, 42, 26, 36, 18);
    cairo_fill(cr);
    roundedRect(cr, 28, 46, 64, 32, 6);
    cairo_fill(cr);
    color(cr, kSlate);
    cairo_rectangle(cr, 38, 64, 44, 6);
    cairo_fill(cr);
    color(cr, kWhite);
    cairo_rectangle(cr, 42, 67, 36, 26);
    cairo_fill(cr);
    color(cr, kSlate);
    for (double y : {76.0, 84.0})
        stroke(cr, {48, y, 72, y}, 3);
    color(cr, kGreen);
    cairo_arc(cr, 82, 54, 3, 0, 2 * M_PI);
    cairo_fill(cr);
}

void preview(cairo_t* cr) {
    disc(cr, kRed);
    page(cr, 32, 24, 44, 62, kWhite, kRed);
    color(cr, kRed, 0.6);
    for (double y : {46.0, 56.0, 66.0})
        stroke(cr, {40, y, 60, y}, 3);
    color(cr, kRed);
    cairo_arc(cr, 72, 70, 19, 0, 2 * M_PI);
    cairo_fill(cr);
    color(cr, kWhite);
    cairo_set_line_width(cr, 6);
    cairo_arc(cr, 72, 70, 12, 0, 2 * M_PI);
    cairo_stroke(cr);
    stroke(cr, {81, 79, 92, 90}, 9);
}

void cancel(cairo_t* cr) {
    disc(cr, kRecord);
    color(cr, kWhite);
    stroke(cr, {42, 42, 78, 78}, 11);
    stroke(cr, {78, 42, 42, 78}, 11);
}

void photoPlaceholder(cairo_t* cr) {
    cairo_set_source_rgb(cr, 0.84, 0.89, 0.93);
    cairo_paint(cr);
    color(cr, kWhite);
    cairo_arc(cr, 86, 34, 11, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.62, 0.71, 0.77);
    polygon(cr, {0, 96, 36, 52, 60, 80, 82, 58, 120, 98, 120, 120, 0, 120});
    cairo_set_source_rgb(cr, 0.47, 0.56, 0.62);
    polygon(cr, {0, 108, 30, 90, 70, 104, 120, 86, 120, 120, 0, 120});
}

void notepad(cairo_t* cr, Rgb c) {
    tile(cr, c);
    color(cr, kWhite);
    roundedRect(cr, 32, 24, 56, 74, 6);
    cairo_fill(cr);
    color(cr, c);
    for (double y : {46.0, 60.0, 74.0})
        stroke(cr, {42, y, 78, y}, 4);
    color(cr, kSlate);
    for (double x : {44.0, 60.0, 76.0})
        stroke(cr, {x, 18, x, 30}, 5); // spiral binding
}

void trolley(cairo_t* cr) {
    tile(cr, kGreen);
    color(cr, kWhite);
    stroke(cr, {24, 34, 36, 34, 48, 78, 88, 78}, 7);
    polygon(cr, {40, 44, 94, 44, 86, 70, 47, 70});
    cairo_arc(cr, 52, 90, 7, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_arc(cr, 82, 90, 7, 0, 2 * M_PI);
    cairo_fill(cr);
}

void wallet(cairo_t* cr, Rgb c) {
    disc(cr, c);
    color(cr, kWhite, 0.75);
    cairo_save(cr);
    cairo_translate(cr, 56, 46);
    cairo_rotate(cr, -0.2);
    cairo_rectangle(cr, -20, -18, 34, 30);
    cairo_fill(cr);
    cairo_restore(cr);
    color(cr, kWhite);
    cairo_rectangle(cr, 50, 26, 30, 30);
    cairo_fill(cr);
    roundedRect(cr, 26, 46, 68, 46, 7);
    cairo_fill(cr);
    color(cr, c);
    roundedRect(cr, 70, 60, 24, 18, 5);
    cairo_fill(cr);
    color(cr, kWhite);
    cairo_arc(cr, 80, 69, 4, 0, 2 * M_PI);
    cairo_fill(cr);
}

void trash(cairo_t* cr) {
    color(cr, kRecord);
    cairo_paint(cr);
    color(cr, kWhite);
    stroke(cr, {34, 36, 86, 36}, 7);
    stroke(cr, {51, 36, 51, 27, 69, 27, 69, 36}, 6);
    polygon(cr, {39, 44, 81, 44, 77, 94, 43, 94});
    color(cr, kRecord);
    for (double x : {51.0, 60.0, 69.0})
        stroke(cr, {x, 54, x, 84}, 4);
}

void pdfSwipe(cairo_t* cr) {
    color(cr, kBlue);
    cairo_paint(cr);
    pdfDocument(cr, kWhite, kRed);
}

// The window's icon: a microphone whose stand ends in a quill's nib, on the app's blue tile, with
// the words it hears going out as waves.
void appIcon(cairo_t* cr) {
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, 4, 0, 116);
    cairo_pattern_add_color_stop_rgb(shade, 0, 0.25, 0.62, 0.96);
    cairo_pattern_add_color_stop_rgb(shade, 1, 0.08, 0.40, 0.78);
    cairo_set_source(cr, shade);
    roundedRect(cr, 4, 4, 112, 112, 26);
    cairo_fill(cr);
    cairo_pattern_destroy(shade);
    color(cr, kWhite);
    roundedRect(cr, 42, 20, 28, 50, 14);
    cairo_fill(cr);
    cairo_set_line_width(cr, 6);
    cairo_arc(cr, 56, 52, 24, 0, M_PI);
    cairo_stroke(cr);
    stroke(cr, {56, 76, 56, 86}, 6);
    // The nib.
    polygon(cr, {46, 86, 66, 86, 56, 106});
    color(cr, kBlue);
    stroke(cr, {56, 92, 56, 100}, 2);
    color(cr, kWhite, 0.85);
    cairo_set_line_width(cr, 4);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (double r : {34.0, 44.0}) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, 56, 45, r, -0.45, 0.45);
        cairo_stroke(cr);
    }
}

void writeJpeg(cairo_surface_t* s, const std::string& path) {
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        std::exit(1);
    }
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = w;
    c.image_height = h;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(3 * w);
    for (int y = 0; y < h; ++y) {
        const auto* px = reinterpret_cast<const uint32_t*>(data + y * stride); // opaque 0xAARRGGBB
        for (int x = 0; x < w; ++x) {
            row[3 * x] = px[x] >> 16 & 0xff;
            row[3 * x + 1] = px[x] >> 8 & 0xff;
            row[3 * x + 2] = px[x] & 0xff;
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

struct Picture {
    std::string name;
    int pixels;
    std::function<void(cairo_t*)> draw;
};

// Gallery cards: each shows its document's look on a 140 x 200 grid (flyers and posters 140 x 150).
void textLines(cairo_t* cr, double x, double y, double w, int n, double gap, Rgb c, double width = 2.2) {
    color(cr, c);
    cairo_set_line_width(cr, width);
    for (int i = 0; i < n; ++i) {
        const double len = (i % 4 == 3) ? w * 0.6 : w;
        cairo_move_to(cr, x, y + i * gap);
        cairo_line_to(cr, x + len, y + i * gap);
    }
    cairo_stroke(cr);
}

void word(cairo_t* cr, const char* s, double cx, double cy, double size, Rgb c, bool bold = true) {
    color(cr, c);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s, &e);
    cairo_move_to(cr, cx - e.width / 2 - e.x_bearing, cy - e.height / 2 - e.y_bearing);
    cairo_show_text(cr, s);
}

// A small landscape: sky, sun and two hills, standing for a photo.
void photoBlock(cairo_t* cr, double x, double y, double w, double h) {
    color(cr, {0.62, 0.80, 0.95});
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
    color(cr, kYellow);
    cairo_arc(cr, x + w * 0.78, y + h * 0.3, h * 0.14, 0, 2 * M_PI);
    cairo_fill(cr);
    color(cr, kGreen);
    polygon(cr, {x, y + h, x + w * 0.35, y + h * 0.45, x + w * 0.7, y + h});
    color(cr, {0.18, 0.49, 0.2});
    polygon(cr, {x + w * 0.4, y + h, x + w * 0.7, y + h * 0.6, x + w, y + h * 0.85, x + w, y + h});
}

void paper(cairo_t* cr, double w, double h, Rgb c) {
    color(cr, c);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_fill(cr);
}

const Rgb kInk{0.55, 0.57, 0.6}, kDark{0.13, 0.13, 0.15};

void notesCard(cairo_t* cr, bool dark) {
    paper(cr, 140, 200, dark ? kDark : kWhite);
    color(cr, dark ? kYellow : kBlue);
    cairo_rectangle(cr, 0, 0, 140, 30);
    cairo_fill(cr);
    word(cr, "NOTES", 70, 15, 14, dark ? kDark : kWhite);
    word(cr, "Meeting Minutes", 70, 44, 9, dark ? kWhite : kDark);
    textLines(cr, 14, 62, 112, 12, 11, dark ? Rgb{0.8, 0.8, 0.8} : kInk);
}

void essayCard(cairo_t* cr) {
    paper(cr, 140, 200, kWhite);
    word(cr, "ESSAY", 70, 24, 18, kRed);
    word(cr, "The Future of AI", 70, 44, 8, kDark, false);
    textLines(cr, 14, 60, 112, 12, 10, kInk);
    word(cr, "Sam Author", 105, 186, 7, kSlate, false);
}

void researchCard(cairo_t* cr) {
    paper(cr, 140, 200, kWhite);
    word(cr, "Research", 70, 20, 15, kBlue);
    word(cr, "Paper", 70, 38, 12, kBlue);
    textLines(cr, 12, 58, 54, 13, 10, kInk, 1.8);
    textLines(cr, 74, 58, 54, 13, 10, kInk, 1.8);
}

void modernReportCard(cairo_t* cr) {
    paper(cr, 140, 200, kWhite);
    photoBlock(cr, 0, 0, 140, 70);
    word(cr, "REPORT", 70, 86, 15, kDark);
    textLines(cr, 14, 104, 112, 9, 10, kInk);
}

void contemporaryCard(cairo_t* cr) {
    paper(cr, 140, 200, kWhite);
    color(cr, kTeal);
    cairo_rectangle(cr, 0, 0, 26, 200);
    cairo_fill(cr);
    photoBlock(cr, 36, 12, 92, 56);
    word(cr, "School", 82, 82, 12, kTeal);
    word(cr, "Report", 82, 98, 12, kTeal);
    textLines(cr, 36, 116, 92, 8, 10, kInk);
}

void letterCard(cairo_t* cr, int look) {
    paper(cr, 140, 200, kWhite);
    switch (look) {
    case 0: // modern: logo and sender on the right
        color(cr, kPurple);
        cairo_arc(cr, 28, 26, 14, 0, 2 * M_PI);
        cairo_fill(cr);
        textLines(cr, 78, 18, 48, 3, 7, kSlate, 1.6);
        break;
    case 1: // modern bold: a big red name across the top
        word(cr, "ALEX", 70, 26, 24, kRed);
        textLines(cr, 40, 46, 60, 2, 6, kSlate, 1.4);
        break;
    case 2: // personal: a blue name, softer
        word(cr, "Dear Casey,", 52, 28, 11, kBlue, false);
        break;
    default: // business: company band with a logo
        color(cr, kSlate);
        cairo_rectangle(cr, 0, 0, 140, 34);
        cairo_fill(cr);
        color(cr, kOrange);
        cairo_rectangle(cr, 10, 8, 18, 18);
        cairo_fill(cr);
        word(cr, "COMPANY", 82, 17, 10, kWhite);
        break;
    }
    textLines(cr, 14, 70, 112, 10, 10, kInk);
    word(cr, "Sincerely,", 34, 180, 7, kDark, false);
}

void posterCard(cairo_t* cr, const char* title, Rgb band, const char* footer) {
    paper(cr, 140, 150, kWhite);
    color(cr, band);
    cairo_rectangle(cr, 0, 0, 140, 30);
    cairo_fill(cr);
    word(cr, title, 70, 15, 13, kWhite);
    photoBlock(cr, 14, 38, 112, 64);
    word(cr, footer, 70, 116, 11, band);
    textLines(cr, 24, 132, 92, 2, 7, kInk, 1.6);
}

struct Card {
    std::string name;
    double height;
    std::function<void(cairo_t*)> draw;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s RESOURCE-DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<Picture> pictures = {
        {"Play.png", 120, [](cairo_t* cr) { play(cr); }},
        {"Pause.png", 120, [](cairo_t* cr) { pause(cr); }},
        {"Play1.png", 120, [](cairo_t* cr) { play(cr, kBlue); }},
        {"Pause1.png", 120, [](cairo_t* cr) { pause(cr, kBlue); }},
        {"tapedit.png", 120, pencil},
        {"savearrow.png", 120, [](cairo_t* cr) { downArrowIntoTray(cr, kGreen); }},
        {"backbutton2.png", 120, backButton},
        {"back3button.png", 120, backRing},
        {"command_list.png", 120, commandList},
        {"textanalysis.png", 120, chart},
        {"sharebuttonnew.png", 120, [](cairo_t* cr) { share(cr, kBlue); }},
        {"savebuttonnew.png", 120, [](cairo_t* cr) { floppy(cr, kGreen); }},
        {"refreshbuttonnew.png", 120, refresh},
        {"createPDF2.png", 120, createPdf},
        {"settings2.png", 120, gear},
        {"PDF_icon.png", 120, pdfIcon},
        {"savePDF.png", 120, [](cairo_t* cr) { floppy(cr, kRed); }},
        {"sharePDF.png", 120, [](cairo_t* cr) { share(cr, kRed); }},
        {"printPDF.png", 120, printer},
        {"PDFprint.png", 120, preview},
        {"cancel.png", 120, cancel},
        {"handle.png", 240, photoPlaceholder},
        {"trolley_t.png", 120, trolley},
        {"notes_t.png", 120, [](cairo_t* cr) { notepad(cr, kBlue); }},
        {"notes1_t.png", 120, [](cairo_t* cr) { notepad(cr, kYellow); }},
        {"docswallet.png", 120, [](cairo_t* cr) { wallet(cr, kBlue); }},
        {"docswallet2.png", 120, [](cairo_t* cr) { wallet(cr, kTeal); }},
        {"docswallet3.png", 120, [](cairo_t* cr) { wallet(cr, kOrange); }},
        {"delete.jpg", 120, trash},
        {"PDF.jpg", 120, pdfSwipe},
        // Found by the window's icon theme under the application's id.
        {"com.quillora.app.png", 256, appIcon},
    };
    // The recipe screen's languages with pictures of their own: the name starts the file name.
    for (const char* code :
         {"French", "Italian", "MX", "DE", "JP", "SE", "NL", "PT", "PL", "HU", "TR", "NO", "RO",
          "IL",     "TH",      "FI", "CZ", "MY", "KR", "ID", "DK", "RU", "VN", "UA", "IN", "CN"}) {
        const std::string name = code;
        const std::string label = name == "French" ? "FR" : name == "Italian" ? "IT" : name;
        pictures.push_back(
            {name + "_Play_Button.png", 120, [label](cairo_t* cr) { languageButton(cr, label, false); }});
        pictures.push_back(
            {name + "_Pause_Button.png", 120, [label](cairo_t* cr) { languageButton(cr, label, true); }});
    }
    pictures.push_back({"savearro2.png", 120, [](cairo_t* cr) { downArrowIntoTray(cr, kOrange); }});
    const std::vector<Card> cards = {
        {"Note1.png", 200, [](cairo_t* cr) { notesCard(cr, false); }},
        {"Note2black.png", 200, [](cairo_t* cr) { notesCard(cr, true); }},
        {"essay.png", 200, essayCard},
        {"researchpaper.png", 200, researchCard},
        {"modernreport.png", 200, modernReportCard},
        {"contemporaryreport.png", 200, contemporaryCard},
        {"modernletter.png", 200, [](cairo_t* cr) { letterCard(cr, 0); }},
        {"bold_type_letter.png", 200, [](cairo_t* cr) { letterCard(cr, 1); }},
        {"personalletter.png", 200, [](cairo_t* cr) { letterCard(cr, 2); }},
        {"businessletter.png", 200, [](cairo_t* cr) { letterCard(cr, 3); }},
        {"eventposter.png", 150, [](cairo_t* cr) { posterCard(cr, "ART EVENT", kPurple, "21 OCT  4PM"); }},
        {"forrentflyer.png", 150, [](cairo_t* cr) { posterCard(cr, "FOR RENT", kBlue, "$1200/Month"); }},
        {"forsaleflyer.png", 150, [](cairo_t* cr) { posterCard(cr, "FOR SALE", kRed, "$1000"); }},
    };
    for (const auto& c : cards) {
        // Twice the card's size in points, so that it stays sharp on a 2x screen.
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 280, int(c.height * 2));
        cairo_t* cr = cairo_create(s);
        cairo_scale(cr, 2, 2);
        c.draw(cr);
        cairo_destroy(cr);
        const std::string path = dir + "/" + c.name;
        if (cairo_surface_write_to_png(s, path.c_str()) != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        cairo_surface_destroy(s);
    }
    for (const auto& p : pictures) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, p.pixels, p.pixels);
        cairo_t* cr = cairo_create(s);
        cairo_scale(cr, p.pixels / 120.0, p.pixels / 120.0);
        p.draw(cr);
        cairo_destroy(cr);
        cairo_surface_flush(s);
        const std::string path = dir + "/" + p.name;
        if (p.name.ends_with(".jpg")) {
            writeJpeg(s, path);
        } else if (cairo_surface_write_to_png(s, path.c_str()) != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        cairo_surface_destroy(s);
    }
    return 0;
}
