#include "cli/ScreenCommands.h"

#include <string>
#include <utility>

#include "cli/ScriptInterpreter.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIStoryboard.h"
#include "platform/uikit/UITableView.h"

using namespace platform;

namespace quillora::cli {

namespace {

// The table named by the line's first word and the row of its second, in the section of the
// third word when `withSection` (else the first section).
std::pair<std::shared_ptr<UITableView>, NSIndexPath>
tableRow(const ScriptLine& line, const std::string& usage, bool withSection = false) {
    ScriptInterpreter::requireWords(line, 2, usage);
    auto table = std::dynamic_pointer_cast<UITableView>(ScriptInterpreter::control(line.words[0]));
    if (!table) throw ScriptError("'" + line.words[0] + "' is not a table");
    long row = ScriptInterpreter::parseInteger(line.words[1], "the row");
    long section = withSection && line.words.size() > 2
                       ? ScriptInterpreter::parseInteger(line.words[2], "the section")
                       : 0;
    if (section < 0 || section >= table->numberOfSections())
        throw ScriptError("'" + line.words[0] + "' has no section " + std::to_string(section) + " (it has " +
                          std::to_string(table->numberOfSections()) + ")");
    long rows = table->numberOfRowsInSection(section);
    if (row < 0 || row >= rows)
        throw ScriptError("'" + line.words[0] + "' has no row " + std::to_string(row) +
                          (section ? " in section " + std::to_string(section) : "") + " (it has " +
                          std::to_string(rows) + ")");
    return {table, NSIndexPath::indexPathForRow_inSection(row, section)};
}

// How an action is named in scripts and messages: its title, or its picture's name when it has
// no title (the list rows' swipe shows only a picture).
std::string actionName(const UIContextualAction& action) {
    if (action.title() && !action.title()->empty()) return *action.title();
    return action.image ? action.image->name() : "";
}

std::shared_ptr<swiftui::UIHostingController> hostedScreen() {
    auto hosting =
        std::dynamic_pointer_cast<swiftui::UIHostingController>(ScriptInterpreter::currentScreen());
    if (!hosting) throw ScriptError("the current screen is not a declarative screen");
    return hosting;
}

// The first argument, which may be quoted to hold blanks, and the text after it.
std::pair<std::string, std::string> labelAndRest(const ScriptLine& line) {
    const std::string& rest = line.rest;
    if (!rest.empty() && rest.front() == '"') {
        auto close = rest.find('"', 1);
        if (close == std::string::npos) throw ScriptError("the label's quote is not closed");
        ScriptLine after = line;
        after.rest = rest.substr(close + 1);
        return {rest.substr(1, close - 1), after.textAfter(0)};
    }
    return {line.words.empty() ? "" : line.words[0], line.textAfter(1)};
}

std::shared_ptr<UIStoryboard> storyboardOf(const UINavigationController& nav) {
    for (const auto& screen : nav.viewControllers())
        if (screen->storyboard()) return screen->storyboard();
    return nav.storyboard();
}

} // namespace

void addScreenCommands(ScriptInterpreter& interpreter) {
    interpreter.addCommand("row", "row TABLE ROW [SECTION]", [](ScriptInterpreter&, const ScriptLine& line) {
        auto [table, path] = tableRow(line, "row TABLE ROW [SECTION]", true);
        if (!table->userTapRow(path))
            throw ScriptError("'" + line.words[0] + "' does not take a tap on row " + line.words[1] +
                              (table->isEditing() ? " while editing" : ""));
    });
    interpreter.addCommand("swipe", "swipe TABLE ROW ACTION", [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 3, "swipe TABLE ROW ACTION");
        auto [table, path] = tableRow(line, "swipe TABLE ROW ACTION");
        auto swipe = table->userSwipeRow(path);
        if (!swipe)
            throw ScriptError("row " + line.words[1] + " of '" + line.words[0] + "' cannot be swiped");
        const std::string wanted = line.textAfter(2);
        std::string offered;
        for (std::size_t i = 0; i < swipe->actions().size(); ++i) {
            const std::string name = actionName(*swipe->actions()[i]);
            if (name == wanted) {
                table->userPressSwipeAction(i);
                return;
            }
            offered += (offered.empty() ? "'" : ", '") + name + "'";
        }
        throw ScriptError("the swipe has no action '" + wanted + "' (it offers " + offered + ")");
    });
    interpreter.addCommand("delete", "delete TABLE ROW", [](ScriptInterpreter&, const ScriptLine& line) {
        auto [table, path] = tableRow(line, "delete TABLE ROW");
        if (!table->isEditing())
            throw ScriptError("'" + line.words[0] + "' is not in editing mode (tap Edit)");
        if (!table->userDeleteRowInEditingMode(path))
            throw ScriptError("row " + line.words[1] + " of '" + line.words[0] + "' cannot be deleted");
    });
    // Stands in for the storyboard navigation that leads a person to the scenes reached by no
    // control of ours (the recipe text view, the PDF browser).
    interpreter.addCommand("open", "open IDENTIFIER", [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 1, "open IDENTIFIER");
        auto screen = ScriptInterpreter::currentScreen();
        if (screen->presentingViewController())
            throw ScriptError("a presented screen is in front; dismiss it first");
        auto nav = screen->navigationController();
        if (!nav) throw ScriptError("the current screen is not in a navigation controller");
        auto board = storyboardOf(*nav);
        const std::string& identifier = line.words[0];
        if (!board || !board->hasScene(identifier)) throw ScriptError("no scene '" + identifier + "'");
        nav->pushViewController_animated(board->instantiateViewControllerWithIdentifier(identifier), true);
    });
    interpreter.addCommand("press", "press LABEL", [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 1, "press LABEL");
        auto host = hostedScreen()->host();
        if (!host->press(line.textAfter(0))) throw ScriptError(host->lastError());
    });
    interpreter.addCommand("edit", "edit LABEL TEXT", [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 1, "edit LABEL TEXT");
        auto [label, text] = labelAndRest(line);
        auto host = hostedScreen()->host();
        if (!host->edit(label, text)) throw ScriptError(host->lastError());
    });
    interpreter.addCommand("dismiss", "dismiss", [](ScriptInterpreter&, const ScriptLine&) {
        auto screen = ScriptInterpreter::currentScreen();
        auto presenter = screen->presentingViewController();
        if (!presenter) throw ScriptError("no screen is presented");
        presenter->dismissViewControllerAnimated_completion(true, nullptr);
    });
}

} // namespace quillora::cli
