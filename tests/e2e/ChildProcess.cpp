#include "e2e/ChildProcess.hpp"

#include "e2e/Wait.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

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

    // fork and exec rather than posix_spawn: the child is to die with this
    // test (SIGKILL when the test's thread ends, also when ctest kills a test
    // that ran out of time), so no launcher, X server or stand-in outlives it.
    // Between fork and exec only async-signal-safe calls.
    const pid_t parent = ::getpid();
    const int firstToClose = passedFd >= 0 ? 4 : 3;
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("cannot start " + program.string() + ": fork failed");
    if (pid_ == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        const int input = ::open("/dev/null", O_RDONLY);
        const int output = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (input < 0 || output < 0) ::_exit(127);
        if (::dup2(input, 0) < 0 || ::dup2(output, 1) < 0 || ::dup2(output, 2) < 0) ::_exit(127);
        if (passedFd >= 0 && ::dup2(passedFd, 3) < 0) ::_exit(127);
        ::close_range(firstToClose, ~0U, 0);
        if (::chdir(workingDirectory.c_str()) != 0) ::_exit(127);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int number = 1; number < NSIG; ++number) ::signal(number, SIG_DFL);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
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
