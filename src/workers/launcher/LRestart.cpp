#include "workers/launcher/LRestart.hpp"

#include "engine/WorkerError.hpp"

namespace hexora::Worker::Launcher {

void LRestart::work() { throw WorkerError(WorkerError::Code::Failed, "LRestart", "not built yet"); }

}  // namespace hexora::Worker::Launcher
