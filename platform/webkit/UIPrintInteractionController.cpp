#include "platform/webkit/UIPrintInteractionController.h"

#include "platform/foundation/NSURL.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/DesktopServices.h"

namespace platform {

UIPrintInteractionController& UIPrintInteractionController::sharedPrintController() {
    static UIPrintInteractionController* shared = [] {
        auto* controller = new UIPrintInteractionController;
        registerSharedInstanceReset([controller] { controller->reset(); });
        return controller;
    }();
    return *shared;
}

void UIPrintInteractionController::reset() {
    printInfo.reset();
    printPageRenderer.reset();
    printFormatter.reset();
    printingItem.reset();
    printingItems.clear();
    showsNumberOfCopies = true;
    showsPageRange = true;
    presented_ = false;
    completion_ = nullptr;
    jobs_.clear();
}

bool UIPrintInteractionController::presentAnimated_completionHandler(bool animated,
                                                                     CompletionHandler completion) {
    if (presented_) return false;
    if (!printingItem && printingItems.empty() && !printPageRenderer && !printFormatter) return false;
    UIPrintJobRecord job;
    auto info = printInfo ? printInfo : UIPrintInfo::printInfo();
    job.jobName = info->jobName;
    job.outputType = info->outputType;
    job.duplex = info->duplex;
    job.orientation = info->orientation;
    job.printingItem = printingItem;
    job.printingItems = printingItems;
    job.hasPageRenderer = printPageRenderer != nullptr;
    job.showsNumberOfCopies = showsNumberOfCopies;
    job.animated = animated;
    jobs_.push_back(std::move(job));
    presented_ = true;
    completion_ = std::move(completion);
    // With a window the desktop's print dialog shows the PDF; it answers when the person is done.
    if (!DesktopServices::recording() && printingItem) {
        std::filesystem::path pdf = *printingItem;
        if (auto url = NSURL::URLWithString(*printingItem); url && url->isFileURL()) pdf = url->path();
        std::string error;
        const bool opened = DesktopServices::shared().printPDF(
            pdf, jobs_.back().jobName,
            [this](bool printed, const std::optional<std::string>& failure) {
                if (!presented_) return;
                presented_ = false;
                auto done = std::move(completion_);
                completion_ = nullptr;
                if (done) done(*this, printed, failure);
            },
            &error);
        if (!opened) {
            presented_ = false;
            auto done = std::move(completion_);
            completion_ = nullptr;
            if (done) RunLoop::main().schedule(0, [this, done, error] { done(*this, false, error); });
        }
    }
    return true;
}

void UIPrintInteractionController::dismissAnimated(bool) {
    if (!presented_) return;
    presented_ = false;
    auto completion = std::move(completion_);
    completion_ = nullptr;
    if (completion) completion(*this, false, std::nullopt);
}

} // namespace platform
