#include "cli/ScriptInterpreter.h"

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "cli/Finger.h"
#include "cli/KeyCommands.h"
#include "cli/PictureCommands.h"
#include "cli/ScreenCommands.h"
#include "cli/TerminationWatch.h"
#include "platform/desktop/TerminationSignals.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/LabelMatch.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/Actionability.h"
#include "platform/uikit/ScreenPrinter.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UITextView.h"

namespace quillora::cli {

using namespace platform;

namespace {
std::string trim(const std::string& s) {
    auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::string unquote(std::string text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char e = text[++i];
            out += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        } else {
            out += text[i];
        }
    }
    return out;
}

double parseSeconds(const std::string& word) {
    char* end = nullptr;
    double value = std::strtod(word.c_str(), &end);
    // "nan" and "inf" read as numbers, but no clock can move by them.
    if (word.empty() || *end || !std::isfinite(value) || value < 0)
        throw ScriptError("seconds must be a number of 0 or more, not '" + word + "'");
    return value;
}
} // namespace

std::string ScriptLine::textAfter(std::size_t skip) const {
    std::string text = rest;
    for (std::size_t i = 0; i < skip; ++i) {
        text = trim(text);
        auto space = text.find_first_of(" \t");
        text = space == std::string::npos ? "" : text.substr(space + 1);
    }
    return unquote(trim(text));
}

std::pair<std::string, std::string> ScriptLine::firstAndRest(const std::string& what) const {
    if (!rest.empty() && rest.front() == '"') {
        auto close = rest.find('"', 1);
        if (close == std::string::npos) throw ScriptError("the " + what + "'s quote is not closed");
        ScriptLine after = *this;
        after.rest = rest.substr(close + 1);
        return {rest.substr(1, close - 1), after.textAfter(0)};
    }
    return {words.empty() ? "" : words[0], textAfter(1)};
}

ScriptInterpreter::ScriptInterpreter() {
    addBuiltInCommands();
    addScreenCommands(*this);
    addPictureCommands(*this);
    addKeyCommands(*this);
}

void ScriptInterpreter::addCommand(const std::string& name, const std::string& usage, Handler handler) {
    commands_[name] = Command{usage, std::move(handler)};
}

void ScriptInterpreter::requireWords(const ScriptLine& line, std::size_t count, const std::string& usage) {
    if (line.words.size() < count) throw ScriptError("usage: " + usage);
}

long ScriptInterpreter::parseInteger(const std::string& word, const std::string& what) {
    char* end = nullptr;
    long value = std::strtol(word.c_str(), &end, 10);
    if (word.empty() || *end) throw ScriptError(what + " must be a whole number, not '" + word + "'");
    return value;
}

void ScriptInterpreter::settle() {
    // Answers that come from other threads (authorization, the decoder) arrive before the next
    // touch, as they would on a device where a person takes longer than the machine. An end from
    // outside does not wait for them: a decoder far behind the microphone is busy for minutes, and
    // the termination has its own bounded wait for the words it needs.
    constexpr double kSettleWait = 30;
    constexpr double kStep = 0.25;
    for (double waited = 0; waited < kSettleWait; waited += kStep) {
        if (TerminationSignals::requested()) throw ProgramEnding{};
        if (RunLoop::main().settleExternalWork(kStep)) return;
    }
}

std::shared_ptr<UIViewController> ScriptInterpreter::currentScreen() {
    auto screen = ScreenPrinter::currentViewController();
    if (!screen) throw ScriptError("no screen is shown");
    return screen;
}

std::shared_ptr<NSObject> ScriptInterpreter::control(const std::string& name) {
    auto screen = currentScreen();
    if (auto object = screen->outletNamed(name)) return object;
    // The navigation bar's items (Save, Edit...) have no property names; a person knows them by
    // title, and reaches them only while the bar is shown (in a presented navigation controller too).
    // So are the items of a bar a screen draws itself (Quick Look's Done).
    for (const auto& own : screen->ownBarItems())
        if (auto button = std::dynamic_pointer_cast<UIButton>(own);
            button && button->titleForState(UIControlStates::Normal) == name)
            return button;
    auto nav = screen->navigationController();
    if (!nav || nav->isNavigationBarHidden()) {
        coveredControl(name);
        throw ScriptError("no control named '" + name + "' on this screen");
    }
    auto item = screen->navigationItem();
    std::vector<std::shared_ptr<UIBarButtonItem>> items = item->rightBarButtonItems;
    items.insert(items.end(), {item->leftBarButtonItem, item->rightBarButtonItem});
    for (const auto& bar : items)
        if (bar && bar->title() == name) return bar;
    coveredControl(name);
    throw ScriptError("no control named '" + name + "' on this screen");
}

void ScriptInterpreter::coveredControl(const std::string& name) {
    // A control of a screen behind the front one (an alert, a sheet) is there, out of a finger's
    // reach: the refusal names what covers it.
    auto chain = ScreenRenderer::presentationChain();
    for (std::size_t i = chain.size(); i-- > 1;) {
        auto behind = chain[i - 1];
        while (auto nav = std::dynamic_pointer_cast<UINavigationController>(behind)) {
            if (!nav->topViewController()) break;
            behind = nav->topViewController();
        }
        auto view = std::dynamic_pointer_cast<UIView>(behind->outletNamed(name));
        if (!view) continue;
        auto reached = Actionability::pointIn(*view, name, view->bounds());
        throw ScriptError(reached ? "'" + name + "' is covered by the screen in front" : reached.reason);
    }
}

void ScriptInterpreter::runLine(const std::string& text, int number) {
    std::string line = trim(text);
    if (line.empty() || line.front() == '#') return;
    ScriptLine parsed;
    parsed.number = number;
    auto space = line.find_first_of(" \t");
    parsed.command = line.substr(0, space);
    parsed.rest = space == std::string::npos ? "" : trim(line.substr(space + 1));
    std::istringstream words(parsed.rest);
    for (std::string w; words >> w;)
        parsed.words.push_back(w);
    auto it = commands_.find(parsed.command);
    if (it == commands_.end()) throw ScriptError("unknown command '" + parsed.command + "'");
    if (TerminationSignals::requested()) throw ProgramEnding{};
    if (UIApplication::sharedApplication().isTerminated())
        throw ScriptError("the application has terminated");
    it->second.handler(*this, parsed);
    settle();
}

int ScriptInterpreter::run(std::istream& script, const std::string& scriptName) {
    std::string text;
    int number = 0;
    while (std::getline(script, text)) {
        ++number;
        try {
            runLine(text, number);
        } catch (const ScriptError& error) {
            // A line whose wait the end cut short has not failed: the script was stopped.
            if (TerminationSignals::requested()) throw ProgramEnding{};
            std::cerr << scriptName << ":" << number << ": " << error.what() << std::endl;
            return 1;
        }
    }
    return 0;
}

void ScriptInterpreter::addBuiltInCommands() {
    addCommand("tap", "tap NAME", [](ScriptInterpreter&, const ScriptLine& line) {
        requireWords(line, 1, "tap NAME");
        auto object = control(line.words[0]);
        if (auto c = std::dynamic_pointer_cast<UIControl>(object))
            Finger::tap(*c, line.words[0]);
        else if (auto item = std::dynamic_pointer_cast<UIBarButtonItem>(object))
            Finger::tap(*item, line.words[0]);
        else
            throw ScriptError("'" + line.words[0] + "' is a " + object->className() +
                              ", which cannot be tapped");
    });
    addCommand("type", "type NAME TEXT", [](ScriptInterpreter&, const ScriptLine& line) {
        requireWords(line, 2, "type NAME TEXT");
        auto object = control(line.words[0]);
        std::string text = line.textAfter(1);
        // Text the view does not take (not editable, refused by its delegate) is lost, as on the device.
        if (auto view = std::dynamic_pointer_cast<UITextView>(object))
            view->typeText(text);
        else if (auto field = std::dynamic_pointer_cast<UITextField>(object))
            field->typeText(text);
        else
            throw ScriptError("'" + line.words[0] + "' is a " + object->className() +
                              ", which takes no text");
    });
    addCommand("pick", "pick NAME ROW [COMPONENT]", [](ScriptInterpreter&, const ScriptLine& line) {
        requireWords(line, 2, "pick NAME ROW [COMPONENT]");
        auto picker = std::dynamic_pointer_cast<UIPickerView>(control(line.words[0]));
        if (!picker) throw ScriptError("'" + line.words[0] + "' is not a picker");
        long row = parseInteger(line.words[1], "the row");
        long component = line.words.size() > 2 ? parseInteger(line.words[2], "the component") : 0;
        if (component < 0 || component >= std::max(1L, picker->numberOfComponents()) || row < 0 ||
            row >= picker->numberOfRowsInComponent(component))
            throw ScriptError("'" + line.words[0] + "' has no row " + std::to_string(row) + " in component " +
                              std::to_string(component) + " (it has " +
                              std::to_string(picker->numberOfRowsInComponent(component)) + ")");
        Finger::pick(*picker, row, component, line.words[0]);
    });
    addCommand("alert", "alert TITLE", [](ScriptInterpreter&, const ScriptLine& line) {
        requireWords(line, 1, "alert TITLE");
        auto alert = std::dynamic_pointer_cast<UIAlertController>(currentScreen());
        if (!alert) throw ScriptError("no alert is shown");
        std::string title = line.textAfter(0);
        auto view = std::dynamic_pointer_cast<UIAlertControllerView>(alert->view());
        const auto& actions = alert->actions();
        // Named as press names a button: "OK" is the action "OK ".
        std::vector<std::string> titles;
        for (const auto& action : actions)
            titles.push_back(action->title().value_or(""));
        const auto match = matchLabel(titles, title);
        std::vector<std::size_t> enabled;
        for (std::size_t i : match.hits)
            if (actions[i]->isEnabled()) enabled.push_back(i);
        if (enabled.size() > 1 && match.rule != "labelled") {
            std::string names;
            for (std::size_t i : enabled)
                names += (names.empty() ? "'" : ", '") + titles[i] + "'";
            throw ScriptError(std::to_string(enabled.size()) + " actions " + std::string(match.rule) + " '" +
                              title + "': " + names);
        }
        if (enabled.empty() && !match.hits.empty())
            throw ScriptError("'" + titles[match.hits.front()] + "' is disabled");
        if (enabled.empty() || !view) throw ScriptError("the alert has no action titled '" + title + "'");
        Actionability::tap(Finger::reachAlertAction(*view, enabled.front(), titles[enabled.front()]));
    });
    addCommand("wait", "wait SECONDS", [](ScriptInterpreter&, const ScriptLine& line) {
        requireWords(line, 1, "wait SECONDS");
        RunLoop::main().advance(parseSeconds(line.words[0]));
    });
    addCommand("background", "background", [](ScriptInterpreter&, const ScriptLine&) {
        UIApplication::sharedApplication().simulateEnterBackground();
    });
    addCommand("foreground", "foreground", [](ScriptInterpreter&, const ScriptLine&) {
        UIApplication::sharedApplication().simulateBecomeActive();
    });
    // The end of the program, as quitting makes it: what termination set going is let finish.
    addCommand("terminate", "terminate", [](ScriptInterpreter&, const ScriptLine&) {
        UIApplication::sharedApplication().terminateAndSettle();
    });
    addCommand("show", "show", [](ScriptInterpreter&, const ScriptLine&) {
        std::istringstream lines(ScreenPrinter::printScreen());
        for (std::string l; std::getline(lines, l);)
            platform::console().printOutput(l);
    });
    addCommand("back", "back", [](ScriptInterpreter&, const ScriptLine&) {
        auto screen = currentScreen();
        auto nav = screen->navigationController();
        // A presented screen has a back only inside a navigation controller of its own.
        if (!nav && screen->presentingViewController())
            throw ScriptError("a presented screen is in front; it has no back");
        if (!nav || !nav->popViewControllerAnimated(true))
            throw ScriptError("there is no screen to go back to");
    });
}

} // namespace quillora::cli
