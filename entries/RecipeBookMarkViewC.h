#pragma once
// The recipe text view: shows Documents/datafile_recipe.dat (read once, never written) in an
// editable text view, and saves the shown text as a PDF, shares it, or changes its size. Return
// closes the keyboard; the text view's bottom follows the keyboard.

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIViewController.h"

namespace quillora {

// The paragraph style the recipe text is shown with.
struct RecipeParagraphStyle : platform::NSParagraphStyle {
    RecipeParagraphStyle() {
        hyphenationFactor = 0.9f;
        lineHeightMultiple = 1.5;
        paragraphSpacing = 12;
    }
};

class RecipeBookMarkViewC : public platform::UIViewController, public platform::UITextViewDelegate {
public:
    std::weak_ptr<platform::UITextView> Clipboard;
    platform::NSFileManager& fileMgr = platform::NSFileManager::defaultManager();
    std::optional<std::string> dataFile;
    std::optional<std::string> Clipboard1;
    std::weak_ptr<platform::NSLayoutConstraint> textViewBottomLayoutGuideConstraint;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    void savepdf();
    void share();
    void font_change();
    void applyFontSize(double size);
    void handleKeyboardNotification(const platform::NSNotification& notification);
    bool textView_shouldChangeTextInRange_replacementText(platform::UITextView&, platform::NSRange,
                                                          const std::string& text) override;

private:
    std::shared_ptr<platform::UITextView> ownedTextView_;
    std::shared_ptr<platform::NSLayoutConstraint> ownedConstraint_;
    std::shared_ptr<platform::UIButton> saveButton_, shareButton_, fontButton_;
};

} // namespace quillora
