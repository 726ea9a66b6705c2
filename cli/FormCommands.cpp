#include "cli/FormCommands.h"

#include <filesystem>

#include "cli/Finger.h"
#include "cli/ScriptInterpreter.h"
#include "platform/foundation/NSBundle.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UIScreen.h"

using namespace platform;

namespace quillora::cli {

void addFormCommands(ScriptInterpreter& interpreter) {
    interpreter.addCommand("choose", "choose HEADING ITEM", [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 2, "choose HEADING ITEM");
        auto [heading, item] = line.firstAndRest("heading");
        if (item.empty()) throw ScriptError("usage: choose HEADING ITEM");
        auto hosting =
            std::dynamic_pointer_cast<swiftui::UIHostingController>(ScriptInterpreter::currentScreen());
        if (!hosting) throw ScriptError("the current screen is not a declarative screen");
        auto host = hosting->host();
        const swiftui::Node* button = host->findAfter(heading, item);
        if (!button) throw ScriptError(host->lastError());
        Finger::tap(*hosting, button->path, item);
    });
    interpreter.addCommand(
        "appearance", "appearance dark|light", [](ScriptInterpreter&, const ScriptLine& line) {
            ScriptInterpreter::requireWords(line, 1, "appearance dark|light");
            const std::string& style = line.words[0];
            if (style != "dark" && style != "light") throw ScriptError("usage: appearance dark|light");
            UIScreen::mainScreen().setUserInterfaceStyle(style == "dark" ? UIUserInterfaceStyle::Dark
                                                                         : UIUserInterfaceStyle::Light);
            for (const auto& shown : ScreenRenderer::presentationChain())
                if (auto hosting = std::dynamic_pointer_cast<swiftui::UIHostingController>(shown))
                    hosting->followDeviceAppearance();
        });
    interpreter.addCommand("photo", "photo FILE|cancel", [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 1, "photo FILE|cancel");
        auto picker = std::dynamic_pointer_cast<UIImagePickerController>(ScriptInterpreter::currentScreen());
        if (!picker) throw ScriptError("no photo picker is shown");
        const std::string what = line.textAfter(0);
        if (what == "cancel") {
            picker->cancel();
            return;
        }
        // A bare name that is no file here is looked for in the bundle (handle.png).
        std::string path = what;
        std::error_code ec;
        if (!std::filesystem::exists(path, ec))
            if (auto bundled = NSBundle::mainBundle().pathForResource(what, "")) path = *bundled;
        if (auto refused = picker->pickFile(path)) throw ScriptError(*refused);
    });
}

} // namespace quillora::cli
