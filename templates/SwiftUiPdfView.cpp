#include "templates/SwiftUiPdfView.h"

#include "platform/uikit/UIViewController.h"

namespace quillora {

using namespace platform::swiftui;

AnyView SwiftUiPdfView::body() const {
    auto presenter = presentingVC;
    return VStack({
        Text("CHOOSE A DOCUMENT"),
        Button("Dismiss",
               [presenter] {
                   if (auto screen = presenter.lock())
                       screen->dismissViewControllerAnimated_completion(true, nullptr);
               }),
    });
}

} // namespace quillora
