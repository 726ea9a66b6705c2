#pragma once
// What the dictation screens do alike: start-up defaults, the views laid out from the screen's
// table, the language picker with its stored row, the notifications (one registration per
// observation and screen), the text-view delegate, the keyboard overlay with its accessory bar
// and symbol buttons, the menus and sheets, Save, Refresh and Back, the switch between the
// dictation screens and the word-class pass. A screen is this class with its table; what only
// one screen has stays in its own class.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/WordClassStatistics.h"
#include "dictation/DictationLoop.h"
#include "dictation/RecognitionLanguages.h"
#include "dictation/SwiftUIEditView.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/swiftui/View.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UISegmentedControl.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIViewController.h"

namespace quillora {

// The editable copy of the transcript that stands in its place while the keyboard is up.
struct KeyboardOverlayLook {
    platform::CGFloat y = 75;
    platform::CGFloat borderWidth = 0;
    // The transcript view's border from the first swap on.
    platform::CGFloat transcriptBorderWidth = 0;
    // Whether the overlay carries the screen's toolBarView above the keyboard.
    bool showsToolBar = true;
};

// A button that appends its symbol to the transcript.
struct SymbolAction {
    std::string action;
    std::string symbol;
};

// The four symbol buttons of the notes, recipe and detail screens.
const std::vector<SymbolAction>& toolbarSymbols();

// The spoken-command help sheet.
struct CommandHelpSheet {
    std::string title;
    std::vector<std::string> rows;
    // A last row that opens the page with every command.
    bool listsAllCommands = true;
};

struct DictationScreenTable {
    // The screen's scene and its segment in the switch between the dictation screens.
    std::string scene;
    long segment = 0;
    const RecognitionLanguageTable* languages = nullptr;
    // The picker offers only this many of the table's rows; the others are reached by region.
    std::optional<std::size_t> pickerRows;
    WordClassPass wordClasses;
    bool countsWordClasses = true;
    // Which view holds the transcript: `Clipboard` on the dictation screens, `textView` on the
    // detail screens (where `Clipboard` shows what is being heard).
    bool transcriptInTextView = false;

    // Layout (the rest is the same on every screen).
    platform::CGFloat editIndicatorY = 140;
    // The record button's distance below the window's top safe-area inset.
    platform::CGFloat recordButtonTop = 40;
    std::optional<platform::UIColor> liveBorderColor;
    platform::CGFloat pickerBorderWidth = 0.2;
    std::optional<platform::UIColor> recordButtonBorderColor;
    bool hidesToolBarView = true;
    // The template gallery button and the save arrow's picture and action.
    bool showsTemplateButton = true;
    std::string saveArrowImage = "savearrow.png";
    std::string saveAction = "SaveText";

    // Start-up and appearance.
    // Start-up shows Documents/datafile.dat in the transcript.
    bool readsDataFile = false;
    // Start-up also keeps the path of Documents/dataFile_bookmarkV.dat.
    bool keepsBookmarkFilePath = false;
    // The first appearance, and each one after the transcript went into the list, empties the
    // transcript and blanks the live text; a transcript not yet saved is kept.
    bool appearanceClearsTexts = true;
    // Each appearance takes the stored language row into buttonSelect.
    bool appearanceReadsStoredRow = false;
    // Becoming active with a transcript of one blank says so.
    bool reportsEmptyTranscript = false;
    // Going to the background with no run on says so.
    std::optional<std::string> idleBackgroundLine = "Audio engine not running ";

    // Save: the list scene, and its console line: a fixed one, the transcript, or none.
    std::string listScene;
    std::optional<std::string> saveLine;
    bool saveLinePrintsTranscript = false;

    // Languages: a row outside the table gets the first locale's recognizer; it takes the first
    // row too, or leaves row and picture as they were.
    bool outOfRangeRowKeepsSelection = false;
    // Each typed change is reported on the console.
    bool reportsTextChanges = true;

    // Menus.
    bool colourSheetAtScreenCentre = true;
    CommandHelpSheet help;
    std::optional<KeyboardOverlayLook> keyboardOverlay;
    // Closing the keyboard also puts the transcript back in place of the overlay.
    bool keyboardCloseSwapsBack = true;
    std::vector<SymbolAction> symbols;
};

// A scene's bar above the keyboard with Done and close at its right end.
std::shared_ptr<platform::UIView> doneAndCloseKeyboardBar(class DictationScreen& screen);

// Storyboard identifiers of the dictation scenes, in the order of the switch's segments.
const std::vector<std::string>& dictationSceneIdentifiers();
// The switch's segment titles.
const std::vector<std::string>& dictationSwitchTitles();

class DictationScreen : public platform::UIViewController,
                        public DictationLoop,
                        public WordClassStatistics,
                        public platform::UITextViewDelegate,
                        public platform::UIPickerViewDataSource,
                        public platform::UIPickerViewDelegate {
public:
    DictationScreen(DictationScreenTable screen, DictationLoopTable loop);
    ~DictationScreen() override;

    const DictationScreenTable& screenTable() const { return screen_; }

    // Storyboard outlets.
    std::shared_ptr<platform::UIView> toolBarView = std::make_shared<platform::UIView>();
    std::weak_ptr<platform::UIBarButtonItem> saveText;
    std::weak_ptr<platform::UISegmentedControl> segmentcontrol;
    std::weak_ptr<platform::NSLayoutConstraint> textViewBottomLayoutGuideConstraint;

    // Views made in code.
    std::shared_ptr<platform::UILabel> SpeechTimeLabel = std::make_shared<platform::UILabel>();
    std::shared_ptr<platform::UITextView> textView;
    std::shared_ptr<platform::UITextView> Clipboard;
    std::shared_ptr<platform::UITextView> Clipboard_keyboard;
    std::shared_ptr<platform::UIPickerView> pickerView;
    std::shared_ptr<platform::UIButton> recordButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> BackDynamicButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> ButtonRightAnalysis = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> ShareDynamicButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> SaveDynamicButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> RefershDynamicButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> StickyDynamicButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> FontDynamicButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> EditIndicatorButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> SaveArrowButton = defaultDynamicButton();

    std::string saveClipboardtext;

    // Keyboard overlay.
    std::optional<platform::CGFloat> ClipboardHeight;
    bool KeyboardShow = false;
    bool Keyboard_Clipboard_Select = false;

    // Languages.
    std::vector<std::string> langugaeSelectionArray;
    long lastlangaugeselected = 0;

    // Settings and files.
    std::shared_ptr<platform::NSUserDefaults> defaults = platform::NSUserDefaults::standardUserDefaults();
    std::int64_t fontsizeforApp = 18;
    platform::swiftui::State<platform::NSInteger> checkchangedtextinEdit{0};
    std::optional<std::string> dataFile;
    std::optional<std::string> dataFile_bookmarkV;

    static std::shared_ptr<platform::UIButton> defaultDynamicButton();

    // Lifecycle.
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void appMovedToBackground();
    void appBecomeActive();
    virtual void appTerminateAction();
    // Another microphone was chosen.
    void handleRouteChange();
    // The edited text of the editor this screen presented; an editor of another screen (one
    // pushed over this one, say) is not for this transcript.
    void printValueWithNotification(const platform::NSNotification& notification);
    void fontValueWithNotification(const platform::NSNotification& notification);
    void backviewTapped();
    void Refresh();
    void resignTranscriptAfterDelay();

    // Keyboard overlay and its accessory bar.
    void keyboardWillShow(const platform::NSNotification& notification);
    void keyboardWillHide2();
    // Moves the transcript's bottom constraint with the keyboard.
    void handleKeyboardNotification(const platform::NSNotification& notification);
    void setUpClipboardKeyboard();
    void keyboardClose();
    void Done_button();
    // Appends `symbol` to the transcript (and to the overlay while it shows).
    void insertSymbolInTranscript(const std::string& symbol);
    void tickmark_clicked();
    void bookmark();
    void paperclip();
    void pushpin();

    // Text views.
    bool textViewShouldBeginEditing(platform::UITextView& view) override;
    void textViewDidBeginEditing(platform::UITextView& view) override;
    bool textView_shouldChangeTextInRange_replacementText(platform::UITextView& view, platform::NSRange range,
                                                          const std::string& text) override;
    void textViewDidChange(platform::UITextView& view) override;
    // Puts `text` in the transcript and, while the overlay shows, in the overlay: the two copies
    // never part.
    void setTranscriptText(const std::string& text);

    // Languages.
    long numberOfComponentsInPickerView(platform::UIPickerView&) override;
    long pickerView_numberOfRowsInComponent(platform::UIPickerView&, long component) override;
    std::optional<std::string> pickerView_titleForRow_forComponent(platform::UIPickerView&, long row,
                                                                   long component) override;
    void pickerView_didSelectRow_inComponent(platform::UIPickerView&, long row, long component) override;
    void selectRecognitionLanguage(long row);
    // Becomes the recognizer's delegate, asks for speech authorization (answered on the main
    // operation queue) and reports the current locale; the region code, when it has one.
    std::optional<std::string> requestAuthorizationAndReadRegion();
    // The row chosen on appearance: its recognizer, picker row, buttonSelect and picture; with
    // `fallback` the picture is left as the selection set it.
    void applyRow(long row, bool fallback);
    void restoreLastSelectedLanguage();
    void saveLastSelectedLanguage();

    // Menus, sheets and actions.
    void PushPin_emoji();
    void Fruit_emoji() { showCommandHelpSheet(); }
    void showCommandHelpSheet();
    void Font_change();
    void Color();
    void applyFontSize(double size);
    void applyBackgroundColor(const platform::UIColor& color);
    // Hands the transcript to the list and shows it. While a task has yet to deliver its phrase,
    // the run stops as the record button stops it and the Save follows once the phrase is in.
    void SaveText();
    // The same Save, under the name the recipe screen's controls send.
    void SaveText_R() { SaveText(); }
    void Share();
    void textEditButtonTapped();
    void textAnalysisButtonTapped();
    void showSettingViewController();
    void swiftUipdfButtonTapped();

    // The switch between the dictation screens: the segment picked in `segmentcontrol`.
    void dictationScreenSelected();
    // Shows the dictation screen of segment `index` (0 the first screen); false when there is
    // none to show. Each dictation screen is made once and kept for the application's life by the
    // first screen, as a tab bar keeps its tabs: coming back shows it as it was left.
    bool showDictationScreen(long index);
    // The kept screen of segment `index`, made on first use; null when the storyboard has none.
    std::shared_ptr<DictationScreen> keptDictationScreen(long index);

    // The word-class pass over the transcript.
    void analyzeWordClasses(const std::string& text) override;

    // The transcript and the live view, as the table assigns them.
    const std::shared_ptr<platform::UITextView>& transcript() const {
        return screen_.transcriptInTextView ? textView : Clipboard;
    }
    const std::shared_ptr<platform::UITextView>& liveView() const {
        return screen_.transcriptInTextView ? Clipboard : textView;
    }

protected:
    platform::UIViewController& dictationScreen() override { return *this; }
    DictationViews dictationViews() override;
    std::int64_t reviewWordCount() const override { return WordCountforApp; }
    void writeTranscript(const std::string& text) override;
    bool recordButtonHeldBack() const override { return overlayShown(); }
    void runEnded(bool saveWaited) override;

    std::shared_ptr<DictationScreen> strongScreen() { return self<DictationScreen>(); }
    std::weak_ptr<DictationScreen> weakScreen() { return strongScreen(); }
    void anchorToScreenCentre(platform::UIViewController& sheet);
    void presentHosted(platform::swiftui::AnyView view);
    // The hosted analysis view (its own subsystem builds it).
    platform::swiftui::AnyView analysisView(bool presented);
    // Before the end saves the transcript: the phrase being spoken goes into it, then what was
    // typed in the editor still up, as the editor's Save would keep it (that phrase after it).
    void keepWorkInProgressForQuitting();
    // Sets up one of the screen's buttons as every screen does: image, clear background, empty
    // title, frame, the action.
    template <class Screen, class F>
    void setUpButton(const std::shared_ptr<platform::UIButton>& button, const char* image,
                     platform::CGRect frame, const char* action, F callable) {
        button->setImage_forState(platform::UIImage::imageNamed(image), platform::UIControlStates::Normal);
        button->setBackgroundColor(platform::UIColor::clearColor());
        button->setTitle_forState("", platform::UIControlStates::Normal);
        button->setFrame(frame);
        button->addTarget(self<Screen>(), action, std::move(callable),
                          platform::UIControlEvent::TouchUpInside);
    }

    const void* observerKey() const { return static_cast<const DictationScreen*>(this); }
    // One registration per observation and screen, however often the screen appears.
    void observe(const std::string& name, void (DictationScreen::*handler)(const platform::NSNotification&));
    void observe(const std::string& name, void (DictationScreen::*handler)());

private:
    // The parts of viewDidLoad, in its order.
    void loadStoredSettings();
    void layOutButtons();
    void layOutTextViewsAndPicker();
    void exposeOutlets();
    bool overlayShown() const;
    void printKeyboardFrames(const platform::UIKeyboardFrames& frames);
    void applyStoredFontSize();
    void readDataFile();
    // Save's steps: the list screen, holding the transcript, pushed.
    void saveTranscriptToList();
    // The list screen of the Save, holding the transcript; null when the storyboard has none.
    std::shared_ptr<platform::UIViewController> listWithTranscript();
    // Hands the transcript to the list screen before it is pushed.
    void handTranscriptToList(platform::UIViewController& list, const std::string& text);
    // The transcript stands in the list as it is now.
    bool transcriptSaved() const;
    // The row's play picture, or the screen's own.
    std::string playImageName(std::optional<long> row) const;

    DictationScreenTable screen_;
    // The editor this screen presented: its sheet, its view (which shares the text being typed
    // with the sheet) and the text it opened on.
    struct OpenedEditor {
        std::weak_ptr<platform::UIViewController> sheet;
        SwiftUIEditView view;
        std::string openedOn;
    };
    std::optional<OpenedEditor> editor_;
    // The editor's sheet is up.
    bool editorShown() const;
    // What the engine appended to the transcript since the editor opened; its Save keeps it after
    // the edited text.
    std::string appendedWhileEditing_;
    // The other dictation screens, kept by the first one (segment 0) once made.
    std::map<long, std::shared_ptr<DictationScreen>> keptScreens_;
    // The transcript as the list last stored it.
    std::optional<std::string> savedTranscript_;
    // The first appearance starts clean whatever the transcript holds.
    bool appearedBefore_ = false;
};

} // namespace quillora
