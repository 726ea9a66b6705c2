#pragma once
// The store-review request. There is no store here: each request is recorded with the scene it
// was made in, so that callers can be checked and the program can report it.

#include <memory>
#include <vector>

#include "platform/uikit/UIApplication.h"

namespace platform {

class SKStoreReviewController {
public:
    static void requestReviewInScene(const std::shared_ptr<UIWindowScene>& scene);

    // The scenes of every request made since the last reset, in order.
    static const std::vector<std::weak_ptr<UIWindowScene>>& requests();
    static void reset();
};

} // namespace platform
