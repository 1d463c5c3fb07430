#include "services/api/ApiConfig.hpp"

namespace hexora::ApiConfig {

void resetToDefaults() {
    Common::urlRetryCount = Common::DefaultUrlRetryCount;
    Common::webTimeoutSec = Common::DefaultWebTimeoutSec;
    Download::timeoutSec = Download::DefaultTimeoutSec;
}

}  // namespace hexora::ApiConfig
