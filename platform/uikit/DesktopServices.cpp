#include "platform/uikit/DesktopServices.h"

#include <system_error>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"

namespace platform {

namespace {
std::shared_ptr<DesktopServices>& current() {
    static std::shared_ptr<DesktopServices>* services = [] {
        auto* holder = new std::shared_ptr<DesktopServices>(std::make_shared<RecordingDesktopServices>());
        registerSharedInstanceReset([holder] { *holder = std::make_shared<RecordingDesktopServices>(); });
        return holder;
    }();
    return *services;
}
} // namespace

DesktopServices& DesktopServices::shared() {
    return *current();
}

void DesktopServices::install(std::shared_ptr<DesktopServices> services) {
    current() = services ? std::move(services) : std::make_shared<RecordingDesktopServices>();
}

RecordingDesktopServices* DesktopServices::recording() {
    return dynamic_cast<RecordingDesktopServices*>(current().get());
}

void RecordingDesktopServices::copyToClipboard(const std::string& text) {
    clipboard_ = text;
}

void RecordingDesktopServices::clipboardText(TextCallback callback) {
    if (!callback) return;
    RunLoop::main().schedule(0, [callback = std::move(callback), text = clipboard_] { callback(text); });
}

void RecordingDesktopServices::chooseFileToOpen(const std::string& title,
                                                const std::vector<FileFilter>& filters,
                                                PathCallback callback) {
    fileRequests_.push_back({false, title, filters, {}});
    pendingFiles_.push_back(std::move(callback));
}

void RecordingDesktopServices::chooseFileToSave(const std::string& title, const std::string& suggestedName,
                                                PathCallback callback) {
    fileRequests_.push_back({true, title, {}, suggestedName});
    pendingFiles_.push_back(std::move(callback));
}

bool RecordingDesktopServices::answerFileChooser(const std::optional<std::filesystem::path>& path) {
    if (pendingFiles_.empty()) return false;
    auto callback = std::move(pendingFiles_.front());
    pendingFiles_.erase(pendingFiles_.begin());
    if (callback) RunLoop::main().schedule(0, [callback = std::move(callback), path] { callback(path); });
    return true;
}

bool RecordingDesktopServices::printPDF(const std::filesystem::path& pdf, const std::string& jobName,
                                        PrintCallback callback, std::string* error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(pdf, ec)) {
        if (error) *error = "the file " + pdf.string() + " is not there";
        return false;
    }
    printRequests_.push_back({pdf, jobName});
    pendingPrints_.push_back(std::move(callback));
    return true;
}

bool RecordingDesktopServices::finishPrint(bool printed) {
    if (pendingPrints_.empty()) return false;
    auto callback = std::move(pendingPrints_.front());
    pendingPrints_.erase(pendingPrints_.begin());
    if (callback)
        RunLoop::main().schedule(
            0, [callback = std::move(callback), printed] { callback(printed, std::nullopt); });
    return true;
}

bool RecordingDesktopServices::openURL(const std::string& url, std::string* error) {
    openedURLs_.push_back(url);
    if (!opensURLs_ && error) *error = "nothing here opens links";
    return opensURLs_;
}

} // namespace platform
