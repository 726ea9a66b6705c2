// A walk through every screen a person reaches from the first one, at 390 x 844: on each, every
// control that takes a touch must be brought into sight by scrolling and be hit where it is drawn.
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Finger.h"
#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/swiftui/HostingView.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/Actionability.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextView.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using namespace quillora::cli;

namespace {

struct Walk {
    std::vector<std::string> screens;
    std::vector<std::string> unreachable;
    std::size_t controls = 0;
};

// Checks every control of the current screen; what it reached is printed, what it could not is kept.
void checkScreen(Walk& walk, const std::string& title) {
    auto screen = ScriptInterpreter::currentScreen();
    std::vector<std::string> reached;
    auto note = [&](const std::string& name, const Actionability::Reach& r) {
        ++walk.controls;
        if (r)
            reached.push_back(name);
        else if (r.reason.ends_with("' is disabled"))
            reached.push_back(name + " (disabled)");
        else if (r.reason.ends_with(" is covered by the keyboard overlay"))
            reached.push_back(name + " (under the keyboard overlay while it is up)");
        else
            walk.unreachable.push_back(title + ": " + r.reason);
    };
    if (auto hosting = std::dynamic_pointer_cast<swiftui::UIHostingController>(screen)) {
        auto host = hosting->host();
        std::vector<std::pair<std::string, std::string>> controls;
        for (const swiftui::Node* n : host->tree().findAll([](const swiftui::Node& n) {
                 return n.isControl() || (n.modifier("onTapGesture") && n.modifier("onTapGesture")->action);
             })) {
            std::string name = n->label();
            if (name.empty())
                if (const swiftui::Modifier* a = n->modifier("accessibilityLabel"))
                    name = a->text("label").value_or("");
            controls.emplace_back(n->path, name.empty() ? n->kind : name);
        }
        for (const auto& [path, label] : controls)
            note(label, Finger::hostingView(*hosting).reachControl(path, label));
    } else if (auto alert = std::dynamic_pointer_cast<UIAlertController>(screen)) {
        auto view = std::dynamic_pointer_cast<UIAlertControllerView>(alert->view());
        ScreenRenderer::layout();
        const auto buttons = view->layout().buttons;
        const CGRect f = view->frame();
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            const CGRect r = buttons[i];
            note(alert->actions()[i]->title().value_or("action"),
                 Actionability::pointIn(*view, alert->actions()[i]->title().value_or("action"),
                                        {r.minX() - f.minX(), r.minY() - f.minY(), r.width(), r.height()}));
        }
    } else {
        for (const auto& [name, object] : screen->exposedOutlets()) {
            auto view = std::dynamic_pointer_cast<UIView>(object);
            if (!view || view->isHiddenOnScreen() || !view->isUserInteractionEnabled()) continue;
            auto text = std::dynamic_pointer_cast<UITextView>(view);
            if (auto table = std::dynamic_pointer_cast<UITableView>(view)) {
                for (long s = 0; s < table->numberOfSections(); ++s)
                    for (long r = 0; r < table->numberOfRowsInSection(s); ++r) {
                        const std::string row = name + " row " + std::to_string(r) + "/" + std::to_string(s);
                        try {
                            Finger::reachRow(*table, NSIndexPath::indexPathForRow_inSection(r, s), row);
                            note(row, Actionability::Reach::at({}));
                        } catch (const ScriptError& e) {
                            note(row, Actionability::Reach::failed(e.what()));
                        }
                    }
            } else if (std::dynamic_pointer_cast<UIControl>(view) ||
                       std::dynamic_pointer_cast<UIPickerView>(view) ||
                       std::dynamic_pointer_cast<UIScrollView>(view) ||
                       (text && (text->isEditable() || text->isSelectable())) ||
                       !view->gestureRecognizers().empty()) {
                note(name, Actionability::reach(*view, name));
            }
        }
        // A screen pushed over another has a way back a finger reaches: the bar's back button, or
        // a back control of its own.
        if (auto nav = screen->navigationController();
            nav && nav->viewControllers().size() > 1 && nav->topViewController() == screen) {
            bool ownBack = false;
            for (const auto& [name, object] : screen->exposedOutlets())
                if (name.find("Back") != std::string::npos || name.find("back") != std::string::npos)
                    ownBack = ownBack || std::dynamic_pointer_cast<UIControl>(object) != nullptr;
            if (auto back = ScreenRenderer::backButtonFrame()) {
                auto hit = ScreenRenderer::hitTest({back->midX(), back->midY()});
                note("Back", hit && std::dynamic_pointer_cast<UINavigationBar>(hit)
                                 ? Actionability::Reach::at({})
                                 : Actionability::Reach::failed("the back button is covered"));
            } else if (!ownBack) {
                walk.unreachable.push_back(title + ": no way back to the screen below");
            }
        }
        if (auto nav = screen->navigationController(); nav && !nav->isNavigationBarHidden()) {
            auto item = screen->navigationItem();
            std::vector<std::shared_ptr<UIBarButtonItem>> items = item->rightBarButtonItems;
            items.insert(items.end(), {item->leftBarButtonItem, item->rightBarButtonItem});
            for (const auto& bar : items) {
                if (!bar) continue;
                const std::string title = bar->title().value_or("bar item");
                note(title, ScreenRenderer::barItemFrame(*bar)
                                ? Actionability::Reach::at({})
                                : Actionability::Reach::failed("'" + title + "' is not shown"));
            }
        }
    }
    std::string line = "screen " + title + " (" + screen->className() + "): ";
    for (std::size_t i = 0; i < reached.size(); ++i)
        line += (i ? ", " : "") + reached[i];
    walk.screens.push_back(line);
    std::cout << line << std::endl;
}

class ReachabilityWalkTest : public quillora::test::PlatformTest {
protected:
    Walk walk;

    int walkScript(const std::string& text) {
        Options options;
        options.home = home;
        options.clock = RunLoop::kDefaultVirtualEpoch;
        options.script = (home / "walk.txt").string();
        std::ofstream(*options.script) << text;
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        return runProgram(options, 1, argv, [this](ScriptInterpreter& interpreter) {
            interpreter.addCommand(
                "reachable", "reachable TITLE",
                [this](ScriptInterpreter&, const ScriptLine& line) { checkScreen(walk, line.textAfter(0)); });
            // A finger on the shown navigation bar's back button.
            interpreter.addCommand("backbutton", "backbutton", [](ScriptInterpreter&, const ScriptLine&) {
                auto back = ScreenRenderer::backButtonFrame();
                ASSERT_TRUE(back) << "no back button is shown";
                const CGPoint p{back->midX(), back->midY()};
                const auto before = ScriptInterpreter::currentScreen();
                ScreenRenderer::sendTouch(UITouchPhase::Began, p, 0);
                ScreenRenderer::sendTouch(UITouchPhase::Ended, p, 0.05);
                RunLoop::main().advance(1);
                EXPECT_NE(ScriptInterpreter::currentScreen(), before) << "the back button led nowhere";
            });
            // Every page of the shown pager, turned as a finger turns them.
            interpreter.addCommand(
                "pages", "pages TITLE", [this](ScriptInterpreter& self, const ScriptLine& line) {
                    for (int page = 1; page <= 20; ++page) {
                        checkScreen(walk, line.textAfter(0) + " page " + std::to_string(page));
                        try {
                            self.runLine("page next", line.number);
                        } catch (const ScriptError&) {
                            return;
                        }
                    }
                });
            // Every card of the template gallery: its form, and the PDF screen its Preview opens.
            interpreter.addCommand("cards", "cards", [this](ScriptInterpreter& self, const ScriptLine& line) {
                auto gallery = std::dynamic_pointer_cast<swiftui::UIHostingController>(
                    ScriptInterpreter::currentScreen());
                ASSERT_TRUE(gallery);
                std::vector<std::pair<std::string, std::string>> cards;
                for (const swiftui::Node* n : gallery->host()->tree().findAll(
                         [](const swiftui::Node& n) { return n.action && n.modifier("sheet"); }))
                    cards.emplace_back(n->path, n->label());
                for (const auto& [path, label] : cards) {
                    Finger::tap(*gallery, path, label);
                    self.runLine("wait 1", line.number);
                    auto form = ScriptInterpreter::currentScreen();
                    if (form == gallery) {
                        walk.unreachable.push_back("gallery: card '" + label + "' opened nothing");
                        continue;
                    }
                    checkScreen(walk, "form " + label);
                    self.runLine("press Preview", line.number);
                    self.runLine("wait 1", line.number);
                    checkScreen(walk, "PDF of " + label);
                    self.runLine("tap CancelButton", line.number);
                    self.runLine("wait 1", line.number);
                    self.runLine("dismiss", line.number);
                    self.runLine("wait 1", line.number);
                }
            });
        });
    }
};

} // namespace

TEST_F(ReachabilityWalkTest, EveryControlOfEveryScreenCanBeScrolledIntoSightAndHit) {
    ASSERT_EQ(UIScreen::mainScreen().bounds(), CGRect(0, 0, 390, 844));
    const int status = walkScript(R"(reachable dictation
tap infoButton
reachable info hub
tap tutorialButton
pages tutorial
tap CancelButton
tap moreAppsButton
pages promotion
tap CancelButton
tap cardsButton
reachable help gallery
tapview 3
wait 1
reachable help card
tapview
wait 1
back
tap galleryButton
reachable app gallery
tapview 0
wait 1
reachable app card
tapview
wait 1
back
tap aboutButton
reachable about
back
tap supportButton
reachable share and support
back
tap Cancel
tap FontDynamicButton
reachable settings
press " 🅧 Cancel "
tap StickyDynamicButton
reachable template gallery
cards
press cancel
scripted
microphone silence
tap recordButton
wait 5
final The quick brown fox jumps over the lazy dog. She reads good books.
tap recordButton
wait 2
reachable dictation with a transcript
tap ButtonRightAnalysis
reachable analysis
press cancel
tap EditIndicatorButton
reachable editor
press Save
tap SaveDynamicButton
reachable dictation list
tap PDFButton
wait 1
reachable PDF browser
backbutton
reachable dictation list again
row table 0
reachable dictation entry
tap Font_change
reachable font sizes
alert Dismiss
back
back
segment segmentcontrol Notes
reachable notes
focus Clipboard
reachable editor over the notes
dismiss
focus Clipboard_keyboard
dismiss
reachable notes keyboard overlay
tap Done_button
segment segmentcontrol Recipe
reachable recipe
tap Color
reachable colours
alert Dismiss
tap RecipeBookButton
reachable recipe book
back
offline
tap recordButton
reachable offline alert
)");
    std::cout << walk.screens.size() << " screens, " << walk.controls << " controls walked" << std::endl;
    EXPECT_EQ(status, 0);
    EXPECT_GE(walk.screens.size(), 40u) << "every screen was walked";
    EXPECT_TRUE(walk.unreachable.empty()) << testing::PrintToString(walk.unreachable);
}

TEST_F(ReachabilityWalkTest, EveryRowOfEveryActionSheetCanBeScrolledIntoSightAndHit) {
    // `rows TITLE`: every action of the shown sheet is brought into sight and reached where it is
    // drawn; then its cancel action closes it.
    std::size_t sheets = 0;
    auto extend = [&](ScriptInterpreter& interpreter) {
        interpreter.addCommand("rows", "rows TITLE", [&](ScriptInterpreter& self, const ScriptLine& line) {
            auto alert = std::dynamic_pointer_cast<UIAlertController>(ScriptInterpreter::currentScreen());
            if (!alert) throw ScriptError("no action sheet is shown");
            ++sheets;
            auto view = std::dynamic_pointer_cast<UIAlertControllerView>(alert->view());
            std::vector<std::string> reached;
            std::string cancel;
            const auto& actions = alert->actions();
            // Last row first, then back up to the first: both ways of scrolling are walked.
            for (std::size_t k = actions.size(); k-- > 0;) {
                const std::string title = actions[k]->title().value_or("action");
                if (actions[k]->style() == UIAlertActionStyle::Cancel) cancel = title;
                ++walk.controls;
                try {
                    Finger::reachAlertAction(*view, k, title);
                    reached.push_back(title);
                } catch (const ScriptError& e) {
                    walk.unreachable.push_back(line.textAfter(0) + ": " + e.what());
                }
            }
            std::string summary = "sheet " + line.textAfter(0) + ": " + std::to_string(reached.size()) +
                                  " of " + std::to_string(actions.size()) + " rows";
            walk.screens.push_back(summary);
            std::cout << summary << std::endl;
            self.runLine("alert " + cancel, line.number);
        });
    };
    Options options;
    options.home = home;
    options.clock = RunLoop::kDefaultVirtualEpoch;
    options.script = (home / "sheets.txt").string();
    std::ofstream(*options.script) << R"(tap CommandsButton
rows commands
scripted
microphone silence
tap recordButton
final Some words.
tap recordButton
wait 2
tap SaveDynamicButton
row table 0
tap Font_change
rows entry font sizes
back
back
segment segmentcontrol Notes
tap PushPin_emoji
rows notes commands
tap Font_change
rows notes font sizes
tap Color
rows notes colours
segment segmentcontrol Recipe
tap Fruit_emoji
rows recipe commands
tap Color
rows recipe colours
)";
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(runProgram(options, 1, argv, extend), 0);
    EXPECT_EQ(sheets, 7u);
    EXPECT_GE(walk.controls, 16u + 21u + 14u) << "the tall help sheets' rows were all walked";
    EXPECT_TRUE(walk.unreachable.empty()) << testing::PrintToString(walk.unreachable);
}
