#include "workers/game/GP22.hpp"

#include "engine/WorkerError.hpp"

namespace hexora::Worker::Hexora {

void GP22::work() { throw WorkerError(WorkerError::Code::Failed, "GP22", "not built yet"); }

}  // namespace hexora::Worker::Hexora
