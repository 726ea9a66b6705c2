#include "pdf/PDFScreenKit.h"

#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSDateFormatter.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIScreen.h"

namespace quillora {

using namespace platform;

namespace {
const UIActivityType kPostToFacebook = "com.apple.UIKit.activity.PostToFacebook";
}

bool isPadIdiom() {
    return UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiom::Pad;
}

CGFloat pdfButtonRowY() {
    return UIScreen::mainScreen().bounds().height() - (isPadIdiom() ? 450 : 200);
}

void styleRowButton(UIButton& button, const std::string& imageName, const CGRect& frame) {
    button.setFrame(frame);
    button.setBackgroundColor(UIColor::clearColor());
    button.setTitle_forState(NSLocalizedString("", ""), UIControlStates::Normal);
    button.setImage_forState(UIImage::imageNamed(imageName), UIControlStates::Normal);
}

void pinWebViewBelowTopGuide(UIView& root, const std::shared_ptr<WKWebView>& webView) {
    // "H:|[webView]|" then "V:[top][webView]|".
    root.addConstraint(webView->leadingAnchor().constraintEqualToAnchor(root.leadingAnchor()));
    root.addConstraint(webView->trailingAnchor().constraintEqualToAnchor(root.trailingAnchor()));
    root.addConstraint(webView->topAnchor().constraintEqualToAnchor(root.safeAreaLayoutGuide()->topAnchor()));
    root.addConstraint(webView->bottomAnchor().constraintEqualToAnchor(root.bottomAnchor()));
}

std::string datedPDFCopyName(const NSDate& date) {
    NSDateFormatter day;
    day.setDateStyle(LongStyle);
    day.setTimeStyle(NoStyle);
    NSDateFormatter time;
    time.setDateStyle(NoStyle);
    time.setTimeStyle(MediumStyle);
    return day.stringFromDate(date) + "_" + time.stringFromDate(date) + "_Document.pdf";
}

void shareDatedPDFCopy(UIViewController& screen, const std::optional<std::string>& pdfFile) {
    auto& files = NSFileManager::defaultManager();
    // The medium time style separates with ":" and may hold narrow spaces; the name is one path
    // component, so a "/" from some locale's date would be the only thing to keep out.
    std::string name = datedPDFCopyName(NSDate());
    for (auto& c : name)
        if (c == '/') c = '-';
    const std::string destination = (Sandbox::tmp() / name).string();

    if (!pdfFile) {
        console().print("PDF not Uploaded");
        return;
    }
    // A PDF that is there but cannot be copied is a failure the person must hear of: the screen
    // stays as it was, with an alert naming the file and the reason.
    auto failed = [](UIViewController& screen, const std::string& message) {
        console().print("PDF not Uploaded");
        console().print(message);
        auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
            "PDF not shared", message, UIAlertControllerStyle::Alert);
        alert->addAction(
            UIAlertAction::actionWithTitle_style_handler("OK", UIAlertActionStyle::Default, nullptr));
        screen.presentViewController_animated_completion(alert, true, nullptr);
    };
    std::string why;
    std::optional<std::string> data = files.contentsAtPath(*pdfFile, NSFileManager::kDefaultMaxLength, &why);
    if (!data) return failed(screen, "The PDF \u201C" + *pdfFile + "\u201D could not be read: it " + why);
    std::weak_ptr<UIViewController> weak = screen.weakSelf<UIViewController>();
    files.writeAtomicallyOnLoop(
        destination, std::move(*data), [weak, failed, destination](const std::optional<NSError>& error) {
            // A screen left meanwhile has nothing to show it over.
            auto screen = weak.lock();
            if (!screen) return;
            if (error) return failed(*screen, error->localizedDescription);
            auto sheet = UIActivityViewController::initWithActivityItems_applicationActivities(
                {std::filesystem::path(destination)}, {});
            sheet->setCompletionWithItemsHandler([](const std::optional<UIActivityType>&, bool completed) {
                if (completed) console().print("completed");
            });
            sheet->setExcludedActivityTypes({kPostToFacebook});
            if (auto popover = sheet->popoverPresentationController()) popover->sourceView = screen->view();
            screen->presentViewController_animated_completion(sheet, true, nullptr);
        });
}

} // namespace quillora
