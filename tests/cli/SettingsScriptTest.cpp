// The settings script of tests/cli/scripts through the program: what the screens showed, the
// links opened, and the mail files it left, read with a mail reader's parser (GMime).
#include <gmime/gmime.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;

namespace {

const std::filesystem::path kScripts = std::filesystem::path(__FILE__).parent_path() / "scripts";

struct Mail {
    std::string to, subject, body;
};

Mail readMail(const std::filesystem::path& file) {
    g_mime_init();
    Mail mail;
    GMimeStream* stream = g_mime_stream_file_open(file.c_str(), "r", nullptr);
    if (!stream) return mail;
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!message) return mail;
    char* to = internet_address_list_to_string(g_mime_message_get_to(message), nullptr, FALSE);
    mail.to = to ? to : "";
    g_free(to);
    if (const char* s = g_mime_message_get_subject(message)) mail.subject = s;
    GMimeObject* part = g_mime_message_get_mime_part(message);
    if (GMIME_IS_TEXT_PART(part)) {
        char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
        mail.body = text ? text : "";
        g_free(text);
    }
    while (!mail.body.empty() && mail.body.back() == '\n')
        mail.body.pop_back();
    g_object_unref(message);
    return mail;
}

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        out.push_back(entry.path());
    std::sort(out.begin(), out.end());
    return out;
}

class SettingsScriptTest : public quillora::test::PlatformTest {
protected:
    int run(const std::filesystem::path& script) {
        Options options;
        options.home = home;
        options.script = script.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        return runProgram(options, 1, argv);
    }
    int runText(const std::string& text) {
        auto path = home / "script.txt";
        std::ofstream(path) << text;
        return run(path);
    }
    // The index of the first console line at or after `from` that contains `part`; -1 if none.
    long find(const std::string& part, long from = 0) const {
        auto lines = consoleLines();
        for (long i = from; i < static_cast<long>(lines.size()); ++i)
            if (lines[static_cast<std::size_t>(i)].find(part) != std::string::npos) return i;
        return -1;
    }
};

} // namespace

TEST_F(SettingsScriptTest, FromTheMainScreenThroughTheSettingsAndTheTableWithBothMailPaths) {
    ASSERT_EQ(run(kScripts / "settings-and-mail.txt"), 0);

    // The stepper: 18 -> 19 -> 20 -> 19, each press announced first.
    long first = find("Stepper onIncrement");
    ASSERT_GE(first, 0);
    EXPECT_GE(find("Stepper onIncrement", first + 1), 0);
    EXPECT_GE(find("Stepper onDecrement", first), 0);
    EXPECT_GE(find("Text \"Font Size: 19\""), 0);
    EXPECT_GE(find("playing: true"), 0) << "the video plays after its press";

    EXPECT_GE(find("Opened URL https://quillora.app/"), 0);
    EXPECT_GE(find("Opened URL https://quillora.app/help/voice-commands"), 0);
    long share = find("presented UIActivityViewController");
    ASSERT_GE(share, 0);
    EXPECT_EQ(find("item link \"https://quillora.app/store/quillora\"", share), share + 2);
    EXPECT_GE(find("Button disabled .disabled(value: true)"), 0) << "Feedback is disabled without an account";
    EXPECT_GE(find("item text \"Message not sent \""), 0);

    auto outbox = filesIn(home / "Documents" / "Mail" / "Outbox");
    auto drafts = filesIn(home / "Documents" / "Mail" / "Drafts");
    ASSERT_EQ(outbox.size(), 2u) << "the settings' feedback and the table's support mail";
    ASSERT_EQ(drafts.size(), 1u);
    std::vector<Mail> sent{readMail(outbox[0]), readMail(outbox[1])};
    std::sort(sent.begin(), sent.end(), [](const Mail& a, const Mail& b) { return a.subject < b.subject; });
    EXPECT_EQ(sent[0].to, "support@quillora.app, feedback@quillora.app");
    EXPECT_EQ(sent[0].subject, "");
    EXPECT_EQ(sent[1].to, "support@quillora.app");
    EXPECT_EQ(sent[1].subject, "Feedback Quillora");
    EXPECT_EQ(sent[1].body, "Feedback/suggestion about Quillora App");
    EXPECT_EQ(readMail(drafts[0]).to, "support@quillora.app, feedback@quillora.app");
    for (const auto& file : outbox)
        EXPECT_GE(find("Mail kept in " + file.string()), 0) << "without a window the console names the file";
}

// `refused REASON | LINE` runs LINE and expects it to fail with REASON in its message.
TEST_F(SettingsScriptTest, TheNewVerbsRefuseWhatCannotBeDone) {
    std::vector<std::string> unrefused;
    auto extend = [&](ScriptInterpreter& interpreter) {
        interpreter.addCommand(
            "refused", "refused REASON | LINE", [&](ScriptInterpreter& self, const ScriptLine& line) {
                auto bar = line.rest.find(" | ");
                std::string reason = line.rest.substr(0, bar), command = line.rest.substr(bar + 3);
                try {
                    self.runLine(command, line.number);
                    unrefused.push_back(command + ": ran");
                } catch (const ScriptError& error) {
                    if (std::string(error.what()).find(reason) == std::string::npos)
                        unrefused.push_back(command + ": " + error.what());
                }
            });
    };
    Options options;
    options.home = home;
    options.script = (home / "refusals.txt").string();
    std::ofstream(*options.script)
        << "refused the current screen is not a declarative screen | increment Font Size\n"
           "refused no mail composer is shown | mail send\n"
           "refused usage: mail | mail post\n"
           "tap FontDynamicButton\n"
           "refused no stepper labelled \"Volume\" | increment Volume\n"
           "refused a presented screen is in front; it has no back | back\n"
           "press \" 🅧 Cancel \"\n"
           "open SettingsTableViewController\n"
           "refused 'tableView' has no section 2 (it has 2) | row tableView 0 2\n"
           "refused has no row 1 in section 1 (it has 1) | row tableView 1 1\n"
           "row tableView 0 1\n"
           "focus toField\n"
           "key ctrl+a\n"
           "key BackSpace\n"
           "refused 'Send' is disabled | mail send\n"
           "type toField help@quillora.app\n"
           "mail send\n"
           "refused no mail composer is shown | mail send\n";
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    ASSERT_EQ(runProgram(options, 1, argv, extend), 0);
    EXPECT_TRUE(unrefused.empty()) << testing::PrintToString(unrefused);
}

// A feedback mail that cannot be written: the settings' sheet keeps the composer, an alert names
// the folder, and once the folder can be made the same mail is sent and the sheet closes.
TEST_F(SettingsScriptTest, AFeedbackMailThatCannotBeWrittenStaysOpenWithAnAlertUntilItCan) {
    const auto mail = home / "Documents" / "Mail";
    quillora::test::writeFile(mail, "a file where the mail folder belongs");
    auto extend = [&](ScriptInterpreter& interpreter) {
        interpreter.addCommand("unblock", "unblock",
                               [&](ScriptInterpreter&, const ScriptLine&) { std::filesystem::remove(mail); });
    };
    Options options;
    options.home = home;
    options.script = (home / "blocked.txt").string();
    std::ofstream(*options.script) << "tap FontDynamicButton\n"
                                      "press Feedback\n"
                                      "type subjectField Kept through a failure\n"
                                      "mail send\n"
                                      "show\n"
                                      "alert OK\n"
                                      "show\n"
                                      "unblock\n"
                                      "mail send\n"
                                      "show\n";
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    ASSERT_EQ(runProgram(options, 1, argv, extend), 0);

    const long alert = find("UIAlertController alert title=\"Cannot Send Mail\" message=\"The folder “" +
                            (mail / "Outbox").string() + "” could not be created: Not a directory\"");
    ASSERT_GE(alert, 0) << testing::PrintToString(consoleLines());
    const long kept = find("presented MFMailComposeViewController", alert);
    ASSERT_GT(kept, alert) << "after OK the composer is still there";
    EXPECT_EQ(find("  subject \"Kept through a failure\"", kept), kept + 2);
    EXPECT_LT(find("presented MFMailComposeViewController", kept + 1), 0) << "sent, the sheet closed";
    auto outbox = filesIn(mail / "Outbox");
    ASSERT_EQ(outbox.size(), 1u);
    EXPECT_EQ(readMail(outbox[0]).subject, "Kept through a failure");
}
