#pragma once
// A local HTTPS server for tests: 127.0.0.1 on a free port, with a
// certificate of the test authority (TestCertificates), which it installs as
// the request layer's extra trusted authority. It plays the update API, the
// file server or the telemetry collector; several may run at once.
//
// A test scripts what each request gets: replies per method and path, a
// handler, or files from a folder. Every request is recorded. A request that
// matches nothing gets 404 and fails the test when the server goes away
// (unless taken with takeUnexpectedRequests()).
//
// Thread: set up routes from the test thread (also while requests run); the
// server answers on its own threads; every accessor is thread-safe. Handlers
// run on server threads. Destruction stops the server promptly, cutting
// delays, trickles and stalls short.
#include "support/server/RecordedRequest.hpp"
#include "support/server/ServerReply.hpp"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hexora::test {

class HttpsServer {
public:
    struct Config {
        /// false: present a certificate of an authority nobody trusts.
        bool trusted = true;
        /// Keep connections open between requests (the server then takes up
        /// to a second longer to stop while a client holds one idle).
        bool keepAlive = false;
    };
    using Handler = std::function<ServerReply(const RecordedRequest&)>;

    HttpsServer();
    explicit HttpsServer(Config config);
    ~HttpsServer();
    HttpsServer(const HttpsServer&) = delete;
    HttpsServer& operator=(const HttpsServer&) = delete;

    int port() const;
    /// "https://127.0.0.1:<port>", no slash at the end.
    std::string url() const;
    /// url() followed by `path` (which should start with "/").
    std::string url(const std::string& path) const;
    /// The test authority's PEM file.
    static std::string caFile();

    /// Answers `method` `path` with `reply`. Called again for the same route,
    /// the replies are used in order and the last one repeats.
    void on(const std::string& method, const std::string& path, ServerReply reply);
    /// Answers `method` `path` through `handler` (replaces earlier replies).
    void on(const std::string& method, const std::string& path, Handler handler);
    /// Serves GET `prefix` + relative path from the files below `folder`.
    void serveFolder(const std::string& prefix, const std::filesystem::path& folder);

    /// Every request received so far, in arrival order.
    std::vector<RecordedRequest> requests() const;
    /// The requests received for `path`.
    std::vector<RecordedRequest> requestsTo(const std::string& path) const;
    std::size_t requestCount() const;
    /// Waits until at least `count` requests arrived; false on timeout.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    /// Takes the requests that matched no route, so they do not fail the test.
    std::vector<RecordedRequest> takeUnexpectedRequests();

    /// Stops the server (also done by the destructor).
    void stop();

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

}  // namespace hexora::test
