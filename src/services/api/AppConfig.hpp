#pragma once
// The remote configuration's values, read from the configuration table
// (CSV, key column "Key") in one value column:
//
//   "timeout_sec_web"           integer seconds  -> timeoutSecWeb()
//   "timeout_sec_web_upload"    integer seconds  -> timeoutSecWebUpload() (read, applied nowhere)
//   "timeout_sec_web_download"  integer seconds  -> timeoutSecWebDownload()
//   "url_retry_count_web"       integer          -> urlRetryCountWeb()
//   "url_api2"                  JSON array of texts (API base URLs) -> api2urls()
//
// All or nothing: the constructor throws the first failure of the table
// lookups (CSV::getInt, CSV::getStrings) and no partial record exists.
//
// Thread: a plain value; any thread.
#include "services/internal/CSV.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace hexora {

class AppConfig {
public:
    /// Reads the five keys in the order above from `column` of `table`.
    /// Throws ServiceError, or the JSON library's exception for a list cell
    /// that is not an array of texts.
    AppConfig(const CSV& table, const std::string& column);

    std::int64_t timeoutSecWeb() const { return _timeoutSecWeb; }
    std::int64_t timeoutSecWebUpload() const { return _timeoutSecWebUpload; }
    std::int64_t timeoutSecWebDownload() const { return _timeoutSecWebDownload; }
    std::int64_t urlRetryCountWeb() const { return _urlRetryCountWeb; }
    const std::vector<std::string>& api2urls() const { return _api2urls; }

private:
    std::int64_t _timeoutSecWeb;
    std::int64_t _timeoutSecWebUpload;
    std::int64_t _timeoutSecWebDownload;
    std::int64_t _urlRetryCountWeb;
    std::vector<std::string> _api2urls;
};

}  // namespace hexora
