#include "cli/ConsoleLog.h"

#include <cstdio>
#include <mutex>

#include "platform/foundation/Console.h"

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
    std::filesystem::create_directories(path.parent_path(), ec);
    if (std::filesystem::exists(path, ec)) {
        auto previous = path;
        previous += ".1";
        std::filesystem::rename(path, previous, ec);
        if (ec) error = "cannot keep the previous log as " + previous.string() + ": " + ec.message();
    }
    if (error.empty()) {
        file_->stream = std::fopen(path.c_str(), "a");
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
