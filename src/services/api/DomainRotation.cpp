#include "services/api/DomainRotation.hpp"

#include <limits>

namespace hexora {

std::int64_t rotationAttempts(const ApiDomainArray& list, std::int64_t retryCount) {
    const std::int64_t length = list.length();
    if (retryCount < 1 || length < 1) return 0;
    std::int64_t attempts = 0;
    if (__builtin_mul_overflow(retryCount, length, &attempts)) return std::numeric_limits<std::int64_t>::max();
    return attempts;
}

void domainAnswered(ApiDomainArray& list, std::int64_t index, const StoreDomainIndex& storeIndex) {
    if (storeIndex) storeIndex(index);
    list.setCurrentIndex(index);
}

RotationOutcome rotateOverDomains(ApiDomainArray& list, std::int64_t attempts, const DomainAttempt& attempt,
                                  const StoreDomainIndex& storeIndex) {
    RotationOutcome outcome;
    outcome.index = list.currentIndex();
    std::int64_t index = outcome.index;
    while (outcome.attemptsSent < attempts) {
        ++outcome.attemptsSent;
        if (attempt(list.urlAt(index), index)) {
            outcome.succeeded = true;
            outcome.index = index;
            domainAnswered(list, index, storeIndex);
            return outcome;
        }
        index = list.nextIndex(index);
    }
    return outcome;
}

RotationOutcome rotateOverDomains(ApiDomainArray& list, const DomainAttempt& attempt,
                                  const StoreDomainIndex& storeIndex) {
    return rotateOverDomains(list, rotationAttempts(list), attempt, storeIndex);
}

}  // namespace hexora
