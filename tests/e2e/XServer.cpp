#include "e2e/XServer.hpp"

#include "e2e/Wait.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace hexora::e2e {
namespace {

std::optional<std::filesystem::path> findProgram(const std::string& name) {
    for (const char* folder : {"/usr/bin", "/usr/local/bin", "/bin"}) {
        const auto candidate = std::filesystem::path(folder) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
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

XServer::XServer(const std::filesystem::path& logFile) {
    const auto xvfb = findProgram("Xvfb");
    if (!xvfb) return;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return;
    ::fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
    ChildProcess::Environment environment;
    if (const char* path = std::getenv("PATH")) environment["PATH"] = path;
    process_ = std::make_unique<ChildProcess>(
        *xvfb, std::vector<std::string>{"-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1024x768x24", "-noreset"},
        environment, logFile.parent_path(), logFile, pipeFds[1]);
    ::close(pipeFds[1]);
    std::string number;
    char character = 0;
    // Xvfb writes the display number and a line end once it accepts clients.
    while (::read(pipeFds[0], &character, 1) == 1 && character != '\n') number += character;
    ::close(pipeFds[0]);
    if (number.empty()) {
        process_.reset();
        return;
    }
    display_ = ":" + number;
}

XServer::~XServer() {
    if (process_) {
        process_->signal(SIGTERM);
        if (!process_->waitForExit(std::chrono::seconds(5))) process_->kill();
    }
}

bool XServer::hasWindow(const std::string& title) const {
    if (!available()) return false;
    const auto info = runTool({"xwininfo", "-display", display_, "-name", title});
    return info && info->find("IsViewable") != std::string::npos;
}

bool XServer::screenshot(const std::filesystem::path& file) const {
    if (!available()) return false;
    std::filesystem::create_directories(file.parent_path());
    return runTool({"import", "-display", display_, "-window", "root", file.string()}).has_value();
}

}  // namespace hexora::e2e
