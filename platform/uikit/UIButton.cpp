#include "platform/uikit/UIButton.h"

#include "platform/uikit/UIImageView.h"

namespace platform {

std::shared_ptr<UIButton> UIButton::buttonWithType(UIButtonType type) {
    auto button = std::make_shared<UIButton>();
    button->type_ = type;
    return button;
}

template <class V>
std::optional<V> UIButton::lookup(const std::map<UIControlState, V>& m, UIControlState state) {
    if (auto it = m.find(state); it != m.end()) return it->second;
    // A combined state falls back on its most telling single state, then on normal.
    for (UIControlState single :
         {UIControlStates::Disabled, UIControlStates::Selected, UIControlStates::Highlighted})
        if ((state & single) && state != single)
            if (auto it = m.find(single); it != m.end()) return it->second;
    if (auto it = m.find(UIControlStates::Normal); it != m.end()) return it->second;
    return std::nullopt;
}

void UIButton::setTitle_forState(std::optional<std::string> title, UIControlState state) {
    if (title)
        titles_[state] = std::move(title);
    else
        titles_.erase(state);
}

std::optional<std::string> UIButton::titleForState(UIControlState state) const {
    auto found = lookup(titles_, state);
    return found ? *found : std::nullopt;
}

void UIButton::setImage_forState(std::shared_ptr<UIImage> image, UIControlState state) {
    // Normal keeps an explicit "no image"; other states fall back on normal instead.
    if (image || state == UIControlStates::Normal)
        images_[state] = std::move(image);
    else
        images_.erase(state);
}

std::shared_ptr<UIImage> UIButton::imageForState(UIControlState state) const {
    auto found = lookup(images_, state);
    return found ? *found : nullptr;
}

void UIButton::setBackgroundImage_forState(std::shared_ptr<UIImage> image, UIControlState state) {
    backgroundImages_[state] = std::move(image);
}

std::shared_ptr<UIImage> UIButton::backgroundImageForState(UIControlState state) const {
    auto found = lookup(backgroundImages_, state);
    return found ? *found : nullptr;
}

void UIButton::setTitleColor_forState(std::optional<UIColor> color, UIControlState state) {
    if (color)
        titleColors_[state] = std::move(color);
    else
        titleColors_.erase(state);
}

std::optional<UIColor> UIButton::titleColorForState(UIControlState state) const {
    auto found = lookup(titleColors_, state);
    return found ? *found : std::nullopt;
}

std::shared_ptr<UILabel> UIButton::titleLabel() {
    if (!titleLabel_) titleLabel_ = std::make_shared<UILabel>();
    return titleLabel_;
}

std::shared_ptr<UIImageView> UIButton::imageView() {
    if (!imageView_) imageView_ = std::make_shared<UIImageView>();
    return imageView_;
}

std::string UIButton::stateDescription() const {
    std::string out;
    auto title = currentTitle();
    if (title && !title->empty()) out += "title=" + quote(*title);
    if (auto image = currentImage())
        out += std::string(out.empty() ? "" : " ") + "image=" + quote(image->name());
    if (auto base = UIControl::stateDescription(); !base.empty()) out += (out.empty() ? "" : " ") + base;
    return out;
}

} // namespace platform
