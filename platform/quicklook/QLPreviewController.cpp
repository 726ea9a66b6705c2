#include "platform/quicklook/QLPreviewController.h"

#include "platform/foundation/NSFileManager.h"

namespace platform {

void QLPreviewController::setCurrentPreviewItemIndex(long index) {
    currentIndex_ = index;
    if (appearance() == UIViewControllerAppearance::Appeared ||
        appearance() == UIViewControllerAppearance::Appearing)
        showCurrent();
}

void QLPreviewController::reloadData() {
    showCurrent();
}

void QLPreviewController::showCurrent() {
    auto keep = self<QLPreviewController>();
    auto source = dataSource();
    count_ = source ? source->numberOfPreviewItemsInPreviewController(*this) : 0;
    currentItem_.reset();
    shownExists_ = false;
    if (count_ <= 0) return;
    if (currentIndex_ < 0 || currentIndex_ >= count_) currentIndex_ = 0;
    currentItem_ = source->previewController_previewItemAtIndex(*this, currentIndex_);
    if (!currentItem_) return;
    shownExists_ =
        currentItem_->isFileURL() && NSFileManager::defaultManager().fileExistsAtPath(currentItem_->path());
    shown_.push_back(*currentItem_);
}

void QLPreviewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    showCurrent();
}

bool QLPreviewController::showNextItem() {
    if (currentIndex_ + 1 >= count_) return false;
    ++currentIndex_;
    showCurrent();
    return true;
}

bool QLPreviewController::showPreviousItem() {
    if (currentIndex_ <= 0 || count_ == 0) return false;
    --currentIndex_;
    showCurrent();
    return true;
}

bool QLPreviewController::userDismiss() {
    if (!presentingViewController()) return false;
    auto keep = self<QLPreviewController>();
    if (auto d = delegate()) d->previewControllerWillDismiss(*this);
    std::weak_ptr<QLPreviewController> weak = keep;
    dismissViewControllerAnimated_completion(true, [weak] {
        if (auto me = weak.lock())
            if (auto d = me->delegate()) d->previewControllerDidDismiss(*me);
    });
    return true;
}

void QLPreviewController::describeScreen(std::vector<std::string>& lines) const {
    std::string head = className();
    if (count_ > 0) head += " item " + std::to_string(currentIndex_ + 1) + " of " + std::to_string(count_);
    lines.push_back(head);
    if (!currentItem_)
        lines.push_back("  (no item)");
    else if (!shownExists_)
        lines.push_back("  " + quote(currentItem_->lastPathComponent()) + " cannot be opened");
    else
        lines.push_back("  " + quote(currentItem_->lastPathComponent()));
}

} // namespace platform
