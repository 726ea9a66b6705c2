#include "cli/DictationCommands.h"

#include <iostream>

#include "cli/ScriptInterpreter.h"
#include "cli/TerminationWatch.h"
#include "dictation/DictationScreen.h"
#include "entries/EntryListViewController.h"
#include "pdf/PDFTemplateViewController.h"
#include "platform/avfaudio/AVAudioInputSource.h"
#include "platform/desktop/TerminationSignals.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/speech/ScriptedSpeech.h"
#include "platform/systemconfiguration/SCNetworkReachability.h"
#include "platform/uikit/ScreenPrinter.h"

using namespace platform;

namespace quillora::cli {

namespace {

std::shared_ptr<AVAudioInputSource> fileInput(const std::string& name) {
    std::filesystem::path path = name;
    // A bare name is looked for in the bundle (demo.wav). A name the system cannot even look at
    // (too long, a loop of links) is left to the file reader, which says why.
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ec)
        if (auto bundled = NSBundle::mainBundle().pathForResource(name, "")) path = *bundled;
    std::optional<NSError> error;
    auto input = AVAudioInputSource::file(path, &error);
    if (!input)
        throw ScriptError("cannot play '" + name +
                          "': " + (error ? error->localizedDescription : "unreadable"));
    return input;
}

std::shared_ptr<DictationScreen> dictationScreen() {
    auto screen = std::dynamic_pointer_cast<DictationScreen>(ScreenPrinter::baseViewController());
    if (!screen) throw ScriptError("the dictation screen is not shown");
    return screen;
}

void speakScripted(const ScriptLine& line, const char* usage,
                   bool (ScriptedSpeech::*say)(const std::string&)) {
    ScriptInterpreter::requireWords(line, 1, usage);
    if (!(ScriptedSpeech::shared().*say)(line.textAfter(0)))
        throw ScriptError("no scripted recognition task is listening (use 'scripted' before recording)");
}

std::string trimmed(const std::string& text) {
    auto first = text.find_first_not_of(" \n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \n") - first + 1);
}

} // namespace

void addDictationCommands(ScriptInterpreter& interpreter) {
    interpreter.addCommand("language", "language ROW", [](ScriptInterpreter& self, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 1, "language ROW");
        self.runLine("pick pickerView " + line.words[0], line.number);
    });
    interpreter.addCommand("scripted", "scripted [LOCALE...]",
                           [](ScriptInterpreter&, const ScriptLine& line) {
                               ScriptedSpeech::shared().setScriptedLocales(
                                   line.words.empty() ? std::vector<std::string>{"*"} : line.words);
                           });
    interpreter.addCommand("partial", "partial TEXT", [](ScriptInterpreter&, const ScriptLine& line) {
        speakScripted(line, "partial TEXT", &ScriptedSpeech::partial);
    });
    interpreter.addCommand("final", "final TEXT", [](ScriptInterpreter&, const ScriptLine& line) {
        speakScripted(line, "final TEXT", &ScriptedSpeech::final);
    });
    interpreter.addCommand("fail", "fail TEXT", [](ScriptInterpreter&, const ScriptLine& line) {
        speakScripted(line, "fail TEXT", &ScriptedSpeech::fail);
    });
    interpreter.addCommand("speak", "speak FILE", [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 1, "speak FILE");
        AVAudioInputSource::setCurrent(fileInput(line.textAfter(0)));
    });
    interpreter.addCommand("microphone", "microphone silence|device|FILE",
                           [](ScriptInterpreter&, const ScriptLine& line) {
                               ScriptInterpreter::requireWords(line, 1, "microphone silence|device|FILE");
                               const auto& what = line.words[0];
                               if (what == "silence")
                                   AVAudioInputSource::setCurrent(AVAudioInputSource::silence());
                               else if (what == "device")
                                   AVAudioInputSource::setCurrent(AVAudioInputSource::captureDevice());
                               else
                                   AVAudioInputSource::setCurrent(fileInput(line.textAfter(0)));
                           });
    interpreter.addCommand("offline", "offline", [](ScriptInterpreter&, const ScriptLine&) { setOffline(); });
    interpreter.addCommand("online", "online", [](ScriptInterpreter&, const ScriptLine&) {
        setReachabilityOverride({kSCNetworkReachabilityFlagsReachable, false, false});
    });
}

int runDemo(ScriptInterpreter& interpreter) {
    try {
        auto input = std::dynamic_pointer_cast<AVAudioFileInput>(fileInput("demo.wav"));
        AVAudioInputSource::setCurrent(input);
        auto screen = dictationScreen();
        auto& loop = RunLoop::main();
        // The button comes once the speech model has loaded: seconds on a busy machine.
        loop.runUntil([&] { return screen->recordButton->isEnabled(); }, 60);
        interpreter.runLine("tap recordButton", 1);
        if (!screen->runState().recording()) {
            interpreter.runLine("show", 2);
            std::cerr << "quillora: the demo could not start dictating" << std::endl;
            return 1;
        }
        // Until the recording has been heard and its text has reached the transcript; what the
        // run's next task adds after that (its listening mark) is not the recording's.
        loop.runUntil([&] { return input->atEnd() && !trimmed(screen->Clipboard->text()).empty(); }, 120);
        const std::string heard = trimmed(screen->Clipboard->text());
        interpreter.runLine("tap recordButton", 3);
        loop.runUntil([&] { return !screen->runState().recording() && !screen->isFinalStopped; }, 30);
        interpreter.settle();
        console().printOutput("Transcript: " + heard);
        if (heard.empty()) return 1;

        // Into the list, through the screen's Save.
        interpreter.runLine("tap SaveDynamicButton", 4);
        auto list = std::dynamic_pointer_cast<EntryListViewController>(ScriptInterpreter::currentScreen());
        if (!list || !list->fileURL || list->data.empty() || list->data.front() != screen->Clipboard->text())
            throw ScriptError("the transcript did not reach the list");
        // Into the essay template, as a person gets there: back to the main screen, the gallery's
        // essay card, and the form's Preview.
        interpreter.runLine("back", 5);
        interpreter.runLine("tap StickyDynamicButton", 6);
        interpreter.runLine("press Essay", 7);
        interpreter.runLine("press Preview", 8);
        interpreter.settle();
        auto essay = std::dynamic_pointer_cast<PDFTemplateViewController>(ScriptInterpreter::currentScreen());
        if (!essay) throw ScriptError("the essay's PDF screen did not open");
        loop.runUntil([&] { return essay->pdfFile.has_value(); }, 30);
        if (!essay->pdfFile) throw ScriptError("the essay PDF was not written");
        console().printOutput("List: " + list->fileURL->path());
        console().printOutput("PDF: " + *essay->pdfFile);
        return 0;
    } catch (const ScriptError& error) {
        // What an end from outside cut short has not failed.
        if (platform::TerminationSignals::requested()) throw ProgramEnding{};
        std::cerr << "quillora: " << error.what() << std::endl;
        return 1;
    }
}

} // namespace quillora::cli
