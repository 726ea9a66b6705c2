#include "settings/InfoScenes.h"

#include <string>

#include "platform/foundation/Console.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"
#include "settings/CardGallery.h"
#include "settings/InfoScreens.h"
#include "settings/StepPage.h"
#include "settings/StepPager.h"

using namespace platform;

namespace quillora {

namespace {

constexpr const char* kModule = "Quillora.";

// Registers a scene under its class name and its module-qualified name.
void registerClass(UIStoryboard& storyboard, const std::string& name,
                   const UIStoryboard::SceneFactory& factory) {
    storyboard.registerScene(name, factory);
    storyboard.registerScene(kModule + name, factory);
}

std::shared_ptr<UIButton> hubButton(UIView& root, const std::string& title, long index) {
    auto button = UIButton::buttonWithType(UIButtonType::System);
    const CGFloat width = root.bounds().width();
    button->setFrame({40, 110 + 72.0 * static_cast<CGFloat>(index), width - 80, 56});
    button->setTitle_forState(title, UIControlStates::Normal);
    button->setTitleColor_forState(UIColor::whiteColor(), UIControlStates::Normal);
    button->setBackgroundColor(UIColor::systemBlueColor());
    button->layer().cornerRadius = 14;
    root.addSubview(button);
    return button;
}

// The hub's buttons: each performs its segue.
void infoHubViews(UIViewController& screen, UIView& root) {
    root.setBackgroundColor(UIColor::systemBackgroundColor());
    screen.setTitle("Info");
    auto me = screen.self<UIViewController>();
    struct Row {
        const char* outlet;
        const char* title;
        const char* segue;
    };
    const Row table[] = {
        {"tutorialButton", "Tutorial", "tutorial"},      {"moreAppsButton", "More Apps", "moreApps"},
        {"cardsButton", "How-to Cards", "cards"},        {"galleryButton", "App Gallery", "gallery"},
        {"supportButton", "Share & Support", "support"}, {"aboutButton", "About", "about"},
    };
    long index = 0;
    for (const auto& row : table) {
        auto button = hubButton(root, row.title, index++);
        const std::string segue = row.segue;
        button->addTarget(
            me, std::string("perform ") + row.segue,
            [segue](UIViewController& hub) {
                // The settings table is another part's scene: without it the button leads nowhere.
                auto board = hub.storyboard();
                if (segue == "support" && board && !board->hasScene("SettingsTableViewController")) {
                    console().print("The storyboard has no settings table yet");
                    return;
                }
                hub.performSegueWithIdentifier_sender(segue, nullptr);
            },
            UIControlEvent::TouchUpInside);
        screen.exposeOutlet(row.outlet, button);
    }
    auto cancel = UIBarButtonItem::initWithTitle_style_target_action(
        "Cancel", UIBarButtonItemStyle::Plain, me, "dismissInfo",
        [](UIViewController& hub) { hub.dismissViewControllerAnimated_completion(true, nullptr); });
    screen.navigationItem()->leftBarButtonItem = cancel;
}

void aboutViews(UIViewController& screen, UIView& root) {
    root.setBackgroundColor(UIColor::systemBackgroundColor());
    screen.setTitle("About");
    const CGFloat width = root.bounds().width();
    auto name = std::make_shared<UILabel>(CGRect{20, 110, width - 40, 40});
    name->setText("Quillora");
    name->setFont(UIFont::boldSystemFontOfSize(30));
    name->setTextAlignment(NSTextAlignment::Center);
    root.addSubview(name);
    auto about = std::make_shared<UITextView>(CGRect{20, 170, width - 40, 300});
    about->setEditable(false);
    about->setFont(UIFont::systemFontOfSize(17));
    about->setText(
        "Quillora turns speech into text while you speak. Pick a language, press Start Recording "
        "and talk: spoken commands become symbols and emoji, and dictation goes on for up to 30 "
        "minutes.\n\nSave what you dictated into your notes, search it, export it as a PDF or pour "
        "it into one of the document templates.\n\nMade by Quillora Labs.");
    root.addSubview(about);
    screen.exposeOutlet("nameLabel", name);
    screen.exposeOutlet("aboutText", about);
}

template <class Gallery>
void galleryViews(Gallery& gallery, UIView& root, const char* title, const char* background) {
    gallery.setTitle(title);
    root.setBackgroundColor(UIColor::blackColor());
    gallery.bgImage = std::make_shared<UIImageView>(UIImage::imageNamed(background));
    gallery.bgImage->setFrame(root.bounds());
    gallery.bgImage->setContentMode(UIViewContentMode::ScaleAspectFill);
    gallery.bgImage->setAlpha(0.55);
    root.addSubview(gallery.bgImage);
    const CGRect b = root.bounds();
    gallery.listView = std::make_shared<UIScrollView>(CGRect{0, b.midY() - 150, b.width(), 300});
    // The cards stand a third taller than the strip: the strip does not cut them off.
    gallery.listView->setClipsToBounds(false);
    gallery.listView->showsHorizontalScrollIndicator = false;
    root.addSubview(gallery.listView);
    // The background fills the screen and the strip spans it, centred, whichever way it is turned.
    for (const auto& view : {std::static_pointer_cast<UIView>(gallery.bgImage),
                             std::static_pointer_cast<UIView>(gallery.listView)})
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto self = root.self<UIView>();
    NSLayoutConstraint::activateConstraints({
        gallery.bgImage->topAnchor().constraintEqualToAnchor(self->topAnchor()),
        gallery.bgImage->bottomAnchor().constraintEqualToAnchor(self->bottomAnchor()),
        gallery.bgImage->leadingAnchor().constraintEqualToAnchor(self->leadingAnchor()),
        gallery.bgImage->trailingAnchor().constraintEqualToAnchor(self->trailingAnchor()),
        gallery.listView->leadingAnchor().constraintEqualToAnchor(self->leadingAnchor()),
        gallery.listView->trailingAnchor().constraintEqualToAnchor(self->trailingAnchor()),
        gallery.listView->centerYAnchor().constraintEqualToAnchor(self->centerYAnchor()),
        gallery.listView->heightAnchor().constraintEqualToConstant(300),
    });
}

template <class Detail>
void detailViews(Detail& detail, UIView& root, const char* licenseTitle, const char* authorTitle) {
    const CGRect b = root.bounds();
    root.setBackgroundColor(UIColor::blackColor());
    detail.bgImage = std::make_shared<UIImageView>(CGRect{0, 0, b.width(), b.height() * 0.55});
    detail.bgImage->setContentMode(UIViewContentMode::ScaleAspectFill);
    detail.bgImage->setClipsToBounds(true);
    root.addSubview(detail.bgImage);
    detail.containerView =
        std::make_shared<UIView>(CGRect{0, b.height() * 0.55, b.width(), b.height() * 0.45});
    root.addSubview(detail.containerView);
    detail.titleView = std::make_shared<UILabel>(CGRect{20, 16, b.width() - 40, 34});
    detail.titleView->setFont(UIFont::boldSystemFontOfSize(24));
    detail.titleView->setTextColor(UIColor::whiteColor());
    detail.containerView->addSubview(detail.titleView);
    detail.descriptionView = std::make_shared<UITextView>(CGRect{20, 60, b.width() - 40, 150});
    detail.descriptionView->setEditable(false);
    detail.descriptionView->setFont(UIFont::systemFontOfSize(17));
    detail.descriptionView->setTextColor(UIColor::lightTextColor());
    detail.descriptionView->setBackgroundColor(UIColor::clearColor());
    detail.containerView->addSubview(detail.descriptionView);
    auto me = detail.template self<Detail>();
    auto linkButton = [&](const char* title, CGFloat x, const char* action, void (Detail::*handler)()) {
        auto button = UIButton::buttonWithType(UIButtonType::System);
        button->setFrame({x, b.height() * 0.45 - 110, (b.width() - 60) / 2, 50});
        button->setTitle_forState(std::string(title), UIControlStates::Normal);
        button->setTitleColor_forState(UIColor::whiteColor(), UIControlStates::Normal);
        button->setBackgroundColor(UIColor::systemBlueColor());
        button->layer().cornerRadius = 12;
        button->addTarget(
            me, action, [handler](Detail& screen) { (screen.*handler)(); }, UIControlEvent::TouchUpInside);
        detail.containerView->addSubview(button);
        return button;
    };
    detail.licenseButton = linkButton(licenseTitle, 20, "actionLicense", &Detail::actionLicense);
    detail.authorButton = linkButton(authorTitle, b.width() / 2 + 10, "actionAuthor", &Detail::actionAuthor);
    detail.exposeOutlet("bgImage", detail.bgImage);
    detail.exposeOutlet("titleView", detail.titleView);
    detail.exposeOutlet("descriptionView", detail.descriptionView);
    detail.exposeOutlet("licenseButton", detail.licenseButton);
    detail.exposeOutlet("authorButton", detail.authorButton);
}

template <class Screen, class Build> UIStoryboard::SceneFactory scene(Build build) {
    return [build] {
        auto screen = std::make_shared<Screen>();
        screen->setSceneViews([build](UIViewController& controller, UIView& root) {
            build(static_cast<Screen&>(controller), root);
        });
        return screen;
    };
}

} // namespace

void registerInfoScenes(UIStoryboard& storyboard) {
    for (auto name : stepPageClassNames()) {
        const std::string className(name);
        registerClass(storyboard, className, [className] { return makeStepPage(className); });
    }
    auto fullScreen = [](std::shared_ptr<UIViewController> screen) {
        screen->setModalPresentationStyle(UIModalPresentationStyle::FullScreen);
        return screen;
    };
    registerClass(storyboard, "PageViewControllerA",
                  [fullScreen] { return fullScreen(std::make_shared<PageViewControllerA>()); });
    registerClass(storyboard, "PageViewControllerB",
                  [fullScreen] { return fullScreen(std::make_shared<PageViewControllerB>()); });
    registerClass(storyboard, "InfoViewController", scene<InfoViewController>(infoHubViews));
    registerClass(storyboard, "secondinfoViewController", scene<secondinfoViewController>(aboutViews));
    // The hub is shown in a navigation controller of its own, as a sheet.
    UIStoryboard* board = &storyboard;
    storyboard.registerScene("InfoNavigation", [board] {
        return UINavigationController::initWithRootViewController(
            board->instantiateViewControllerWithIdentifier("InfoViewController"));
    });
    storyboard.registerScene("AppViewController",
                             scene<AppViewController>([](AppViewController& g, UIView& root) {
                                 galleryViews(g, root, "App Gallery", "galleryBackground.jpg");
                             }));
    storyboard.registerScene("AppViewController1",
                             scene<AppViewController1>([](AppViewController1& g, UIView& root) {
                                 galleryViews(g, root, "How-to Cards", "helpBackground.jpg");
                             }));
    storyboard.registerScene("HerbDetailsViewController", [fullScreen] {
        return fullScreen(scene<HerbDetailsViewController>([](HerbDetailsViewController& d, UIView& root) {
            detailViews(d, root, "Store Page", "Get the App");
        })());
    });
    storyboard.registerScene("HerbDetailsViewController1", [fullScreen] {
        return fullScreen(scene<HerbDetailsViewController1>([](HerbDetailsViewController1& d, UIView& root) {
            detailViews(d, root, "Watch the Video", "Tutorial Link");
        })());
    });
    using Kind = UIStoryboardSegueKind;
    storyboard.registerSegue("InfoViewController", "tutorial", "PageViewControllerA", Kind::Present);
    storyboard.registerSegue("InfoViewController", "moreApps", "PageViewControllerB", Kind::Present);
    storyboard.registerSegue("InfoViewController", "cards", "AppViewController1", Kind::Show);
    storyboard.registerSegue("InfoViewController", "gallery", "AppViewController", Kind::Show);
    storyboard.registerSegue("InfoViewController", "support", "SettingsTableViewController", Kind::Show);
    storyboard.registerSegue("InfoViewController", "about", "secondinfoViewController", Kind::Show);
    storyboard.registerSegue("ViewController", "showInfo", "InfoNavigation", Kind::Present);
}

void addInfoButton(UIViewController& screen, UIView& root) {
    auto button = UIButton::buttonWithType(UIButtonType::InfoDark);
    button->setImage_forState(UIImage::imageNamed("info.png"), UIControlStates::Normal);
    // In the top row, right of the "Dictation | Notes | Recipe" switch (62 to 282) and left of the
    // analysis button.
    button->setFrame({288, 26, 36, 36});
    button->addTarget(
        screen.self<UIViewController>(), "showInfo",
        [](UIViewController& s) { s.performSegueWithIdentifier_sender("showInfo", nullptr); },
        UIControlEvent::TouchUpInside);
    root.addSubview(button);
    screen.exposeOutlet("infoButton", button);
}

} // namespace quillora
