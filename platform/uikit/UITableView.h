#pragma once
// Table views: rows from a data source, cells dequeued by reuse identifier, row heights, selection
// and highlighting through the delegate, inserts and deletes (each update recorded with its
// animation), editing mode, and swipe actions. Only the rows that fit in the table's bounds have
// cells, as on the device; a cell that scrolls or reloads away goes back to the reuse queue.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/NSIndexPath.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"

namespace platform {

class UITableView;
class UIViewController;

enum class UITableViewCellStyle { Default, Value1, Value2, Subtitle };
enum class UITableViewCellEditingStyle { None, Delete, Insert };
enum class UITableViewRowAnimation { Fade, Right, Left, Top, Bottom, None, Middle, Automatic = 100 };
enum class UITableViewScrollPosition { None, Top, Middle, Bottom };
enum class UITableViewStyle { Plain, Grouped, InsetGrouped };

const char* describe(UITableViewRowAnimation animation);

class UITableViewCell : public UIView {
public:
    UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier);

    UITableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    // The view the cell's content goes into; the labels and the image view live in it.
    std::shared_ptr<UIView> contentView() const { return contentView_; }
    std::shared_ptr<UILabel> textLabel() const { return textLabel_; }
    // None for the default style, which has no second line.
    std::shared_ptr<UILabel> detailTextLabel() const { return detailTextLabel_; }
    std::shared_ptr<UIImageView> imageView() const { return imageView_; }

    bool isSelected() const { return selected_; }
    void setSelected_animated(bool selected, bool) { selected_ = selected; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted_animated(bool highlighted, bool) { highlighted_ = highlighted; }
    bool isEditing() const { return editing_; }
    void setEditing_animated(bool editing, bool) { editing_ = editing; }

    // Called when the cell is taken from the reuse queue: selection and highlight are cleared;
    // what the data source put into the content view stays, as on the device.
    virtual void prepareForReuse();

    // "text" / "detail" image=...
    std::string stateDescription() const override;

    // Background (grey while highlighted or selected), the content view, image, title and subtitle.
    // `revealed` moves the content left by that many points for an open swipe.
    // `indent` moves it right (of an editing control).
    void drawCell(cairo_t* cr, CGFloat revealed, CGFloat indent = 0) const;

private:
    UITableViewCellStyle style_;
    std::string reuseIdentifier_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UILabel> textLabel_;
    std::shared_ptr<UILabel> detailTextLabel_;
    std::shared_ptr<UIImageView> imageView_;
    bool selected_ = false;
    bool highlighted_ = false;
    bool editing_ = false;
};

enum class UIContextualActionStyle { Normal, Destructive };

// One button of a row's swipe. Its handler gets the action, the view it was shown in and a
// completion to call with whether the action was performed.
class UIContextualAction : public NSObject {
public:
    using CompletionHandler = std::function<void(bool actionPerformed)>;
    using Handler = std::function<void(UIContextualAction&, UIView& sourceView, CompletionHandler)>;

    static std::shared_ptr<UIContextualAction>
    contextualActionWithStyle_title_handler(UIContextualActionStyle style, std::optional<std::string> title,
                                            Handler handler);

    UIContextualActionStyle style() const { return style_; }
    const std::optional<std::string>& title() const { return title_; }
    const Handler& handler() const { return handler_; }
    std::shared_ptr<UIImage> image;
    std::optional<UIColor> backgroundColor;

private:
    UIContextualActionStyle style_ = UIContextualActionStyle::Normal;
    std::optional<std::string> title_;
    Handler handler_;
};

class UISwipeActionsConfiguration : public NSObject {
public:
    static std::shared_ptr<UISwipeActionsConfiguration>
    configurationWithActions(std::vector<std::shared_ptr<UIContextualAction>> actions);

    const std::vector<std::shared_ptr<UIContextualAction>>& actions() const { return actions_; }
    bool performsFirstActionWithFullSwipe = true;

private:
    std::vector<std::shared_ptr<UIContextualAction>> actions_;
};

class UITableViewDataSource {
public:
    virtual ~UITableViewDataSource() = default;
    virtual long numberOfSectionsInTableView(UITableView&) { return 1; }
    virtual long tableView_numberOfRowsInSection(UITableView&, long section) = 0;
    virtual std::shared_ptr<UITableViewCell> tableView_cellForRowAtIndexPath(UITableView&,
                                                                             const NSIndexPath&) = 0;
    virtual bool tableView_canEditRowAtIndexPath(UITableView&, const NSIndexPath&) { return true; }
    // Sent when the user deletes a row (swipe without actions of its own, editing mode).
    virtual void tableView_commitEditingStyle_forRowAtIndexPath(UITableView&, UITableViewCellEditingStyle,
                                                                const NSIndexPath&) {}
};

class UITableViewDelegate {
public:
    virtual ~UITableViewDelegate() = default;
    // Negative: the table's own rowHeight.
    virtual double tableView_heightForRowAtIndexPath(UITableView&, const NSIndexPath&) { return -1; }
    virtual bool tableView_shouldHighlightRowAtIndexPath(UITableView&, const NSIndexPath&) { return true; }
    virtual void tableView_didHighlightRowAtIndexPath(UITableView&, const NSIndexPath&) {}
    virtual void tableView_didUnhighlightRowAtIndexPath(UITableView&, const NSIndexPath&) {}
    virtual void tableView_didSelectRowAtIndexPath(UITableView&, const NSIndexPath&) {}
    virtual void tableView_didDeselectRowAtIndexPath(UITableView&, const NSIndexPath&) {}
    virtual UITableViewCellEditingStyle tableView_editingStyleForRowAtIndexPath(UITableView&,
                                                                                const NSIndexPath&) {
        return UITableViewCellEditingStyle::Delete;
    }
    // None: the platform's own "Delete", which commits the delete editing style.
    virtual std::shared_ptr<UISwipeActionsConfiguration>
    tableView_trailingSwipeActionsConfigurationForRowAtIndexPath(UITableView&, const NSIndexPath&) {
        return nullptr;
    }
    virtual std::shared_ptr<UISwipeActionsConfiguration>
    tableView_leadingSwipeActionsConfigurationForRowAtIndexPath(UITableView&, const NSIndexPath&) {
        return nullptr;
    }
};

class UITableView : public UIView {
public:
    explicit UITableView(const CGRect& frame = {}, UITableViewStyle style = UITableViewStyle::Plain);

    UITableViewStyle style() const { return style_; }
    std::shared_ptr<UITableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<UITableViewDataSource> source);
    std::shared_ptr<UITableViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UITableViewDelegate> delegate);

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height) { rowHeight_ = height; }

    // Cell prototypes (what a storyboard's prototype cells are): the style of the cells made for
    // the identifier and, when the prototype has one, the segue the screen `segueSource` performs
    // (with the cell as sender) once the user has selected a row.
    void registerCellStyle_forCellReuseIdentifier(UITableViewCellStyle style, const std::string& identifier,
                                                  std::string selectionSegue = "",
                                                  std::weak_ptr<UIViewController> segueSource = {});
    // A reused cell of the identifier, or a new one when the queue is empty; none when the
    // identifier is registered nowhere.
    std::shared_ptr<UITableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    // As above; an unregistered identifier stops the program, as on the device.
    std::shared_ptr<UITableViewCell>
    dequeueReusableCellWithIdentifier_forIndexPath(const std::string& identifier, const NSIndexPath&);

    // The counts as the table last took them from the data source.
    long numberOfSections();
    long numberOfRowsInSection(long section);
    // Takes the counts anew and rebuilds the visible cells; the selection is dropped.
    void reloadData();

    // Updates: the data source must already report the new counts; a count that does not add up
    // stops the program ("Invalid update"), as on the device.
    void insertRowsAtIndexPaths_withRowAnimation(const std::vector<NSIndexPath>& paths,
                                                 UITableViewRowAnimation animation);
    void deleteRowsAtIndexPaths_withRowAnimation(const std::vector<NSIndexPath>& paths,
                                                 UITableViewRowAnimation animation);
    struct Update {
        enum class Kind { Insert, Delete } kind;
        std::vector<NSIndexPath> paths;
        UITableViewRowAnimation animation;
    };
    // Every insert and delete since the table was made, in order.
    const std::vector<Update>& updates() const { return updates_; }

    // Selection from code: no delegate message.
    void selectRowAtIndexPath_animated_scrollPosition(const std::optional<NSIndexPath>& path, bool animated,
                                                      UITableViewScrollPosition position);
    void deselectRowAtIndexPath_animated(const NSIndexPath& path, bool animated);
    std::optional<NSIndexPath> indexPathForSelectedRow() const { return selected_; }

    bool isEditing() const { return editing_; }
    void setEditing_animated(bool editing, bool animated);
    bool allowsSelectionDuringEditing = false;

    // The cells the table shows now (rows within its bounds), and one of them; none for a row
    // that is not on screen.
    std::vector<std::shared_ptr<UITableViewCell>> visibleCells();
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const NSIndexPath& path);
    std::optional<NSIndexPath> indexPathForCell(const UITableViewCell& cell);
    double contentOffsetY() const { return contentOffsetY_; }
    void setContentOffsetY(double y);
    void scrollToRowAtIndexPath_atScrollPosition_animated(const NSIndexPath& path, UITableViewScrollPosition,
                                                          bool animated);
    // Room above the first row for a bar drawn over the table's top (the platform's automatic
    // content inset): the rows start below it and scroll up under it.
    double contentInsetTop() const { return contentInsetTop_; }
    void setContentInsetTop(double inset);
    // Height of the rows before `path` (its top, below the inset), and the total height of the
    // content.
    double offsetOfRow(const NSIndexPath& path);
    double contentHeight();

    // The user's touches. Each returns false when the table does not take it (hidden, a row
    // outside the table, editing without selection, no swipe for the row...).
    // Touch and lift on a row: highlight, select, then the prototype's segue if any.
    bool userTapRow(const NSIndexPath& path);
    // A trailing swipe: the actions shown stay open until one is pressed.
    std::shared_ptr<UISwipeActionsConfiguration> userSwipeRow(const NSIndexPath& path);
    // Presses action `index` of the open swipe; the row closes when the handler completes.
    bool userPressSwipeAction(std::size_t index);
    std::optional<NSIndexPath> swipedRow() const { return swipedRow_; }
    // The actions of the open swipe; none when no row is swiped.
    std::shared_ptr<UISwipeActionsConfiguration> openSwipe() const { return swipe_; }
    // In editing mode: the row's delete control and its confirmation.
    bool userDeleteRowInEditingMode(const NSIndexPath& path);
    // In editing mode, a row that can be deleted shows a red round control at its left edge (in
    // content coordinates; none for a row not on screen) and its content moves right of it. A
    // touch on it asks to confirm: a Delete button at the row's right end, pressed or closed as
    // a swipe's buttons are.
    std::optional<CGRect> editingControlRect(const NSIndexPath& path) const;
    bool openDeleteConfirmation(const NSIndexPath& path);
    static constexpr CGFloat kEditingIndent = 38;

    // Drawing and touches: the visible rows with separators, an open swipe's buttons at the
    // right of its row; a tap on a row selects it, on a swipe button presses it, elsewhere while
    // a swipe is open closes it.
    void layoutSubviews() override;
    void draw(cairo_t* cr) const override;
    bool clipsWhenDrawn() const override { return true; }
    void touchesBegan(const UITouch& touch) override;
    void touchesEnded(const UITouch& touch) override;
    void touchesCancelled(const UITouch& touch) override;
    // The open swipe's buttons in bounds coordinates, in the order of its actions.
    std::vector<CGRect> swipeActionRects() const;
    // The row drawn at `point` (bounds coordinates).
    std::optional<NSIndexPath> indexPathForRowAtPoint(CGPoint point);
    // Closes an open swipe without pressing any of its buttons.
    void closeSwipe();

    // One line per visible row, for a screen printout: "  [0] "text" / "detail"".
    void describeRows(std::vector<std::string>& lines, const std::string& indent) const;
    std::string stateDescription() const override;

private:
    struct Prototype {
        UITableViewCellStyle style;
        std::string segue;
        std::weak_ptr<UIViewController> segueSource;
    };
    bool validRow(const NSIndexPath& path);
    // The platform's own "Delete" for a row whose editing style is delete; none for another.
    std::shared_ptr<UISwipeActionsConfiguration> deleteConfiguration(const NSIndexPath& path);
    void takeCounts();
    void checkUpdate(const std::vector<NSIndexPath>& paths, long sign);
    void recycleVisible();
    void ensureVisibleCells();
    double heightOfRow(const NSIndexPath& path);
    bool takesTouches() const;

    UITableViewStyle style_;
    std::weak_ptr<UITableViewDataSource> dataSource_;
    std::weak_ptr<UITableViewDelegate> delegate_;
    double rowHeight_ = 44;
    std::map<std::string, Prototype> prototypes_;
    std::map<std::string, std::vector<std::shared_ptr<UITableViewCell>>> reuseQueue_;
    std::vector<long> counts_;
    bool countsKnown_ = false;
    bool cellsValid_ = false;
    std::vector<std::pair<NSIndexPath, std::shared_ptr<UITableViewCell>>> visible_;
    std::vector<Update> updates_;
    std::optional<NSIndexPath> selected_;
    std::optional<NSIndexPath> swipedRow_;
    std::shared_ptr<UISwipeActionsConfiguration> swipe_;
    bool editing_ = false;
    double contentOffsetY_ = 0;
    double contentInsetTop_ = 0;
    std::optional<NSIndexPath> touchedRow_;
};

} // namespace platform
