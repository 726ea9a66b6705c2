#include "tests/support/FontCallWatch.h"

#include <atomic>
#include <mutex>

#include <cairo.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <gtest/gtest.h>

#include "platform/foundation/FontLock.h"

namespace quillora::test {

namespace {

std::atomic<std::size_t> unguarded{0};
std::atomic<std::size_t> seen{0};
std::mutex firstMutex;
std::string first;

void note(const char* function) {
    ++seen;
    if (platform::FontLock::isHeld()) return;
    if (unguarded++ > 0) return;
    void* frames[32];
    const int count = backtrace(frames, 32);
    char** names = backtrace_symbols(frames, count);
    std::string stack = std::string(function) + " without the font lock, from:\n";
    for (int i = 1; i < count && names; ++i)
        stack += std::string("  ") + names[i] + "\n";
    std::free(names);
    std::lock_guard lock(firstMutex);
    first = std::move(stack);
}

// Surfaces that keep what is drawn on them, glyphs included, and write it out when a page ends or
// the surface is finished.
bool keepsGlyphs(cairo_surface_t* surface) {
    switch (cairo_surface_get_type(surface)) {
    case CAIRO_SURFACE_TYPE_PDF:
    case CAIRO_SURFACE_TYPE_PS:
    case CAIRO_SURFACE_TYPE_SVG:
    case CAIRO_SURFACE_TYPE_RECORDING:
    case CAIRO_SURFACE_TYPE_SCRIPT:
        return true;
    default:
        return false;
    }
}

template <typename Function> Function cairos(const char* name) {
    void* found = dlsym(RTLD_NEXT, name);
    if (!found) std::abort();
    return reinterpret_cast<Function>(found);
}

// Each test of a program linked with the watch fails when it made an unguarded call.
class Check : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { FontCallWatch::reset(); }
    void OnTestEnd(const ::testing::TestInfo&) override {
        if (FontCallWatch::unguardedCalls() > 0)
            ADD_FAILURE() << FontCallWatch::unguardedCalls()
                          << " calls into cairo's fonts without the font lock; the first: "
                          << FontCallWatch::firstUnguarded();
    }
};

const bool kListening = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new Check);
    return true;
}();

} // namespace

std::size_t FontCallWatch::unguardedCalls() {
    return unguarded;
}

std::string FontCallWatch::firstUnguarded() {
    std::lock_guard lock(firstMutex);
    return first;
}

void FontCallWatch::reset() {
    unguarded = 0;
    seen = 0;
    std::lock_guard lock(firstMutex);
    first.clear();
}

std::size_t FontCallWatch::calls() {
    return seen;
}

} // namespace quillora::test

// The watched functions: each notes the call, then calls cairo's own.
using quillora::test::cairos;
using quillora::test::keepsGlyphs;
using quillora::test::note;

extern "C" {

cairo_scaled_font_t* cairo_scaled_font_create(cairo_font_face_t* face, const cairo_matrix_t* font_matrix,
                                              const cairo_matrix_t* ctm, const cairo_font_options_t* options) {
    static auto real = cairos<decltype(&cairo_scaled_font_create)>(__func__);
    note(__func__);
    return real(face, font_matrix, ctm, options);
}

void cairo_scaled_font_destroy(cairo_scaled_font_t* font) {
    static auto real = cairos<decltype(&cairo_scaled_font_destroy)>(__func__);
    note(__func__);
    real(font);
}

void cairo_scaled_font_glyph_extents(cairo_scaled_font_t* font, const cairo_glyph_t* glyphs, int count,
                                     cairo_text_extents_t* extents) {
    static auto real = cairos<decltype(&cairo_scaled_font_glyph_extents)>(__func__);
    note(__func__);
    real(font, glyphs, count, extents);
}

void cairo_scaled_font_text_extents(cairo_scaled_font_t* font, const char* utf8, cairo_text_extents_t* extents) {
    static auto real = cairos<decltype(&cairo_scaled_font_text_extents)>(__func__);
    note(__func__);
    real(font, utf8, extents);
}

void cairo_show_glyphs(cairo_t* cr, const cairo_glyph_t* glyphs, int count) {
    static auto real = cairos<decltype(&cairo_show_glyphs)>(__func__);
    note(__func__);
    real(cr, glyphs, count);
}

void cairo_show_text_glyphs(cairo_t* cr, const char* utf8, int utf8_len, const cairo_glyph_t* glyphs,
                            int num_glyphs, const cairo_text_cluster_t* clusters, int num_clusters,
                            cairo_text_cluster_flags_t flags) {
    static auto real = cairos<decltype(&cairo_show_text_glyphs)>(__func__);
    note(__func__);
    real(cr, utf8, utf8_len, glyphs, num_glyphs, clusters, num_clusters, flags);
}

void cairo_show_text(cairo_t* cr, const char* utf8) {
    static auto real = cairos<decltype(&cairo_show_text)>(__func__);
    note(__func__);
    real(cr, utf8);
}

void cairo_glyph_extents(cairo_t* cr, const cairo_glyph_t* glyphs, int count, cairo_text_extents_t* extents) {
    static auto real = cairos<decltype(&cairo_glyph_extents)>(__func__);
    note(__func__);
    real(cr, glyphs, count, extents);
}

void cairo_text_extents(cairo_t* cr, const char* utf8, cairo_text_extents_t* extents) {
    static auto real = cairos<decltype(&cairo_text_extents)>(__func__);
    note(__func__);
    real(cr, utf8, extents);
}

void cairo_glyph_path(cairo_t* cr, const cairo_glyph_t* glyphs, int count) {
    static auto real = cairos<decltype(&cairo_glyph_path)>(__func__);
    note(__func__);
    real(cr, glyphs, count);
}

void cairo_show_page(cairo_t* cr) {
    static auto real = cairos<decltype(&cairo_show_page)>(__func__);
    if (keepsGlyphs(cairo_get_target(cr))) note(__func__);
    real(cr);
}

void cairo_surface_finish(cairo_surface_t* surface) {
    static auto real = cairos<decltype(&cairo_surface_finish)>(__func__);
    if (keepsGlyphs(surface)) note(__func__);
    real(surface);
}

} // extern "C"
