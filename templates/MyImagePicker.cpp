#include "templates/MyImagePicker.h"

#include "pdf/TemplateStore.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/NSUserDefaults.h"

namespace quillora {

using namespace platform;
using platform::swiftui::Image;

std::shared_ptr<Coordinator> MyImagePicker::makeCoordinator() const {
    return std::make_shared<Coordinator>(imagePickerVisible, selectedImage);
}

std::shared_ptr<UIImagePickerController>
MyImagePicker::makeUIViewController(platform::swiftui::RepresentableContext& context) const {
    auto picker = std::make_shared<UIImagePickerController>();
    picker->setDelegate(context.coordinatorAs<Coordinator>());
    return picker;
}

void Coordinator::imagePickerController_didFinishPickingMediaWithInfo(UIImagePickerController&,
                                                                      const UIImagePickerInfo& info) {
    std::shared_ptr<UIImage> image;
    if (auto found = info.find(UIImagePickerControllerOriginalImage); found != info.end())
        if (auto* held = std::any_cast<std::shared_ptr<UIImage>>(&found->second)) image = *held;
    if (!image) {
        console().print("Photo not taken: the pick holds no image");
        imagePickerVisible.set(false);
        return;
    }
    const NSURL* url = nullptr;
    if (auto found = info.find(UIImagePickerControllerImageURL); found != info.end())
        url = std::any_cast<NSURL>(&found->second);
    if (!url) {
        selectedImage.set(Image(std::shared_ptr<const UIImage>(image)));
        imagePickerVisible.set(false);
        return;
    }
    const std::string localPath = NSTemporaryDirectory() + url->lastPathComponent();
    console().print("LocalPath " + localPath);
    // The path is stored only once the copy is on disk: a template must never point at a missing
    // file or at an older photo under the same name.
    auto jpeg = UIImageJPEGRepresentation(*image, 1.0);
    if (!jpeg) {
        console().print("Photo not taken: " + url->lastPathComponent() + " cannot be encoded as JPEG");
        imagePickerVisible.set(false);
        return;
    }
    selectedImage.set(Image(std::shared_ptr<const UIImage>(image)));
    if (!jpeg->writeToFile_atomically(localPath, true)) {
        console().print("Photo not saved: cannot write " + localPath);
        imagePickerVisible.set(false);
        return;
    }
    const std::string path = NSURL::fileURLWithPath(localPath).path();
    console().print("Local Path Temp: " + path);
    NSUserDefaults::standardUserDefaults()->setObject_forKey(path, kPhotoPathKey);
    imagePickerVisible.set(false);
}

void Coordinator::imagePickerControllerDidCancel(UIImagePickerController&) {
    imagePickerVisible.set(false);
}

} // namespace quillora
