#include <string>
#include <vector>

#include "dictation/SwiftUIEditView.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

using namespace platform::swiftui;
using quillora::SwiftUIEditView;
using quillora::test::PlatformTest;

namespace {

class SwiftUIEditViewTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        window = std::make_shared<platform::UIWindow>();
        screen = std::make_shared<platform::UIViewController>();
        window->setRootViewController(screen);
        window->makeKeyAndVisible();
        defaults = platform::NSUserDefaults::standardUserDefaults();
        defaults->setObject_forKey("first draft", "saveclipBoardText");
        defaults->setInteger_forKey(0, "checkchangedtextinEdit");
        // What an observer sees of the store when the notification arrives.
        platform::NSNotificationCenter::defaultCenter().addObserver(
            observer, "printValue", [this](const platform::NSNotification& n) {
                received.push_back(n.stringForKey("value").value_or("<none>") + " | stored: " +
                                   defaults->stringForKey("saveclipBoardText").value_or("") + " | flag " +
                                   std::to_string(defaults->integerForKey("checkchangedtextinEdit")) +
                                   (n.object ? " | with object" : ""));
            });
    }

    // Presents a new editor the way the screens do.
    std::shared_ptr<UIHostingController> present() {
        SwiftUIEditView editor;
        editor.presentingVC = screen;
        auto hosting = std::make_shared<UIHostingController>(editor);
        screen->presentViewController_animated_completion(hosting, true, nullptr);
        runUntilIdle();
        return hosting;
    }

    std::shared_ptr<platform::UIWindow> window;
    std::shared_ptr<platform::UIViewController> screen;
    std::shared_ptr<platform::NSUserDefaults> defaults;
    std::shared_ptr<int> observer = std::make_shared<int>(0);
    std::vector<std::string> received;
};

} // namespace

TEST_F(SwiftUIEditViewTest, SaveStoresTheTextBeforeItTellsTheScreens) {
    auto editor = present();
    EXPECT_EQ(editor->host()->tree().findControl("Editor")->getText(), "first draft");
    ASSERT_TRUE(editor->host()->edit("Editor", "second draft"));
    ASSERT_TRUE(editor->host()->press("Save"));
    EXPECT_EQ(received, std::vector<std::string>{"second draft | stored: second draft | flag 1"});
    EXPECT_TRUE(consoleHas("save pressed "));
    runUntilIdle();
    EXPECT_EQ(screen->presentedViewController(), nullptr) << "the sheet goes away";

    // An emptied editor stores and sends the empty text; unchanged text is saved all the same.
    auto again = present();
    EXPECT_EQ(again->host()->tree().findControl("Editor")->getText(), "second draft");
    ASSERT_TRUE(again->host()->edit("Editor", ""));
    ASSERT_TRUE(again->host()->press("Save"));
    runUntilIdle();
    EXPECT_EQ(received.back(), " | stored:  | flag 1");
    EXPECT_EQ(defaults->stringForKey("saveclipBoardText"), "");
}

TEST_F(SwiftUIEditViewTest, CancelWritesNothingAndTheNextOpeningStartsFromTheStore) {
    auto editor = present();
    ASSERT_TRUE(editor->host()->edit("Editor", "thrown away"));
    ASSERT_TRUE(editor->host()->press("Cancel"));
    runUntilIdle();
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(defaults->stringForKey("saveclipBoardText"), "first draft");
    EXPECT_EQ(defaults->integerForKey("checkchangedtextinEdit"), 0);
    EXPECT_EQ(screen->presentedViewController(), nullptr);
    EXPECT_TRUE(consoleHas("cancel pressed "));

    auto reopened = present();
    EXPECT_EQ(reopened->host()->tree().findControl("Editor")->getText(), "first draft");

    // Without a presenter the buttons still act but nothing is dismissed; a missing transcript edits as
    // empty text.
    defaults->removeObjectForKey("saveclipBoardText");
    auto loose = ViewHost::make(SwiftUIEditView());
    EXPECT_EQ(loose->tree().findControl("Editor")->getText(), "");
    ASSERT_TRUE(loose->edit("Editor", "typed"));
    ASSERT_TRUE(loose->press("Save"));
    EXPECT_EQ(received.back(), "typed | stored: typed | flag 1");
    EXPECT_EQ(screen->presentedViewController(), reopened);
}
