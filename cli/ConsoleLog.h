#pragma once
// Where the console goes when the program runs: the diagnostic lines to Library/Logs/console.log
// in the sandbox (the previous run's file kept as console.log.1) and, when asked, to standard
// error too; what the program tells its user to standard output.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace quillora::cli {

class ConsoleLog {
public:
    // Keeps the last run's log, starts this run's and sends the console there. On failure (the
    // folder cannot be made, the file opened) the reason is in `error` and diagnostics go only to
    // standard error, so that nothing is lost silently.
    ConsoleLog(const std::filesystem::path& sandboxRoot, bool alsoToStandardError, std::string& error);
    // Puts the console back to its defaults.
    ~ConsoleLog();
    ConsoleLog(const ConsoleLog&) = delete;
    ConsoleLog& operator=(const ConsoleLog&) = delete;

    static std::filesystem::path pathIn(const std::filesystem::path& sandboxRoot);

private:
    struct File;
    std::shared_ptr<File> file_;
};

} // namespace quillora::cli
