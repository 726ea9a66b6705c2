// The window beside the other programs of a desktop that it cannot hurry: a session bus that is
// gone, a mail client that keeps what xdg-email gave it, a folder another program keeps locked.
// The window goes on answering and ends as it always does.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

#include "tests/support/WindowManagerMessages.h"
#include "tests/window/WindowTest.h"

namespace {

class OtherProgramsTest : public WindowTest {};

} // namespace

// An address left from an ended session (common over ssh and in terminals outliving a login),
// on a display whose accessibility bus an earlier window has started, as on any desktop.
TEST_F(OtherProgramsTest, WithAStaleSessionBusAddressTheWindowStartsAndEndsAsWithABus) {
    std::string why;
    if (!startWindowManager(why)) FAIL() << why;
    // Accessibility on, as a person's desktop has it.
    env_.erase("NO_AT_BRIDGE");
    env_.erase("GTK_A11Y");
    const auto address = "unix:path=" + (home / "bus").string();
    // On the display: what it starts (the accessibility bus) finds the display from it.
    ChildProcess bus = ChildProcess::start({"dbus-daemon", "--session", "--nofork", "--address=" + address},
                                           env_, (home / "bus.log").string());
    ASSERT_TRUE(quillora::test::waitUntil([&] { return std::filesystem::exists(home / "bus"); }, kHangLimit))
        << readFile(home / "bus.log");

    struct Run {
        const char* name;
        std::string busAddress;
        bool bySignal;
    };
    const Run runs[] = {{"with a bus", address, false},
                        {"stale, closed", "unix:path=/nonexistent", false},
                        {"stale, signalled", "unix:path=/nonexistent", true}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.name);
        env_["DBUS_SESSION_BUS_ADDRESS"] = run.busAddress;
        ChildProcess app = launch(home / "app");
        ASSERT_GT(app.pid(), 0);
        const std::string id = window("Quillora", true);
        ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
        ASSERT_TRUE(waitForPrinted("app become active", 0)) << readFile(home / "app.log");
        ASSERT_TRUE(x_->waitUntilStill(id));
        if (run.bySignal)
            ASSERT_EQ(kill(app.pid(), SIGTERM), 0);
        else
            ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
        EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
        EXPECT_EQ(printed("app going to terminate"), 1u) << readFile(home / "app.log");
        if (&run == &runs[0]) {
            const auto root = tool({"xprop", "-root", "AT_SPI_BUS"});
            ASSERT_TRUE(root && root->find("unix:") != std::string::npos)
                << "the first window started no accessibility bus on the display: " << root.value_or("");
        }
    }
}

namespace {

// Whether the process `pid` (a number in a file) still runs: not gone, not a zombie.
bool stillRuns(const std::filesystem::path& pidFile) {
    const std::string pid = readFile(pidFile);
    const std::string stat = readFile("/proc/" + pid.substr(0, pid.find('\n')) + "/stat");
    const auto state = stat.find(") ");
    return state != std::string::npos && stat[state + 2] != 'Z';
}

void stop(const std::filesystem::path& pidFile) {
    const std::string pid = readFile(pidFile);
    if (!pid.empty()) kill(std::stoi(pid), SIGKILL);
}

} // namespace

// Send in the feedback mail, on a desktop whose xdg-mime and xdg-email (stand-ins first on PATH)
// each leave a program running that holds their output, as a mail client that xdg-email starts
// does: the mail is handed over as soon as they have exited, the window answers meanwhile, and a
// SIGTERM ends the program through its saves while those programs still run.
TEST_F(OtherProgramsTest, SendHandsTheMailOverWithoutWaitingForTheMailClientAndTheWindowGoesOn) {
    std::string why;
    if (!startWindowManager(why)) FAIL() << why;
    const auto tools = home / "tools";
    quillora::test::writeFile(tools / "xdg-mime", "#!/bin/sh\nsleep 600 &\necho $! > \"$0.child\"\n"
                                                  "echo mail.desktop\n");
    quillora::test::writeFile(tools / "xdg-email", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n"
                                                   "sleep 600 &\necho $! > \"$0.child\"\n");
    for (const char* tool : {"xdg-mime", "xdg-email"})
        std::filesystem::permissions(tools / tool, std::filesystem::perms::owner_all);
    // Whatever the outcome, what they leave running goes with the test.
    struct Left {
        std::filesystem::path tools;
        ~Left() {
            stop(tools / "xdg-mime.child");
            stop(tools / "xdg-email.child");
        }
    } left{tools};
    const char* path = std::getenv("PATH");
    env_["PATH"] = tools.string() + ":" + (path ? path : "/usr/bin:/bin");

    const auto appHome = home / "app";
    ChildProcess app = launch(appHome);
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora");
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const auto at = places("place FontDynamicButton\ntap FontDynamicButton\nwait 1\nplace Feedback\n"
                           "press Feedback\nwait 1\nplace sendButton\n");
    for (const char* key : {"FontDynamicButton", "Feedback", "sendButton"})
        ASSERT_EQ(at.count(key), 1u) << key << " was not found on the way";
    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("FontDynamicButton"));
    clickAndSettle(id, size, at.at("Feedback"));
    click(id, size, at.at("sendButton"));

    ASSERT_TRUE(waitForPrinted("Mail handed to the desktop's mail client; kept in ", 0))
        << readFile(home / "app.log");
    EXPECT_TRUE(stillRuns(tools / "xdg-mime.child") && stillRuns(tools / "xdg-email.child"))
        << "the hand-over waited for what xdg-mime and xdg-email left running";
    const auto outbox = filesIn(appHome / "Documents" / "Mail" / "Outbox");
    ASSERT_EQ(outbox.size(), 1u);
    EXPECT_NE(outbox.begin()->second.find("To: support@quillora.app, feedback@quillora.app"),
              std::string::npos);
    EXPECT_EQ(readFile(tools / "xdg-email.args").find("mailto:support@quillora.app,feedback@quillora.app"),
              std::string("--utf8\n").size())
        << readFile(tools / "xdg-email.args");
    // The composer has gone; the settings answer a click with the composer again.
    ASSERT_TRUE(x_->waitUntilStill(id));
    clickAndSettle(id, size, at.at("Feedback"));

    ASSERT_EQ(kill(app.pid(), SIGTERM), 0);
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
    EXPECT_EQ(printed("app going to terminate"), 1u) << readFile(home / "app.log");
    EXPECT_TRUE(stillRuns(tools / "xdg-mime.child") && stillRuns(tools / "xdg-email.child"))
        << "the end waited for what xdg-mime and xdg-email left running";
}

// The same while xdg-email itself goes on running (a mail client it runs until it is closed): the
// composer waits for it, the window answers meanwhile, and a SIGTERM ends the program through its
// saves, as it does whatever a worker waits for, while xdg-email still runs.
TEST_F(OtherProgramsTest, ASignalWhileXdgEmailStillRunsEndsTheProgramAsAlways) {
    std::string why;
    if (!startWindowManager(why)) FAIL() << why;
    const auto tools = home / "tools";
    quillora::test::writeFile(tools / "xdg-mime", "#!/bin/sh\necho mail.desktop\n");
    quillora::test::writeFile(tools / "xdg-email", "#!/bin/sh\necho $$ > \"$0.child\"\nexec sleep 600\n");
    for (const char* tool : {"xdg-mime", "xdg-email"})
        std::filesystem::permissions(tools / tool, std::filesystem::perms::owner_all);
    struct Left {
        std::filesystem::path tools;
        ~Left() { stop(tools / "xdg-email.child"); }
    } left{tools};
    const char* path = std::getenv("PATH");
    env_["PATH"] = tools.string() + ":" + (path ? path : "/usr/bin:/bin");

    const auto appHome = home / "app";
    ChildProcess app = launch(appHome);
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora");
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const auto at = places("place FontDynamicButton\ntap FontDynamicButton\nwait 1\nplace Feedback\n"
                           "press Feedback\nwait 1\nplace subjectField\nplace sendButton\n");
    ASSERT_EQ(at.size(), 4u);
    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("FontDynamicButton"));
    clickAndSettle(id, size, at.at("Feedback"));
    click(id, size, at.at("sendButton"));
    ASSERT_TRUE(quillora::test::waitUntil([&] { return stillRuns(tools / "xdg-email.child"); }, kHangLimit))
        << "xdg-email never ran: " << readFile(home / "app.log");

    // The composer waits for it; the window takes a click and typing meanwhile.
    clickAndSettle(id, size, at.at("subjectField"));
    andSettle(id, [&] { ASSERT_TRUE(x_->type(" typed")); });
    EXPECT_EQ(printed("Mail handed to the desktop's mail client; kept in "), 0u);
    ASSERT_EQ(kill(app.pid(), SIGTERM), 0);
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
    EXPECT_EQ(printed("app going to terminate"), 1u) << readFile(home / "app.log");
    EXPECT_TRUE(stillRuns(tools / "xdg-email.child")) << "the end waited for xdg-email";
    EXPECT_EQ(filesIn(appHome / "Documents" / "Mail" / "Outbox").size(), 1u) << "the message is kept";
}

// An export into Documents while another program keeps the folder locked (`flock -x Documents`):
// the window answers a click while the export waits, and the export is made once the folder is
// let go within its wait.
TEST_F(OtherProgramsTest, AnExportIntoALockedFolderWaitsWhileTheWindowAnswers) {
    auto recipeText = openRecipeText("Flour, eggs and milk.\n");
    ASSERT_GT(recipeText.app.pid(), 0);
    ASSERT_FALSE(recipeText.id.empty())
        << "no window titled Quillora appeared: " << readFile(home / "app.log");
    ASSERT_EQ(recipeText.at.size(), 3u);
    ChildProcess& app = recipeText.app;
    const std::string& id = recipeText.id;
    const auto size = recipeText.size;
    const std::string toRecipeText =
        "segment segmentcontrol Recipe\nwait 1\ntap RecipeBookButton\nwait 1.5\n";
    const auto at = places(toRecipeText + "place savepdf\nplace font_change\n");
    ASSERT_EQ(at.size(), 2u);
    // What the window shows once the font button has answered: its action sheet.
    drawScreens(toRecipeText + "tap font_change\nwait 1\npicture fontsheet\n", size.first, size.second);

    const auto documents = home / "app" / "Documents";
    ChildProcess holder = ChildProcess::start({"flock", "-x", documents.string(), "sleep", "600"}, {},
                                              (home / "flock.log").string());
    ASSERT_TRUE(quillora::test::waitUntil(
        [&] {
            const int fd = open(documents.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
            close(fd);
            return held;
        },
        kHangLimit))
        << readFile(home / "flock.log");

    waitForFirstScreen(id);
    clickAndSettle(id, size, {recipeText.recipeSegment.x - 1, recipeText.recipeSegment.y - 1, 2, 2});
    clickAndSettle(id, size, recipeText.at.at("RecipeBookButton"));
    click(id, size, at.at("savepdf"));
    click(id, size, at.at("font_change"));
    const auto comparison = waitForPicture(id, home / "fontsheet.png");
    ASSERT_TRUE(comparison.matches) << comparison.message;
    EXPECT_EQ(printed("saved success") + printed("error saving pdf"), 0u)
        << "the export was over before the window answered: " << readFile(home / "app.log");

    // It lets go: its command ends, and flock with it.
    const std::string children = readFile("/proc/" + std::to_string(holder.pid()) + "/task/" +
                                          std::to_string(holder.pid()) + "/children");
    ASSERT_FALSE(children.empty()) << "flock runs no command";
    ASSERT_EQ(kill(std::stoi(children), SIGKILL), 0);
    holder.wait(kHangLimit);
    ASSERT_TRUE(waitForPrinted("saved success", 0)) << readFile(home / "app.log");
    bool exported = false;
    for (const auto& entry : std::filesystem::directory_iterator(documents))
        exported = exported || entry.path().extension() == ".pdf";
    EXPECT_TRUE(exported) << "no PDF in " << documents;
    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}

// Share -> Mail on a template's PDF screen: the composer opens with the PDF attached, and Send
// keeps the message in the outbox and hands it, attachment and all, to the mail client.
TEST_F(OtherProgramsTest, ShareMailOnAPDFScreenOpensTheComposerWithThePDFAttached) {
    std::string why;
    if (!startWindowManager(why)) FAIL() << why;
    const auto tools = home / "tools";
    quillora::test::writeFile(tools / "xdg-mime", "#!/bin/sh\necho mail.desktop\n");
    quillora::test::writeFile(
        tools / "xdg-email",
        "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n"
        "while [ $# -gt 0 ]; do [ \"$1\" = --attach ] && cp \"$2\" \"$0.attached\"; shift; done\n");
    for (const char* tool : {"xdg-mime", "xdg-email"})
        std::filesystem::permissions(tools / tool, std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    env_["PATH"] = tools.string() + ":" + (path ? path : "/usr/bin:/bin");

    const auto appHome = home / "app";
    ChildProcess app = launch(appHome);
    ASSERT_GT(app.pid(), 0);
    const std::string id = window("Quillora", true);
    ASSERT_FALSE(id.empty()) << "no window titled Quillora appeared: " << readFile(home / "app.log");
    const auto size = windowSize(id);
    const std::string toShare =
        "tap StickyDynamicButton\nwait 1\npress Notes\nwait 1\npress Preview\nwait 2\n"
        "tap SharePDFButton\nwait 1\n";
    auto at =
        places("place StickyDynamicButton\ntap StickyDynamicButton\nwait 1\nplace Notes\npress Notes\n"
               "wait 1\nplace Preview\npress Preview\nwait 2\nplace SharePDFButton\ntap SharePDFButton\n"
               "wait 1\nplace Mail\n");
    ASSERT_EQ(at.size(), 5u) << "Mail is not offered";
    const auto mail = at.at("Mail");
    const auto composer = places(toShare + "tap " + std::to_string(mail.midX()) + " " +
                                 std::to_string(mail.midY()) + "\nwait 1\nplace toField\nplace sendButton\n");
    ASSERT_EQ(composer.size(), 2u) << "Mail opened no composer";

    waitForFirstScreen(id);
    clickAndSettle(id, size, at.at("StickyDynamicButton"));
    clickAndSettle(id, size, at.at("Notes"));
    click(id, size, at.at("Preview"));
    ASSERT_TRUE(waitForPrinted("PDF location: ", 0)) << readFile(home / "app.log");
    ASSERT_TRUE(x_->waitUntilStill(id));
    clickAndSettle(id, size, at.at("SharePDFButton"));
    clickAndSettle(id, size, mail);
    clickAndSettle(id, size, composer.at("toField"));
    andSettle(id, [&] { ASSERT_TRUE(x_->type("friend@example.org")); });
    click(id, size, composer.at("sendButton"));
    ASSERT_TRUE(waitForPrinted("Mail handed to the desktop's mail client; kept in ", 0))
        << readFile(home / "app.log");
    ASSERT_TRUE(waitForPrinted("completed", 0)) << "the share sheet did not hear it done";

    // The PDF shared is the one attached, in the outbox's message and handed to the client.
    std::string shared;
    for (const auto& entry : std::filesystem::directory_iterator(appHome / "tmp"))
        if (entry.path().string().ends_with("_Document.pdf")) shared = readFile(entry.path());
    ASSERT_FALSE(shared.empty()) << "no shared copy in tmp";
    EXPECT_EQ(readFile(tools / "xdg-email.attached"), shared) << readFile(tools / "xdg-email.args");
    const auto outbox = filesIn(appHome / "Documents" / "Mail" / "Outbox");
    ASSERT_EQ(outbox.size(), 1u);
    const std::string& message = outbox.begin()->second;
    EXPECT_NE(message.find("To: friend@example.org"), std::string::npos) << message;
    EXPECT_NE(message.find("Content-Type: application/pdf"), std::string::npos) << message;
    EXPECT_NE(message.find("Content-Disposition: attachment"), std::string::npos) << message;

    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}
