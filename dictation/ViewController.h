#pragma once
// The main dictation screen: the shared dictation screen with the main tables, and what only it
// has: the command-list button, the analysis shown inside the screen or through a segue, and the
// task delegate that listens for a greeting.

#include <memory>

#include "dictation/DictationScreen.h"

namespace quillora {

// The main screen's row of the screen table.
DictationScreenTable mainScreenTable();

class ViewController : public DictationScreen, public platform::SFSpeechRecognitionTaskDelegate {
public:
    ViewController();

    std::shared_ptr<platform::UIButton> CommandsButton = defaultDynamicButton();

    void viewDidLoad() override;

    void speechRecognitionTask_didHypothesizeTranscription(
        platform::SFSpeechRecognitionTask&, const platform::SFTranscription& transcription) override;

    void AnalysisdynamicResult();
    // The analysis screen for a storyboard segue to show.
    std::shared_ptr<platform::UIViewController> showSwiftUI();
};

} // namespace quillora
