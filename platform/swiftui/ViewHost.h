#pragma once
// The host of a root view: it builds the view's tree, keeps the states of the composite views in
// it, drives its controls the way a person would (press, edit, toggle...) and rebuilds the tree
// after every action. It presents sheets on the run-loop turn after the action that asked for
// them has returned, never inside it.
//
// Standing alone, a host presents a sheet by making a child host for the sheet's content
// (presentedSheet()). A hosting controller installs a sheet presenter instead and shows the content
// as a presented view controller; it reports the dismissal back through sheetDidDismiss().

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/swiftui/View.h"

namespace platform::swiftui {

class ViewHost : public std::enable_shared_from_this<ViewHost> {
public:
    static std::shared_ptr<ViewHost> make(AnyView root);
    ~ViewHost();
    ViewHost(const ViewHost&) = delete;
    ViewHost& operator=(const ViewHost&) = delete;

    const AnyView& rootView() const { return rootView_; }
    // Replaces the root view; the new one starts with its own states.
    void setRootView(AnyView root);

    // The current tree, built on first use. References into it stay valid until the next rebuild.
    const Node& tree();
    std::string describe() { return tree().describe(); }
    void rebuild();
    // Rebuilds on the next run-loop turn (several requests make one rebuild).
    void setNeedsRebuild();
    bool needsRebuild() const { return dirty_; }

    // Driving controls, found by label (see Node::label): the exact label, else the label with the
    // blanks around it ignored, else the one label that starts with the text given. Each returns
    // false, with the reason in lastError(), when no enabled control of that kind matches or when
    // several do (they are listed).
    bool press(std::string_view label);
    bool press(const Node& button);
    // Holds a button down (a style shows it pressed) and lets it go, which runs its action.
    bool pressDown(std::string_view label);
    bool pressUp(std::string_view label);
    bool edit(std::string_view label, const std::string& text);
    // Presses the first button labelled `item` that follows the text `heading` (a row of options
    // under its title). The heading is matched by the label rules above.
    bool pressAfter(std::string_view heading, std::string_view item);
    bool edit(const Node& field, const std::string& text);
    // The enabled text field or editor labelled `label`, by the rules above; none, with the reason
    // in lastError(), when there is no such one or several.
    const Node* textField(std::string_view label);
    // The control of a kind (`can`, named `what` in reasons) that a person names by `label`, by
    // the rules above, disabled ones included; none, with the reason in lastError(), when none or
    // several match.
    const Node* find(std::string_view label, const std::function<bool(const Node&)>& can, const char* what);
    // The first button labelled `item` that follows the text `heading` (see pressAfter), disabled
    // or not; none, with the reason in lastError().
    const Node* findAfter(std::string_view heading, std::string_view item);
    bool setOn(std::string_view label, bool on);
    bool increment(std::string_view label);
    bool decrement(std::string_view label);
    bool select(std::string_view label, const std::string& option);
    // Runs the tap gesture of a node of the current tree (found by its place in the tree).
    bool tap(const Node& node);
    // A touch on a button at its place in the tree: held down, then let go, running its action
    // only when `perform` (the finger was lifted over it).
    bool pressDown(const Node& button);
    bool pressUp(const Node& button, bool perform);
    // Runs `change` with the enabled control at the place of `control` in the current tree, then
    // rebuilds (a toggle flipped, a picker's choice, a stepper's step).
    bool change(const Node& control, const std::function<void(const Node&)>& change);
    // Counts the rebuilds: what was computed from one tree is stale once it moves on.
    std::uint64_t generation() const { return generation_; }
    const std::string& lastError() const { return lastError_; }

    // Environment.
    void setColorScheme(ColorScheme scheme);
    ColorScheme colorScheme() const { return env_.colorScheme; }
    // URLs the views asked to open, in order. Each goes to the handler when one is set, else to
    // the application, which opens links for the whole program.
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    void setOpenURLHandler(std::function<void(const std::string&)> handler) {
        openURLHandler_ = std::move(handler);
    }
    // What the environment's dismiss does in this host when it is not a sheet of another host.
    void setDismissHandler(std::function<void()> handler);

    // Sheets.
    using SheetPresenter = std::function<void(const AnyView& content)>;
    // Installs how sheets are shown, how they are taken away when their flag is cleared by the
    // views, and how to tell whether the sheet shown is still up (it may go away by other means).
    void setSheetPresenter(SheetPresenter present, std::function<void()> takeAway,
                           std::function<bool()> stillShown);
    // Notices a sheet that went away without telling (see stillShown); done before every use.
    void syncSheet();
    bool isSheetPresented() const { return sheet_.has_value(); }
    // The child host of the sheet shown (standing-alone presentation only).
    std::shared_ptr<ViewHost> presentedSheet() const { return sheet_ ? sheet_->child : nullptr; }
    // The sheet went away: its flag (or item) is reset and the tree rebuilt.
    void sheetDidDismiss();

    // Used by the views being built.
    bool isPressed(const std::string& path) const { return pressed_.count(path) > 0; }
    std::shared_ptr<detail::StateBoxBase> stateSlot(const std::string& key,
                                                    std::shared_ptr<detail::StateBoxBase> fresh);

private:
    explicit ViewHost(AnyView root);
    struct ActiveSheet {
        std::string path;
        std::shared_ptr<SheetRequest> request;
        std::shared_ptr<ViewHost> child;
    };

    const Node* findByLabel(const Node& within, std::string_view label,
                            const std::function<bool(const Node&)>& can, const char* what);
    const Node* control(std::string_view label, const std::function<bool(const Node&)>& can,
                        const char* what);
    bool run(const std::function<void()>& action);
    void afterRebuild();
    void checkSheets();
    void presentPendingSheet();
    void requestDismiss();
    void fail(std::string message);

    AnyView rootView_;
    NodePtr root_;
    EnvironmentValues env_;
    std::map<std::string, std::shared_ptr<detail::StateBoxBase>> slots_;
    std::set<std::string> touched_;
    std::set<std::string> pressed_;
    std::set<std::string> appeared_;
    bool dirty_ = false;
    std::uint64_t generation_ = 0;
    bool rebuildQueued_ = false;
    bool sheetQueued_ = false;
    int busy_ = 0; // inside an action or a build: state writes only mark the tree dirty
    std::string lastError_;
    std::vector<std::string> openedURLs_;
    std::function<void(const std::string&)> openURLHandler_;
    std::function<void()> dismissHandler_;
    SheetPresenter presenter_;
    std::function<void()> takeAway_;
    std::function<bool()> stillShown_;
    std::optional<ActiveSheet> sheet_;
    std::weak_ptr<ViewHost> parent_;
};

} // namespace platform::swiftui
