#include "workers/launcher/LLoadAppConfig.hpp"

#include "engine/WorkerError.hpp"

namespace hexora::Worker::Launcher {

void LLoadAppConfig::work() { throw WorkerError(WorkerError::Code::Failed, "LLoadAppConfig", "not built yet"); }

}  // namespace hexora::Worker::Launcher
