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

// What a person wrote in the composer.
struct MailDraft {
    std::vector<std::string> toRecipients;
    std::vector<std::string> ccRecipients;
    std::vector<std::string> bccRecipients;
    std::string subject;
    std::string body;
    bool bodyIsHTML = false;
};

class MailService {
public:
    virtual ~MailService() = default;

    // The service in use; tests get a fresh OutboxMailService.
    static std::shared_ptr<MailService> shared();
    static void setShared(std::shared_ptr<MailService> service);

    virtual bool canSendMail() const = 0;
    // Passes a message already written to `file` on to whoever sends it; the error when it could not.
    virtual std::optional<NSError> deliver(const MailDraft& draft, const std::filesystem::path& file) = 0;
};

// Messages stay in the outbox; while a desktop runs (handOffEnabled) they are handed to the
// desktop's mail client through xdg-email, and with no client for mailto: links nothing sends
// them: that is a failure. Without a desktop the outbox stands for the device's own mail account.
class OutboxMailService : public MailService {
public:
    // Runs a program with its arguments (never through a shell); its exit status and standard
    // output, or none when it could not be started.
    struct ProcessResult {
        int status = 0;
        std::string output;
    };
    using ProcessRunner = std::function<std::optional<ProcessResult>(const std::vector<std::string>& argv)>;

    OutboxMailService();

    bool canSendMail() const override { return accountAvailable_; }
    void setAccountAvailable(bool available) { accountAvailable_ = available; }
    // Whether handing over is tried at all: only while a window (and so a desktop session) runs.
    void setHandOffEnabled(std::function<bool()> enabled) { handOffEnabled_ = std::move(enabled); }
    void setProcessRunner(ProcessRunner runner) { runner_ = std::move(runner); }

    std::optional<NSError> deliver(const MailDraft& draft, const std::filesystem::path& file) override;

    // The real runner: posix_spawnp with the argument vector, standard output captured.
    static std::optional<ProcessResult> runProcess(const std::vector<std::string>& argv);

private:
    bool accountAvailable_ = true;
    std::function<bool()> handOffEnabled_;
    ProcessRunner runner_;
};

} // namespace platform
