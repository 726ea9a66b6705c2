#pragma once
// The desktop's own services while the window runs: GDK's clipboard, GTK's file chooser and print
// dialog, and the desktop's handler for links. GTK types stay in the source file.

#include "platform/uikit/DesktopServices.h"

typedef struct _GtkWidget GtkWidget;

namespace platform {

class GtkDesktopServices : public DesktopServices {
public:
    // The window the dialogs belong to; none before it opens and after it closes.
    void setParentWindow(GtkWidget* window) { parent_ = window; }

    void copyToClipboard(const std::string& text) override;
    void clipboardText(TextCallback callback) override;
    void chooseFileToOpen(const std::string& title, const std::vector<FileFilter>& filters,
                          PathCallback callback) override;
    void chooseFileToSave(const std::string& title, const std::string& suggestedName,
                          PathCallback callback) override;
    bool printPDF(const std::filesystem::path& pdf, const std::string& jobName, PrintCallback callback,
                  std::string* error = nullptr) override;
    bool openURL(const std::string& url, std::string* error = nullptr) override;

private:
    void chooseFile(bool save, const std::string& title, const std::vector<FileFilter>& filters,
                    const std::string& suggestedName, PathCallback callback);

    GtkWidget* parent_ = nullptr;
};

} // namespace platform
