#pragma once
// The file domains of the update service: one nginx process, run as this
// process's own child with its own configuration below the state folder
// (never the system's service), serving the files folder over HTTPS on
// 127.0.0.1, one port per domain. The ports are bound here first and handed
// to nginx as inherited sockets, so no other process can take them between
// choosing and listening.
//
// Per domain "files-<n>" the switches of ServiceLayout are honoured on every
// request: "error" answers 503 with an HTML page, "close" closes the
// connection without a reply, "slow" sends at 2 MB/s, "hang" (every request)
// and "hang-update" (/update/... only) pass the request on to HeldRequests,
// which never answers.
//
// The nginx master gets SIGTERM when the thread that started it ends, so a
// killed service leaves no nginx behind.
//
// Thread: construct, stop and destroy on one thread, the same one.
// Failure: the constructor throws std::runtime_error when nginx is missing or
// does not come up (its error log is quoted).
#include "HeldRequests.hpp"
#include "ServiceLayout.hpp"

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace hexora::tools {

class NginxFileServer {
public:
    NginxFileServer(const ServiceLayout& layout, const std::filesystem::path& certFile,
                    const std::filesystem::path& keyFile, int domainCount);
    ~NginxFileServer();
    NginxFileServer(const NginxFileServer&) = delete;
    NginxFileServer& operator=(const NginxFileServer&) = delete;

    const std::vector<int>& ports() const { return ports_; }
    /// "https://127.0.0.1:<port>" per domain, in order.
    std::vector<std::string> urls() const;
    pid_t pid() const { return pid_; }
    void stop();

    /// The nginx program: $HEXORA_NGINX, else "nginx" on PATH, else /usr/sbin/nginx.
    static std::filesystem::path program();

private:
    std::string configuration(const std::filesystem::path& certFile, const std::filesystem::path& keyFile) const;
    void waitUntilServing();

    ServiceLayout layout_;
    std::unique_ptr<HeldRequests> held_;
    std::vector<int> sockets_;
    std::vector<int> ports_;
    pid_t pid_ = -1;
};

}  // namespace hexora::tools
