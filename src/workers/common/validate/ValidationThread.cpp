#include "workers/common/validate/ValidationThread.hpp"

#include "workers/common/validate/CValidation.hpp"
#include "workers/common/MultiFileWorker.hpp"

namespace hexora::Worker::Common {

void ValidationThread::main() {
    MultiFile::drainJobs<ValidationUnit>(validator.jobs, [](const std::shared_ptr<ValidationUnit>& unit) {
        unit->validate();
        MultiFile::waitWhile([&] { return unit->state() == ValidationUnit::ValidationState::Validating; });
    });
}

}  // namespace hexora::Worker::Common
