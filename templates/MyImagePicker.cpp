#include "templates/MyImagePicker.h"

#include "pdf/TemplateStore.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/PropertyList.h"
#include "platform/uikit/UIAlertController.h"

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

void Coordinator::imagePickerController_didFinishPickingMediaWithInfo(UIImagePickerController& picker,
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
    // The copy is named so that its name can be stored: a picked file's name need not be UTF-8, and
    // once it is, it may have grown past what a name may hold.
    const std::string folder = NSTemporaryDirectory();
    const std::string localPath = folder + NSFileManager::nameWithin(storableText(url->lastPathComponent()),
                                                                     NSFileManager::longestNameIn(folder));
    console().print("LocalPath " + localPath);
    // The form shows the photo and the path is stored only once the copy is on disk: the form
    // never shows a picture that the letter would not print. The picker stays live meanwhile, while
    // another program holds the folder.
    const std::string name = url->lastPathComponent();
    auto refuse = [name](UIImagePickerController& picker, const std::string& problem) {
        const std::string message =
            "\u201C" + name + "\u201D was not taken: " + problem + ". The form keeps its picture.";
        console().print("Photo not saved: " + message);
        // The picker stays up so that the person can choose another photo or cancel.
        auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
            "Photo not saved", message, UIAlertControllerStyle::Alert);
        alert->addAction(
            UIAlertAction::actionWithTitle_style_handler("OK", UIAlertActionStyle::Default, nullptr));
        picker.presentViewController_animated_completion(alert, true, nullptr);
    };
    auto jpeg = UIImageJPEGRepresentation(*image, 1.0);
    if (!jpeg) return refuse(picker, "it cannot be saved as a JPEG picture");
    std::weak_ptr<Coordinator> weak = self<Coordinator>();
    std::weak_ptr<UIImagePickerController> shown = picker.weakSelf<UIImagePickerController>();
    NSFileManager::defaultManager().writeAtomicallyOnLoop(
        localPath, jpeg->bytes(),
        [weak, shown, refuse, image, localPath](const std::optional<NSError>& error) {
            auto me = weak.lock();
            auto picker = shown.lock();
            if (!me || !picker) return;
            if (error)
                return refuse(*picker, "its copy cannot be written (" + error->localizedDescription + ")");
            me->selectedImage.set(Image(std::shared_ptr<const UIImage>(image)));
            const std::string path = NSURL::fileURLWithPath(localPath).path();
            console().print("Local Path Temp: " + path);
            storePhotoPath(path);
            me->imagePickerVisible.set(false);
        });
}

void Coordinator::imagePickerControllerDidCancel(UIImagePickerController&) {
    imagePickerVisible.set(false);
}

} // namespace quillora
