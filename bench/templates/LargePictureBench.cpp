// The largest pictures a form takes, picked and previewed as a person would: a 99.9-megapixel
// camera JPEG as the school report's photo, and a 312 KB PNG logo that claims 10000 x 9999 pixels
// in the business letter. One pick (decoded, its JPEG copy written to tmp/), the template filled,
// laid out and printed to a PDF, and that PDF's first page drawn on the Preview screen. Time, the
// process's peak resident memory over the whole (VmHWM, reset before each run), and the sizes of
// the PDF and of the picture it embeds. The pictures are made here, before anything is measured.
// Targets: under 3 s and 300 MB each.

#include <cairo.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>

#include "CameraPhoto.h"
#include "pdf/PDFTemplateViewController.h"
#include "pdf/PreviewViewController.h"
#include "pdf/TemplateStore.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UIWindow.h"
#include "platform/webkit/UIPrintFormatter.h"
#include "templates/MyImagePicker.h"

namespace {

using namespace quillora;
using namespace platform;

// 11540 x 8660: 99.94 megapixels, under the 100 a picture may have.
constexpr int kPhotoWidth = 11540, kPhotoHeight = 8660;
constexpr int kLogoWidth = 10000, kLogoHeight = 9999;

// A logo as a drawing program exports it far too large: a red disc with a band across it on a
// transparent ground, which compresses to a few hundred kilobytes.
void writeLogo(const std::filesystem::path& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, kLogoWidth, kLogoHeight, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    std::vector<unsigned char> row(kLogoWidth * 4);
    const double cx = kLogoWidth / 2.0, cy = kLogoHeight / 2.0, r = kLogoHeight * 0.45;
    for (int y = 0; y < kLogoHeight; ++y) {
        for (int x = 0; x < kLogoWidth; ++x) {
            const bool disc = (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r;
            const bool band = std::abs(y - cy) < kLogoHeight * 0.06;
            unsigned char* p = row.data() + 4 * x;
            p[0] = band ? 255 : 200, p[1] = band ? 255 : 30, p[2] = band ? 255 : 40;
            p[3] = disc ? 255 : 0;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

// The process's peak resident memory since the last reset, in MB; negative when unknown.
double peakResidentMB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return -1;
}

bool resetPeakResident() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

// The width and height of the first picture in the PDF as pdfimages lists it, "w x h".
std::string embeddedPicture(const std::filesystem::path& pdf) {
    std::string out;
    if (FILE* pipe = ::popen(("pdfimages -list '" + pdf.string() + "' 2>/dev/null").c_str(), "r")) {
        char line[512];
        int n = 0;
        while (std::fgets(line, sizeof line, pipe))
            if (++n == 3) {
                int page = 0, num = 0, w = 0, h = 0;
                char type[32];
                if (std::sscanf(line, "%d %d %31s %d %d", &page, &num, type, &w, &h) == 5)
                    out = std::to_string(w) + " x " + std::to_string(h);
            }
        ::pclose(pipe);
    }
    return out;
}

void pickAndPreview(benchmark::State& state, const char* templateName, bool photo) {
    std::random_device rd;
    const auto root = std::filesystem::temp_directory_path() / ("quillora-bench-" + std::to_string(rd()));
    Sandbox::setRoot(root);
    console().setSink([](const std::string&) {});
    RunLoop::main().useVirtualClock();
    const auto picture = root / (photo ? "camera.jpg" : "logo.png");
    if (photo)
        quillora::bench::writeCameraPhoto(picture, kPhotoWidth, kPhotoHeight, 85);
    else
        writeLogo(picture);
    state.counters["file_MB"] = double(std::filesystem::file_size(picture)) / 1e6;

    const PDFTemplate& row = *pdfTemplateNamed(templateName);
    const auto bundle = NSBundle::mainBundle().bundlePath();
    const auto html = NSFileManager::defaultManager()
                          .contentsAtPath((bundle / (row.resourceName() + ".html")).string())
                          .value_or("");
    const TemplateDictionary values{{"Your_Name", "Alex"}, {"Display_Date", "December 2, 2026"}};
    auto window = std::make_shared<UIWindow>();
    auto base = std::make_shared<UIViewController>();
    window->setRootViewController(base);
    window->makeKeyAndVisible();
    RunLoop::main().runUntilIdle();

    std::optional<std::string> written;
    bool peakKnown = true;
    using Clock = std::chrono::steady_clock;
    double pickSeconds = 0, previewSeconds = 0;
    for (auto _ : state) {
        peakKnown &= resetPeakResident();
        const auto start = Clock::now();
        // The pick: the picker decodes the picture and the form keeps its JPEG copy.
        swiftui::State<bool> visible{true};
        swiftui::State<std::optional<swiftui::Image>> selected{std::nullopt};
        auto coordinator = std::make_shared<Coordinator>(visible.binding(), selected.binding());
        auto picker = std::make_shared<UIImagePickerController>();
        picker->setDelegate(coordinator);
        picker->pickFile(picture.string());
        const auto picked = Clock::now();
        // Preview: the page filled with it and printed, then the PDF shown.
        const std::string page =
            fillPDFTemplate(row, values, "Dear Jordan,\nThe picture is attached.", html, storedPhotoPath());
        written = makePDFTemplateScreen(templateName)
                      ->createPDFFromPrintFormatter(std::make_shared<UIViewPrintFormatter>(page, bundle),
                                                    row.pdfName);
        auto preview = std::make_shared<PreviewViewController>();
        preview->pdfFile = written;
        base->presentViewController_animated_completion(preview, false, nullptr);
        RunLoop::main().runUntilIdle();
        cairo_surface_t* frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 390 * 2, 844 * 2);
        cairo_t* cr = cairo_create(frame);
        ScreenRenderer::draw(cr, 2);
        cairo_destroy(cr);
        cairo_surface_destroy(frame);
        pickSeconds += std::chrono::duration<double>(picked - start).count();
        previewSeconds += std::chrono::duration<double>(Clock::now() - picked).count();
        base->dismissViewControllerAnimated_completion(false, nullptr);
        RunLoop::main().runUntilIdle();
    }
    if (!written || !storedPhotoPath()) {
        state.SkipWithError("no PDF written");
    } else {
        state.counters["peak_MB"] = peakKnown ? peakResidentMB() : -1;
        state.counters["pdf_MB"] = double(std::filesystem::file_size(*written)) / 1e6;
        state.counters["pick_s"] = pickSeconds;
        state.counters["preview_s"] = previewSeconds;
        state.SetLabel("embedded " + embeddedPicture(*written));
    }
    window.reset();
    base.reset();
    console().setSink({});
    std::filesystem::remove_all(root);
}

void BM_PickAndPreviewA99MegapixelPhoto(benchmark::State& state) {
    pickAndPreview(state, "schoolreport", true);
}
BENCHMARK(BM_PickAndPreviewA99MegapixelPhoto)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PickAndPreviewA10000By9999PngLogo(benchmark::State& state) {
    pickAndPreview(state, "businessletter", false);
}
BENCHMARK(BM_PickAndPreviewA10000By9999PngLogo)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
