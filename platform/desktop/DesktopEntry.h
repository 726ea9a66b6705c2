#pragma once
// How the desktop's menus and docks know the application: a desktop entry naming it and its icon,
// installed in the user's data folder (applications/ and icons/hicolor/) the first time the window
// runs. A file there that the user wrote is left alone; one we wrote is brought up to date.

#include <filesystem>
#include <string>

namespace platform {

class DesktopEntry {
public:
    std::string applicationId; // the file names and the window's class: com.quillora.app
    std::string name;          // what menus show: Quillora
    std::string comment;
    std::filesystem::path program; // started by the entry
    std::filesystem::path icon;    // a square PNG picture

    // The user's data folder: $XDG_DATA_HOME, else ~/.local/share.
    static std::filesystem::path userDataFolder();
    // The entry's text.
    std::string text() const;
    // Writes the entry into `dataFolder`/applications and the icon into
    // `dataFolder`/icons/hicolor/SIZExSIZE/apps, each atomically and only where it is missing or
    // one of ours that differs. False with the reason in `error` when a file cannot be written.
    bool install(const std::filesystem::path& dataFolder, std::string* error = nullptr) const;
};

} // namespace platform
