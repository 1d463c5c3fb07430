#include "support/server/HttpsServer.hpp"

#include "services/http/TrustedCertificates.hpp"
#include "support/server/TestCertificates.hpp"

#include <httplib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <thread>

namespace hexora::test {
namespace {
constexpr std::size_t FileChunkBytes = 64 * 1024;

struct Route {
    std::deque<ServerReply> replies;
    HttpsServer::Handler handler;
};

RecordedRequest record(const httplib::Request& request) {
    RecordedRequest recorded;
    recorded.method = request.method;
    recorded.path = request.path;
    recorded.target = request.target;
    for (const auto& [name, value] : request.headers) recorded.headers.push_back({name, value});
    recorded.body = request.body;
    return recorded;
}

std::string contentTypeOf(const std::filesystem::path& file) {
    const auto extension = file.extension().string();
    if (extension == ".json") return "application/json";
    if (extension == ".txt" || extension == ".csv") return "text/plain";
    return "application/octet-stream";
}
}  // namespace

struct HttpsServer::Impl {
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    bool stopping = false;
    std::map<std::pair<std::string, std::string>, Route> routes;
    std::vector<std::pair<std::string, std::filesystem::path>> folders;
    std::vector<RecordedRequest> received;
    std::vector<RecordedRequest> unexpected;

    // Waits up to `seconds`; false when the server is stopping.
    bool pause(double seconds) {
        std::unique_lock lock(mutex);
        return !changed.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return stopping; });
    }
    void waitForStop() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stopping; });
    }

    void handle(const httplib::Request& request, httplib::Response& response);
    std::optional<ServerReply> scriptedReply(const RecordedRequest& request);
    bool serveFile(const RecordedRequest& request, httplib::Response& response);
    void send(const ServerReply& reply, httplib::Response& response);
    void sendEndless(const ServerReply& reply, const std::string& contentType, httplib::Response& response);
};

void HttpsServer::Impl::handle(const httplib::Request& request, httplib::Response& response) {
    const RecordedRequest recorded = record(request);
    {
        std::lock_guard lock(mutex);
        received.push_back(recorded);
    }
    changed.notify_all();

    if (auto reply = scriptedReply(recorded)) {
        if (reply->delayBeforeHeadersSec > 0 && !pause(reply->delayBeforeHeadersSec)) {
            response.status = 503;
            return;
        }
        send(*reply, response);
        return;
    }
    if (serveFile(recorded, response)) return;
    {
        std::lock_guard lock(mutex);
        unexpected.push_back(recorded);
    }
    response.status = 404;
    response.set_content("no route for " + recorded.method + " " + recorded.path, "text/plain");
}

std::optional<ServerReply> HttpsServer::Impl::scriptedReply(const RecordedRequest& request) {
    Handler handler;
    {
        std::lock_guard lock(mutex);
        auto found = routes.find({request.method, request.path});
        if (found == routes.end() && request.method == "HEAD") found = routes.find({"GET", request.path});
        if (found == routes.end()) return std::nullopt;
        Route& route = found->second;
        if (!route.handler) {
            ServerReply reply = route.replies.front();
            if (route.replies.size() > 1) route.replies.pop_front();
            return reply;
        }
        handler = route.handler;
    }
    return handler(request);
}

bool HttpsServer::Impl::serveFile(const RecordedRequest& request, httplib::Response& response) {
    if (request.method != "GET" && request.method != "HEAD") return false;
    std::filesystem::path file;
    {
        std::lock_guard lock(mutex);
        for (const auto& [prefix, folder] : folders) {
            if (request.path.rfind(prefix, 0) != 0) continue;
            const std::filesystem::path relative = std::filesystem::path(request.path.substr(prefix.size())).relative_path();
            const auto candidate = (folder / relative).lexically_normal();
            const auto inside = std::mismatch(folder.begin(), folder.end(), candidate.begin(), candidate.end());
            if (inside.first == folder.end() && std::filesystem::is_regular_file(candidate)) {
                file = candidate;
                break;
            }
        }
    }
    if (file.empty()) return false;
    auto stream = std::make_shared<std::ifstream>(file, std::ios::binary);
    const auto size = static_cast<std::size_t>(std::filesystem::file_size(file));
    response.status = 200;
    response.set_content_provider(size, contentTypeOf(file),
                                  [stream](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                      std::vector<char> buffer(std::min(length, FileChunkBytes));
                                      stream->seekg(static_cast<std::streamoff>(offset));
                                      stream->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
                                      const auto got = static_cast<std::size_t>(stream->gcount());
                                      if (got == 0) return false;
                                      return sink.write(buffer.data(), got);
                                  });
    return true;
}

void HttpsServer::Impl::send(const ServerReply& reply, httplib::Response& response) {
    response.status = reply.status;
    std::string contentType = reply.contentType;
    for (const auto& header : reply.headers) {
        if (header.name == "Content-Type" || header.name == "content-type") {
            contentType = header.value;
        } else {
            response.headers.emplace(header.name, header.value);
        }
    }
    if (reply.endless) {
        sendEndless(reply, contentType, response);
        return;
    }
    if (reply.announcedLength) {
        response.set_header("Content-Length", std::to_string(*reply.announcedLength));
        auto body = std::make_shared<std::string>(reply.body);
        response.set_chunked_content_provider(contentType, [body](std::size_t, httplib::DataSink& sink) {
            if (!sink.write(body->data(), body->size())) return false;
            sink.done();
            return true;
        });
        return;
    }
    const bool plain = reply.trickleBytes == 0 && !reply.dropAfterBytes && !reply.stallAfterBytes;
    if (plain) {
        response.set_content(reply.body, contentType);
        return;
    }
    auto body = std::make_shared<std::string>(reply.body);
    response.set_content_provider(
        body->size(), contentType,
        [this, body, reply](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            std::size_t end = offset + (reply.trickleBytes ? std::min(length, reply.trickleBytes) : length);
            if (reply.dropAfterBytes) {
                if (offset >= *reply.dropAfterBytes) return false;
                end = std::min(end, *reply.dropAfterBytes);
            }
            if (reply.stallAfterBytes) {
                if (offset >= *reply.stallAfterBytes) {
                    waitForStop();
                    return false;
                }
                end = std::min(end, *reply.stallAfterBytes);
            }
            if (offset > 0 && reply.trickleBytes && reply.trickleIntervalSec > 0 && !pause(reply.trickleIntervalSec)) {
                return false;
            }
            return sink.write(body->data() + offset, end - offset);
        });
}

void HttpsServer::Impl::sendEndless(const ServerReply& reply, const std::string& contentType,
                                    httplib::Response& response) {
    auto body = std::make_shared<std::string>(reply.body.empty() ? std::string(FileChunkBytes, 'e') : reply.body);
    response.set_content_provider(contentType, [this, body](std::size_t, httplib::DataSink& sink) {
        {
            std::lock_guard lock(mutex);
            if (stopping) return false;
        }
        return sink.write(body->data(), body->size());
    });
}

HttpsServer::HttpsServer() : HttpsServer(Config{}) {}

HttpsServer::HttpsServer(Config config) : impl_(std::make_shared<Impl>()) {
    const auto& certificates = TestCertificates::instance();
    Http::TrustedCertificates::setExtraCaFile(certificates.caFile());
    const std::string& cert = config.trusted ? certificates.certFile() : certificates.untrustedCertFile();
    const std::string& key = config.trusted ? certificates.keyFile() : certificates.untrustedKeyFile();
    impl_->server = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
    auto& server = *impl_->server;
    server.new_task_queue = [] { return new httplib::ThreadPool(32); };
    server.set_payload_max_length(std::numeric_limits<std::size_t>::max());
    if (config.keepAlive) {
        server.set_keep_alive_timeout(1);
    } else {
        server.set_keep_alive_max_count(1);
    }
    Impl* impl = impl_.get();
    const httplib::Server::Handler handler = [impl](const httplib::Request& request, httplib::Response& response) {
        impl->handle(request, response);
    };
    server.Get(".*", handler);
    server.Post(".*", handler);
    server.Put(".*", handler);
    server.Patch(".*", handler);
    server.Delete(".*", handler);
    server.Options(".*", handler);

    impl_->port = server.bind_to_any_port("127.0.0.1");
    if (impl_->port <= 0) throw std::runtime_error("test server: no port");
    impl_->thread = std::thread([impl] { impl->server->listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!server.is_running()) {
        if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("test server: did not start");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

HttpsServer::~HttpsServer() {
    stop();
    for (const auto& request : takeUnexpectedRequests()) {
        ADD_FAILURE() << "test server on port " << impl_->port << " got an unexpected request: " << request.method << " "
                      << request.target;
    }
}

void HttpsServer::stop() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->changed.notify_all();
    if (impl_->thread.joinable()) {
        impl_->server->stop();
        impl_->thread.join();
    }
}

int HttpsServer::port() const { return impl_->port; }

std::string HttpsServer::url() const { return "https://127.0.0.1:" + std::to_string(impl_->port); }

std::string HttpsServer::url(const std::string& path) const { return url() + path; }

std::string HttpsServer::caFile() { return TestCertificates::instance().caFile(); }

void HttpsServer::on(const std::string& method, const std::string& path, ServerReply reply) {
    std::lock_guard lock(impl_->mutex);
    Route& route = impl_->routes[{method, path}];
    if (route.handler) {
        route.handler = nullptr;
        route.replies.clear();
    }
    route.replies.push_back(std::move(reply));
}

void HttpsServer::on(const std::string& method, const std::string& path, Handler handler) {
    std::lock_guard lock(impl_->mutex);
    Route& route = impl_->routes[{method, path}];
    route.replies.clear();
    route.handler = std::move(handler);
}

void HttpsServer::serveFolder(const std::string& prefix, const std::filesystem::path& folder) {
    std::lock_guard lock(impl_->mutex);
    impl_->folders.emplace_back(prefix, std::filesystem::absolute(folder).lexically_normal());
}

std::vector<RecordedRequest> HttpsServer::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->received;
}

std::vector<RecordedRequest> HttpsServer::requestsTo(const std::string& path) const {
    std::lock_guard lock(impl_->mutex);
    std::vector<RecordedRequest> matching;
    for (const auto& request : impl_->received) {
        if (request.path == path) matching.push_back(request);
    }
    return matching;
}

std::size_t HttpsServer::requestCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->received.size();
}

bool HttpsServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->received.size() >= count; });
}

std::vector<RecordedRequest> HttpsServer::takeUnexpectedRequests() {
    std::lock_guard lock(impl_->mutex);
    std::vector<RecordedRequest> taken;
    taken.swap(impl_->unexpected);
    return taken;
}

}  // namespace hexora::test
