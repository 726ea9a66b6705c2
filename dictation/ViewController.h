#pragma once
// The main dictation screen: a language picker, the record button, the live text view (`textView`)
// and the transcript (`Clipboard`), the recognition loop with the ten symbol commands, the font and
// colour menus, and the actions that leave it (save into the list, share, editor, analysis,
// settings, template gallery).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/WordClassStatistics.h"
#include "dictation/DictationLoop.h"
#include "dictation/RecognitionLanguages.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/swiftui/View.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIViewController.h"

namespace quillora {

// The main screen's row of the loop table.
DictationLoopTable mainScreenLoopTable();

class ViewController : public platform::UIViewController,
                       public DictationLoop,
                       public WordClassStatistics,
                       public platform::UITextViewDelegate,
                       public platform::UIPickerViewDataSource,
                       public platform::UIPickerViewDelegate,
                       public platform::SFSpeechRecognitionTaskDelegate {
public:
    ViewController();
    ~ViewController() override;

    // Storyboard outlets.
    std::shared_ptr<platform::UIView> toolBarView = std::make_shared<platform::UIView>();
    std::weak_ptr<platform::UIBarButtonItem> saveText;

    // Views made in code.
    std::shared_ptr<platform::UILabel> SpeechTimeLabel = std::make_shared<platform::UILabel>();
    std::shared_ptr<platform::UITextView> textView;
    std::shared_ptr<platform::UITextView> Clipboard;
    std::shared_ptr<platform::UIPickerView> pickerView;
    std::shared_ptr<platform::UIButton> recordButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> BackDynamicButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> CommandsButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> ButtonRightAnalysis = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> ShareDynamicButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> SaveDynamicButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> RefershDynamicButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> StickyDynamicButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> FontDynamicButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> EditIndicatorButton = defaultDynamicButton();
    std::shared_ptr<platform::UIButton> SaveArrowButton = defaultDynamicButton();

    std::string saveClipboardtext;

    // Languages.
    std::vector<std::string> langugaeSelectionArray;
    long lastlangaugeselected = 0;

    // Settings.
    std::shared_ptr<platform::NSUserDefaults> defaults = platform::NSUserDefaults::standardUserDefaults();
    std::int64_t fontsizeforApp = 18;
    platform::swiftui::State<platform::NSInteger> checkchangedtextinEdit{0};

    static std::shared_ptr<platform::UIButton> defaultDynamicButton();

    // Lifecycle.
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void appMovedToBackground();
    void appBecomeActive();
    void appTerminateAction();
    void printValueWithNotification(const platform::NSNotification& notification);
    void fontValueWithNotification(const platform::NSNotification& notification);
    void backviewTapped();
    void Refresh();
    void resignTranscriptAfterDelay();

    // Text views.
    bool textViewShouldBeginEditing(platform::UITextView& view) override;
    void textViewDidBeginEditing(platform::UITextView& view) override;
    bool textView_shouldChangeTextInRange_replacementText(platform::UITextView& view, platform::NSRange range,
                                                          const std::string& text) override;

    // Languages.
    long numberOfComponentsInPickerView(platform::UIPickerView&) override;
    long pickerView_numberOfRowsInComponent(platform::UIPickerView&, long component) override;
    std::optional<std::string> pickerView_titleForRow_forComponent(platform::UIPickerView&, long row,
                                                                   long component) override;
    void pickerView_didSelectRow_inComponent(platform::UIPickerView&, long row, long component) override;
    void selectRecognitionLanguage(long row);
    void restoreLastSelectedLanguage();
    void saveLastSelectedLanguage();

    void speechRecognitionTask_didHypothesizeTranscription(
        platform::SFSpeechRecognitionTask&, const platform::SFTranscription& transcription) override;

    // Commands, menus and actions.
    void PushPin_emoji();
    void Font_change();
    void Color();
    void applyFontSize(double size);
    void applyBackgroundColor(const platform::UIColor& color);
    void SaveText();
    void Share();
    void textEditButtonTapped();
    void textAnalysisButtonTapped();
    void AnalysisdynamicResult();
    // The analysis screen for a storyboard segue to show.
    std::shared_ptr<platform::UIViewController> showSwiftUI();
    void showSettingViewController();
    void swiftUipdfButtonTapped();

    // The word-class pass over the transcript.
    void analyzeWordClasses(const std::string& text) override;

protected:
    platform::UIViewController& dictationScreen() override { return *this; }
    DictationViews dictationViews() override;
    std::int64_t reviewWordCount() const override { return WordCountforApp; }

private:
    std::shared_ptr<ViewController> strongSelf() { return self<ViewController>(); }
    std::weak_ptr<ViewController> weakViewController() { return strongSelf(); }
    const void* observerKey() const { return static_cast<const ViewController*>(this); }
    void observe(const std::string& name, void (ViewController::*handler)(const platform::NSNotification&));
    void observe(const std::string& name, void (ViewController::*handler)());
    void anchorToScreenCentre(platform::UIViewController& sheet);
    void presentHosted(platform::swiftui::AnyView view);
    // The hosted editor and analysis views (their own subsystem builds them).
    platform::swiftui::AnyView editorView();
    platform::swiftui::AnyView analysisView(bool presented);
    // Hands the transcript to the list screen before it is pushed.
    void handTranscriptToList(platform::UIViewController& list, const std::string& text);
};

} // namespace quillora
