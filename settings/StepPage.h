#pragma once
// The pages of the tutorial and promotion pagers: one picture on a coloured page, and on the
// video and promotion pages a button that opens a link. Every page class is one row of the page
// table; the classes only name their rows.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIViewController.h"

namespace quillora {

enum class StepPageButton {
    None,
    // Made with the page and kept as its field ("VideoButton", "DownloadButton").
    Field,
    // Made while the view is built and held only by the view.
    Local
};

struct StepPageRow {
    std::string_view className;
    std::string_view picture;
    // "yellow", "blue" or "black".
    std::string_view background;
    platform::CGRect pictureFrame;
    StepPageButton button = StepPageButton::None;
    // The button's property name, its picture and the link it opens.
    std::string_view buttonName;
    std::string_view buttonPicture;
    std::string_view link;
};

// The row of a page class; an unknown name stops the program (it is a packaging fault).
const StepPageRow& stepPageRow(std::string_view className);

class StepPage : public platform::UIViewController {
public:
    explicit StepPage(const StepPageRow& row);

    void viewDidLoad() override;
    // Opens the page's link through the application; a link that makes no URL does nothing.
    void OpenDownloadLink();

    const StepPageRow& row() const { return row_; }
    // The page's button ("VideoButton" or "DownloadButton"): the field, or the button its view holds.
    std::shared_ptr<platform::UIButton> button() const;
    std::shared_ptr<platform::UIImageView> pictureView() const { return picture_.lock(); }

private:
    const StepPageRow& row_;
    std::shared_ptr<platform::UIButton> field_;
    std::weak_ptr<platform::UIButton> local_;
    std::weak_ptr<platform::UIImageView> picture_;
};

#define QUILLORA_STEP_PAGE(Name)                                                                             \
    class Name final : public StepPage {                                                                     \
    public:                                                                                                  \
        Name() : StepPage(stepPageRow(#Name)) {}                                                             \
    };

// The tutorial pages (there is no page 13).
QUILLORA_STEP_PAGE(ViewControllerA1)
QUILLORA_STEP_PAGE(ViewControllerA2)
QUILLORA_STEP_PAGE(ViewControllerA3)
QUILLORA_STEP_PAGE(ViewControllerA4)
QUILLORA_STEP_PAGE(ViewControllerA5)
QUILLORA_STEP_PAGE(ViewControllerA6)
QUILLORA_STEP_PAGE(ViewControllerA7)
QUILLORA_STEP_PAGE(ViewControllerA8)
QUILLORA_STEP_PAGE(ViewControllerA9)
QUILLORA_STEP_PAGE(ViewControllerA10)
QUILLORA_STEP_PAGE(ViewControllerA11)
QUILLORA_STEP_PAGE(ViewControllerA12)
QUILLORA_STEP_PAGE(ViewControllerA14)
QUILLORA_STEP_PAGE(ViewControllerA15)
// The promotion pages and the taller step pages of the same family.
QUILLORA_STEP_PAGE(ViewControllerB1)
QUILLORA_STEP_PAGE(ViewControllerB2)
QUILLORA_STEP_PAGE(ViewControllerB3)
QUILLORA_STEP_PAGE(ViewControllerB4)
QUILLORA_STEP_PAGE(ViewControllerB5)
QUILLORA_STEP_PAGE(ViewControllerB6)
QUILLORA_STEP_PAGE(ViewControllerB7)
QUILLORA_STEP_PAGE(ViewControllerB8)
QUILLORA_STEP_PAGE(ViewControllerB9)
QUILLORA_STEP_PAGE(ViewControllerB10)
QUILLORA_STEP_PAGE(ViewControllerB11)
QUILLORA_STEP_PAGE(ViewControllerB12)
QUILLORA_STEP_PAGE(ViewControllerB14)
QUILLORA_STEP_PAGE(ViewControllerB15)

#undef QUILLORA_STEP_PAGE

// Makes a page of the family by class name; none for another name.
std::shared_ptr<StepPage> makeStepPage(std::string_view className);
// Every page class of the family, tutorial pages first.
const std::vector<std::string_view>& stepPageClassNames();

} // namespace quillora
