#include "HeldRequests.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <string>

namespace hexora::tools {
namespace {
constexpr int PollMs = 50;
constexpr std::size_t HeadLimit = 8192;

// What arrived of the request's head, read until its first line is complete
// (or the limit, or a quiet second).
std::string requestLine(int connection) {
    std::string head;
    char buffer[1024];
    while (head.find('\n') == std::string::npos && head.size() < HeadLimit) {
        pollfd readable{connection, POLLIN, 0};
        if (::poll(&readable, 1, 1000) <= 0) break;
        const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    const auto end = head.find_first_of("\r\n");
    return end == std::string::npos ? head : head.substr(0, end);
}
}  // namespace

HeldRequests::HeldRequests(std::filesystem::path log) : log_(std::move(log)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) throw std::runtime_error("update service: socket for held requests");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 511) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener_);
        throw std::runtime_error("update service: cannot listen for held requests");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

HeldRequests::~HeldRequests() { stop(); }

void HeldRequests::serve() {
    while (!stopping_) {
        pollfd incoming{listener_, POLLIN, 0};
        if (::poll(&incoming, 1, PollMs) <= 0) continue;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) hold(connection);
    }
}

void HeldRequests::hold(int connection) {
    const std::string line = requestLine(connection);
    std::ofstream(log_, std::ios::app) << line << "\n";
    held_.push_back(connection);
}

void HeldRequests::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    for (const int connection : held_) ::close(connection);
    held_.clear();
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
}

}  // namespace hexora::tools
