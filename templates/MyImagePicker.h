#pragma once
// The forms' photo picker: a sheet around the platform's image picker. A pick shows the photo on
// the form and keeps a JPEG copy of it in the temporary folder, whose path every template with a
// photo reads from SaveImageData.

#include <memory>
#include <optional>

#include "platform/swiftui/UIViewControllerRepresentable.h"
#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIImagePickerController.h"

namespace quillora {

class Coordinator : public platform::NSObject,
                    public platform::UINavigationControllerDelegate,
                    public platform::UIImagePickerControllerDelegate {
public:
    Coordinator(platform::swiftui::Binding<bool> imagePickerVisible,
                platform::swiftui::Binding<std::optional<platform::swiftui::Image>> selectedImage)
        : imagePickerVisible(std::move(imagePickerVisible)), selectedImage(std::move(selectedImage)) {}

    platform::swiftui::Binding<bool> imagePickerVisible;
    platform::swiftui::Binding<std::optional<platform::swiftui::Image>> selectedImage;

    void
    imagePickerController_didFinishPickingMediaWithInfo(platform::UIImagePickerController& picker,
                                                        const platform::UIImagePickerInfo& info) override;
    void imagePickerControllerDidCancel(platform::UIImagePickerController& picker) override;
};

struct MyImagePicker : platform::swiftui::UIViewControllerRepresentable<MyImagePicker> {
    MyImagePicker(platform::swiftui::Binding<bool> imagePickerVisible,
                  platform::swiftui::Binding<std::optional<platform::swiftui::Image>> selectedImage)
        : imagePickerVisible(std::move(imagePickerVisible)), selectedImage(std::move(selectedImage)) {}

    platform::swiftui::Binding<bool> imagePickerVisible;
    platform::swiftui::Binding<std::optional<platform::swiftui::Image>> selectedImage;

    std::shared_ptr<Coordinator> makeCoordinator() const;
    std::shared_ptr<platform::UIImagePickerController>
    makeUIViewController(platform::swiftui::RepresentableContext& context) const;
    void updateUIViewController(platform::UIImagePickerController&,
                                platform::swiftui::RepresentableContext&) const {}
};

} // namespace quillora
