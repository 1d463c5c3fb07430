#include "workers/launcher/LLoadAppConfig.hpp"

#include "services/api/Api.hpp"
#include "services/api/ApiConfig.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/api/AppConfig.hpp"
#include "services/internal/Log.hpp"

#include <exception>
#include <optional>

namespace hexora::Worker::Launcher {
namespace {

std::optional<AppConfig> parse(const std::string& text) {
    try {
        return AppConfig(CSV(text), LLoadAppConfig::Column);
    } catch (const std::exception& error) {
        Log::error(std::string("LLoadAppConfig: failed to parse app config csv: ") + error.what());
    }
    return std::nullopt;
}

void apply(const AppConfig& config) {
    ApiConfig::Common::webTimeoutSec = static_cast<double>(config.timeoutSecWeb());
    ApiConfig::Download::timeoutSec = static_cast<double>(config.timeoutSecWebDownload());
    ApiConfig::Common::urlRetryCount = config.urlRetryCountWeb();
    if (const auto apiList = ApiDomains::apiList()) apiList->replaceUrls(config.api2urls());
}

}  // namespace

void LLoadAppConfig::work() {
    Log::info("Loading app config...");
    const auto fileList = ApiDomains::fileList();
    if (!fileList) {
        Log::error("LLoadAppConfig: failed to get cdn urls");
        return;
    }
    std::vector<std::string> uris;
    for (const auto& base : fileList->urls()) uris.push_back(base + TablePath);

    const auto text = Api::getText(uris, ApiConfig::Common::webTimeoutSec, [this] { return isCancelled(); });
    if (!text) {
        Log::error("LLoadAppConfig: failed to get app config from cdn");
        return;
    }
    if (const auto config = parse(*text)) apply(*config);
}

}  // namespace hexora::Worker::Launcher
