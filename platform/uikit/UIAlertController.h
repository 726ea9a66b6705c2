#pragma once
// Alerts and action sheets: a title, a message and actions with a style and a handler. A user's
// press of an action dismisses the alert, then runs the handler.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/UIViewController.h"

namespace platform {

enum class UIAlertControllerStyle { ActionSheet = 0, Alert = 1 };
enum class UIAlertActionStyle { Default = 0, Cancel = 1, Destructive = 2 };

class UIAlertAction : public NSObject {
public:
    using Handler = std::function<void(UIAlertAction&)>;
    static std::shared_ptr<UIAlertAction> actionWithTitle_style_handler(std::optional<std::string> title,
                                                                        UIAlertActionStyle style,
                                                                        Handler handler);

    const std::optional<std::string>& title() const { return title_; }
    UIAlertActionStyle style() const { return style_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    const Handler& handler() const { return handler_; }

private:
    std::optional<std::string> title_;
    UIAlertActionStyle style_ = UIAlertActionStyle::Default;
    bool enabled_ = true;
    Handler handler_;
};

class UIAlertController : public UIViewController {
public:
    static std::shared_ptr<UIAlertController> alertControllerWithTitle_message_preferredStyle(
        std::optional<std::string> title, std::optional<std::string> message, UIAlertControllerStyle style);

    const std::optional<std::string>& message() const { return message_; }
    void setMessage(std::optional<std::string> message) { message_ = std::move(message); }
    UIAlertControllerStyle preferredStyle() const { return style_; }
    void addAction(const std::shared_ptr<UIAlertAction>& action);
    const std::vector<std::shared_ptr<UIAlertAction>>& actions() const { return actions_; }
    std::shared_ptr<UIAlertAction> preferredAction() const { return preferred_; }
    void setPreferredAction(std::shared_ptr<UIAlertAction> action) { preferred_ = std::move(action); }

    // The user's press of the action titled `title`: dismisses the alert, then runs the handler.
    // False (nothing happens) when there is no such enabled action.
    bool pressActionWithTitle(const std::string& title);

    void describeScreen(std::vector<std::string>& lines) const override;

protected:
    bool adaptsToPopoverOnPad() const override { return style_ == UIAlertControllerStyle::ActionSheet; }
    UIModalPresentationStyle resolvedPresentationStyle() const override;

private:
    std::optional<std::string> message_;
    UIAlertControllerStyle style_ = UIAlertControllerStyle::Alert;
    std::vector<std::shared_ptr<UIAlertAction>> actions_;
    std::shared_ptr<UIAlertAction> preferred_;
};

} // namespace platform
