#include "e2e/ChildProcess.hpp"

#include "e2e/Wait.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <stdexcept>

namespace hexora::e2e {

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                           const Environment& environment, const std::filesystem::path& workingDirectory,
                           const std::filesystem::path& logFile, int passedFd)
    : logFile_(logFile) {
    std::vector<std::string> argumentTexts{program.string()};
    argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& text : argumentTexts) argv.push_back(text.data());
    argv.push_back(nullptr);
    std::vector<std::string> environmentTexts;
    for (const auto& [name, value] : environment) environmentTexts.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& text : environmentTexts) envp.push_back(text.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (passedFd >= 0) posix_spawn_file_actions_adddup2(&actions, passedFd, 3);
    posix_spawn_file_actions_addclosefrom_np(&actions, passedFd >= 0 ? 4 : 3);
    posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int rc = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + program.string() + ": " + std::to_string(rc));
    }
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_), status_(other.status_), logFile_(std::move(other.logFile_)) {
    other.pid_ = -1;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !status_) kill();
}

bool ChildProcess::running() {
    if (pid_ <= 0 || status_) return false;
    int status = 0;
    const pid_t reaped = ::waitpid(pid_, &status, WNOHANG);
    if (reaped == pid_) status_ = status;
    // Reaped elsewhere: it has ended, its status is unknown.
    if (reaped < 0 && errno == ECHILD) status_ = -1;
    return !status_;
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds limit) {
    waitUntil([&] { return !running(); }, limit);
    return status_;
}

void ChildProcess::signal(int number) const {
    if (pid_ > 0 && !status_) ::kill(pid_, number);
}

void ChildProcess::kill() {
    if (pid_ <= 0 || status_) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    status_ = status;
}

std::string describeStatus(int status) {
    if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

}  // namespace hexora::e2e
