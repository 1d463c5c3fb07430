#include "LauncherProcess.hpp"

#include "support/Eventually.hpp"
#include "support/TempDir.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>

namespace hexora::test {
namespace {

// The log file, emptied: the launcher's output alone.
const std::filesystem::path& emptied(const std::filesystem::path& logFile) {
    std::ofstream(logFile, std::ios::trunc);
    return logFile;
}

}  // namespace

LauncherProcess::LauncherProcess(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
                                 const std::map<std::string, std::string>& environment, std::filesystem::path logFile)
    : logFile_(std::move(logFile)),
      process_(executable, arguments, environmentWith(environment), std::filesystem::current_path(), emptied(logFile_)) {}

std::string LauncherProcess::log() const { return readFile(logFile_); }

bool LauncherProcess::waitForLog(const std::string& fragment, double seconds) {
    // Stops looking once the child has ended: its log is then complete.
    test::eventually([&] { return log().find(fragment) != std::string::npos || !process_.running(); }, seconds);
    return log().find(fragment) != std::string::npos;
}

void LauncherProcess::sendSignal(int signal) const { process_.signal(signal); }

std::optional<int> LauncherProcess::waitForExit(double seconds) {
    const auto status =
        process_.waitForExit(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::duration<double>(seconds)));
    if (!status || *status < 0) return status;
    return WIFEXITED(*status) ? WEXITSTATUS(*status) : 128 + WTERMSIG(*status);
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
