#include "support/XvfbServer.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace hexora::test {
namespace {
// Runs `command` through the shell and returns its standard output and exit status.
std::pair<std::string, int> capture(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {"", -1};
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    const int status = ::pclose(pipe);
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Reads the display number Xvfb writes to `fd` once it accepts clients.
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

XvfbServer::XvfbServer() {
    int ends[2];
    if (::pipe(ends) != 0) throw std::runtime_error("XvfbServer: pipe failed");
    const std::string fd = std::to_string(ends[1]);
    std::vector<std::string> arguments{"Xvfb", "-displayfd", fd, "-screen", "0", "1024x768x24", "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int failed = ::posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (failed) {
        ::close(ends[0]);
        throw std::runtime_error("XvfbServer: cannot start Xvfb");
    }
    pid_ = pid;
    const auto number = readDisplayNumber(ends[0]);
    ::close(ends[0]);
    if (number.empty()) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        throw std::runtime_error("XvfbServer: Xvfb did not report a display");
    }
    display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
}

bool XvfbServer::screenshot(const std::filesystem::path& png) const {
    const auto [output, status] =
        capture("import -display " + display_ + " -window root " + quoted(png.string()) + " 2>&1");
    return status == 0 && std::filesystem::exists(png);
}

std::optional<std::string> XvfbServer::describeWindow(const std::string& tool, const std::string& title,
                                                      const std::string& arguments) const {
    const auto [output, status] =
        capture(tool + " -display " + display_ + " -name " + quoted(title) + " " + arguments + " 2>/dev/null");
    if (status != 0) return std::nullopt;
    return output;
}

int XvfbServer::colourCount(const std::filesystem::path& png) {
    const auto [output, status] = capture("identify -format '%k' " + quoted(png.string()) + " 2>/dev/null");
    if (status != 0) return 0;
    try {
        return std::stoi(output);
    } catch (...) {
        return 0;
    }
}

}  // namespace hexora::test
