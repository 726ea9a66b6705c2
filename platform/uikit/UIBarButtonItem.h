#pragma once
// Bar button items: a title or image and one target-action.

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImage.h"

namespace platform {

enum class UIBarButtonItemStyle { Plain, Done };
enum class UIBarButtonSystemItem { Done, Cancel, Edit, Save, Add, FlexibleSpace, Action, Trash, Refresh };

class UIBarButtonItem : public NSObject {
public:
    UIBarButtonItem() = default;
    UIBarButtonItem(std::string title, UIBarButtonItemStyle style)
        : title_(std::move(title)), style_(style) {}
    // initWithTitle:style:target:action:
    template <class T, class F>
    static std::shared_ptr<UIBarButtonItem>
    initWithTitle_style_target_action(std::string title, UIBarButtonItemStyle style,
                                      const std::shared_ptr<T>& target, std::string action, F callable) {
        auto item = std::make_shared<UIBarButtonItem>(std::move(title), style);
        if (target) item->setAction(target, std::move(action), std::move(callable));
        return item;
    }

    template <class T, class F>
    void setAction(const std::shared_ptr<T>& target, std::string action, F callable) {
        actions_ = TargetActionList();
        actions_.add(target, std::move(action), std::move(callable), UIControlEvent::PrimaryActionTriggered);
    }
    // The action's name, empty when none.
    std::string action() const;
    std::shared_ptr<NSObject> target() const;

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    const std::shared_ptr<UIImage>& image() const { return image_; }
    void setImage(std::shared_ptr<UIImage> image) { image_ = std::move(image); }
    UIBarButtonItemStyle style() const { return style_; }
    void setStyle(UIBarButtonItemStyle style) { style_ = style; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    std::optional<UIColor> tintColor() const { return tintColor_; }
    void setTintColor(std::optional<UIColor> color) { tintColor_ = std::move(color); }

    // A user's press: sends the action unless the item is disabled.
    bool press();
    bool tap() { return press(); }

    std::string stateDescription() const override;

private:
    std::optional<std::string> title_;
    std::shared_ptr<UIImage> image_;
    UIBarButtonItemStyle style_ = UIBarButtonItemStyle::Plain;
    bool enabled_ = true;
    std::optional<UIColor> tintColor_;
    TargetActionList actions_;
};

} // namespace platform
