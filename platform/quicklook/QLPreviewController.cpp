#include "platform/quicklook/QLPreviewController.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/uikit/Drawing.h"
#include "platform/uikit/SystemSymbol.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIScreen.h"

namespace platform {

namespace {

constexpr double kBarHeight = 56;

// The share item's button: the platform's share symbol in the tint, faded while pressed.
class ShareSymbolButton : public UIButton {
public:
    void draw(cairo_t* cr) const override {
        const bool pressed = (state() & UIControlStates::Highlighted) != 0;
        Drawing::setColor(cr, tintColor(), pressed ? 0.25 : 1);
        const CGRect b = bounds();
        SystemSymbol::draw(cr, "square.and.arrow.up", {b.midX() - 12, b.midY() - 13, 24, 24}, "medium");
    }
};

// The preview's root view: the bar on top, the document under it.
class PreviewView : public UIView {
public:
    std::weak_ptr<UIView> bar, done, share, title, document;
    void layoutSubviews() override {
        const CGRect b = bounds();
        const double top = safeAreaInsets().top;
        if (auto v = bar.lock()) v->setFrame({0, 0, b.width(), top + kBarHeight});
        if (auto v = done.lock()) v->setFrame({8, top + 6, 72, kBarHeight - 12});
        if (auto v = share.lock()) v->setFrame({b.width() - 52, top + 6, 44, kBarHeight - 12});
        if (auto v = title.lock()) v->setFrame({88, top, std::max(0.0, b.width() - 176), kBarHeight});
        if (auto v = document.lock())
            v->setFrame({0, top + kBarHeight, b.width(), std::max(0.0, b.height() - top - kBarHeight)});
        UIView::layoutSubviews();
    }
};

// The bar's translucent white with its hairline below.
class BarView : public UIView {
public:
    void draw(cairo_t* cr) const override {
        const CGRect b = bounds();
        Drawing::fillRoundedRectangle(cr, b, 0, UIColor::colorWithRed_green_blue_alpha(0.97, 0.97, 0.97, 1));
        Drawing::fillRoundedRectangle(cr,
                                      {0, b.maxY() - Drawing::hairline(cr), b.width(), Drawing::hairline(cr)},
                                      0, Drawing::separatorColor());
    }
};

} // namespace

void QLPreviewController::loadView() {
    auto root = std::make_shared<PreviewView>();
    root->setFrame(UIScreen::mainScreen().bounds());
    root->setBackgroundColor(UIColor::whiteColor());
    webView_ = std::make_shared<WKWebView>();
    auto bar = std::make_shared<BarView>();
    doneButton_ = UIButton::buttonWithType(UIButtonType::System);
    doneButton_->setTitle_forState("Done", UIControlStates::Normal);
    doneButton_->titleLabel()->setFont(UIFont::boldSystemFontOfSize(17));
    shareButton_ = std::make_shared<ShareSymbolButton>();
    titleLabel_ = std::make_shared<UILabel>();
    titleLabel_->setFont(UIFont::boldSystemFontOfSize(17));
    titleLabel_->setTextAlignment(NSTextAlignment::Center);
    auto me = self<QLPreviewController>();
    doneButton_->addTarget(
        me, "doneButtonTapped", [](QLPreviewController& me) { me.userDismiss(); },
        UIControlEvent::TouchUpInside);
    shareButton_->addTarget(
        me, "actionButtonTapped", [](QLPreviewController& me) { me.shareCurrentItem(); },
        UIControlEvent::TouchUpInside);
    root->addSubview(webView_);
    root->addSubview(bar);
    root->addSubview(doneButton_);
    root->addSubview(titleLabel_);
    root->addSubview(shareButton_);
    root->bar = bar;
    root->done = doneButton_;
    root->share = shareButton_;
    root->title = titleLabel_;
    root->document = webView_;
    setView(root);
    exposeOutlet("doneButton", doneButton_);
    exposeOutlet("shareButton", shareButton_);
    exposeOutlet("webView", webView_);
}

bool QLPreviewController::shareCurrentItem() {
    if (!currentItem_ || !shownExists_ || presentedViewController()) return false;
    auto sheet = UIActivityViewController::initWithActivityItems_applicationActivities(
        {std::filesystem::path(currentItem_->path())});
    presentViewController_animated_completion(sheet, true, nullptr);
    return true;
}

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
    view();
    titleLabel_->setText(currentItem_->lastPathComponent());
    webView_->loadRequest(currentItem_->isFileURL() ? WKWebView::fileURLForPath(currentItem_->path())
                                                    : currentItem_->absoluteString());
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
