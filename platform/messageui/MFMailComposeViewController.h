#pragma once
// The mail composer: recipients, subject and a plain or HTML body set by the screen; the person
// edits them and sends, saves or cancels. Sending writes a real RFC 5322 message to
// Documents/Mail/Outbox/ and hands it to the mail service; saving writes it to
// Documents/Mail/Drafts/. The delegate learns the outcome; the composer never dismisses itself.
//
// On screen: a bar with Cancel and Send over the To, Cc/Bcc and Subject fields (and the names of
// the files attached) and the body, all edited through the platform's text fields and text view.
// Send is enabled while a recipient is a valid address; Cancel asks whether to delete or save the
// draft. A message that cannot be written keeps the composer open and an alert says why: what the
// person wrote is still there to retry. A message goes with the recipients that are valid
// addresses only, in its file and where it is handed over alike.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSData.h"
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
    // A file sent with the message, after the body.
    void addAttachmentData_mimeType_fileName(const NSData& data, std::string mimeType, std::string fileName);
    // What the fields hold now.
    const MailDraft& draft() const { return draft_; }

    // Whether an address is one a message can go to: a local part, '@' and a host's name, with an
    // optional display name ("Help Desk <help@example.org>").
    static bool isValidAddress(const std::string& address);
    // A field's text as its recipients: split at the commas between addresses (not those inside
    // quotes or angle brackets), each trimmed, empty ones dropped.
    static std::vector<std::string> recipientsInText(const std::string& text);
    // Whether Send can be pressed: some recipient is a valid address.
    bool hasValidRecipient() const;

    // What the person's presses do. Send and Save Draft write the message; when it is written (and,
    // for Send, passed on) the delegate is told once and later presses do nothing (false). Both may
    // wait, on the run loop, for a folder another program holds or for the mail service; meanwhile
    // the composer takes no press (false). A message that cannot be written tells the delegate
    // nothing: the composer stays, with an alert that says why. A message written that the mail
    // service could not pass on is failed: an alert on the composer says why and where it was kept,
    // and the delegate hears once it is answered. Send without a valid recipient does nothing
    // (false), as its button is disabled then.
    bool userSend();
    bool userSave();
    bool userCancel();
    bool isFinished() const { return finished_; }
    // Sent or saved, and waiting for the message to be written or passed on.
    bool isBusy() const { return busy_; }
    // The file the last send or save wrote, when it got that far.
    const std::optional<std::filesystem::path>& writtenFile() const { return written_; }

    // The message as it would be written: RFC 5322 with a UTF-8 text part (and the attachments
    // after it, in a multipart/mixed), Date from the clock.
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
    // The names of the files attached, in a row of their own shown only when there are any.
    const std::shared_ptr<UILabel>& attachmentsLabel() const { return attachedNames_; }
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
    // Writes the message into `folder`; `then` hears the error or none, once it is written.
    void write(const std::filesystem::path& folder, std::function<void(const std::optional<NSError>&)> then);
    // The draft as the message carries it: the recipients that are valid addresses.
    MailDraft messageDraft() const;
    // The same with each recipient its bare address, the domain in its ASCII form: what the mail
    // service passes on.
    MailDraft handOverDraft() const;
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
    bool busy_ = false;
    bool bccShown_ = false;
    std::optional<std::filesystem::path> written_;
    std::shared_ptr<UIButton> cancelButton_;
    std::shared_ptr<UIButton> sendButton_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UILabel> toLabel_, ccLabel_, bccLabel_, subjectLabel_, attachedLabel_, attachedNames_;
    std::shared_ptr<UITextView> toField_, ccField_, bccField_;
    std::shared_ptr<UITextField> subjectField_;
    std::shared_ptr<UITextView> bodyView_;
};

} // namespace platform
