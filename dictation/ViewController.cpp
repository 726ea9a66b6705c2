#include "dictation/ViewController.h"

#include <cstdlib>

#include "analysis/SwiftUIView.h"
#include "dictation/StoredKeys.h"
#include "dictation/SwiftUIEditView.h"
#include "dictation/VoiceCommands.h"
#include "entries/EntryListViewController.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLocale.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIStoryboard.h"
#include "settings/AppCatalogue.h"
#include "settings/SettingsSwiftUIView.h"
#include "templates/SwiftUiPdfView.h"

using namespace platform;
using platform::swiftui::AnyView;
using platform::swiftui::UIHostingController;

namespace quillora {

namespace {

std::string key(std::string_view name) {
    return std::string(name);
}

} // namespace

DictationLoopTable mainScreenLoopTable() {
    DictationLoopTable table;
    table.runLength = 1800;
    table.voiceCommands = &mainVoiceCommands();
    const std::map<long, std::string> english{
        {0, "Listening...."}, {1, "Listening...."}, {2, "Listening...."}, {3, "Listening...."}};

    auto& first = table.handlers[0];
    first.finalFlagLine = "iS FINAL value VIEW";
    first.appendLine = "Added to Clipboard 1";
    first.alreadyAddedLine = "Clipboard text already added ";
    first.loopLine = "isFinal loop triggered loop 1 ";
    first.checksLostConnection = true;
    first.reviewDelay = 2.0;
    first.listening = {english, "...."};
    first.commandTriggers = mainCommandTriggersLoop1();

    auto& second = table.handlers[1];
    second.finalFlagLine = "iS FINAL value ";
    second.appendLine = "Added to Clipboard 2";
    second.alreadyAddedLine = "Clipboard text already added to clipboard 2";
    second.loopLine = "isFinal loop triggered loop 2 ";
    // The second handler's delayed closure asks for nothing.
    second.contextualStrings = {"Erythema", "Nephrolithiasis", "Auscultation", "Hashimoto"};
    second.listening = {english, "......."};
    second.commandTriggers = mainCommandTriggersLoop2();

    table.append = TranscriptAppend::afterBlank;
    for (long row = 0; row <= 12; ++row)
        table.analysisRows.insert(row);
    table.stopStoresDictatedTime = true;
    table.offlineMessage = " Please Connect to internet , Go to Settings --> Wifi/4G or 5G";
    return table;
}

std::shared_ptr<UIButton> ViewController::defaultDynamicButton() {
    return UIButton::buttonWithType(UIButtonType::Custom);
}

ViewController::ViewController() : DictationLoop(mainScreenLoopTable()) {
    for (const auto& language : mainLanguageTable())
        langugaeSelectionArray.emplace_back(language.title);
}

ViewController::~ViewController() {
    NSNotificationCenter::defaultCenter().removeObserver(observerKey());
}

DictationViews ViewController::dictationViews() {
    return {textView,   Clipboard,           recordButton,        SpeechTimeLabel,
            pickerView, ButtonRightAnalysis, EditIndicatorButton, SaveArrowButton};
}

// ---- Set-up ----

void ViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (!toolBarView) fatalError("toolBarView is not connected");
    ButtonRightAnalysis->setHidden(true);
    toolBarView->setHidden(true);

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
        console().print("font  size already there");
        fontsizeforApp = static_cast<std::int64_t>(defaults->doubleForKey(key(keys::savefontSizeApp)));
        console().print("font : " + std::to_string(fontsizeforApp));
    } else {
        console().print("default value of font setting");
        defaults->setInteger_forKey(18, key(keys::savefontSizeApp));
    }
    defaults->setInteger_forKey(checkchangedtextinEdit.get(), key(keys::checkchangedtextinEdit));
    console().print("Inital Value set to 0 before editing " + std::to_string(checkchangedtextinEdit.get()));
    EditIndicatorButton->setHidden(true);
    SaveArrowButton->setHidden(true);

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
    const CGFloat T = keyWindow ? keyWindow->safeAreaInsets().top : 0;

    auto self = strongSelf();
    auto setUp = [&](const std::shared_ptr<UIButton>& button, const char* image, CGRect frame,
                     const char* action, auto callable, bool addToView) {
        button->setImage_forState(UIImage::imageNamed(image), UIControlStates::Normal);
        button->setBackgroundColor(UIColor::clearColor());
        button->setTitle_forState(NSLocalizedString(""), UIControlStates::Normal);
        button->setFrame(frame);
        button->addTarget(self, action, callable, UIControlEvent::TouchUpInside);
        if (addToView) root->addSubview(button);
    };
    setUp(
        EditIndicatorButton, "tapedit.png", {W - 55, 140, 50, 50}, "textEditButtonTapped",
        [](ViewController& s) { s.textEditButtonTapped(); }, false);
    setUp(
        SaveArrowButton, "savearrow.png", {W - 55, 80, 40, 40}, "SaveText",
        [](ViewController& s) { s.SaveText(); }, false);
    setUp(
        recordButton, "Play.png", {0, T + 40, VW - 10, 50}, "recordButtonTapped",
        [](ViewController& s) { s.recordButtonTapped(); }, true);
    setUp(
        BackDynamicButton, "backbutton2.png", {5, 20, 50, 50}, "backviewTapped",
        [](ViewController& s) { s.backviewTapped(); }, true);
    setUp(
        CommandsButton, "command_list.png", {VW - 60, 95, 50, 50}, "PushPin_emoji",
        [](ViewController& s) { s.PushPin_emoji(); }, true);
    setUp(
        ButtonRightAnalysis, "textanalysis.png", {VW - 60, 35, 50, 50}, "textAnalysisButtonTapped",
        [](ViewController& s) { s.textAnalysisButtonTapped(); }, true);
    setUp(
        ShareDynamicButton, "sharebuttonnew.png", {10, H - 80, 50, 50}, "Share",
        [](ViewController& s) { s.Share(); }, true);
    setUp(
        SaveDynamicButton, "savebuttonnew.png", {85, H - 80, 50, 50}, "SaveText",
        [](ViewController& s) { s.SaveText(); }, true);
    setUp(
        RefershDynamicButton, "refreshbuttonnew.png", {155, H - 80, 50, 50}, "Refresh",
        [](ViewController& s) { s.Refresh(); }, true);
    setUp(
        StickyDynamicButton, "createPDF2.png", {225, H - 80, 50, 50}, "swiftUipdfButtonTapped",
        [](ViewController& s) { s.swiftUipdfButtonTapped(); }, true);
    setUp(
        FontDynamicButton, "settings2.png", {300, H - 80, 55, 55}, "showSettingViewController",
        [](ViewController& s) { s.showSettingViewController(); }, true);

    std::weak_ptr<UITextViewDelegate> textDelegate = std::shared_ptr<UITextViewDelegate>(self, this);
    textView = std::make_shared<UITextView>(CGRect{5, H / 5, W - 5, H / 5});
    console().print("Screen height");
    console().print(std::to_string(H));
    textView->setTextAlignment(NSTextAlignment::Justified);
    textView->setTextColor(UIColor::blackColor());
    textView->setBackgroundColor(UIColor::whiteColor());
    textView->layer().cornerRadius = 15;
    textView->setEditable(false);
    root->addSubview(textView);
    textView->setDelegate(textDelegate);
    textView->setSelectedRange({utf16Length(textView->text()), 0});
    SpeechTimeLabel->setHidden(true);

    Clipboard = std::make_shared<UITextView>(CGRect{5, H * 0.5, W - 5, H / 3});
    console().print("Screen height");
    console().print(std::to_string(H));
    Clipboard->setTextAlignment(NSTextAlignment::Justified);
    Clipboard->setTextColor(UIColor::blackColor());
    Clipboard->setBackgroundColor(UIColor::whiteColor());
    Clipboard->layer().cornerRadius = 15;
    Clipboard->addSubview(EditIndicatorButton);
    Clipboard->addSubview(SaveArrowButton);
    root->addSubview(Clipboard);
    Clipboard->setDelegate(textDelegate);

    for (const auto& text : {textView, Clipboard}) {
        text->layer().cornerRadius = 10;
        text->setFont(UIFont::fontWithName_size("Courier", static_cast<double>(fontsizeforApp)));
        text->setTintColor(UIColor::blackColor());
    }

    pickerView = std::make_shared<UIPickerView>();
    pickerView->setTranslatesAutoresizingMaskIntoConstraints(false);
    pickerView->layer().borderColor = UIColor::darkTextColor();
    pickerView->layer().borderWidth = 0.2;
    pickerView->layer().cornerRadius = 10;
    pickerView->setDelegate(std::shared_ptr<UIPickerViewDelegate>(self, this));
    pickerView->setDataSource(std::shared_ptr<UIPickerViewDataSource>(self, this));
    root->addSubview(pickerView);
    NSLayoutConstraint::activateConstraints({
        pickerView->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor(), 2),
        pickerView->trailingAnchor().constraintEqualToAnchor(root->trailingAnchor(), -2),
        pickerView->bottomAnchor().constraintEqualToAnchor(root->safeAreaLayoutGuide()->bottomAnchor(), -10),
        pickerView->heightAnchor().constraintEqualToConstant(50),
    });
    pickerView->setValue_forKeyPath(UIColor::linkColor(), "textColor");

    textView->setDelegate(textDelegate);
    Clipboard->setDelegate(textDelegate);
    recordButton->setEnabled(false);

    navigationItem()->largeTitleDisplayMode = UINavigationItemLargeTitleDisplayMode::Never;
    if (auto nav = navigationController()) {
        nav->navigationBar()->barTintColor = UIColor::blackColor();
        nav->toolbar()->barTintColor = UIColor::blackColor();
    }

    for (auto [name, object] : std::vector<std::pair<const char*, std::shared_ptr<NSObject>>>{
             {"recordButton", recordButton},
             {"pickerView", pickerView},
             {"textView", textView},
             {"Clipboard", Clipboard},
             {"SpeechTimeLabel", SpeechTimeLabel},
             {"BackDynamicButton", BackDynamicButton},
             {"CommandsButton", CommandsButton},
             {"ButtonRightAnalysis", ButtonRightAnalysis},
             {"EditIndicatorButton", EditIndicatorButton},
             {"SaveArrowButton", SaveArrowButton},
             {"ShareDynamicButton", ShareDynamicButton},
             {"SaveDynamicButton", SaveDynamicButton},
             {"RefershDynamicButton", RefershDynamicButton},
             {"StickyDynamicButton", StickyDynamicButton},
             {"FontDynamicButton", FontDynamicButton},
         })
        exposeOutlet(name, object);
}

// ---- Appearance and application events ----

void ViewController::observe(const std::string& name,
                             void (ViewController::*handler)(const NSNotification&)) {
    auto& center = NSNotificationCenter::defaultCenter();
    // One registration per observation and screen, however often the screen appears.
    if (center.registrationCount(observerKey(), name) > 0) return;
    auto self = strongSelf();
    center.addObserver(std::shared_ptr<const void>(self, observerKey()), name,
                       [weak = weakViewController(), handler](const NSNotification& notification) {
                           if (auto s = weak.lock()) ((*s).*handler)(notification);
                       });
}

void ViewController::observe(const std::string& name, void (ViewController::*handler)()) {
    auto& center = NSNotificationCenter::defaultCenter();
    if (center.registrationCount(observerKey(), name) > 0) return;
    auto self = strongSelf();
    center.addObserver(std::shared_ptr<const void>(self, observerKey()), name,
                       [weak = weakViewController(), handler](const NSNotification&) {
                           if (auto s = weak.lock()) ((*s).*handler)();
                       });
}

void ViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) {
        nav->setToolbarHidden(true);
        nav->setNavigationBarHidden(true);
    }
    Clipboard->setText("");
    textView->setText(" ");
    observe(key(keys::printValue), &ViewController::printValueWithNotification);
    observe(key(keys::fontValue), &ViewController::fontValueWithNotification);
    observe(UIApplicationWillResignActiveNotification, &ViewController::appMovedToBackground);
    observe(UIApplicationDidBecomeActiveNotification, &ViewController::appBecomeActive);
    observe(UIApplicationWillTerminateNotification, &ViewController::appTerminateAction);
}

void ViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    restoreLastSelectedLanguage();
}

void ViewController::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    saveLastSelectedLanguage();
}

void ViewController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    auto& center = NSNotificationCenter::defaultCenter();
    center.removeObserver(observerKey(), UIApplicationWillResignActiveNotification);
    center.removeObserver(observerKey(), UIApplicationDidBecomeActiveNotification);
    if (stopRunForLeaving(false)) console().print("View DID disappear triggered");
}

void ViewController::appMovedToBackground() {
    console().print("App moved to background!");
    if (!stopRunForLeaving(true)) {
        console().print("Audio engine not running ");
        return;
    }
    console().print("APP moved to background , stopped AUDIO engine");
}

void ViewController::appBecomeActive() {
    console().print("app become active");
}

void ViewController::appTerminateAction() {
    console().print("app going to terminate");
    if (!saveText.expired()) SaveText();
}

void ViewController::printValueWithNotification(const NSNotification& notification) {
    auto text = notification.stringForKey(key(keys::userInfoValue));
    if (!text) return;
    Clipboard->setText(*text);
    analyzeWordClasses(Clipboard->text());
}

void ViewController::fontValueWithNotification(const NSNotification& notification) {
    auto text = notification.stringForKey(key(keys::userInfoFontValue));
    if (!text) return;
    double size = std::strtol(text->c_str(), nullptr, 10);
    Clipboard->setFont(UIFont::fontWithName_size("Courier", size));
    textView->setFont(UIFont::fontWithName_size("Courier", size));
}

void ViewController::backviewTapped() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

void ViewController::Refresh() {
    Clipboard->setText("");
}

void ViewController::resignTranscriptAfterDelay() {
    DispatchQueue::main().asyncAfter(0.7, [weak = weakViewController()] {
        if (auto s = weak.lock()) s->Clipboard->resignFirstResponder();
    });
}

bool ViewController::textViewShouldBeginEditing(UITextView&) {
    console().print("should editing begin");
    textEditButtonTapped();
    return true;
}

void ViewController::textViewDidBeginEditing(UITextView&) {
    resignTranscriptAfterDelay();
}

bool ViewController::textView_shouldChangeTextInRange_replacementText(UITextView&, NSRange,
                                                                      const std::string&) {
    console().print("chnage text");
    return true;
}

// ---- Languages ----

long ViewController::numberOfComponentsInPickerView(UIPickerView&) {
    return 1;
}

long ViewController::pickerView_numberOfRowsInComponent(UIPickerView&, long) {
    return static_cast<long>(langugaeSelectionArray.size());
}

std::optional<std::string> ViewController::pickerView_titleForRow_forComponent(UIPickerView&, long row,
                                                                               long) {
    if (row < 0 || row >= static_cast<long>(langugaeSelectionArray.size())) return std::nullopt;
    return langugaeSelectionArray[static_cast<std::size_t>(row)];
}

void ViewController::pickerView_didSelectRow_inComponent(UIPickerView&, long row, long) {
    selectRecognitionLanguage(row);
}

void ViewController::selectRecognitionLanguage(long row) {
    if (audioEngine->isRunning()) {
        auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
            "Please stop the earlier recording!", "Select '||' Button", UIAlertControllerStyle::Alert);
        alert->addAction(
            UIAlertAction::actionWithTitle_style_handler("OK ", UIAlertActionStyle::Default, nullptr));
        presentViewController_animated_completion(alert, true, nullptr);
        return;
    }
    const auto& table = mainLanguageTable();
    long r = rowOrFirst(table, row);
    // A locale without a recognition service still gets its recognizer: it reports itself
    // unavailable, which disables the record button with its reason.
    speechRecognizer =
        SFSpeechRecognizer::initWithLocale(std::string(table[static_cast<std::size_t>(r)].localeIdentifier));
    speechRecognizer->setDelegate(std::shared_ptr<SFSpeechRecognizerDelegate>(strongSelf(), this));
    buttonSelect = r;
    recordButton->setImage_forState(UIImage::imageNamed("Play.png"), UIControlStates::Normal);
    recognizerChanged();
}

void ViewController::restoreLastSelectedLanguage() {
    auto self = strongSelf();
    speechRecognizer->setDelegate(std::shared_ptr<SFSpeechRecognizerDelegate>(self, this));
    SFSpeechRecognizer::requestAuthorization(
        [weak = weakViewController()](SFSpeechRecognizerAuthorizationStatus status) {
            NSOperationQueue::mainQueue().addOperationWithBlock([weak, status] {
                if (auto s = weak.lock()) s->applyAuthorizationStatus(status);
            });
        });
    auto locale = NSLocale::currentLocale();
    console().print(locale.regionCode().value_or("none"));
    console().print(locale.languageCode().value_or("none"));

    const auto& table = mainLanguageTable();
    long r = 0;
    bool isDefault = true;
    if (defaults->objectForKey(key(keys::lastlangaugeselected))) {
        lastlangaugeselected = static_cast<long>(defaults->integerForKey(key(keys::lastlangaugeselected)));
        console().print("loading last langauge selected ");
        if (lastlangaugeselected >= 0 && lastlangaugeselected < static_cast<long>(table.size())) {
            r = lastlangaugeselected;
            isDefault = false;
        }
    } else {
        console().print("user default language select is empty");
        if (auto row = defaultRowForRegion(table, locale.regionCode())) {
            r = *row;
            isDefault = false;
        }
    }
    pickerView->selectRow_inComponent_animated(r, 0, true);
    selectRecognitionLanguage(r);
    speechRecognizer =
        SFSpeechRecognizer::initWithLocale(std::string(table[static_cast<std::size_t>(r)].localeIdentifier));
    speechRecognizer->setDelegate(std::shared_ptr<SFSpeechRecognizerDelegate>(self, this));
    buttonSelect = r;
    if (!isDefault) recordButton->setImage_forState(UIImage::imageNamed("Play.png"), UIControlStates::Normal);
}

void ViewController::saveLastSelectedLanguage() {
    if (auto nav = navigationController()) {
        nav->setToolbarHidden(false);
        nav->setNavigationBarHidden(false);
    }
    // A screen that never came into view has chosen no row: nothing to remember.
    if (!buttonSelect) return;
    defaults->setInteger_forKey(*buttonSelect, key(keys::lastlangaugeselected));
    console().print("save the last selected language " + std::to_string(*buttonSelect));
}

void ViewController::speechRecognitionTask_didHypothesizeTranscription(SFSpeechRecognitionTask&,
                                                                       const SFTranscription& transcription) {
    const auto& segments = transcription.segments();
    if (!segments.empty() && segments.back().substring().find("Hello") != std::string::npos)
        console().print("word was spoken");
}

// ---- Command list and menus ----

void ViewController::anchorToScreenCentre(UIViewController& sheet) {
    if (auto popover = sheet.popoverPresentationController()) {
        auto bounds = UIScreen::mainScreen().bounds();
        popover->sourceView = view();
        popover->sourceRect = {bounds.width() / 2, bounds.height() / 2, 0, 0};
        popover->permittedArrowDirections = UIPopoverArrowDirections::None;
    }
}

void ViewController::PushPin_emoji() {
    auto sheet = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "📌📎📝🔖✔️", "Please Select from the Options below ",
        UIAlertControllerStyle::ActionSheet);
    for (const char* title :
         {"Say 'Pushpin' to add 📌", "Say 'Paperclip' to add 📎", "Say 'checkmark' to add ✔️",
          "Say 'Memo' to add 📝", "Say 'Book mark' to add 🔖", "Say 'Pencil' to add ✏️",
          "Say 'Textbook' to add 📘", "Say 'Clipboard' to add 📋", "Say 'centre dot' to add ·",
          "Say 'new line' to Start a new line", "Say 'new paragraph' to Start a new paragraph",
          "Say 'hashtag sign' to add #️⃣", "Say 'comma' to add ,", "Say 'period/full stop' to add ."})
        sheet->addAction(
            UIAlertAction::actionWithTitle_style_handler(title, UIAlertActionStyle::Default, nullptr));
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

void ViewController::applyFontSize(double size) {
    for (const auto& text : {textView, Clipboard}) {
        auto name = text->font() ? text->font()->fontName : UIFont::systemFontOfSize(size).fontName;
        text->setFont(UIFont::fontWithName_size(name, size));
    }
}

void ViewController::applyBackgroundColor(const UIColor& color) {
    view()->setBackgroundColor(color);
}

void ViewController::Font_change() {
    auto sheet = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Title", "Please Select Font", UIAlertControllerStyle::ActionSheet);
    for (int size : {16, 24, 30, 34, 38})
        sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
            "Font size " + std::to_string(size), UIAlertActionStyle::Default,
            [weak = weakViewController(), size](UIAlertAction&) {
                if (auto s = weak.lock()) s->applyFontSize(size);
            }));
    sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
        "Dismiss", UIAlertActionStyle::Cancel,
        [](UIAlertAction&) { console().print("User click Dismiss button"); }));
    anchorToScreenCentre(*sheet);
    presentViewController_animated_completion(sheet, true, nullptr);
    console().print("completion block");
}

void ViewController::Color() {
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
            title, UIAlertActionStyle::Default,
            [weak = weakViewController(), colour = colour](UIAlertAction&) {
                if (auto s = weak.lock()) s->applyBackgroundColor(colour);
            }));
    sheet->addAction(UIAlertAction::actionWithTitle_style_handler(
        "Dismiss", UIAlertActionStyle::Cancel,
        [](UIAlertAction&) { console().print("User click Dismiss button"); }));
    anchorToScreenCentre(*sheet);
    presentViewController_animated_completion(sheet, true, nullptr);
}

// ---- Actions that leave the screen ----

void ViewController::SaveText() {
    console().print("in Save loop");
    auto board = storyboard();
    // Without the list scene there is nowhere to save into; the transcript stays on screen.
    if (!board || !board->hasScene("VCTV")) return;
    auto list = board->instantiateViewControllerWithIdentifier("VCTV");
    list->setModalTransitionStyle(UIModalTransitionStyle::CrossDissolve);
    handTranscriptToList(*list, Clipboard->text());
    if (auto nav = navigationController()) nav->pushViewController_animated(list, true);
}

void ViewController::handTranscriptToList(UIViewController& list, const std::string& text) {
    if (auto entries = dynamic_cast<EntryListViewController*>(&list)) {
        entries->transribeText = text;
        entries->transcribe = !text.empty();
    }
}

void ViewController::Share() {
    auto sheet = UIActivityViewController::initWithActivityItems_applicationActivities({Clipboard->text()});
    anchorToScreenCentre(*sheet);
    presentViewController_animated_completion(sheet, true, nullptr);
}

void ViewController::presentHosted(AnyView view) {
    presentViewController_animated_completion(std::make_shared<UIHostingController>(std::move(view)), true,
                                              nullptr);
}

AnyView ViewController::editorView() {
    SwiftUIEditView editor;
    editor.presentingVC = weakViewController();
    return editor;
}

AnyView ViewController::analysisView(bool presented) {
    SwiftUIView analysis;
    // Embedded, the screen has no presenter for its Cancel to dismiss.
    if (presented) analysis.presentingVC = weakViewController();
    return analysis;
}

void ViewController::textEditButtonTapped() {
    presentHosted(editorView());
}

void ViewController::textAnalysisButtonTapped() {
    presentHosted(analysisView(true));
}

void ViewController::AnalysisdynamicResult() {
    auto hosting = std::make_shared<UIHostingController>(analysisView(false));
    addChildViewController(hosting);
    auto hosted = hosting->view();
    hosted->setTranslatesAutoresizingMaskIntoConstraints(false);
    view()->addSubview(hosted);
    NSLayoutConstraint::activateConstraints({
        hosted->centerXAnchor().constraintEqualToAnchor(view()->centerXAnchor()),
        hosted->centerYAnchor().constraintEqualToAnchor(view()->centerYAnchor()),
    });
    hosting->didMoveToParentViewController(strongSelf());
}

std::shared_ptr<UIViewController> ViewController::showSwiftUI() {
    return std::make_shared<UIHostingController>(analysisView(false));
}

void ViewController::showSettingViewController() {
    SettingsSwiftUIView settings;
    settings.presentingVC = weakViewController();
    presentHosted(settings);
}

void ViewController::swiftUipdfButtonTapped() {
    SwiftUiPdfView gallery;
    gallery.presentingVC = weakViewController();
    presentHosted(gallery);
}

void ViewController::analyzeWordClasses(const std::string& text) {
    WordClassStatistics::analyzeWordClasses(text, *defaults, WordClassPass::mainScreen());
}

} // namespace quillora
