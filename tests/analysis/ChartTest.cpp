#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "analysis/ChartDataModel.h"
#include "analysis/PieChart.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/swiftui/ViewHost.h"
#include "tests/support/PlatformTest.h"

using namespace platform::swiftui;
using platform::CGPoint;
using platform::CGRect;
using quillora::ChartCellModel;
using quillora::ChartDataModel;
using quillora::DonutChart;
using quillora::PieChart;
using quillora::test::PlatformTest;

namespace {

std::vector<ChartCellModel> cellsWith(std::vector<double> values) {
    std::vector<ChartCellModel> cells;
    for (std::size_t i = 0; i < values.size(); ++i)
        cells.push_back({platform::UUID::make(), Color::blue(), values[i], "cell" + std::to_string(i)});
    return cells;
}

CGPoint pointAt(CGPoint c, double r, double degrees) {
    double a = Angle::degrees(degrees).radians;
    return {c.x + r * std::cos(a), c.y + r * std::sin(a)};
}

const CGRect kSquare{0, 0, 100, 100};

class ChartTest : public PlatformTest {};

} // namespace

TEST_F(ChartTest, EqualCellsTileTheCircleInOrderFromThreeOClock) {
    auto model = std::make_shared<ChartDataModel>(cellsWith({5, 5, 5, 5, 5, 5}));
    auto host = ViewHost::make(PieChart{State<platform::UUID>(platform::UUID::make()), model, {}});
    auto wedges = host->tree().findAllKind("PieChartCell");
    ASSERT_EQ(wedges.size(), 6u);
    for (std::size_t i = 0; i < wedges.size(); ++i) {
        Path p = wedges[i]->shapePath(kSquare);
        ASSERT_EQ(p.elements().size(), 3u);
        const auto& arc = p.elements()[1];
        EXPECT_NEAR(arc.startAngle.degreesValue(), 60.0 * (i + 1), 1e-9);
        EXPECT_NEAR(arc.endAngle.degreesValue(), 60.0 * i, 1e-9);
        EXPECT_NEAR(Angle{arc.sweep}.degreesValue(), -60, 1e-9);
        EXPECT_EQ(arc.center, (CGPoint{50, 50}));
        EXPECT_DOUBLE_EQ(arc.radius, 50);
        EXPECT_EQ(p.currentPoint(), (CGPoint{50, 50})) << "ends with a line back to the centre";
        EXPECT_TRUE(p.contains(pointAt({50, 50}, 30, 60.0 * i + 30)));
        EXPECT_FALSE(p.contains(pointAt({50, 50}, 30, 60.0 * i + 90)));
        EXPECT_EQ(wedges[i]->modifier("fill")->color("color")->name, "blue");
    }
    EXPECT_EQ(takeConsole(), (std::vector<std::string>{"60.0", "120.0", "180.0", "240.0", "300.0", "360.0"}));

    // Each evaluation moves the running angle on by a full turn; the wedges drawn stay the same.
    host->rebuild();
    EXPECT_EQ(takeConsole().front(), "420.0");
    Path again = host->tree().findAllKind("PieChartCell")[0]->shapePath(kSquare);
    EXPECT_NEAR(Angle{again.elements()[1].sweep}.degreesValue(), -60, 1e-9);
    EXPECT_TRUE(again.contains(pointAt({50, 50}, 30, 30)));
}

TEST_F(ChartTest, ZeroTotalsDrawNothingAndOneCellCanFillTheDisc) {
    auto zero = std::make_shared<ChartDataModel>(cellsWith({0, 0, 0, 0, 0, 0}));
    auto host = ViewHost::make(DonutChart{State<platform::UUID>(platform::UUID::make()), zero, {}});
    EXPECT_TRUE(host->tree().findAllKind("PieChartCell").empty());
    Angle a = zero->advanceAngle(0);
    EXPECT_FALSE(std::isnan(a.radians));
    EXPECT_EQ(a.radians, 0);
    EXPECT_EQ(takeConsole(), std::vector<std::string>{"0.0"});

    auto whole = std::make_shared<ChartDataModel>(cellsWith({0, 12, 0}));
    auto pie = ViewHost::make(PieChart{State<platform::UUID>(platform::UUID::make()), whole, {}});
    auto wedges = pie->tree().findAllKind("PieChartCell");
    ASSERT_EQ(wedges.size(), 3u);
    EXPECT_EQ(wedges[0]->shapePath(kSquare).elements()[1].sweep, 0) << "a zero cell has no visible wedge";
    Path disc = wedges[1]->shapePath(kSquare);
    EXPECT_NEAR(Angle{disc.elements()[1].sweep}.degreesValue(), -360, 1e-9);
    EXPECT_TRUE(disc.contains(pointAt({50, 50}, 40, 200)));
    EXPECT_EQ(wedges[2]->shapePath(kSquare).elements()[1].sweep, 0);

    // The donut lays a white disc of a third of the radius over the pie.
    const Node* hole = host->tree().findKind("InnerCircle");
    ASSERT_NE(hole, nullptr);
    EXPECT_EQ(hole->modifier("fill")->color("color")->name, "white");
    EXPECT_NEAR(hole->shapePath(kSquare).boundingRect().width(), 100.0 / 3, 1e-3);
}

TEST_F(ChartTest, TappingAWedgeSelectsItAndTappingAgainClearsIt) {
    auto model = std::make_shared<ChartDataModel>(cellsWith({1, 2, 3}));
    std::vector<std::optional<std::string>> reports;
    auto onTap = [&reports](const std::optional<ChartCellModel>& cell) {
        reports.push_back(cell ? std::optional(cell->name) : std::nullopt);
    };
    auto host = ViewHost::make(DonutChart{State<platform::UUID>(platform::UUID::make()), model, onTap});
    auto wedge = [&](std::size_t i) { return host->tree().findAllKind("PieChartCell").at(i); };
    auto scale = [&](std::size_t i) { return wedge(i)->modifier("scaleEffect")->number("x").value(); };

    EXPECT_DOUBLE_EQ(scale(1), 1.0);
    ASSERT_TRUE(host->tap(*wedge(1)));
    EXPECT_DOUBLE_EQ(scale(1), 1.1);
    ASSERT_TRUE(host->tap(*wedge(2)));
    EXPECT_DOUBLE_EQ(scale(1), 1.0);
    EXPECT_DOUBLE_EQ(scale(2), 1.1);
    ASSERT_TRUE(host->tap(*wedge(2)));
    EXPECT_DOUBLE_EQ(scale(2), 1.0);
    EXPECT_EQ(reports, (std::vector<std::optional<std::string>>{"cell1", "cell2", std::nullopt}));
}

TEST_F(ChartTest, ChartCellsReadTheCountersOnceForTheProcess) {
    auto defaults = platform::NSUserDefaults::standardUserDefaults();
    defaults->setInteger_forKey(4, "totalverbcount");
    defaults->setInteger_forKey(7, "totalnouncount");
    defaults->setInteger_forKey(95, "timedictateTotal");
    defaults->setInteger_forKey(30, "totalwordcount");

    auto cells = quillora::chartCells();
    std::vector<std::string> legend;
    for (const auto& c : cells)
        legend.push_back(c.name + " " + c.color.name + " " + quillora::doubleDescription(c.value));
    EXPECT_EQ(legend,
              (std::vector<std::string>{"Verb purple 4.0", "Noun blue 7.0", "Pronoun yellow 0.0",
                                        "Adjective orange 0.0", "Time(sec) red 95.0", "Words green 30.0"}));

    defaults->setInteger_forKey(99, "totalverbcount");
    auto later = quillora::chartCells();
    EXPECT_EQ(later[0].value, 4) << "counters written later are not seen";
    EXPECT_EQ(later[0].id, cells[0].id);
}
