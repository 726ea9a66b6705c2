#pragma once
// The share sheet that recommends the app (or any text with a link), presented where it can be
// seen: from the top-most controller presented above the one a screen names, so that a screen that
// is itself presented still gets its sheet above it. On a pad the sheet is a popover that each
// caller anchors in its own way.

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/UIActivityViewController.h"

namespace quillora::settings {

// Where a popover points. Only what is given is set; the rest keeps the platform's defaults.
struct PopoverAnchor {
    std::shared_ptr<platform::UIView> sourceView;
    std::optional<platform::CGRect> sourceRect;
    std::optional<platform::UIPopoverArrowDirection> permittedArrowDirections;
};

class AppShareSheet {
public:
    // The text, then the link when one is given. None when the link makes no URL.
    static std::shared_ptr<platform::UIActivityViewController> make(const std::string& text,
                                                                    const std::optional<std::string>& link);
    // The app's recommendation: its share text and its store page.
    static std::shared_ptr<platform::UIActivityViewController> recommendation();

    // The controller shown on top of `base`: the last of the chain of presented controllers.
    static std::shared_ptr<platform::UIViewController>
    topMostPresented(const std::shared_ptr<platform::UIViewController>& base);

    // Anchors the sheet's popover (when it has one) and presents it, animated, from the top-most
    // controller above `base`. False when it was not shown.
    static bool present(const std::shared_ptr<platform::UIActivityViewController>& sheet,
                        const std::shared_ptr<platform::UIViewController>& base, const PopoverAnchor& anchor);
};

} // namespace quillora::settings
