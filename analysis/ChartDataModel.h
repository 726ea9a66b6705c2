#pragma once
// The data behind the analysis screen's donut chart: one cell per word-class counter and a model
// that hands out each wedge's angles in turn.

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/UUID.h"
#include "platform/swiftui/Color.h"
#include "platform/swiftui/Path.h"
#include "platform/swiftui/State.h"

namespace quillora {

struct ChartCellModel {
    platform::UUID id = platform::UUID::make();
    platform::swiftui::Color color;
    double value = 0;
    std::string name;
};

class ChartDataModel : public platform::swiftui::ObservableObject {
public:
    explicit ChartDataModel(std::vector<ChartCellModel> cells);

    std::vector<ChartCellModel> chartCellModel;

    // The running end angle before and after the last advance.
    platform::swiftui::Angle startingAngle() const;
    platform::swiftui::Angle lastBarEndAngle() const;

    // Moves the running angle on by the share of `value` in the total of every cell and prints the
    // new end angle in degrees. With a total of 0 no cell has a share: the angle stays put.
    platform::swiftui::Angle advanceAngle(double value);

    // Sum of every cell's value.
    double total() const;

private:
    // Kept in degrees so that the printed angles are the round figures the shares add up to.
    double startingDegrees_ = 0;
    double lastBarEndDegrees_ = 0;
};

// The six cells of the chart: verbs, nouns, pronouns, adjectives, seconds dictated and words, from
// the counters in the standard user-defaults store. The counters are read once, on first use, and
// kept for the life of the process; every call gives the same six cells, ids included.
std::vector<ChartCellModel> chartCells();

// A floating-point number as the platform prints it by default: "12.0", "0.5", "1e+16".
std::string doubleDescription(double value);

} // namespace quillora
