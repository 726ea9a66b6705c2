#include "platform/messageui/MailActivity.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"

namespace platform {

namespace {

// A composer for one share: it hears its own end, goes, and tells the share sheet's hook.
class SharedMailComposer : public MFMailComposeViewController, public MFMailComposeViewControllerDelegate {
public:
    std::function<void(bool)> done;

    void mailComposeController_didFinishWithResult_error(MFMailComposeViewController& composer,
                                                         MFMailComposeResult result,
                                                         const std::optional<NSError>&) override {
        auto told = std::move(done);
        done = nullptr;
        composer.dismissViewControllerAnimated_completion(true, nullptr);
        if (told) told(result == MFMailComposeResult::Sent || result == MFMailComposeResult::Saved);
    }
};

std::string mimeTypeOf(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".pdf") return "application/pdf";
    if (extension == ".txt") return "text/plain";
    if (extension == ".png") return "image/png";
    if (extension == ".jpg" || extension == ".jpeg") return "image/jpeg";
    return "application/octet-stream";
}

bool mailable(const ActivityItem& item) {
    return !std::holds_alternative<std::shared_ptr<UIImage>>(item);
}

void mail(const std::vector<ActivityItem>& items, const std::shared_ptr<UIViewController>& presenter,
          std::function<void(bool)> done) {
    if (!presenter) return done(false);
    auto composer = std::make_shared<SharedMailComposer>();
    composer->mailComposeDelegate = std::static_pointer_cast<MFMailComposeViewControllerDelegate>(composer);
    std::string body;
    for (const auto& item : items) {
        std::string line;
        if (auto text = std::get_if<std::string>(&item)) line = *text;
        if (auto link = std::get_if<NSURL>(&item)) line = link->absoluteString();
        if (!line.empty()) body += (body.empty() ? "" : "\n") + line;
        auto file = std::get_if<std::filesystem::path>(&item);
        if (!file) continue;
        std::string why;
        auto bytes = NSFileManager::defaultManager().contentsAtPath(file->string(),
                                                                    NSFileManager::kDefaultMaxLength, &why);
        if (!bytes) {
            // Nothing half-made goes out: the person hears which file and why.
            const std::string message =
                "The file \u201C" + file->string() + "\u201D could not be read: it " + why;
            console().print("Mail not made: " + message);
            UIAlertController::showSystemAlert("Cannot Mail", "Nothing was mailed: " + message + ".");
            return done(false);
        }
        composer->addAttachmentData_mimeType_fileName(NSData(std::move(*bytes)), mimeTypeOf(*file),
                                                      file->filename().string());
    }
    composer->setMessageBody_isHTML(body, false);
    composer->done = std::move(done);
    presenter->presentViewController_animated_completion(composer, true, nullptr);
}

} // namespace

void provideMailActivity() {
    UIActivityViewController::provideActivity(UIActivityTypeMail,
                                              {"Mail",
                                               [](const std::vector<ActivityItem>& items) {
                                                   return MFMailComposeViewController::canSendMail() &&
                                                          std::any_of(items.begin(), items.end(), mailable);
                                               },
                                               mail});
}

} // namespace platform
