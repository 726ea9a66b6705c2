#include "entries/TextPDFExport.h"

#include "entries/ListPrintProcess.h"

#include "platform/foundation/Console.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSDateFormatter.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIImageView.h"
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
    auto& files = NSFileManager::defaultManager();
    const std::string name = exportFileName(NSDate());
    auto folders = files.URLsForDirectory_inDomains(NSDocumentDirectory, NSUserDomainMask);
    if (folders.empty()) fatalError("no Documents folder");
    const std::string folder = folders.front().path() + "/";
    // Names go by the second: an export in the same second as another takes "NAME 2.pdf" (and so
    // on) instead of replacing it, the name taken only as the file is put in place.
    auto pathFor = [folder, name](int attempt) {
        return folder + name + (attempt > 1 ? " " + std::to_string(attempt) : std::string()) + ".pdf";
    };

    std::weak_ptr<UIViewController> screen;
    if (presenting) screen = presenting->weakSelf<UIViewController>();
    auto told = [folder, pathFor, screen, saved = std::move(saved)](const std::optional<std::string>& path,
                                                                    const std::string& why) {
        const std::string written = path.value_or(pathFor(1));
        console().print(written.substr(folder.size(), written.size() - folder.size() - 4));
        auto presenting = screen.lock();
        if (!path) {
            console().print("error saving pdf " + written);
            console().print(why);
            // The person is told why, so that they can make room, free the folder or try a shorter text.
            if (presenting) presentAlert(*presenting, "Not saved ", "PDF could not be saved \n" + why, "OK ");
        } else {
            console().print("saved success");
            if (presenting) presentAlert(*presenting, "Done! ", "PDF has been saved ", "OK ");
        }
        if (saved) saved(path);
    };
    if (!pdf) return told(std::nullopt, "its pages could not be drawn");
    files.writeNewFileOnLoop(
        pathFor,
        [pdf] {
            const auto& bytes = pdf->bytes();
            return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        },
        [told](const std::optional<std::string>& path, const std::optional<NSError>& error) {
            told(path, error ? error->localizedDescription : std::string());
        });
}

void exportListPDF(const std::string& text, UIViewController& presenting, ListPDFSaved saved) {
    saveListPDF(drawListPDF(text), &presenting, std::move(saved));
}

void exportListPDFKeepingScreenLive(const std::string& text,
                                    const std::shared_ptr<UIViewController>& presenting,
                                    std::function<void()> finished) {
    auto written = [finished](const std::optional<std::string>&) {
        if (finished) finished();
    };
    if (text.size() < kSlowExportLength) {
        if (presenting) return exportListPDF(text, *presenting, written);
        return written(std::nullopt);
    }
    // What is printed is the text as it stood when the export was asked for.
    auto spinner = presenting ? UIActivityIndicatorView::startedOver(*presenting->view()) : nullptr;
    std::weak_ptr<UIViewController> weak = presenting;
    auto pdf = std::make_shared<std::shared_ptr<PDFData>>();
    DispatchQueue::global(DispatchQoS::UserInitiated)
        .asyncThenMain([pdf, text] { *pdf = ListPrintProcess::draw(text); },
                       [weak, spinner, pdf, written] {
                           if (spinner) {
                               spinner->stopAnimating();
                               spinner->removeFromSuperview();
                           }
                           saveListPDF(*pdf, weak.lock().get(), written);
                       });
}

} // namespace quillora
