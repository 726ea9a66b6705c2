#include "platform/uikit/UITableView.h"

#include <algorithm>

#include "platform/foundation/Console.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIViewController.h"

namespace platform {

namespace {
// The screen presented in front of all others (the window's root when none is).
std::shared_ptr<UIViewController> frontScreen() {
    auto window = UIApplication::sharedApplication().keyWindow();
    auto front = window ? window->rootViewController() : nullptr;
    while (front && front->presentedViewController())
        front = front->presentedViewController();
    return front;
}
} // namespace

const char* describe(UITableViewRowAnimation animation) {
    switch (animation) {
    case UITableViewRowAnimation::Fade:
        return "fade";
    case UITableViewRowAnimation::Right:
        return "right";
    case UITableViewRowAnimation::Left:
        return "left";
    case UITableViewRowAnimation::Top:
        return "top";
    case UITableViewRowAnimation::Bottom:
        return "bottom";
    case UITableViewRowAnimation::None:
        return "none";
    case UITableViewRowAnimation::Middle:
        return "middle";
    case UITableViewRowAnimation::Automatic:
        return "automatic";
    }
    return "?";
}

// MARK: cells

UITableViewCell::UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : style_(style), reuseIdentifier_(std::move(reuseIdentifier)) {
    setFrame({0, 0, 320, 44});
    contentView_ = std::make_shared<UIView>(CGRect{0, 0, 320, 44});
    imageView_ = std::make_shared<UIImageView>(CGRect{16, 4, 36, 36});
    textLabel_ = std::make_shared<UILabel>(CGRect{60, 4, 244, 20});
    if (style != UITableViewCellStyle::Default) {
        detailTextLabel_ = std::make_shared<UILabel>(CGRect{60, 24, 244, 16});
        // The platform's second line: small under the title, grey at the right.
        if (style == UITableViewCellStyle::Subtitle) detailTextLabel_->setFont(UIFont::systemFontOfSize(12));
        if (style == UITableViewCellStyle::Value1)
            detailTextLabel_->setTextColor(UIColor::secondaryLabelColor());
    }
}

void UITableViewCell::prepareForReuse() {
    selected_ = false;
    highlighted_ = false;
}

std::string UITableViewCell::stateDescription() const {
    std::string out = quote(textLabel_->text());
    if (detailTextLabel_ && !detailTextLabel_->text().empty()) out += " / " + quote(detailTextLabel_->text());
    if (imageView_->image()) out += " image=" + quote(imageView_->image()->name());
    if (selected_) out += " selected";
    return out;
}

// MARK: swipe actions

std::shared_ptr<UIContextualAction> UIContextualAction::contextualActionWithStyle_title_handler(
    UIContextualActionStyle style, std::optional<std::string> title, Handler handler) {
    auto action = std::make_shared<UIContextualAction>();
    action->style_ = style;
    action->title_ = std::move(title);
    action->handler_ = std::move(handler);
    return action;
}

std::shared_ptr<UISwipeActionsConfiguration> UISwipeActionsConfiguration::configurationWithActions(
    std::vector<std::shared_ptr<UIContextualAction>> actions) {
    auto configuration = std::make_shared<UISwipeActionsConfiguration>();
    configuration->actions_ = std::move(actions);
    return configuration;
}

// MARK: the table

UITableView::UITableView(const CGRect& frame, UITableViewStyle style) : UIView(frame), style_(style) {}

void UITableView::setDataSource(std::weak_ptr<UITableViewDataSource> source) {
    dataSource_ = std::move(source);
    countsKnown_ = false;
    cellsValid_ = false;
}

void UITableView::setDelegate(std::weak_ptr<UITableViewDelegate> delegate) {
    delegate_ = std::move(delegate);
    cellsValid_ = false;
}

void UITableView::registerCellStyle_forCellReuseIdentifier(UITableViewCellStyle style,
                                                           const std::string& identifier,
                                                           std::string selectionSegue,
                                                           std::weak_ptr<UIViewController> segueSource) {
    prototypes_[identifier] = Prototype{style, std::move(selectionSegue), std::move(segueSource)};
}

std::shared_ptr<UITableViewCell>
UITableView::dequeueReusableCellWithIdentifier(const std::string& identifier) {
    auto& queue = reuseQueue_[identifier];
    if (!queue.empty()) {
        auto cell = queue.back();
        queue.pop_back();
        cell->prepareForReuse();
        return cell;
    }
    auto it = prototypes_.find(identifier);
    if (it == prototypes_.end()) return nullptr;
    return std::make_shared<UITableViewCell>(it->second.style, identifier);
}

std::shared_ptr<UITableViewCell>
UITableView::dequeueReusableCellWithIdentifier_forIndexPath(const std::string& identifier,
                                                            const NSIndexPath&) {
    auto cell = dequeueReusableCellWithIdentifier(identifier);
    if (!cell)
        fatalError("unable to dequeue a cell with identifier " + identifier +
                   " - must register a nib or a class for the identifier or connect a prototype cell in a "
                   "storyboard");
    return cell;
}

void UITableView::takeCounts() {
    counts_.clear();
    if (auto source = dataSource()) {
        long sections = source->numberOfSectionsInTableView(*this);
        for (long s = 0; s < sections; ++s)
            counts_.push_back(std::max(0L, source->tableView_numberOfRowsInSection(*this, s)));
    }
    countsKnown_ = true;
}

long UITableView::numberOfSections() {
    if (!countsKnown_) takeCounts();
    return static_cast<long>(counts_.size());
}

long UITableView::numberOfRowsInSection(long section) {
    if (!countsKnown_) takeCounts();
    if (section < 0 || section >= static_cast<long>(counts_.size())) return 0;
    return counts_[static_cast<std::size_t>(section)];
}

bool UITableView::validRow(const NSIndexPath& path) {
    return path.row >= 0 && path.row < numberOfRowsInSection(path.section);
}

void UITableView::recycleVisible() {
    for (auto& [path, cell] : visible_)
        if (!cell->reuseIdentifier().empty()) reuseQueue_[cell->reuseIdentifier()].push_back(cell);
    visible_.clear();
    cellsValid_ = false;
}

void UITableView::reloadData() {
    recycleVisible();
    takeCounts();
    selected_.reset();
    swipedRow_.reset();
    swipe_.reset();
}

void UITableView::checkUpdate(const std::vector<NSIndexPath>& paths, long sign) {
    if (!countsKnown_) {
        takeCounts();
        return;
    }
    auto before = counts_;
    takeCounts();
    if (counts_.size() != before.size()) fatalError("Invalid update: invalid number of sections");
    for (std::size_t s = 0; s < counts_.size(); ++s) {
        long changed = std::count_if(paths.begin(), paths.end(),
                                     [&](const NSIndexPath& p) { return p.section == static_cast<long>(s); });
        if (counts_[s] != before[s] + sign * changed)
            fatalError("Invalid update: invalid number of rows in section " + std::to_string(s) +
                       ". The number of rows contained in an existing section after the update (" +
                       std::to_string(counts_[s]) +
                       ") must be equal to the number of rows contained in that section before the update (" +
                       std::to_string(before[s]) +
                       "), plus or minus the number of rows inserted or deleted (" +
                       std::to_string(sign > 0 ? changed : 0) + " inserted, " +
                       std::to_string(sign < 0 ? changed : 0) + " deleted).");
    }
    for (auto& p : paths) {
        auto s = static_cast<std::size_t>(p.section);
        long limit = sign > 0 ? counts_[s] : before[s];
        if (p.section < 0 || s >= counts_.size() || p.row < 0 || p.row >= limit)
            fatalError("Invalid update: row " + p.description() + " does not exist");
    }
}

void UITableView::insertRowsAtIndexPaths_withRowAnimation(const std::vector<NSIndexPath>& paths,
                                                          UITableViewRowAnimation animation) {
    checkUpdate(paths, +1);
    auto sorted = paths;
    std::sort(sorted.begin(), sorted.end());
    for (auto& p : sorted) {
        if (selected_ && selected_->section == p.section && selected_->row >= p.row) ++selected_->row;
        if (swipedRow_ && swipedRow_->section == p.section && swipedRow_->row >= p.row) ++swipedRow_->row;
    }
    updates_.push_back({Update::Kind::Insert, paths, animation});
    recycleVisible();
}

void UITableView::deleteRowsAtIndexPaths_withRowAnimation(const std::vector<NSIndexPath>& paths,
                                                          UITableViewRowAnimation animation) {
    checkUpdate(paths, -1);
    auto sorted = paths;
    std::sort(sorted.rbegin(), sorted.rend());
    auto shift = [&](std::optional<NSIndexPath>& row, const NSIndexPath& p) {
        if (!row || row->section != p.section) return;
        if (row->row == p.row)
            row.reset();
        else if (row->row > p.row)
            --row->row;
    };
    for (auto& p : sorted) {
        shift(selected_, p);
        shift(swipedRow_, p);
    }
    if (!swipedRow_) swipe_.reset();
    updates_.push_back({Update::Kind::Delete, paths, animation});
    recycleVisible();
}

void UITableView::selectRowAtIndexPath_animated_scrollPosition(const std::optional<NSIndexPath>& path, bool,
                                                               UITableViewScrollPosition position) {
    if (!path || !validRow(*path)) {
        selected_.reset();
    } else {
        selected_ = path;
        if (position != UITableViewScrollPosition::None)
            scrollToRowAtIndexPath_atScrollPosition_animated(*path, position, false);
    }
    for (auto& [p, cell] : visible_)
        cell->setSelected_animated(selected_ == p, false);
}

void UITableView::deselectRowAtIndexPath_animated(const NSIndexPath& path, bool) {
    if (selected_ != path) return;
    selected_.reset();
    for (auto& [p, cell] : visible_)
        cell->setSelected_animated(false, false);
}

void UITableView::setEditing_animated(bool editing, bool) {
    editing_ = editing;
    swipedRow_.reset();
    swipe_.reset();
    for (auto& [p, cell] : visible_)
        cell->setEditing_animated(editing, false);
}

double UITableView::heightOfRow(const NSIndexPath& path) {
    if (auto d = delegate()) {
        double h = d->tableView_heightForRowAtIndexPath(*this, path);
        if (h >= 0) return h;
    }
    return rowHeight_;
}

double UITableView::offsetOfRow(const NSIndexPath& path) {
    double y = contentInsetTop_;
    for (long s = 0; s < numberOfSections(); ++s)
        for (long r = 0; r < numberOfRowsInSection(s); ++r) {
            if (NSIndexPath{s, r} >= path) return y;
            y += heightOfRow({s, r});
        }
    return y;
}

void UITableView::setContentInsetTop(double inset) {
    inset = std::max(0.0, inset);
    if (inset == contentInsetTop_) return;
    contentInsetTop_ = inset;
    recycleVisible();
}

double UITableView::contentHeight() {
    return offsetOfRow({numberOfSections(), 0});
}

void UITableView::setContentOffsetY(double y) {
    y = std::max(0.0, y);
    if (y == contentOffsetY_) return;
    contentOffsetY_ = y;
    recycleVisible();
}

void UITableView::scrollToRowAtIndexPath_atScrollPosition_animated(const NSIndexPath& path,
                                                                   UITableViewScrollPosition position, bool) {
    if (!validRow(path)) return;
    double top = offsetOfRow(path), h = heightOfRow(path), view = bounds().height();
    double y = contentOffsetY_;
    switch (position) {
    case UITableViewScrollPosition::Top:
        y = top;
        break;
    case UITableViewScrollPosition::Middle:
        y = top - (view - h) / 2;
        break;
    case UITableViewScrollPosition::Bottom:
        y = top + h - view;
        break;
    case UITableViewScrollPosition::None:
        if (top < y)
            y = top;
        else if (top + h > y + view)
            y = top + h - view;
        break;
    }
    setContentOffsetY(y);
}

void UITableView::ensureVisibleCells() {
    if (cellsValid_) return;
    cellsValid_ = true;
    auto source = dataSource();
    if (!source) return;
    if (!countsKnown_) takeCounts();
    double top = contentOffsetY_, bottom = contentOffsetY_ + bounds().height();
    double y = contentInsetTop_;
    for (long s = 0; s < numberOfSections() && y < bottom; ++s)
        for (long r = 0; r < numberOfRowsInSection(s) && y < bottom; ++r) {
            NSIndexPath path{s, r};
            double h = heightOfRow(path);
            if (y + h > top) {
                auto cell = source->tableView_cellForRowAtIndexPath(*this, path);
                if (!cell)
                    fatalError("UITableView (" + className() +
                               ") failed to obtain a cell from its dataSource");
                cell->setFrame({0, y, bounds().width(), h});
                cell->contentView()->setFrame({0, 0, bounds().width(), h});
                cell->setSelected_animated(selected_ == path, false);
                cell->setEditing_animated(editing_, false);
                visible_.emplace_back(path, cell);
            }
            y += h;
        }
}

std::vector<std::shared_ptr<UITableViewCell>> UITableView::visibleCells() {
    ensureVisibleCells();
    std::vector<std::shared_ptr<UITableViewCell>> out;
    for (auto& [p, cell] : visible_)
        out.push_back(cell);
    return out;
}

std::shared_ptr<UITableViewCell> UITableView::cellForRowAtIndexPath(const NSIndexPath& path) {
    ensureVisibleCells();
    for (auto& [p, cell] : visible_)
        if (p == path) return cell;
    return nullptr;
}

std::optional<NSIndexPath> UITableView::indexPathForCell(const UITableViewCell& cell) {
    ensureVisibleCells();
    for (auto& [p, c] : visible_)
        if (c.get() == &cell) return p;
    return std::nullopt;
}

bool UITableView::takesTouches() const {
    return !isHiddenOnScreen() && isUserInteractionEnabled() && alpha() >= 0.01;
}

bool UITableView::userTapRow(const NSIndexPath& path) {
    if (!takesTouches() || !validRow(path)) return false;
    if (swipe_) {
        // A touch on a table with an open swipe only closes it.
        swipe_.reset();
        swipedRow_.reset();
        return false;
    }
    if (editing_ && !allowsSelectionDuringEditing) return false;
    auto cell = cellForRowAtIndexPath(path);
    if (!cell) return false;
    auto keep = self<UITableView>();
    auto d = delegate();
    if (d && !d->tableView_shouldHighlightRowAtIndexPath(*this, path)) return false;
    cell->setHighlighted_animated(true, false);
    const auto front = frontScreen();
    if (d) d->tableView_didHighlightRowAtIndexPath(*this, path);
    if (frontScreen() != front) {
        // A screen presented while the finger is down takes the touch: it is cancelled, so the row
        // is neither selected nor left highlighted.
        cell->setHighlighted_animated(false, false);
        if (d) d->tableView_didUnhighlightRowAtIndexPath(*this, path);
        return true;
    }
    if (selected_ && *selected_ != path) {
        auto previous = *selected_;
        deselectRowAtIndexPath_animated(previous, false);
        if (d) d->tableView_didDeselectRowAtIndexPath(*this, previous);
    }
    selectRowAtIndexPath_animated_scrollPosition(path, false, UITableViewScrollPosition::None);
    if (d) d->tableView_didSelectRowAtIndexPath(*this, path);
    cell->setHighlighted_animated(false, false);
    if (d) d->tableView_didUnhighlightRowAtIndexPath(*this, path);
    auto prototype = prototypes_.find(cell->reuseIdentifier());
    if (prototype != prototypes_.end() && !prototype->second.segue.empty())
        if (auto source = prototype->second.segueSource.lock())
            source->performSegueWithIdentifier_sender(prototype->second.segue, cell);
    return true;
}

std::shared_ptr<UISwipeActionsConfiguration> UITableView::deleteConfiguration(const NSIndexPath& path) {
    auto d = delegate();
    if (d && d->tableView_editingStyleForRowAtIndexPath(*this, path) != UITableViewCellEditingStyle::Delete)
        return nullptr;
    std::weak_ptr<UITableView> weak = self<UITableView>();
    return UISwipeActionsConfiguration::configurationWithActions(
        {UIContextualAction::contextualActionWithStyle_title_handler(
            UIContextualActionStyle::Destructive, "Delete",
            [weak, path](UIContextualAction&, UIView&, UIContextualAction::CompletionHandler done) {
                auto table = weak.lock();
                auto ds = table ? table->dataSource() : nullptr;
                if (ds)
                    ds->tableView_commitEditingStyle_forRowAtIndexPath(
                        *table, UITableViewCellEditingStyle::Delete, path);
                done(true);
            })});
}

std::shared_ptr<UISwipeActionsConfiguration> UITableView::userSwipeRow(const NSIndexPath& path) {
    if (!takesTouches() || editing_ || !validRow(path)) return nullptr;
    auto source = dataSource();
    if (!source || !source->tableView_canEditRowAtIndexPath(*this, path)) return nullptr;
    std::shared_ptr<UISwipeActionsConfiguration> configuration;
    if (auto d = delegate())
        configuration = d->tableView_trailingSwipeActionsConfigurationForRowAtIndexPath(*this, path);
    if (!configuration) configuration = deleteConfiguration(path);
    if (!configuration || configuration->actions().empty()) return nullptr;
    swipe_ = configuration;
    swipedRow_ = path;
    return configuration;
}

std::optional<CGRect> UITableView::editingControlRect(const NSIndexPath& path) const {
    if (!editing_) return std::nullopt;
    auto& me = const_cast<UITableView&>(*this);
    auto source = dataSource();
    if (!source || !source->tableView_canEditRowAtIndexPath(me, path)) return std::nullopt;
    if (auto d = delegate();
        d && d->tableView_editingStyleForRowAtIndexPath(me, path) != UITableViewCellEditingStyle::Delete)
        return std::nullopt;
    for (const auto& [p, cell] : visible_)
        if (p == path) {
            const CGRect f = cell->frame();
            return CGRect{16, f.midY() - 11, 22, 22};
        }
    return std::nullopt;
}

bool UITableView::openDeleteConfirmation(const NSIndexPath& path) {
    if (!takesTouches() || !editing_ || !validRow(path) || !editingControlRect(path)) return false;
    // A second touch on the control of the row that asks takes the question back.
    if (swipedRow_ == path) {
        closeSwipe();
        return true;
    }
    auto configuration = deleteConfiguration(path);
    if (!configuration) return false;
    swipe_ = configuration;
    swipedRow_ = path;
    setNeedsDisplay();
    return true;
}

bool UITableView::userPressSwipeAction(std::size_t index) {
    if (!swipe_ || !swipedRow_ || index >= swipe_->actions().size()) return false;
    auto keep = self<UITableView>();
    auto action = swipe_->actions()[index];
    auto configuration = swipe_;
    std::shared_ptr<UIView> source = cellForRowAtIndexPath(*swipedRow_);
    if (!source) source = keep;
    std::weak_ptr<UITableView> weak = keep;
    if (action->handler())
        action->handler()(*action, *source, [weak, configuration](bool) {
            auto table = weak.lock();
            if (table && table->swipe_ == configuration) {
                table->swipe_.reset();
                table->swipedRow_.reset();
            }
        });
    return true;
}

bool UITableView::userDeleteRowInEditingMode(const NSIndexPath& path) {
    if (!takesTouches() || !editing_ || !validRow(path)) return false;
    auto source = dataSource();
    if (!source || !source->tableView_canEditRowAtIndexPath(*this, path)) return false;
    if (auto d = delegate();
        d && d->tableView_editingStyleForRowAtIndexPath(*this, path) != UITableViewCellEditingStyle::Delete)
        return false;
    auto keep = self<UITableView>();
    source->tableView_commitEditingStyle_forRowAtIndexPath(*this, UITableViewCellEditingStyle::Delete, path);
    return true;
}

void UITableView::describeRows(std::vector<std::string>& lines, const std::string& indent) const {
    auto& me = const_cast<UITableView&>(*this);
    me.ensureVisibleCells();
    bool sections = me.numberOfSections() > 1;
    for (auto& [p, cell] : visible_) {
        std::string head = sections ? p.description() : "[" + std::to_string(p.row) + "]";
        std::string line = indent + head + " " + cell->stateDescription();
        if (swipedRow_ == p && swipe_) {
            line += " swiped:";
            for (auto& action : swipe_->actions())
                line += " " + quote(action->title().value_or("")) +
                        (action->image ? "(" + action->image->name() + ")" : "");
        }
        lines.push_back(line);
    }
}

std::string UITableView::stateDescription() const {
    auto& me = const_cast<UITableView&>(*this);
    long rows = 0;
    for (long s = 0; s < me.numberOfSections(); ++s)
        rows += me.numberOfRowsInSection(s);
    me.ensureVisibleCells();
    std::string out = "rows=" + std::to_string(rows);
    if (static_cast<long>(visible_.size()) < rows) out += " shown=" + std::to_string(visible_.size());
    if (editing_) out += " editing";
    if (selected_) out += " selected=" + std::to_string(selected_->row);
    if (auto base = UIView::stateDescription(); !base.empty()) out += " " + base;
    return out;
}

} // namespace platform
