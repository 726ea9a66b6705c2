#pragma once
// The application's sandbox root, which holds Documents/, tmp/ and Library/Preferences/, and the
// registry through which the platform's shared instances are reset between tests.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace platform {

class Sandbox {
public:
    // Sets the root and creates its folders (the root too, and what leads to it), each its
    // owner's alone. The program takes it from --home, $QUILLORA_HOME or $XDG_DATA_HOME/quillora
    // (~/.local/share/quillora).
    static void setRoot(const std::filesystem::path& root);
    static const std::filesystem::path& root();
    static std::filesystem::path documents();
    static std::filesystem::path tmp();
    static std::filesystem::path preferences();
    // The root the program uses when no --home is given; none when there is no home folder to
    // keep it in.
    static std::optional<std::filesystem::path> defaultRoot();
    // The account's home folder: $HOME, else the one the password database gives the account
    // (never a folder every account shares, such as /tmp); none when neither names one.
    static std::optional<std::filesystem::path> homeFolder();
};

// Shared instances (standard defaults, default notification centre, main run loop...) register how
// they are put back to a fresh state; tests call resetSharedInstances() before each case.
void registerSharedInstanceReset(std::function<void()> reset);
void resetSharedInstances();

} // namespace platform
