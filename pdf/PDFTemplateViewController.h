#pragma once
// The template PDF screen: fills one bundle template with the stored form values and the
// transcript, shows it in a web view, prints the page to an A4 PDF in the temporary folder once it
// has loaded, and offers preview, share and cancel. One frame serves all sixteen templates; each
// screen class below only names its row of the template table.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "pdf/PDFTemplate.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/webkit/UIPrintFormatter.h"
#include "platform/webkit/WKWebView.h"

namespace quillora {

struct WrittenPDF;

class PDFTemplateViewController : public platform::UIViewController, public platform::WKNavigationDelegate {
public:
    const PDFTemplate& templateRow() const { return row_; }

    std::shared_ptr<platform::WKWebView> webView = std::make_shared<platform::WKWebView>();
    std::optional<std::string> pdfFile;
    std::shared_ptr<platform::UIButton> PreviewButton =
        platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    std::shared_ptr<platform::UIButton> CancelButton =
        platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    std::shared_ptr<platform::UIButton> SavePDFButton =
        platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    std::shared_ptr<platform::UIButton> SharePDFButton =
        platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    std::string yourNametext;

    void webView_didFinishNavigation(platform::WKWebView& webView,
                                     const std::shared_ptr<platform::WKNavigation>& navigation) override;
    void showPDF();
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void Cancel();
    void SharePDF(platform::NSObject* sender);
    void printValue1WithNotification(const platform::NSNotification& notification);
    void viewDidAppear(bool animated) override;

    // Prints the formatter's pages on A4 into tmp/<name>.pdf and returns its path. None, with a
    // console line, when there is no page or the file cannot be written; an earlier file of that
    // name is then left as it was.
    std::optional<std::string>
    createPDFFromPrintFormatter(const std::shared_ptr<platform::UIPrintFormatter>& formatter,
                                const std::string& name);

protected:
    // `nameOrClass` is a template name or a screen class of the table.
    explicit PDFTemplateViewController(std::string_view nameOrClass);

private:
    void fillTemplate();
    void render();
    void rendered(const WrittenPDF& written);
    // What a print's write tells once it is done: rendered().
    std::function<void(const WrittenPDF&)> written();

    const PDFTemplate& row_;
    // The length of the page last loaded, which tells how long its print will take.
    std::size_t pageLength_ = 0;
    // Turning over the screen from the moment a long transcript is poured into the page until its
    // print is written.
    std::shared_ptr<platform::UIActivityIndicatorView> spinner_;
};

// The sixteen screens, one per template.
#define QUILLORA_PDF_SCREEN(Class)                                                                           \
    class Class : public PDFTemplateViewController {                                                         \
    public:                                                                                                  \
        Class() : PDFTemplateViewController(#Class) {}                                                       \
    }
QUILLORA_PDF_SCREEN(PDFEssayViewController);
QUILLORA_PDF_SCREEN(PDFResearchViewController);
QUILLORA_PDF_SCREEN(PDFModernreportViewController);
QUILLORA_PDF_SCREEN(PDFSchoolReportViewController);
QUILLORA_PDF_SCREEN(PDFModernLetterViewController);
QUILLORA_PDF_SCREEN(PDFModernBoldLetterViewController);
QUILLORA_PDF_SCREEN(PDFPersonalLetterViewController);
QUILLORA_PDF_SCREEN(PDFBusinessLetterViewController);
QUILLORA_PDF_SCREEN(PDFEventPosterViewController);
QUILLORA_PDF_SCREEN(PDFRentFlyerViewController);
QUILLORA_PDF_SCREEN(PDFSaleFlyerViewController);
QUILLORA_PDF_SCREEN(PDFNotesViewController);
QUILLORA_PDF_SCREEN(PDFNotesSecondViewController);
QUILLORA_PDF_SCREEN(PDFPhotoPosterViewController);
QUILLORA_PDF_SCREEN(PDFRealEstateViewController);
QUILLORA_PDF_SCREEN(PDFProjectProposalViewController);
#undef QUILLORA_PDF_SCREEN

// A new screen of the class named (a screen class or a template name of the table); null for
// any other name.
std::shared_ptr<PDFTemplateViewController> makePDFTemplateScreen(std::string_view nameOrClass);

} // namespace quillora
