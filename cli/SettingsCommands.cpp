#include "cli/SettingsCommands.h"

#include "cli/Finger.h"
#include "cli/ScriptInterpreter.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/UIAlertController.h"

using namespace platform;

namespace quillora::cli {

namespace {

// A stepper's label shows its value ("Font Size: 18"): a script may name it by the start of its
// label, as long as one stepper alone starts so.
std::string stepperLabel(swiftui::ViewHost& host, const std::string& given) {
    auto steppers = host.tree().findAll([](const swiftui::Node& n) { return bool(n.increment); });
    std::vector<std::string> matches;
    for (const swiftui::Node* s : steppers) {
        if (s->label() == given) return given;
        if (s->label().rfind(given, 0) == 0) matches.push_back(s->label());
    }
    if (matches.size() == 1) return matches[0];
    if (matches.empty()) throw ScriptError("no stepper labelled \"" + given + "\"");
    throw ScriptError("several steppers start with \"" + given + "\"");
}

void step(const ScriptLine& line, bool up) {
    const std::string usage = up ? "increment LABEL" : "decrement LABEL";
    ScriptInterpreter::requireWords(line, 1, usage);
    auto hosting =
        std::dynamic_pointer_cast<swiftui::UIHostingController>(ScriptInterpreter::currentScreen());
    if (!hosting) throw ScriptError("the current screen is not a declarative screen");
    auto host = hosting->host();
    std::string label = stepperLabel(*host, line.textAfter(0));
    const swiftui::Node* stepper = host->find(
        label, [](const swiftui::Node& n) { return bool(n.increment); }, "stepper");
    if (!stepper) throw ScriptError(host->lastError());
    Finger::tap(*hosting, stepper->path, label,
                up ? swiftui::LayoutHit::Target::stepperIncrement
                   : swiftui::LayoutHit::Target::stepperDecrement);
}

} // namespace

void addSettingsCommands(ScriptInterpreter& interpreter) {
    interpreter.addCommand("increment", "increment LABEL",
                           [](ScriptInterpreter&, const ScriptLine& line) { step(line, true); });
    interpreter.addCommand("decrement", "decrement LABEL",
                           [](ScriptInterpreter&, const ScriptLine& line) { step(line, false); });
    interpreter.addCommand(
        "mail", "mail send|save|cancel|account|none", [](ScriptInterpreter& self, const ScriptLine& line) {
            const std::string usage = "mail send|save|cancel|account|none";
            ScriptInterpreter::requireWords(line, 1, usage);
            const std::string& what = line.words[0];
            if (what == "account" || what == "none") {
                auto service = std::dynamic_pointer_cast<OutboxMailService>(MailService::shared());
                if (!service) {
                    service = std::make_shared<OutboxMailService>();
                    MailService::setShared(service);
                }
                service->setAccountAvailable(what == "account");
                return;
            }
            if (what != "send" && what != "save" && what != "cancel") throw ScriptError("usage: " + usage);
            auto composer =
                std::dynamic_pointer_cast<MFMailComposeViewController>(ScriptInterpreter::currentScreen());
            if (!composer) throw ScriptError("no mail composer is shown");
            if (composer->isFinished()) throw ScriptError("the mail composer has already finished");
            // The person's way: Send on the bar, or Cancel and then the draft's answer in its sheet.
            if (what == "send") {
                Finger::tap(*composer->sendButton(), "Send");
                return;
            }
            Finger::tap(*composer->cancelButton(), "Cancel");
            if (!std::dynamic_pointer_cast<UIAlertController>(ScriptInterpreter::currentScreen()))
                throw ScriptError("Cancel asked nothing");
            self.runLine(what == "save" ? "alert \"Save Draft\"" : "alert \"Delete Draft\"", line.number);
        });
}

} // namespace quillora::cli
