#include "workers/common/unpack/UnzipThread.hpp"

#include "workers/common/unpack/CUnzip.hpp"
#include "workers/common/MultiFileWorker.hpp"

namespace hexora::Worker::Common {

void UnzipThread::main() {
    MultiFile::logUnitThread("UnzipThread", true);
    MultiFile::drainJobs<UnzipUnit>(unzipper.jobs, [](const std::shared_ptr<UnzipUnit>& unit) { unit->unzip(); });
    MultiFile::logUnitThread("UnzipThread", false);
}

}  // namespace hexora::Worker::Common
