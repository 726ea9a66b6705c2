#pragma once
// Table view controllers: a screen whose view is a table that the controller feeds and answers
// for (its own data source and delegate). Sections come from numberOfSectionsInTableView; a
// storyboard scene registers its prototype cells on `tableView()` when it makes the screen.

#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"

namespace platform {

class UITableViewController : public UIViewController,
                              public UITableViewDataSource,
                              public UITableViewDelegate {
public:
    explicit UITableViewController(UITableViewStyle style = UITableViewStyle::Plain) : style_(style) {}

    // The table, made with the screen's style (before the view loads, so that prototypes can be
    // registered); it becomes the view when the view loads.
    std::shared_ptr<UITableView> tableView();
    UITableViewStyle tableViewStyle() const { return style_; }

    void loadView() override;

    // No rows until a subclass says otherwise.
    long tableView_numberOfRowsInSection(UITableView&, long) override { return 0; }
    std::shared_ptr<UITableViewCell> tableView_cellForRowAtIndexPath(UITableView&,
                                                                     const NSIndexPath&) override {
        return nullptr;
    }

    // The table is reachable by its property name, "tableView"; the printout lists its rows.
    std::vector<std::pair<std::string, std::shared_ptr<NSObject>>> exposedOutlets() const override;
    void describeScreen(std::vector<std::string>& lines) const override;

private:
    UITableViewStyle style_;
    std::shared_ptr<UITableView> table_;
};

} // namespace platform
