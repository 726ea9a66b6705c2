#pragma once
// The preview of a rendered template PDF: shows the file full screen in a web view and offers
// printing it, sharing a dated copy, and closing. The presenting screen sets `pdfFile` first.

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIViewController.h"
#include "platform/webkit/WKWebView.h"

namespace quillora {

class PreviewViewController : public platform::UIViewController {
public:
    std::shared_ptr<platform::WKWebView> webView; // made by viewDidLoad
    std::shared_ptr<platform::UIButton> PrintButton =
        platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    std::shared_ptr<platform::UIButton> CancelButton =
        platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    std::shared_ptr<platform::UIButton> SavePDFButton =
        platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    std::shared_ptr<platform::UIButton> SharePDFButton =
        platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    std::optional<std::string> pdfFile;

    void viewDidLoad() override;
    // Loads `pdfFile` anew on every appearance.
    void viewDidAppear(bool animated) override;
    void Cancel();
    // Opens the print dialog for the PDF shown; nothing when no PDF has been loaded.
    void print();
    void SharePDF(platform::NSObject* sender);
};

} // namespace quillora
