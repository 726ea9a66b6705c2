#pragma once
// The mail composer: recipients, subject and a plain or HTML body set by the screen; the person
// edits them and sends, saves or cancels. Sending writes a real RFC 5322 message to
// Documents/Mail/Outbox/ and hands it to the mail service; saving writes it to
// Documents/Mail/Drafts/. The delegate learns the outcome; the composer never dismisses itself.
//
// On screen: a bar with Cancel and Send over the To, Cc/Bcc and Subject fields and the body, all
// edited through the platform's text fields and text view. Send is enabled while a recipient is a
// valid address; Cancel asks whether to delete or save the draft. A message that cannot be written
// keeps the composer open and an alert says why: what the person wrote is still there to retry.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/messageui/MailService.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITextView.h"
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

class MFMailComposeViewController : public UIViewController,
                                    public UITextFieldDelegate,
                                    public UITextViewDelegate {
public:
    static bool canSendMail() { return MailService::shared()->canSendMail(); }

    std::weak_ptr<MFMailComposeViewControllerDelegate> mailComposeDelegate;

    void setToRecipients(std::vector<std::string> recipients);
    void setCcRecipients(std::vector<std::string> recipients);
    void setBccRecipients(std::vector<std::string> recipients);
    void setSubject(std::string subject);
    void setMessageBody_isHTML(std::string body, bool isHTML);
    // What the fields hold now.
    const MailDraft& draft() const { return draft_; }

    // Whether an address is one a message can go to: a local part, '@' and a domain, with an
    // optional display name ("Help Desk <help@example.org>").
    static bool isValidAddress(const std::string& address);
    // A field's text as its recipients: split at the commas between addresses (not those inside
    // quotes or angle brackets), each trimmed, empty ones dropped.
    static std::vector<std::string> recipientsInText(const std::string& text);
    // Whether Send can be pressed: some recipient is a valid address.
    bool hasValidRecipient() const;

    // What the person's presses do. Send and Save Draft write the message; when it is written the
    // delegate is told once and later presses do nothing (false). A message that cannot be written
    // tells the delegate nothing: the composer stays, with an alert that says why. A message written
    // that the mail service could not pass on is failed: an alert on the composer says why and where
    // it was kept, and the delegate hears once it is answered. Send without a valid recipient does
    // nothing (false), as its button is disabled then.
    bool userSend();
    bool userSave();
    bool userCancel();
    bool isFinished() const { return finished_; }
    // The file the last send or save wrote, when it got that far.
    const std::optional<std::filesystem::path>& writtenFile() const { return written_; }

    // The message as it would be written: RFC 5322 with a UTF-8 text part, Date from the clock.
    // From is $EMAIL when set, else the message carries "X-Unsent: 1". Domains go in their ASCII
    // (IDNA) form everywhere. Empty when GMime cannot be used.
    std::string messageText() const;
    // Why the message cannot be written as it stands: an address (From or a recipient) whose part
    // before the @ is not ASCII, which a header can only carry as raw bytes, or GMime, which writes
    // it, cannot be used. None when it can.
    std::optional<std::string> addressProblem() const;

    // What the screen is made of.
    const std::shared_ptr<UIButton>& cancelButton() const { return cancelButton_; }
    const std::shared_ptr<UIButton>& sendButton() const { return sendButton_; }
    // The recipient rows wrap, so that every address the app gave shows; they grow with their text.
    const std::shared_ptr<UITextView>& toField() const { return toField_; }
    const std::shared_ptr<UITextView>& ccField() const { return ccField_; }
    const std::shared_ptr<UITextView>& bccField() const { return bccField_; }
    const std::shared_ptr<UITextField>& subjectField() const { return subjectField_; }
    const std::shared_ptr<UITextView>& bodyView() const { return bodyView_; }
    // The Cc/Bcc row splits into a Cc and a Bcc row once touched, or when a Bcc is set.
    bool showsSeparateBcc() const { return bccShown_; }

    // Cancel's question: an action sheet with "Delete Draft", "Save Draft" and "Cancel".
    void cancelButtonTapped();
    void sendButtonTapped() { userSend(); }

    // Escape is Cancel: what was written is not dropped without the draft's question.
    bool escapeKeyPressed() override;
    void loadView() override;
    // The rows and the body are placed before the composer shows, and again when a row opens.
    void viewWillAppear(bool animated) override;
    // Where GMime cannot be used, an alert says so in place of writing, and its OK finishes the
    // composer as failed.
    void viewDidAppear(bool animated) override;
    void describeScreen(std::vector<std::string>& lines) const override;

    bool textFieldShouldReturn(UITextField& field) override;
    bool textView_shouldChangeTextInRange_replacementText(UITextView& view, NSRange range,
                                                          const std::string& text) override;
    void textViewDidBeginEditing(UITextView& view) override;
    void textViewDidChange(UITextView& view) override;

private:
    void finish(MFMailComposeResult result, const std::optional<NSError>& error);
    std::optional<NSError> write(const std::filesystem::path& folder);
    void showWriteFailure(const std::string& title, const NSError& error);
    // Written to the outbox but not handed on: says so, then finishes as failed.
    void reportNotSent(const NSError& error);
    // The fields' text into the draft, and Send's state from it.
    void fieldsChanged();
    void updateSendButton();
    void showDraftInFields();
    // Return in a row: the focus goes on to the next row, from the subject into the body.
    void focusAfter(const UIView& row);
    bool isRecipientRow(const UIView& view) const;

    MailDraft draft_;
    bool finished_ = false;
    bool bccShown_ = false;
    std::optional<std::filesystem::path> written_;
    std::shared_ptr<UIButton> cancelButton_;
    std::shared_ptr<UIButton> sendButton_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UILabel> toLabel_, ccLabel_, bccLabel_, subjectLabel_;
    std::shared_ptr<UITextView> toField_, ccField_, bccField_;
    std::shared_ptr<UITextField> subjectField_;
    std::shared_ptr<UITextView> bodyView_;
};

} // namespace platform
