#include "pdf/PreviewViewController.h"

#include <filesystem>

#include "pdf/PDFScreenKit.h"
#include "platform/foundation/Console.h"
#include "platform/webkit/UIPrintInteractionController.h"

namespace quillora {

using namespace platform;

void PreviewViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto me = self<PreviewViewController>();
    const CGFloat y = pdfButtonRowY();

    // Every button is 50 points wide here, a pad included.
    styleRowButton(*SharePDFButton, "sharebuttonnew.png", {260, y, 50, 50});
    SharePDFButton->addTarget(
        me, "SharePDF", [](PreviewViewController& s, NSObject& sender) { s.SharePDF(&sender); },
        UIControlEvent::TouchUpInside);
    styleRowButton(*SavePDFButton, "savePDF.png", {180, y, 50, 50});
    SavePDFButton->addTarget(
        me, "Cancel", [](PreviewViewController& s) { s.Cancel(); }, UIControlEvent::TouchUpInside);
    styleRowButton(*CancelButton, "cancel.png", {20, y, 50, 50});
    CancelButton->addTarget(
        me, "Cancel", [](PreviewViewController& s) { s.Cancel(); }, UIControlEvent::TouchUpInside);
    styleRowButton(*PrintButton, "printPDF.png", {100, y, 50, 50});
    PrintButton->addTarget(
        me, "print", [](PreviewViewController& s) { s.print(); }, UIControlEvent::TouchUpInside);

    webView = std::make_shared<WKWebView>();
    webView->setTranslatesAutoresizingMaskIntoConstraints(false);
    webView->addSubview(PrintButton);
    webView->addSubview(CancelButton);
    webView->addSubview(SavePDFButton);
    webView->addSubview(SharePDFButton);
    auto root = view();
    root->addSubview(webView);
    pinWebViewBelowTopGuide(*root, webView);

    exposeOutlet("webView", webView);
    exposeOutlet("PrintButton", PrintButton);
    exposeOutlet("CancelButton", CancelButton);
    exposeOutlet("SavePDFButton", SavePDFButton);
    exposeOutlet("SharePDFButton", SharePDFButton);
}

void PreviewViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    if (!pdfFile) {
        console().print("Couldn't load PDF");
        return;
    }
    webView->loadRequest(WKWebView::fileURLForPath(*pdfFile), 60);
}

void PreviewViewController::Cancel() {
    dismissViewControllerAnimated_completion(true, nullptr);
}

void PreviewViewController::print() {
    // Only a PDF that is on screen is printed.
    if (!webView || !webView->URL() || !webView->loadedFile() ||
        !std::filesystem::is_regular_file(*webView->loadedFile()))
        return;
    const std::string address = *webView->URL();
    auto& controller = UIPrintInteractionController::sharedPrintController();
    auto info = UIPrintInfo::printInfo();
    info->outputType = UIPrintInfoOutputType::general;
    info->jobName = address;
    info->duplex = UIPrintInfoDuplex::none;
    info->orientation = UIPrintInfoOrientation::portrait;
    controller.printPageRenderer = nullptr;
    controller.printingItems.clear();
    controller.printingItem = address;
    controller.printInfo = info;
    controller.showsNumberOfCopies = true;
    controller.presentAnimated_completionHandler(true, nullptr);
}

void PreviewViewController::SharePDF(NSObject*) {
    shareDatedPDFCopy(*this, pdfFile);
}

} // namespace quillora
