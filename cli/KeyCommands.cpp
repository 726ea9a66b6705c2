#include "cli/KeyCommands.h"

#include "cli/ScriptInterpreter.h"
#include "platform/swiftui/HostingView.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/KeyboardInput.h"
#include "platform/uikit/UISearchBar.h"

using namespace platform;

namespace quillora::cli {

namespace {

std::shared_ptr<swiftui::HostingView> hostingViewIn(const std::shared_ptr<UIView>& view) {
    if (!view) return nullptr;
    if (auto hosting = std::dynamic_pointer_cast<swiftui::HostingView>(view)) return hosting;
    for (const auto& child : view->subviews())
        if (auto found = hostingViewIn(child)) return found;
    return nullptr;
}

} // namespace

void addKeyCommands(ScriptInterpreter& interpreter) {
    interpreter.addCommand("key", "key COMBO", [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 1, "key COMBO");
        const std::string& written = line.words[0];
        auto combo = KeyCombo::parse(written);
        if (!combo)
            throw ScriptError(
                "'" + written +
                "' is no key: a key as X names it, after ctrl+, shift+ or alt+ (ctrl+shift+Left)");
        if (KeyboardInput::pressKey(*combo)) return;
        const bool focused =
            std::dynamic_pointer_cast<UITextInput>(UIResponder::currentFirstResponder()) != nullptr;
        throw ScriptError("nothing took the key '" + written + "'" +
                          (focused ? "" : " (no text has the focus)"));
    });

    auto byOutlet = interpreter.commandHandler("type");
    interpreter.addCommand(
        "type", "type NAME TEXT", [byOutlet](ScriptInterpreter& self, const ScriptLine& line) {
            ScriptInterpreter::requireWords(line, 2, "type NAME TEXT");
            const auto [name, text] = line.firstAndRest("name");
            auto screen = ScriptInterpreter::currentScreen();
            if (auto object = screen->outletNamed(name)) {
                // Text a view does not take (hidden, refused by its delegate) is lost, as on the device.
                if (auto bar = std::dynamic_pointer_cast<UISearchBar>(object)) {
                    bar->typeText(text);
                    return;
                }
                if (byOutlet) return byOutlet(self, line);
            }
            // A declarative screen's field or editor, by its label: touched, then typed into.
            if (auto hosting = std::dynamic_pointer_cast<swiftui::UIHostingController>(screen)) {
                auto host = hosting->host();
                const swiftui::Node* field = host->textField(name);
                if (!field) throw ScriptError(host->lastError());
                auto view = hostingViewIn(hosting->view());
                if (!view || !view->focusField(field->path))
                    throw ScriptError("the text field '" + name + "' cannot take the focus");
                view->insertText(text);
                return;
            }
            if (!byOutlet) throw ScriptError("no control named '" + name + "' on this screen");
            byOutlet(self, line);
        });
}

} // namespace quillora::cli
