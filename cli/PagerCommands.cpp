#include "cli/PagerCommands.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "cli/Finger.h"
#include "cli/ScriptInterpreter.h"
#include "platform/uikit/Actionability.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/ScreenRotation.h"
#include "platform/uikit/UIControl.h"
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
            if (how != "next" && how != "previous" && how != "abandon")
                throw ScriptError("usage: page next|previous|abandon");
            // A finger across the page where no control of it takes the touch: most of the way
            // for a turn, a little for a swipe given up.
            auto root = pager->view();
            auto onPage = [&root](const std::shared_ptr<UIView>& hit, CGPoint) {
                for (auto v = hit; v; v = v->superview()) {
                    if (std::dynamic_pointer_cast<UIControl>(v) || !v->gestureRecognizers().empty())
                        return false;
                    if (v == root) return true;
                }
                return false;
            };
            auto reached = Actionability::reach(*root, "the pager", std::nullopt, onPage);
            if (!reached) throw ScriptError(reached.reason);
            const CGRect seen = root->convertRect_toView(root->bounds(), nullptr);
            const double y = reached.point->y,
                         travel = how == "abandon" ? seen.width() / 6 : seen.width() * 0.6;
            const double from =
                how == "previous" ? seen.minX() + seen.width() * 0.2 : seen.maxX() - seen.width() * 0.2;
            const double to = how == "previous" ? from + travel : from - travel;
            const auto before = pager->viewControllers();
            Actionability::drag({from, y}, {to, y});
            if (how != "abandon" && pager->viewControllers() == before)
                throw ScriptError("the pager has no page that way");
        });
    interpreter.addCommand("tapview", "tapview [TAG]", [](ScriptInterpreter&, const ScriptLine& line) {
        auto root = ScriptInterpreter::currentScreen()->view();
        std::shared_ptr<UIView> view = root;
        if (!line.words.empty()) {
            const long tag = ScriptInterpreter::parseInteger(line.words[0], "the tag");
            view = viewToTap(root, tag);
            if (!view) throw ScriptError("no view with tag " + line.words[0] + " on this screen");
        }
        const std::string name =
            line.words.empty() ? "the screen's background" : "the view with tag " + line.words[0];
        // The background is touched where only views that pass touches on (pictures, labels) lie
        // over it; a view with a tag anywhere on it.
        Actionability::Accepts background;
        if (view == root)
            background = [&root](const std::shared_ptr<UIView>& hit, CGPoint) {
                for (auto v = hit; v; v = v->superview()) {
                    if (v == root) return true;
                    const std::string kind = v->className();
                    if (!v->gestureRecognizers().empty() ||
                        (kind != "UIView" && kind != "UIImageView" && kind != "UILabel"))
                        return false;
                }
                return false;
            };
        auto reached = Actionability::reach(*view, name, std::nullopt, background);
        if (!reached) throw ScriptError(reached.reason);
        Actionability::tap(*reached.point);
    });
    interpreter.addCommand("scroll", "scroll NAME X", [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 2, "scroll NAME X");
        auto scroll = std::dynamic_pointer_cast<UIScrollView>(ScriptInterpreter::control(line.words[0]));
        if (!scroll) throw ScriptError("'" + line.words[0] + "' does not scroll");
        const double x = parseNumber(line.words[1], "X");
        const std::string& name = line.words[0];
        // The finger goes down on the scroll view itself, between what it holds, and drags the
        // content along until it stands at the offset or goes no further.
        auto between = [&scroll](const std::shared_ptr<UIView>& hit, CGPoint) { return hit == scroll; };
        for (int attempt = 0; attempt < 40; ++attempt) {
            const double left = scroll->contentOffset().x - x;
            if (std::abs(left) < 0.5) return;
            auto reached = Actionability::reach(*scroll, name, std::nullopt, between);
            if (!reached) throw ScriptError(reached.reason);
            const CGRect seen = scroll->convertRect_toView(scroll->bounds(), nullptr);
            const double step = std::clamp(left, -seen.width() / 2, seen.width() / 2);
            const CGPoint from = *reached.point;
            const double before = scroll->contentOffset().x;
            Actionability::drag(from, {from.x + step, from.y});
            if (scroll->contentOffset().x == before) {
                if (attempt == 0 && left != 0 && !scroll->isScrollEnabled())
                    throw ScriptError("'" + name + "' does not take the drag");
                return;
            }
        }
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
