#pragma once
// The saved-PDF browser: the PDF files of Documents, one per row, opened in the document preview
// when a row is touched and deleted (file and row) by swipe or in editing mode.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/NSURL.h"
#include "platform/quicklook/QLPreviewController.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"

namespace quillora {

class WebViewController_Center : public platform::UIViewController,
                                 public platform::UITableViewDataSource,
                                 public platform::UITableViewDelegate,
                                 public platform::QLPreviewControllerDataSource,
                                 public platform::QLPreviewControllerDelegate {
public:
    std::weak_ptr<platform::UITableView> tableList;
    std::vector<platform::NSURL> fileURLs;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void setEditing_animated(bool editing, bool animated) override;

    long tableView_numberOfRowsInSection(platform::UITableView&, long section) override;
    std::shared_ptr<platform::UITableViewCell>
    tableView_cellForRowAtIndexPath(platform::UITableView&, const platform::NSIndexPath&) override;
    double tableView_heightForRowAtIndexPath(platform::UITableView&, const platform::NSIndexPath&) override;
    void tableView_didHighlightRowAtIndexPath(platform::UITableView&, const platform::NSIndexPath&) override;
    void tableView_commitEditingStyle_forRowAtIndexPath(platform::UITableView&,
                                                        platform::UITableViewCellEditingStyle,
                                                        const platform::NSIndexPath&) override;

    long numberOfPreviewItemsInPreviewController(platform::QLPreviewController&) override;
    std::optional<platform::NSURL> previewController_previewItemAtIndex(platform::QLPreviewController&,
                                                                        long index) override;
    void previewControllerWillDismiss(platform::QLPreviewController&) override;

    // The file name split at ".": the part before the first dot and the part after it.
    static std::pair<std::string, std::string> fileNameParts(const platform::NSURL& url);
    static std::string documentTypeDescription(const std::string& type);

    void describeScreen(std::vector<std::string>& lines) const override;

private:
    std::shared_ptr<platform::UITableView> ownedTable_;
};

} // namespace quillora
