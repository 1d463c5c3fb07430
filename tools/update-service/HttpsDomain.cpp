#include "HttpsDomain.hpp"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

namespace hexora::tools {
namespace {
// A request held by the "hang" switch is let go at the latest after this
// long, so that a forgotten switch cannot keep a server thread for ever.
constexpr auto LongestHang = std::chrono::seconds(180);

const char* const UnavailablePage =
    "<html><head><title>503 Service Temporarily Unavailable</title></head>"
    "<body><h1>503 Service Temporarily Unavailable</h1></body></html>";
}

HttpsDomain::HttpsDomain(std::string name, const ServiceLayout& layout, const std::filesystem::path& certFile,
                         const std::filesystem::path& keyFile, Handler handler)
    : name_(std::move(name)), layout_(layout), handler_(std::move(handler)),
      server_(std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())) {
    if (!server_->is_valid()) throw std::runtime_error("update service: " + name_ + ": bad certificate");
    auto serve = [this](const httplib::Request& request, httplib::Response& response) {
        std::error_code ignored;
        holdWhileHanging();
        if (std::filesystem::exists(layout_.modeFile(name_, "error"), ignored)) {
            response.status = 503;
            response.set_content(UnavailablePage, "text/html");
            return;
        }
        handler_(request, response);
    };
    server_->Get(".*", serve);
    server_->Post(".*", serve);
    server_->Put(".*", serve);
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("update service: " + name_ + ": no port");
    thread_ = std::thread([server = server_.get()] { server->listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server_->is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

HttpsDomain::~HttpsDomain() { stop(); }

void HttpsDomain::holdWhileHanging() const {
    const auto hang = layout_.modeFile(name_, "hang");
    const auto deadline = std::chrono::steady_clock::now() + LongestHang;
    std::error_code ignored;
    while (!stopping_ && std::filesystem::exists(hang, ignored) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string HttpsDomain::url() const { return "https://127.0.0.1:" + std::to_string(port_); }

void HttpsDomain::stop() {
    stopping_ = true;
    if (server_) server_->stop();
    if (thread_.joinable()) thread_.join();
}

}  // namespace hexora::tools
