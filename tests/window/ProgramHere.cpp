#include "tests/window/ProgramHere.h"

#include <fstream>

#include <gtest/gtest.h>

#include "cli/Program.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"

namespace quillora::test {

int runProgramHere(const std::filesystem::path& data, const std::string& script,
                   const std::function<void(cli::ScriptInterpreter&)>& extend) {
    const auto path = data.string() + ".txt";
    std::ofstream(path) << script;
    cli::Options options;
    options.home = data;
    options.clock = platform::RunLoop::kDefaultVirtualEpoch;
    options.script = path;
    char name[] = "quillora";
    char* argv[] = {name, nullptr};
    const int status = cli::runProgram(options, 1, argv, extend);
    platform::resetSharedInstances();
    return status;
}

std::shared_ptr<platform::swiftui::HostingView>
findHostingView(const std::shared_ptr<platform::UIView>& view) {
    if (!view) return nullptr;
    if (auto hosting = std::dynamic_pointer_cast<platform::swiftui::HostingView>(view)) return hosting;
    for (const auto& child : view->subviews())
        if (auto found = findHostingView(child)) return found;
    return nullptr;
}

std::optional<platform::CGRect> shareSheetRow(const std::string& title) {
    auto screen = platform::ScreenRenderer::presentationChain().back();
    auto sheet = std::dynamic_pointer_cast<platform::UIActivityViewController>(screen);
    auto view =
        sheet ? std::dynamic_pointer_cast<platform::UIActivityViewControllerView>(sheet->view()) : nullptr;
    if (!view) return std::nullopt;
    const auto offered = sheet->offeredActivities();
    const auto rows = view->rowRects();
    for (std::size_t i = 0; i < offered.size() && i < rows.size(); ++i)
        if (offered[i].second == title) return view->convertRect_toView(rows[i], nullptr);
    return std::nullopt;
}

std::map<std::string, platform::CGRect> places(const std::filesystem::path& data, const std::string& script) {
    std::map<std::string, platform::CGRect> found;
    auto extend = [&](cli::ScriptInterpreter& interpreter) {
        interpreter.addCommand(
            "place", "place KEY", [&](cli::ScriptInterpreter&, const cli::ScriptLine& line) {
                const std::string key = line.rest;
                try {
                    if (auto view = std::dynamic_pointer_cast<platform::UIView>(
                            cli::ScriptInterpreter::control(key))) {
                        // Where a click reaches it: a view drawn over it may cover its middle.
                        const auto r = view->convertRect_toView(view->bounds(), nullptr);
                        for (double dy : {0.5, 0.75, 0.25, 0.9, 0.1}) {
                            const platform::CGPoint p{r.midX(), r.minY() + r.height() * dy};
                            auto hit = platform::ScreenRenderer::hitTest(p);
                            if (hit && hit->isDescendantOfView(view.get())) {
                                found[key] = {p.x - 1, p.y - 1, 2, 2};
                                break;
                            }
                        }
                        return;
                    }
                } catch (const cli::ScriptError&) {
                }
                auto screen = platform::ScreenRenderer::presentationChain().back();
                if (std::dynamic_pointer_cast<platform::UIActivityViewController>(screen)) {
                    if (auto row = shareSheetRow(key)) found[key] = *row;
                    return;
                }
                // A label may start with a blank, which the line's words lose.
                if (auto hosting = findHostingView(screen->view()))
                    for (const std::string& label : {key, " " + key})
                        if (auto box = hosting->layout().controlBox(label); box && !found.count(key))
                            found[key] = hosting->convertRect_toView(box->frame, nullptr);
            });
        // Scrolls the shown declarative screen to its end, as the wheel does in the window.
        interpreter.addCommand("toend", "toend", [&](cli::ScriptInterpreter&, const cli::ScriptLine&) {
            auto screen = platform::ScreenRenderer::presentationChain().back();
            auto hosting = findHostingView(screen->view());
            ASSERT_TRUE(hosting) << "no declarative screen is shown";
            const auto b = hosting->bounds();
            hosting->scrollBy({b.midX(), b.midY()}, {0, 1e6});
            platform::RunLoop::main().runUntilIdle();
        });
        // The back button of the shown navigation bar, as "back".
        interpreter.addCommand("backitem", "backitem", [&](cli::ScriptInterpreter&, const cli::ScriptLine&) {
            if (auto r = platform::ScreenRenderer::backButtonFrame()) found["back"] = *r;
        });
        // The whole frame of a named view, as "frame KEY".
        interpreter.addCommand(
            "frame", "frame KEY", [&](cli::ScriptInterpreter&, const cli::ScriptLine& line) {
                auto view =
                    std::dynamic_pointer_cast<platform::UIView>(cli::ScriptInterpreter::control(line.rest));
                // Constraints place a view only once the screen is laid out.
                platform::ScreenRenderer::layout();
                found["frame " + line.rest] = view->convertRect_toView(view->bounds(), nullptr);
            });
    };
    EXPECT_EQ(runProgramHere(data, script, extend), 0);
    return found;
}

} // namespace quillora::test
