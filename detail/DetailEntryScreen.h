#pragma once
// The entry detail screens: one saved entry of a list in `textView`, dictation into it in one-hour
// runs (what is being heard shows in `Clipboard`, each task's text lands in the entry as one
// paragraph), symbols, the font menu, the editor and the share sheet; when the screen goes away the
// entry's text goes back to its list, which puts it in place of the row (or removes the row when
// the text is empty). The language follows the device's region on every appearance.
//
// The three screens are this class with their row of DetailScreenVariant; what they share with the
// dictation screens (menus, editor, picker selection, keyboard overlay, the loop) is DictationScreen.

#include <memory>
#include <string>

#include "detail/DetailScreenVariant.h"
#include "dictation/DictationScreen.h"
#include "entries/EntryListViewController.h"
#include "platform/avfaudio/AVSpeechSynthesizer.h"
#include "platform/uikit/CALayer.h"

namespace quillora {

DictationScreenTable detailScreenTable(const DetailScreenVariant& variant);

class DetailEntryScreen : public DictationScreen, public EntryDetailScreen {
public:
    explicit DetailEntryScreen(const DetailScreenVariant& variant);

    // Set by the list before the view loads; the list gets the text back through newRowText.
    std::string text;
    std::shared_ptr<EntryListViewController> masterView;

    std::shared_ptr<platform::AVSpeechSynthesizer> synthesizer =
        std::make_shared<platform::AVSpeechSynthesizer>();
    // The row of listening dots, built and kept hidden.
    std::shared_ptr<platform::CAReplicatorLayer> replicator = std::make_shared<platform::CAReplicatorLayer>();
    std::shared_ptr<platform::CALayer> dot = std::make_shared<platform::CALayer>();
    platform::CGFloat dotLength = 6.0;
    platform::CGFloat dotOffset = 8.0;
    std::string intitalString;
    // Whether the language button has the picker shown.
    bool language_selection = false;

    void takeEntry(const std::shared_ptr<EntryListViewController>& master, const std::string& entry) override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    // The application ends while the entry is shown (the window closed): the entry goes back into
    // its row and the list's file, as going back would do, so nothing dictated is lost.
    void appTerminateAction() override;

    // Shows the language picker, or hides it again.
    void language_select();

protected:
    DictationViews dictationViews() override;
    // Text that arrives after the screen handed the entry back (the last phrase of a run stopped
    // by leaving) goes on to the list.
    void writeTranscript(const std::string& text) override;

private:
    const DetailScreenVariant& variant_;
    // The entry as handed back to the list when the screen went; none while it is shown.
    std::optional<std::string> handedBack_;
};

class DetailVCTableView : public DetailEntryScreen {
public:
    DetailVCTableView() : DetailEntryScreen(kMainEntryDetail) {}
};

class DetailNotesVCTableView : public DetailEntryScreen {
public:
    DetailNotesVCTableView() : DetailEntryScreen(kNotesEntryDetail) {}
};

class DetailRecipeVCTableView : public DetailEntryScreen {
public:
    DetailRecipeVCTableView() : DetailEntryScreen(kRecipeEntryDetail) {}
};

} // namespace quillora
