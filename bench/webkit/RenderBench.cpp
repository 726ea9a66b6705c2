// A three-page report laid out, paginated and written as a PDF, as the template screens do.

#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "platform/webkit/HTMLDocument.h"
#include "platform/webkit/PDFWriter.h"

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

// Only the drawing: every page of a long text in one block, laid out once, drawn into a PDF.
void BM_DrawPagesOfLongText(benchmark::State& state) {
    std::string html = "<div style=\"white-space: pre-wrap\">";
    while (html.size() < (256u << 10))
        html += "Stir the flour into the milk, then add two eggs and a pinch of salt.<br>";
    html += "</div>";
    platform::HTMLDocument document(html);
    document.layout(platform::kA4PaperSize.width);
    const auto slices = document.paginate(platform::kA4PaperSize.height);
    for (auto _ : state) {
        platform::PDFWriter writer(platform::kA4PaperSize);
        for (const auto& slice : slices)
            document.drawSlice(writer.beginPage(platform::kA4PaperSize), slice,
                               platform::kA4PaperSize.height);
        benchmark::DoNotOptimize(writer.finish());
    }
    state.counters["pages"] = static_cast<double>(slices.size());
}
BENCHMARK(BM_DrawPagesOfLongText)->Unit(benchmark::kMillisecond);

// Laying out and cutting into pages a text of as many megabytes as the argument, in one block.
void BM_LayOutLongText(benchmark::State& state) {
    std::string html = "<div style=\"white-space: pre-wrap\">";
    while (html.size() < (static_cast<std::size_t>(state.range(0)) << 20))
        html += "Stir the flour into the milk, then add two eggs and a pinch of salt.<br>";
    html += "</div>";
    std::size_t pages = 0;
    for (auto _ : state) {
        platform::HTMLDocument document(html);
        document.layout(platform::kA4PaperSize.width);
        pages = document.paginate(platform::kA4PaperSize.height).size();
    }
    state.counters["pages"] = static_cast<double>(pages);
}
BENCHMARK(BM_LayOutLongText)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
