#include "cli/ControlCommands.h"

#include <map>

#include "cli/Finger.h"
#include "cli/ScriptInterpreter.h"
#include "platform/speech/SFSpeechRecognizer.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UISegmentedControl.h"
#include "platform/uikit/UITextView.h"

using namespace platform;

namespace quillora::cli {

namespace {

// The segment a script names: by its title, else by its index.
long segmentNamed(const UISegmentedControl& control, const std::string& name, const std::string& which) {
    if (auto index = control.indexOfSegmentWithTitle(which)) return *index;
    long index = ScriptInterpreter::parseInteger(which, "the segment (a title or an index)");
    if (index < 0 || index >= control.numberOfSegments())
        throw ScriptError("'" + name + "' has no segment " + which + " (it has " +
                          std::to_string(control.numberOfSegments()) + ")");
    return index;
}

} // namespace

void addControlCommands(ScriptInterpreter& interpreter) {
    interpreter.addCommand(
        "segment", "segment NAME TITLE|INDEX", [](ScriptInterpreter&, const ScriptLine& line) {
            ScriptInterpreter::requireWords(line, 2, "segment NAME TITLE|INDEX");
            const auto& name = line.words[0];
            auto control = std::dynamic_pointer_cast<UISegmentedControl>(ScriptInterpreter::control(name));
            if (!control) throw ScriptError("'" + name + "' is not a segmented control");
            const std::string which = line.textAfter(1);
            long index = segmentNamed(*control, name, which);
            ScreenRenderer::layout();
            const CGRect b = control->bounds();
            const double width = b.width() / static_cast<double>(std::max(1L, control->numberOfSegments()));
            Finger::tap(*control, name,
                        CGRect{b.minX() + width * static_cast<double>(index), b.minY(), width, b.height()});
            if (control->selectedSegmentIndex() != index)
                throw ScriptError("segment '" + which + "' of '" + name + "' cannot be picked now");
        });
    interpreter.addCommand("focus", "focus NAME", [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 1, "focus NAME");
        const auto& name = line.words[0];
        auto object = ScriptInterpreter::control(name);
        auto view = std::dynamic_pointer_cast<UITextView>(object);
        if (!view) throw ScriptError("'" + name + "' is a " + object->className() + ", not a text view");
        // A view that cannot take the focus (not editable) ignores the touch, as on the device.
        Finger::tap(*view, name);
    });
    interpreter.addCommand(
        "authorization", "authorization authorized|denied|restricted|notDetermined",
        [](ScriptInterpreter&, const ScriptLine& line) {
            const std::string usage = "authorization authorized|denied|restricted|notDetermined";
            ScriptInterpreter::requireWords(line, 1, usage);
            static const std::map<std::string, SFSpeechRecognizerAuthorizationStatus> statuses{
                {"authorized", SFSpeechRecognizerAuthorizationStatus::authorized},
                {"denied", SFSpeechRecognizerAuthorizationStatus::denied},
                {"restricted", SFSpeechRecognizerAuthorizationStatus::restricted},
                {"notDetermined", SFSpeechRecognizerAuthorizationStatus::notDetermined},
            };
            auto it = statuses.find(line.words[0]);
            if (it == statuses.end())
                throw ScriptError("unknown authorization '" + line.words[0] + "': " + usage);
            // What the user has answered, for the next time a screen asks (each appearance does);
            // undecided stays undecided when asked again.
            SFSpeechRecognizer::setAuthorizationStatus(it->second);
            SFSpeechRecognizer::setAuthorizationAnswer(it->second);
        });
}

} // namespace quillora::cli
