// A three-page report laid out, paginated and written as a PDF, as the template screens do.

#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "platform/webkit/HTMLDocument.h"

namespace {

std::string threePageReport() {
    std::string html = "<html><body><h1>Report</h1>";
    for (int i = 1; i <= 60; ++i)
        html += "<p>Paragraph " + std::to_string(i) +
                ": the quick brown fox jumps over the lazy dog, and the report goes on with more words.</p>";
    return html + "</body></html>";
}

void BM_RenderThreePagePDF(benchmark::State& state) {
    const auto html = threePageReport();
    const auto out = std::filesystem::temp_directory_path() / "quillora-bench-render.pdf";
    int pages = 0;
    for (auto _ : state)
        pages = platform::renderHTMLToPDF(html, {}, out).pageCount;
    state.counters["pages"] = pages;
    std::filesystem::remove(out);
}
BENCHMARK(BM_RenderThreePagePDF)->Unit(benchmark::kMillisecond);

} // namespace
