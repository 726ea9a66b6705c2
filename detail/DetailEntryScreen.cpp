#include "detail/DetailEntryScreen.h"

#include "common/StoredKeys.h"
#include "platform/avfaudio/AVAudioSession.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"

using namespace platform;

namespace quillora {

namespace {
// Picker rows of the 31 languages: the last two are reached only by region.
constexpr std::size_t kPickerRows = 29;
} // namespace

DictationScreenTable detailScreenTable(const DetailScreenVariant& variant) {
    DictationScreenTable table;
    table.scene = variant.className;
    table.segment = -1;
    table.languages = &recipeLanguageTable();
    table.pickerRows = kPickerRows;
    table.countsWordClasses = false;
    table.transcriptInTextView = true;
    table.appearanceClearsTexts = false;
    table.idleBackgroundLine.reset();
    table.outOfRangeRowKeepsSelection = true;
    table.reportsTextChanges = true;
    table.keyboardOverlay = KeyboardOverlayLook{100, 1.5, 1.5, variant.toolBarAsAccessory};
    table.keyboardCloseSwapsBack = false;
    table.symbols = toolbarSymbols();
    return table;
}

DetailEntryScreen::DetailEntryScreen(const DetailScreenVariant& variant)
    : DictationScreen(detailScreenTable(variant), detailLoopTable(recipeLanguageTable())), variant_(variant) {
}

void DetailEntryScreen::takeEntry(const std::shared_ptr<EntryListViewController>& master,
                                  const std::string& entry) {
    masterView = master;
    text = entry;
}

DictationViews DetailEntryScreen::dictationViews() {
    return {Clipboard, textView, recordButton, nullptr, pickerView, nullptr, nullptr, nullptr};
}

void DetailEntryScreen::viewDidLoad() {
    UIViewController::viewDidLoad();
    const CGRect screen = UIScreen::mainScreen().bounds();
    const CGFloat W = screen.width(), H = screen.height();
    auto root = view();
    const CGFloat VW = root->frame().width(), VH = root->frame().height();
    auto self = strongScreen();
    std::weak_ptr<UITextViewDelegate> textDelegate = std::shared_ptr<UITextViewDelegate>(self, this);
    auto screenHeight = [H] {
        console().print("Screen height");
        console().print(decimalDescription(H));
    };

    textView = std::make_shared<UITextView>(CGRect{5, 100, W - variant_.transcriptWidthInset, H - 190});
    screenHeight();
    if (toolBarView) toolBarView->setHidden(true);
    textView->setTextAlignment(NSTextAlignment::Justified);
    textView->setTextColor(UIColor::blackColor());
    textView->setBackgroundColor(UIColor::whiteColor());
    textView->setEditable(true);
    textView->setTintColor(UIColor::blackColor());
    root->addSubview(textView);
    textView->setHidden(false);
    textView->setDelegate(textDelegate);
    console().print("adding text view");
    textView->setText(text);

    using S = DetailEntryScreen;
    setUpButton<S>(BackDynamicButton, "backbutton2.png", {variant_.backButtonX, 35, 55, 55}, "backviewTapped",
                   [](S& s) { s.backviewTapped(); });
    root->addSubview(BackDynamicButton);
    setUpButton<S>(ShareDynamicButton, "sharebuttonnew.png", {10, H - 80, 50, 50}, "Share",
                   [](S& s) { s.Share(); });
    root->addSubview(ShareDynamicButton);
    if (variant_.largeTitleNever)
        navigationItem()->largeTitleDisplayMode = UINavigationItemLargeTitleDisplayMode::Never;
    textView->setClipsToBounds(true);

    setUpButton<S>(recordButton, variant_.firstRecordImage, {0, VH - 128, VW - 40, 50}, "recordButtonTapped",
                   [](S& s) { s.recordButtonTapped(); });
    recordButton->setTitle_forState(NSBundle::mainBundle().localizedStringForKey("Button", "Button"),
                                    UIControlStates::Normal);

    Clipboard = std::make_shared<UITextView>(CGRect{10, H * 0.5, W - 20, H / 3 - 10});
    screenHeight();
    Clipboard->setTextAlignment(NSTextAlignment::Justified);
    Clipboard->setTextColor(UIColor::whiteColor());
    Clipboard->setBackgroundColor(UIColor::blackColor());
    Clipboard->setEditable(false);
    root->addSubview(Clipboard);
    Clipboard->setDelegate(textDelegate);
    Clipboard->setHidden(true);
    recordButton->setEnabled(false);

    textView->layer().borderColor = UIColor::darkGrayColor();
    textView->layer().borderWidth = 1.5;
    textView->layer().cornerRadius = 10;
    textView->setFont(UIFont::fontWithName_size("Courier", 20));
    Clipboard->layer().borderColor = UIColor::blackColor();
    Clipboard->layer().borderWidth = 1.5;
    Clipboard->layer().cornerRadius = 10;
    Clipboard->setFont(UIFont::fontWithName_size("Courier", 20));

    pickerView = std::make_shared<UIPickerView>(CGRect{200, 200, W - 210, H / 6});
    pickerView->layer().borderColor = UIColor::darkGrayColor();
    pickerView->layer().borderWidth = 1;
    pickerView->layer().cornerRadius = 10;
    root->addSubview(pickerView);
    pickerView->setDelegate(std::shared_ptr<UIPickerViewDelegate>(self, this));
    pickerView->setDataSource(std::shared_ptr<UIPickerViewDataSource>(self, this));
    pickerView->setHidden(true);
    pickerView->setValue_forKeyPath(UIColor::linkColor(), "textColor");

    if (auto nav = navigationController()) {
        nav->navigationBar()->barTintColor = UIColor::blackColor();
        nav->toolbar()->barTintColor = UIColor::blackColor();
    }
    if (variant_.toolBarAsAccessory) textView->setInputAccessoryView(toolBarView);

    replicator->frame = root->bounds();
    root->layer().addSublayer(replicator);
    dot->frame = {replicator->frame.width(), H * 0.5 - 150, dotLength, dotLength};
    dot->backgroundColor = UIColor::lightGrayColor();
    dot->borderColor = UIColor::whiteColor();
    dot->borderWidth = 0.5;
    dot->cornerRadius = 1.5;
    replicator->addSublayer(dot);
    replicator->instanceCount = static_cast<long>(VW * 0.125);
    replicator->instanceTransform = CATransform3DMakeTranslation(-dotOffset, 0, 0);
    replicator->instanceDelay = 0.02;
    replicator->hidden = true;

    // The record button stands in front, over the transcript's foot: the text is drawn above
    // it and scrolls to its end there, so that the button hides no word (nor a symbol added at
    // the end), and a touch there is meant for it.
    root->addSubview(recordButton);
    const CGFloat covered = textView->frame().maxY() - recordButton->frame().minY();
    if (covered > 0) textView->setFootBand(covered + 2);

    for (auto [name, object] : std::vector<std::pair<const char*, std::shared_ptr<NSObject>>>{
             {"textView", textView},
             {"Clipboard", Clipboard},
             {"pickerView", pickerView},
             {"recordButton", recordButton},
             {"BackDynamicButton", BackDynamicButton},
             {"ShareDynamicButton", ShareDynamicButton},
         })
        exposeOutlet(name, object);
}

void DetailEntryScreen::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    observe(std::string(keys::printValue), &DictationScreen::printValueWithNotification);
    if (auto nav = navigationController()) {
        nav->setNavigationBarHidden(true);
        nav->setToolbarHidden(true);
    }
    observe(UIApplicationWillResignActiveNotification, &DictationScreen::appMovedToBackground);
    observe(UIApplicationWillTerminateNotification, &DictationScreen::appTerminateAction);
    observe(AVAudioSessionRouteChangeNotification, &DictationScreen::handleRouteChange);
}

void DetailEntryScreen::appTerminateAction() {
    // The phrase being spoken and the editor's text go into the entry before it goes into its list.
    keepWorkInProgressForQuitting();
    if (!masterView || !textView) return;
    // Gone from view and taken by the list already: what came later has followed on its own.
    if (handedBack_ && masterView->selectedRow == -1) return;
    masterView->newRowText = textView->text();
    masterView->takeDetailText();
}

void DetailEntryScreen::writeTranscript(const std::string& text) {
    DictationScreen::writeTranscript(text);
    if (!handedBack_ || !masterView) return;
    masterView->replaceHandedBackText(*handedBack_, text);
    handedBack_ = text;
}

void DetailEntryScreen::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    handedBack_.reset();
    saveClipboardtext = text;
    defaults->setObject_forKey(saveClipboardtext, std::string(keys::saveclipBoardText));
    const auto region = requestAuthorizationAndReadRegion();
    if (auto row = defaultRowForRegion(*screenTable().languages, region))
        applyRow(*row, false);
    else
        applyRow(0, true);
}

void DetailEntryScreen::viewWillDisappear(bool animated) {
    if (masterView && textView) {
        masterView->newRowText = textView->text();
        handedBack_ = textView->text();
    }
    UIViewController::viewWillDisappear(animated);
    auto& center = NSNotificationCenter::defaultCenter();
    center.removeObserver(observerKey(), UIKeyboardWillShowNotification);
    center.removeObserver(observerKey(), UIKeyboardWillHideNotification);
    center.removeObserver(observerKey(), UIApplicationWillResignActiveNotification);
    if (stopRunForLeaving(false) && variant_.reportsLeavingStop)
        console().print("View DID disappear triggered");
}

void DetailEntryScreen::viewDidDisappear(bool animated) {
    // Everything the screen does on leaving was done before it went.
    UIViewController::viewDidDisappear(animated);
}

void DetailEntryScreen::language_select() {
    pickerView->setHidden(language_selection);
    language_selection = !language_selection;
}

} // namespace quillora
