#include "services/http/HttpClient.hpp"

#include "services/http/CurlTransfer.hpp"

namespace hexora::Http {

Result get(const std::string& url, const Options& options) { return CurlTransfer("GET", url, options).run(); }

Result post(const std::string& url, const std::string& body, const Options& options) {
    CurlTransfer transfer("POST", url, options);
    transfer.setBody(&body);
    return transfer.run();
}

Result put(const std::string& url, const std::string& body, const Options& options) {
    CurlTransfer transfer("PUT", url, options);
    transfer.setBody(&body);
    return transfer.run();
}

Result download(const std::string& url, const std::filesystem::path& file, const Options& options,
                const DownloadProgress& progress) {
    CurlTransfer transfer("GET", url, options);
    transfer.setDownload(file, progress);
    return transfer.run();
}

}  // namespace hexora::Http
