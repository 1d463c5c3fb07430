#include "services/archive/UnzipProgress.hpp"

namespace hexora::Archive {

void UnzipProgress::setFractionCompleted(double fraction) {
    fraction_.store(fraction);
    std::lock_guard lock(observerMutex_);
    if (observer_) observer_(fraction);
}

void UnzipProgress::observe(Observer observer) {
    std::lock_guard lock(observerMutex_);
    observer_ = std::move(observer);
}

void UnzipProgress::stopObserving() {
    std::lock_guard lock(observerMutex_);
    observer_ = nullptr;
}

}  // namespace hexora::Archive
