#include "platform/uikit/UIBarButtonItem.h"

namespace platform {

std::string UIBarButtonItem::action() const {
    return actions_.entries().empty() ? std::string() : actions_.entries().front().action;
}

std::shared_ptr<NSObject> UIBarButtonItem::target() const {
    return actions_.entries().empty() ? nullptr : actions_.entries().front().target.lock();
}

bool UIBarButtonItem::press() {
    if (!enabled_) return false;
    auto keep = self<UIBarButtonItem>();
    actions_.send(*keep, UIControlEvent::PrimaryActionTriggered);
    return true;
}

std::string UIBarButtonItem::stateDescription() const {
    std::string out;
    if (title_) out += "title=" + quote(*title_);
    if (image_) out += std::string(out.empty() ? "" : " ") + "image=" + quote(image_->name());
    if (!enabled_) out += std::string(out.empty() ? "" : " ") + "disabled";
    return out;
}

} // namespace platform
