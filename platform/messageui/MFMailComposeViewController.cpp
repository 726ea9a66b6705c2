#include "platform/messageui/MFMailComposeViewController.h"

#include <gmime/gmime.h>
#include <unicode/uidna.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/foundation/Console.h"
#include "platform/foundation/LazyLibrary.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UUID.h"
#include "platform/uikit/Drawing.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIScreen.h"

// GMime is opened when a message is first written.
#define g_mime_data_wrapper_new_with_stream                                                                  \
    QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_data_wrapper_new_with_stream)
#define g_mime_init QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_init)
#define g_mime_message_get_addresses QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_message_get_addresses)
#define g_mime_message_get_from QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_message_get_from)
#define g_mime_message_new QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_message_new)
#define g_mime_message_set_date QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_message_set_date)
#define g_mime_message_set_message_id QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_message_set_message_id)
#define g_mime_message_set_mime_part QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_message_set_mime_part)
#define g_mime_message_set_subject QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_message_set_subject)
#define g_mime_multipart_add QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_multipart_add)
#define g_mime_multipart_get_type QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_multipart_get_type)
#define g_mime_multipart_new_with_subtype                                                                    \
    QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_multipart_new_with_subtype)
#define g_mime_object_set_disposition QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_object_set_disposition)
#define g_mime_object_get_type QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_object_get_type)
#define g_mime_object_set_header QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_object_set_header)
#define g_mime_object_write_to_stream QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_object_write_to_stream)
#define g_mime_part_get_type QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_part_get_type)
#define g_mime_part_new_with_type QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_part_new_with_type)
#define g_mime_part_set_filename QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_part_set_filename)
#define g_mime_part_set_content QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_part_set_content)
#define g_mime_part_set_content_encoding QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_part_set_content_encoding)
#define g_mime_stream_mem_get_byte_array QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_stream_mem_get_byte_array)
#define g_mime_stream_mem_get_type QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_stream_mem_get_type)
#define g_mime_stream_mem_new QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_stream_mem_new)
#define g_mime_stream_mem_new_with_buffer                                                                    \
    QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_stream_mem_new_with_buffer)
#define g_mime_text_part_new_with_subtype                                                                    \
    QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_text_part_new_with_subtype)
#define g_mime_text_part_set_charset QUILLORA_LAZY("libgmime-3.0.so.0", g_mime_text_part_set_charset)
#define internet_address_group_get_members                                                                   \
    QUILLORA_LAZY("libgmime-3.0.so.0", internet_address_group_get_members)
#define internet_address_group_get_type QUILLORA_LAZY("libgmime-3.0.so.0", internet_address_group_get_type)
#define internet_address_list_append QUILLORA_LAZY("libgmime-3.0.so.0", internet_address_list_append)
#define internet_address_list_get_address                                                                    \
    QUILLORA_LAZY("libgmime-3.0.so.0", internet_address_list_get_address)
#define internet_address_list_length QUILLORA_LAZY("libgmime-3.0.so.0", internet_address_list_length)
#define internet_address_list_parse QUILLORA_LAZY("libgmime-3.0.so.0", internet_address_list_parse)
#define internet_address_mailbox_get_addr                                                                    \
    QUILLORA_LAZY("libgmime-3.0.so.0", internet_address_mailbox_get_addr)
#define internet_address_mailbox_get_type                                                                    \
    QUILLORA_LAZY("libgmime-3.0.so.0", internet_address_mailbox_get_type)

namespace platform {

namespace {

template <class T> struct GObjectDeleter {
    void operator()(T* object) const {
        if (object) g_object_unref(object);
    }
};
template <class T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

// Why no message can be written here: GMime cannot be used. None once it is ready.
std::optional<std::string> gmimeMissing() {
    if (auto missing = LazyLibrary::load("libgmime-3.0.so.0")) return "Mail cannot be written: " + *missing;
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
    return std::nullopt;
}

// A domain as it travels in headers: each label of an internationalised name in its ASCII
// (punycode) form, "exämple.com" as "xn--exmple-cua.com". Empty when it is no valid domain name.
std::string asciiDomain(const std::string& domain) {
    UErrorCode status = U_ZERO_ERROR;
    UIDNA* idna = uidna_openUTS46(UIDNA_NONTRANSITIONAL_TO_ASCII, &status);
    if (U_FAILURE(status)) return {};
    char out[256];
    UIDNAInfo info = UIDNA_INFO_INITIALIZER;
    const int32_t length = uidna_nameToASCII_UTF8(idna, domain.data(), static_cast<int32_t>(domain.size()),
                                                  out, sizeof out, &info, &status);
    uidna_close(idna);
    if (U_FAILURE(status) || info.errors != 0 || length <= 0 || length >= static_cast<int32_t>(sizeof out))
        return {};
    return std::string(out, static_cast<std::size_t>(length));
}

// A host's name in its ASCII form: labels of letters, digits and inner hyphens between dots, as a
// mail server and a mailto: link take it.
bool isHostName(const std::string& ascii) {
    if (ascii.empty() || ascii.size() > 253) return false;
    std::size_t start = 0;
    while (start <= ascii.size()) {
        const auto end = std::min(ascii.find('.', start), ascii.size());
        const std::string_view label(ascii.data() + start, end - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
        for (char c : label)
            if (!(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9') && c != '-')
                return false;
        start = end + 1;
    }
    return true;
}

// Every mailbox's address ("local@domain") of a parsed list, those inside groups too.
void collectMailboxes(InternetAddressList* list, std::vector<std::string>& out) {
    for (int i = 0; list && i < internet_address_list_length(list); ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
            if (const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)))
                out.emplace_back(addr);
        } else if (INTERNET_ADDRESS_IS_GROUP(address)) {
            collectMailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)), out);
        }
    }
}

std::vector<std::string> mailboxesIn(const std::string& text) {
    std::vector<std::string> out;
    GObjectPtr<InternetAddressList> parsed(internet_address_list_parse(nullptr, text.c_str()));
    collectMailboxes(parsed.get(), out);
    return out;
}

bool isASCII(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// 7-bit text with short lines travels as it is; 8-bit text, or any line longer than 78
// characters (RFC 5322 allows no more than 998 octets), is quoted-printable, whose lines are short.
GMimeContentEncoding bodyEncoding(const std::string& body) {
    std::size_t line = 0;
    for (unsigned char c : body) {
        if (c >= 0x80 || c == 0 || c == '\r') return GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
        line = c == '\n' ? 0 : line + 1;
        if (line > 78) return GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
    }
    return GMIME_CONTENT_ENCODING_7BIT;
}

} // namespace

const char* MFMailComposeResultName(MFMailComposeResult result) {
    switch (result) {
    case MFMailComposeResult::Cancelled:
        return "cancelled";
    case MFMailComposeResult::Saved:
        return "saved";
    case MFMailComposeResult::Sent:
        return "sent";
    case MFMailComposeResult::Failed:
        return "failed";
    }
    return "failed";
}

std::optional<std::string> MFMailComposeViewController::addressProblem() const {
    if (auto missing = gmimeMissing()) return missing;
    std::vector<std::string> mailboxes;
    if (const char* from = std::getenv("EMAIL")) mailboxes = mailboxesIn(from);
    const MailDraft message = messageDraft();
    for (const auto* list : {&message.toRecipients, &message.ccRecipients, &message.bccRecipients})
        for (const auto& address : *list)
            for (auto& mailbox : mailboxesIn(address))
                mailboxes.push_back(std::move(mailbox));
    // A domain has an ASCII form for the headers; the name before it has none, and a server that
    // does not take UTF-8 addresses would turn the message away or garble where it goes.
    for (const auto& mailbox : mailboxes) {
        const auto at = mailbox.rfind('@');
        if (!isASCII(std::string_view(mailbox).substr(0, at == std::string::npos ? mailbox.size() : at)))
            return "The address \u201C" + mailbox +
                   "\u201D cannot be used: the part before the @ may hold only ASCII letters, digits and "
                   "symbols.";
    }
    return std::nullopt;
}

MailDraft MFMailComposeViewController::messageDraft() const {
    MailDraft message = draft_;
    for (auto* list : {&message.toRecipients, &message.ccRecipients, &message.bccRecipients})
        std::erase_if(*list, [](const std::string& address) { return !isValidAddress(address); });
    return message;
}

MailDraft MFMailComposeViewController::handOverDraft() const {
    MailDraft message = messageDraft();
    for (auto* list : {&message.toRecipients, &message.ccRecipients, &message.bccRecipients})
        for (auto& address : *list) {
            const std::string mailbox = mailboxesIn(address).at(0);
            const auto at = mailbox.rfind('@');
            address = mailbox.substr(0, at + 1) + asciiDomain(mailbox.substr(at + 1));
        }
    return message;
}

std::string MFMailComposeViewController::messageText() const {
    if (gmimeMissing()) return {};
    const MailDraft draft = messageDraft();
    GObjectPtr<GMimeMessage> message(g_mime_message_new(TRUE));
    const char* from = std::getenv("EMAIL");
    std::string fromText = from ? from : "";
    if (!fromText.empty()) {
        GObjectPtr<InternetAddressList> parsed(internet_address_list_parse(nullptr, fromText.c_str()));
        if (parsed && internet_address_list_length(parsed.get()) > 0)
            internet_address_list_append(g_mime_message_get_from(message.get()), parsed.get());
        else
            fromText.clear();
    }
    const std::pair<const std::vector<std::string>*, GMimeAddressType> lists[] = {
        {&draft.toRecipients, GMIME_ADDRESS_TYPE_TO},
        {&draft.ccRecipients, GMIME_ADDRESS_TYPE_CC},
        {&draft.bccRecipients, GMIME_ADDRESS_TYPE_BCC}};
    for (const auto& [list, type] : lists)
        for (const auto& address : *list) {
            GObjectPtr<InternetAddressList> parsed(internet_address_list_parse(nullptr, address.c_str()));
            if (parsed)
                internet_address_list_append(g_mime_message_get_addresses(message.get(), type), parsed.get());
        }
    g_mime_message_set_subject(message.get(), draft.subject.c_str(), "utf-8");
    GDateTime* date = g_date_time_new_from_unix_utc(static_cast<gint64>(RunLoop::main().wallTime()));
    g_mime_message_set_date(message.get(), date);
    g_date_time_unref(date);
    // The id's domain is the sender's, in the ASCII form its address takes in From.
    std::string domain;
    if (const auto mailboxes = mailboxesIn(fromText); !mailboxes.empty())
        if (auto at = mailboxes.front().rfind('@'); at != std::string::npos)
            domain = asciiDomain(mailboxes.front().substr(at + 1));
    std::string id = UUID::make().uuidString() + "@" + (domain.empty() ? "localhost" : domain);
    g_mime_message_set_message_id(message.get(), id.c_str());
    if (fromText.empty()) g_mime_object_set_header(GMIME_OBJECT(message.get()), "X-Unsent", "1", nullptr);

    GMimeTextPart* part = g_mime_text_part_new_with_subtype(draft.bodyIsHTML ? "html" : "plain");
    // The body goes in as its UTF-8 bytes: g_mime_text_part_set_text would pick the "best" charset
    // (us-ascii, or iso-8859-1 with the text converted) instead of the one the message is built in.
    GObjectPtr<GMimeStream> text(g_mime_stream_mem_new_with_buffer(draft.body.data(), draft.body.size()));
    GObjectPtr<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(text.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(GMIME_PART(part), content.get());
    g_mime_text_part_set_charset(part, "utf-8");
    g_mime_part_set_content_encoding(GMIME_PART(part), bodyEncoding(draft.body));
    if (draft.attachments.empty()) {
        g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(part));
    } else {
        GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
        g_mime_multipart_add(mixed, GMIME_OBJECT(part));
        for (const auto& attachment : draft.attachments) {
            const auto slash = attachment.mimeType.find('/');
            const bool typed =
                slash != std::string::npos && slash > 0 && slash + 1 < attachment.mimeType.size();
            const std::string type = typed ? attachment.mimeType.substr(0, slash) : "application";
            const std::string subtype = typed ? attachment.mimeType.substr(slash + 1) : "octet-stream";
            GMimePart* file = g_mime_part_new_with_type(type.c_str(), subtype.c_str());
            GObjectPtr<GMimeStream> bytes(
                g_mime_stream_mem_new_with_buffer(attachment.data.data(), attachment.data.size()));
            GObjectPtr<GMimeDataWrapper> wrapped(
                g_mime_data_wrapper_new_with_stream(bytes.get(), GMIME_CONTENT_ENCODING_DEFAULT));
            g_mime_part_set_content(file, wrapped.get());
            g_mime_object_set_disposition(GMIME_OBJECT(file), "attachment");
            g_mime_part_set_filename(file, attachment.fileName.c_str());
            g_mime_part_set_content_encoding(file, GMIME_CONTENT_ENCODING_BASE64);
            g_mime_multipart_add(mixed, GMIME_OBJECT(file));
            g_object_unref(file);
        }
        g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed));
        g_object_unref(mixed);
    }
    g_object_unref(part);

    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), nullptr, stream.get());
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return std::string(reinterpret_cast<const char*>(bytes->data), bytes->len);
}

void MFMailComposeViewController::write(const std::filesystem::path& folder,
                                        std::function<void(const std::optional<NSError>&)> then) {
    if (auto problem = addressProblem()) return then(NSError{"MFMailComposeErrorDomain", 2, *problem});
    auto& files = NSFileManager::defaultManager();
    if (auto error = files.createDirectoryAtPath_withIntermediateDirectories(folder.string(), true))
        return then(error);
    // Time first so that a folder lists in the order mail was written.
    std::time_t seconds = static_cast<std::time_t>(RunLoop::main().wallTime());
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    auto path = folder / (std::string(stamp) + "-" + UUID::make().uuidString().substr(0, 8) + ".eml");
    // The message as it stands now, whatever is typed while its folder is waited for.
    busy_ = true;
    updateSendButton();
    std::weak_ptr<MFMailComposeViewController> weak = self<MFMailComposeViewController>();
    files.writeAtomicallyOnLoop(path.string(), messageText(),
                                [weak, path, then = std::move(then)](const std::optional<NSError>& error) {
                                    auto me = weak.lock();
                                    if (!me) return;
                                    me->busy_ = false;
                                    if (!error) me->written_ = path;
                                    me->updateSendButton();
                                    then(error);
                                });
}

bool MFMailComposeViewController::userSend() {
    if (finished_ || busy_ || !hasValidRecipient()) return false;
    std::weak_ptr<MFMailComposeViewController> weak = self<MFMailComposeViewController>();
    // What is handed over is what the file holds: the message as Send found it.
    write(Sandbox::documents() / "Mail" / "Outbox", [weak, handed = handOverDraft()](
                                                        const std::optional<NSError>& error) {
        auto me = weak.lock();
        if (!me) return;
        if (error) return me->showWriteFailure("Cannot Send Mail", *error);
        // Written: a hand-over that fails still leaves the message in the outbox, and the delegate
        // hears that it failed.
        me->busy_ = true;
        me->updateSendButton();
        MailService::shared()->deliver(handed, *me->written_, [weak](const std::optional<NSError>& failure) {
            auto me = weak.lock();
            if (!me) return;
            me->busy_ = false;
            if (failure) return me->reportNotSent(*failure);
            me->finish(MFMailComposeResult::Sent, std::nullopt);
        });
    });
    return true;
}

void MFMailComposeViewController::reportNotSent(const NSError& error) {
    // Nothing more is pressed on this message: it is in the outbox already.
    finished_ = true;
    updateSendButton();
    const bool shown = appearance() == UIViewControllerAppearance::Appeared ||
                       appearance() == UIViewControllerAppearance::Appearing;
    if (!shown || presentedViewController()) return finish(MFMailComposeResult::Failed, error);
    // The delegate closes the composer when it hears: the person reads why first, and where the
    // message can still be found.
    auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Mail Not Sent", error.localizedDescription + ". The message was kept in " + written_->string() + ".",
        UIAlertControllerStyle::Alert);
    std::weak_ptr<MFMailComposeViewController> weak = self<MFMailComposeViewController>();
    alert->addAction(UIAlertAction::actionWithTitle_style_handler(
        "OK", UIAlertActionStyle::Default, [weak, error](UIAlertAction&) {
            if (auto me = weak.lock()) me->finish(MFMailComposeResult::Failed, error);
        }));
    presentViewController_animated_completion(alert, true, nullptr);
}

bool MFMailComposeViewController::userSave() {
    if (finished_ || busy_) return false;
    std::weak_ptr<MFMailComposeViewController> weak = self<MFMailComposeViewController>();
    write(Sandbox::documents() / "Mail" / "Drafts", [weak](const std::optional<NSError>& error) {
        auto me = weak.lock();
        if (!me) return;
        if (error) return me->showWriteFailure("Cannot Save Draft", *error);
        console().print("Mail draft kept in " + me->written_->string());
        me->finish(MFMailComposeResult::Saved, std::nullopt);
    });
    return true;
}

bool MFMailComposeViewController::userCancel() {
    if (finished_ || busy_) return false;
    finish(MFMailComposeResult::Cancelled, std::nullopt);
    return true;
}

void MFMailComposeViewController::showWriteFailure(const std::string& title, const NSError& error) {
    console().print("Mail not written: " + error.localizedDescription);
    // Only a composer on screen can show it; one that is not has only the console to say it.
    if (appearance() != UIViewControllerAppearance::Appeared &&
        appearance() != UIViewControllerAppearance::Appearing)
        return;
    if (presentedViewController()) return;
    auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        title, error.localizedDescription, UIAlertControllerStyle::Alert);
    alert->addAction(
        UIAlertAction::actionWithTitle_style_handler("OK", UIAlertActionStyle::Default, nullptr));
    presentViewController_animated_completion(alert, true, nullptr);
}

void MFMailComposeViewController::finish(MFMailComposeResult result, const std::optional<NSError>& error) {
    finished_ = true;
    if (error) console().print("Mail failed: " + error->localizedDescription);
    auto keep = self<MFMailComposeViewController>();
    for (const auto& row :
         std::vector<std::shared_ptr<UIView>>{toField_, ccField_, bccField_, subjectField_, bodyView_})
        if (row && row->isFirstResponder()) row->resignFirstResponder();
    updateSendButton();
    if (auto delegate = mailComposeDelegate.lock())
        delegate->mailComposeController_didFinishWithResult_error(*this, result, error);
}

// ---- What the person sees and edits ----

namespace {

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

constexpr double kBarHeight = 56;
constexpr double kRowHeight = 44;
constexpr double kMargin = 16;

UIColor fieldLabelColor() {
    return UIColor::systemGrayColor();
}

// The composer's root view: the bar with its buttons and title, the rows of fields under it with
// a separator below each, and the body filling the rest.
class ComposerView : public UIView {
public:
    std::weak_ptr<MFMailComposeViewController> controller;
    std::weak_ptr<UIView> cancel, send, title;
    std::vector<std::pair<std::weak_ptr<UILabel>, std::weak_ptr<UIView>>> rows;
    std::weak_ptr<UIView> body;
    // Where each shown row ends, as the last layout placed them.
    std::vector<double> separators;

    double top() const { return safeAreaInsets().top; }
    // The rows shown, in order: the Bcc row only once it has been asked for.
    std::vector<std::pair<std::shared_ptr<UILabel>, std::shared_ptr<UIView>>> shownRows() const {
        std::vector<std::pair<std::shared_ptr<UILabel>, std::shared_ptr<UIView>>> out;
        auto owner = controller.lock();
        for (const auto& [label, field] : rows) {
            auto l = label.lock();
            auto f = field.lock();
            if (!l || !f) continue;
            if (owner && f == owner->bccField() && !owner->showsSeparateBcc()) continue;
            if (owner && f == owner->attachmentsLabel() && owner->draft().attachments.empty()) continue;
            out.emplace_back(l, f);
        }
        return out;
    }

    void layoutSubviews() override {
        const CGRect b = bounds();
        const double y0 = top();
        if (auto v = cancel.lock()) v->setFrame({8, y0 + 6, 76, kBarHeight - 12});
        if (auto v = send.lock()) v->setFrame({b.width() - 84, y0 + 6, 76, kBarHeight - 12});
        if (auto v = title.lock()) v->setFrame({92, y0, std::max(0.0, b.width() - 184), kBarHeight});
        double y = y0 + kBarHeight;
        for (const auto& [label, field] : rows)
            if (auto f = field.lock()) f->setHidden(true);
        for (const auto& [label, field] : rows)
            if (auto l = label.lock()) l->setHidden(true);
        separators.clear();
        for (const auto& [label, field] : shownRows()) {
            TextStyle style;
            style.font = label->font();
            const double width = std::ceil(TextDrawing::measure(label->text(), style).width);
            label->setHidden(false);
            field->setHidden(false);
            label->setFrame({kMargin, y, width, kRowHeight});
            const double x = kMargin + width + 4;
            double height = kRowHeight;
            if (auto wrapping = std::dynamic_pointer_cast<UITextView>(field)) {
                // Its text starts where the label's does, and the row grows with its lines.
                const double inset = 5;
                wrapping->setFrame(
                    {x - inset, y + 4, std::max(0.0, b.width() - x - 8 + inset), kRowHeight - 4});
                const double content = wrapping->contentSize().height;
                height = std::max(kRowHeight, content + 8);
                wrapping->setFrame({x - inset, y + 4, wrapping->frame().width(), height - 4});
            } else if (std::dynamic_pointer_cast<UILabel>(field)) {
                // Shown, not edited: no field's inset to make up for.
                field->setFrame({x + 4, y, std::max(0.0, b.width() - x - 12), kRowHeight});
            } else {
                field->setFrame({x - 7, y, std::max(0.0, b.width() - x - 8 + 7), kRowHeight});
            }
            y += height;
            separators.push_back(y);
        }
        if (auto v = body.lock())
            v->setFrame(
                {kMargin - 5, y + 4, b.width() - 2 * (kMargin - 5), std::max(0.0, b.height() - y - 4)});
        UIView::layoutSubviews();
    }

    void draw(cairo_t* cr) const override {
        const CGRect b = bounds();
        const double y0 = top();
        const double line = Drawing::hairline(cr);
        Drawing::fillRoundedRectangle(cr, {0, 0, b.width(), y0 + kBarHeight}, 0,
                                      UIColor::colorWithRed_green_blue_alpha(0.97, 0.97, 0.97, 1));
        Drawing::fillRoundedRectangle(cr, {0, y0 + kBarHeight - line, b.width(), line}, 0,
                                      Drawing::separatorColor());
        for (double y : separators)
            Drawing::fillRoundedRectangle(cr, {kMargin, y - line, b.width() - kMargin, line}, 0,
                                          Drawing::separatorColor());
    }
};

} // namespace

bool MFMailComposeViewController::isValidAddress(const std::string& address) {
    if (gmimeMissing()) return false;
    GObjectPtr<InternetAddressList> parsed(internet_address_list_parse(nullptr, address.c_str()));
    if (!parsed || internet_address_list_length(parsed.get()) != 1) return false;
    InternetAddress* only = internet_address_list_get_address(parsed.get(), 0);
    if (!INTERNET_ADDRESS_IS_MAILBOX(only)) return false;
    const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(only));
    const std::string text = addr ? addr : "";
    const auto at = text.rfind('@');
    if (at == std::string::npos || at == 0 || at + 1 >= text.size()) return false;
    const std::string domain = text.substr(at + 1);
    if (domain.front() == '.' || domain.back() == '.' || domain.find("..") != std::string::npos) return false;
    for (unsigned char c : text)
        if (c <= ' ' || c == ',' || c == '<' || c == '>' || c == '"' || c == '(' || c == ')') return false;
    // "evil@host?attach=/etc/passwd" is a mailbox by the grammar, but no host is called so.
    return isHostName(asciiDomain(domain));
}

std::vector<std::string> MFMailComposeViewController::recipientsInText(const std::string& text) {
    std::vector<std::string> out;
    std::string current;
    bool quoted = false;
    int angle = 0;
    auto flush = [&] {
        const auto first = current.find_first_not_of(" \t\r\n");
        const auto last = current.find_last_not_of(" \t\r\n");
        if (first != std::string::npos) out.push_back(current.substr(first, last - first + 1));
        current.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && quoted && i + 1 < text.size()) {
            current += c;
            current += text[++i];
            continue;
        }
        if (c == '"') quoted = !quoted;
        if (!quoted && c == '<') ++angle;
        if (!quoted && c == '>' && angle > 0) --angle;
        if ((c == ',' || c == ';') && !quoted && angle == 0) {
            flush();
            continue;
        }
        current += c;
    }
    flush();
    return out;
}

bool MFMailComposeViewController::hasValidRecipient() const {
    for (const auto* list : {&draft_.toRecipients, &draft_.ccRecipients, &draft_.bccRecipients})
        for (const auto& address : *list)
            if (isValidAddress(address)) return true;
    return false;
}

void MFMailComposeViewController::setToRecipients(std::vector<std::string> recipients) {
    draft_.toRecipients = std::move(recipients);
    showDraftInFields();
}

void MFMailComposeViewController::setCcRecipients(std::vector<std::string> recipients) {
    draft_.ccRecipients = std::move(recipients);
    showDraftInFields();
}

void MFMailComposeViewController::setBccRecipients(std::vector<std::string> recipients) {
    draft_.bccRecipients = std::move(recipients);
    showDraftInFields();
}

void MFMailComposeViewController::setSubject(std::string subject) {
    draft_.subject = std::move(subject);
    showDraftInFields();
}

void MFMailComposeViewController::setMessageBody_isHTML(std::string body, bool isHTML) {
    draft_.body = std::move(body);
    draft_.bodyIsHTML = isHTML;
    showDraftInFields();
}

void MFMailComposeViewController::addAttachmentData_mimeType_fileName(const NSData& data,
                                                                      std::string mimeType,
                                                                      std::string fileName) {
    draft_.attachments.push_back({std::move(fileName), std::move(mimeType), data.bytes()});
    showDraftInFields();
}

void MFMailComposeViewController::showDraftInFields() {
    if (!isViewLoaded() || !toField_) return;
    toField_->setText(joined(draft_.toRecipients));
    ccField_->setText(joined(draft_.ccRecipients));
    bccField_->setText(joined(draft_.bccRecipients));
    subjectField_->setText(draft_.subject);
    bodyView_->setText(draft_.body);
    // Markup is not what a person edits: an HTML body is kept as the app gave it.
    bodyView_->setEditable(!draft_.bodyIsHTML);
    std::string names;
    for (const auto& attachment : draft_.attachments)
        names += (names.empty() ? "" : ", ") + attachment.fileName;
    attachedNames_->setText(names);
    if (!draft_.bccRecipients.empty()) bccShown_ = true;
    updateSendButton();
}

void MFMailComposeViewController::fieldsChanged() {
    draft_.toRecipients = recipientsInText(toField_->text());
    draft_.ccRecipients = recipientsInText(ccField_->text());
    draft_.bccRecipients = recipientsInText(bccField_->text());
    draft_.subject = subjectField_->text();
    updateSendButton();
}

void MFMailComposeViewController::updateSendButton() {
    if (sendButton_) sendButton_->setEnabled(hasValidRecipient() && !finished_ && !busy_);
    if (titleLabel_) titleLabel_->setText(draft_.subject.empty() ? "New Message" : draft_.subject);
    if (ccLabel_) ccLabel_->setText(bccShown_ ? "Cc:" : "Cc/Bcc:");
}

void MFMailComposeViewController::loadView() {
    auto root = std::make_shared<ComposerView>();
    root->setFrame(UIScreen::mainScreen().bounds());
    root->setBackgroundColor(UIColor::whiteColor());
    auto me = self<MFMailComposeViewController>();
    root->controller = me;

    cancelButton_ = UIButton::buttonWithType(UIButtonType::System);
    cancelButton_->setTitle_forState("Cancel", UIControlStates::Normal);
    cancelButton_->titleLabel()->setFont(UIFont::systemFontOfSize(17));
    cancelButton_->addTarget(
        me, "cancelButtonTapped", [](MFMailComposeViewController& c) { c.cancelButtonTapped(); },
        UIControlEvent::TouchUpInside);
    sendButton_ = UIButton::buttonWithType(UIButtonType::System);
    sendButton_->setTitle_forState("Send", UIControlStates::Normal);
    sendButton_->titleLabel()->setFont(UIFont::boldSystemFontOfSize(17));
    sendButton_->addTarget(
        me, "sendButtonTapped", [](MFMailComposeViewController& c) { c.sendButtonTapped(); },
        UIControlEvent::TouchUpInside);
    titleLabel_ = std::make_shared<UILabel>();
    titleLabel_->setFont(UIFont::boldSystemFontOfSize(17));
    titleLabel_->setTextAlignment(NSTextAlignment::Center);
    titleLabel_->setNumberOfLines(1);

    auto makeLabel = [](const std::string& text) {
        auto label = std::make_shared<UILabel>();
        label->setText(text);
        label->setFont(UIFont::systemFontOfSize(17));
        label->setTextColor(fieldLabelColor());
        return label;
    };
    auto makeRecipients = [&]() {
        auto view = std::make_shared<UITextView>();
        view->setFont(UIFont::systemFontOfSize(17));
        view->setScrollEnabled(false);
        view->setDelegate(std::weak_ptr<UITextViewDelegate>(me));
        return view;
    };
    auto makeField = [&](const std::string& action) {
        auto field = std::make_shared<UITextField>();
        field->setFont(UIFont::systemFontOfSize(17));
        field->setDelegate(me);
        field->addTarget(
            me, action, [](MFMailComposeViewController& c) { c.fieldsChanged(); },
            UIControlEvent::EditingChanged);
        return field;
    };
    toLabel_ = makeLabel("To:");
    ccLabel_ = makeLabel("Cc/Bcc:");
    bccLabel_ = makeLabel("Bcc:");
    subjectLabel_ = makeLabel("Subject:");
    attachedLabel_ = makeLabel("Attached:");
    attachedNames_ = std::make_shared<UILabel>();
    attachedNames_->setFont(UIFont::systemFontOfSize(17));
    attachedNames_->setNumberOfLines(1);
    toField_ = makeRecipients();
    ccField_ = makeRecipients();
    bccField_ = makeRecipients();
    subjectField_ = makeField("subjectChanged");
    bodyView_ = std::make_shared<UITextView>();
    bodyView_->setFont(UIFont::systemFontOfSize(17));
    bodyView_->setDelegate(std::weak_ptr<UITextViewDelegate>(me));

    for (const auto& v : std::vector<std::shared_ptr<UIView>>{
             bodyView_, toLabel_, toField_, ccLabel_, ccField_, bccLabel_, bccField_, subjectLabel_,
             subjectField_, attachedLabel_, attachedNames_, titleLabel_, cancelButton_, sendButton_})
        root->addSubview(v);
    root->cancel = cancelButton_;
    root->send = sendButton_;
    root->title = titleLabel_;
    root->rows = {{toLabel_, toField_},
                  {ccLabel_, ccField_},
                  {bccLabel_, bccField_},
                  {subjectLabel_, subjectField_},
                  {attachedLabel_, attachedNames_}};
    root->body = bodyView_;
    setView(root);
    exposeOutlet("cancelButton", cancelButton_);
    exposeOutlet("sendButton", sendButton_);
    exposeOutlet("toField", toField_);
    exposeOutlet("ccField", ccField_);
    exposeOutlet("bccField", bccField_);
    exposeOutlet("subjectField", subjectField_);
    exposeOutlet("bodyView", bodyView_);
    showDraftInFields();
}

void MFMailComposeViewController::cancelButtonTapped() {
    if (finished_ || busy_ || presentedViewController()) return;
    auto me = weakSelf<MFMailComposeViewController>();
    auto sheet = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        std::nullopt, std::nullopt, UIAlertControllerStyle::ActionSheet);
    sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
        "Delete Draft", UIAlertActionStyle::Destructive, [me](UIAlertAction&) {
            if (auto c = me.lock()) c->userCancel();
        }));
    sheet->addAction(UIAlertAction::actionWithTitle_style_handler("Save Draft", UIAlertActionStyle::Default,
                                                                  [me](UIAlertAction&) {
                                                                      if (auto c = me.lock()) c->userSave();
                                                                  }));
    sheet->addAction(
        UIAlertAction::actionWithTitle_style_handler("Cancel", UIAlertActionStyle::Cancel, nullptr));
    // On a pad the question points at the button that asked it.
    if (auto popover = sheet->popoverPresentationController()) {
        popover->sourceView = cancelButton_;
        popover->sourceRect = cancelButton_->bounds();
    }
    presentViewController_animated_completion(sheet, true, nullptr);
}

void MFMailComposeViewController::focusAfter(const UIView& row) {
    std::vector<std::shared_ptr<UIView>> order{toField_, ccField_};
    if (bccShown_) order.push_back(bccField_);
    order.push_back(subjectField_);
    order.push_back(bodyView_);
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        if (order[i].get() == &row) {
            order[i + 1]->becomeFirstResponder();
            return;
        }
}

bool MFMailComposeViewController::isRecipientRow(const UIView& view) const {
    return &view == toField_.get() || &view == ccField_.get() || &view == bccField_.get();
}

bool MFMailComposeViewController::escapeKeyPressed() {
    // A finished composer whose delegate kept it on screen simply goes.
    if (finished_) return false;
    cancelButtonTapped();
    return true;
}

bool MFMailComposeViewController::textFieldShouldReturn(UITextField& field) {
    focusAfter(field);
    return true;
}

bool MFMailComposeViewController::textView_shouldChangeTextInRange_replacementText(UITextView& view, NSRange,
                                                                                   const std::string& text) {
    if (!isRecipientRow(view) || text.find('\n') == std::string::npos) return true;
    // A recipient row holds one line of addresses: Return moves on instead.
    if (text == "\n") focusAfter(view);
    return false;
}

void MFMailComposeViewController::textViewDidBeginEditing(UITextView& view) {
    if (&view == ccField_.get() && !bccShown_) {
        bccShown_ = true;
        updateSendButton();
        this->view()->layoutIfNeeded();
    }
}

void MFMailComposeViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    view()->layoutIfNeeded();
}

void MFMailComposeViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    // Nothing written here could be sent or kept: the person is told why, and the composer goes.
    auto missing = gmimeMissing();
    if (!missing || finished_ || presentedViewController()) return;
    auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Mail Not Available", *missing, UIAlertControllerStyle::Alert);
    std::weak_ptr<MFMailComposeViewController> weak = self<MFMailComposeViewController>();
    const NSError error{"MFMailComposeErrorDomain", 3, *missing};
    alert->addAction(UIAlertAction::actionWithTitle_style_handler(
        "OK", UIAlertActionStyle::Default, [weak, error](UIAlertAction&) {
            if (auto me = weak.lock()) me->finish(MFMailComposeResult::Failed, error);
        }));
    presentViewController_animated_completion(alert, true, nullptr);
}

void MFMailComposeViewController::textViewDidChange(UITextView& view) {
    if (&view == bodyView_.get())
        draft_.body = view.text();
    else
        fieldsChanged();
}

void MFMailComposeViewController::describeScreen(std::vector<std::string>& lines) const {
    lines.push_back(className());
    lines.push_back("  to " + quote(joined(draft_.toRecipients)));
    if (!draft_.ccRecipients.empty()) lines.push_back("  cc " + quote(joined(draft_.ccRecipients)));
    if (!draft_.bccRecipients.empty()) lines.push_back("  bcc " + quote(joined(draft_.bccRecipients)));
    lines.push_back("  subject " + quote(draft_.subject));
    lines.push_back(std::string("  body ") + (draft_.bodyIsHTML ? "html " : "plain ") + quote(draft_.body));
    for (const auto& attachment : draft_.attachments)
        lines.push_back("  attachment " + quote(attachment.fileName) + " " + attachment.mimeType + " " +
                        std::to_string(attachment.data.size()) + " bytes");
    lines.push_back(std::string("  Send ") + (hasValidRecipient() ? "enabled" : "disabled"));
}

} // namespace platform
