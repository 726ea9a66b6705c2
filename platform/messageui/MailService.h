#pragma once
// What stands behind the mail composer: whether the device can send mail at all, and where a
// written message goes next. The shared service writes nothing itself; the composer writes the
// message file and hands it over. Tests and the program replace the service.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSError.h"

namespace platform {

// A file that goes with a message.
struct MailAttachment {
    std::string fileName;
    std::string mimeType;
    std::string data;
};

// What a person wrote in the composer.
struct MailDraft {
    std::vector<std::string> toRecipients;
    std::vector<std::string> ccRecipients;
    std::vector<std::string> bccRecipients;
    std::string subject;
    std::string body;
    bool bodyIsHTML = false;
    std::vector<MailAttachment> attachments;
};

class MailService {
public:
    using Delivered = std::function<void(const std::optional<NSError>& error)>;

    virtual ~MailService() = default;

    // The service in use; tests get a fresh OutboxMailService.
    static std::shared_ptr<MailService> shared();
    static void setShared(std::shared_ptr<MailService> service);

    virtual bool canSendMail() const = 0;
    // Passes a message already written to `file` on to whoever sends it; its recipients are bare
    // addresses (local@domain). `done` hears the error when it could not, on the main run loop:
    // inside this call when passing it on takes no time, else once it has been passed, the main
    // thread never waiting for it meanwhile.
    virtual void deliver(const MailDraft& draft, const std::filesystem::path& file, Delivered done) = 0;
};

// Messages stay in the outbox; while a desktop runs (handOffEnabled) they are handed to the
// desktop's mail client through xdg-email, and with no client for mailto: links nothing sends
// them: that is a failure. Without a desktop the outbox stands for the device's own mail account.
class OutboxMailService : public MailService {
public:
    // Runs a program with its arguments (never through a shell) until it exits: its exit status
    // and, when captured, what it wrote to standard output meanwhile; none when it could not be
    // started. Programs it leaves running are not waited for. Run on a worker, never on the main
    // thread.
    enum class Output { captured, discarded };
    struct ProcessResult {
        int status = 0;
        std::string output;
    };
    using ProcessRunner =
        std::function<std::optional<ProcessResult>(const std::vector<std::string>& argv, Output output)>;

    OutboxMailService();

    bool canSendMail() const override { return accountAvailable_; }
    void setAccountAvailable(bool available) { accountAvailable_ = available; }
    // Whether handing over is tried at all: only while a window (and so a desktop session) runs.
    void setHandOffEnabled(std::function<bool()> enabled) { handOffEnabled_ = std::move(enabled); }
    void setProcessRunner(ProcessRunner runner) { runner_ = std::move(runner); }

    void deliver(const MailDraft& draft, const std::filesystem::path& file, Delivered done) override;

    // What xdg-email is given for `draft`: the recipients, subject and body as one mailto: URL,
    // every character that could end a part of it encoded, so that nothing written in the composer
    // becomes an option or another part; then each file of `attachments`.
    static std::vector<std::string> handOverArguments(const MailDraft& draft,
                                                      const std::vector<std::filesystem::path>& attachments);

    // The real runner: posix_spawnp with the argument vector.
    static std::optional<ProcessResult> runProcess(const std::vector<std::string>& argv,
                                                   Output output = Output::captured);

private:
    bool accountAvailable_ = true;
    std::function<bool()> handOffEnabled_;
    ProcessRunner runner_;
};

} // namespace platform
