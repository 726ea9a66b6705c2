#include "platform/uikit/UIImagePickerController.h"

#include <filesystem>
#include <fstream>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSURL.h"
#include "platform/uikit/DesktopServices.h"

namespace platform {

namespace {
const char* sourceName(UIImagePickerControllerSourceType type) {
    switch (type) {
    case UIImagePickerControllerSourceType::camera:
        return "camera";
    case UIImagePickerControllerSourceType::savedPhotosAlbum:
        return "savedPhotosAlbum";
    default:
        return "photoLibrary";
    }
}
} // namespace

std::optional<std::string> UIImagePickerController::pickFile(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path file = std::filesystem::absolute(path, ec);
    if (ec || !std::filesystem::is_regular_file(file, ec)) return "'" + path + "' is not a file";
    if (!std::ifstream(file, std::ios::binary)) return "'" + path + "' cannot be read";
    auto image = UIImage::imageWithContentsOfFile(file);
    if (!image || image->format() == ImageFormat::None)
        return "'" + path + "' is not a PNG or JPEG image (only those can be picked)";
    UIImagePickerInfo info{
        {UIImagePickerControllerOriginalImage, image},
        {UIImagePickerControllerImageURL, NSURL::fileURLWithPath(file.lexically_normal().string())}};
    auto keep = self<UIImagePickerController>();
    if (auto d = delegate()) d->imagePickerController_didFinishPickingMediaWithInfo(*this, info);
    return std::nullopt;
}

void UIImagePickerController::cancel() {
    auto keep = self<UIImagePickerController>();
    if (auto d = delegate()) d->imagePickerControllerDidCancel(*this);
}

void UIImagePickerController::viewDidAppear(bool animated) {
    UINavigationController::viewDidAppear(animated);
    askDesktop();
}

void UIImagePickerController::askDesktop() {
    std::weak_ptr<UIImagePickerController> weak = weakSelf<UIImagePickerController>();
    DesktopServices::shared().chooseFileToOpen(
        "Choose a photo",
        {FileFilter{"PNG and JPEG images", {"image/png", "image/jpeg"}, {"*.png", "*.jpg", "*.jpeg"}}},
        [weak](const std::optional<std::filesystem::path>& path) {
            auto me = weak.lock();
            if (!me || !me->presentingViewController()) return;
            if (!path) {
                me->cancel();
                return;
            }
            if (auto refused = me->pickFile(path->string())) {
                console().print(*refused);
                me->askDesktop();
            }
        });
}

void UIImagePickerController::describeScreen(std::vector<std::string>& lines) const {
    lines.push_back(className() + " source=" + sourceName(sourceType) +
                    " media=" + (mediaTypes.empty() ? std::string("none") : mediaTypes.front()) +
                    (allowsEditing ? " editing" : " no editing") + (delegate() ? "" : " no delegate"));
}

} // namespace platform
