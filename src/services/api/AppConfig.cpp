#include "services/api/AppConfig.hpp"

namespace hexora {

AppConfig::AppConfig(const CSV& table, const std::string& column)
    : _timeoutSecWeb(table.getInt(column, "timeout_sec_web")),
      _timeoutSecWebUpload(table.getInt(column, "timeout_sec_web_upload")),
      _timeoutSecWebDownload(table.getInt(column, "timeout_sec_web_download")),
      _urlRetryCountWeb(table.getInt(column, "url_retry_count_web")),
      _api2urls(table.getStrings(column, "url_api2")) {}

}  // namespace hexora
