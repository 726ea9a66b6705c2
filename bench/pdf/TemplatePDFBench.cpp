// One template page as a screen makes it: the bundle's essay filled with form values and a
// transcript, laid out on A4 and written to the temporary folder as a PDF.

#include <filesystem>
#include <random>
#include <string>

#include <benchmark/benchmark.h>

#include "pdf/PDFTemplateViewController.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/webkit/UIPrintFormatter.h"

namespace {

using namespace quillora;

void BM_FillLayoutAndPrintEssay(benchmark::State& state) {
    std::random_device rd;
    const auto root = std::filesystem::temp_directory_path() / ("quillora-bench-" + std::to_string(rd()));
    platform::Sandbox::setRoot(root);
    platform::console().setSink([](const std::string&) {});

    const PDFTemplate& row = *pdfTemplateNamed("essay");
    const auto bundle = platform::NSBundle::mainBundle().bundlePath();
    const auto html = platform::NSFileManager::defaultManager()
                          .contentsAtPath((bundle / "essay.html").string())
                          .value_or("");
    const TemplateDictionary values{
        {"Instructor_Name", "Dr Alvarez"},    {"Page_Heading", "Tides and Moons"},
        {"Page_SubHeading", "A short essay"}, {"Font_SizeBody", "fs-5"},
        {"Font_WeightBody", "fw-normal"},     {"TextColor_Body", "text-dark"},
        {"Font_SizeHeading", "fs-2"},         {"TextColor_Heading", "text-primary"},
        {"Font_SizeSubheading", "fs-4"},      {"TextColor_SubHeading", "text-secondary"}};
    std::string transcript;
    for (int i = 0; i < 12; ++i)
        transcript += "The tide comes in twice a day, pulled by the moon and a little by the sun 🌊\n";

    PDFEssayViewController screen;
    bool written = true;
    for (auto _ : state) {
        const std::string page = fillPDFTemplate(row, values, transcript, html, std::nullopt);
        written &= screen
                       .createPDFFromPrintFormatter(
                           std::make_shared<platform::UIViewPrintFormatter>(page, bundle), row.pdfName)
                       .has_value();
    }
    if (!written) state.SkipWithError("no PDF written");
    platform::console().setSink({});
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_FillLayoutAndPrintEssay)->Unit(benchmark::kMillisecond);

// The sale flyer as its Preview makes it: a 60-line transcript with a photo, filled, laid out on
// A4 (words that overflow broken, strips kept whole) and written to tmp/.
void BM_SaleFlyerWithSixtyLinesFromPreviewToPDF(benchmark::State& state) {
    std::random_device rd;
    const auto root = std::filesystem::temp_directory_path() / ("quillora-bench-" + std::to_string(rd()));
    platform::Sandbox::setRoot(root);
    platform::console().setSink([](const std::string&) {});

    const PDFTemplate& row = *pdfTemplateNamed("saleflyer");
    const auto bundle = platform::NSBundle::mainBundle().bundlePath();
    const auto html = platform::NSFileManager::defaultManager()
                          .contentsAtPath((bundle / "saleflyer.html").string())
                          .value_or("");
    const TemplateDictionary values{{"Page_Heading", "SAFA FOR SALE "},
                                    {"Page_SubHeading", "5 Seater Sofa "},
                                    {"Price", "$1000"},
                                    {"Display_Date", "21st Oct 2021"},
                                    {"Location", "California"},
                                    {"Website", "jane.doe.lettings.and.sales@harbourside-homes.example"},
                                    {"Phone_No", "+123456789"},
                                    {"Font_SizeHeading", "fs-1"},
                                    {"Font_SizeSubheading", "fs-1"},
                                    {"TextColor_Heading", "text-primary"},
                                    {"TextColor_SubHeading", "text-primary"}};
    std::string transcript;
    for (int i = 0; i < 60; ++i)
        transcript += "Line " + std::to_string(i) + ": solid oak frame, washable covers, collection only\n";
    const std::string photo = (bundle / "Download.jpg").string();

    PDFSaleFlyerViewController screen;
    bool written = true;
    for (auto _ : state) {
        const std::string page = fillPDFTemplate(row, values, transcript, html, photo);
        written &= screen
                       .createPDFFromPrintFormatter(
                           std::make_shared<platform::UIViewPrintFormatter>(page, bundle), row.pdfName)
                       .has_value();
    }
    if (!written) state.SkipWithError("no PDF written");
    platform::console().setSink({});
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_SaleFlyerWithSixtyLinesFromPreviewToPDF)->Unit(benchmark::kMillisecond);

// Preview of the essay with a long transcript (megabytes given as the argument), from the filled
// page to the PDF written in tmp/.
void BM_EssayPreviewOfLongTranscript(benchmark::State& state) {
    std::random_device rd;
    const auto root = std::filesystem::temp_directory_path() / ("quillora-bench-" + std::to_string(rd()));
    platform::Sandbox::setRoot(root);
    platform::console().setSink([](const std::string&) {});

    const PDFTemplate& row = *pdfTemplateNamed("essay");
    const auto bundle = platform::NSBundle::mainBundle().bundlePath();
    const auto html = platform::NSFileManager::defaultManager()
                          .contentsAtPath((bundle / "essay.html").string())
                          .value_or("");
    const TemplateDictionary values{{"Page_Heading", "Tides and Moons"}, {"Page_SubHeading", "A long essay"}};
    const std::size_t size = static_cast<std::size_t>(state.range(0)) << 20;
    std::string transcript;
    for (int sentence = 0; transcript.size() < size; ++sentence)
        transcript += sentence % 12 == 11
                          ? "The tide turns at noon.\n"
                          : "The tide comes in twice a day, pulled by the moon and a little by the sun. ";

    PDFEssayViewController screen;
    bool written = true;
    for (auto _ : state) {
        const std::string page = fillPDFTemplate(row, values, transcript, html, std::nullopt);
        written &= screen
                       .createPDFFromPrintFormatter(
                           std::make_shared<platform::UIViewPrintFormatter>(page, bundle), row.pdfName)
                       .has_value();
    }
    if (!written) state.SkipWithError("no PDF written");
    platform::console().setSink({});
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_EssayPreviewOfLongTranscript)
    ->Arg(1)
    ->Arg(5)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
