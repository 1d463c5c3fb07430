#include "workers/launcher/LPatch.hpp"

#include "engine/WorkerError.hpp"

namespace hexora::Worker::Launcher {

void LPatch::work() { throw WorkerError(WorkerError::Code::Failed, "LPatch", "not built yet"); }

}  // namespace hexora::Worker::Launcher
