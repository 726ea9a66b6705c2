#pragma once
// The share sheet: the items offered, the activity types left out, and the completion hook that
// tells the screen which activity the user chose.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/foundation/NSURL.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIViewController.h"

namespace platform {

// A text, a file (a file URL), an image or a link.
using ActivityItem = std::variant<std::string, std::filesystem::path, std::shared_ptr<UIImage>, NSURL>;
using UIActivityType = std::string;

inline const UIActivityType UIActivityTypeMail = "com.apple.UIKit.activity.Mail";
inline const UIActivityType UIActivityTypeMessage = "com.apple.UIKit.activity.Message";
inline const UIActivityType UIActivityTypePrint = "com.apple.UIKit.activity.Print";
inline const UIActivityType UIActivityTypeCopyToPasteboard = "com.apple.UIKit.activity.CopyToPasteboard";
inline const UIActivityType UIActivityTypeAirDrop = "com.apple.UIKit.activity.AirDrop";
inline const UIActivityType UIActivityTypeSaveToCameraRoll = "com.apple.UIKit.activity.SaveToCameraRoll";
inline const UIActivityType UIActivityTypeAssignToContact = "com.apple.UIKit.activity.AssignToContact";
inline const UIActivityType UIActivityTypeAddToReadingList = "com.apple.UIKit.activity.AddToReadingList";
// Saving a shared file into a folder the user picks.
inline const UIActivityType UIActivityTypeSaveToFiles = "com.apple.DocumentManagerUICore.SaveToFiles";

class UIActivityViewController : public UIViewController {
public:
    using CompletionWithItemsHandler =
        std::function<void(const std::optional<UIActivityType>& activityType, bool completed)>;

    // An activity that a framework above this one carries out (mail, through its composer): its
    // row's title, whether it can be done now with these items, and how it is done over the screen
    // the sheet was presented from once the sheet has gone, `done` hearing whether it was.
    struct Provider {
        std::string title;
        std::function<bool(const std::vector<ActivityItem>& items)> canPerform;
        std::function<void(const std::vector<ActivityItem>& items,
                           const std::shared_ptr<UIViewController>& presenter,
                           std::function<void(bool completed)> done)>
            perform;
    };
    // Offers `type` on every sheet from now on, wherever its provider can perform it.
    static void provideActivity(const UIActivityType& type, Provider provider);

    UIActivityViewController(std::vector<ActivityItem> items,
                             std::vector<std::string> applicationActivities = {})
        : items_(std::move(items)), applicationActivities_(std::move(applicationActivities)) {}
    static std::shared_ptr<UIActivityViewController>
    initWithActivityItems_applicationActivities(std::vector<ActivityItem> items,
                                                std::vector<std::string> applicationActivities = {}) {
        return std::make_shared<UIActivityViewController>(std::move(items), std::move(applicationActivities));
    }

    const std::vector<ActivityItem>& activityItems() const { return items_; }
    const std::vector<std::string>& applicationActivities() const { return applicationActivities_; }
    const std::vector<UIActivityType>& excludedActivityTypes() const { return excluded_; }
    void setExcludedActivityTypes(std::vector<UIActivityType> types) { excluded_ = std::move(types); }
    void setCompletionWithItemsHandler(CompletionWithItemsHandler handler) {
        completion_ = std::move(handler);
    }
    const CompletionWithItemsHandler& completionWithItemsHandler() const { return completion_; }

    // The user picks an activity (or cancels with none): the sheet goes away, the activity acts
    // through the desktop's services (copy puts the text on the clipboard, saving asks where to save
    // through the file chooser, printing opens the print dialog with the PDF) or its provider (mail)
    // and the hook is told whether it was completed once it has. An activity the sheet does not
    // offer (excluded, or one this desktop cannot do) cannot be picked (false).
    bool userCompleteWithActivity(const std::optional<UIActivityType>& type, bool completed = true);

    void describeScreen(std::vector<std::string>& lines) const override;

    // The activities the sheet offers, in its order: those of the platform and its providers that
    // suit the items, can be done here and are not excluded; each with the title its row shows.
    // The application's own activities are names only, which nothing here can carry out.
    std::vector<std::pair<UIActivityType, std::string>> offeredActivities() const;
    // The sheet's own view (see UIActivityViewControllerView).
    void loadView() override;
    // On a phone the sheet covers the lower half of the screen.
    CGRect presentationFrame() const override;

protected:
    bool adaptsToPopoverOnPad() const override { return true; }

private:
    // Carries out `type` on the items; `done` learns whether it completed (later, for the
    // activities that ask the person).
    void perform(const UIActivityType& type, std::function<void(bool)> done);
    // Opens the print dialog with the shared PDF, else with the shared text set on pages; a share
    // with nothing printable, or a PDF that cannot be made, is reported as not completed.
    void print(const std::vector<std::filesystem::path>& files, const std::vector<std::string>& texts,
               std::function<void(bool)> done);

    std::vector<ActivityItem> items_;
    std::vector<std::string> applicationActivities_;
    std::vector<UIActivityType> excluded_;
    CompletionWithItemsHandler completion_;
};

// What the share sheet shows: what is shared at the top with a close button, then one row per
// offered activity. A touch on a row picks that activity; the close button cancels.
class UIActivityViewControllerView : public UIView {
public:
    explicit UIActivityViewControllerView(std::weak_ptr<UIActivityViewController> controller)
        : controller_(std::move(controller)) {}

    // In bounds coordinates: the close button, and the rows in the order of offeredActivities().
    CGRect closeRect() const;
    std::vector<CGRect> rowRects() const;

    void draw(cairo_t* cr) const override;
    void touchesBegan(const UITouch& touch) override;
    void touchesEnded(const UITouch& touch) override;
    void touchesCancelled(const UITouch& touch) override;

private:
    long rowAt(CGPoint point) const;
    std::weak_ptr<UIActivityViewController> controller_;
    long pressed_ = -1;
};

} // namespace platform
