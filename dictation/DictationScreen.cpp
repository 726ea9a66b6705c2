#include "dictation/DictationScreen.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <utility>

#include "analysis/SwiftUIView.h"
#include "common/StoredKeys.h"
#include "entries/EntryListViewController.h"
#include "platform/avfaudio/AVAudioSession.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/TextUtils.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/SceneControls.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"
#include "platform/uikit/UIWindow.h"
#include "settings/AppCatalogue.h"
#include "settings/SettingsSwiftUIView.h"
#include "templates/SwiftUiPdfView.h"

using namespace platform;
using platform::swiftui::AnyView;
using platform::swiftui::UIHostingController;

namespace quillora {

namespace {

// Every kept screen saves at the end (the one on top, those under it, those switched away from),
// but the end itself is announced once.
bool terminationAnnounced = false;
const bool kAnnouncementReset = [] {
    registerSharedInstanceReset([] { terminationAnnounced = false; });
    return true;
}();

std::string key(std::string_view name) {
    return std::string(name);
}

constexpr std::int64_t kDefaultFontSize = 18;

// The largest datafile.dat shown. What the app itself keeps in such a file is a transcript: an
// hour of dictation every day for a year is about 20 MB of text, so a larger file is no
// transcript, and reading it would only hold the screen and its memory for nothing.
constexpr std::size_t kMaxDataFileLength = std::size_t(64) << 20;

// Numbers and frames in the console as the platform prints them ("844.0").
std::string printed(const CGRect& rect) {
    return decimalDescription(rect);
}

std::string printed(CGFloat value) {
    return decimalDescription(value);
}

} // namespace

const std::vector<SymbolAction>& toolbarSymbols() {
    static const std::vector<SymbolAction> symbols{
        {"tickmark_clicked", "✔️"}, {"bookmark", "📒"}, {"paperclip", "📎"}, {"pushpin", "📌"}};
    return symbols;
}

const std::vector<std::string>& dictationSceneIdentifiers() {
    static const std::vector<std::string> scenes{"ViewController", "NotesViewController",
                                                 "RecipeViewController"};
    return scenes;
}

const std::vector<std::string>& dictationSwitchTitles() {
    static const std::vector<std::string> titles{"Dictation", "Notes", "Recipe"};
    return titles;
}

std::shared_ptr<UIView> doneAndCloseKeyboardBar(DictationScreen& screen) {
    using S = DictationScreen;
    const CGFloat W = UIScreen::mainScreen().bounds().width();
    auto bar = sceneAccessoryBar(W);
    bar->addSubview(sceneButton(screen, "Done_button", {W - 170, 2, 80, 40}, "Done", nullptr, "Done_button",
                                [](S& s) { s.Done_button(); }));
    bar->addSubview(sceneButton(screen, "keyboardClose", {W - 85, 2, 80, 40}, "Close", nullptr,
                                "keyboardClose", [](S& s) { s.keyboardClose(); }));
    return bar;
}

std::shared_ptr<UIButton> DictationScreen::defaultDynamicButton() {
    return UIButton::buttonWithType(UIButtonType::Custom);
}

DictationScreen::DictationScreen(DictationScreenTable screen, DictationLoopTable loop)
    : DictationLoop(std::move(loop)), screen_(std::move(screen)) {
    if (!screen_.languages) fatalError("a dictation screen needs its language table");
    const std::size_t rows =
        std::min(screen_.pickerRows.value_or(screen_.languages->size()), screen_.languages->size());
    for (std::size_t row = 0; row < rows; ++row)
        langugaeSelectionArray.emplace_back((*screen_.languages)[row].title);
}

DictationScreen::~DictationScreen() {
    NSNotificationCenter::defaultCenter().removeObserver(observerKey());
}

DictationViews DictationScreen::dictationViews() {
    return {textView,   Clipboard,           recordButton,        SpeechTimeLabel,
            pickerView, ButtonRightAnalysis, EditIndicatorButton, SaveArrowButton};
}

// ---- Set-up ----

void DictationScreen::applyStoredFontSize() {
    console().print("font  size already there");
    const double stored = defaults->doubleForKey(key(keys::savefontSizeApp));
    // Truncating a value that no integer holds is undefined: such a value was never written by
    // the app, and the screen keeps its default size.
    constexpr double limit = 9.2e18;
    if (std::isfinite(stored) && stored > -limit && stored < limit)
        fontsizeforApp = static_cast<std::int64_t>(stored);
    else
        fontsizeforApp = kDefaultFontSize;
    console().print("font : " + std::to_string(fontsizeforApp));
}

void DictationScreen::readDataFile() {
    auto& files = NSFileManager::defaultManager();
    auto documents = files.URLsForDirectory_inDomains(NSSearchPathDirectory::NSDocumentDirectory,
                                                      NSSearchPathDomainMask::NSUserDomainMask);
    if (documents.empty()) return;
    dataFile = documents.front().URLByAppendingPathComponent(std::string(keys::datafileName)).path();
    if (screen_.keepsBookmarkFilePath)
        dataFile_bookmarkV =
            documents.front().URLByAppendingPathComponent(std::string(keys::bookmarkFileName)).path();
    if (!files.fileExistsAtPath(*dataFile)) return;
    std::string why;
    auto contents = files.contentsAtPath(*dataFile, kMaxDataFileLength, &why);
    if (contents && isValidUTF8(*contents)) {
        Clipboard->setText(std::move(*contents));
        return;
    }
    // Nothing of it can be shown as text; the file stays as it is.
    console().print(std::string(keys::datafileName) + (contents ? " is not UTF-8 text" : " " + why));
    Clipboard->setText("");
}

void DictationScreen::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (!toolBarView) fatalError("toolBarView is not connected");
    ButtonRightAnalysis->setHidden(true);
    if (screen_.hidesToolBarView) toolBarView->setHidden(true);

    loadStoredSettings();
    layOutButtons();
    layOutTextViewsAndPicker();
    exposeOutlets();
}

void DictationScreen::loadStoredSettings() {
    if (!defaults->objectForKey(key(keys::saveclipBoardText))) {
        console().print("default value of clipboard setting");
        defaults->setObject_forKey("...", key(keys::saveclipBoardText));
    } else {
        console().print("clipboard text alreadt there");
    }
    if (defaults->objectForKey(key(keys::lastlangaugeselected))) {
        lastlangaugeselected = static_cast<long>(defaults->integerForKey(key(keys::lastlangaugeselected)));
        console().print("loading last langauge selected ");
    } else {
        console().print("user default is empty");
    }
    if (defaults->objectForKey(key(keys::savefontSizeApp))) {
        applyStoredFontSize();
    } else {
        console().print("default value of font setting");
        defaults->setInteger_forKey(kDefaultFontSize, key(keys::savefontSizeApp));
    }
    defaults->setInteger_forKey(checkchangedtextinEdit.get(), key(keys::checkchangedtextinEdit));
    console().print("Inital Value set to 0 before editing " + std::to_string(checkchangedtextinEdit.get()));
    EditIndicatorButton->setHidden(true);
    SaveArrowButton->setHidden(true);
}

void DictationScreen::layOutButtons() {
    const CGRect screen = UIScreen::mainScreen().bounds();
    const CGFloat W = screen.width(), H = screen.height();
    auto root = view();
    const CGFloat VW = root->frame().width(), VH = root->frame().height();

    SpeechTimeLabel->setFrame({VW / 15, VH - 95, 140, 60});
    SpeechTimeLabel->setBackgroundColor(UIColor::clearColor());
    SpeechTimeLabel->setTextColor(UIColor::blackColor());
    SpeechTimeLabel->setTextAlignment(NSTextAlignment::Center);
    SpeechTimeLabel->setText("");
    root->addSubview(SpeechTimeLabel);

    auto keyWindow = UIApplication::sharedApplication().keyWindow();
    // The first screen loads its view before its window is key; it will stand in a window of this
    // device, and the top row (back button, switch, info button) needs the record button below it.
    const CGFloat T = (keyWindow ? keyWindow->safeAreaInsets() : UIWindow::deviceSafeAreaInsets()).top;

    using S = DictationScreen;
    setUpButton<S>(EditIndicatorButton, "tapedit.png", {W - 55, screen_.editIndicatorY, 50, 50},
                   "textEditButtonTapped", [](S& s) { s.textEditButtonTapped(); });
    setUpButton<S>(SaveArrowButton, screen_.saveArrowImage.c_str(), {W - 55, 80, 40, 40},
                   screen_.saveAction.c_str(), [](S& s) { s.SaveText(); });
    setUpButton<S>(recordButton, "Play.png", {0, T + screen_.recordButtonTop, VW - 10, 50},
                   "recordButtonTapped", [](S& s) { s.recordButtonTapped(); });
    root->addSubview(recordButton);
    setUpButton<S>(BackDynamicButton, "backbutton2.png", {5, 20, 50, 50}, "backviewTapped",
                   [](S& s) { s.backviewTapped(); });
    root->addSubview(BackDynamicButton);
    setUpButton<S>(ButtonRightAnalysis, "textanalysis.png", {VW - 60, 35, 50, 50}, "textAnalysisButtonTapped",
                   [](S& s) { s.textAnalysisButtonTapped(); });
    root->addSubview(ButtonRightAnalysis);
    setUpButton<S>(ShareDynamicButton, "sharebuttonnew.png", {10, H - 80, 50, 50}, "Share",
                   [](S& s) { s.Share(); });
    root->addSubview(ShareDynamicButton);
    setUpButton<S>(SaveDynamicButton, "savebuttonnew.png", {85, H - 80, 50, 50}, screen_.saveAction.c_str(),
                   [](S& s) { s.SaveText(); });
    root->addSubview(SaveDynamicButton);
    setUpButton<S>(RefershDynamicButton, "refreshbuttonnew.png", {155, H - 80, 50, 50}, "Refresh",
                   [](S& s) { s.Refresh(); });
    root->addSubview(RefershDynamicButton);
    if (screen_.showsTemplateButton) {
        setUpButton<S>(StickyDynamicButton, "createPDF2.png", {225, H - 80, 50, 50}, "swiftUipdfButtonTapped",
                       [](S& s) { s.swiftUipdfButtonTapped(); });
        root->addSubview(StickyDynamicButton);
    }
    setUpButton<S>(FontDynamicButton, "settings2.png", {300, H - 80, 55, 55}, "showSettingViewController",
                   [](S& s) { s.showSettingViewController(); });
    root->addSubview(FontDynamicButton);
}

void DictationScreen::layOutTextViewsAndPicker() {
    const CGRect screen = UIScreen::mainScreen().bounds();
    const CGFloat W = screen.width(), H = screen.height();
    auto root = view();
    auto self = strongScreen();
    std::weak_ptr<UITextViewDelegate> textDelegate = std::shared_ptr<UITextViewDelegate>(self, this);
    textView = std::make_shared<UITextView>(CGRect{5, H / 5, W - 5, H / 5});
    console().print("Screen height");
    console().print(printed(H));
    textView->setTextAlignment(NSTextAlignment::Justified);
    textView->setTextColor(UIColor::blackColor());
    textView->setBackgroundColor(UIColor::whiteColor());
    if (screen_.liveBorderColor) textView->layer().borderColor = *screen_.liveBorderColor;
    textView->setEditable(false);
    root->addSubview(textView);
    textView->setDelegate(textDelegate);
    textView->setSelectedRange({utf16Length(textView->text()), 0});
    SpeechTimeLabel->setHidden(true);

    Clipboard = std::make_shared<UITextView>(CGRect{5, H * 0.5, W - 5, H / 3});
    console().print("Screen height");
    console().print(printed(H));
    Clipboard->setTextAlignment(NSTextAlignment::Justified);
    Clipboard->setTextColor(UIColor::blackColor());
    Clipboard->setBackgroundColor(UIColor::whiteColor());
    root->addSubview(Clipboard);
    Clipboard->addSubview(EditIndicatorButton);
    Clipboard->addSubview(SaveArrowButton);
    // The pencil and the save arrow float over the transcript's right edge and scroll with its
    // text: the text keeps clear of their column, so that no word lies under them.
    UIEdgeInsets margins = Clipboard->textContainerInset();
    const CGFloat column = std::min(EditIndicatorButton->frame().minX(), SaveArrowButton->frame().minX());
    margins.right = std::max(margins.right, Clipboard->frame().width() - column + margins.left);
    Clipboard->setTextContainerInset(margins);
    Clipboard->setDelegate(textDelegate);

    for (const auto& text : {textView, Clipboard}) {
        text->layer().cornerRadius = 10;
        text->setFont(UIFont::fontWithName_size("Courier", static_cast<double>(fontsizeforApp)));
        text->setTintColor(UIColor::blackColor());
    }
    Clipboard->layer().borderWidth = 0;

    pickerView = std::make_shared<UIPickerView>();
    pickerView->setTranslatesAutoresizingMaskIntoConstraints(false);
    pickerView->layer().borderColor = UIColor::darkTextColor();
    pickerView->layer().borderWidth = screen_.pickerBorderWidth;
    pickerView->layer().cornerRadius = 10;
    pickerView->setDelegate(std::shared_ptr<UIPickerViewDelegate>(self, this));
    pickerView->setDataSource(std::shared_ptr<UIPickerViewDataSource>(self, this));
    root->addSubview(pickerView);
    NSLayoutConstraint::activateConstraints({
        pickerView->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor(), 2),
        pickerView->trailingAnchor().constraintEqualToAnchor(root->trailingAnchor(), -2),
        // Just above the row of tool buttons: at the safe area's bottom it would lie over them on
        // a phone with a home indicator, and they would take no touch.
        pickerView->bottomAnchor().constraintEqualToAnchor(root->bottomAnchor(), -(80 + 6)),
        pickerView->heightAnchor().constraintEqualToConstant(50),
    });
    pickerView->setValue_forKeyPath(UIColor::linkColor(), "textColor");

    textView->setDelegate(textDelegate);
    Clipboard->setDelegate(textDelegate);
    recordButton->setEnabled(false);
    if (screen_.recordButtonBorderColor) recordButton->layer().borderColor = *screen_.recordButtonBorderColor;

    if (screen_.readsDataFile) readDataFile();

    navigationItem()->largeTitleDisplayMode = UINavigationItemLargeTitleDisplayMode::Never;
    if (auto nav = navigationController()) {
        nav->navigationBar()->barTintColor = UIColor::blackColor();
        nav->toolbar()->barTintColor = UIColor::blackColor();
    }
}

void DictationScreen::exposeOutlets() {
    for (auto [name, object] : std::vector<std::pair<const char*, std::shared_ptr<NSObject>>>{
             {"recordButton", recordButton},
             {"pickerView", pickerView},
             {"textView", textView},
             {"Clipboard", Clipboard},
             {"SpeechTimeLabel", SpeechTimeLabel},
             {"BackDynamicButton", BackDynamicButton},
             {"ButtonRightAnalysis", ButtonRightAnalysis},
             {"EditIndicatorButton", EditIndicatorButton},
             {"SaveArrowButton", SaveArrowButton},
             {"ShareDynamicButton", ShareDynamicButton},
             {"SaveDynamicButton", SaveDynamicButton},
             {"RefershDynamicButton", RefershDynamicButton},
             {"FontDynamicButton", FontDynamicButton},
         })
        exposeOutlet(name, object);
    if (screen_.showsTemplateButton) exposeOutlet("StickyDynamicButton", StickyDynamicButton);
    if (auto control = segmentcontrol.lock()) exposeOutlet("segmentcontrol", control);
}

// ---- Appearance and application events ----

void DictationScreen::observe(const std::string& name,
                              void (DictationScreen::*handler)(const NSNotification&)) {
    auto& center = NSNotificationCenter::defaultCenter();
    if (center.registrationCount(observerKey(), name) > 0) return;
    center.addObserver(std::shared_ptr<const void>(strongScreen(), observerKey()), name,
                       [weak = weakScreen(), handler](const NSNotification& notification) {
                           if (auto s = weak.lock()) ((*s).*handler)(notification);
                       });
}

void DictationScreen::observe(const std::string& name, void (DictationScreen::*handler)()) {
    auto& center = NSNotificationCenter::defaultCenter();
    if (center.registrationCount(observerKey(), name) > 0) return;
    center.addObserver(std::shared_ptr<const void>(strongScreen(), observerKey()), name,
                       [weak = weakScreen(), handler](const NSNotification&) {
                           if (auto s = weak.lock()) ((*s).*handler)();
                       });
}

void DictationScreen::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) {
        nav->setToolbarHidden(true);
        nav->setNavigationBarHidden(true);
    }
    // Back on this screen, the switch names it again.
    if (auto control = segmentcontrol.lock()) control->setSelectedSegmentIndex(screen_.segment);
    // Navigation never empties a transcript that is not in a list yet: switching away and back
    // finds it, and so does Back from a list that could not save it.
    if (screen_.appearanceClearsTexts && (!appearedBefore_ || transcriptSaved())) {
        Clipboard->setText("");
        textView->setText(" ");
        savedTranscript_.reset();
    }
    appearedBefore_ = true;
    observe(key(keys::printValue), &DictationScreen::printValueWithNotification);
    observe(key(keys::fontValue), &DictationScreen::fontValueWithNotification);
    if (screen_.appearanceReadsStoredRow) {
        if (defaults->objectForKey(key(keys::lastlangaugeselected))) {
            buttonSelect = static_cast<long>(defaults->integerForKey(key(keys::lastlangaugeselected)));
            console().print("loading last langauge selected ");
        } else {
            console().print("user default is empty");
        }
    }
    if (screen_.keyboardOverlay) {
        observe(UIKeyboardWillChangeFrameNotification, &DictationScreen::keyboardWillShow);
        observe(UIKeyboardWillHideNotification, &DictationScreen::keyboardWillHide2);
    }
    observe(UIApplicationWillResignActiveNotification, &DictationScreen::appMovedToBackground);
    observe(UIApplicationDidBecomeActiveNotification, &DictationScreen::appBecomeActive);
    observe(UIApplicationWillTerminateNotification, &DictationScreen::appTerminateAction);
    // Kept while another screen is over this one: its button is right when the person comes back.
    observe(AVAudioSessionRouteChangeNotification, &DictationScreen::handleRouteChange);
}

void DictationScreen::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    restoreLastSelectedLanguage();
}

void DictationScreen::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    saveLastSelectedLanguage();
}

void DictationScreen::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    auto& center = NSNotificationCenter::defaultCenter();
    center.removeObserver(observerKey(), UIKeyboardWillChangeFrameNotification);
    center.removeObserver(observerKey(), UIKeyboardWillHideNotification);
    center.removeObserver(observerKey(), UIApplicationWillResignActiveNotification);
    center.removeObserver(observerKey(), UIApplicationDidBecomeActiveNotification);
    if (stopRunForLeaving(false)) console().print("View DID disappear triggered");
}

void DictationScreen::appMovedToBackground() {
    console().print("App moved to background!");
    if (!stopRunForLeaving(true)) {
        if (screen_.idleBackgroundLine) console().print(*screen_.idleBackgroundLine);
        return;
    }
    console().print("APP moved to background , stopped AUDIO engine");
}

void DictationScreen::appBecomeActive() {
    console().print("app become active");
    if (screen_.reportsEmptyTranscript && Clipboard && Clipboard->text() == " ") console().print("No data");
}

void DictationScreen::handleRouteChange() {
    microphoneChanged();
}

void DictationScreen::appTerminateAction() {
    if (!std::exchange(terminationAnnounced, true)) console().print("app going to terminate");
    // The phrase being spoken is part of what is saved, here, once: the quit drops a Save that
    // waited for the run's end.
    keepWorkInProgressForQuitting();
    if (saveText.expired()) return;
    // Termination keeps unsaved work: a transcript its list holds as it stands is not added again,
    // whether the screen is on the stack (under its list, or back from it) or off it.
    if (navigationController()) {
        if (!transcriptSaved()) saveTranscriptToList();
        return;
    }
    // A kept screen away from the stack: nothing shows its list, which stores the transcript as
    // its view loads.
    if (Clipboard->text().empty() || transcriptSaved()) return;
    if (screen_.saveLinePrintsTranscript)
        console().print(Clipboard->text());
    else if (screen_.saveLine)
        console().print(*screen_.saveLine);
    if (auto list = listWithTranscript()) list->view();
}

void DictationScreen::keepWorkInProgressForQuitting() {
    appendRunningTaskForQuitting();
    if (!editorShown()) return;
    // Left as it opened, the editor holds nothing the transcript lacks.
    if (editor_->view.text.get() == editor_->openedOn) return;
    editor_->view.save();
}

bool DictationScreen::editorShown() const {
    auto sheet = editor_ ? editor_->sheet.lock() : nullptr;
    return sheet && sheet->presentingViewController();
}

void DictationScreen::printValueWithNotification(const NSNotification& notification) {
    if (!editorShown()) return;
    auto text = notification.stringForKey(key(keys::userInfoValue));
    if (!text) return;
    // What was dictated while the sheet was up was never in the editor: it follows the edit, a
    // paragraph on a line of its own as it was appended.
    std::string kept = appendedWhileEditing_;
    if (loopTable().paragraphStartsOnNewLine && !kept.empty() && kept.front() != '\n' && !text->empty() &&
        text->back() != '\n')
        kept.insert(0, "\n");
    setTranscriptText(*text + kept);
    if (!appendedWhileEditing_.empty() && loopTable().append == TranscriptAppend::afterBlank)
        defaults->setObject_forKey(transcript()->text(), key(keys::saveclipBoardText));
    appendedWhileEditing_.clear();
    analyzeWordClasses(transcript()->text());
}

void DictationScreen::fontValueWithNotification(const NSNotification& notification) {
    auto text = notification.stringForKey(key(keys::userInfoFontValue));
    if (!text) return;
    double size = std::strtol(text->c_str(), nullptr, 10);
    Clipboard->setFont(UIFont::fontWithName_size("Courier", size));
    textView->setFont(UIFont::fontWithName_size("Courier", size));
}

void DictationScreen::backviewTapped() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

void DictationScreen::Refresh() {
    setTranscriptText("");
}

void DictationScreen::resignTranscriptAfterDelay() {
    DispatchQueue::main().asyncAfter(0.7, [weak = weakScreen()] {
        if (auto s = weak.lock()) s->transcript()->resignFirstResponder();
    });
}

// ---- Text views ----

bool DictationScreen::overlayShown() const {
    return Clipboard_keyboard && !Clipboard_keyboard->isHidden();
}

void DictationScreen::setTranscriptText(const std::string& text) {
    transcript()->setText(text);
    if (overlayShown()) Clipboard_keyboard->setText(text);
}

void DictationScreen::writeTranscript(const std::string& text) {
    if (editorShown()) {
        const auto& before = transcript()->text();
        if (text.compare(0, before.size(), before) == 0) appendedWhileEditing_ += text.substr(before.size());
    }
    setTranscriptText(text);
}

bool DictationScreen::textViewShouldBeginEditing(UITextView&) {
    console().print("should editing begin");
    textEditButtonTapped();
    return true;
}

void DictationScreen::textViewDidBeginEditing(UITextView&) {
    resignTranscriptAfterDelay();
}

bool DictationScreen::textView_shouldChangeTextInRange_replacementText(UITextView&, NSRange,
                                                                       const std::string&) {
    if (screen_.reportsTextChanges) console().print("chnage text");
    return true;
}

void DictationScreen::textViewDidChange(UITextView& view) {
    // What is typed into either copy of the transcript is in both at once, so no swap of the
    // overlay can put an older text over it.
    if (!overlayShown()) return;
    if (&view == Clipboard_keyboard.get())
        transcript()->setText(view.text());
    else if (&view == transcript().get())
        Clipboard_keyboard->setText(view.text());
}

// ---- Keyboard overlay ----

void DictationScreen::keyboardWillShow(const NSNotification& notification) {
    const auto& look = screen_.keyboardOverlay;
    if (!look) return;
    if (auto end = notification.rectForKey(UIKeyboardFrameEndUserInfoKey)) {
        console().print("KeyBoard height");
        console().print(printed(end->height()));
        const UIKeyboardFrames frames = keyboardFramesIn(notification, *view());
        printKeyboardFrames(frames);
        const CGFloat delta = frames.begin.origin.y - frames.end.origin.y;
        console().print(printed(frames.end.origin.y));
        console().print(printed(frames.begin.origin.y));
        console().print("PRINITNG ORIGIN DELTA ");
        console().print(printed(delta));
        const CGFloat height = UIScreen::mainScreen().bounds().height() - delta;
        console().print("Clipboard_height " + printed(height));
        ClipboardHeight = height - 100;
    }
    if (KeyboardShow) {
        console().print("Already clipboard keyboard present ");
        // An overlay already standing in keeps what it holds: no older text goes over it.
        if (overlayShown()) return;
    } else if (ClipboardHeight) {
        setUpClipboardKeyboard();
    } else {
        // No frame has told the keyboard's height yet: nothing to size an overlay by.
        return;
    }
    transcript()->setHidden(true);
    recordButton->setEnabled(false);
    Clipboard_keyboard->setHidden(false);
    Clipboard_keyboard->setText(transcript()->text());
    Clipboard_keyboard->layer().borderColor = UIColor::blackColor();
    transcript()->layer().borderWidth = look->transcriptBorderWidth;
    Clipboard_keyboard->layer().cornerRadius = 15;
    Clipboard_keyboard->setSelectedRange({utf16Length(Clipboard_keyboard->text()), 0});
}

void DictationScreen::setUpClipboardKeyboard() {
    const auto& look = *screen_.keyboardOverlay;
    KeyboardShow = true;
    const CGRect screen = UIScreen::mainScreen().bounds();
    Clipboard_keyboard =
        std::make_shared<UITextView>(CGRect{0, look.y, screen.width() - 8, ClipboardHeight.value_or(0)});
    console().print("Screen height");
    console().print(printed(screen.height()));
    // How a person names it when it lies over a control.
    Clipboard_keyboard->setAccessibilityIdentifier("keyboard overlay");
    Clipboard_keyboard->setTextAlignment(NSTextAlignment::Justified);
    Clipboard_keyboard->setTextColor(UIColor::blackColor());
    Clipboard_keyboard->setBackgroundColor(UIColor::whiteColor());
    Clipboard_keyboard->layer().borderColor = UIColor::blackColor();
    Clipboard_keyboard->layer().borderWidth = look.borderWidth;
    Clipboard_keyboard->layer().cornerRadius = 15;
    Clipboard_keyboard->setFont(UIFont::fontWithName_size("Courier", 18));
    Clipboard_keyboard->setEditable(true);
    Clipboard_keyboard->setTintColor(UIColor::blackColor());
    view()->addSubview(Clipboard_keyboard);
    Clipboard_keyboard->setDelegate(std::shared_ptr<UITextViewDelegate>(strongScreen(), this));
    if (look.showsToolBar) Clipboard_keyboard->setInputAccessoryView(toolBarView);
    exposeOutlet("Clipboard_keyboard", Clipboard_keyboard);
}

void DictationScreen::keyboardWillHide2() {
    console().print("Keyboard hide");
    if (!Clipboard_keyboard) return;
    Clipboard_keyboard->setHidden(true);
    transcript()->setHidden(false);
    Clipboard_keyboard->resignFirstResponder();
    // The keyboard going gives the button back only when nothing else holds it: a pending stop,
    // refused authorization or an unavailable recognizer.
    if (recordButtonMayBeEnabled()) recordButton->setEnabled(true);
    transcript()->resignFirstResponder();
    transcript()->setText(Clipboard_keyboard->text());
}

void DictationScreen::handleKeyboardNotification(const NSNotification& notification) {
    const double duration = notification.numberForKey(UIKeyboardAnimationDurationUserInfoKey).value_or(0);
    // The curve is read from the duration's entry, as a whole number: 0 for any keyboard quicker
    // than a second.
    const auto options = static_cast<UIViewAnimationOptions>(duration);
    if (!notification.rectForKey(UIKeyboardFrameEndUserInfoKey)) return;
    const UIKeyboardFrames frames = keyboardFramesIn(notification, *view());
    printKeyboardFrames(frames);
    const CGFloat delta = frames.end.origin.y - frames.begin.origin.y;
    console().print(printed(frames.end.origin.y));
    console().print(printed(frames.begin.origin.y));
    console().print("PRINITNG ORIGIN DELTA ");
    console().print(printed(delta));
    if (auto constraint = textViewBottomLayoutGuideConstraint.lock()) constraint->constant -= delta;
    auto root = view();
    UIView::animateWithDuration_delay_options_animations_completion(
        duration, 0, options | UIViewAnimationOption::BeginFromCurrentState,
        [root] { root->layoutIfNeeded(); }, nullptr);
    transcript()->scrollRangeToVisible(transcript()->selectedRange());
}

void DictationScreen::printKeyboardFrames(const UIKeyboardFrames& frames) {
    console().print("KEYBOARD BEGIN FRAME view controller");
    console().print(printed(frames.begin));
    console().print("KEYBOARD END FRAME view controller");
    console().print(printed(frames.end));
}

void DictationScreen::keyboardClose() {
    if (screen_.keyboardCloseSwapsBack) keyboardWillHide2();
    transcript()->resignFirstResponder();
    if (Clipboard_keyboard) Clipboard_keyboard->resignFirstResponder();
}

void DictationScreen::Done_button() {
    keyboardClose();
}

void DictationScreen::insertSymbolInTranscript(const std::string& symbol) {
    setTranscriptText(transcript()->text() + symbol);
}

namespace {
const std::string& symbolOf(const DictationScreenTable& table, std::string_view action) {
    for (const auto& entry : table.symbols)
        if (entry.action == action) return entry.symbol;
    fatalError("no symbol for " + std::string(action));
}
} // namespace

void DictationScreen::tickmark_clicked() {
    insertSymbolInTranscript(symbolOf(screen_, "tickmark_clicked"));
}
void DictationScreen::bookmark() {
    insertSymbolInTranscript(symbolOf(screen_, "bookmark"));
}
void DictationScreen::paperclip() {
    insertSymbolInTranscript(symbolOf(screen_, "paperclip"));
}
void DictationScreen::pushpin() {
    insertSymbolInTranscript(symbolOf(screen_, "pushpin"));
}

// ---- Languages ----

long DictationScreen::numberOfComponentsInPickerView(UIPickerView&) {
    return 1;
}

long DictationScreen::pickerView_numberOfRowsInComponent(UIPickerView&, long) {
    return static_cast<long>(langugaeSelectionArray.size());
}

std::optional<std::string> DictationScreen::pickerView_titleForRow_forComponent(UIPickerView&, long row,
                                                                                long) {
    if (row < 0 || row >= static_cast<long>(langugaeSelectionArray.size())) return std::nullopt;
    return langugaeSelectionArray[static_cast<std::size_t>(row)];
}

void DictationScreen::pickerView_didSelectRow_inComponent(UIPickerView&, long row, long) {
    selectRecognitionLanguage(row);
}

void DictationScreen::selectRecognitionLanguage(long row) {
    if (runState().recording()) {
        auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
            "Please stop the earlier recording!", "Select '||' Button", UIAlertControllerStyle::Alert);
        alert->addAction(
            UIAlertAction::actionWithTitle_style_handler("OK ", UIAlertActionStyle::Default, nullptr));
        presentViewController_animated_completion(alert, true, nullptr);
        return;
    }
    const auto& table = *screen_.languages;
    const bool inTable = row >= 0 && row < static_cast<long>(table.size());
    long r = rowOrFirst(table, row);
    // A locale without a recognition service still gets its recognizer: it reports itself
    // unavailable, which disables the record button with its reason.
    speechRecognizer =
        SFSpeechRecognizer::initWithLocale(std::string(table[static_cast<std::size_t>(r)].localeIdentifier));
    speechRecognizer->setDelegate(std::shared_ptr<SFSpeechRecognizerDelegate>(strongScreen(), this));
    recognizerChanged();
    if (!inTable && screen_.outOfRangeRowKeepsSelection) return;
    buttonSelect = r;
    recordButton->setImage_forState(UIImage::imageNamed(playImageName(r)), UIControlStates::Normal);
    view()->setNeedsDisplay();
}

std::string DictationScreen::playImageName(std::optional<long> row) const {
    const auto& table = *screen_.languages;
    if (row && *row >= 0 && *row < static_cast<long>(table.size()))
        if (const auto& play = table[static_cast<std::size_t>(*row)].playImage; !play.empty())
            return std::string(play);
    return "Play.png";
}

void DictationScreen::applyRow(long r, bool fallback) {
    const auto& table = *screen_.languages;
    pickerView->selectRow_inComponent_animated(r, 0, true);
    selectRecognitionLanguage(r);
    speechRecognizer =
        SFSpeechRecognizer::initWithLocale(std::string(table[static_cast<std::size_t>(r)].localeIdentifier));
    speechRecognizer->setDelegate(std::shared_ptr<SFSpeechRecognizerDelegate>(strongScreen(), this));
    if (!fallback) {
        recordButton->setImage_forState(UIImage::imageNamed(playImageName(r)), UIControlStates::Normal);
        view()->setNeedsDisplay();
    }
    buttonSelect = r;
}

std::optional<std::string> DictationScreen::requestAuthorizationAndReadRegion() {
    speechRecognizer->setDelegate(std::shared_ptr<SFSpeechRecognizerDelegate>(strongScreen(), this));
    SFSpeechRecognizer::requestAuthorization(
        [weak = weakScreen()](SFSpeechRecognizerAuthorizationStatus status) {
            NSOperationQueue::mainQueue().addOperationWithBlock([weak, status] {
                if (auto s = weak.lock()) s->applyAuthorizationStatus(status);
            });
        });
    auto locale = NSLocale::currentLocale();
    console().print(locale.regionCode().value_or("none"));
    console().print(locale.languageCode().value_or("none"));
    return locale.regionCode();
}

void DictationScreen::restoreLastSelectedLanguage() {
    const auto region = requestAuthorizationAndReadRegion();
    const auto& table = *screen_.languages;
    if (defaults->objectForKey(key(keys::lastlangaugeselected))) {
        lastlangaugeselected = static_cast<long>(defaults->integerForKey(key(keys::lastlangaugeselected)));
        console().print("loading last langauge selected ");
        if (lastlangaugeselected >= 0 && lastlangaugeselected < static_cast<long>(table.size()))
            applyRow(lastlangaugeselected, false);
        else
            applyRow(0, true);
        return;
    }
    console().print("user default language select is empty");
    if (auto row = defaultRowForRegion(table, region))
        applyRow(*row, false);
    else
        applyRow(0, true);
}

void DictationScreen::saveLastSelectedLanguage() {
    if (auto nav = navigationController()) {
        nav->setToolbarHidden(false);
        nav->setNavigationBarHidden(false);
    }
    // A screen that never came into view has chosen no row: nothing to remember.
    if (!buttonSelect) return;
    defaults->setInteger_forKey(*buttonSelect, key(keys::lastlangaugeselected));
    console().print("save the last selected language " + std::to_string(*buttonSelect));
}

// ---- Command help and menus ----

void DictationScreen::anchorToScreenCentre(UIViewController& sheet) {
    if (auto popover = sheet.popoverPresentationController()) {
        auto bounds = UIScreen::mainScreen().bounds();
        popover->sourceView = view();
        popover->sourceRect = {bounds.width() / 2, bounds.height() / 2, 0, 0};
        popover->permittedArrowDirections = UIPopoverArrowDirections::None;
    }
}

void DictationScreen::PushPin_emoji() {
    showCommandHelpSheet();
}

void DictationScreen::showCommandHelpSheet() {
    auto sheet = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        screen_.help.title, "Please Select from the Options below ", UIAlertControllerStyle::ActionSheet);
    for (const auto& title : screen_.help.rows)
        sheet->addAction(
            UIAlertAction::actionWithTitle_style_handler(title, UIAlertActionStyle::Default, nullptr));
    if (screen_.help.listsAllCommands)
        sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
            "Complete List of Commands", UIAlertActionStyle::Default, [](UIAlertAction&) {
                UIApplication::sharedApplication().openURL_options_completionHandler(
                    std::string(settings::commandHelpPage), {}, nullptr);
            }));
    sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
        "Dismiss", UIAlertActionStyle::Cancel,
        [](UIAlertAction&) { console().print("User click Dismiss button"); }));
    anchorToScreenCentre(*sheet);
    presentViewController_animated_completion(sheet, true, nullptr);
}

void DictationScreen::applyFontSize(double size) {
    for (const auto& text : {textView, Clipboard}) {
        auto name = text->font() ? text->font()->fontName : UIFont::systemFontOfSize(size).fontName;
        text->setFont(UIFont::fontWithName_size(name, size));
    }
}

void DictationScreen::applyBackgroundColor(const UIColor& color) {
    view()->setBackgroundColor(color);
}

void DictationScreen::Font_change() {
    auto sheet = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Title", "Please Select Font", UIAlertControllerStyle::ActionSheet);
    for (int size : {16, 24, 30, 34, 38})
        sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
            "Font size " + std::to_string(size), UIAlertActionStyle::Default,
            [weak = weakScreen(), size](UIAlertAction&) {
                if (auto s = weak.lock()) s->applyFontSize(size);
            }));
    sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
        "Dismiss", UIAlertActionStyle::Cancel,
        [](UIAlertAction&) { console().print("User click Dismiss button"); }));
    anchorToScreenCentre(*sheet);
    presentViewController_animated_completion(sheet, true, nullptr);
    console().print("completion block");
}

void DictationScreen::Color() {
    auto sheet = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Colour Pick", "Please Select Background Colour", UIAlertControllerStyle::ActionSheet);
    const std::vector<std::pair<const char*, UIColor>> colours{{"White", UIColor::whiteColor()},
                                                               {"Blue", UIColor::blueColor()},
                                                               {"Light Grey", UIColor::lightGrayColor()},
                                                               {"Orange", UIColor::orangeColor()},
                                                               {"Purple", UIColor::purpleColor()},
                                                               {"Brown", UIColor::brownColor()},
                                                               {"Red", UIColor::redColor()}};
    for (const auto& [title, colour] : colours)
        sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
            title, UIAlertActionStyle::Default, [weak = weakScreen(), colour = colour](UIAlertAction&) {
                if (auto s = weak.lock()) s->applyBackgroundColor(colour);
            }));
    sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
        "Dismiss", UIAlertActionStyle::Cancel,
        [](UIAlertAction&) { console().print("User click Dismiss button"); }));
    if (screen_.colourSheetAtScreenCentre)
        anchorToScreenCentre(*sheet);
    else if (auto popover = sheet->popoverPresentationController())
        popover->sourceView = view();
    presentViewController_animated_completion(sheet, true, nullptr);
}

// ---- Actions that leave the screen ----

void DictationScreen::SaveText() {
    if (taskTextStillComing()) {
        if (runState().recording()) recordButtonTapped();
        saveWhenRunEnds();
        return;
    }
    saveTranscriptToList();
}

void DictationScreen::saveTranscriptToList() {
    if (screen_.saveLinePrintsTranscript)
        console().print(Clipboard->text());
    else if (screen_.saveLine)
        console().print(*screen_.saveLine);
    auto list = listWithTranscript();
    if (!list) return;
    if (auto nav = navigationController()) nav->pushViewController_animated(list, true);
}

void DictationScreen::runEnded(bool saveWaited) {
    if (!saveWaited) return;
    // After the progress alert of the stop has gone.
    DispatchQueue::main().async([weak = weakScreen()] {
        if (auto s = weak.lock()) s->saveTranscriptToList();
    });
}

std::shared_ptr<UIViewController> DictationScreen::listWithTranscript() {
    auto board = storyboard();
    // Without the list scene there is nowhere to save into; the transcript stays on screen.
    if (!board || !board->hasScene(screen_.listScene)) return nullptr;
    auto list = board->instantiateViewControllerWithIdentifier(screen_.listScene);
    list->setModalTransitionStyle(UIModalTransitionStyle::CrossDissolve);
    handTranscriptToList(*list, Clipboard->text());
    return list;
}

void DictationScreen::handTranscriptToList(UIViewController& list, const std::string& text) {
    if (auto entries = dynamic_cast<EntryListViewController*>(&list)) {
        entries->transribeText = text;
        entries->transcribe = !text.empty();
        entries->transcriptStored = [weak = weakScreen(), text] {
            if (auto s = weak.lock()) s->savedTranscript_ = text;
        };
    }
}

bool DictationScreen::transcriptSaved() const {
    return savedTranscript_ && *savedTranscript_ == Clipboard->text();
}

void DictationScreen::Share() {
    auto sheet =
        UIActivityViewController::initWithActivityItems_applicationActivities({transcript()->text()});
    anchorToScreenCentre(*sheet);
    presentViewController_animated_completion(sheet, true, nullptr);
}

void DictationScreen::presentHosted(AnyView view) {
    presentViewController_animated_completion(std::make_shared<UIHostingController>(std::move(view)), true,
                                              nullptr);
}

AnyView DictationScreen::analysisView(bool presented) {
    SwiftUIView analysis;
    // Embedded, the screen has no presenter for its Cancel to dismiss.
    if (presented) analysis.presentingVC = std::weak_ptr<UIViewController>(strongScreen());
    return analysis;
}

void DictationScreen::textEditButtonTapped() {
    // The stored transcript may be another screen's, or older than what was dictated since: the
    // editor's Save would put it over this one.
    defaults->setObject_forKey(transcript()->text(), key(keys::saveclipBoardText));
    SwiftUIEditView editor;
    editor.presentingVC = std::weak_ptr<UIViewController>(strongScreen());
    auto host = std::make_shared<UIHostingController>(editor);
    editor_ = OpenedEditor{host, editor, editor.text.get()};
    appendedWhileEditing_.clear();
    presentViewController_animated_completion(host, true, nullptr);
}

void DictationScreen::textAnalysisButtonTapped() {
    presentHosted(analysisView(true));
}

void DictationScreen::showSettingViewController() {
    SettingsSwiftUIView settings;
    settings.presentingVC = std::weak_ptr<UIViewController>(strongScreen());
    presentHosted(settings);
}

void DictationScreen::swiftUipdfButtonTapped() {
    SwiftUiPdfView gallery;
    gallery.presentingVC = std::weak_ptr<UIViewController>(strongScreen());
    presentHosted(gallery);
}

// ---- The switch between the dictation screens ----

void DictationScreen::dictationScreenSelected() {
    auto control = segmentcontrol.lock();
    if (!control) return;
    if (!showDictationScreen(control->selectedSegmentIndex()))
        control->setSelectedSegmentIndex(screen_.segment);
}

bool DictationScreen::showDictationScreen(long index) {
    const auto& scenes = dictationSceneIdentifiers();
    if (index == screen_.segment) return true;
    if (index < 0 || index >= static_cast<long>(scenes.size())) return false;
    auto nav = navigationController();
    if (!nav) return false;
    // The first screen is the root of the stack: going there is going back.
    if (index == 0) {
        backviewTapped();
        return true;
    }
    auto stack = nav->viewControllers();
    auto first = stack.empty() ? nullptr : std::dynamic_pointer_cast<DictationScreen>(stack.front());
    if (!first || first->screen_.segment != 0) return false;
    auto next = first->keptDictationScreen(index);
    if (!next) return false;
    if (screen_.segment == 0) {
        nav->pushViewController_animated(next, true);
        return true;
    }
    // One of the other two is ever on the stack: this one makes way for the one picked.
    if (stack.back().get() != this) return false;
    stack.back() = next;
    nav->setViewControllers_animated(stack, true);
    return true;
}

std::shared_ptr<DictationScreen> DictationScreen::keptDictationScreen(long index) {
    if (auto kept = keptScreens_.find(index); kept != keptScreens_.end()) return kept->second;
    const auto& scenes = dictationSceneIdentifiers();
    auto board = storyboard();
    if (!board || !board->hasScene(scenes[static_cast<std::size_t>(index)])) return nullptr;
    auto made = std::dynamic_pointer_cast<DictationScreen>(
        board->instantiateViewControllerWithIdentifier(scenes[static_cast<std::size_t>(index)]));
    if (made) keptScreens_[index] = made;
    return made;
}

void DictationScreen::analyzeWordClasses(const std::string& text) {
    if (!screen_.countsWordClasses) return;
    WordClassStatistics::analyzeWordClassesOffTheWindow(text, defaults, screen_.wordClasses, weakScreen());
}

} // namespace quillora
