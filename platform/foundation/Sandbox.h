#pragma once
// The application's sandbox root, which holds Documents/, tmp/ and Library/Preferences/, and the
// registry through which the platform's shared instances are reset between tests.

#include <filesystem>
#include <functional>
#include <string>

namespace platform {

class Sandbox {
public:
    // Sets the root and creates its folders. The program takes it from --home, $QUILLORA_HOME or
    // $XDG_DATA_HOME/quillora (~/.local/share/quillora).
    static void setRoot(const std::filesystem::path& root);
    static const std::filesystem::path& root();
    static std::filesystem::path documents();
    static std::filesystem::path tmp();
    static std::filesystem::path preferences();
    // The root the program uses when no --home is given.
    static std::filesystem::path defaultRoot();
};

// Shared instances (standard defaults, default notification centre, main run loop...) register how
// they are put back to a fresh state; tests call resetSharedInstances() before each case.
void registerSharedInstanceReset(std::function<void()> reset);
void resetSharedInstances();

} // namespace platform
