#include "settings/CardGallery.h"

#include "platform/foundation/Console.h"
#include "platform/foundation/NSURL.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"

using namespace platform;

namespace quillora {

namespace {
void openLink(const std::string& link) {
    auto url = NSURL::URLWithString(link);
    if (!url) return;
    UIApplication::sharedApplication().openURL_options_completionHandler(url->absoluteString(), {}, nullptr);
}
} // namespace

template <class Card> void CardDetailScreen<Card>::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (herb) {
        if (bgImage) bgImage->setImage(UIImage::imageNamed(herb->image));
        if (titleView) titleView->setText(herb->name);
        if (descriptionView) descriptionView->setText(herb->description);
    }
    auto me = this->template self<CardDetailScreen<Card>>();
    view()->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(
        me, "actionClose", [](CardDetailScreen<Card>& screen) { screen.actionClose(); }));
}

template <class Card> void CardDetailScreen<Card>::actionClose() {
    if (auto presenter = presentingViewController())
        presenter->dismissViewControllerAnimated_completion(true, nullptr);
}

template <class Card> void CardDetailScreen<Card>::actionLicense() {
    if (herb) openLink(licenseLink(*herb));
}

template <class Card> void CardDetailScreen<Card>::actionAuthor() {
    if (herb) openLink(authorLink(*herb));
}

template <class Card> void CardGallery<Card>::viewDidLoad() {
    UIViewController::viewDidLoad();
    std::weak_ptr<CardGallery<Card>> weak = this->template self<CardGallery<Card>>();
    transition->dismissCompletion = [weak] {
        auto gallery = weak.lock();
        if (gallery && gallery->selectedImage) gallery->selectedImage->setHidden(false);
    };
    if (listView) exposeOutlet("listView", listView);
}

template <class Card> void CardGallery<Card>::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    if (!listView) return;
    if (listView->subviews().size() < cards_.size()) {
        if (auto first = listView->viewWithTag(0)) first->setTag(1000);
        setupHelpImages();
    }
}

template <class Card> void CardGallery<Card>::setupHelpImages() {
    if (!listView) return;
    auto me = this->template self<CardGallery<Card>>();
    for (std::size_t i = 0; i < cards_.size(); ++i) {
        auto card = std::make_shared<UIImageView>(UIImage::imageNamed(cards_[i].image));
        card->setTag(static_cast<long>(i));
        card->setContentMode(UIViewContentMode::ScaleAspectFill);
        card->setUserInteractionEnabled(true);
        card->layer().cornerRadius = 20;
        card->layer().masksToBounds = true;
        listView->addSubview(card);
        card->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(
            me, "didTapImageView",
            [](CardGallery<Card>& gallery, UIGestureRecognizer& tap) { gallery.didTapImageView(tap); }));
    }
    listView->setBackgroundColor(UIColor::clearColor());
    layoutCards();
}

template <class Card> void CardGallery<Card>::layoutCards() {
    const CGFloat H = listView->frame().height();
    const CGRect screen = UIScreen::mainScreen().bounds();
    const CGFloat h = H * 1.33;
    const CGFloat w = h / (screen.height() / screen.width());
    const std::size_t n = cards_.size();
    for (std::size_t i = 0; i < n; ++i) {
        // Only card views take part: before the cards exist, tag 0 is the strip itself.
        auto card = listView->viewWithTag(static_cast<long>(i));
        if (!card || card == listView) continue;
        const CGFloat x = w * static_cast<CGFloat>(i) + static_cast<CGFloat>(i + 1) * 10;
        card->setFrame({x, 0, w, h});
    }
    listView->setContentSize({(w + 10) * static_cast<CGFloat>(n) + 10, 0});
}

template <class Card> void CardGallery<Card>::didTapImageView(UIGestureRecognizer& tap) {
    auto tapped = tap.view();
    selectedImage = std::dynamic_pointer_cast<UIImageView>(tapped);
    if (!tapped) return;
    const long tag = tapped->tag();
    if (tag < 0 || tag >= static_cast<long>(cards_.size())) return;
    auto board = storyboard();
    if (!board || !board->hasScene(detailIdentifier_)) {
        console().print("The gallery's storyboard has no scene " + detailIdentifier_);
        return;
    }
    auto detail = std::dynamic_pointer_cast<CardDetailScreen<Card>>(
        board->instantiateViewControllerWithIdentifier(detailIdentifier_));
    if (!detail) return;
    detail->herb = cards_[static_cast<std::size_t>(tag)];
    detail->setTransitioningDelegate(std::static_pointer_cast<UIViewControllerTransitioningDelegate>(
        this->template self<CardGallery<Card>>()));
    presentViewController_animated_completion(detail, true, nullptr);
}

template <class Card>
void CardGallery<Card>::viewWillTransitionToSize_withTransitionCoordinator(
    CGSize size, UIViewControllerTransitionCoordinator& coordinator) {
    UIViewController::viewWillTransitionToSize_withTransitionCoordinator(size, coordinator);
    std::weak_ptr<CardGallery<Card>> weak = this->template self<CardGallery<Card>>();
    coordinator.animateAlongsideTransition_completion(
        [weak, size](UIViewControllerTransitionCoordinator&) {
            auto gallery = weak.lock();
            if (!gallery) return;
            if (gallery->bgImage) gallery->bgImage->setAlpha(size.height < size.width ? 0.25 : 0.55);
            if (gallery->listView) gallery->layoutCards();
        },
        nullptr);
}

template <class Card>
std::shared_ptr<UIViewControllerAnimatedTransitioning>
CardGallery<Card>::animationControllerForPresentedController_presentingController_sourceController(
    const std::shared_ptr<UIViewController>&, const std::shared_ptr<UIViewController>&,
    const std::shared_ptr<UIViewController>&) {
    // Without a tapped card there is nothing to zoom out of: the platform's own animation.
    if (!selectedImage || !selectedImage->superview()) return nullptr;
    transition->originFrame = selectedImage->superview()->convertRect_toView(selectedImage->frame(), nullptr);
    transition->presenting = true;
    selectedImage->setHidden(true);
    return transition;
}

template <class Card>
std::shared_ptr<UIViewControllerAnimatedTransitioning>
CardGallery<Card>::animationControllerForDismissedController(const std::shared_ptr<UIViewController>&) {
    if (!selectedImage) return nullptr;
    transition->presenting = false;
    return transition;
}

template class CardDetailScreen<HerbModel>;
template class CardDetailScreen<HerbModel1>;
template class CardGallery<HerbModel>;
template class CardGallery<HerbModel1>;

} // namespace quillora
