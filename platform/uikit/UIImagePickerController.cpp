#include "platform/uikit/UIImagePickerController.h"

#include <filesystem>

#include <cairo.h>
#include <fstream>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSURL.h"
#include "platform/uikit/DesktopServices.h"
#include "platform/uikit/ImageFile.h"
#include "platform/uikit/UIAlertController.h"

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
    const std::string name = "\u201C" + std::filesystem::path(path).filename().string() + "\u201D";
    std::optional<std::string> refused;
    std::shared_ptr<UIImage> image;
    if (ec || !std::filesystem::is_regular_file(file, ec)) {
        refused = name + " is not a file.";
    } else if (!std::ifstream(file, std::ios::binary)) {
        refused = name + " cannot be read.";
    } else {
        // The whole picture is decoded now: a file cut short or damaged past its header is refused
        // here, while the person can still choose another, not later when it is copied.
        image = UIImage::imageWithContentsOfFile(file);
        if (!image || !image->surface()) {
            std::string why;
            if (cairo_surface_t* decoded =
                    loadImageFile(file, &why, {kMaxDecodedImageSide, kMaxDecodedImageSide}))
                cairo_surface_destroy(decoded);
            refused = name + " cannot be used: " + (why.empty() ? "it cannot be read" : why) + ".";
        }
    }
    if (refused) {
        showRefusal(*refused);
        return refused;
    }
    UIImagePickerInfo info{
        {UIImagePickerControllerOriginalImage, image},
        {UIImagePickerControllerImageURL, NSURL::fileURLWithPath(file.lexically_normal().string())}};
    auto keep = self<UIImagePickerController>();
    if (auto d = delegate()) d->imagePickerController_didFinishPickingMediaWithInfo(*this, info);
    return std::nullopt;
}

void UIImagePickerController::showRefusal(const std::string& reason) {
    console().print(reason);
    auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Photo not taken", reason, UIAlertControllerStyle::Alert);
    std::weak_ptr<UIImagePickerController> weak = weakSelf<UIImagePickerController>();
    // The picker stays up: on the desktop its file chooser opens again for another choice.
    alert->addAction(
        UIAlertAction::actionWithTitle_style_handler("OK", UIAlertActionStyle::Default, [weak](auto&) {
            if (auto me = weak.lock(); me && me->asksDesktop_) me->askDesktop();
        }));
    if (presentedViewController()) return; // one alert at a time: the reason is on the console too
    presentViewController_animated_completion(alert, true, nullptr);
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
    asksDesktop_ = true;
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
            // A refused file shows its alert, whose OK asks the chooser again.
            me->pickFile(path->string());
        });
}

void UIImagePickerController::describeScreen(std::vector<std::string>& lines) const {
    lines.push_back(className() + " source=" + sourceName(sourceType) +
                    " media=" + (mediaTypes.empty() ? std::string("none") : mediaTypes.front()) +
                    (allowsEditing ? " editing" : " no editing") + (delegate() ? "" : " no delegate"));
}

} // namespace platform
