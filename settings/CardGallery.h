#pragma once
// The card galleries and their detail screens. A gallery shows its cards in a horizontal strip;
// a tap zooms the card into its detail screen (picture, name, description, two link buttons),
// and a tap on the detail's background shrinks it back into the card. The two galleries differ
// in their card list, the detail scene's identifier and the detail class.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIViewController.h"
#include "settings/HerbModel.h"
#include "settings/PopAnimator.h"

namespace quillora {

template <class Card> class CardDetailScreen : public platform::UIViewController {
public:
    std::shared_ptr<platform::UIView> containerView;
    std::shared_ptr<platform::UIImageView> bgImage;
    std::shared_ptr<platform::UILabel> titleView;
    std::shared_ptr<platform::UITextView> descriptionView;
    std::shared_ptr<platform::UIButton> licenseButton;
    std::shared_ptr<platform::UIButton> authorButton;
    std::optional<Card> herb;

    // Fills the screen from the card (nothing to fill without one) and adds a tap that closes it.
    void viewWillAppear(bool animated) override;
    void actionClose();
    void actionLicense();
    void actionAuthor();
};

class HerbDetailsViewController final : public CardDetailScreen<HerbModel> {};
class HerbDetailsViewController1 final : public CardDetailScreen<HerbModel1> {};

template <class Card>
class CardGallery : public platform::UIViewController,
                    public platform::UIViewControllerTransitioningDelegate {
public:
    CardGallery(const std::vector<Card>& cards, std::string detailIdentifier)
        : transition(std::make_shared<PopAnimator>()), cards_(cards),
          detailIdentifier_(std::move(detailIdentifier)) {}

    std::shared_ptr<platform::UIScrollView> listView;
    std::shared_ptr<platform::UIImageView> bgImage;
    std::shared_ptr<platform::UIImageView> selectedImage;
    const std::shared_ptr<PopAnimator> transition;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void setupHelpImages();
    void didTapImageView(platform::UIGestureRecognizer& tap);
    void viewWillTransitionToSize_withTransitionCoordinator(
        platform::CGSize size, platform::UIViewControllerTransitionCoordinator& coordinator) override;
    std::shared_ptr<platform::UIViewControllerAnimatedTransitioning>
    animationControllerForPresentedController_presentingController_sourceController(
        const std::shared_ptr<platform::UIViewController>&,
        const std::shared_ptr<platform::UIViewController>&,
        const std::shared_ptr<platform::UIViewController>&) override;
    std::shared_ptr<platform::UIViewControllerAnimatedTransitioning>
    animationControllerForDismissedController(const std::shared_ptr<platform::UIViewController>&) override;

    const std::vector<Card>& cards() const { return cards_; }

private:
    // Lays the existing card views out in a strip of the screen's proportions.
    void layoutCards();

    const std::vector<Card>& cards_;
    std::string detailIdentifier_;
};

// The promotion gallery: the maker's apps.
class AppViewController final : public CardGallery<HerbModel> {
public:
    AppViewController() : CardGallery(herbList(), "HerbDetailsViewController") {}
};

// The help gallery: the steps of using this app.
class AppViewController1 final : public CardGallery<HerbModel1> {
public:
    AppViewController1() : CardGallery(herbList1(), "HerbDetailsViewController1") {}
};

extern template class CardDetailScreen<HerbModel>;
extern template class CardDetailScreen<HerbModel1>;
extern template class CardGallery<HerbModel>;
extern template class CardGallery<HerbModel1>;

} // namespace quillora
