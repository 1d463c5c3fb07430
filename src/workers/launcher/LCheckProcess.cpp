#include "workers/launcher/LCheckProcess.hpp"

#include "engine/WorkerError.hpp"

namespace hexora::Worker::Launcher {

void LCheckProcess::work() { throw WorkerError(WorkerError::Code::Failed, "LCheckProcess", "not built yet"); }

}  // namespace hexora::Worker::Launcher
