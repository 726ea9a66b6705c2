#include "settings/StepPage.h"

#include <functional>
#include <map>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSURL.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"
#include "settings/AppCatalogue.h"

using namespace platform;

namespace quillora {

namespace {

const CGRect kStepFrame{0, 50, 400, 600};
const CGRect kTallStepFrame{0, 10, 400, 800};
constexpr std::string_view kVideoButtonPicture = "videoButton.jpg";
constexpr std::string_view kDownloadPicture = "Download.jpg";

StepPageRow videoPage(std::string_view name, std::string_view picture, std::string_view background) {
    return {name,
            picture,
            background,
            kStepFrame,
            StepPageButton::Field,
            "VideoButton",
            kVideoButtonPicture,
            settings::tutorialVideoPage};
}
StepPageRow stepPage(std::string_view name, std::string_view picture, std::string_view background,
                     CGRect frame = kStepFrame) {
    return {name, picture, background, frame, StepPageButton::None, "", "", ""};
}
StepPageRow promotionPage(std::string_view name, const settings::CatalogueApp& app,
                          std::string_view background, CGRect frame = kStepFrame,
                          StepPageButton button = StepPageButton::Field) {
    return {name, app.picture, background, frame, button, "DownloadButton", kDownloadPicture, app.storeLink};
}

const std::vector<StepPageRow>& pageTable() {
    using settings::catalogueApps;
    static const std::vector<StepPageRow> table = {
        videoPage("ViewControllerA1", "first_step.jpeg", "yellow"),
        videoPage("ViewControllerA2", "second_step.jpeg", "blue"),
        videoPage("ViewControllerA3", "Third_step.jpeg", "blue"),
        videoPage("ViewControllerA4", "fourth_step.jpeg", "blue"),
        videoPage("ViewControllerA5", "fifth_step.jpeg", "blue"),
        stepPage("ViewControllerA6", "sixth_step.jpeg", "blue"),
        stepPage("ViewControllerA7", "seventh_step.jpeg", "blue"),
        stepPage("ViewControllerA8", "eigth_step.jpeg", "black"),
        stepPage("ViewControllerA9", "nineth_step.jpeg", "blue"),
        stepPage("ViewControllerA10", "tenth_step.jpeg", "blue"),
        stepPage("ViewControllerA11", "eleventh.jpeg", "blue"),
        stepPage("ViewControllerA12", "twelveth.jpeg", "blue"),
        stepPage("ViewControllerA14", "fourteen.jpeg", "blue"),
        stepPage("ViewControllerA15", "fifeteen.jpeg", "blue"),
        promotionPage("ViewControllerB1", settings::catalogueBundle, "yellow", kStepFrame,
                      StepPageButton::Local),
        promotionPage("ViewControllerB2", catalogueApps[0], "blue"),
        promotionPage("ViewControllerB3", catalogueApps[1], "blue"),
        promotionPage("ViewControllerB4", catalogueApps[2], "blue"),
        promotionPage("ViewControllerB5", catalogueApps[3], "blue"),
        promotionPage("ViewControllerB6", catalogueApps[4], "blue"),
        promotionPage("ViewControllerB7", catalogueApps[5], "blue", CGRect{0, 10, 400, 500}),
        promotionPage("ViewControllerB8", catalogueApps[6], "black"),
        stepPage("ViewControllerB9", "nineth_step.jpeg", "blue", kTallStepFrame),
        stepPage("ViewControllerB10", "tenth_step.jpeg", "blue", kTallStepFrame),
        stepPage("ViewControllerB11", "eleventh.jpeg", "blue", kTallStepFrame),
        stepPage("ViewControllerB12", "twelveth.jpeg", "blue", kTallStepFrame),
        stepPage("ViewControllerB14", "fourteen.jpeg", "blue", kTallStepFrame),
        stepPage("ViewControllerB15", "fifeteen.jpeg", "blue", kTallStepFrame),
    };
    return table;
}

UIColor namedColor(std::string_view name) {
    if (name == "yellow") return UIColor::yellowColor();
    if (name == "black") return UIColor::blackColor();
    return UIColor::blueColor();
}

// A picture the page cannot do without: a missing one leaves the image view empty, with a line
// that names it, rather than stopping the page.
std::shared_ptr<UIImage> requiredPicture(std::string_view name) {
    auto image = UIImage::imageNamed(std::string(name));
    if (!image) console().print("The bundle has no picture named " + std::string(name));
    return image;
}

} // namespace

const StepPageRow& stepPageRow(std::string_view className) {
    for (const auto& row : pageTable())
        if (row.className == className) return row;
    fatalError("no page class named " + std::string(className));
}

const std::vector<std::string_view>& stepPageClassNames() {
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> out;
        for (const auto& row : pageTable())
            out.push_back(row.className);
        return out;
    }();
    return names;
}

std::shared_ptr<StepPage> makeStepPage(std::string_view className) {
    using Factory = std::function<std::shared_ptr<StepPage>()>;
    static const std::map<std::string_view, Factory> factories = {
        {"ViewControllerA1", [] { return std::make_shared<ViewControllerA1>(); }},
        {"ViewControllerA2", [] { return std::make_shared<ViewControllerA2>(); }},
        {"ViewControllerA3", [] { return std::make_shared<ViewControllerA3>(); }},
        {"ViewControllerA4", [] { return std::make_shared<ViewControllerA4>(); }},
        {"ViewControllerA5", [] { return std::make_shared<ViewControllerA5>(); }},
        {"ViewControllerA6", [] { return std::make_shared<ViewControllerA6>(); }},
        {"ViewControllerA7", [] { return std::make_shared<ViewControllerA7>(); }},
        {"ViewControllerA8", [] { return std::make_shared<ViewControllerA8>(); }},
        {"ViewControllerA9", [] { return std::make_shared<ViewControllerA9>(); }},
        {"ViewControllerA10", [] { return std::make_shared<ViewControllerA10>(); }},
        {"ViewControllerA11", [] { return std::make_shared<ViewControllerA11>(); }},
        {"ViewControllerA12", [] { return std::make_shared<ViewControllerA12>(); }},
        {"ViewControllerA14", [] { return std::make_shared<ViewControllerA14>(); }},
        {"ViewControllerA15", [] { return std::make_shared<ViewControllerA15>(); }},
        {"ViewControllerB1", [] { return std::make_shared<ViewControllerB1>(); }},
        {"ViewControllerB2", [] { return std::make_shared<ViewControllerB2>(); }},
        {"ViewControllerB3", [] { return std::make_shared<ViewControllerB3>(); }},
        {"ViewControllerB4", [] { return std::make_shared<ViewControllerB4>(); }},
        {"ViewControllerB5", [] { return std::make_shared<ViewControllerB5>(); }},
        {"ViewControllerB6", [] { return std::make_shared<ViewControllerB6>(); }},
        {"ViewControllerB7", [] { return std::make_shared<ViewControllerB7>(); }},
        {"ViewControllerB8", [] { return std::make_shared<ViewControllerB8>(); }},
        {"ViewControllerB9", [] { return std::make_shared<ViewControllerB9>(); }},
        {"ViewControllerB10", [] { return std::make_shared<ViewControllerB10>(); }},
        {"ViewControllerB11", [] { return std::make_shared<ViewControllerB11>(); }},
        {"ViewControllerB12", [] { return std::make_shared<ViewControllerB12>(); }},
        {"ViewControllerB14", [] { return std::make_shared<ViewControllerB14>(); }},
        {"ViewControllerB15", [] { return std::make_shared<ViewControllerB15>(); }},
    };
    auto it = factories.find(className);
    return it == factories.end() ? nullptr : it->second();
}

StepPage::StepPage(const StepPageRow& row) : row_(row) {
    if (row_.button == StepPageButton::Field) field_ = UIButton::buttonWithType(UIButtonType::Custom);
}

std::shared_ptr<UIButton> StepPage::button() const {
    return field_ ? field_ : local_.lock();
}

void StepPage::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto root = view();
    std::shared_ptr<UIButton> local;
    if (row_.button == StepPageButton::Local) local = UIButton::buttonWithType(UIButtonType::Custom);
    root->setBackgroundColor(namedColor(row_.background));

    auto picture = std::make_shared<UIImageView>(requiredPicture(row_.picture));
    picture->setFrame(row_.pictureFrame);
    picture->setClipsToBounds(true);
    root->addSubview(picture);
    picture_ = picture;

    auto label = std::make_shared<UILabel>();
    root->addSubview(label);
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    label->topAnchor().constraintEqualToAnchor(root->topAnchor(), 50)->setActive(true);
    label->leftAnchor().constraintEqualToAnchor(root->leftAnchor(), 20)->setActive(true);

    auto button = field_ ? field_ : local;
    if (button) {
        auto image = UIImage::imageNamed(std::string(row_.buttonPicture));
        const CGFloat H = UIScreen::mainScreen().bounds().height();
        button->setFrame({10, H - 125, 100, 50});
        button->setBackgroundColor(UIColor::clearColor());
        button->layer().borderColor = UIColor::whiteColor();
        button->setTitle_forState(NSLocalizedString(""), UIControlStates::Normal);
        button->setImage_forState(image, UIControlStates::Normal);
        button->addTarget(
            self<StepPage>(), "OpenDownloadLink", [](StepPage& page) { page.OpenDownloadLink(); },
            UIControlEvent::TouchUpInside);
        button->setSpringLoaded(true);
        root->addSubview(button);
        local_ = button;
        exposeOutlet(std::string(row_.buttonName), button);
    }
    exposeOutlet("imageView", picture);
}

void StepPage::OpenDownloadLink() {
    auto url = NSURL::URLWithString(std::string(row_.link));
    if (!url) return;
    UIApplication::sharedApplication().openURL_options_completionHandler(url->absoluteString(), {}, nullptr);
}

} // namespace quillora
