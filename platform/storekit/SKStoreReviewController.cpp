#include "platform/storekit/SKStoreReviewController.h"

#include "platform/foundation/Sandbox.h"

namespace platform {

namespace {
std::vector<std::weak_ptr<UIWindowScene>>& recorded() {
    static std::vector<std::weak_ptr<UIWindowScene>> list = [] {
        registerSharedInstanceReset([] { SKStoreReviewController::reset(); });
        return std::vector<std::weak_ptr<UIWindowScene>>{};
    }();
    return list;
}
} // namespace

void SKStoreReviewController::requestReviewInScene(const std::shared_ptr<UIWindowScene>& scene) {
    // The platform ignores a request without a scene; so do we.
    if (!scene) return;
    recorded().push_back(scene);
}

const std::vector<std::weak_ptr<UIWindowScene>>& SKStoreReviewController::requests() {
    return recorded();
}

void SKStoreReviewController::reset() {
    recorded().clear();
}

} // namespace platform
