#include "app/MainStoryboard.h"

#include "detail/DetailScenes.h"
#include "dictation/ViewController.h"
#include "entries/EntryScenes.h"
#include "pdf/PDFScenes.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "settings/InfoScenes.h"

namespace quillora {

void MainStoryboard(platform::UIStoryboard& storyboard) {
    storyboard.registerScene("ViewController", [] {
        auto screen = std::make_shared<ViewController>();
        // The scene's save item, kept by the navigation item; the screen holds it weakly.
        auto save = platform::UIBarButtonItem::initWithTitle_style_target_action(
            "Save", platform::UIBarButtonItemStyle::Plain, screen, "SaveText",
            [](ViewController& s) { s.SaveText(); });
        screen->navigationItem()->rightBarButtonItem = save;
        screen->saveText = save;
        screen->setSceneViews(addInfoButton);
        return screen;
    });
    storyboard.setInitialScene("ViewController");
    registerEntryScenes(storyboard);
    registerDetailScenes(storyboard);
    registerPDFScenes(storyboard);
    registerInfoScenes(storyboard);
}

} // namespace quillora
