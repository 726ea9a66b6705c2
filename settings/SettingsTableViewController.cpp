#include "settings/SettingsTableViewController.h"

#include "platform/uikit/UIScreen.h"
#include "settings/AppCatalogue.h"
#include "settings/AppShareSheet.h"

namespace quillora {

using namespace platform;

const std::vector<std::vector<std::string>>& SettingsTableViewController::sections() {
    static const std::vector<std::vector<std::string>> rows{{"Share with Your Friends \U0001F913"},
                                                            {"Email Support"}};
    return rows;
}

long SettingsTableViewController::numberOfSectionsInTableView(UITableView&) {
    return static_cast<long>(sections().size());
}

long SettingsTableViewController::tableView_numberOfRowsInSection(UITableView&, long) {
    return 1;
}

std::shared_ptr<UITableViewCell>
SettingsTableViewController::tableView_cellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
    auto cell = table.dequeueReusableCellWithIdentifier_forIndexPath("Cell", path);
    const auto& rows = sections();
    if (cell->textLabel() && path.section >= 0 && path.section < static_cast<long>(rows.size()) &&
        path.row >= 0 && path.row < static_cast<long>(rows[static_cast<std::size_t>(path.section)].size()))
        cell->textLabel()->setText(
            rows[static_cast<std::size_t>(path.section)][static_cast<std::size_t>(path.row)]);
    return cell;
}

void SettingsTableViewController::tableView_didSelectRowAtIndexPath(UITableView& table,
                                                                    const NSIndexPath& path) {
    if (path.section == 0)
        share();
    else if (path.section == 1)
        supportMail();
    table.deselectRowAtIndexPath_animated(path, true);
}

void SettingsTableViewController::share() {
    auto sheet = settings::AppShareSheet::recommendation();
    if (!sheet) return;
    CGRect screen = UIScreen::mainScreen().bounds();
    // Centred on a pad, with no arrow.
    settings::AppShareSheet::present(
        sheet, self<UIViewController>(),
        {view(), CGRect{screen.width() / 2, screen.height() / 2, 0, 0}, UIPopoverArrowDirections::None});
}

void SettingsTableViewController::supportMail() {
    auto composer = std::make_shared<MFMailComposeViewController>();
    composer->mailComposeDelegate = self<SettingsTableViewController>();
    composer->setToRecipients({std::string(settings::supportAddress)});
    composer->setSubject("Feedback Quillora");
    composer->setMessageBody_isHTML("Feedback/suggestion about Quillora App", false);
    if (MFMailComposeViewController::canSendMail()) {
        presentViewController_animated_completion(composer, true, nullptr);
        return;
    }
    auto sheet = settings::AppShareSheet::make("Message not sent ", std::nullopt);
    settings::AppShareSheet::present(sheet, self<UIViewController>(), {view(), std::nullopt, std::nullopt});
}

void SettingsTableViewController::mailComposeController_didFinishWithResult_error(
    MFMailComposeViewController& controller, MFMailComposeResult, const std::optional<NSError>&) {
    controller.dismissViewControllerAnimated_completion(true, nullptr);
}

} // namespace quillora
