#pragma once
// The program run here, without a window, along a script with commands of a test's own: how a
// window test learns where the controls are that a person reaches, before it clicks them in the
// real window.

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "cli/ScriptInterpreter.h"
#include "platform/foundation/Geometry.h"
#include "platform/swiftui/HostingView.h"
#include "platform/uikit/UIView.h"

namespace quillora::test {

// Runs the program on the data folder `data`, on the virtual clock, along `script` (kept beside
// the folder), with the commands `extend` adds; its exit status. The shared instances are reset
// after it.
int runProgramHere(const std::filesystem::path& data, const std::string& script,
                   const std::function<void(cli::ScriptInterpreter&)>& extend);

// The first declarative screen's hosting view in `view` or below it.
std::shared_ptr<platform::swiftui::HostingView>
findHostingView(const std::shared_ptr<platform::UIView>& view);

// The row titled `title` of the shown share sheet: where it is on the screen.
std::optional<platform::CGRect> shareSheetRow(const std::string& title);

// Where the controls are that a person reaches by the way `script` leads the program, run on
// `data`: each `place KEY` line gives the place on the screen of the current screen's control
// named KEY, else of its declarative control labelled KEY, else of the share sheet's row titled
// KEY; `frame KEY` the whole frame of the view named KEY, as "frame KEY"; `backitem` the shown
// back button, as "back"; `toend` scrolls the shown declarative screen to its end, as the wheel
// does in the window. Places not found are left out.
std::map<std::string, platform::CGRect> places(const std::filesystem::path& data, const std::string& script);

} // namespace quillora::test
