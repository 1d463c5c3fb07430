#pragma once
// One HTTPS domain of the update service played by the project's own server:
// 127.0.0.1 on a free port, the run's server certificate, one handler for
// every request. Before the handler runs, the domain's "error" switch
// (ServiceLayout::modeFile(name, "error")) is looked at: when the file exists
// the request gets 503 with an HTML page, as a failing front end would send.
// Before that, the "hang" switch holds a request unanswered for as long as
// its file exists (at most 180 s, and never past stop()): a server that
// accepts connections and never answers.
//
// Thread: construct and stop on one thread; the handler runs on server threads.
// Failure: the constructor throws std::runtime_error when no port can be bound.
#include "ServiceLayout.hpp"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class SSLServer;
struct Request;
struct Response;
}  // namespace httplib

namespace hexora::tools {

class HttpsDomain {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    HttpsDomain(std::string name, const ServiceLayout& layout, const std::filesystem::path& certFile,
                const std::filesystem::path& keyFile, Handler handler);
    ~HttpsDomain();
    HttpsDomain(const HttpsDomain&) = delete;
    HttpsDomain& operator=(const HttpsDomain&) = delete;

    const std::string& name() const { return name_; }
    int port() const { return port_; }
    /// "https://127.0.0.1:<port>", no slash at the end.
    std::string url() const;
    void stop();

private:
    void holdWhileHanging() const;

    std::string name_;
    ServiceLayout layout_;
    Handler handler_;
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
};

}  // namespace hexora::tools
