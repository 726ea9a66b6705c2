#include "entries/ListPrintProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "entries/TextPDFExport.h"
#include "platform/foundation/RunLoop.h"
#include "platform/webkit/UIGraphicsPDF.h"

extern char** environ;

namespace quillora {

using namespace platform;

namespace {

std::mutex programMutex;
std::string printProgram;

// A file descriptor closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view bytes, bool socket) {
    while (!bytes.empty()) {
        // A print process that ended early closes its end: told as a failed write, not as SIGPIPE.
        const ssize_t n = socket ? send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)
                                 : write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

template <class Bytes> bool readAll(int fd, Bytes& into) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        into.insert(into.end(), buffer, buffer + n);
    }
}

// The program's environment without what names files of this process's own measures: the print
// process would write its own over them.
std::vector<char*> printEnvironment() {
    std::vector<char*> kept;
    for (char** e = environ; e && *e; ++e) {
        const std::string_view entry(*e);
        if (entry.starts_with("QUILLORA_FONT_LOCK_STATS=") || entry.starts_with("QUILLORA_FRAME_TIMES="))
            continue;
        kept.push_back(*e);
    }
    kept.push_back(nullptr);
    return kept;
}

} // namespace

void ListPrintProcess::useProgram(std::string program) {
    std::lock_guard lock(programMutex);
    printProgram = std::move(program);
}

std::shared_ptr<PDFData> ListPrintProcess::draw(const std::string& text) {
    std::string program;
    {
        std::lock_guard lock(programMutex);
        program = printProgram;
    }
    if (program.empty()) return drawListPDF(text);

    int input[2], output[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0) return drawListPDF(text);
    Descriptor toChild(input[0]), childInput(input[1]);
    if (pipe2(output, O_CLOEXEC) != 0) return drawListPDF(text);
    Descriptor fromChild(output[0]), childOutput(output[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childInput.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, childOutput.get(), STDOUT_FILENO);
    // The document is dated by this process's clock, which a script may have set.
    char wallTime[64];
    std::snprintf(wallTime, sizeof wallTime, "%.6f", RunLoop::main().wallTime());
    const std::string parent = std::to_string(getpid());
    std::vector<char*> argv{program.data(), const_cast<char*>(kArgument), const_cast<char*>(parent.c_str()),
                            wallTime, nullptr};
    auto environment = printEnvironment();
    pid_t child = -1;
    const int spawned =
        posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    // Where the program cannot be started again, the text is drawn here as before.
    if (spawned != 0) return drawListPDF(text);
    childInput.reset();
    childOutput.reset();

    // The print process reads the whole text before it writes anything.
    const bool sent = writeAll(toChild.get(), text, true);
    toChild.reset();
    std::vector<std::uint8_t> bytes;
    const bool received = readAll(fromChild.get(), bytes);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!sent || !received || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || bytes.empty()) return nullptr;
    auto pdf = std::make_shared<PDFData>();
    pdf->setData(std::move(bytes));
    return pdf;
}

int ListPrintProcess::serve(const std::vector<std::string>& args) {
    if (args.size() < 2) return 2;
    // Ends with the program that started it, even one killed outright; one that is gone already
    // has no use for the document.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (std::to_string(getppid()) != args[0]) return 1;
    char* end = nullptr;
    const double wallTime = std::strtod(args[1].c_str(), &end);
    if (end == args[1].c_str()) return 2;
    RunLoop::main().useVirtualClock(wallTime);
    std::string text;
    if (!readAll(STDIN_FILENO, text)) return 1;
    const auto pdf = drawListPDF(text);
    if (!pdf) return 1;
    const auto& bytes = pdf->bytes();
    return writeAll(STDOUT_FILENO, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}, false) ? 0
                                                                                                       : 1;
}

} // namespace quillora
