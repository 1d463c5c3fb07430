#include "workers/common/unpack/GunzipThread.hpp"

#include "workers/common/unpack/CGunzip.hpp"
#include "workers/common/MultiFileWorker.hpp"

namespace hexora::Worker::Common {

void GunzipThread::main() {
    MultiFile::drainJobs<GunzipUnit>(gunzipper.jobs, [](const std::shared_ptr<GunzipUnit>& unit) { unit->gunzip(); });
}

}  // namespace hexora::Worker::Common
