#pragma once
// The document preview: a screen that shows one of the items its data source lists and lets the
// user page through them. An item is a file URL; a file that does not exist cannot be shown, and
// the preview says so instead of showing it. What was shown is recorded, in order. On screen: a
// bar with Done, the item's name and the share item, over the document drawn by a web view.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSURL.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIViewController.h"
#include "platform/webkit/WKWebView.h"

namespace platform {

class QLPreviewController;

class QLPreviewControllerDataSource {
public:
    virtual ~QLPreviewControllerDataSource() = default;
    virtual long numberOfPreviewItemsInPreviewController(QLPreviewController&) = 0;
    virtual std::optional<NSURL> previewController_previewItemAtIndex(QLPreviewController&, long index) = 0;
};

class QLPreviewControllerDelegate {
public:
    virtual ~QLPreviewControllerDelegate() = default;
    virtual void previewControllerWillDismiss(QLPreviewController&) {}
    virtual void previewControllerDidDismiss(QLPreviewController&) {}
};

class QLPreviewController : public UIViewController {
public:
    std::shared_ptr<QLPreviewControllerDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<QLPreviewControllerDataSource> source) {
        dataSource_ = std::move(source);
    }
    std::shared_ptr<QLPreviewControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<QLPreviewControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    long currentPreviewItemIndex() const { return currentIndex_; }
    // Moves to the item; shown at once when the preview is on screen.
    void setCurrentPreviewItemIndex(long index);
    // The item shown now, as the data source gave it.
    const std::optional<NSURL>& currentPreviewItem() const { return currentItem_; }
    // False when the current item is absent or its file does not exist.
    bool canShowCurrentItem() const { return shownExists_; }
    // Asks the data source again for the count and the current item.
    void reloadData();

    // Every item shown, in order (a missing file included).
    const std::vector<NSURL>& shownItems() const { return shown_; }
    long numberOfItems() const { return count_; }

    // The user's actions: page to the next or the previous item (false at either end), and the
    // done button, which tells the delegate before and after the preview goes away.
    bool showNextItem();
    bool showPreviousItem();
    bool userDismiss();

    // The share item: a share sheet offering the current item's file.
    bool shareCurrentItem();

    // What the screen is made of.
    const std::shared_ptr<WKWebView>& webView() const { return webView_; }
    const std::shared_ptr<UIButton>& doneButton() const { return doneButton_; }
    const std::shared_ptr<UIButton>& shareButton() const { return shareButton_; }

    void loadView() override;
    void viewWillAppear(bool animated) override;
    // Done, on the screen's own bar.
    std::vector<std::shared_ptr<UIView>> ownBarItems() const override { return {doneButton_}; }
    void describeScreen(std::vector<std::string>& lines) const override;

private:
    void showCurrent();

    std::weak_ptr<QLPreviewControllerDataSource> dataSource_;
    std::weak_ptr<QLPreviewControllerDelegate> delegate_;
    long currentIndex_ = 0;
    long count_ = 0;
    std::optional<NSURL> currentItem_;
    bool shownExists_ = false;
    std::vector<NSURL> shown_;
    std::shared_ptr<WKWebView> webView_;
    std::shared_ptr<UIButton> doneButton_;
    std::shared_ptr<UIButton> shareButton_;
    std::shared_ptr<UILabel> titleLabel_;
};

} // namespace platform
