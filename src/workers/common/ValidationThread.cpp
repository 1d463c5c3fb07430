#include "workers/common/ValidationThread.hpp"

#include "workers/common/CValidation.hpp"

namespace hexora::Worker::Common {

ValidationThread::ValidationThread(CValidation& owner) : UnitThread(owner.jobs), validator(owner) {}

void ValidationThread::runUnit(const std::shared_ptr<ValidationUnit>& unit) {
    unit->validate();
    MultiFile::waitWhile([&] { return unit->state() == ValidationUnit::ValidationState::Validating; });
}

}  // namespace hexora::Worker::Common
