#include "workers/launcher/LP22.hpp"

#include "engine/WorkerError.hpp"

namespace hexora::Worker::Launcher {

void LP22::work() { throw WorkerError(WorkerError::Code::Failed, "LP22", "not built yet"); }

}  // namespace hexora::Worker::Launcher
