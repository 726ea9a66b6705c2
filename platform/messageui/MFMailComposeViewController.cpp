#include "platform/messageui/MFMailComposeViewController.h"

#include <gmime/gmime.h>

#include <cstdlib>
#include <ctime>
#include <mutex>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UUID.h"

namespace platform {

namespace {

template <class T> struct GObjectDeleter {
    void operator()(T* object) const {
        if (object) g_object_unref(object);
    }
};
template <class T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

void initGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// The domain of an address ("a@b.org" gives "b.org"), for the message id.
std::string domainOf(const std::string& address) {
    auto at = address.rfind('@');
    std::string domain = at == std::string::npos ? "" : address.substr(at + 1);
    while (!domain.empty() && (domain.back() == '>' || domain.back() == ' '))
        domain.pop_back();
    return domain.empty() ? "localhost" : domain;
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

std::string MFMailComposeViewController::messageText() const {
    initGMime();
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
    for (const auto& to : draft_.toRecipients) {
        GObjectPtr<InternetAddressList> parsed(internet_address_list_parse(nullptr, to.c_str()));
        if (parsed)
            internet_address_list_append(g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_TO),
                                         parsed.get());
    }
    g_mime_message_set_subject(message.get(), draft_.subject.c_str(), "utf-8");
    GDateTime* date = g_date_time_new_from_unix_utc(static_cast<gint64>(RunLoop::main().wallTime()));
    g_mime_message_set_date(message.get(), date);
    g_date_time_unref(date);
    std::string id = UUID::make().uuidString() + "@" + domainOf(fromText);
    g_mime_message_set_message_id(message.get(), id.c_str());
    if (fromText.empty()) g_mime_object_set_header(GMIME_OBJECT(message.get()), "X-Unsent", "1", nullptr);

    GMimeTextPart* part = g_mime_text_part_new_with_subtype(draft_.bodyIsHTML ? "html" : "plain");
    // The body goes in as its UTF-8 bytes: g_mime_text_part_set_text would pick the "best" charset
    // (us-ascii, or iso-8859-1 with the text converted) instead of the one the message is built in.
    GObjectPtr<GMimeStream> text(g_mime_stream_mem_new_with_buffer(draft_.body.data(), draft_.body.size()));
    GObjectPtr<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(text.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(GMIME_PART(part), content.get());
    g_mime_text_part_set_charset(part, "utf-8");
    g_mime_part_set_content_encoding(GMIME_PART(part), bodyEncoding(draft_.body));
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(part));
    g_object_unref(part);

    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), nullptr, stream.get());
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return std::string(reinterpret_cast<const char*>(bytes->data), bytes->len);
}

std::optional<NSError> MFMailComposeViewController::write(const std::filesystem::path& folder) {
    auto& files = NSFileManager::defaultManager();
    if (auto error = files.createDirectoryAtPath_withIntermediateDirectories(folder.string(), true))
        return error;
    // Time first so that a folder lists in the order mail was written.
    std::time_t seconds = static_cast<std::time_t>(RunLoop::main().wallTime());
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    auto path = folder / (std::string(stamp) + "-" + UUID::make().uuidString().substr(0, 8) + ".eml");
    if (auto error = files.writeAtomically(path.string(), messageText())) return error;
    written_ = path;
    return std::nullopt;
}

bool MFMailComposeViewController::userSend() {
    if (finished_) return false;
    auto folder = Sandbox::documents() / "Mail" / "Outbox";
    std::optional<NSError> error = write(folder);
    if (!error) error = MailService::shared()->deliver(draft_, *written_);
    finish(error ? MFMailComposeResult::Failed : MFMailComposeResult::Sent, error);
    return true;
}

bool MFMailComposeViewController::userSave() {
    if (finished_) return false;
    auto error = write(Sandbox::documents() / "Mail" / "Drafts");
    if (!error) console().print("Mail draft kept in " + written_->string());
    finish(error ? MFMailComposeResult::Failed : MFMailComposeResult::Saved, error);
    return true;
}

bool MFMailComposeViewController::userCancel() {
    if (finished_) return false;
    finish(MFMailComposeResult::Cancelled, std::nullopt);
    return true;
}

void MFMailComposeViewController::finish(MFMailComposeResult result, const std::optional<NSError>& error) {
    finished_ = true;
    if (error) console().print("Mail failed: " + error->localizedDescription);
    auto keep = self<MFMailComposeViewController>();
    if (auto delegate = mailComposeDelegate.lock())
        delegate->mailComposeController_didFinishWithResult_error(*this, result, error);
}

void MFMailComposeViewController::describeScreen(std::vector<std::string>& lines) const {
    lines.push_back(className());
    std::string to;
    for (const auto& r : draft_.toRecipients)
        to += (to.empty() ? "" : ", ") + r;
    lines.push_back("  to " + quote(to));
    lines.push_back("  subject " + quote(draft_.subject));
    lines.push_back(std::string("  body ") + (draft_.bodyIsHTML ? "html " : "plain ") + quote(draft_.body));
}

} // namespace platform
