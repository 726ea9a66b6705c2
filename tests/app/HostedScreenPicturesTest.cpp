// The declarative screens as the main screen presents them, drawn by the screen renderer and
// compared with committed pictures (tests/app/pictures, QUILLORA_UPDATE_GOLDENS=1 rewrites them).
#include <memory>
#include <string>

#include "app/ApplicationMain.h"
#include "common/StoredKeys.h"
#include "dictation/ViewController.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/swiftui/HostingView.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/ImageCompare.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
namespace keys = quillora::keys;

namespace {

const std::filesystem::path kPictures = std::filesystem::path(__FILE__).parent_path() / "pictures";

class HostedScreenPicturesTest : public quillora::test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        auto d = NSUserDefaults::standardUserDefaults();
        d->setObject_forKey(std::string("The hen laid an egg 🥚 and the fox ran off with it."),
                            std::string(keys::saveclipBoardText));
        d->setObject_forKey(StringArray{"laid", "ran"}, std::string(keys::savedarrayverb));
        d->setObject_forKey(StringArray{"hen", "egg", "fox"}, std::string(keys::savedarraynoun));
        d->setObject_forKey(StringArray{"off"}, std::string(keys::savedarrayadjective));
        d->setObject_forKey(StringArray{"it"}, std::string(keys::savedarraypronoun));
        // The chart reads its counters once per process: every test stores the same ones.
        d->setInteger_forKey(5, std::string(keys::totalverbcount));
        d->setInteger_forKey(7, std::string(keys::totalnouncount));
        d->setInteger_forKey(2, std::string(keys::totalpronouncount));
        d->setInteger_forKey(3, std::string(keys::totaladjectivecount));
        d->setInteger_forKey(12, std::string(keys::timedictateTotal));
        d->setInteger_forKey(20, std::string(keys::totalwordcount));
        UIApplication::sharedApplication().setMainLoop([] { return 0; });
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        ASSERT_EQ(quillora::applicationMain(1, argv), 0);
        auto nav = std::dynamic_pointer_cast<UINavigationController>(
            UIApplication::sharedApplication().keyWindow()->rootViewController());
        ASSERT_TRUE(nav);
        screen = std::dynamic_pointer_cast<quillora::ViewController>(nav->topViewController());
        ASSERT_TRUE(screen);
    }

    std::shared_ptr<swiftui::UIHostingController> presented() const {
        return std::dynamic_pointer_cast<swiftui::UIHostingController>(screen->presentedViewController());
    }

    void expectPicture(const std::string& name) {
        advance(1); // the presentation's animation is over
        auto actual = home / (name + ".png");
        auto error = ScreenRenderer::writePNG(actual.string(), 2);
        ASSERT_FALSE(error) << *error;
        auto result = quillora::test::compareWithGolden(actual, kPictures / (name + ".png"));
        EXPECT_TRUE(result.matches) << result.message;
    }

    std::shared_ptr<quillora::ViewController> screen;
};

} // namespace

TEST_F(HostedScreenPicturesTest, AnalysisScreenWithItsDonutLegendAndWordRows) {
    screen->textAnalysisButtonTapped();
    runUntilIdle();
    ASSERT_TRUE(presented());
    expectPicture("analysis");
}

TEST_F(HostedScreenPicturesTest, AnalysisScreenAfterTheNounWedgeAndAWordWereTapped) {
    screen->textAnalysisButtonTapped();
    runUntilIdle();
    auto hosting = presented();
    ASSERT_TRUE(hosting);
    auto view = std::dynamic_pointer_cast<swiftui::HostingView>(hosting->view());
    ASSERT_TRUE(view);
    // The noun wedge lies below the centre of the donut, a word button in the second word row.
    const auto* donut = view->layout().viewBox(hosting->host()->tree().findKind("DonutChart")->path);
    ASSERT_TRUE(donut);
    CGPoint nounWedge{donut->frame.midX() + 20, donut->frame.midY() + 55};
    const auto* hen = view->layout().controlBox("hen");
    ASSERT_TRUE(hen);
    for (CGPoint p : {nounWedge, CGPoint{hen->frame.midX(), hen->frame.midY()}}) {
        CGPoint onScreen = view->convertPoint_toView(p, nullptr);
        ScreenRenderer::sendTouch(UITouchPhase::Began, onScreen, 0);
        ScreenRenderer::sendTouch(UITouchPhase::Ended, onScreen, 0.1);
        runUntilIdle();
    }
    const auto& tree = hosting->host()->tree();
    ASSERT_TRUE(tree.findText(" Noun\n: 7.0")) << tree.describe();
    expectPicture("analysis-noun-hen");
}

TEST_F(HostedScreenPicturesTest, EditorSheetWithTheTranscript) {
    // The editor opens on the screen's transcript as it stands.
    screen->Clipboard->setText(
        *NSUserDefaults::standardUserDefaults()->stringForKey(std::string(keys::saveclipBoardText)));
    screen->textEditButtonTapped();
    runUntilIdle();
    ASSERT_TRUE(presented());
    expectPicture("editor");
}

TEST_F(HostedScreenPicturesTest, SettingsAndGalleryPlaceholdersPresentedFromTheMainScreen) {
    screen->showSettingViewController();
    runUntilIdle();
    ASSERT_TRUE(presented());
    expectPicture("settings");
    screen->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();
    screen->swiftUipdfButtonTapped();
    runUntilIdle();
    ASSERT_TRUE(presented());
    expectPicture("gallery");
}
