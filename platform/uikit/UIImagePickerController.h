#pragma once
// The photo picker: a navigation controller that lets a person choose one still image from the
// photo library and tells its delegate what was picked. The library here is the machine's files:
// in the window the desktop's file chooser offers them, scripts name a file. Only readable PNG and
// JPEG files are taken; anything else is refused with a message and the picker stays up.

#include <any>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"

namespace platform {

class UIImagePickerController;

// What a pick hands the delegate, by the keys below: the image as std::shared_ptr<UIImage> and
// the picked file as NSURL.
using UIImagePickerInfo = std::map<std::string, std::any>;
inline constexpr const char* UIImagePickerControllerOriginalImage = "UIImagePickerControllerOriginalImage";
inline constexpr const char* UIImagePickerControllerImageURL = "UIImagePickerControllerImageURL";

class UIImagePickerControllerDelegate {
public:
    virtual ~UIImagePickerControllerDelegate() = default;
    virtual void imagePickerController_didFinishPickingMediaWithInfo(UIImagePickerController&,
                                                                     const UIImagePickerInfo&) {}
    virtual void imagePickerControllerDidCancel(UIImagePickerController&) {}
};

enum class UIImagePickerControllerSourceType { photoLibrary, camera, savedPhotosAlbum };

class UIImagePickerController : public UINavigationController {
public:
    UIImagePickerController() = default;

    UIImagePickerControllerSourceType sourceType = UIImagePickerControllerSourceType::photoLibrary;
    std::vector<std::string> mediaTypes{"public.image"};
    bool allowsEditing = false;

    // The delegate is held weakly and must be both a navigation and an image-picker delegate.
    template <class D>
    requires(std::is_base_of_v<UINavigationControllerDelegate, D>&& std::is_base_of_v<
             UIImagePickerControllerDelegate, D>) void setDelegate(const std::shared_ptr<D>& delegate) {
        pickerDelegate_ = std::static_pointer_cast<UIImagePickerControllerDelegate>(delegate);
        navigationDelegate_ = std::static_pointer_cast<UINavigationControllerDelegate>(delegate);
    }
    std::shared_ptr<UIImagePickerControllerDelegate> delegate() const { return pickerDelegate_.lock(); }

    // A person picks the file at `path`. The whole picture is decoded first. None when the delegate
    // was told; else why the file was refused: the picker stays up, an alert "Photo not taken"
    // tells the person the reason in words, and the delegate hears nothing.
    std::optional<std::string> pickFile(const std::string& path);
    // A person cancels: the delegate is told.
    void cancel();

    // Once on screen the picker asks the desktop's file chooser (DesktopServices) for a file; a
    // refused file shows its alert and the chooser is asked again once it is dismissed; no file
    // cancels.
    void viewDidAppear(bool animated) override;
    void describeScreen(std::vector<std::string>& lines) const override;

private:
    std::weak_ptr<UIImagePickerControllerDelegate> pickerDelegate_;
    std::weak_ptr<UINavigationControllerDelegate> navigationDelegate_;
    bool asksDesktop_ = false;
    void askDesktop();
    void showRefusal(const std::string& reason);
};

} // namespace platform
