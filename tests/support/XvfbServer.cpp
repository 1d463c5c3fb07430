#include "support/XvfbServer.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

extern char** environ;

namespace hexora::test {
namespace {

std::optional<std::filesystem::path> findProgram(const std::string& name) {
    for (const char* folder : {"/usr/bin", "/usr/local/bin", "/bin"}) {
        const auto candidate = std::filesystem::path(folder) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Reads the display number Xvfb writes to `fd` once it accepts clients; empty
// when it ended or said nothing within 30 s.
std::string readDisplayNumber(int fd) {
    std::string number;
    pollfd watched{fd, POLLIN, 0};
    while (::poll(&watched, 1, 30000) > 0) {
        char c = 0;
        if (::read(fd, &c, 1) != 1) break;
        if (c == '\n') return number;
        number += c;
    }
    return "";
}

}  // namespace

std::optional<std::string> runTool(const std::vector<std::string>& command) {
    const auto program = findProgram(command.at(0));
    if (!program) return std::nullopt;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
    std::vector<std::string> texts = command;
    texts[0] = program->string();
    std::vector<char*> argv;
    for (auto& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        return std::nullopt;
    }
    std::string output;
    std::array<char, 4096> buffer{};
    for (ssize_t count; (count = ::read(pipeFds[0], buffer.data(), buffer.size())) > 0;) output.append(buffer.data(), count);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return output;
}

XvfbServer::XvfbServer(const std::filesystem::path& logFile) {
    const auto xvfb = findProgram("Xvfb");
    if (!xvfb) return;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return;
    ::fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
    ChildProcess::Environment environment;
    if (const char* path = std::getenv("PATH")) environment["PATH"] = path;
    std::error_code error;
    const auto folder = logFile.empty() ? std::filesystem::current_path(error) : logFile.parent_path();
    process_ = std::make_unique<ChildProcess>(
        *xvfb, std::vector<std::string>{"-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1024x768x24", "-noreset"},
        environment, folder, logFile.empty() ? std::filesystem::path("/dev/null") : logFile, pipeFds[1]);
    ::close(pipeFds[1]);
    const auto number = readDisplayNumber(pipeFds[0]);
    ::close(pipeFds[0]);
    if (number.empty()) {
        process_.reset();
        return;
    }
    display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
    if (process_) {
        process_->signal(SIGTERM);
        if (!process_->waitForExit(std::chrono::seconds(5))) process_->kill();
    }
}

bool XvfbServer::hasWindow(const std::string& title) const {
    const auto info = describeWindow("xwininfo", title);
    return info && info->find("IsViewable") != std::string::npos;
}

bool XvfbServer::screenshot(const std::filesystem::path& png) const {
    if (!available()) return false;
    std::error_code error;
    std::filesystem::create_directories(png.parent_path(), error);
    return runTool({"import", "-display", display_, "-window", "root", png.string()}).has_value() &&
           std::filesystem::exists(png, error);
}

std::optional<std::string> XvfbServer::describeWindow(const std::string& tool, const std::string& title,
                                                      const std::string& arguments) const {
    if (!available()) return std::nullopt;
    return runTool({"sh", "-c", tool + " -display " + display_ + " -name " + quoted(title) + " " + arguments});
}

int XvfbServer::colourCount(const std::filesystem::path& png) {
    const auto output = runTool({"identify", "-format", "%k", png.string()});
    if (!output) return 0;
    try {
        return std::stoi(*output);
    } catch (...) {
        return 0;
    }
}

}  // namespace hexora::test
