#include "platform/uikit/CALayer.h"

#include <algorithm>

namespace platform {

void CALayer::addSublayer(std::shared_ptr<CALayer> layer) {
    if (!layer || layer.get() == this) return;
    // Added again to the same layer, it moves to the top.
    std::erase(sublayers_, layer);
    sublayers_.push_back(std::move(layer));
}

} // namespace platform
