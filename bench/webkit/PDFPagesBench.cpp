// A PDF shown by a web view: the first frame after the load (the first page rasterised at two
// pixels a point), and a frame that scrolls the next page into view once the run loop has had the
// moment after a frame that the view uses to prepare it.

#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>
#include <cairo.h>

#include "platform/foundation/RunLoop.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/webkit/HTMLDocument.h"
#include "platform/webkit/PDFPagesView.h"
#include "platform/webkit/WKWebView.h"

namespace {

using namespace platform;

std::filesystem::path threePagePDF() {
    std::string html = "<html><body><h1>Report</h1>";
    for (int i = 1; i <= 90; ++i)
        html += "<p>Paragraph " + std::to_string(i) +
                ": the quick brown fox jumps over the lazy dog, and the report goes on with more words.</p>";
    const auto out = std::filesystem::temp_directory_path() / "quillora-bench-pages.pdf";
    renderHTMLToPDF(html + "</body></html>", {}, out);
    return out;
}

struct Frame {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 780, 1400);
    ~Frame() { cairo_surface_destroy(surface); }
    void draw(const UIView& view) {
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, 2, 2);
        ScreenRenderer::drawView(cr, view);
        cairo_destroy(cr);
    }
};

std::shared_ptr<WKWebView> loaded(const std::filesystem::path& pdf) {
    auto web = std::make_shared<WKWebView>(CGRect{0, 0, 390, 700});
    web->loadRequest(WKWebView::fileURLForPath(pdf));
    RunLoop::main().runUntil([&] { return !web->isLoading(); }, 30);
    web->layoutIfNeeded();
    return web;
}

void BM_FirstPageAtScale2(benchmark::State& state) {
    const auto pdf = threePagePDF();
    Frame frame;
    for (auto _ : state) {
        auto web = loaded(pdf);
        frame.draw(*web);
    }
}
BENCHMARK(BM_FirstPageAtScale2)->Unit(benchmark::kMillisecond);

void BM_PageScrolledIn(benchmark::State& state) {
    const auto pdf = threePagePDF();
    Frame frame;
    for (auto _ : state) {
        state.PauseTiming();
        auto web = loaded(pdf);
        auto pages = web->pdfPages();
        frame.draw(*web);
        // The moment after the frame: the page below is prepared.
        RunLoop::main().runUntilIdle();
        pages->userScrollTo({0, pages->pageFrame(1).minY() - 100});
        state.ResumeTiming();
        frame.draw(*web);
    }
}
BENCHMARK(BM_PageScrolledIn)->Unit(benchmark::kMillisecond);

} // namespace
