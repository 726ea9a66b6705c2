#include "detail/DetailScenes.h"

#include "detail/DetailEntryScreen.h"
#include "platform/uikit/SceneControls.h"
#include "platform/uikit/UIScreen.h"

using namespace platform;

namespace quillora {

namespace {

// The scene of a detail screen: the bar above the keyboard with Done and close, the label and the
// constraint of its outlets, and a row of tools right of the share button (below the record
// button): the language button, the font menu, the editor and the four symbols.
void detailSceneViews(UIViewController& controller, UIView& root) {
    auto& screen = dynamic_cast<DetailEntryScreen&>(controller);
    using S = DetailEntryScreen;
    const CGFloat W = UIScreen::mainScreen().bounds().width();
    const CGFloat H = UIScreen::mainScreen().bounds().height();

    screen.toolBarView = doneAndCloseKeyboardBar(screen);

    // Nothing reads the label; it stays empty above the transcript.
    screen.SpeechTimeLabel->setFrame({75, 45, 240, 40});
    screen.SpeechTimeLabel->setText("");
    root.addSubview(screen.SpeechTimeLabel);
    screen.exposeOutlet("SpeechTimeLabel", screen.SpeechTimeLabel);

    // The transcript's bottom guide: a spacer of the scene whose constant the keyboard handler
    // moves; the transcript itself keeps the frame the screen gives it.
    auto guide = std::make_shared<UIView>(CGRect{0, H, W, 0});
    guide->setHidden(true);
    root.addSubview(guide);
    auto constraint = guide->heightAnchor().constraintEqualToConstant(0);
    guide->addConstraint(constraint);
    screen.textViewBottomLayoutGuideConstraint = constraint;

    struct Item {
        const char* name;
        const char* title;
        void (S::*action)();
    };
    const Item items[] = {{"language_select", "🌐", &S::language_select},
                          {"Font_change", "Aa", &S::Font_change},
                          {"textEditButtonTapped", "✏️", &S::textEditButtonTapped},
                          {"tickmark_clicked", "✔️", &S::tickmark_clicked},
                          {"bookmark", "📒", &S::bookmark},
                          {"paperclip", "📎", &S::paperclip},
                          {"pushpin", "📌", &S::pushpin}};
    // Right of the share button (10..60) and clear of the record button above (which ends 78
    // points above the bottom).
    const CGFloat left = 70, top = H - 76, slot = (W - 5 - left) / static_cast<CGFloat>(std::size(items));
    CGFloat x = left;
    for (const auto& item : items) {
        root.addSubview(sceneButton(screen, item.name, {x + 1, top, slot - 2, 42}, item.title, nullptr,
                                    item.name, [action = item.action](S& s) { (s.*action)(); }));
        x += slot;
    }
}

template <class Screen> std::shared_ptr<UIViewController> detailScene() {
    auto screen = std::make_shared<Screen>();
    screen->setSceneViews(detailSceneViews);
    return screen;
}

} // namespace

void registerDetailScenes(platform::UIStoryboard& storyboard) {
    storyboard.registerScene("DetailVCTableView", detailScene<DetailVCTableView>);
    storyboard.registerScene("DetailNotesVCTableView", detailScene<DetailNotesVCTableView>);
    storyboard.registerScene("DetailRecipeVCTableView", detailScene<DetailRecipeVCTableView>);
    storyboard.registerSegue("VCTV", kEntryDetailSegue, "DetailVCTableView");
    storyboard.registerSegue("NVCTV", kEntryDetailSegue, "DetailNotesVCTableView");
    storyboard.registerSegue("RVCTV", kEntryDetailSegue, "DetailRecipeVCTableView");
}

} // namespace quillora
