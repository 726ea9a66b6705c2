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

    // What the system itself tells the person (a print or a link that failed): an alert with OK
    // over the screen in front, once no screen is on its way in or out. Not shown over another
    // alert: the caller has put the reason on the console too.
    static void showSystemAlert(const std::string& title, const std::string& message);

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
    // The same press of one of the alert's own actions; false when it is not one or is disabled.
    bool pressAction(const std::shared_ptr<UIAlertAction>& action);
    // The action a press chose last (none before any).
    std::shared_ptr<UIAlertAction> pressedAction() const { return pressed_; }

    // A hardware keyboard's answer: Return presses the preferred action, else the only action that
    // is not a cancel; Escape the cancel action, else the only action. None when the key names no
    // action, or a disabled one.
    std::shared_ptr<UIAlertAction> returnKeyAction() const;
    std::shared_ptr<UIAlertAction> escapeKeyAction() const;
    bool pressReturnKeyAction() { return pressAction(returnKeyAction()); }
    bool pressEscapeKeyAction() { return pressAction(escapeKeyAction()); }

    void describeScreen(std::vector<std::string>& lines) const override;
    // The alert's own chrome over the whole screen (see UIAlertControllerView).
    void loadView() override;
    // The box, where the style puts it.
    CGRect presentationFrame() const override;

protected:
    bool adaptsToPopoverOnPad() const override { return style_ == UIAlertControllerStyle::ActionSheet; }
    UIModalPresentationStyle resolvedPresentationStyle() const override;

private:
    std::optional<std::string> message_;
    UIAlertControllerStyle style_ = UIAlertControllerStyle::Alert;
    std::vector<std::shared_ptr<UIAlertAction>> actions_;
    std::shared_ptr<UIAlertAction> preferred_;
    std::shared_ptr<UIAlertAction> pressed_;
};

// What an alert or action sheet shows: the platform's box of title, message and action buttons (an
// alert in the middle of the screen, an action sheet at the bottom with its cancel button apart; on
// a pad the action sheet is a box of its own). The screen behind dims. A touch on a button
// presses it; views a screen adds to the alert's view sit in the box.
class UIAlertControllerView : public UIView {
public:
    explicit UIAlertControllerView(std::weak_ptr<UIAlertController> controller);

    struct Layout {
        CGRect box;       // the title, message and the buttons of the first group
        CGRect cancelBox; // an action sheet's separate cancel button (empty otherwise)
        CGRect title, message;
        // One rectangle per action, in the order of `actions()`.
        std::vector<CGRect> buttons;
        bool sideBySide = false;
        bool popover = false;
        // How much taller the box's content is than the box (it scrolls by that much at most).
        CGFloat overflow = 0;
    };
    Layout layout() const;
    // The action whose button is at `point` (bounds coordinates); -1 when none.
    long actionAtPoint(CGPoint point) const;
    // The box (and an action sheet's cancel button below it) on the screen: the view's frame.
    CGRect chromeFrame() const;
    // How much the screen behind darkens.
    CGFloat dimming() const;
    void layoutSubviews() override;

    void draw(cairo_t* cr) const override;
    void touchesBegan(const UITouch& touch) override;
    void touchesMoved(const UITouch& touch) override;
    void touchesEnded(const UITouch& touch) override;
    void touchesCancelled(const UITouch& touch) override;
    long pressedAction() const { return pressed_; }
    // Scrolls the content of a box taller than the screen (a drag or the wheel), kept in range.
    void scrollBy(CGFloat dy);
    CGFloat scrollOffset() const { return scroll_; }

private:
    std::weak_ptr<UIAlertController> controller_;
    long pressed_ = -1;
    CGFloat scroll_ = 0;
    CGFloat dragFrom_ = 0;
    CGFloat dragScroll_ = 0;
    bool dragging_ = false;
};

} // namespace platform
