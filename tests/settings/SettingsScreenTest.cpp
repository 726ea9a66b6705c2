// The settings screen as a person uses it: the font-size stepper and what the dictation screens
// make of it, closing, the row colours, the links, sharing above the screen, the feedback mail
// sheet, and the tutorial's player.
#include <cairo.h>
#include <cmath>
#include <limits>

#include <filesystem>

#include "platform/avkit/VideoPlayer.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/Sandbox.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIScreen.h"
#include "settings/AppCatalogue.h"
#include "settings/SettingsSwiftUIView.h"
#include "tests/dictation/DictationTestSupport.h"

namespace quillora::test {

using namespace platform;
using platform::swiftui::Node;
using platform::swiftui::UIHostingController;

namespace {

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        out.push_back(entry.path());
    return out;
}

// A service that has an account but whose hand-over fails.
class FailingService : public MailService {
public:
    bool canSendMail() const override { return true; }
    void deliver(const MailDraft&, const std::filesystem::path&, Delivered done) override {
        done(NSError{"MFMailComposeErrorDomain", 7, "no connection to the mail client"});
    }
};

} // namespace

class SettingsScreenTest : public DictationScreenTest {
protected:
    // Presents the settings from the main screen, as its settings button does, keeping a copy of
    // the view (its states are the ones the screen shows).
    void openSettings(const std::function<void(SettingsSwiftUIView&)>& before = nullptr) {
        if (!screen) show();
        SettingsSwiftUIView view;
        view.presentingVC = screen;
        if (before) before(view);
        settings = view;
        hosting = std::make_shared<UIHostingController>(view);
        screen->presentViewController_animated_completion(hosting, true, nullptr);
        runUntilIdle();
        ASSERT_EQ(screen->presentedViewController(), hosting);
    }
    const Node& tree() { return hosting->host()->tree(); }
    std::string stepperLabel() {
        if (!hosting) return "";
        const Node* stepper = tree().findKind("Stepper");
        return stepper ? stepper->label() : "";
    }
    void press(const std::string& label) {
        ASSERT_TRUE(hosting->host()->press(label)) << hosting->host()->lastError();
        runUntilIdle();
    }
    void watchFontValue() {
        NSNotificationCenter::defaultCenter().addObserver(
            observer, "fontValue", [this](const NSNotification& n) {
                posted.push_back(std::get<std::string>(n.userInfo.at("fontvalue")));
                storedWhilePosting.push_back(
                    NSUserDefaults::standardUserDefaults()->integerForKey("savefontSizeApp"));
                linesWhilePosting = consoleLines();
            });
    }
    void TearDown() override {
        NSNotificationCenter::defaultCenter().removeObserver(observer.get());
        hosting.reset();
        settings.reset();
        DictationScreenTest::TearDown();
    }

    std::optional<SettingsSwiftUIView> settings;
    std::shared_ptr<UIHostingController> hosting;
    std::shared_ptr<int> observer = std::make_shared<int>(0);
    std::vector<std::string> posted;
    std::vector<NSInteger> storedWhilePosting;
    std::vector<std::string> linesWhilePosting;
};

TEST_F(SettingsScreenTest, TheStepperStoresThenAnnouncesEverySizeWithoutBounds) {
    // Nothing stored yet: the screen reads 0 (the dictation screens are not there to write 18).
    SettingsSwiftUIView fresh;
    EXPECT_EQ(fresh.stepperValue.get(), 0);
    EXPECT_EQ(fresh.oldfontSizeApp.get(), 0);
    EXPECT_FALSE(fresh.isPresented.get());
    EXPECT_FALSE(fresh.isShowingMailView.get());
    EXPECT_EQ(fresh.colors, (std::vector<std::string>{"White", "Black", "Blue"}));
    EXPECT_EQ(fresh.selectedColor.get(), "White");
    EXPECT_TRUE(fresh.presentingVC.expired());

    watchFontValue();
    auto defaults = NSUserDefaults::standardUserDefaults();
    struct Case {
        std::optional<NSInteger> stored;
        bool plus;
        std::string shownBefore, shownAfter, posted;
    };
    for (const Case& c : {Case{std::nullopt, true, "Font Size: 0", "Font Size: 1", "1"},
                          Case{18, true, "Font Size: 18", "Font Size: 19", "19"},
                          Case{1, false, "Font Size: 1", "Font Size: 0", "0"},
                          Case{0, false, "Font Size: 0", "Font Size: -1", "-1"},
                          Case{999, true, "Font Size: 999", "Font Size: 1000", "1000"}}) {
        if (c.stored)
            defaults->setInteger_forKey(*c.stored, "savefontSizeApp");
        else
            defaults->removeObjectForKey("savefontSizeApp");
        auto host = swiftui::ViewHost::make(SettingsSwiftUIView());
        hosting = nullptr;
        const Node* stepper = host->tree().findKind("Stepper");
        ASSERT_TRUE(stepper);
        EXPECT_EQ(stepper->label(), c.shownBefore);
        // The label is bold.
        const Node* text = stepper->findKind("Text");
        ASSERT_TRUE(text && text->runs.at(0).font);
        EXPECT_EQ(text->runs[0].font->weight, "bold");
        posted.clear();
        storedWhilePosting.clear();
        takeConsole();
        ASSERT_TRUE(c.plus ? host->increment(c.shownBefore) : host->decrement(c.shownBefore));
        EXPECT_EQ(posted, (std::vector<std::string>{c.posted})) << c.shownBefore;
        EXPECT_EQ(storedWhilePosting, (std::vector<NSInteger>{std::stol(c.posted)}))
            << "stored before the post";
        EXPECT_EQ(defaults->integerForKey("savefontSizeApp"), std::stol(c.posted));
        EXPECT_EQ(host->tree().findKind("Stepper")->label(), c.shownAfter);
        EXPECT_EQ(takeConsole(),
                  (std::vector<std::string>{c.plus ? "Stepper onIncrement" : "Stepper onDecrement"}));
        ASSERT_FALSE(linesWhilePosting.empty());
        EXPECT_EQ(linesWhilePosting.back(), c.plus ? "Stepper onIncrement" : "Stepper onDecrement")
            << "the line is printed before anything else happens";
    }

    // A size no stepper wrote (a file edited by hand or damaged) starts from the default size.
    for (double stored :
         {1e308, -1e308, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN(), 9.3e18}) {
        SCOPED_TRACE(stored);
        defaults->setDouble_forKey(stored, "savefontSizeApp");
        auto host = swiftui::ViewHost::make(SettingsSwiftUIView());
        EXPECT_EQ(host->tree().findKind("Stepper")->label(),
                  std::isnan(stored) ? "Font Size: 0" : "Font Size: 18");
        ASSERT_TRUE(host->increment("Font Size"));
        EXPECT_EQ(host->tree().findKind("Stepper")->label(),
                  std::isnan(stored) ? "Font Size: 1" : "Font Size: 19");
    }
}

TEST_F(SettingsScreenTest, TheCoveredMainScreenFollowsAtOnceAndANewOneStartsAtTheNewSize) {
    show();
    ASSERT_EQ(NSUserDefaults::standardUserDefaults()->integerForKey("savefontSizeApp"), 18);
    screen->FontDynamicButton->tap();
    runUntilIdle();
    hosting = std::dynamic_pointer_cast<UIHostingController>(screen->presentedViewController());
    ASSERT_TRUE(hosting) << "the settings button presents the settings";
    EXPECT_EQ(stepperLabel(), "Font Size: 18");
    ASSERT_TRUE(hosting->host()->increment("Font Size: 18"));
    EXPECT_EQ(screen->textView->font(), UIFont::fontWithName_size("Courier", 19));
    EXPECT_EQ(screen->Clipboard->font(), UIFont::fontWithName_size("Courier", 19));

    auto next = std::make_shared<ViewController>();
    next->view();
    EXPECT_EQ(next->Clipboard->font()->pointSize, 19);
}

TEST_F(SettingsScreenTest, CancelClosesTheScreenOnlyWhenItKnowsItsPresenter) {
    openSettings();
    const Node* close = tree().findControl(" \U0001F167 Cancel ");
    ASSERT_TRUE(close);
    EXPECT_EQ(close->modifier("font")->font("font")->name, "Avenir-Medium");
    press(" \U0001F167 Cancel ");
    EXPECT_FALSE(screen->presentedViewController());

    openSettings([](SettingsSwiftUIView& view) { view.presentingVC.reset(); });
    press(" \U0001F167 Cancel ");
    EXPECT_EQ(screen->presentedViewController(), hosting) << "without presentingVC the screen stays open";
}

TEST_F(SettingsScreenTest, RowTitlesFollowTheColourSchemeWhileSymbolsKeepTheirColours) {
    openSettings();
    const std::vector<std::pair<std::string, std::string>> rows{
        {"Our Apps", "orange"},
        {"Voice Recognition Commands", "blue"},
        {"Website", "red"},
        {std::string(settings::otherProductTitle), "green"},
        {"Share with Friends", "blue"},
        {"Feedback", "yellow"}};
    for (auto scheme : {swiftui::ColorScheme::light, swiftui::ColorScheme::dark}) {
        hosting->host()->setColorScheme(scheme);
        auto cells = tree().findAllKind("SettingsCell");
        ASSERT_EQ(cells.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(cells[i]->text(), rows[i].first);
            EXPECT_EQ(cells[i]->foregroundColor()->name,
                      scheme == swiftui::ColorScheme::dark ? "white" : "black");
            auto images = cells[i]->findAllKind("Image");
            ASSERT_EQ(images.size(), 2u);
            EXPECT_EQ(images[0]->foregroundColor()->name, rows[i].second);
            EXPECT_EQ(images[1]->textProp("systemName"), "chevron.right");
            EXPECT_EQ(images[1]->foregroundColor()->name, "gray");
            EXPECT_FALSE(cells[i]->findText(rows[i].first)->foregroundColor())
                << "the title takes the row's colour";
        }
    }
}

TEST_F(SettingsScreenTest, LinkRowsOpenOurPagesThroughTheApplicationWhichPrintsThem) {
    openSettings();
    for (auto [row, url] : {std::pair{"Our Apps", settings::developerPage},
                            {"Voice Recognition Commands", settings::commandHelpPage},
                            {"Website", settings::website},
                            {settings::otherProductTitle.data(), settings::otherProductPage}}) {
        press(row);
        ASSERT_FALSE(UIApplication::sharedApplication().openedURLs().empty());
        EXPECT_EQ(UIApplication::sharedApplication().openedURLs().back(), url);
        EXPECT_TRUE(consoleHas("Opened URL " + std::string(url)));
        EXPECT_EQ(url.substr(0, 21), "https://quillora.app/");
    }
    EXPECT_EQ(UIApplication::sharedApplication().openedURLs().size(), 4u) << "one record of each";
}

TEST_F(SettingsScreenTest, ShareIsPresentedAboveTheSettingsAndAnchoredAtTheBottomCentreOnAPad) {
    for (auto idiom : {UIUserInterfaceIdiom::Phone, UIUserInterfaceIdiom::Pad}) {
        UIDevice::currentDevice().setUserInterfaceIdiom(idiom);
        openSettings();
        press("Share with Friends");
        auto sheet = std::dynamic_pointer_cast<UIActivityViewController>(hosting->presentedViewController());
        ASSERT_TRUE(sheet) << "the sheet is shown above the settings, not refused";
        ASSERT_EQ(sheet->activityItems().size(), 2u);
        EXPECT_EQ(std::get<std::string>(sheet->activityItems()[0]),
                  "Check out Quillora App , Fantastic Quillora Converter tool ");
        EXPECT_EQ(std::get<NSURL>(sheet->activityItems()[1]).absoluteString(), settings::storePage);
        if (idiom == UIUserInterfaceIdiom::Pad) {
            auto popover = sheet->popoverPresentationController();
            ASSERT_TRUE(popover);
            EXPECT_EQ(popover->sourceView.lock(), window->rootViewController()->view());
            EXPECT_EQ(popover->sourceRect, (CGRect{195, 844, 0, 0}));
            EXPECT_EQ(popover->permittedArrowDirections, UIPopoverArrowDirections::Down);
        }
        ASSERT_TRUE(sheet->userCompleteWithActivity(std::nullopt));
        runUntilIdle();
        screen->dismissViewControllerAnimated_completion(false, nullptr);
        runUntilIdle();
    }
    UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiom::Phone);
}

TEST_F(SettingsScreenTest, FeedbackIsAComposerSheetWhoseSentMailLandsInTheOutbox) {
    openSettings();
    press("Feedback");
    EXPECT_TRUE(settings->isShowingMailView.get());
    auto composer =
        std::dynamic_pointer_cast<MFMailComposeViewController>(hosting->presentedViewController());
    ASSERT_TRUE(composer);
    EXPECT_EQ(composer->draft().toRecipients,
              (std::vector<std::string>{std::string(settings::supportAddress),
                                        std::string(settings::feedbackAddress)}));
    EXPECT_EQ(composer->draft().subject, "");
    EXPECT_EQ(composer->draft().body, "");
    ASSERT_TRUE(composer->userSend());
    runUntilIdle();
    EXPECT_FALSE(hosting->presentedViewController()) << "the coordinator closes the sheet";
    EXPECT_FALSE(settings->isShowingMailView.get()) << "and the flag goes back";
    ASSERT_TRUE(settings->result.get());
    EXPECT_EQ(std::get<MFMailComposeResult>(*settings->result.get()), MFMailComposeResult::Sent);
    auto sent = filesIn(Sandbox::documents() / "Mail" / "Outbox");
    ASSERT_EQ(sent.size(), 1u);
    auto text = NSFileManager::defaultManager().contentsAtPath(sent[0].string());
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("To: support@quillora.app, feedback@quillora.app"), std::string::npos) << *text;

    // A second Feedback shows the composer again; a cancel writes nothing.
    press("Feedback");
    auto again = std::dynamic_pointer_cast<MFMailComposeViewController>(hosting->presentedViewController());
    ASSERT_TRUE(again);
    EXPECT_NE(again, composer) << "a new composer each time";
    ASSERT_TRUE(again->userCancel());
    runUntilIdle();
    EXPECT_FALSE(hosting->presentedViewController());
    EXPECT_EQ(std::get<MFMailComposeResult>(*settings->result.get()), MFMailComposeResult::Cancelled);
    EXPECT_EQ(filesIn(Sandbox::documents() / "Mail" / "Outbox").size(), 1u);

    // Swiped away: the flag still goes back, so the row works again.
    press("Feedback");
    ASSERT_TRUE(hosting->presentedViewController());
    hosting->dismissViewControllerAnimated_completion(true, nullptr);
    runUntilIdle();
    EXPECT_FALSE(settings->isShowingMailView.get());
    press("Feedback");
    EXPECT_TRUE(std::dynamic_pointer_cast<MFMailComposeViewController>(hosting->presentedViewController()));
}

TEST_F(SettingsScreenTest, AMailNotSentSaysSoAndWhereItIsAndWithoutAnAccountFeedbackIsDisabled) {
    // A desktop where no mail program takes mailto: links, and one whose mail client fails.
    auto noMailProgram = std::make_shared<OutboxMailService>();
    noMailProgram->setHandOffEnabled([] { return true; });
    noMailProgram->setProcessRunner(
        [](const std::vector<std::string>& argv,
           OutboxMailService::Output) -> std::optional<OutboxMailService::ProcessResult> {
            if (argv[0] == "xdg-mime") return OutboxMailService::ProcessResult{0, "\n"};
            ADD_FAILURE() << "nothing to hand the mail to, yet " << argv[0] << " ran";
            return std::nullopt;
        });
    struct Case {
        std::shared_ptr<MailService> service;
        std::string reason;
    };
    const auto outbox = Sandbox::documents() / "Mail" / "Outbox";
    for (const auto& [service, reason] :
         {Case{noMailProgram, "No mail program on this computer takes mailto: links"},
          Case{std::make_shared<FailingService>(), "no connection to the mail client"}}) {
        SCOPED_TRACE(reason);
        std::filesystem::remove_all(outbox);
        MailService::setShared(service);
        openSettings();
        press("Feedback");
        auto composer =
            std::dynamic_pointer_cast<MFMailComposeViewController>(hosting->presentedViewController());
        ASSERT_TRUE(composer);
        ASSERT_TRUE(composer->userSend());
        advance(0);
        // Not closed as if it went out: the person reads that it did not, and where it is.
        auto alert = std::dynamic_pointer_cast<UIAlertController>(composer->presentedViewController());
        ASSERT_TRUE(alert);
        const auto kept = filesIn(outbox);
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(alert->title(), "Mail Not Sent");
        EXPECT_EQ(alert->message(), reason + ". The message was kept in " + kept[0].string() + ".");
        EXPECT_FALSE(composer->userSend()) << "sent once is enough";
        ASSERT_TRUE(alert->pressActionWithTitle("OK"));
        runUntilIdle();
        EXPECT_FALSE(hosting->presentedViewController());
        ASSERT_TRUE(settings->result.get());
        ASSERT_TRUE(std::holds_alternative<NSError>(*settings->result.get()));
        EXPECT_EQ(std::get<NSError>(*settings->result.get()).localizedDescription, reason);
        screen->dismissViewControllerAnimated_completion(false, nullptr);
        runUntilIdle();
    }
    auto service = std::make_shared<OutboxMailService>();
    service->setAccountAvailable(false);
    MailService::setShared(service);
    openSettings();
    const Node* feedback = tree().findControl("Feedback");
    ASSERT_TRUE(feedback);
    EXPECT_FALSE(feedback->enabled);
    EXPECT_FALSE(hosting->host()->press("Feedback"));
    EXPECT_TRUE(tree().findControl("Website")->enabled);
}

TEST_F(SettingsScreenTest, OnePlayerPerPresentationThatKeepsPlayingThroughStepperPresses) {
    openSettings();
    auto player = swiftui::videoPlayerOf(*tree().findKind("VideoPlayer"));
    ASSERT_TRUE(player);
    EXPECT_EQ(player->currentItem()->status(), AVPlayerItemStatus::ReadyToPlay);
    EXPECT_EQ(player->rate(), 0) << "the video waits for a press";
    EXPECT_EQ(tree().findKind("VideoPlayer")->modifier("frame")->number("width"), 390);
    EXPECT_EQ(tree().findKind("VideoPlayer")->modifier("frame")->number("height"), 300);
    press("Video");
    advance(3);
    ASSERT_TRUE(hosting->host()->increment(stepperLabel()));
    runUntilIdle();
    EXPECT_EQ(swiftui::videoPlayerOf(*tree().findKind("VideoPlayer")), player)
        << "the rebuild keeps the player";
    EXPECT_NEAR(player->currentTime(), 3, 1e-9) << "and the video is not rewound";

    screen->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();
    openSettings();
    EXPECT_NE(swiftui::videoPlayerOf(*tree().findKind("VideoPlayer")), player)
        << "a new presentation, a new player";
}

TEST_F(SettingsScreenTest, AMissingVideoGivesAFailedPlayerAndAConsoleLineNotABrokenScreen) {
    auto bundle = home / "bundle";
    std::filesystem::create_directories(bundle);
    for (const auto& entry : std::filesystem::directory_iterator(sourceBundle()))
        if (entry.path().filename() != "videotutorial.mp4")
            std::filesystem::copy(entry.path(), bundle / entry.path().filename());
    NSBundle::mainBundle().setBundlePath(bundle);
    openSettings();
    const Node* video = tree().findKind("VideoPlayer");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->textProp("status"), "failed");
    EXPECT_TRUE(consoleHas("videotutorial.mp4 is missing from the bundle"));
    EXPECT_TRUE(tree().findControl("Feedback")) << "the rest of the screen is there";
    EXPECT_EQ(stepperLabel(), "Font Size: 18");
    NSBundle::mainBundle().setBundlePath(sourceBundle());
}

TEST_F(SettingsScreenTest, TheDrawnScreenShowsTheVideoFrameOfThePlayersPosition) {
    openSettings();
    // How many pixels of the drawn screen (scale 1) have the colour of the slide.
    auto countOf = [](int r, int g, int b) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 390, 844);
        cairo_t* cr = cairo_create(surface);
        ScreenRenderer::draw(cr, 1);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface), count = 0;
        for (int y = 0; y < 844; ++y)
            for (int x = 0; x < 390; ++x) {
                const unsigned char* p = data + y * stride + x * 4;
                if (std::abs(p[2] - r) < 20 && std::abs(p[1] - g) < 20 && std::abs(p[0] - b) < 20) ++count;
            }
        cairo_surface_destroy(surface);
        return count;
    };
    // The first slide is blue, the third green (see scripts/make-tutorial-video.cpp).
    EXPECT_GT(countOf(31, 89, 191), 20000) << "the first picture before playing";
    EXPECT_LT(countOf(38, 140, 64), 100);
    press("Video");
    advance(4.5);
    EXPECT_GT(countOf(38, 140, 64), 20000) << "the picture at 4.5 s";
}

} // namespace quillora::test
