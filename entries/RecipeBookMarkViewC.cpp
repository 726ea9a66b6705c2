#include "entries/RecipeBookMarkViewC.h"

#include <cstdio>

#include "common/StoredKeys.h"
#include "entries/TextPDFExport.h"
#include "platform/foundation/Console.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UIScreen.h"

namespace quillora {

namespace {
// The recipe text is typed or pasted in by a person; past this it is no recipe but a stray file.
constexpr std::size_t kMaxRecipeFileLength = std::size_t(128) << 20;
} // namespace

using namespace platform;

namespace {
bool validUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : 99;
        if (n == 99 || (n == 1 && c < 0xC2) || i + n >= s.size()) return false;
        for (std::size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

// Numbers as the console shows them: "812.0", "291.5".
std::string number(double value) {
    char buffer[32];
    if (value == static_cast<long long>(value))
        std::snprintf(buffer, sizeof buffer, "%.1f", value);
    else
        std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

std::string rectText(const CGRect& r) {
    std::string out("(");
    out.append(number(r.origin.x)).append(", ").append(number(r.origin.y)).append(", ");
    out.append(number(r.size.width)).append(", ").append(number(r.size.height)).append(")");
    return out;
}
} // namespace

void RecipeBookMarkViewC::loadView() {
    CGRect screen = UIScreen::mainScreen().bounds();
    setView(std::make_shared<UIView>(screen));
    // The scene's layout: the buttons in a row under the navigation bar the screen is shown with,
    // the text below them down to the bottom constraint.
    auto window = UIApplication::sharedApplication().keyWindow();
    const CGFloat top = (window ? window->safeAreaInsets().top : 0) + 44;
    ownedTextView_ = std::make_shared<UITextView>(
        CGRect(16, top + 56, screen.width() - 32, screen.height() - 40 - (top + 56)));
    ownedTextView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    view()->addSubview(ownedTextView_);
    Clipboard = ownedTextView_;
    ownedConstraint_ = view()->bottomAnchor().constraintEqualToAnchor(ownedTextView_->bottomAnchor(), 40);
    ownedConstraint_->setActive(true);
    textViewBottomLayoutGuideConstraint = ownedConstraint_;
    auto me = self<RecipeBookMarkViewC>();
    auto button = [&](const std::string& title, CGFloat x, const std::string& action,
                      void (RecipeBookMarkViewC::*fn)()) {
        auto b = UIButton::buttonWithType(UIButtonType::System);
        b->setFrame({x, top + 6, 80, 44});
        b->setTitle_forState(title, UIControlStates::Normal);
        b->addTarget(
            me, action, [fn](RecipeBookMarkViewC& vc) { (vc.*fn)(); }, UIControlEvent::TouchUpInside);
        view()->addSubview(b);
        return b;
    };
    saveButton_ = button("PDF", 16, "savepdf", &RecipeBookMarkViewC::savepdf);
    shareButton_ = button("Share", 112, "share", &RecipeBookMarkViewC::share);
    fontButton_ = button("Font", 208, "font_change", &RecipeBookMarkViewC::font_change);
    exposeOutlet("Clipboard", ownedTextView_);
    exposeOutlet("savepdf", saveButton_);
    exposeOutlet("share", shareButton_);
    exposeOutlet("font_change", fontButton_);
}

void RecipeBookMarkViewC::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto text = Clipboard.lock();
    if (!text) fatalError("the recipe scene has no text view");
    text->setDelegate(self<RecipeBookMarkViewC>());
    auto documents = fileMgr.URLsForDirectory_inDomains(NSDocumentDirectory, NSUserDomainMask);
    if (documents.empty()) fatalError("no Documents folder");
    dataFile = documents.front().URLByAppendingPathComponent(std::string(keys::recipeDataFileName)).path();
    std::optional<std::string> contents;
    std::string why;
    if (fileMgr.fileExistsAtPath(*dataFile))
        contents = fileMgr.contentsAtPath(*dataFile, kMaxRecipeFileLength, &why);
    if (!why.empty()) console().print(std::string(keys::recipeDataFileName) + " " + why);
    // A file that cannot be read, or is not UTF-8, shows like a missing one.
    if (contents && validUtf8(*contents)) {
        Clipboard1 = *contents;
        console().print("Prinitng Clip board");
    } else {
        console().print(" no data present ");
        Clipboard1 = std::string(1, ' ');
    }
    text->setText(*Clipboard1);
    // The same text with its paragraph style and no font of its own; its ligatures are the
    // standard ones that attributed text has unless told otherwise.
    NSAttributedString styled;
    styled.string = text->text();
    styled.paragraphStyle = RecipeParagraphStyle{};
    text->setAttributedText(std::move(styled));
    text->setScrollEnabled(false);
    text->setScrollEnabled(true);
}

void RecipeBookMarkViewC::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    auto& center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<RecipeBookMarkViewC> weak = self<RecipeBookMarkViewC>();
    auto handler = [weak](const NSNotification& n) {
        if (auto me = weak.lock()) me->handleKeyboardNotification(n);
    };
    // Appearing again must not stack a second registration on the first.
    center.removeObserver(this, UIKeyboardWillShowNotification);
    center.removeObserver(this, UIKeyboardWillHideNotification);
    center.addObserver(self<RecipeBookMarkViewC>(), UIKeyboardWillShowNotification, handler);
    center.addObserver(self<RecipeBookMarkViewC>(), UIKeyboardWillHideNotification, handler);
}

void RecipeBookMarkViewC::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    auto& center = NSNotificationCenter::defaultCenter();
    center.removeObserver(this, UIKeyboardWillShowNotification);
    center.removeObserver(this, UIKeyboardWillHideNotification);
}

bool RecipeBookMarkViewC::textView_shouldChangeTextInRange_replacementText(UITextView& textView, NSRange,
                                                                           const std::string& text) {
    if (text == "\n") {
        textView.resignFirstResponder();
        return false;
    }
    return true;
}

void RecipeBookMarkViewC::savepdf() {
    auto text = Clipboard.lock();
    if (!text) return;
    // PDF cannot be pressed again while a long text is printed.
    saveButton_->setEnabled(false);
    std::weak_ptr<RecipeBookMarkViewC> weak = self<RecipeBookMarkViewC>();
    exportListPDFKeepingScreenLive(text->text(), self<RecipeBookMarkViewC>(), [weak] {
        if (auto me = weak.lock()) me->saveButton_->setEnabled(true);
    });
}

void RecipeBookMarkViewC::share() {
    auto text = Clipboard.lock();
    auto sheet = UIActivityViewController::initWithActivityItems_applicationActivities(
        {ActivityItem(text ? text->text() : std::string())});
    if (auto popover = sheet->popoverPresentationController()) popover->sourceView = view();
    presentViewController_animated_completion(sheet, true, nullptr);
}

void RecipeBookMarkViewC::font_change() {
    auto sheet = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Title", "Please Select Font", UIAlertControllerStyle::ActionSheet);
    std::weak_ptr<RecipeBookMarkViewC> weak = self<RecipeBookMarkViewC>();
    for (int size : {16, 24, 30, 34, 38})
        sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
            "Font size " + std::to_string(size), UIAlertActionStyle::Default, [weak, size](UIAlertAction&) {
                if (auto me = weak.lock()) me->applyFontSize(size);
            }));
    sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
        "Dismiss", UIAlertActionStyle::Cancel,
        [](UIAlertAction&) { console().print("User click Dismiss button"); }));
    if (auto popover = sheet->popoverPresentationController()) popover->sourceView = view();
    presentViewController_animated_completion(sheet, true, nullptr);
}

void RecipeBookMarkViewC::applyFontSize(double size) {
    auto text = Clipboard.lock();
    if (!text) return;
    text->setFont(text->font() ? text->font()->fontWithSize(size) : UIFont::systemFontOfSize(size));
}

void RecipeBookMarkViewC::handleKeyboardNotification(const NSNotification& notification) {
    double duration = notification.numberForKey(UIKeyboardAnimationDurationUserInfoKey).value_or(0);
    auto options = static_cast<UIViewAnimationOptions>(duration);
    if (!notification.rectForKey(UIKeyboardFrameBeginUserInfoKey) ||
        !notification.rectForKey(UIKeyboardFrameEndUserInfoKey))
        return;
    const auto [from, to] = keyboardFramesIn(notification, *view());
    console().print("KEYBOARD BEGIN FRAME view controller " + rectText(from));
    console().print("KEYBOARD END FRAME view controller " + rectText(to));
    console().print(number(to.origin.y));
    console().print(number(from.origin.y));
    double delta = to.origin.y - from.origin.y;
    console().print("PRINITNG ORIGIN DELTA  " + number(delta));
    if (auto constraint = textViewBottomLayoutGuideConstraint.lock()) constraint->constant -= delta;
    auto root = view();
    UIView::animateWithDuration_delay_options_animations_completion(
        duration, 0, options | UIViewAnimationOption::BeginFromCurrentState,
        [root] { root->layoutIfNeeded(); }, nullptr);
    // Laid out above the keyboard, the text shows the caret (or selection) again.
    if (auto text = Clipboard.lock()) text->scrollRangeToVisible(text->selectedRange());
}

} // namespace quillora
