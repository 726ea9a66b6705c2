// The mail composer: the messages it writes, read back with a mail reader's parser (GMime), where
// they go, what the delegate hears, and the hand-off to the desktop's mail client.
#include <gmime/gmime.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

using namespace platform;

namespace {

struct Outcome {
    MFMailComposeResult result;
    std::optional<NSError> error;
};

class RecordingDelegate : public MFMailComposeViewControllerDelegate {
public:
    std::vector<Outcome> outcomes;
    void mailComposeController_didFinishWithResult_error(MFMailComposeViewController&,
                                                         MFMailComposeResult result,
                                                         const std::optional<NSError>& error) override {
        outcomes.push_back({result, error});
    }
};

// A message file as a mail reader sees it.
struct ParsedMail {
    std::string from, to, subject, messageId, contentType, charset, body, unsent;
    gint64 date = 0;
};

std::optional<ParsedMail> parse(const std::filesystem::path& file) {
    g_mime_init();
    GMimeStream* stream = g_mime_stream_file_open(file.c_str(), "r", nullptr);
    if (!stream) return std::nullopt;
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!message) return std::nullopt;
    ParsedMail mail;
    auto list = [](InternetAddressList* l) {
        char* s = internet_address_list_to_string(l, nullptr, FALSE);
        std::string out = s ? s : "";
        g_free(s);
        return out;
    };
    mail.from = list(g_mime_message_get_from(message));
    mail.to = list(g_mime_message_get_to(message));
    if (const char* s = g_mime_message_get_subject(message)) mail.subject = s;
    if (const char* id = g_mime_message_get_message_id(message)) mail.messageId = id;
    if (GDateTime* date = g_mime_message_get_date(message)) mail.date = g_date_time_to_unix(date);
    if (const char* u = g_mime_object_get_header(GMIME_OBJECT(message), "X-Unsent")) mail.unsent = u;
    GMimeObject* part = g_mime_message_get_mime_part(message);
    if (GMIME_IS_TEXT_PART(part)) {
        GMimeContentType* type = g_mime_object_get_content_type(part);
        mail.contentType = std::string(g_mime_content_type_get_media_type(type)) + "/" +
                           g_mime_content_type_get_media_subtype(type);
        if (const char* c = g_mime_text_part_get_charset(GMIME_TEXT_PART(part))) mail.charset = c;
        char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
        mail.body = text ? text : "";
        g_free(text);
        // The last line of a message ends with a line break on the wire; the reader keeps it.
        if (!mail.body.empty() && mail.body.back() == '\n') mail.body.pop_back();
    }
    g_object_unref(message);
    return mail;
}

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        out.push_back(entry.path());
    return out;
}

// A service whose hand-over always fails, as a full outbox or a broken client would.
class FailingService : public MailService {
public:
    bool canSendMail() const override { return true; }
    std::optional<NSError> deliver(const MailDraft&, const std::filesystem::path&) override {
        return NSError{"MFMailComposeErrorDomain", 1, "the mail client refused it"};
    }
};

} // namespace

class MailComposerTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        if (const char* e = std::getenv("EMAIL")) savedEmail_ = e;
        unsetenv("EMAIL");
        composer = std::make_shared<MFMailComposeViewController>();
        composer->mailComposeDelegate = delegate;
        composer->setToRecipients({"support@example.org", "Help Desk <help@example.org>"});
        composer->setSubject("Grüße from the app");
        composer->setMessageBody_isHTML("First line\nsecond line with ü and 🤓", false);
    }
    void TearDown() override {
        if (savedEmail_)
            setenv("EMAIL", savedEmail_->c_str(), 1);
        else
            unsetenv("EMAIL");
        PlatformTest::TearDown();
    }
    std::filesystem::path outbox() const { return Sandbox::documents() / "Mail" / "Outbox"; }
    std::filesystem::path drafts() const { return Sandbox::documents() / "Mail" / "Drafts"; }

    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<MFMailComposeViewController> composer;

private:
    std::optional<std::string> savedEmail_;
};

TEST_F(MailComposerTest, SendWritesARealMessageToTheOutboxAndReportsSent) {
    ASSERT_TRUE(composer->userSend());
    ASSERT_EQ(delegate->outcomes.size(), 1u);
    EXPECT_EQ(delegate->outcomes[0].result, MFMailComposeResult::Sent);
    EXPECT_FALSE(delegate->outcomes[0].error);
    auto files = filesIn(outbox());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].extension(), ".eml");
    EXPECT_EQ(composer->writtenFile(), files[0]);
    EXPECT_TRUE(filesIn(drafts()).empty());
    EXPECT_TRUE(consoleHas("Mail kept in " + files[0].string()))
        << "without a window the console names the file";

    auto mail = parse(files[0]);
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->to, "support@example.org, Help Desk <help@example.org>");
    EXPECT_EQ(mail->subject, "Grüße from the app");
    EXPECT_EQ(mail->contentType, "text/plain");
    EXPECT_EQ(mail->charset, "utf-8");
    EXPECT_EQ(mail->body, "First line\nsecond line with ü and 🤓");
    EXPECT_FALSE(mail->messageId.empty());
    EXPECT_EQ(mail->date, static_cast<gint64>(RunLoop::main().wallTime())) << "the date comes from the clock";
    EXPECT_EQ(mail->from, "");
    EXPECT_EQ(mail->unsent, "1") << "without $EMAIL the client is to finish it";

    // The composer is done: pressing again neither writes nor reports.
    EXPECT_FALSE(composer->userSend());
    EXPECT_FALSE(composer->userCancel());
    EXPECT_EQ(delegate->outcomes.size(), 1u);
    EXPECT_EQ(filesIn(outbox()).size(), 1u);
}

TEST_F(MailComposerTest, FromComesFromTheEnvironmentAndHTMLBodiesStayHTML) {
    setenv("EMAIL", "Ada Writer <ada@example.net>", 1);
    composer->setMessageBody_isHTML("<p>Hello <b>there</b></p>", true);
    ASSERT_TRUE(composer->userSend());
    auto mail = parse(filesIn(outbox()).at(0));
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->from, "Ada Writer <ada@example.net>");
    EXPECT_EQ(mail->unsent, "");
    EXPECT_EQ(mail->contentType, "text/html");
    EXPECT_EQ(mail->body, "<p>Hello <b>there</b></p>");
    EXPECT_NE(mail->messageId.find("@example.net"), std::string::npos) << mail->messageId;
}

TEST_F(MailComposerTest, SaveGoesToDraftsAndCancelWritesNothing) {
    ASSERT_TRUE(composer->userSave());
    EXPECT_EQ(delegate->outcomes.at(0).result, MFMailComposeResult::Saved);
    EXPECT_EQ(filesIn(drafts()).size(), 1u);
    EXPECT_TRUE(filesIn(outbox()).empty());
    EXPECT_EQ(parse(filesIn(drafts())[0])->subject, "Grüße from the app");

    auto other = std::make_shared<MFMailComposeViewController>();
    other->mailComposeDelegate = delegate;
    ASSERT_TRUE(other->userCancel());
    EXPECT_EQ(delegate->outcomes.at(1).result, MFMailComposeResult::Cancelled);
    EXPECT_FALSE(delegate->outcomes[1].error);
    EXPECT_EQ(filesIn(drafts()).size(), 1u);
    EXPECT_TRUE(filesIn(outbox()).empty());
}

TEST_F(MailComposerTest, FailuresAreReportedAsFailedWithTheirErrorNeverAsSent) {
    // The service refuses the message.
    MailService::setShared(std::make_shared<FailingService>());
    ASSERT_TRUE(composer->userSend());
    ASSERT_EQ(delegate->outcomes.size(), 1u);
    EXPECT_EQ(delegate->outcomes[0].result, MFMailComposeResult::Failed);
    ASSERT_TRUE(delegate->outcomes[0].error);
    EXPECT_EQ(delegate->outcomes[0].error->localizedDescription, "the mail client refused it");

    // The outbox cannot be made: a file stands where its folder should be.
    MailService::setShared(nullptr);
    std::filesystem::remove_all(Sandbox::documents() / "Mail");
    writeFile(Sandbox::documents() / "Mail", "not a folder");
    auto second = std::make_shared<MFMailComposeViewController>();
    second->mailComposeDelegate = delegate;
    ASSERT_TRUE(second->userSend());
    EXPECT_EQ(delegate->outcomes.at(1).result, MFMailComposeResult::Failed);
    EXPECT_TRUE(delegate->outcomes[1].error);
    EXPECT_FALSE(second->writtenFile());
}

TEST_F(MailComposerTest, WithADesktopTheMessageGoesToTheMailClientThroughAnArgumentVector) {
    auto service = std::make_shared<OutboxMailService>();
    service->setHandOffEnabled([] { return true; });
    std::vector<std::vector<std::string>> runs;
    std::string handler = "thunderbird.desktop\n";
    int emailStatus = 0;
    service->setProcessRunner(
        [&](const std::vector<std::string>& argv) -> std::optional<OutboxMailService::ProcessResult> {
            runs.push_back(argv);
            if (argv[0] == "xdg-mime") return OutboxMailService::ProcessResult{0, handler};
            return OutboxMailService::ProcessResult{emailStatus, ""};
        });
    MailService::setShared(service);
    // Text that a shell would take apart stays one argument each.
    composer->setSubject("Hi; rm -rf ~ $(echo x)");
    ASSERT_TRUE(composer->userSend());
    EXPECT_EQ(delegate->outcomes.at(0).result, MFMailComposeResult::Sent);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], (std::vector<std::string>{"xdg-mime", "query", "default", "x-scheme-handler/mailto"}));
    EXPECT_EQ(runs[1], (std::vector<std::string>{"xdg-email", "--utf8", "--subject", "Hi; rm -rf ~ $(echo x)",
                                                 "--body", "First line\nsecond line with ü and 🤓",
                                                 "support@example.org", "Help Desk <help@example.org>"}));

    // The client fails: the message stays in the outbox and the composer says failed.
    emailStatus = 3;
    auto second = std::make_shared<MFMailComposeViewController>();
    second->mailComposeDelegate = delegate;
    ASSERT_TRUE(second->userSend());
    EXPECT_EQ(delegate->outcomes.at(1).result, MFMailComposeResult::Failed);
    EXPECT_EQ(filesIn(outbox()).size(), 2u);

    // No client handles mailto: the message is kept and the console names it.
    handler = "";
    runs.clear();
    auto third = std::make_shared<MFMailComposeViewController>();
    third->mailComposeDelegate = delegate;
    ASSERT_TRUE(third->userSend());
    EXPECT_EQ(delegate->outcomes.at(2).result, MFMailComposeResult::Sent);
    EXPECT_EQ(runs.size(), 1u) << "xdg-email is not run";
    EXPECT_TRUE(
        consoleHas("No mail client handles mailto: links; mail kept in " + third->writtenFile()->string()));
}

TEST_F(MailComposerTest, TheProcessRunnerRunsProgramsWithoutAShell) {
    auto echoed = OutboxMailService::runProcess({"printf", "%s|", "a b", "$(x)", ";"});
    ASSERT_TRUE(echoed);
    EXPECT_EQ(echoed->status, 0);
    EXPECT_EQ(echoed->output, "a b|$(x)|;|");
    auto failing = OutboxMailService::runProcess({"false"});
    ASSERT_TRUE(failing);
    EXPECT_NE(failing->status, 0);
    EXPECT_FALSE(OutboxMailService::runProcess({"no-such-program-anywhere-here"}));
}

TEST_F(MailComposerTest, TheSharedServiceDecidesWhetherMailCanBeSent) {
    EXPECT_TRUE(MFMailComposeViewController::canSendMail());
    auto service = std::dynamic_pointer_cast<OutboxMailService>(MailService::shared());
    ASSERT_TRUE(service);
    service->setAccountAvailable(false);
    EXPECT_FALSE(MFMailComposeViewController::canSendMail());
    resetSharedInstances();
    EXPECT_TRUE(MFMailComposeViewController::canSendMail()) << "tests start from a device that can send";
}

} // namespace quillora::test
