#include "cli/ConsoleLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSFileManager.h"

namespace quillora::cli {

struct ConsoleLog::File {
    std::mutex mutex;
    std::FILE* stream = nullptr;
    bool toStandardError = false;

    void write(const std::string& line) {
        std::lock_guard lock(mutex);
        if (stream) {
            std::fwrite(line.data(), 1, line.size(), stream);
            std::fputc('\n', stream);
            // Each line reaches the file at once: a crash keeps what led to it.
            std::fflush(stream);
        }
        if (toStandardError) {
            std::fwrite(line.data(), 1, line.size(), stderr);
            std::fputc('\n', stderr);
            std::fflush(stderr);
        }
    }
    ~File() {
        if (stream) std::fclose(stream);
    }
};

std::filesystem::path ConsoleLog::pathIn(const std::filesystem::path& sandboxRoot) {
    return sandboxRoot / "Library" / "Logs" / "console.log";
}

ConsoleLog::ConsoleLog(const std::filesystem::path& sandboxRoot, bool alsoToStandardError, std::string& error)
    : file_(std::make_shared<File>()) {
    file_->toStandardError = alsoToStandardError;
    const auto path = pathIn(sandboxRoot);
    std::error_code ec;
    platform::NSFileManager::defaultManager().createDirectoryAtPath_withIntermediateDirectories(
        path.parent_path().string(), true);
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        auto previous = path;
        previous += ".1";
        std::filesystem::rename(path, previous, ec);
        if (ec) error = "cannot keep the previous log as " + previous.string() + ": " + ec.message();
    }
    if (error.empty()) {
        // Every word dictated passes through the log: it is its owner's alone, whatever the umask,
        // and never a file that a link leads to.
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::fchmod(fd, 0600);
            file_->stream = ::fdopen(fd, "a");
            if (!file_->stream) ::close(fd);
        }
        if (!file_->stream) error = "cannot write the console log " + path.string();
    }
    // Without a file the lines still go somewhere a person sees them.
    if (!file_->stream) file_->toStandardError = true;
    auto file = file_;
    platform::console().setSink([file](const std::string& line) { file->write(line); });
    platform::console().setOutputSink(nullptr);
}

ConsoleLog::~ConsoleLog() {
    platform::console().setSink(nullptr);
}

} // namespace quillora::cli
