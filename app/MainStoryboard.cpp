#include "app/MainStoryboard.h"

#include "app/LaunchViewController.h"

namespace quillora {

void MainStoryboard(platform::UIStoryboard& storyboard) {
    storyboard.registerScene("LaunchViewController", [] { return std::make_shared<LaunchViewController>(); });
    storyboard.setInitialScene("LaunchViewController");
}

} // namespace quillora
