#include "analysis/PieChart.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace quillora {

using namespace platform::swiftui;
using platform::CGPoint;
using platform::CGRect;

namespace {
CGPoint centreOf(CGRect rect) {
    return {(rect.size.width + rect.minX()) / 2, (rect.size.height + rect.minY()) / 2};
}
} // namespace

Path PieChartCell::path(CGRect rect) const {
    CGPoint c = centreOf(rect);
    double r = std::min(c.x, c.y);
    Path p;
    p.addArc(c, r, startAngle, endAngle, true);
    p.addLine(c);
    return p;
}

Path InnerCircle::path(CGRect rect) const {
    CGPoint c = centreOf(rect);
    double r = ratio * std::min(c.x, c.y);
    Path p;
    p.addArc(c, r, Angle::fromRadians(0), Angle::fromRadians(2 * std::numbers::pi), true);
    p.addLine(c);
    return p;
}

AnyView PieChart::body() const {
    std::vector<AnyView> wedges;
    double total = dataModel->total();
    if (total != 0 && std::isfinite(total)) {
        for (const ChartCellModel& cell : dataModel->chartCellModel) {
            Angle start = dataModel->advanceAngle(cell.value);
            Angle end = dataModel->startingAngle();
            auto selection = selectedCell;
            auto tapped = onTap;
            bool selected = selectedCell.get() == cell.id;
            wedges.push_back(AnyView(PieChartCell{start, end})
                                 .fill(cell.color)
                                 .onTapGesture([selection, tapped, cell] {
                                     if (selection.get() == cell.id) {
                                         if (tapped) tapped(std::nullopt);
                                         selection.set(platform::UUID::make());
                                     } else {
                                         selection.set(cell.id);
                                         if (tapped) tapped(cell);
                                     }
                                 })
                                 .scaleEffect(selected ? 1.1 : 1.0)
                                 // What a reader of the screen (a person without sight, a script)
                                 // learns of the wedge.
                                 .modifier("accessibilityLabel", {{"label", cell.name}})
                                 .modifier("accessibilityValue", {{"value", doubleDescription(cell.value)}}));
        }
    }
    return ZStack(StackOptions{Alignment::center, {}}, std::move(wedges));
}

AnyView DonutChart::body() const {
    return ZStack(StackOptions{Alignment::center, {}},
                  {PieChart{State<platform::UUID>(platform::UUID::make()), dataModel, onTap},
                   AnyView(InnerCircle{1.0 / 3}).fill(Color::white())});
}

} // namespace quillora
