#include "support/FakeInstanceLock.hpp"

namespace hexora::test {

void FakeInstanceLock::setHolder(std::function<bool()> holderRuns) {
    std::lock_guard lock(mutex_);
    holderRuns_ = std::move(holderRuns);
}

void FakeInstanceLock::setUnavailable(bool unavailable) {
    std::lock_guard lock(mutex_);
    unavailable_ = unavailable;
}

std::vector<std::filesystem::path> FakeInstanceLock::asked() const {
    std::lock_guard lock(mutex_);
    return asked_;
}

platform::InstanceLock::Result FakeInstanceLock::tryAcquire(const std::filesystem::path& lockFile) {
    std::lock_guard lock(mutex_);
    asked_.push_back(lockFile);
    if (unavailable_) return Result::Unavailable;
    if (holderRuns_ && holderRuns_()) return Result::HeldElsewhere;
    return Result::Held;
}

}  // namespace hexora::test
