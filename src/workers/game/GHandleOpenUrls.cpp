#include "workers/game/GHandleOpenUrls.hpp"

#include "engine/WorkerError.hpp"

namespace hexora::Worker::Hexora {

void GHandleOpenUrls::work() { throw WorkerError(WorkerError::Code::Failed, "GHandleOpenUrls", "not built yet"); }

}  // namespace hexora::Worker::Hexora
