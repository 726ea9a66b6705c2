#include "cli/PagerCommands.h"

#include <cstdlib>
#include <functional>

#include "cli/ScriptInterpreter.h"
#include "platform/uikit/ScreenRotation.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIPageViewController.h"
#include "platform/uikit/UIScrollView.h"

using namespace platform;

namespace quillora::cli {

namespace {

// The view of the screen with the tag that a person would tap: one that takes taps itself
// first, else the first one found (the screen's own view last).
std::shared_ptr<UIView> viewToTap(const std::shared_ptr<UIView>& root, long tag) {
    std::shared_ptr<UIView> withRecognizer, any;
    std::function<void(const std::shared_ptr<UIView>&)> walk = [&](const std::shared_ptr<UIView>& view) {
        if (view->tag() == tag) {
            if (!withRecognizer && !view->gestureRecognizers().empty()) withRecognizer = view;
            if (!any && view != root) any = view;
        }
        for (const auto& child : view->subviews())
            walk(child);
    };
    walk(root);
    if (withRecognizer) return withRecognizer;
    if (any) return any;
    return root->tag() == tag ? root : nullptr;
}

double parseNumber(const std::string& word, const std::string& what) {
    char* end = nullptr;
    double value = std::strtod(word.c_str(), &end);
    if (word.empty() || *end) throw ScriptError(what + " must be a number, not '" + word + "'");
    return value;
}

} // namespace

void addPagerCommands(ScriptInterpreter& interpreter) {
    interpreter.addCommand(
        "page", "page next|previous|abandon", [](ScriptInterpreter&, const ScriptLine& line) {
            ScriptInterpreter::requireWords(line, 1, "page next|previous|abandon");
            auto pager = std::dynamic_pointer_cast<UIPageViewController>(ScriptInterpreter::currentScreen());
            if (!pager) throw ScriptError("the current screen is not a pager");
            const std::string& how = line.words[0];
            using Direction = UIPageViewControllerNavigationDirection;
            bool moved = false;
            if (how == "next")
                moved = pager->userSwipe(Direction::Forward);
            else if (how == "previous")
                moved = pager->userSwipe(Direction::Reverse);
            else if (how == "abandon")
                moved = pager->userSwipe(Direction::Forward, false);
            else
                throw ScriptError("usage: page next|previous|abandon");
            if (!moved) throw ScriptError("the pager has no page that way");
        });
    interpreter.addCommand("tapview", "tapview [TAG]", [](ScriptInterpreter&, const ScriptLine& line) {
        auto root = ScriptInterpreter::currentScreen()->view();
        std::shared_ptr<UIView> view = root;
        if (!line.words.empty()) {
            const long tag = ScriptInterpreter::parseInteger(line.words[0], "the tag");
            view = viewToTap(root, tag);
            if (!view) throw ScriptError("no view with tag " + line.words[0] + " on this screen");
        }
        if (!userTapView(*view)) throw ScriptError("the view does not take the tap");
    });
    interpreter.addCommand("scroll", "scroll NAME X", [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 2, "scroll NAME X");
        auto scroll = std::dynamic_pointer_cast<UIScrollView>(ScriptInterpreter::control(line.words[0]));
        if (!scroll) throw ScriptError("'" + line.words[0] + "' does not scroll");
        const double x = parseNumber(line.words[1], "X");
        if (!scroll->userScrollTo({x, scroll->contentOffset().y}))
            throw ScriptError("'" + line.words[0] + "' does not take the drag");
    });
    interpreter.addCommand("rotate", "rotate landscape|portrait",
                           [](ScriptInterpreter&, const ScriptLine& line) {
                               ScriptInterpreter::requireWords(line, 1, "rotate landscape|portrait");
                               const std::string& way = line.words[0];
                               if (way != "landscape" && way != "portrait")
                                   throw ScriptError("usage: rotate landscape|portrait");
                               if (!rotateScreen(way == "landscape" ? UIInterfaceOrientation::Landscape
                                                                    : UIInterfaceOrientation::Portrait))
                                   throw ScriptError("the screen is already in " + way);
                           });
}

} // namespace quillora::cli
