#pragma once
// The donut chart of the analysis screen: one wedge per cell, tiling the circle from 3 o'clock in
// cell order, a tap enlarging a wedge and reporting its cell, and a white disc over the centre.

#include <functional>
#include <memory>
#include <optional>
#include <tuple>

#include "analysis/ChartDataModel.h"
#include "platform/swiftui/View.h"

namespace quillora {

// A wedge: an arc about the centre of its rectangle from `startAngle` back to `endAngle`, then a
// line to the centre; filling closes it.
struct PieChartCell {
    platform::swiftui::Angle startAngle;
    platform::swiftui::Angle endAngle;
    platform::swiftui::Path path(platform::CGRect rect) const;
};

// A disc about the centre of its rectangle, `ratio` times the largest radius that fits.
struct InnerCircle {
    double ratio = 0;
    platform::swiftui::Path path(platform::CGRect rect) const;
};

using ChartTapHandler = std::function<void(const std::optional<ChartCellModel>&)>;

struct PieChart {
    // The highlighted wedge; an id that matches no cell means none.
    platform::swiftui::State<platform::UUID> selectedCell{platform::UUID::make()};
    std::shared_ptr<ChartDataModel> dataModel;
    // Told of every selection change: the cell when a wedge becomes selected, nothing when the
    // selected wedge is tapped again.
    ChartTapHandler onTap;

    auto states() { return std::tie(selectedCell); }
    // Advances the model's angles by one full turn. When the cells add up to nothing there is no
    // share to draw, so no wedge is drawn.
    platform::swiftui::AnyView body() const;
};

struct DonutChart {
    // Not consulted: the pie inside keeps its own selection.
    platform::swiftui::State<platform::UUID> selectedCell{platform::UUID::make()};
    std::shared_ptr<ChartDataModel> dataModel;
    ChartTapHandler onTap;

    auto states() { return std::tie(selectedCell); }
    platform::swiftui::AnyView body() const;
};

} // namespace quillora
