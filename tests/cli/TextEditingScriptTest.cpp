// Editing through the scripts' keys and touches, the same for every kind of text a person types
// into: a text view, a text field, a search bar, a declarative field and a declarative editor.
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/swiftui/HostingView.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UISearchBar.h"
#include "platform/uikit/UITextView.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;
using namespace platform;

namespace {

struct TextKind {
    const char* kind;
    // How a person reaches it from the first screen.
    const char* setup;
    // Its name in `type` (a property name, or a declarative field's label).
    const char* name;
    bool multiline;
    // Its text at the end, after Return.
    const char* expected;
};

const TextKind kKinds[] = {
    // The recipe text view closes the keyboard on Return instead of breaking the line.
    {"UITextView", "segment segmentcontrol Recipe\ntap RecipeBookButton\nwait 1\n", "Clipboard", true,
     ">The quick red fox"},
    {"UITextField", "textscreen\n", "field", false, ">The quick red fox"},
    {"UISearchBar", "textscreen\n", "search", false, ">The quick red fox"},
    {"TextField", "tap StickyDynamicButton\nwait 1\npress Notes\nwait 1\n", "\" Enter Page Title\"", false,
     ">The quick red fox"},
    {"TextEditor",
     "scripted\nmicrophone silence\ntap recordButton\nfinal Hello.\ntap recordButton\nwait 2\n"
     "tap EditIndicatorButton\nwait 1\n",
     "Editor", true, ">The quick red fox\n"},
};

std::shared_ptr<swiftui::HostingView> hostingViewIn(const std::shared_ptr<UIView>& view) {
    if (!view) return nullptr;
    if (auto hosting = std::dynamic_pointer_cast<swiftui::HostingView>(view)) return hosting;
    for (const auto& child : view->subviews())
        if (auto found = hostingViewIn(child)) return found;
    return nullptr;
}

// The text and its place on the screen, by property name or by a declarative field's label.
std::pair<std::string, CGRect> textAndPlace(const std::string& name) {
    auto screen = ScriptInterpreter::currentScreen();
    if (auto object = screen->outletNamed(name)) {
        auto view = std::dynamic_pointer_cast<UIView>(object);
        const CGRect place = view->convertRect_toView(view->bounds(), nullptr);
        if (auto text = std::dynamic_pointer_cast<UITextView>(object)) return {text->text(), place};
        if (auto field = std::dynamic_pointer_cast<UITextField>(object)) return {field->text(), place};
        if (auto bar = std::dynamic_pointer_cast<UISearchBar>(object))
            return {bar->text().value_or(""), place};
    }
    auto hosting = std::dynamic_pointer_cast<swiftui::UIHostingController>(screen);
    if (!hosting) throw ScriptError("no text named " + name);
    const swiftui::Node* field = hosting->host()->textField(name);
    if (!field) throw ScriptError(hosting->host()->lastError());
    auto view = hostingViewIn(hosting->view());
    return {field->getText(), view->convertRect_toView(view->layout().viewBox(field->path)->frame, nullptr)};
}

class TextEditingScriptTest : public quillora::test::PlatformTest {
protected:
    // Runs `script`; `textof NAME` lines record the text then, in order.
    int run(const std::string& script, std::vector<std::string>& texts) {
        resetSharedInstances();
        std::filesystem::remove_all(home / "Documents");
        auto extend = [&](ScriptInterpreter& interpreter) {
            // A screen with the text kinds no screen of the application shows.
            interpreter.addCommand("textscreen", "textscreen", [](ScriptInterpreter&, const ScriptLine&) {
                auto screen = std::make_shared<UIViewController>();
                auto field = std::make_shared<UITextField>(CGRect{20, 200, 350, 40});
                field->setBorderStyle(UITextBorderStyle::RoundedRect);
                auto bar = std::make_shared<UISearchBar>(CGRect{0, 260, 390, 56});
                screen->view()->addSubview(field);
                screen->view()->addSubview(bar);
                screen->exposeOutlet("field", field);
                screen->exposeOutlet("search", bar);
                ScriptInterpreter::currentScreen()->navigationController()->pushViewController_animated(
                    screen, false);
            });
            // Records where the caret of a text view is drawn: "shown", or what hides it.
            interpreter.addCommand("caret", "caret NAME", [&](ScriptInterpreter&, const ScriptLine& line) {
                std::shared_ptr<UITextView> view;
                for (auto screen : ScreenRenderer::presentationChain()) {
                    if (auto nav = std::dynamic_pointer_cast<UINavigationController>(screen))
                        screen = nav->topViewController();
                    if (!view)
                        view = std::dynamic_pointer_cast<UITextView>(screen->outletNamed(line.words[0]));
                }
                if (!view) throw ScriptError("no text view " + line.words[0]);
                const CGRect caret = view->convertRect_toView(view->caretRect(), nullptr);
                const CGRect shown = view->convertRect_toView(view->bounds(), nullptr);
                std::string seen = "shown";
                if (caret.minY() < shown.minY() || caret.maxY() > shown.maxY()) seen = "outside the view";
                if (auto bar = view->inputAccessoryView();
                    bar && bar->superview() &&
                    caret.maxY() > bar->convertRect_toView(bar->bounds(), nullptr).minY())
                    seen = "under the accessory bar";
                texts.push_back(seen);
            });
            interpreter.addCommand("textof", "textof NAME", [&](ScriptInterpreter&, const ScriptLine& line) {
                texts.push_back(textAndPlace(line.textAfter(0)).first);
            });
            // Touches a point of the text through the `tap X Y` a person's script uses: left of
            // its first line, or right of it.
            interpreter.addCommand("tapat", "tapat NAME start|end",
                                   [](ScriptInterpreter& self, const ScriptLine& line) {
                                       const bool end = line.words.back() == "end";
                                       ScriptLine name = line;
                                       name.rest = line.rest.substr(0, line.rest.rfind(' '));
                                       const std::string label = name.textAfter(0);
                                       const CGRect r = textAndPlace(label).second;
                                       const bool multiline = label == "Clipboard" || label == "Editor";
                                       const double x = end ? r.maxX() - 8 : r.minX() + (multiline ? 6 : 1);
                                       const double y = multiline ? r.minY() + 16 : r.midY();
                                       std::ostringstream tap;
                                       tap << "tap " << x << " " << y;
                                       self.runLine(tap.str(), line.number);
                                   });
        };
        auto path = home / "script.txt";
        std::ofstream(path) << script;
        Options options;
        options.home = home;
        options.clock = RunLoop::kDefaultVirtualEpoch;
        options.script = path.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        return runProgram(options, 1, argv, extend);
    }
};

} // namespace

TEST_F(TextEditingScriptTest, KeysAndTouchesEditEveryKindOfTextAlike) {
    for (const TextKind& kind : kKinds) {
        SCOPED_TRACE(kind.kind);
        const std::string n = kind.name;
        std::vector<std::string> texts;
        testing::internal::CaptureStderr();
        const int code =
            run(std::string(kind.setup) +
                    // Whatever it held is selected and typed over.
                    "type " + n + " \"The quick brown fox\"\n" + "key ctrl+a\n" + "type " + n +
                    " \"The quick brown fox\"\n" + "textof " + n + "\n" +
                    // A word back, and the word before it selected and typed over.
                    "key ctrl+Left\nkey ctrl+shift+Left\ntype " + n + " \"red \"\ntextof " + n + "\n" +
                    // Three characters from the line's start, selected from a fixed
                    // anchor and deleted; undone twice, redone once.
                    "key Home\nkey shift+Right\nkey shift+Right\nkey shift+Right\nkey shift+Left\n"
                    "key shift+Right\nkey BackSpace\ntextof " +
                    n + "\nkey ctrl+z\nkey ctrl+z\ntextof " + n + "\nkey ctrl+shift+z\ntextof " + n + "\n" +
                    // The last character, one whole character at a time.
                    "key End\nkey BackSpace\ntextof " + n + "\n" +
                    // A touch left of the text puts the caret at its start; a double
                    // touch right of it selects the last word.
                    "tapat " + n + " start\ntype " + n + " \">\"\nwait 1\ntapat " + n + " end\ntapat " + n +
                    " end\ntype " + n + " fox\nwait 1\nkey Return\ntextof " + n + "\n",
                texts);
        const std::string errors = testing::internal::GetCapturedStderr();
        ASSERT_EQ(code, 0) << errors;
        EXPECT_EQ(texts, (std::vector<std::string>{"The quick brown fox", "The quick red fox",
                                                   " quick red fox", "The quick brown fox",
                                                   "The quick red fox", "The quick red fo", kind.expected}));
    }
}

TEST_F(TextEditingScriptTest, KeysNobodyTakesFailTheLineWithTheReason) {
    std::vector<std::string> texts;
    testing::internal::CaptureStderr();
    EXPECT_EQ(run("key Left\n", texts), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  ":1: nothing took the key 'Left' (no text has the focus)"),
              std::string::npos);
    testing::internal::CaptureStderr();
    EXPECT_EQ(run("key hyper+Left\n", texts), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(":1: 'hyper+Left' is no key"), std::string::npos);
    // Undo with nothing typed yet has nothing to undo.
    testing::internal::CaptureStderr();
    EXPECT_EQ(run("textscreen\ntype field abc\nkey ctrl+a\nkey ctrl+z\nkey ctrl+z\n", texts), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(":5: nothing took the key 'ctrl+z'"),
              std::string::npos);
}

TEST_F(TextEditingScriptTest, TheKeyboardOverlayKeepsItsCaretInSightAboveTheAccessoryBar) {
    std::string lines = "segment segmentcontrol Notes\nfocus Clipboard\npress Cancel\nwait 0.5\n";
    for (int i = 1; i <= 40; ++i)
        lines += (i == 1 ? "type Clipboard_keyboard x\n" : "key x\n") +
                 std::string("key Return\ncaret Clipboard_keyboard\n");
    // The overlay keeps the focus while the editor it opens stands in front; the keys go to it.
    // Back up to the top, and down again.
    lines += "key ctrl+Home\ncaret Clipboard_keyboard\nkey ctrl+End\ncaret Clipboard_keyboard\n";
    std::vector<std::string> seen;
    testing::internal::CaptureStderr();
    const int code = run(lines, seen);
    ASSERT_EQ(code, 0) << testing::internal::GetCapturedStderr();
    EXPECT_EQ(seen, std::vector<std::string>(42, "shown"));
}
