#pragma once
// The print dialog. No printer is reachable here: presenting the dialog records the job it would
// print (its name and item) so that the screens that print can be checked, and the dialog stays
// up until it is dismissed, which reports the job as not printed.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/webkit/UIPrintPageRenderer.h"

namespace platform {

enum class UIPrintInfoOutputType { general, photo, grayscale, photoGrayscale };
enum class UIPrintInfoDuplex { none, longEdge, shortEdge };
enum class UIPrintInfoOrientation { portrait, landscape };

class UIPrintInfo {
public:
    static std::shared_ptr<UIPrintInfo> printInfo() { return std::make_shared<UIPrintInfo>(); }

    UIPrintInfoOutputType outputType = UIPrintInfoOutputType::general;
    std::string jobName;
    UIPrintInfoDuplex duplex = UIPrintInfoDuplex::none;
    UIPrintInfoOrientation orientation = UIPrintInfoOrientation::portrait;
};

// One presentation of the dialog, as it was asked for.
struct UIPrintJobRecord {
    std::string jobName;
    UIPrintInfoOutputType outputType = UIPrintInfoOutputType::general;
    UIPrintInfoDuplex duplex = UIPrintInfoDuplex::none;
    UIPrintInfoOrientation orientation = UIPrintInfoOrientation::portrait;
    std::optional<std::string> printingItem; // the address of the file printed
    std::vector<std::string> printingItems;
    bool hasPageRenderer = false;
    bool showsNumberOfCopies = false;
    bool animated = false;
};

class UIPrintInteractionController {
public:
    using CompletionHandler = std::function<void(UIPrintInteractionController&, bool completed,
                                                 const std::optional<std::string>& error)>;

    static UIPrintInteractionController& sharedPrintController();

    std::shared_ptr<UIPrintInfo> printInfo;
    std::shared_ptr<UIPrintPageRenderer> printPageRenderer;
    std::shared_ptr<UIPrintFormatter> printFormatter;
    std::optional<std::string> printingItem;
    std::vector<std::string> printingItems;
    bool showsNumberOfCopies = true;
    bool showsPageRange = true;

    // Shows the dialog for what is set above and records the job. False when there is nothing to
    // print or the dialog is already up.
    bool presentAnimated_completionHandler(bool animated, CompletionHandler completion = {});
    bool isPresented() const { return presented_; }
    // Closes the dialog without printing; the completion handler learns it was not completed.
    void dismissAnimated(bool animated);

    const std::vector<UIPrintJobRecord>& presentedJobs() const { return jobs_; }

private:
    UIPrintInteractionController() = default;
    void reset();

    bool presented_ = false;
    CompletionHandler completion_;
    std::vector<UIPrintJobRecord> jobs_;
};

} // namespace platform
