#include "settings/SettingsScenes.h"

#include "settings/SettingsTableViewController.h"

namespace quillora {

void registerSettingsScenes(platform::UIStoryboard& storyboard) {
    storyboard.registerScene("SettingsTableViewController", [] {
        auto screen = std::make_shared<SettingsTableViewController>(platform::UITableViewStyle::Grouped);
        screen->setTitle("Share & Support");
        screen->tableView()->registerCellStyle_forCellReuseIdentifier(platform::UITableViewCellStyle::Default,
                                                                      "Cell");
        return screen;
    });
}

} // namespace quillora
