#include "pdf/PDFTemplateViewController.h"

#include <functional>
#include <map>

#include "pdf/PDFScreenKit.h"
#include "pdf/PreviewViewController.h"
#include "pdf/TemplateStore.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIImageView.h"
#include "platform/webkit/UIGraphicsPDF.h"
#include "platform/webkit/UIPrintPageRenderer.h"

namespace quillora {

using namespace platform;

// Where a print went, or why it went nowhere.
struct WrittenPDF {
    std::optional<std::string> path;
    std::string failure;
};

namespace {

const PDFTemplate& rowFor(std::string_view nameOrClass) {
    const PDFTemplate* row = pdfTemplateNamed(nameOrClass);
    if (!row) fatalError("no PDF template named " + std::string(nameOrClass));
    return *row;
}

// Past this much page (a long transcript) a print takes more than a second.
constexpr std::size_t kSlowRenderLength = std::size_t(128) << 10;

// A print's pages in memory: none counted when the page is empty; no data when drawing failed.
struct DrawnPDF {
    int pages = 0;
    std::shared_ptr<PDFData> data;
};

// Shares nothing with other threads: a long page is drawn on a worker.
DrawnPDF drawPDF(const std::shared_ptr<UIPrintFormatter>& formatter) {
    auto renderer = UIPrintPageRenderer::create();
    renderer->addPrintFormatter_startingAtPageAtIndex(formatter, 0);
    renderer->setValue_forKey(kPDFPaperRect, "paperRect");
    renderer->setValue_forKey(kPDFPrintableRect, "printableRect");
    DrawnPDF drawn;
    drawn.pages = renderer->numberOfPages();
    if (drawn.pages <= 0) return drawn;

    // The pages are A4 like the layout, not the context's default letter size.
    auto data = std::make_shared<PDFData>();
    UIGraphicsBeginPDFContextToData(data, kPDFPaperRect);
    renderer->prepareForDrawingPages(0, drawn.pages);
    for (int i = 0; i < drawn.pages; ++i) {
        UIGraphicsBeginPDFPage();
        renderer->drawPageAtIndex_inRect(i, UIGraphicsGetPDFContextBounds());
    }
    if (UIGraphicsEndPDFContext()) drawn.data = data;
    return drawn;
}

WrittenPDF said(WrittenPDF written, const std::string& path) {
    console().print(written.path ? "open " + path : written.failure);
    return written;
}

// Off the window only (tests, benchmarks): a folder another program holds is waited for here.
WrittenPDF writePDF(const DrawnPDF& drawn, const std::string& path) {
    WrittenPDF written;
    if (drawn.pages <= 0)
        written.failure = "PDF not written, the page is empty: " + path;
    else if (!drawn.data || !drawn.data->writeToFile_atomically(path, true))
        written.failure = "PDF not written: " + path;
    else
        written.path = path;
    return said(std::move(written), path);
}

// The same for the screen, which stays live while another program holds the folder: `then` hears
// where the print went once it is written or given up.
void writePDF(const DrawnPDF& drawn, const std::string& path, std::function<void(const WrittenPDF&)> then) {
    if (drawn.pages <= 0 || !drawn.data) return then(writePDF(drawn, path));
    PDFData::writeToFileOnLoop(
        drawn.data, path, [path, then = std::move(then)](const std::optional<std::string>& failure) {
            then(said(failure ? WrittenPDF{std::nullopt, "PDF not written: " + path} : WrittenPDF{path, ""},
                      path));
        });
}

std::string pdfPath(const std::string& name) {
    return (Sandbox::tmp() / (name + ".pdf")).string();
}

} // namespace

PDFTemplateViewController::PDFTemplateViewController(std::string_view nameOrClass)
    : row_(rowFor(nameOrClass)) {}

void PDFTemplateViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto me = self<PDFTemplateViewController>();
    auto root = view();
    const CGFloat y = pdfButtonRowY();

    if (row_.reducedFrame) {
        webView->setTranslatesAutoresizingMaskIntoConstraints(false);
        webView->setNavigationDelegate(std::static_pointer_cast<WKNavigationDelegate>(me));
        root->addSubview(webView);
        const CGRect bounds = root->bounds();
        styleRowButton(*PreviewButton, "textanalysis.png",
                       {bounds.width() / 2 + 20, bounds.height() / 2, 50, 50});
        PreviewButton->addTarget(
            me, "showPDF", [](PDFTemplateViewController& s) { s.showPDF(); }, UIControlEvent::TouchUpInside);
        webView->addSubview(PreviewButton);
        PreviewButton->setEnabled(false);
        pinWebViewBelowTopGuide(*root, webView);
        exposeOutlet("webView", webView);
        exposeOutlet("PreviewButton", PreviewButton);
        return;
    }

    styleRowButton(*SharePDFButton, "sharePDF.png", {260, y, isPadIdiom() ? 70.0 : 50.0, 50});
    SharePDFButton->addTarget(
        me, "SharePDF", [](PDFTemplateViewController& s, NSObject& sender) { s.SharePDF(&sender); },
        UIControlEvent::TouchUpInside);

    styleRowButton(*SavePDFButton, "savePDF.png", {180, y, 50, 50});
    SavePDFButton->addTarget(
        me, "Cancel", [](PDFTemplateViewController& s) { s.Cancel(); }, UIControlEvent::TouchUpInside);

    webView->setTranslatesAutoresizingMaskIntoConstraints(false);
    webView->setNavigationDelegate(std::static_pointer_cast<WKNavigationDelegate>(me));
    root->addSubview(webView);

    styleRowButton(*CancelButton, "cancel.png", {20, y, 50, 50});
    CancelButton->addTarget(
        me, "Cancel", [](PDFTemplateViewController& s) { s.Cancel(); }, UIControlEvent::TouchUpInside);
    webView->addSubview(CancelButton);
    webView->addSubview(SharePDFButton);
    if (row_.showsSaveButton) webView->addSubview(SavePDFButton);

    styleRowButton(*PreviewButton, "PDFprint.png", {100, y, 50, 50});
    PreviewButton->addTarget(
        me, "showPDF", [](PDFTemplateViewController& s) { s.showPDF(); }, UIControlEvent::TouchUpInside);
    webView->addSubview(PreviewButton);
    PreviewButton->setEnabled(false);

    pinWebViewBelowTopGuide(*root, webView);

    exposeOutlet("webView", webView);
    exposeOutlet("CancelButton", CancelButton);
    exposeOutlet("PreviewButton", PreviewButton);
    if (row_.showsSaveButton) exposeOutlet("SavePDFButton", SavePDFButton);
    exposeOutlet("SharePDFButton", SharePDFButton);
}

void PDFTemplateViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    // One registration however often the screen appears.
    auto& center = NSNotificationCenter::defaultCenter();
    center.removeObserver(this, std::string(keys::printValue1));
    std::weak_ptr<PDFTemplateViewController> weak = self<PDFTemplateViewController>();
    center.addObserver(std::static_pointer_cast<const void>(self<PDFTemplateViewController>()),
                       std::string(keys::printValue1), [weak](const NSNotification& n) {
                           if (auto s = weak.lock()) s->printValue1WithNotification(n);
                       });
}

void PDFTemplateViewController::printValue1WithNotification(const NSNotification& notification) {
    if (auto value = notification.stringForKey(std::string(keys::userInfoValue))) yourNametext = *value;
}

void PDFTemplateViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    fillTemplate();
}

void PDFTemplateViewController::fillTemplate() {
    // Shared with the store: a long transcript is not copied on the main thread.
    std::shared_ptr<const std::string> transcript = sharedStoredTranscript();
    const TemplateDictionary dictionary = storedTemplateDictionary(row_.dictionaryKey);
    const std::optional<std::string> photo = row_.readsPhoto() ? storedPhotoPath() : std::nullopt;
    for (const auto& line : fillLogBeforeRead(row_, dictionary, photo))
        console().print(line);

    auto& bundle = NSBundle::mainBundle();
    const auto path = bundle.pathForResource(row_.resourceName(), "html");
    auto html = path ? NSFileManager::defaultManager().contentsAtPath(path->string()) : std::nullopt;
    if (!html) {
        console().print(templateReadFailureLine());
        return;
    }
    for (const auto& line : fillLogAfterRead(row_, photo))
        console().print(line);
    std::string base = WKWebView::fileURLForPath(bundle.bundlePath(), true);
    if (transcript->size() < kSlowRenderLength) {
        std::string page = fillPDFTemplate(row_, dictionary, *transcript, *html, photo);
        pageLength_ = page.size();
        webView->loadHTMLString_baseURL(std::move(page), base);
        return;
    }
    // Pouring a long transcript into the page takes seconds of its own: the spinner turns from
    // the start, over a screen that stays live, and the page is filled on a worker.
    if (spinner_) spinner_->removeFromSuperview();
    spinner_ = UIActivityIndicatorView::startedOver(*view());
    auto page = std::make_shared<std::string>();
    auto me = self<PDFTemplateViewController>();
    DispatchQueue::global(DispatchQoS::UserInitiated)
        .asyncThenMain([page, &row = row_, dictionary, transcript = std::move(transcript),
                        html = std::move(*html),
                        photo] { *page = fillPDFTemplate(row, dictionary, *transcript, html, photo); },
                       [me, page, base = std::move(base)] {
                           me->pageLength_ = page->size();
                           me->webView->loadHTMLString_baseURL(std::move(*page), base);
                       },
                       // Nothing of the page is saved: an end does not wait for it.
                       false);
}

void PDFTemplateViewController::webView_didFinishNavigation(WKWebView&,
                                                            const std::shared_ptr<WKNavigation>&) {
    console().print("didFinishNavigation");
    // The render holds the screen: one already due still writes the file after a Cancel.
    auto me = self<PDFTemplateViewController>();
    DispatchQueue::main().asyncAfter(row_.renderDelay, [me] { me->render(); });
}

void PDFTemplateViewController::render() {
    if (pageLength_ < kSlowRenderLength) {
        if (spinner_) {
            spinner_->stopAnimating();
            spinner_->removeFromSuperview();
            spinner_.reset();
        }
        writePDF(drawPDF(webView->viewPrintFormatter()), pdfPath(row_.pdfName), written());
        return;
    }
    // A long page takes seconds to print: its pages are made on a worker while a spinner turns over
    // the screen, which stays live; Preview waits for the file.
    auto spinner = spinner_ ? std::move(spinner_) : UIActivityIndicatorView::startedOver(*view());
    spinner_.reset();
    const std::string path = pdfPath(row_.pdfName);
    auto drawn = std::make_shared<DrawnPDF>();
    // The print holds the screen until it is written, as a short one does.
    auto me = self<PDFTemplateViewController>();
    DispatchQueue::global(DispatchQoS::UserInitiated)
        .asyncThenMain([drawn, formatter = webView->viewPrintFormatter()] { *drawn = drawPDF(formatter); },
                       [me, spinner, drawn, path] {
                           spinner->stopAnimating();
                           spinner->removeFromSuperview();
                           writePDF(*drawn, path, me->written());
                       });
}

std::function<void(const WrittenPDF&)> PDFTemplateViewController::written() {
    // The print holds the screen until it is written, however long its folder is waited for.
    return [me = self<PDFTemplateViewController>()](const WrittenPDF& written) { me->rendered(written); };
}

void PDFTemplateViewController::rendered(const WrittenPDF& written) {
    if (!written.path) {
        // Preview stays off: the person hears why, unless they have left the screen meanwhile.
        if (!presentingViewController()) return;
        auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
            "PDF not made", written.failure, UIAlertControllerStyle::Alert);
        alert->addAction(
            UIAlertAction::actionWithTitle_style_handler("OK", UIAlertActionStyle::Default, nullptr));
        presentViewController_animated_completion(alert, true, nullptr);
        return;
    }
    console().print("PDF location: " + *written.path);
    pdfFile = written.path;
    PreviewButton->setEnabled(true);
}

std::optional<std::string>
PDFTemplateViewController::createPDFFromPrintFormatter(const std::shared_ptr<UIPrintFormatter>& formatter,
                                                       const std::string& name) {
    return writePDF(drawPDF(formatter), pdfPath(name)).path;
}

void PDFTemplateViewController::showPDF() {
    if (!row_.keepsPreviewEnabled) PreviewButton->setEnabled(false);
    auto preview = std::make_shared<PreviewViewController>();
    preview->pdfFile = pdfFile;
    presentViewController_animated_completion(preview, false, nullptr);
}

void PDFTemplateViewController::Cancel() {
    dismissViewControllerAnimated_completion(true, nullptr);
}

void PDFTemplateViewController::SharePDF(NSObject*) {
    shareDatedPDFCopy(*this, pdfFile);
}

std::shared_ptr<PDFTemplateViewController> makePDFTemplateScreen(std::string_view nameOrClass) {
    using Factory = std::function<std::shared_ptr<PDFTemplateViewController>()>;
    auto make = []<class Screen>() -> Factory { return [] { return std::make_shared<Screen>(); }; };
    static const std::map<std::string, Factory, std::less<>> factories{
        {"PDFEssayViewController", make.operator()<PDFEssayViewController>()},
        {"PDFResearchViewController", make.operator()<PDFResearchViewController>()},
        {"PDFModernreportViewController", make.operator()<PDFModernreportViewController>()},
        {"PDFSchoolReportViewController", make.operator()<PDFSchoolReportViewController>()},
        {"PDFModernLetterViewController", make.operator()<PDFModernLetterViewController>()},
        {"PDFModernBoldLetterViewController", make.operator()<PDFModernBoldLetterViewController>()},
        {"PDFPersonalLetterViewController", make.operator()<PDFPersonalLetterViewController>()},
        {"PDFBusinessLetterViewController", make.operator()<PDFBusinessLetterViewController>()},
        {"PDFEventPosterViewController", make.operator()<PDFEventPosterViewController>()},
        {"PDFRentFlyerViewController", make.operator()<PDFRentFlyerViewController>()},
        {"PDFSaleFlyerViewController", make.operator()<PDFSaleFlyerViewController>()},
        {"PDFNotesViewController", make.operator()<PDFNotesViewController>()},
        {"PDFNotesSecondViewController", make.operator()<PDFNotesSecondViewController>()},
        {"PDFPhotoPosterViewController", make.operator()<PDFPhotoPosterViewController>()},
        {"PDFRealEstateViewController", make.operator()<PDFRealEstateViewController>()},
        {"PDFProjectProposalViewController", make.operator()<PDFProjectProposalViewController>()},
    };
    const PDFTemplate* row = pdfTemplateNamed(nameOrClass);
    if (!row) return nullptr;
    auto it = factories.find(row->screenClass);
    return it == factories.end() ? nullptr : it->second();
}

} // namespace quillora
