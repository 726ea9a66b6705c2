#pragma once
// Buttons: title, image, title colour and background image per control state.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"

namespace platform {

class UIImageView;

enum class UIButtonType {
    Custom = 0,
    System = 1,
    DetailDisclosure = 2,
    InfoLight = 3,
    InfoDark = 4,
    ContactAdd = 5,
    Close = 7
};

class UIButton : public UIControl {
public:
    static std::shared_ptr<UIButton> buttonWithType(UIButtonType type);
    UIButton() = default;
    explicit UIButton(const CGRect& frame) { setFrame(frame); }

    UIButtonType buttonType() const { return type_; }

    // Per state; a state without its own value shows the normal state's, as the platform does.
    void setTitle_forState(std::optional<std::string> title, UIControlState state);
    std::optional<std::string> titleForState(UIControlState state) const;
    void setImage_forState(std::shared_ptr<UIImage> image, UIControlState state);
    std::shared_ptr<UIImage> imageForState(UIControlState state) const;
    void setBackgroundImage_forState(std::shared_ptr<UIImage> image, UIControlState state);
    std::shared_ptr<UIImage> backgroundImageForState(UIControlState state) const;
    void setTitleColor_forState(std::optional<UIColor> color, UIControlState state);
    std::optional<UIColor> titleColorForState(UIControlState state) const;

    // What the button shows in its current state.
    std::optional<std::string> currentTitle() const { return titleForState(state()); }
    std::shared_ptr<UIImage> currentImage() const { return imageForState(state()); }
    std::optional<UIColor> currentTitleColor() const { return titleColorForState(state()); }

    std::shared_ptr<UILabel> titleLabel();
    std::shared_ptr<UIImageView> imageView();

    bool isSpringLoaded() const { return springLoaded_; }
    void setSpringLoaded(bool value) { springLoaded_ = value; }
    UIEdgeInsets contentEdgeInsets() const { return contentEdgeInsets_; }
    void setContentEdgeInsets(UIEdgeInsets insets) { contentEdgeInsets_ = insets; }

    std::string stateDescription() const override;
    // Background image, then image and title side by side, centred; pressed and disabled looks.
    // A title set for the disabled state is the reason the button is disabled, drawn to be read.
    void draw(cairo_t* cr) const override;

private:
    template <class V>
    static std::optional<V> lookup(const std::map<UIControlState, V>& m, UIControlState state);

    UIButtonType type_ = UIButtonType::Custom;
    std::map<UIControlState, std::optional<std::string>> titles_;
    std::map<UIControlState, std::shared_ptr<UIImage>> images_;
    std::map<UIControlState, std::shared_ptr<UIImage>> backgroundImages_;
    std::map<UIControlState, std::optional<UIColor>> titleColors_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UIImageView> imageView_;
    bool springLoaded_ = false;
    UIEdgeInsets contentEdgeInsets_;
};

} // namespace platform
