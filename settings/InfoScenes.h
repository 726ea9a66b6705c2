#pragma once
// The storyboard scenes of the info hub, the pagers and their pages (also under their
// module-qualified names, "Quillora.ViewControllerB3"), the card galleries and their details.

#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"

namespace platform {
class UIStoryboard;
}

namespace quillora {

void registerInfoScenes(platform::UIStoryboard& storyboard);

// The main screen's info button, as its scene designs it: it presents the info hub as a sheet
// (the segue "showInfo").
void addInfoButton(platform::UIViewController& screen, platform::UIView& root);

} // namespace quillora
