#pragma once
// What the phone's system does for the screens outside their own views: the clipboard, choosing a
// file to open or to save, the print dialog and handing a link to another application. On a
// desktop the window installs an implementation that asks the desktop (platform/desktop); without
// a window the shared instance records each request so that scripts and tests can see and answer
// it. Answers that need the person (a chosen file, a finished print job) come later, on the main
// run loop, never inside the call that asked.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// One entry of a file chooser's type menu: "Images" with "image/png" or "*.png".
struct FileFilter {
    std::string name;
    std::vector<std::string> mimeTypes;
    std::vector<std::string> patterns;
};

class DesktopServices {
public:
    using PathCallback = std::function<void(const std::optional<std::filesystem::path>&)>;
    using TextCallback = std::function<void(const std::optional<std::string>&)>;
    // printed is false when the person cancelled; error is set when the job could not be made.
    using PrintCallback = std::function<void(bool printed, const std::optional<std::string>& error)>;

    virtual ~DesktopServices() = default;

    // The implementation in use: the recording one until a window installs its own. Tests reset it
    // to a fresh recording one.
    static DesktopServices& shared();
    static void install(std::shared_ptr<DesktopServices> services);
    // The recording implementation when it is the one in use, else null.
    static class RecordingDesktopServices* recording();

    virtual void copyToClipboard(const std::string& text) = 0;
    // The clipboard's text, none when it holds no text. The desktop answers asynchronously.
    virtual void clipboardText(TextCallback callback) = 0;
    // Asks the person for a file; none when they cancel.
    virtual void chooseFileToOpen(const std::string& title, const std::vector<FileFilter>& filters,
                                  PathCallback callback) = 0;
    virtual void chooseFileToSave(const std::string& title, const std::string& suggestedName,
                                  PathCallback callback) = 0;
    // Opens the print dialog for a PDF file. False (with the reason in `error`) when there is no
    // dialog to open, for example the file cannot be read; the callback then never runs.
    virtual bool printPDF(const std::filesystem::path& pdf, const std::string& jobName,
                          PrintCallback callback, std::string* error = nullptr) = 0;
    // Hands a link to the application that opens it; false (with the reason in `error`) when
    // nothing takes it.
    virtual bool openURL(const std::string& url, std::string* error = nullptr) = 0;
};

// Without a window: every request is kept, in order, and answered only when a test or script says
// what the person did.
class RecordingDesktopServices : public DesktopServices {
public:
    struct FileRequest {
        bool save = false;
        std::string title;
        std::vector<FileFilter> filters; // opening
        std::string suggestedName;       // saving
    };
    struct PrintRequest {
        std::filesystem::path pdf;
        std::string jobName;
    };

    void copyToClipboard(const std::string& text) override;
    void clipboardText(TextCallback callback) override;
    void chooseFileToOpen(const std::string& title, const std::vector<FileFilter>& filters,
                          PathCallback callback) override;
    void chooseFileToSave(const std::string& title, const std::string& suggestedName,
                          PathCallback callback) override;
    bool printPDF(const std::filesystem::path& pdf, const std::string& jobName, PrintCallback callback,
                  std::string* error = nullptr) override;
    bool openURL(const std::string& url, std::string* error = nullptr) override;

    const std::optional<std::string>& clipboard() const { return clipboard_; }
    const std::vector<FileRequest>& fileRequests() const { return fileRequests_; }
    const std::vector<PrintRequest>& printRequests() const { return printRequests_; }
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    // Whether openURL succeeds; nothing opens links by default.
    void setOpensURLs(bool opens) { opensURLs_ = opens; }

    // The person's answer to the oldest open file chooser (none = cancelled), delivered on the run
    // loop. False when no chooser is open.
    bool answerFileChooser(const std::optional<std::filesystem::path>& path);
    bool hasOpenFileChooser() const { return !pendingFiles_.empty(); }
    // Ends the oldest open print dialog, printed or cancelled. False when none is open.
    bool finishPrint(bool printed);

private:
    std::optional<std::string> clipboard_;
    std::vector<FileRequest> fileRequests_;
    std::vector<PathCallback> pendingFiles_;
    std::vector<PrintRequest> printRequests_;
    std::vector<PrintCallback> pendingPrints_;
    std::vector<std::string> openedURLs_;
    bool opensURLs_ = false;
};

} // namespace platform
