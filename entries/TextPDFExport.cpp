#include "entries/TextPDFExport.h"

#include "platform/foundation/Console.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSDateFormatter.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/webkit/HTMLEscaping.h"
#include "platform/webkit/UIGraphicsPDF.h"
#include "platform/webkit/UIPrintPageRenderer.h"

namespace quillora {

using namespace platform;

std::string exportFileName(const NSDate& date) {
    NSDateFormatter formatter;
    formatter.setLocale(NSLocale("en_US_POSIX"));
    formatter.setDateFormat("d_M_y_H:m:s");
    return formatter.stringFromDate(date);
}

std::string markupForPlainText(const std::string& text) {
    const std::string escaped = escapeHTML(text);
    std::string out;
    out.reserve(escaped.size() + escaped.size() / 8);
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '\r' || escaped[i] == '\n') {
            if (escaped[i] == '\r' && i + 1 < escaped.size() && escaped[i + 1] == '\n') ++i;
            out += "<br>";
        } else {
            out += escaped[i];
        }
    }
    // Runs of blanks stay as typed instead of collapsing into one, and a word wider than the page
    // (a row of flags, a long address) goes on to the next line instead of beyond the paper's edge.
    return "<div style=\"white-space: pre-wrap; overflow-wrap: break-word\">" + out + "</div>";
}

namespace {
void presentAlert(UIViewController& presenting, const std::string& title, const std::string& message,
                  const std::string& button) {
    auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        title, message, UIAlertControllerStyle::Alert);
    alert->addAction(
        UIAlertAction::actionWithTitle_style_handler(button, UIAlertActionStyle::Default, nullptr));
    if (auto popover = alert->popoverPresentationController()) popover->sourceView = presenting.view();
    presenting.presentViewController_animated_completion(alert, true, nullptr);
}
} // namespace

std::shared_ptr<PDFData> drawListPDF(const std::string& text) {
    auto formatter = std::make_shared<UIMarkupTextPrintFormatter>(markupForPlainText(text));
    auto renderer = UIPrintPageRenderer::create();
    renderer->addPrintFormatter_startingAtPageAtIndex(formatter, 0);
    CGRect paper(0, 0, kA4Width, kA4Height);
    renderer->setValue_forKey(paper, "paperRect");
    renderer->setValue_forKey(paper, "printableRect");

    // The context's pages are the paper the renderer laid out for, so nothing falls off a page.
    auto data = std::make_shared<PDFData>();
    UIGraphicsBeginPDFContextToData(data, paper);
    int pages = renderer->numberOfPages();
    // An empty text still gives a document of one blank page.
    if (pages == 0) UIGraphicsBeginPDFPage();
    for (int i = 0; i < pages; ++i) {
        UIGraphicsBeginPDFPage();
        renderer->drawPageAtIndex_inRect(i, UIGraphicsGetPDFContextBounds());
    }
    if (!UIGraphicsEndPDFContext()) return nullptr;
    return data;
}

void saveListPDF(const std::shared_ptr<PDFData>& pdf, UIViewController* presenting, ListPDFSaved saved) {
    std::string name = exportFileName(NSDate());
    console().print(name);
    auto folders =
        NSFileManager::defaultManager().URLsForDirectory_inDomains(NSDocumentDirectory, NSUserDomainMask);
    if (folders.empty()) fatalError("no Documents folder");
    std::string path = folders.front().path() + "/" + name + ".pdf";

    std::weak_ptr<UIViewController> screen;
    if (presenting) screen = presenting->weakSelf<UIViewController>();
    auto told = [path, screen, saved = std::move(saved)](const std::optional<std::string>& failure) {
        auto presenting = screen.lock();
        if (failure) {
            console().print("error saving pdf " + path);
            console().print(*failure);
            // The person is told why, so that they can make room, free the name or try a shorter text.
            if (presenting)
                presentAlert(*presenting, "Not saved ", "PDF could not be saved \n" + *failure, "OK ");
        } else {
            console().print("saved success");
            if (presenting) presentAlert(*presenting, "Done! ", "PDF has been saved ", "OK ");
        }
        if (saved) saved(failure ? std::nullopt : std::optional<std::string>(path));
    };
    if (!pdf) return told("its pages could not be drawn");
    PDFData::writeToFileOnLoop(pdf, path, std::move(told));
}

void exportListPDF(const std::string& text, UIViewController& presenting, ListPDFSaved saved) {
    saveListPDF(drawListPDF(text), &presenting, std::move(saved));
}

} // namespace quillora
