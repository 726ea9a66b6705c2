#include "platform/uikit/UIAlertController.h"

#include <algorithm>

#include "platform/foundation/Console.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"

namespace platform {

std::shared_ptr<UIAlertAction> UIAlertAction::actionWithTitle_style_handler(std::optional<std::string> title,
                                                                            UIAlertActionStyle style,
                                                                            Handler handler) {
    auto action = std::make_shared<UIAlertAction>();
    action->title_ = std::move(title);
    action->style_ = style;
    action->handler_ = std::move(handler);
    return action;
}

std::shared_ptr<UIAlertController> UIAlertController::alertControllerWithTitle_message_preferredStyle(
    std::optional<std::string> title, std::optional<std::string> message, UIAlertControllerStyle style) {
    auto alert = std::make_shared<UIAlertController>();
    alert->setTitle(std::move(title));
    alert->message_ = std::move(message);
    alert->style_ = style;
    return alert;
}

namespace {
// A screen on its way in or out is waited for this often, this many times, before the alert is
// given up (its reason is on the console already).
constexpr double kSettleStep = 0.05;
constexpr int kSettleTries = 40;

void presentWhenSettled(const std::shared_ptr<UIAlertController>& alert, int triesLeft) {
    auto window = UIApplication::sharedApplication().keyWindow();
    std::shared_ptr<UIViewController> front;
    bool moving = false;
    for (auto c = window ? window->rootViewController() : nullptr; c; c = c->presentedViewController()) {
        front = c;
        moving = moving || c->isBeingPresented() || c->isBeingDismissed();
    }
    if (moving) {
        if (triesLeft > 0)
            RunLoop::main().schedule(kSettleStep,
                                     [alert, triesLeft] { presentWhenSettled(alert, triesLeft - 1); });
        return;
    }
    // One alert at a time: another one in front keeps its place.
    if (front && !std::dynamic_pointer_cast<UIAlertController>(front))
        front->presentViewController_animated_completion(alert, true, nullptr);
}
} // namespace

void UIAlertController::showSystemAlert(const std::string& title, const std::string& message) {
    auto alert =
        alertControllerWithTitle_message_preferredStyle(title, message, UIAlertControllerStyle::Alert);
    alert->addAction(
        UIAlertAction::actionWithTitle_style_handler("OK", UIAlertActionStyle::Default, nullptr));
    presentWhenSettled(alert, kSettleTries);
}

void UIAlertController::addAction(const std::shared_ptr<UIAlertAction>& action) {
    if (!action) return;
    if (action->style() == UIAlertActionStyle::Cancel)
        for (auto& existing : actions_)
            if (existing->style() == UIAlertActionStyle::Cancel)
                fatalError(
                    "UIAlertController can only have one action with a style of UIAlertActionStyleCancel");
    actions_.push_back(action);
}

UIModalPresentationStyle UIAlertController::resolvedPresentationStyle() const {
    if (adaptsToPopoverOnPad() && UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiom::Pad)
        return UIModalPresentationStyle::Popover;
    // Alerts float over the screen that presents them, which stays in place.
    return UIModalPresentationStyle::OverFullScreen;
}

CGRect UIAlertController::presentationFrame() const {
    if (auto chrome =
            std::dynamic_pointer_cast<UIAlertControllerView>(const_cast<UIAlertController&>(*this).view()))
        return chrome->chromeFrame();
    return UIScreen::mainScreen().bounds();
}

void UIAlertController::loadView() {
    auto chrome = std::make_shared<UIAlertControllerView>(weakSelf<UIAlertController>());
    setView(chrome);
}

bool UIAlertController::pressActionWithTitle(const std::string& title) {
    for (auto& action : actions_)
        if (action->title() && *action->title() == title && action->isEnabled()) return pressAction(action);
    return false;
}

bool UIAlertController::pressAction(const std::shared_ptr<UIAlertAction>& action) {
    if (!action || !action->isEnabled() ||
        std::find(actions_.begin(), actions_.end(), action) == actions_.end())
        return false;
    auto keep = self<UIAlertController>();
    auto chosen = action;
    pressed_ = action;
    if (presentingViewController()) dismissViewControllerAnimated_completion(true, nullptr);
    if (chosen->handler()) chosen->handler()(*chosen);
    return true;
}

namespace {

// The single action among `actions` that `matches`; none when there are none or several.
template <typename Match>
std::shared_ptr<UIAlertAction> onlyAction(const std::vector<std::shared_ptr<UIAlertAction>>& actions,
                                          Match matches) {
    std::shared_ptr<UIAlertAction> found;
    for (const auto& action : actions)
        if (matches(*action)) {
            if (found) return nullptr;
            found = action;
        }
    return found;
}

std::shared_ptr<UIAlertAction> enabled(std::shared_ptr<UIAlertAction> action) {
    return action && action->isEnabled() ? action : nullptr;
}

} // namespace

std::shared_ptr<UIAlertAction> UIAlertController::returnKeyAction() const {
    if (preferred_ && std::find(actions_.begin(), actions_.end(), preferred_) != actions_.end())
        return enabled(preferred_);
    return enabled(
        onlyAction(actions_, [](const UIAlertAction& a) { return a.style() != UIAlertActionStyle::Cancel; }));
}

std::shared_ptr<UIAlertAction> UIAlertController::escapeKeyAction() const {
    if (auto cancel = onlyAction(
            actions_, [](const UIAlertAction& a) { return a.style() == UIAlertActionStyle::Cancel; }))
        return enabled(cancel);
    return enabled(actions_.size() == 1 ? actions_.front() : nullptr);
}

void UIAlertController::describeScreen(std::vector<std::string>& lines) const {
    std::string head = className();
    head += style_ == UIAlertControllerStyle::Alert ? " alert" : " actionSheet";
    if (title()) head += " title=" + quote(*title());
    if (message_) head += " message=" + quote(*message_);
    lines.push_back(head);
    for (auto& action : actions_) {
        std::string line = "  action " + quote(action->title().value_or(""));
        if (action->style() == UIAlertActionStyle::Cancel) line += " cancel";
        if (action->style() == UIAlertActionStyle::Destructive) line += " destructive";
        if (!action->isEnabled()) line += " disabled";
        lines.push_back(line);
    }
}

} // namespace platform
