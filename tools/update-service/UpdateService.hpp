#pragma once
// The local update service of the demo and the end-to-end tests, everything
// on 127.0.0.1 over HTTPS with a certificate authority made at start:
//   - two file domains (nginx, NginxFileServer) serving the files folder:
//     /update/<hash>/..., /config/hexora_config.csv, /config/maintenance.txt;
//   - two update API domains answering POST /conf from conf.json (ConfAnswers);
//   - the telemetry collector, keeping each batch as a file (CollectorStore).
// Where everything lives: ServiceLayout. Misbehaviour: setMode().
//
// Thread: construct, stop and destroy on one thread (the nginx child is tied
// to it); the accessors and setMode() from any thread.
// Failure: the constructor throws std::runtime_error when a part cannot start.
#include "ServiceLayout.hpp"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace hexora::tools {

class HttpsDomain;
class NginxFileServer;
class RequestLog;
class ConfAnswers;
class CollectorStore;
class ServiceCertificates;

class UpdateService {
public:
    explicit UpdateService(const ServiceLayout& layout);
    ~UpdateService();
    UpdateService(const UpdateService&) = delete;
    UpdateService& operator=(const UpdateService&) = delete;

    const ServiceLayout& layout() const { return layout_; }
    std::vector<std::string> apiUrls() const;
    std::vector<std::string> fileUrls() const;
    /// The collector root, ending in "/".
    std::string rumUrl() const;
    std::filesystem::path caFile() const;

    /// The launcher's endpoint variables: HEXORA_API_URLS, HEXORA_FILE_URLS,
    /// HEXORA_RUM_URL, HEXORA_CA_FILE.
    std::vector<std::pair<std::string, std::string>> environment() const;

    /// Switches `mode` of `domain` on or off (see ServiceLayout); a switch
    /// put on holds `value` (the "trickle" time).
    void setMode(const std::string& domain, const std::string& mode, bool on, const std::string& value = "") const;

    void stop();

private:
    void writeEnvFile() const;

    ServiceLayout layout_;
    std::unique_ptr<ServiceCertificates> certificates_;
    std::unique_ptr<RequestLog> requestLog_;
    std::unique_ptr<ConfAnswers> answers_;
    std::unique_ptr<CollectorStore> collector_;
    std::vector<std::unique_ptr<HttpsDomain>> apis_;
    std::unique_ptr<HttpsDomain> collectorDomain_;
    std::unique_ptr<NginxFileServer> files_;
};

}  // namespace hexora::tools
