#include "services/api/DomainRotation.hpp"

#include <limits>

namespace hexora {

std::int64_t DomainRotation::attemptsFor(const ApiDomainArray& list, std::int64_t retryCount) {
    const std::int64_t length = list.length();
    if (retryCount < 1 || length < 1) return 0;
    std::int64_t attempts = 0;
    if (__builtin_mul_overflow(retryCount, length, &attempts)) return std::numeric_limits<std::int64_t>::max();
    return attempts;
}

DomainRotation::DomainRotation(const ApiDomainArray* list)
    : DomainRotation(list, list ? attemptsFor(*list) : 0) {}

DomainRotation::DomainRotation(const ApiDomainArray* list, std::int64_t attempts)
    : index_(list ? list->currentIndex() : 0), attemptsLeft_(attempts < 1 ? -1 : attempts - 1) {}

void DomainRotation::moveOn(const ApiDomainArray* list) {
    attemptsLeft_ -= 1;
    index_ = list ? list->nextIndex(index_) : 0;
}

void DomainRotation::answered(ApiDomainArray& list, const StoreDomainIndex& storeIndex) const {
    if (storeIndex) storeIndex(index_);
    list.setCurrentIndex(index_);
}

RotationOutcome rotateOverDomains(ApiDomainArray& list, std::int64_t attempts, const DomainAttempt& attempt,
                                  const StoreDomainIndex& storeIndex) {
    RotationOutcome outcome;
    DomainRotation rotation(&list, attempts);
    outcome.index = rotation.index();
    if (attempts < 1) return outcome;
    for (;;) {
        ++outcome.attemptsSent;
        if (attempt(list.urlAt(rotation.index()), rotation.index())) {
            outcome.succeeded = true;
            outcome.index = rotation.index();
            rotation.answered(list, storeIndex);
            return outcome;
        }
        if (!rotation.mayMoveOn()) return outcome;
        rotation.moveOn(&list);
    }
}

RotationOutcome rotateOverDomains(ApiDomainArray& list, const DomainAttempt& attempt,
                                  const StoreDomainIndex& storeIndex) {
    return rotateOverDomains(list, DomainRotation::attemptsFor(list), attempt, storeIndex);
}

}  // namespace hexora
