#include "app/MainStoryboard.h"

#include "app/LaunchViewController.h"
#include "detail/EntryScenes.h"
#include "pdf/PDFScenes.h"

namespace quillora {

void MainStoryboard(platform::UIStoryboard& storyboard) {
    storyboard.registerScene("LaunchViewController", [] { return std::make_shared<LaunchViewController>(); });
    storyboard.setInitialScene("LaunchViewController");
    registerEntryScenes(storyboard);
    registerPDFScenes(storyboard);
}

} // namespace quillora
