#include "services/archive/ExtractionProgress.hpp"

#include <algorithm>

namespace hexora::Archive {

ExtractionProgress::ExtractionProgress(std::uint64_t totalBytes, std::function<void(double)> observer)
    : totalBytes_(totalBytes), observer_(std::move(observer)) {}

void ExtractionProgress::add(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    written_ += bytes;
    if (totalBytes_ > 0)
        report(std::min(1.0, static_cast<double>(written_) / static_cast<double>(totalBytes_)));
}

void ExtractionProgress::finish() {
    std::lock_guard lock(mutex_);
    report(1.0);
}

void ExtractionProgress::report(double fraction) {
    if (fraction <= reported_) return;
    reported_ = fraction;
    if (observer_) observer_(fraction);
}

}  // namespace hexora::Archive
