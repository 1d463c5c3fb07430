#include "LauncherProcess.hpp"

#include "support/Eventually.hpp"
#include "support/TempDir.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

extern char** environ;

namespace hexora::test {
namespace {

std::vector<std::string> mergedEnvironment(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text(*entry);
        const auto name = text.substr(0, text.find('='));
        if (!changes.count(name)) entries.push_back(text);
    }
    for (const auto& [name, value] : changes)
        if (!value.empty()) entries.push_back(name + "=" + value);
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> out;
    for (auto& text : texts) out.push_back(text.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

LauncherProcess::LauncherProcess(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
                                 const std::map<std::string, std::string>& environment, std::filesystem::path logFile)
    : logFile_(std::move(logFile)) {
    std::vector<std::string> argv{executable.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto envp = mergedEnvironment(environment);
    auto argvPointers = pointers(argv);
    auto envPointers = pointers(envp);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int failed =
        ::posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argvPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed) throw std::runtime_error("cannot start " + executable.string() + ": " + std::strerror(failed));
}

LauncherProcess::~LauncherProcess() {
    if (reap(false)) return;
    ::kill(pid_, SIGKILL);
    reap(true);
}

bool LauncherProcess::reap(bool block) {
    if (status_) return true;
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    if (done != pid_) return false;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

std::string LauncherProcess::log() const { return readFile(logFile_); }

bool LauncherProcess::waitForLog(const std::string& fragment, double seconds) {
    // Stops looking once the child has ended: its log is then complete.
    test::eventually([&] { return log().find(fragment) != std::string::npos || reap(false); }, seconds);
    return log().find(fragment) != std::string::npos;
}

void LauncherProcess::sendSignal(int signal) const {
    if (!status_) ::kill(pid_, signal);
}

std::optional<int> LauncherProcess::waitForExit(double seconds) {
    if (!test::eventually([&] { return reap(false); }, seconds)) return std::nullopt;
    return status_;
}

RefusingPort::RefusingPort() {
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("RefusingPort: cannot bind");
    port_ = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort() {
    if (socket_ >= 0) ::close(socket_);
}

std::string RefusingPort::url() const { return "https://127.0.0.1:" + std::to_string(port_); }

}  // namespace hexora::test
