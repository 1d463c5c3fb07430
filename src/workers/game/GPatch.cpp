#include "workers/game/GPatch.hpp"

#include "engine/WorkerError.hpp"

namespace hexora::Worker::Hexora {

void GPatch::work() { throw WorkerError(WorkerError::Code::Failed, "GPatch", "not built yet"); }

}  // namespace hexora::Worker::Hexora
