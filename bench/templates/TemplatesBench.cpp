// A 12-megapixel photo picked in the modern letter (decoded, encoded again as JPEG at quality 100
// and written to tmp/), and the letter rendered with it as its logo: time and PDF size.

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include "CameraPhoto.h"
#include "pdf/PDFTemplateViewController.h"
#include "pdf/TemplateStore.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/UIWindow.h"
#include "platform/webkit/UIPrintFormatter.h"
#include "templates/MyImagePicker.h"
#include "templates/RentFlyerViewSwiftUI.h"

namespace {

using namespace quillora;
using namespace platform;

constexpr int kWidth = 4000, kHeight = 3000;

struct Sandboxed {
    Sandboxed() {
        std::random_device rd;
        root = std::filesystem::temp_directory_path() / ("quillora-bench-" + std::to_string(rd()));
        Sandbox::setRoot(root);
        console().setSink([](const std::string&) {});
        photo = root / "camera.jpg";
        quillora::bench::writeCameraPhoto(photo, kWidth, kHeight, 90);
    }
    ~Sandboxed() {
        console().setSink({});
        std::filesystem::remove_all(root);
    }
    std::filesystem::path root, photo;
};

void pick(const std::filesystem::path& photo) {
    swiftui::State<bool> visible{true};
    swiftui::State<std::optional<swiftui::Image>> selected{swiftui::Image::system("photo")};
    auto coordinator = std::make_shared<Coordinator>(visible.binding(), selected.binding());
    auto picker = std::make_shared<UIImagePickerController>();
    picker->setDelegate(coordinator);
    picker->pickFile(photo.string());
}

void BM_PickTwelveMegapixelJpeg(benchmark::State& state) {
    Sandboxed box;
    for (auto _ : state)
        pick(box.photo);
    const auto copy = std::filesystem::path(Sandbox::tmp()) / "camera.jpg";
    if (!std::filesystem::exists(copy)) state.SkipWithError("no copy written");
    state.counters["copy_MB"] = double(std::filesystem::file_size(copy)) / 1e6;
}
BENCHMARK(BM_PickTwelveMegapixelJpeg)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ModernLetterWithTheTwelveMegapixelLogo(benchmark::State& state) {
    Sandboxed box;
    pick(box.photo);
    const auto logo = storedPhotoPath();
    const PDFTemplate& row = *pdfTemplateNamed("modernletter");
    const auto bundle = NSBundle::mainBundle().bundlePath();
    const auto html =
        NSFileManager::defaultManager().contentsAtPath((bundle / "modernletter.html").string()).value_or("");
    const TemplateDictionary values{
        {"Your_Name", "Alex"}, {"FontSize_Body", "fs-5"}, {"Display_Date", "December 2, 2026"}};
    PDFModernLetterViewController screen;
    std::optional<std::string> written;
    for (auto _ : state) {
        const std::string page =
            fillPDFTemplate(row, values, "Dear Jordan,\nThank you for the photos.", html, logo);
        written = screen.createPDFFromPrintFormatter(std::make_shared<UIViewPrintFormatter>(page, bundle),
                                                     row.pdfName);
    }
    if (!written || !logo) {
        state.SkipWithError("no PDF written");
        return;
    }
    state.counters["pdf_MB"] = double(std::filesystem::file_size(*written)) / 1e6;
    state.counters["logo_MB"] = double(std::filesystem::file_size(*logo)) / 1e6;
}
BENCHMARK(BM_ModernLetterWithTheTwelveMegapixelLogo)->Unit(benchmark::kMillisecond)->Iterations(3);

// A tap on a radio option of the sale flyer: the callback, its two console lines and the rebuild
// of the whole form.
void BM_RadioTapOnTheSaleFlyer(benchmark::State& state) {
    Sandboxed box;
    auto host = swiftui::ViewHost::make(SaleFlyerViewSwiftUI{});
    host->tree();
    bool large = false;
    for (auto _ : state) {
        large = !large;
        if (!host->pressAfter("Font Size : Body", large ? "Large" : "Small"))
            state.SkipWithError("no option");
    }
}
BENCHMARK(BM_RadioTapOnTheSaleFlyer)->Unit(benchmark::kMicrosecond);

// From the rent flyer form's Preview to its PDF written: the dictionary stored, the sheet and the PDF
// screen up, the page filled, laid out and printed; the render delay itself runs on the virtual
// clock and costs nothing.
void BM_PreviewToPdfWritten(benchmark::State& state) {
    Sandboxed box;
    RunLoop::main().useVirtualClock();
    NSUserDefaults::standardUserDefaults()->setObject_forKey("A dictated line.\nAnd a second one.",
                                                             std::string(quillora::keys::saveclipBoardText));
    auto window = std::make_shared<UIWindow>();
    auto base = std::make_shared<UIViewController>();
    window->setRootViewController(base);
    window->makeKeyAndVisible();
    auto form = std::make_shared<swiftui::UIHostingController>(RentFlyerViewSwiftUI{});
    base->presentViewController_animated_completion(form, false, nullptr);
    RunLoop::main().runUntilIdle();
    for (auto _ : state) {
        form->host()->press("Preview");
        RunLoop::main().runUntilIdle();
        auto screen = std::dynamic_pointer_cast<PDFTemplateViewController>(form->presentedViewController());
        if (!screen) {
            state.SkipWithError("no PDF screen");
            break;
        }
        RunLoop::main().advance(screen->templateRow().renderDelay + 0.01);
        if (!screen->pdfFile) state.SkipWithError("no PDF written");
        screen->dismissViewControllerAnimated_completion(false, nullptr);
        RunLoop::main().runUntilIdle();
    }
    base->dismissViewControllerAnimated_completion(false, nullptr);
    RunLoop::main().runUntilIdle();
}
BENCHMARK(BM_PreviewToPdfWritten)->Unit(benchmark::kMillisecond);

} // namespace
