#include "settings/AppShareSheet.h"

#include "settings/AppCatalogue.h"

using namespace platform;

namespace quillora::settings {

std::shared_ptr<UIActivityViewController> AppShareSheet::make(const std::string& text,
                                                              const std::optional<std::string>& link) {
    std::vector<ActivityItem> items{text};
    if (link) {
        auto url = NSURL::URLWithString(*link);
        if (!url) return nullptr;
        items.emplace_back(*url);
    }
    return UIActivityViewController::initWithActivityItems_applicationActivities(std::move(items), {});
}

std::shared_ptr<UIActivityViewController> AppShareSheet::recommendation() {
    return make(std::string(shareText), std::string(storePage));
}

std::shared_ptr<UIViewController>
AppShareSheet::topMostPresented(const std::shared_ptr<UIViewController>& base) {
    auto top = base;
    while (top)
        if (auto next = top->presentedViewController(); next && next != top)
            top = next;
        else
            break;
    return top;
}

bool AppShareSheet::present(const std::shared_ptr<UIActivityViewController>& sheet,
                            const std::shared_ptr<UIViewController>& base, const PopoverAnchor& anchor) {
    auto presenter = topMostPresented(base);
    if (!sheet || !presenter) return false;
    if (auto popover = sheet->popoverPresentationController()) {
        if (anchor.sourceView) popover->sourceView = anchor.sourceView;
        if (anchor.sourceRect) popover->sourceRect = *anchor.sourceRect;
        if (anchor.permittedArrowDirections)
            popover->permittedArrowDirections = *anchor.permittedArrowDirections;
    }
    presenter->presentViewController_animated_completion(sheet, true, nullptr);
    return presenter->presentedViewController() == sheet;
}

} // namespace quillora::settings
