#include "platform/uikit/UITableViewController.h"

#include "platform/uikit/UIScreen.h"

namespace platform {

std::shared_ptr<UITableView> UITableViewController::tableView() {
    if (!table_) {
        table_ = std::make_shared<UITableView>(UIScreen::mainScreen().bounds(), style_);
        auto me = self<UITableViewController>();
        table_->setDataSource(std::static_pointer_cast<UITableViewDataSource>(me));
        table_->setDelegate(std::static_pointer_cast<UITableViewDelegate>(me));
    }
    return table_;
}

void UITableViewController::loadView() {
    setView(tableView());
}

std::vector<std::pair<std::string, std::shared_ptr<NSObject>>> UITableViewController::exposedOutlets() const {
    auto out = UIViewController::exposedOutlets();
    if (table_) out.insert(out.begin(), {"tableView", table_});
    return out;
}

void UITableViewController::describeScreen(std::vector<std::string>& lines) const {
    UIViewController::describeScreen(lines);
    if (table_) table_->describeRows(lines, "    ");
}

} // namespace platform
