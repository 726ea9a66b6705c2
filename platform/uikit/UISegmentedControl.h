#pragma once
// Segmented controls: a row of titled segments of which at most one is selected. Choosing a
// segment from code sends nothing; a person's pick of another segment sends value-changed.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/UIControl.h"

namespace platform {

class UISegmentedControl : public UIControl {
public:
    // No segment is selected.
    static constexpr long UISegmentedControlNoSegment = -1;

    UISegmentedControl() = default;
    explicit UISegmentedControl(const std::vector<std::string>& items);
    static std::shared_ptr<UISegmentedControl> initWithItems(const std::vector<std::string>& items);

    long numberOfSegments() const { return static_cast<long>(segments_.size()); }
    // None for an index outside the control.
    std::optional<std::string> titleForSegmentAtIndex(long index) const;
    void setTitle_forSegmentAtIndex(std::string title, long index);
    // The first segment with that title, or none.
    std::optional<long> indexOfSegmentWithTitle(const std::string& title) const;

    long selectedSegmentIndex() const { return selected_; }
    // From code: any index of the control, or UISegmentedControlNoSegment; nothing is sent.
    void setSelectedSegmentIndex(long index);

    bool isEnabledForSegmentAtIndex(long index) const;
    void setEnabled_forSegmentAtIndex(bool enabled, long index);

    // A person picks `index`: refused (false) when the control or that segment cannot be used or
    // the index is outside the control. A pick of another segment selects it and sends
    // value-changed; picking the selected one again sends nothing.
    bool userSelectSegment(long index);

    std::string stateDescription() const override;

    // The platform's look: a rounded grey track, the selected segment raised in white, titles
    // centred, disabled ones faded.
    void draw(cairo_t* cr) const override;
    // A finger lifted over a segment picks it (as userSelectSegment); nothing else is sent.
    void touchesEnded(const UITouch& touch) override;
    // The segment under `point` (bounds coordinates), or none.
    std::optional<long> segmentAtPoint(CGPoint point) const;

private:
    struct Segment {
        std::string title;
        bool enabled = true;
    };
    bool holds(long index) const { return index >= 0 && index < numberOfSegments(); }

    std::vector<Segment> segments_;
    long selected_ = UISegmentedControlNoSegment;
};

} // namespace platform
