#include "platform/uikit/UIActivityViewController.h"

#include <algorithm>

namespace platform {

bool UIActivityViewController::userCompleteWithActivity(const std::optional<UIActivityType>& type,
                                                        bool completed) {
    if (type && std::find(excluded_.begin(), excluded_.end(), *type) != excluded_.end()) return false;
    auto keep = self<UIActivityViewController>();
    if (presentingViewController()) dismissViewControllerAnimated_completion(true, nullptr);
    if (completion_) completion_(type, completed && type.has_value());
    return true;
}

void UIActivityViewController::describeScreen(std::vector<std::string>& lines) const {
    lines.push_back(className());
    for (auto& item : items_) {
        if (auto text = std::get_if<std::string>(&item))
            lines.push_back("  item text " + quote(*text));
        else if (auto path = std::get_if<std::filesystem::path>(&item))
            lines.push_back("  item file " + quote(path->string()));
        else if (auto image = std::get_if<std::shared_ptr<UIImage>>(&item))
            lines.push_back("  item image " + quote(*image ? (*image)->name() : std::string()));
        else if (auto url = std::get_if<NSURL>(&item))
            lines.push_back("  item link " + quote(url->absoluteString()));
    }
    for (auto& type : excluded_)
        lines.push_back("  excluded " + type);
}

} // namespace platform
