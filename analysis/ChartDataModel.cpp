#include "analysis/ChartDataModel.h"

#include <charconv>
#include <cmath>
#include <mutex>
#include <optional>

#include "common/StoredKeys.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/Sandbox.h"

namespace quillora {

using platform::swiftui::Angle;
using platform::swiftui::Color;

ChartDataModel::ChartDataModel(std::vector<ChartCellModel> cells) : chartCellModel(std::move(cells)) {}

Angle ChartDataModel::startingAngle() const {
    return Angle::degrees(startingDegrees_);
}

Angle ChartDataModel::lastBarEndAngle() const {
    return Angle::degrees(lastBarEndDegrees_);
}

double ChartDataModel::total() const {
    double sum = 0;
    for (const ChartCellModel& cell : chartCellModel)
        sum += cell.value;
    return sum;
}

Angle ChartDataModel::advanceAngle(double value) {
    if (startingDegrees_ != lastBarEndDegrees_) startingDegrees_ = lastBarEndDegrees_;
    double sum = total();
    double share = sum != 0 && std::isfinite(sum) ? value / sum * 360.0 : 0.0;
    if (!std::isfinite(share)) share = 0;
    lastBarEndDegrees_ += share;
    platform::console().print(doubleDescription(lastBarEndDegrees_));
    return lastBarEndAngle();
}

namespace {

struct CachedCells {
    std::mutex mutex;
    std::optional<std::vector<ChartCellModel>> cells;
};

CachedCells& cache() {
    static CachedCells c;
    static bool hooked = [] {
        platform::registerSharedInstanceReset([] {
            std::lock_guard lock(cache().mutex);
            cache().cells.reset();
        });
        return true;
    }();
    (void)hooked;
    return c;
}

} // namespace

std::vector<ChartCellModel> chartCells() {
    CachedCells& c = cache();
    std::lock_guard lock(c.mutex);
    if (!c.cells) {
        auto defaults = platform::NSUserDefaults::standardUserDefaults();
        auto value = [&](std::string_view key) {
            return static_cast<double>(defaults->integerForKey(std::string(key)));
        };
        c.cells = std::vector<ChartCellModel>{
            {platform::UUID::make(), Color::purple(), value(keys::totalverbcount), "Verb"},
            {platform::UUID::make(), Color::blue(), value(keys::totalnouncount), "Noun"},
            {platform::UUID::make(), Color::yellow(), value(keys::totalpronouncount), "Pronoun"},
            {platform::UUID::make(), Color::orange(), value(keys::totaladjectivecount), "Adjective"},
            {platform::UUID::make(), Color::red(), value(keys::timedictateTotal), "Time(sec)"},
            {platform::UUID::make(), Color::green(), value(keys::totalwordcount), "Words"},
        };
    }
    return *c.cells;
}

std::string doubleDescription(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    std::string out(buf, result.ptr);
    if (out.find_first_of(".e") == std::string::npos) out += ".0";
    return out;
}

} // namespace quillora
