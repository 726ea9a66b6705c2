#include "dictation/ViewController.h"

#include "platform/foundation/Console.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/UIScreen.h"

using namespace platform;
using platform::swiftui::UIHostingController;

namespace quillora {

DictationScreenTable mainScreenTable() {
    DictationScreenTable table;
    table.scene = "ViewController";
    table.segment = 0;
    table.languages = &mainLanguageTable();
    table.wordClasses = WordClassPass::mainScreen();
    table.editIndicatorY = 140;
    table.recordButtonTop = 40;
    table.pickerBorderWidth = 0.2;
    table.hidesToolBarView = true;
    table.readsDataFile = false;
    table.appearanceClearsTexts = true;
    table.listScene = "VCTV";
    table.saveLine = "in Save loop";
    table.colourSheetAtScreenCentre = true;
    table.help = {"📌📎📝🔖✔️",
                  {"Say 'Pushpin' to add 📌", "Say 'Paperclip' to add 📎", "Say 'checkmark' to add ✔️",
                   "Say 'Memo' to add 📝", "Say 'Book mark' to add 🔖", "Say 'Pencil' to add ✏️",
                   "Say 'Textbook' to add 📘", "Say 'Clipboard' to add 📋", "Say 'centre dot' to add ·",
                   "Say 'new line' to Start a new line", "Say 'new paragraph' to Start a new paragraph",
                   "Say 'hashtag sign' to add #️⃣", "Say 'comma' to add ,",
                   "Say 'period/full stop' to add ."}};
    return table;
}

ViewController::ViewController() : DictationScreen(mainScreenTable(), mainScreenLoopTable()) {}

void ViewController::viewDidLoad() {
    DictationScreen::viewDidLoad();
    const CGFloat VW = view()->frame().width();
    setUpButton<ViewController>(CommandsButton, "command_list.png", {VW - 60, 95, 50, 50}, "PushPin_emoji",
                                [](ViewController& s) { s.PushPin_emoji(); });
    view()->addSubview(CommandsButton);
    exposeOutlet("CommandsButton", CommandsButton);
}

void ViewController::speechRecognitionTask_didHypothesizeTranscription(SFSpeechRecognitionTask&,
                                                                       const SFTranscription& transcription) {
    const auto& segments = transcription.segments();
    if (!segments.empty() && segments.back().substring().find("Hello") != std::string::npos)
        console().print("word was spoken");
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
    hosting->didMoveToParentViewController(self<ViewController>());
}

std::shared_ptr<UIViewController> ViewController::showSwiftUI() {
    return std::make_shared<UIHostingController>(analysisView(false));
}

} // namespace quillora
