#include "cli/ScreenCommands.h"

#include <string>
#include <utility>

#include "cli/Finger.h"
#include "cli/ScriptInterpreter.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/Actionability.h"
#include "platform/uikit/ScreenRenderer.h"
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

std::shared_ptr<UIStoryboard> storyboardOf(const UINavigationController& nav) {
    for (const auto& screen : nav.viewControllers())
        if (screen->storyboard()) return screen->storyboard();
    return nav.storyboard();
}

} // namespace

void addScreenCommands(ScriptInterpreter& interpreter) {
    interpreter.addCommand("row", "row TABLE ROW [SECTION]", [](ScriptInterpreter&, const ScriptLine& line) {
        auto [table, path] = tableRow(line, "row TABLE ROW [SECTION]", true);
        Actionability::tap(Finger::reachRow(*table, path, line.words[0]));
    });
    interpreter.addCommand("swipe", "swipe TABLE ROW ACTION", [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 3, "swipe TABLE ROW ACTION");
        auto [table, path] = tableRow(line, "swipe TABLE ROW ACTION");
        // The finger goes down near the row's right end and moves left across it.
        const CGPoint at = Finger::reachRow(*table, path, line.words[0]);
        ScreenRenderer::layout();
        const CGRect seen = table->convertRect_toView(table->bounds(), nullptr);
        const CGPoint from{seen.maxX() - 20, at.y};
        Actionability::drag(from, {std::max(seen.minX() + 10, from.x - 150), at.y});
        auto swipe = table->swipedRow() == path ? table->openSwipe() : nullptr;
        if (!swipe)
            throw ScriptError("row " + line.words[1] + " of '" + line.words[0] + "' cannot be swiped");
        const std::string wanted = line.textAfter(2);
        std::string offered;
        const auto rects = table->swipeActionRects();
        for (std::size_t i = 0; i < swipe->actions().size(); ++i) {
            const std::string name = actionName(*swipe->actions()[i]);
            if (name == wanted && i < rects.size()) {
                const CGRect b = table->bounds();
                const CGRect button{rects[i].minX(), rects[i].minY() - table->contentOffsetY() + b.minY(),
                                    rects[i].width(), rects[i].height()};
                auto reached = Actionability::pointIn(*table, wanted, button);
                if (!reached) throw ScriptError(reached.reason);
                Actionability::tap(*reached.point);
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
        // The finger touches the row's delete control, then the Delete button it brings.
        Finger::reachRow(*table, path, line.words[0]);
        const auto control = table->editingControlRect(path);
        if (!control)
            throw ScriptError("row " + line.words[1] + " of '" + line.words[0] + "' cannot be deleted");
        auto inBounds = [&](const CGRect& r) {
            return CGRect{r.minX(), r.minY() - table->contentOffsetY() + table->bounds().minY(), r.width(),
                          r.height()};
        };
        auto reached = Actionability::pointIn(*table, "the delete control", inBounds(*control));
        if (!reached) throw ScriptError(reached.reason);
        Actionability::tap(*reached.point);
        const auto rects = table->swipeActionRects();
        if (table->swipedRow() != path || rects.empty())
            throw ScriptError("row " + line.words[1] + " of '" + line.words[0] + "' asks no confirmation");
        reached = Actionability::pointIn(*table, "Delete", inBounds(rects.front()));
        if (!reached) throw ScriptError(reached.reason);
        Actionability::tap(*reached.point);
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
        auto screen = hostedScreen();
        auto host = screen->host();
        const std::string label = line.textAfter(0);
        const swiftui::Node* button = host->find(
            label, [](const swiftui::Node& n) { return bool(n.action); }, "button");
        if (!button) throw ScriptError(host->lastError());
        Finger::tap(*screen, button->path, label);
    });
    interpreter.addCommand("edit", "edit LABEL TEXT", [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 1, "edit LABEL TEXT");
        auto [label, text] = line.firstAndRest("label");
        auto screen = hostedScreen();
        auto host = screen->host();
        const swiftui::Node* field = host->find(
            label, [](const swiftui::Node& n) { return bool(n.setText) && n.kind != "Picker"; },
            "text field");
        if (!field) throw ScriptError(host->lastError());
        // A touch on the field gives it the keyboard; its whole text is then replaced.
        const std::string path = field->path;
        Finger::tap(*screen, path, label, swiftui::LayoutHit::Target::textField);
        const swiftui::Node* focused = host->tree().findPath(path);
        if (!focused || !host->edit(*focused, text)) throw ScriptError(host->lastError());
    });
    interpreter.addCommand("dismiss", "dismiss", [](ScriptInterpreter&, const ScriptLine&) {
        auto screen = ScriptInterpreter::currentScreen();
        auto presenter = screen->presentingViewController();
        if (!presenter) throw ScriptError("no screen is presented");
        presenter->dismissViewControllerAnimated_completion(true, nullptr);
    });
}

} // namespace quillora::cli
