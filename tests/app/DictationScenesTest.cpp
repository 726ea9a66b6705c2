// The dictation scenes of the storyboard: the switch between the screens (each made once and
// kept), the notes scene's own controls, its layout on a 390 by 844 phone, and its accessory bar.

#include <memory>

#include "app/ApplicationMain.h"
#include "dictation/NotesViewController.h"
#include "dictation/RecipeViewController.h"
#include "dictation/ViewController.h"
#include "entries/EntryListViewController.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UISegmentedControl.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

class DictationScenesTest : public quillora::test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        auto& app = UIApplication::sharedApplication();
        app.setMainLoop([] { return 0; });
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        ASSERT_EQ(quillora::applicationMain(1, argv), 0);
        nav = std::dynamic_pointer_cast<UINavigationController>(app.keyWindow()->rootViewController());
        ASSERT_TRUE(nav);
        RunLoop::main().runUntil([&] { return main()->recordButton->isEnabled(); }, 5);
    }

    std::shared_ptr<quillora::ViewController> main() const {
        return std::dynamic_pointer_cast<quillora::ViewController>(nav->viewControllers().front());
    }
    std::shared_ptr<quillora::NotesViewController> notes() const {
        return std::dynamic_pointer_cast<quillora::NotesViewController>(nav->topViewController());
    }
    static std::shared_ptr<UISegmentedControl> switchOf(const quillora::DictationScreen& screen) {
        return screen.segmentcontrol.lock();
    }
    bool pick(const quillora::DictationScreen& screen, long segment) {
        bool picked = switchOf(screen)->userSelectSegment(segment);
        runUntilIdle();
        return picked;
    }

    std::shared_ptr<UINavigationController> nav;
};

TEST_F(DictationScenesTest, TheSwitchMovesBetweenTheScreensWithOneNotesScreenOnTheStack) {
    auto first = main();
    ASSERT_TRUE(switchOf(*first));
    EXPECT_EQ(switchOf(*first)->selectedSegmentIndex(), 0);
    EXPECT_TRUE(switchOf(*first)->isEnabledForSegmentAtIndex(2));
    EXPECT_TRUE(first->outletNamed("segmentcontrol"));

    ASSERT_TRUE(pick(*first, 1));
    auto screen = notes();
    ASSERT_TRUE(screen);
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    EXPECT_EQ(switchOf(*screen)->selectedSegmentIndex(), 1);
    EXPECT_EQ(switchOf(*screen)->titleForSegmentAtIndex(0), "Dictation");
    ASSERT_TRUE(pick(*screen, 2));
    auto recipe = std::dynamic_pointer_cast<quillora::RecipeViewController>(nav->topViewController());
    ASSERT_TRUE(recipe) << "Recipe takes the notes screen's place";
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    EXPECT_EQ(switchOf(*recipe)->selectedSegmentIndex(), 2);
    ASSERT_TRUE(pick(*recipe, 1));
    screen = notes();
    ASSERT_TRUE(screen) << "and Notes takes it back";
    EXPECT_EQ(nav->viewControllers().size(), 2u);

    ASSERT_TRUE(pick(*screen, 0));
    EXPECT_EQ(nav->topViewController(), first) << "Dictation goes back as Back does";
    EXPECT_EQ(switchOf(*first)->selectedSegmentIndex(), 0) << "the first screen names itself again";
    ASSERT_TRUE(pick(*first, 1));
    EXPECT_EQ(notes(), screen) << "the same notes screen, kept as a tab bar keeps its tabs";
    EXPECT_EQ(nav->viewControllers().size(), 2u);
}

TEST_F(DictationScenesTest, TheNotesSceneHasItsControlsAndNothingOverlapsOnAPhone) {
    ASSERT_EQ(UIScreen::mainScreen().bounds(), (CGRect{0, 0, 390, 844}));
    ASSERT_TRUE(pick(*main(), 1));
    auto screen = notes();
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->saveText.expired());
    EXPECT_FALSE(screen->textViewBottomLayoutGuideConstraint.expired());
    for (const char* name : {"tickmark_clicked", "bookmark", "paperclip", "pushpin", "Done_button",
                             "keyboardClose", "PushPin_emoji", "Font_change", "Color", "segmentcontrol"})
        EXPECT_TRUE(screen->outletNamed(name)) << name;
    EXPECT_EQ(screen->recordButton->frame().minY(), screen->view()->window()->safeAreaInsets().top + 50);

    auto root = screen->view();
    root->layoutIfNeeded();
    std::vector<std::shared_ptr<UIView>> shown;
    for (const auto& view : root->subviews())
        if (!view->isHidden()) shown.push_back(view);
    auto overlap = [](const CGRect& a, const CGRect& b) {
        return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
    };
    for (std::size_t i = 0; i < shown.size(); ++i)
        for (std::size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(overlap(shown[i]->frame(), shown[j]->frame()))
                << shown[i]->className() << " " << shown[i]->frame() << " and " << shown[j]->className()
                << " " << shown[j]->frame();
    // The same at start: the hints inside the transcript, and the analysis button, once shown.
    for (const auto& hint : {screen->EditIndicatorButton, screen->SaveArrowButton}) {
        CGRect inRoot = hint->convertRect_toView(hint->bounds(), root.get());
        EXPECT_TRUE(inRoot.minY() >= screen->Clipboard->frame().minY() &&
                    inRoot.maxY() <= screen->Clipboard->frame().maxY());
    }
    EXPECT_FALSE(overlap(screen->ButtonRightAnalysis->frame(), switchOf(*screen)->frame()));

    // The first screen's switch leaves room beside it for one more button of the top row.
    auto first = main();
    const CGRect top = switchOf(*first)->frame();
    EXPECT_FALSE(overlap(top, first->BackDynamicButton->frame()));
    EXPECT_GE(first->ButtonRightAnalysis->frame().minX() - top.maxX(), 44);
}

TEST_F(DictationScenesTest, TheAccessoryBarCanBeTappedOnlyAboveTheKeyboard) {
    ASSERT_TRUE(pick(*main(), 1));
    auto screen = notes();
    auto pushpin = std::dynamic_pointer_cast<UIButton>(screen->outletNamed("pushpin"));
    ASSERT_TRUE(pushpin);
    screen->Clipboard->setText("list");
    EXPECT_FALSE(pushpin->tap());

    screen->Clipboard->becomeFirstResponder();
    runUntilIdle();
    screen->dismissViewControllerAnimated_completion(false, nullptr); // the editor the touch opened
    runUntilIdle();
    ASSERT_TRUE(screen->Clipboard_keyboard);
    ASSERT_TRUE(screen->Clipboard_keyboard->typeText(" typed"));
    screen->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();
    EXPECT_TRUE(pushpin->tap());
    EXPECT_TRUE(std::dynamic_pointer_cast<UIButton>(screen->outletNamed("bookmark"))->tap());
    EXPECT_EQ(screen->Clipboard_keyboard->text(), "list typed📌📒");
    EXPECT_TRUE(std::dynamic_pointer_cast<UIButton>(screen->outletNamed("Done_button"))->tap());
    runUntilIdle();
    EXPECT_EQ(screen->Clipboard->text(), "list typed📌📒");
    EXPECT_FALSE(pushpin->tap()) << "the keyboard went, and the bar with it";

    screen->SaveText();
    runUntilIdle();
    auto list = std::dynamic_pointer_cast<quillora::NotesVCTableView>(nav->topViewController());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->data.front(), "list typed📌📒");
}
