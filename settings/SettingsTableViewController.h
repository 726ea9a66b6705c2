#pragma once
// A small settings page as a table: one row shares a recommendation of the app, one writes a
// support mail (or, on a device without mail, offers a "Message not sent " share sheet instead).

#include <memory>
#include <string>
#include <vector>

#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/uikit/UITableViewController.h"

namespace quillora {

class SettingsTableViewController : public platform::UITableViewController,
                                    public platform::MFMailComposeViewControllerDelegate {
public:
    using platform::UITableViewController::UITableViewController;

    // The rows of each section, in order.
    static const std::vector<std::vector<std::string>>& sections();

    long numberOfSectionsInTableView(platform::UITableView&) override;
    long tableView_numberOfRowsInSection(platform::UITableView&, long section) override;
    std::shared_ptr<platform::UITableViewCell>
    tableView_cellForRowAtIndexPath(platform::UITableView& table, const platform::NSIndexPath& path) override;
    void tableView_didSelectRowAtIndexPath(platform::UITableView& table,
                                           const platform::NSIndexPath& path) override;

    void
    mailComposeController_didFinishWithResult_error(platform::MFMailComposeViewController& controller,
                                                    platform::MFMailComposeResult result,
                                                    const std::optional<platform::NSError>& error) override;

private:
    void share();
    void supportMail();
};

} // namespace quillora
