#pragma once
// The finger of the script verbs: it touches a control only where a person could. It scrolls the
// control into sight first, by dragging what scrolls around it, then touches a point of it that is
// drawn on the screen and that the hit test finds; the touch goes to whatever is found there.
// When no such point exists the verb fails with the reason ("'Send' is not shown").

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Geometry.h"
#include "platform/swiftui/ViewLayout.h"
#include "platform/uikit/NSIndexPath.h"

namespace platform {
class UIAlertControllerView;
class UIBarButtonItem;
class UIPickerView;
class UITableView;
class UIView;
namespace swiftui {
class HostingView;
class UIHostingController;
} // namespace swiftui
} // namespace platform

namespace quillora::cli {

class Finger {
public:
    // A point where a touch reaches `part` of the view (all of it when none), after scrolling it
    // into sight; throws the reason when there is none.
    static platform::CGPoint reach(platform::UIView& view, const std::string& name,
                                   std::optional<platform::CGRect> part = std::nullopt);
    // Touches the view (a part of it) and lifts the finger.
    static void tap(platform::UIView& view, const std::string& name,
                    std::optional<platform::CGRect> part = std::nullopt);
    // Touches a navigation bar or toolbar item of the front-most screen.
    static void tap(platform::UIBarButtonItem& item, const std::string& name);
    // Touches a declarative control, found by its place in the tree (a stepper's + or - when
    // `target` says so).
    static void tap(platform::swiftui::UIHostingController& screen, std::string path, const std::string& name,
                    std::optional<platform::swiftui::LayoutHit::Target> target = std::nullopt);
    // A row of a table: dragged into sight, then a point of it on the screen.
    static platform::CGPoint reachRow(platform::UITableView& table, const platform::NSIndexPath& path,
                                      const std::string& name);
    // The button of an alert's or action sheet's action (its index in `actions()`): the box's
    // content dragged until the button is in sight, then a point where a touch lands on that button
    // and no other.
    static platform::CGPoint reachAlertAction(platform::UIAlertControllerView& view, std::size_t index,
                                              const std::string& name);
    // Turns a picker's wheel to a row: a touch on the row when it is in sight on the wheel, else a
    // turn of the wheel under the pointer.
    static void pick(platform::UIPickerView& picker, long row, long component, const std::string& name);
    // The view that shows a declarative screen.
    static platform::swiftui::HostingView& hostingView(platform::swiftui::UIHostingController& screen);
};

} // namespace quillora::cli
