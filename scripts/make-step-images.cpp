// Draws the pictures of the tutorial and promotion pages, the card galleries and their
// backgrounds into resources/; run by scripts/make-images. Each picture is drawn in points and
// scaled to its pixel size.
#include <cairo.h>

#include <cmath>
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
const Rgb kNavy{0.07, 0.16, 0.33}, kBlue{0.12, 0.53, 0.90}, kSky{0.55, 0.78, 0.97}, kRed{0.90, 0.22, 0.21},
    kGreen{0.26, 0.63, 0.28}, kOrange{0.98, 0.55, 0.0}, kPurple{0.49, 0.30, 0.73}, kTeal{0.0, 0.54, 0.48},
    kSlate{0.33, 0.43, 0.48}, kYellow{0.98, 0.75, 0.18}, kWhite{1, 1, 1}, kInk{0.15, 0.17, 0.2},
    kPaper{0.96, 0.97, 0.98}, kBrown{0.55, 0.35, 0.2};

void color(cairo_t* cr, Rgb c, double alpha = 1) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void fillRounded(cairo_t* cr, double x, double y, double w, double h, double r, Rgb c, double alpha = 1) {
    color(cr, c, alpha);
    roundedRect(cr, x, y, w, h, r);
    cairo_fill(cr);
}

// Text centred on (cx, cy), shrunk to fit `maxWidth`.
void text(cairo_t* cr, const std::string& s, double cx, double cy, double size, Rgb c, bool bold = true,
          double maxWidth = 1e9) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    if (e.x_advance > maxWidth) {
        size *= maxWidth / e.x_advance;
        cairo_set_font_size(cr, size);
        cairo_text_extents(cr, s.c_str(), &e);
    }
    color(cr, c);
    cairo_move_to(cr, cx - e.x_advance / 2, cy - e.height / 2 - e.y_bearing);
    cairo_show_text(cr, s.c_str());
}

void verticalGradient(cairo_t* cr, double w, double h, Rgb top, Rgb bottom) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgb(p, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(p, 1, bottom.r, bottom.g, bottom.b);
    cairo_set_source(cr, p);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void line(cairo_t* cr, double x0, double y0, double x1, double y1, double width, Rgb c) {
    color(cr, c);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
}

// Grey lines standing for dictated text.
void textLines(cairo_t* cr, double x, double y, double w, int count, double gap = 14) {
    for (int i = 0; i < count; ++i)
        line(cr, x, y + i * gap, x + w * (i % 3 == 2 ? 0.6 : 0.95), y + i * gap, 5, {0.78, 0.8, 0.83});
}

enum class Scene {
    Record,
    Wave,
    Stop,
    Alert,
    Save,
    Refresh,
    List,
    Edit,
    Search,
    Swipe,
    Pdf,
    PdfList,
    Colors,
    Share
};

struct Step {
    std::string stem;
    std::string number, title, caption;
    Scene scene;
    bool card; // also a gallery card (".jpg")
};

// The phone screen of one step, drawn in the box (x, y, w, h).
void phoneScreen(cairo_t* cr, double x, double y, double w, double h, Scene scene) {
    fillRounded(cr, x - 8, y - 8, w + 16, h + 16, 26, kInk);
    fillRounded(cr, x, y, w, h, 18, kPaper);
    cairo_save(cr);
    roundedRect(cr, x, y, w, h, 18);
    cairo_clip(cr);
    const double pad = 14, inner = w - 2 * pad;
    auto bar = [&](double by, Rgb c, const std::string& label, bool glow) {
        if (glow) fillRounded(cr, x + pad - 5, by - 5, inner + 10, 44, 14, kYellow, 0.8);
        fillRounded(cr, x + pad, by, inner, 34, 10, c);
        text(cr, label, x + w / 2, by + 17, 14, kWhite, true, inner - 12);
    };
    const double top = y + 18;
    switch (scene) {
    case Scene::Record:
        bar(top, kRed, "Start Recording", true);
        textLines(cr, x + pad, top + 64, inner, 5);
        break;
    case Scene::Wave: {
        bar(top, kRed, "Listening...", false);
        color(cr, kBlue);
        for (int i = 0; i < 13; ++i) {
            const double amp = 10 + 26 * std::fabs(std::sin(i * 0.9));
            fillRounded(cr, x + pad + i * inner / 13, top + 110 - amp, inner / 20, 2 * amp, 3, kBlue);
        }
        textLines(cr, x + pad, top + 170, inner, 3);
        break;
    }
    case Scene::Stop:
        bar(top, kSlate, "Stop Recording", true);
        textLines(cr, x + pad, top + 64, inner, 7);
        break;
    case Scene::Alert:
        textLines(cr, x + pad, top + 10, inner, 4);
        fillRounded(cr, x + pad, top + 80, inner, 110, 14, kWhite);
        text(cr, "Save your work?", x + w / 2, top + 108, 15, kInk, true, inner - 16);
        fillRounded(cr, x + pad + 10, top + 140, inner / 2 - 20, 34, 10, kGreen);
        text(cr, "YES", x + pad + inner / 4, top + 157, 14, kWhite);
        fillRounded(cr, x + pad + inner / 2 + 10, top + 140, inner / 2 - 20, 34, 10, kSlate);
        text(cr, "NO", x + pad + 3 * inner / 4, top + 157, 14, kWhite);
        break;
    case Scene::Save:
        textLines(cr, x + pad, top + 10, inner, 6);
        fillRounded(cr, x + w / 2 - 40, y + h - 100, 80, 80, 40, kYellow, 0.8);
        fillRounded(cr, x + w / 2 - 30, y + h - 90, 60, 60, 30, kGreen);
        text(cr, "SAVE", x + w / 2, y + h - 60, 13, kWhite);
        break;
    case Scene::Refresh:
        textLines(cr, x + pad, top + 10, inner, 3);
        color(cr, kBlue);
        cairo_set_line_width(cr, 9);
        cairo_arc(cr, x + w / 2, y + h - 70, 30, 0.5, 5.5);
        cairo_stroke(cr);
        text(cr, "Refresh", x + w / 2, y + h - 20, 13, kBlue);
        break;
    case Scene::List:
    case Scene::Swipe:
        for (int i = 0; i < 6; ++i) {
            const double ry = top + i * 46;
            const double shift = scene == Scene::Swipe && i == 1 ? -110 : 0;
            if (shift != 0) {
                fillRounded(cr, x + w - pad - 110, ry, 52, 38, 8, kRed);
                text(cr, "Delete", x + w - pad - 84, ry + 19, 10, kWhite);
                fillRounded(cr, x + w - pad - 54, ry, 54, 38, 8, kBlue);
                text(cr, "PDF", x + w - pad - 27, ry + 19, 11, kWhite);
            }
            fillRounded(cr, x + pad + shift, ry, inner, 38, 8, kWhite);
            line(cr, x + pad + 12 + shift, ry + 14, x + pad + inner * 0.7 + shift, ry + 14, 5, kSlate);
            line(cr, x + pad + 12 + shift, ry + 26, x + pad + inner * 0.45 + shift, ry + 26, 4,
                 {0.78, 0.8, 0.83});
        }
        break;
    case Scene::Edit:
        fillRounded(cr, x + pad, top, inner, h - 60, 10, kWhite);
        textLines(cr, x + pad + 10, top + 20, inner - 20, 8);
        line(cr, x + pad + 10 + inner * 0.6, top + 104, x + pad + 10 + inner * 0.6, top + 124, 3, kBlue);
        break;
    case Scene::Search:
        fillRounded(cr, x + pad, top, inner, 34, 17, {0.88, 0.9, 0.92});
        color(cr, kSlate);
        cairo_set_line_width(cr, 3);
        cairo_arc(cr, x + pad + 18, top + 15, 7, 0, 2 * M_PI);
        cairo_stroke(cr);
        line(cr, x + pad + 23, top + 20, x + pad + 29, top + 26, 3, kSlate);
        text(cr, "recipe", x + pad + inner / 2, top + 17, 13, kInk, false);
        for (int i = 0; i < 3; ++i) {
            fillRounded(cr, x + pad, top + 50 + i * 46, inner, 38, 8, kWhite);
            fillRounded(cr, x + pad + 10, top + 60 + i * 46, 46, 16, 4, kYellow, 0.7);
            line(cr, x + pad + 64, top + 68 + i * 46, x + pad + inner - 14, top + 68 + i * 46, 5, kSlate);
        }
        break;
    case Scene::Pdf:
    case Scene::PdfList:
        for (int i = 0; i < (scene == Scene::Pdf ? 1 : 3); ++i) {
            const double px = scene == Scene::Pdf ? x + w / 2 - 50 : x + pad + i * (inner / 3) + 4;
            const double pw = scene == Scene::Pdf ? 100 : inner / 3 - 8;
            const double ph = pw * 1.35;
            fillRounded(cr, px, top + 20, pw, ph, 6, kWhite);
            fillRounded(cr, px + pw * 0.12, top + 20 + ph * 0.55, pw * 0.76, ph * 0.22, 4, kRed);
            text(cr, "PDF", px + pw / 2, top + 20 + ph * 0.66, pw * 0.18, kWhite);
        }
        if (scene == Scene::PdfList) text(cr, "Saved PDFs", x + w / 2, top + 150, 15, kInk);
        break;
    case Scene::Colors: {
        const Rgb swatches[] = {kWhite, kBlue, {0.83, 0.83, 0.83}, kOrange, kPurple, kBrown, kRed};
        for (int i = 0; i < 7; ++i) {
            const double sy = top + i * 34;
            fillRounded(cr, x + pad, sy, inner, 28, 8, swatches[i]);
            if (i == 3) {
                color(cr, kInk);
                cairo_set_line_width(cr, 3);
                roundedRect(cr, x + pad, sy, inner, 28, 8);
                cairo_stroke(cr);
            }
        }
        break;
    }
    case Scene::Share:
        fillRounded(cr, x + pad, top + 40, inner, 140, 14, kWhite);
        for (int i = 0; i < 3; ++i) {
            const Rgb c = i == 0 ? kBlue : i == 1 ? kGreen : kOrange;
            fillRounded(cr, x + pad + 12 + i * (inner - 24) / 3, top + 62, (inner - 24) / 3 - 12, 50, 12, c);
        }
        text(cr, "Mail   Messages   More", x + w / 2, top + 140, 11, kSlate, false, inner - 10);
        break;
    }
    cairo_restore(cr);
}

// A step picture: the step's number and title above a phone showing it, the caption below.
void stepPicture(cairo_t* cr, double w, double h, const Step& step) {
    verticalGradient(cr, w, h, kNavy, kBlue);
    const double band = h * 0.16;
    fillRounded(cr, w * 0.06, h * 0.03, band * 0.8, band * 0.8, band * 0.4, kYellow);
    text(cr, step.number, w * 0.06 + band * 0.4, h * 0.03 + band * 0.4, band * 0.4, kNavy);
    text(cr, step.title, w * 0.06 + band * 0.9 + (w * 0.88 - band * 0.9) / 2, h * 0.03 + band * 0.4,
         band * 0.3, kWhite, true, w * 0.88 - band * 0.9);
    const double phoneW = std::min(w * 0.62, (h * 0.62) * 0.56), phoneH = phoneW / 0.56;
    phoneScreen(cr, (w - phoneW) / 2, h * 0.2, phoneW, phoneH, step.scene);
    text(cr, step.caption, w / 2, h * 0.2 + phoneH + (h * 0.8 - phoneH) / 2, h * 0.035, kWhite, false,
         w * 0.9);
}

struct App {
    std::string file, name, tagline;
    Rgb top, bottom;
    int glyph;
};

void appGlyph(cairo_t* cr, double cx, double cy, double r, int glyph) {
    fillRounded(cr, cx - r, cy - r, 2 * r, 2 * r, r * 0.45, kWhite);
    const Rgb c = kInk;
    switch (glyph) {
    case 0: // bundle: four tiles
        for (int i = 0; i < 4; ++i)
            fillRounded(cr, cx - r * 0.7 + (i % 2) * r * 0.75, cy - r * 0.7 + (i / 2) * r * 0.75, r * 0.65,
                        r * 0.65, r * 0.15,
                        i == 0   ? kBlue
                        : i == 1 ? kOrange
                        : i == 2 ? kGreen
                                 : kPurple);
        break;
    case 1: // lexicon: a book
        fillRounded(cr, cx - r * 0.6, cy - r * 0.65, r * 1.2, r * 1.3, r * 0.1, kTeal);
        line(cr, cx - r * 0.3, cy - r * 0.3, cx + r * 0.35, cy - r * 0.3, r * 0.1, kWhite);
        line(cr, cx - r * 0.3, cy, cx + r * 0.35, cy, r * 0.1, kWhite);
        break;
    case 2: // scan: a page in a frame
        fillRounded(cr, cx - r * 0.45, cy - r * 0.6, r * 0.9, r * 1.2, r * 0.08, kSky);
        for (double s : {-1.0, 1.0}) {
            line(cr, cx + s * r * 0.75, cy - r * 0.75, cx + s * r * 0.75, cy - r * 0.45, r * 0.1, c);
            line(cr, cx + s * r * 0.75, cy + r * 0.75, cx + s * r * 0.75, cy + r * 0.45, r * 0.1, c);
        }
        break;
    case 3: // memo: a microphone
        fillRounded(cr, cx - r * 0.25, cy - r * 0.7, r * 0.5, r * 0.9, r * 0.25, kRed);
        line(cr, cx, cy + r * 0.35, cx, cy + r * 0.7, r * 0.1, c);
        line(cr, cx - r * 0.3, cy + r * 0.7, cx + r * 0.3, cy + r * 0.7, r * 0.1, c);
        break;
    case 4: // reader: a lamp (a sun)
        color(cr, kYellow);
        cairo_arc(cr, cx, cy, r * 0.35, 0, 2 * M_PI);
        cairo_fill(cr);
        for (int i = 0; i < 8; ++i) {
            const double a = i * M_PI / 4;
            line(cr, cx + std::cos(a) * r * 0.5, cy + std::sin(a) * r * 0.5, cx + std::cos(a) * r * 0.72,
                 cy + std::sin(a) * r * 0.72, r * 0.08, kOrange);
        }
        break;
    case 5: // tutor: two speech bubbles
        fillRounded(cr, cx - r * 0.7, cy - r * 0.6, r * 0.9, r * 0.6, r * 0.2, kBlue);
        fillRounded(cr, cx - r * 0.2, cy + r * 0.05, r * 0.9, r * 0.6, r * 0.2, kGreen);
        break;
    case 6: // ledger: bars
        for (int i = 0; i < 3; ++i)
            fillRounded(cr, cx - r * 0.6 + i * r * 0.45, cy + r * 0.6 - r * (0.5 + 0.35 * i), r * 0.3,
                        r * (0.5 + 0.35 * i), r * 0.06, kGreen);
        break;
    default: // recipes: a pot
        fillRounded(cr, cx - r * 0.6, cy - r * 0.2, r * 1.2, r * 0.8, r * 0.2, kBrown);
        line(cr, cx - r * 0.75, cy - r * 0.25, cx + r * 0.75, cy - r * 0.25, r * 0.1, c);
        break;
    }
}

void appPicture(cairo_t* cr, double w, double h, const App& app) {
    verticalGradient(cr, w, h, app.top, app.bottom);
    color(cr, kWhite, 0.08);
    cairo_arc(cr, w * 0.85, h * 0.1, w * 0.4, 0, 2 * M_PI);
    cairo_fill(cr);
    appGlyph(cr, w / 2, h * 0.36, w * 0.2, app.glyph);
    // The gallery aspect-fills its 184 x 399 cards with these pictures, which shows only the
    // middle 0.69 of their width: the words stay inside it.
    text(cr, app.name, w / 2, h * 0.62, w * 0.085, kWhite, true, w * 0.62);
    text(cr, app.tagline, w / 2, h * 0.7, w * 0.045, kWhite, false, w * 0.62);
    text(cr, "Quillora Labs", w / 2, h * 0.92, w * 0.04, kWhite, false);
}

void pill(cairo_t* cr, double w, double h, Rgb c, const std::string& label, bool playMark) {
    color(cr, kInk);
    cairo_paint(cr);
    fillRounded(cr, 4, 4, w - 8, h - 8, (h - 8) / 2, c);
    if (playMark) {
        color(cr, kWhite);
        cairo_move_to(cr, h * 0.35, h * 0.3);
        cairo_line_to(cr, h * 0.35, h * 0.7);
        cairo_line_to(cr, h * 0.68, h * 0.5);
        cairo_close_path(cr);
        cairo_fill(cr);
        text(cr, label, w / 2 + h * 0.25, h / 2, h * 0.34, kWhite);
    } else {
        line(cr, h * 0.45, h * 0.28, h * 0.45, h * 0.62, h * 0.08, kWhite);
        line(cr, h * 0.32, h * 0.5, h * 0.45, h * 0.64, h * 0.08, kWhite);
        line(cr, h * 0.58, h * 0.5, h * 0.45, h * 0.64, h * 0.08, kWhite);
        text(cr, label, w / 2 + h * 0.25, h / 2, h * 0.32, kWhite);
    }
}

void cancelPicture(cairo_t* cr, double w, double) {
    color(cr, kWhite);
    cairo_paint(cr);
    color(cr, kRed);
    cairo_arc(cr, w / 2, w / 2, w * 0.44, 0, 2 * M_PI);
    cairo_fill(cr);
    line(cr, w * 0.33, w * 0.33, w * 0.67, w * 0.67, w * 0.1, kWhite);
    line(cr, w * 0.67, w * 0.33, w * 0.33, w * 0.67, w * 0.1, kWhite);
}

void infoPicture(cairo_t* cr, double w, double) {
    color(cr, kBlue);
    cairo_arc(cr, w / 2, w / 2, w * 0.46, 0, 2 * M_PI);
    cairo_fill(cr);
    color(cr, kWhite);
    cairo_arc(cr, w / 2, w * 0.3, w * 0.07, 0, 2 * M_PI);
    cairo_fill(cr);
    line(cr, w / 2, w * 0.45, w / 2, w * 0.74, w * 0.12, kWhite);
}

void background(cairo_t* cr, double w, double h, Rgb top, Rgb bottom) {
    verticalGradient(cr, w, h, top, bottom);
    const double circles[][3] = {{0.1, 0.15, 0.35}, {0.9, 0.4, 0.3}, {0.3, 0.8, 0.45}, {0.8, 0.95, 0.25}};
    for (auto& c : circles) {
        color(cr, kWhite, 0.07);
        cairo_arc(cr, c[0] * w, c[1] * h, c[2] * w, 0, 2 * M_PI);
        cairo_fill(cr);
    }
}

bool writeJpeg(cairo_surface_t* s, const std::string& path, int quality) {
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        return false;
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
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(3 * w);
    for (int y = 0; y < h; ++y) {
        const auto* px = reinterpret_cast<const uint32_t*>(data + y * stride);
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
    return std::fclose(f) == 0;
}

struct Picture {
    std::string name;
    int width, height; // pixels
    double scale;      // pixels per point
    std::function<void(cairo_t*, double, double)> draw;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s RESOURCE-DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const std::vector<Step> steps = {
        {"first_step", "1", "Start", "Press 'Start Recording'", Scene::Record, true},
        {"second_step", "2", "Dictate", "Speak naturally, close to the mic", Scene::Wave, true},
        {"Third_step", "3", "Stop", "Press 'Stop Recording'", Scene::Stop, true},
        {"fourth_step", "4", "Save your work", "Answer YES to keep it", Scene::Alert, true},
        {"fifth_step", "5", "Save for later", "Press Save after editing", Scene::Save, true},
        {"sixth_step", "6", "Erase text", "Refresh clears unwanted text", Scene::Refresh, true},
        {"seventh_step", "7", "Notes diary", "Your notes, kept on the device", Scene::List, true},
        {"eigth_step", "8", "View and edit", "Open a note to change it", Scene::Edit, true},
        {"nineth_step", "9", "Search", "Find notes by the words in them", Scene::Search, true},
        {"tenth_step", "10", "Swipe a note", "Delete it or turn it into a PDF", Scene::Swipe, false},
        {"eleventh", "11", "Make a PDF", "Every note can become a PDF", Scene::Pdf, true},
        {"twelveth", "12", "PDF saved", "Open saved PDFs any time", Scene::PdfList, true},
        {"fourteen", "13", "Background", "Pick one of seven colours", Scene::Colors, true},
        {"fifeteen", "14", "Share", "Send PDFs by mail or messages", Scene::Share, true},
    };
    const std::vector<App> apps = {
        {"app_bundle.jpg", "Writer's Bundle", "Five apps, one price", kPurple, kNavy, 0},
        {"app_lexicon.jpg", "Quillora Lexicon", "Words, offline", kTeal, kNavy, 1},
        {"app_inkwell.jpg", "Inkwell Scan", "Paper into text", kSlate, kInk, 2},
        {"app_murmur.jpg", "Murmur Memo", "Voice memos with bookmarks", kRed, kNavy, 3},
        {"app_lumen.jpg", "Lumen Reader", "A calm reader", kOrange, kBrown, 4},
        {"app_parlance.jpg", "Parlance Tutor", "Speak a new language", kBlue, kNavy, 5},
        {"app_tally.jpg", "Tally Ledger", "Expenses, spoken", kGreen, kTeal, 6},
        {"app_hearth.jpg", "Hearth Recipes", "Cook hands-free", kBrown, kInk, 7},
    };
    std::vector<Picture> pictures;
    for (const auto& step : steps) {
        pictures.push_back({step.stem + ".jpeg", 400, 600, 1,
                            [step](cairo_t* cr, double w, double h) { stepPicture(cr, w, h, step); }});
        if (step.card)
            pictures.push_back({step.stem + ".jpg", 240, 520, 1.2,
                                [step](cairo_t* cr, double w, double h) { stepPicture(cr, w, h, step); }});
    }
    for (const auto& app : apps)
        pictures.push_back(
            {app.file, 400, 600, 1, [app](cairo_t* cr, double w, double h) { appPicture(cr, w, h, app); }});
    pictures.push_back({"cancelStore.jpg", 100, 100, 2, cancelPicture});
    pictures.push_back({"Download.jpg", 200, 100, 2,
                        [](cairo_t* cr, double w, double h) { pill(cr, w, h, kGreen, "Get", false); }});
    pictures.push_back({"videoButton.jpg", 200, 100, 2,
                        [](cairo_t* cr, double w, double h) { pill(cr, w, h, kRed, "Video", true); }});
    pictures.push_back({"galleryBackground.jpg", 390, 844, 1,
                        [](cairo_t* cr, double w, double h) { background(cr, w, h, kPurple, kNavy); }});
    pictures.push_back({"helpBackground.jpg", 390, 844, 1,
                        [](cairo_t* cr, double w, double h) { background(cr, w, h, kTeal, kNavy); }});
    pictures.push_back({"info.png", 72, 72, 2, infoPicture});
    for (const auto& p : pictures) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, p.width, p.height);
        cairo_t* cr = cairo_create(s);
        cairo_scale(cr, p.scale, p.scale);
        p.draw(cr, p.width / p.scale, p.height / p.scale);
        cairo_destroy(cr);
        cairo_surface_flush(s);
        const std::string path = dir + "/" + p.name;
        const bool ok = p.name.ends_with(".png")
                            ? cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS
                            : writeJpeg(s, path, 82);
        cairo_surface_destroy(s);
        if (!ok) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
