// The settings table as the storyboard makes it: its two rows, the share row, and the support mail
// with or without a mail account, on a phone and on a pad.
#include "app/MainStoryboard.h"
#include "platform/foundation/Sandbox.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"
#include "platform/uikit/UIWindow.h"
#include "settings/AppCatalogue.h"
#include "settings/SettingsScenes.h"
#include "settings/SettingsTableViewController.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

using namespace platform;

class SettingsTableTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        UIApplication::sharedApplication().simulateBecomeActive();
        storyboard = std::make_shared<UIStoryboard>("Main");
        registerSettingsScenes(*storyboard);
        page = std::dynamic_pointer_cast<SettingsTableViewController>(
            storyboard->instantiateViewControllerWithIdentifier("SettingsTableViewController"));
        ASSERT_TRUE(page);
        nav = UINavigationController::initWithRootViewController(page);
        window = std::make_shared<UIWindow>();
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        runUntilIdle();
    }
    void TearDown() override {
        UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiom::Phone);
        window.reset();
        nav.reset();
        page.reset();
        PlatformTest::TearDown();
    }
    void tap(long section) {
        auto path = NSIndexPath::indexPathForRow_inSection(0, section);
        ASSERT_TRUE(page->tableView()->userTapRow(path));
        EXPECT_FALSE(page->tableView()->indexPathForSelectedRow()) << "the row is deselected at once";
        runUntilIdle();
    }
    void noAccount() {
        auto service = std::make_shared<OutboxMailService>();
        service->setAccountAvailable(false);
        MailService::setShared(service);
    }

    std::shared_ptr<UIStoryboard> storyboard;
    std::shared_ptr<SettingsTableViewController> page;
    std::shared_ptr<UINavigationController> nav;
    std::shared_ptr<UIWindow> window;
};

TEST_F(SettingsTableTest, TwoSectionsOfOneRowEach) {
    auto table = page->tableView();
    ASSERT_EQ(table->numberOfSections(), 2);
    EXPECT_EQ(table->numberOfRowsInSection(0), 1);
    EXPECT_EQ(table->numberOfRowsInSection(1), 1);
    EXPECT_EQ(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow_inSection(0, 0))->textLabel()->text(),
              "Share with Your Friends \U0001F913");
    EXPECT_EQ(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow_inSection(0, 1))->textLabel()->text(),
              "Email Support");
}

TEST_F(SettingsTableTest, ShareRecommendsTheAppCentredWithoutAnArrowOnAPad) {
    for (auto idiom : {UIUserInterfaceIdiom::Phone, UIUserInterfaceIdiom::Pad}) {
        UIDevice::currentDevice().setUserInterfaceIdiom(idiom);
        tap(0);
        auto sheet = std::dynamic_pointer_cast<UIActivityViewController>(page->presentedViewController());
        ASSERT_TRUE(sheet);
        ASSERT_EQ(sheet->activityItems().size(), 2u);
        EXPECT_EQ(std::get<std::string>(sheet->activityItems()[0]),
                  "Check out Quillora App , Fantastic Quillora Converter tool ");
        EXPECT_EQ(std::get<NSURL>(sheet->activityItems()[1]).absoluteString(), settings::storePage);
        if (idiom == UIUserInterfaceIdiom::Pad) {
            auto popover = sheet->popoverPresentationController();
            ASSERT_TRUE(popover);
            EXPECT_EQ(popover->sourceView.lock(), page->view());
            EXPECT_EQ(popover->sourceRect, (CGRect{195, 422, 0, 0}));
            EXPECT_EQ(popover->permittedArrowDirections, UIPopoverArrowDirections::None);
        }
        sheet->userCompleteWithActivity(std::nullopt);
        runUntilIdle();
        EXPECT_FALSE(page->presentedViewController());
    }
}

TEST_F(SettingsTableTest, EmailSupportComposesToOneAddressAndAnyEndingJustClosesIt) {
    int round = 0;
    for (auto finish : {&MFMailComposeViewController::userSend, &MFMailComposeViewController::userSave,
                        &MFMailComposeViewController::userCancel}) {
        tap(1);
        auto composer =
            std::dynamic_pointer_cast<MFMailComposeViewController>(page->presentedViewController());
        ASSERT_TRUE(composer) << round;
        EXPECT_EQ(composer->draft().toRecipients,
                  (std::vector<std::string>{std::string(settings::supportAddress)}));
        EXPECT_EQ(composer->draft().subject, "Feedback Quillora");
        EXPECT_EQ(composer->draft().body, "Feedback/suggestion about Quillora App");
        EXPECT_FALSE(composer->draft().bodyIsHTML);
        ASSERT_TRUE(((*composer).*finish)());
        runUntilIdle();
        EXPECT_FALSE(page->presentedViewController()) << "the composer is closed, round " << round;
        ++round;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Sandbox::documents() / "Mail" / "Outbox"),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(SettingsTableTest, WithoutAMailAccountASheetSaysTheMessageWasNotSent) {
    noAccount();
    for (auto idiom : {UIUserInterfaceIdiom::Phone, UIUserInterfaceIdiom::Pad}) {
        UIDevice::currentDevice().setUserInterfaceIdiom(idiom);
        tap(1);
        auto sheet = std::dynamic_pointer_cast<UIActivityViewController>(page->presentedViewController());
        ASSERT_TRUE(sheet) << "no composer, a share sheet instead";
        ASSERT_EQ(sheet->activityItems().size(), 1u);
        EXPECT_EQ(std::get<std::string>(sheet->activityItems()[0]), "Message not sent ");
        if (idiom == UIUserInterfaceIdiom::Pad) {
            auto popover = sheet->popoverPresentationController();
            ASSERT_TRUE(popover);
            EXPECT_EQ(popover->sourceView.lock(), page->view());
            EXPECT_EQ(popover->sourceRect, CGRect{}) << "the platform's default rectangle";
            EXPECT_EQ(popover->permittedArrowDirections, UIPopoverArrowDirections::Any);
        }
        sheet->userCompleteWithActivity(std::nullopt);
        runUntilIdle();
    }
}

TEST_F(SettingsTableTest, TheMainStoryboardHasTheScene) {
    UIStoryboard main("Main");
    MainStoryboard(main);
    EXPECT_TRUE(main.hasScene("SettingsTableViewController"));
}

} // namespace quillora::test
