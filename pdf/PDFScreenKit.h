#pragma once
// What the template screens and the preview have in common: the button row floating over the
// page, the web view filling the screen below the top guide, the A4 page, and sharing a dated
// copy of the rendered PDF.

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Geometry.h"
#include "platform/foundation/NSDate.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIViewController.h"
#include "platform/webkit/WKWebView.h"

namespace quillora {

// The page every template is laid out on and printed to: A4 in points, printable to the edges.
inline const platform::CGRect kPDFPaperRect{0, 0, 595.2, 841.8};
inline const platform::CGRect kPDFPrintableRect = kPDFPaperRect;

// The vertical origin of the button row: 450 points above the bottom of the main screen on a pad,
// 200 on other devices.
platform::CGFloat pdfButtonRowY();
bool isPadIdiom();

// Gives a row button its picture, frame, clear background and empty (localized) title.
void styleRowButton(platform::UIButton& button, const std::string& imageName, const platform::CGRect& frame);

// The web view spans the root view's width and runs from the top guide to the bottom.
void pinWebViewBelowTopGuide(platform::UIView& root, const std::shared_ptr<platform::WKWebView>& webView);

// "December 1, 2026_12:00:00 AM_Document.pdf": the long date and the medium time of `date` in
// the current locale and time zone.
std::string datedPDFCopyName(const platform::NSDate& date);

// Copies `pdfFile` to the temporary folder under a dated name and offers the copy in a share
// sheet presented from `screen` once it is written (the screen stays live while another program
// holds the folder). With no file it prints "PDF not Uploaded" and does nothing more; when the
// file cannot be read or its copy written, it prints that too and `screen` shows an alert with the
// file and the reason.
void shareDatedPDFCopy(platform::UIViewController& screen, const std::optional<std::string>& pdfFile);

} // namespace quillora
