#include "workers/launcher/LBoot.hpp"

#include "engine/WorkerError.hpp"

namespace hexora::Worker::Launcher {

void LBoot::work() { throw WorkerError(WorkerError::Code::Failed, "LBoot", "not built yet"); }

}  // namespace hexora::Worker::Launcher
