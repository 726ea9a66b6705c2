#include "platform/messageui/MailService.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/foundation/Console.h"
#include "platform/foundation/DispatchQueue.h"
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

// RFC 3986's unreserved characters stay, and in an address its '@'; everything else is written
// as %XX of its UTF-8 bytes, a line break as CR LF, as a mailto: URL carries them (RFC 6068).
std::string encoded(const std::string& text, bool address) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    auto byte = [&](unsigned char c) {
        out += '%';
        out += hex[c >> 4];
        out += hex[c & 15];
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~' || (address && c == '@')) {
            out += static_cast<char>(c);
        } else if (c == '\n' && !address) {
            if (i == 0 || text[i - 1] != '\r') byte('\r');
            byte('\n');
        } else {
            byte(c);
        }
    }
    return out;
}

std::string joinedAddresses(const std::vector<std::string>& addresses) {
    std::string out;
    for (const auto& address : addresses)
        out += (out.empty() ? "" : ",") + encoded(address, true);
    return out;
}

// Writes the attachments into `folder`, for the mail client to read: the paths, or the reason
// one could not be written. Plain writes of files of our own, made on the worker that hands over.
std::optional<std::string> writeAttachments(const std::vector<MailAttachment>& attachments,
                                            const std::filesystem::path& folder,
                                            std::vector<std::filesystem::path>& paths) {
    if (attachments.empty()) return std::nullopt;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return "the folder “" + folder.string() + "” could not be made: " + ec.message();
    for (const auto& attachment : attachments) {
        std::string name = attachment.fileName;
        for (auto& c : name)
            if (c == '/') c = '-';
        if (name.empty() || name == "." || name == "..") name = "attachment";
        const auto path = folder / name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        int err = fd < 0 ? errno : 0;
        for (std::size_t done = 0; !err && done < attachment.data.size();) {
            const ssize_t n = ::write(fd, attachment.data.data() + done, attachment.data.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0)
                err = errno;
            else
                done += static_cast<std::size_t>(n);
        }
        if (fd >= 0 && ::close(fd) != 0 && !err) err = errno;
        if (err) return "“" + path.string() + "” could not be written: " + std::strerror(err);
        paths.push_back(path);
    }
    return std::nullopt;
}

struct HandOver {
    std::optional<NSError> error;
    std::string line;
};

HandOver handOver(const OutboxMailService::ProcessRunner& run, const MailDraft& draft,
                  const std::filesystem::path& file, const std::filesystem::path& attachmentFolder) {
    using Output = OutboxMailService::Output;
    // Only a desktop with a mail client for mailto: links can take it; otherwise it stays put.
    auto handler = run({"xdg-mime", "query", "default", "x-scheme-handler/mailto"}, Output::captured);
    const bool hasClient =
        handler && handler->status == 0 && handler->output.find_first_not_of(" \t\r\n") != std::string::npos;
    if (!hasClient)
        return {
            NSError{"MFMailComposeErrorDomain", 1, "No mail program on this computer takes mailto: links"},
            "No mail client handles mailto: links; mail kept in " + file.string()};
    std::vector<std::filesystem::path> attachments;
    if (auto why = writeAttachments(draft.attachments, attachmentFolder, attachments))
        return {NSError{"MFMailComposeErrorDomain", 1, "Its attachment could not be handed over: " + *why},
                "Mail attachment not written: " + *why};
    // Its output is nobody's: the mail client it starts may write there for as long as it runs.
    auto handed = run(OutboxMailService::handOverArguments(draft, attachments), Output::discarded);
    if (!handed)
        return {NSError{"MFMailComposeErrorDomain", 1, "xdg-email could not be started"},
                "xdg-email could not be started; mail kept in " + file.string()};
    if (handed->status != 0)
        return {NSError{"MFMailComposeErrorDomain", 1,
                        "xdg-email failed with status " + std::to_string(handed->status)},
                "xdg-email failed with status " + std::to_string(handed->status) + "; mail kept in " +
                    file.string()};
    return {std::nullopt, "Mail handed to the desktop's mail client; kept in " + file.string()};
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

void OutboxMailService::deliver(const MailDraft& draft, const std::filesystem::path& file, Delivered done) {
    if (!handOffEnabled_ || !handOffEnabled_()) {
        console().print("Mail kept in " + file.string());
        return done(std::nullopt);
    }
    // The programs run on a worker of their own: a mail client may keep xdg-email waiting for as
    // long as it stays open, and the window goes on meanwhile.
    auto result = std::make_shared<HandOver>();
    DispatchQueue::global(DispatchQoS::Utility)
        .asyncThenMain(
            [result, run = runner_, draft, file, folder = Sandbox::tmp() / "Mail" / file.stem()] {
                *result = handOver(run, draft, file, folder);
            },
            [result, done = std::move(done)] {
                console().print(result->line);
                done(result->error);
            });
}

std::vector<std::string>
OutboxMailService::handOverArguments(const MailDraft& draft,
                                     const std::vector<std::filesystem::path>& attachments) {
    std::vector<std::string> argv{"xdg-email", "--utf8"};
    for (const auto& attachment : attachments)
        argv.insert(argv.end(), {"--attach", attachment.string()});
    std::string query;
    auto add = [&](const char* key, const std::string& value) {
        query += (query.empty() ? "?" : "&") + std::string(key) + "=" + value;
    };
    if (!draft.ccRecipients.empty()) add("cc", joinedAddresses(draft.ccRecipients));
    if (!draft.bccRecipients.empty()) add("bcc", joinedAddresses(draft.bccRecipients));
    if (!draft.subject.empty()) add("subject", encoded(draft.subject, false));
    if (!draft.body.empty()) add("body", encoded(draft.body, false));
    argv.push_back("mailto:" + joinedAddresses(draft.toRecipients) + query);
    return argv;
}

std::optional<OutboxMailService::ProcessResult>
OutboxMailService::runProcess(const std::vector<std::string>& argv, Output output) {
    if (argv.empty()) return std::nullopt;
    const bool capture = output == Output::captured;
    int out[2] = {-1, -1};
    if (capture && pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (capture)
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (capture) close(out[1]);
    if (rc != 0) {
        if (capture) close(out[0]);
        return std::nullopt;
    }
    ProcessResult result;
    int status = 0;
    bool reaped = false;
    if (capture) {
        // A program it starts may hold the pipe for as long as it runs itself: the program's own end
        // ends the reading, not the pipe's.
        const int ended = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        char buffer[4096];
        auto readSome = [&] {
            for (;;) {
                const ssize_t n = read(out[0], buffer, sizeof buffer);
                if (n > 0) {
                    result.output.append(buffer, static_cast<std::size_t>(n));
                    return true;
                }
                if (n < 0 && errno == EINTR) continue;
                return false;
            }
        };
        for (bool open = true; open;) {
            pollfd fds[2] = {{out[0], POLLIN, 0}, {ended, POLLIN, 0}};
            // Without a process descriptor (an old kernel) its end is looked for now and then.
            if (poll(fds, ended >= 0 ? 2 : 1, ended >= 0 ? -1 : 50) < 0 && errno != EINTR) break;
            if (fds[0].revents && !readSome()) break;
            const bool exited =
                ended >= 0 ? fds[1].revents != 0 : (reaped = waitpid(pid, &status, WNOHANG) == pid);
            if (exited) {
                // What it wrote before it ended is in the pipe already.
                fcntl(out[0], F_SETFL, O_NONBLOCK);
                for (int pieces = 0; pieces < 256 && readSome(); ++pieces) {
                }
                open = false;
            }
        }
        if (ended >= 0) close(ended);
        close(out[0]);
    }
    while (!reaped && waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return std::nullopt;
    // A program that the spawned child could not exec exits 127.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return std::nullopt;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

} // namespace platform
