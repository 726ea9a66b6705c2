#include "platform/messageui/MailService.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/foundation/Console.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/DesktopServices.h"

extern char** environ;

namespace platform {

namespace {
std::shared_ptr<MailService>& sharedSlot() {
    static std::shared_ptr<MailService> service = [] {
        registerSharedInstanceReset([] { MailService::setShared(std::make_shared<OutboxMailService>()); });
        return std::make_shared<OutboxMailService>();
    }();
    return service;
}
} // namespace

std::shared_ptr<MailService> MailService::shared() {
    return sharedSlot();
}

void MailService::setShared(std::shared_ptr<MailService> service) {
    sharedSlot() = service ? std::move(service) : std::make_shared<OutboxMailService>();
}

// Handing over needs a desktop session, which the window brings: it installs the desktop's services.
OutboxMailService::OutboxMailService()
    : handOffEnabled_([] { return DesktopServices::recording() == nullptr; }),
      runner_(&OutboxMailService::runProcess) {}

std::optional<NSError> OutboxMailService::deliver(const MailDraft& draft, const std::filesystem::path& file) {
    if (!handOffEnabled_ || !handOffEnabled_()) {
        console().print("Mail kept in " + file.string());
        return std::nullopt;
    }
    // Only a desktop with a mail client for mailto: links can take it; otherwise it stays put.
    auto handler = runner_({"xdg-mime", "query", "default", "x-scheme-handler/mailto"});
    bool hasClient =
        handler && handler->status == 0 && handler->output.find_first_not_of(" \t\r\n") != std::string::npos;
    if (!hasClient) {
        console().print("No mail client handles mailto: links; mail kept in " + file.string());
        return NSError{"MFMailComposeErrorDomain", 1, "No mail program on this computer takes mailto: links"};
    }
    std::vector<std::string> argv{"xdg-email", "--utf8"};
    if (!draft.subject.empty()) argv.insert(argv.end(), {"--subject", draft.subject});
    if (!draft.body.empty()) argv.insert(argv.end(), {"--body", draft.body});
    for (const auto& cc : draft.ccRecipients)
        argv.insert(argv.end(), {"--cc", cc});
    for (const auto& bcc : draft.bccRecipients)
        argv.insert(argv.end(), {"--bcc", bcc});
    argv.insert(argv.end(), draft.toRecipients.begin(), draft.toRecipients.end());
    auto handed = runner_(argv);
    if (!handed) return NSError{"MFMailComposeErrorDomain", 1, "xdg-email could not be started"};
    if (handed->status != 0)
        return NSError{"MFMailComposeErrorDomain", 1,
                       "xdg-email failed with status " + std::to_string(handed->status)};
    console().print("Mail handed to the desktop's mail client; kept in " + file.string());
    return std::nullopt;
}

std::optional<OutboxMailService::ProcessResult>
OutboxMailService::runProcess(const std::vector<std::string>& argv) {
    if (argv.empty()) return std::nullopt;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        return std::nullopt;
    }
    ProcessResult result;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        result.output.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return std::nullopt;
    // A program that the spawned child could not exec exits 127.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return std::nullopt;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

} // namespace platform
