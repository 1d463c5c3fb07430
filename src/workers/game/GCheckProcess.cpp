#include "workers/game/GCheckProcess.hpp"

#include "engine/WorkerError.hpp"

namespace hexora::Worker::Hexora {

void GCheckProcess::work() { throw WorkerError(WorkerError::Code::Failed, "GCheckProcess", "not built yet"); }

}  // namespace hexora::Worker::Hexora
