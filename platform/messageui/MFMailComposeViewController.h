#pragma once
// The mail composer: recipients, subject and a plain or HTML body set by the screen; the person
// sends, saves or cancels. Sending writes a real RFC 5322 message to Documents/Mail/Outbox/ and
// hands it to the mail service; saving writes it to Documents/Mail/Drafts/. The delegate learns
// the outcome; the composer never dismisses itself.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/messageui/MailService.h"
#include "platform/uikit/UIViewController.h"

namespace platform {

enum class MFMailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

const char* MFMailComposeResultName(MFMailComposeResult result);

class MFMailComposeViewController;

class MFMailComposeViewControllerDelegate {
public:
    virtual ~MFMailComposeViewControllerDelegate() = default;
    virtual void mailComposeController_didFinishWithResult_error(MFMailComposeViewController& controller,
                                                                 MFMailComposeResult result,
                                                                 const std::optional<NSError>& error) = 0;
};

class MFMailComposeViewController : public UIViewController {
public:
    static bool canSendMail() { return MailService::shared()->canSendMail(); }

    std::weak_ptr<MFMailComposeViewControllerDelegate> mailComposeDelegate;

    void setToRecipients(std::vector<std::string> recipients) { draft_.toRecipients = std::move(recipients); }
    void setSubject(std::string subject) { draft_.subject = std::move(subject); }
    void setMessageBody_isHTML(std::string body, bool isHTML) {
        draft_.body = std::move(body);
        draft_.bodyIsHTML = isHTML;
    }
    const MailDraft& draft() const { return draft_; }

    // What the person does. Each tells the delegate once; later presses do nothing (false).
    bool userSend();
    bool userSave();
    bool userCancel();
    bool isFinished() const { return finished_; }
    // The file the last send or save wrote, when it got that far.
    const std::optional<std::filesystem::path>& writtenFile() const { return written_; }

    // The message as it would be written: RFC 5322 with a UTF-8 text part, Date from the clock.
    // From is $EMAIL when set, else the message carries "X-Unsent: 1".
    std::string messageText() const;

    void describeScreen(std::vector<std::string>& lines) const override;

private:
    void finish(MFMailComposeResult result, const std::optional<NSError>& error);
    std::optional<NSError> write(const std::filesystem::path& folder);

    MailDraft draft_;
    bool finished_ = false;
    std::optional<std::filesystem::path> written_;
};

} // namespace platform
