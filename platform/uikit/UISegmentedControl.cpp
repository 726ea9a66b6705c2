#include "platform/uikit/UISegmentedControl.h"

namespace platform {

UISegmentedControl::UISegmentedControl(const std::vector<std::string>& items) {
    for (const auto& title : items)
        segments_.push_back({title, true});
}

std::shared_ptr<UISegmentedControl> UISegmentedControl::initWithItems(const std::vector<std::string>& items) {
    return std::make_shared<UISegmentedControl>(items);
}

std::optional<std::string> UISegmentedControl::titleForSegmentAtIndex(long index) const {
    if (!holds(index)) return std::nullopt;
    return segments_[static_cast<std::size_t>(index)].title;
}

void UISegmentedControl::setTitle_forSegmentAtIndex(std::string title, long index) {
    if (holds(index)) segments_[static_cast<std::size_t>(index)].title = std::move(title);
}

std::optional<long> UISegmentedControl::indexOfSegmentWithTitle(const std::string& title) const {
    for (long i = 0; i < numberOfSegments(); ++i)
        if (segments_[static_cast<std::size_t>(i)].title == title) return i;
    return std::nullopt;
}

void UISegmentedControl::setSelectedSegmentIndex(long index) {
    if (holds(index) || index == UISegmentedControlNoSegment) selected_ = index;
}

bool UISegmentedControl::isEnabledForSegmentAtIndex(long index) const {
    return holds(index) && segments_[static_cast<std::size_t>(index)].enabled;
}

void UISegmentedControl::setEnabled_forSegmentAtIndex(bool enabled, long index) {
    if (holds(index)) segments_[static_cast<std::size_t>(index)].enabled = enabled;
}

bool UISegmentedControl::userSelectSegment(long index) {
    if (!isEnabled() || isHiddenOnScreen() || alpha() < 0.01 || !isUserInteractionEnabled()) return false;
    if (!isEnabledForSegmentAtIndex(index)) return false;
    if (index == selected_) return true;
    selected_ = index;
    sendActionsForControlEvents(UIControlEvent::ValueChanged);
    return true;
}

std::string UISegmentedControl::stateDescription() const {
    std::string out = "segments=";
    for (long i = 0; i < numberOfSegments(); ++i) {
        const auto& segment = segments_[static_cast<std::size_t>(i)];
        out += i ? "|" : "";
        out += i == selected_ ? "[" + segment.title + "]" : segment.title;
        if (!segment.enabled) out += "(disabled)";
    }
    if (auto base = UIControl::stateDescription(); !base.empty()) out += " " + base;
    return out;
}

} // namespace platform
