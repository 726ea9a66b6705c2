#include "app/MainStoryboard.h"

#include "detail/DetailScenes.h"
#include "dictation/NotesViewController.h"
#include "dictation/RecipeViewController.h"
#include "dictation/ViewController.h"
#include "entries/EntryScenes.h"
#include "pdf/PDFScenes.h"
#include "platform/uikit/SceneControls.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UISegmentedControl.h"
#include "settings/InfoScenes.h"
#include "settings/SettingsScenes.h"

using namespace platform;

namespace quillora {

namespace {

// The scene's Save item, kept by the navigation item; the screen holds it weakly.
template <class Screen> void addSaveItem(Screen& screen) {
    auto save = UIBarButtonItem::initWithTitle_style_target_action(
        "Save", UIBarButtonItemStyle::Plain, screen.template self<Screen>(), screen.screenTable().saveAction,
        [](Screen& s) { s.SaveText(); });
    screen.navigationItem()->rightBarButtonItem = save;
    screen.saveText = save;
}

// "Dictation | Notes | Recipe" between the back and analysis buttons, the screen's own segment
// selected; a screen whose scene the storyboard lacks cannot be picked. The top row keeps room
// right of it for one more button.
void addDictationSwitch(DictationScreen& screen, UIView& root) {
    auto control = UISegmentedControl::initWithItems(dictationSwitchTitles());
    control->setFrame({62, 28, 220, 32});
    const auto& scenes = dictationSceneIdentifiers();
    auto board = screen.storyboard();
    for (long i = 0; i < control->numberOfSegments(); ++i)
        control->setEnabled_forSegmentAtIndex(board && board->hasScene(scenes[static_cast<std::size_t>(i)]),
                                              i);
    control->setSelectedSegmentIndex(screen.screenTable().segment);
    control->addTarget(
        screen.self<DictationScreen>(), "dictationScreenSelected",
        [](DictationScreen& s) { s.dictationScreenSelected(); }, UIControlEvent::ValueChanged);
    root.addSubview(control);
    screen.segmentcontrol = control;
}

// The notes scene: the switch, the accessory bar the keyboard overlay carries, and the help, font
// and colour buttons between the live view and the transcript.
void notesSceneViews(DictationScreen& screen, UIView& root) {
    using S = DictationScreen;
    addDictationSwitch(screen, root);

    const CGFloat W = UIScreen::mainScreen().bounds().width();
    const CGFloat H = UIScreen::mainScreen().bounds().height();
    auto bar = sceneAccessoryBar(W);
    struct Item {
        const char* name;
        const char* title;
        void (S::*action)();
    };
    const Item items[] = {{"tickmark_clicked", "✔️", &S::tickmark_clicked},
                          {"bookmark", "📒", &S::bookmark},
                          {"paperclip", "📎", &S::paperclip},
                          {"pushpin", "📌", &S::pushpin},
                          {"Done_button", "Done", &S::Done_button},
                          {"keyboardClose", "Close", &S::keyboardClose}};
    const CGFloat slot = W / static_cast<CGFloat>(std::size(items));
    CGFloat x = 0;
    for (const auto& item : items) {
        bar->addSubview(sceneButton(screen, item.name, {x + 2, 2, slot - 4, 40}, item.title, nullptr,
                                    item.name, [action = item.action](S& s) { (s.*action)(); }));
        x += slot;
    }
    screen.toolBarView = bar;
    // The transcript's bottom guide of the scene: kept as the outlet names it; the screen reads
    // nothing from it.
    auto guide = bar->heightAnchor().constraintEqualToConstant(44);
    bar->addConstraint(guide);
    screen.textViewBottomLayoutGuideConstraint = guide;

    // Below the live view (which ends at 2/5 of the height) and above the transcript (at half).
    const CGFloat y = H * 0.4 + 12;
    root.addSubview(sceneButton(screen, "PushPin_emoji", {10, y, 50, 50}, "", "command_list.png",
                                "PushPin_emoji", [](S& s) { s.PushPin_emoji(); }));
    root.addSubview(sceneButton(screen, "Font_change", {70, y, 50, 50}, "Aa", nullptr, "Font_change",
                                [](S& s) { s.Font_change(); }));
    root.addSubview(
        sceneButton(screen, "Color", {130, y, 50, 50}, "🎨", nullptr, "Color", [](S& s) { s.Color(); }));
}

// The recipe scene: the switch, an accessory bar with Done and close, and a row of buttons between
// the live view and the transcript: the food help, the four symbols, the two menus and the recipe
// text view.
void recipeSceneViews(DictationScreen& screen, UIView& root) {
    using S = DictationScreen;
    addDictationSwitch(screen, root);

    const CGFloat W = UIScreen::mainScreen().bounds().width();
    const CGFloat H = UIScreen::mainScreen().bounds().height();
    auto bar = doneAndCloseKeyboardBar(screen);
    screen.toolBarView = bar;
    auto guide = bar->heightAnchor().constraintEqualToConstant(44);
    bar->addConstraint(guide);
    screen.textViewBottomLayoutGuideConstraint = guide;

    struct Item {
        const char* name;
        const char* title;
        const char* image;
        void (S::*action)();
    };
    const Item items[] = {{"Fruit_emoji", "🍱", nullptr, &S::Fruit_emoji},
                          {"tickmark_clicked", "✔️", nullptr, &S::tickmark_clicked},
                          {"bookmark", "📒", nullptr, &S::bookmark},
                          {"paperclip", "📎", nullptr, &S::paperclip},
                          {"pushpin", "📌", nullptr, &S::pushpin},
                          {"Font_change", "Aa", nullptr, &S::Font_change},
                          {"Color", "🎨", nullptr, &S::Color}};
    const CGFloat y = H * 0.4 + 12, slot = W / 8;
    CGFloat x = 0;
    for (const auto& item : items) {
        root.addSubview(sceneButton(screen, item.name, {x + 2, y, slot - 4, 44}, item.title, item.image,
                                    item.name, [action = item.action](S& s) { (s.*action)(); }));
        x += slot;
    }
    auto& recipe = dynamic_cast<RecipeViewController&>(screen);
    root.addSubview(sceneButton(recipe, "RecipeBookButton", {x + 2, y, slot - 4, 44}, "📖", nullptr,
                                "showRecipeBook", [](RecipeViewController& s) { s.showRecipeBook(); }));
}

// A scene builder for the dictation screens' own outlets.
std::function<void(UIViewController&, UIView&)> dictationScene(void (*build)(DictationScreen&, UIView&)) {
    return [build](UIViewController& screen, UIView& root) {
        build(dynamic_cast<DictationScreen&>(screen), root);
    };
}

} // namespace

void MainStoryboard(platform::UIStoryboard& storyboard) {
    storyboard.registerScene("ViewController", [] {
        auto screen = std::make_shared<ViewController>();
        addSaveItem(*screen);
        screen->setSceneViews([](UIViewController& s, UIView& root) {
            addDictationSwitch(dynamic_cast<DictationScreen&>(s), root);
            addInfoButton(s, root);
        });
        return screen;
    });
    storyboard.registerScene("NotesViewController", [] {
        auto screen = std::make_shared<NotesViewController>();
        addSaveItem(*screen);
        screen->setSceneViews(dictationScene(notesSceneViews));
        return screen;
    });
    storyboard.registerScene("RecipeViewController", [] {
        auto screen = std::make_shared<RecipeViewController>();
        addSaveItem(*screen);
        screen->setSceneViews(dictationScene(recipeSceneViews));
        return screen;
    });
    storyboard.setInitialScene("ViewController");
    registerEntryScenes(storyboard);
    registerDetailScenes(storyboard);
    registerPDFScenes(storyboard);
    registerSettingsScenes(storyboard);
    registerInfoScenes(storyboard);
}

} // namespace quillora
