// The window beside the other programs of a desktop that it cannot hurry: a session bus that is
// gone, a mail client that keeps what xdg-email gave it, a folder another program keeps locked.
// The window goes on answering and ends as it always does.
#include <signal.h>

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
