#include "workers/common/GunzipThread.hpp"

#include "workers/common/CGunzip.hpp"
#include "workers/common/MultiFileWorker.hpp"

namespace hexora::Worker::Common {

void GunzipThread::main() {
    MultiFile::drainJobs<GunzipUnit>(gunzipper.jobs, [](const std::shared_ptr<GunzipUnit>& unit) { unit->gunzip(); });
}

}  // namespace hexora::Worker::Common
