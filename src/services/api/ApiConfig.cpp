#include "services/api/ApiConfig.hpp"

namespace hexora::ApiConfig {

void resetToDefaults() {
    Common::urlRetryCount = Common::DefaultUrlRetryCount;
    Common::webTimeoutSec = Common::DefaultWebTimeoutSec;
    MaintenanceNotice::timeoutSec = MaintenanceNotice::DefaultTimeoutSec;
}

}  // namespace hexora::ApiConfig
