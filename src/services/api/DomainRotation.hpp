#pragma once
// The one way a request goes to a domain list: try the current domain first,
// move to the next domain after each failure, give up after
// retry count × list length attempts.
//
//   attempts = retry count × the list's length, taken once at the start
//   i = current index; send to urlAt(i)
//   success: storeIndex(i) (the settings record's index for this list), then
//            list.setCurrentIndex(i), stop
//   failure: i = nextIndex(after: i), next attempt while attempts remain
//   all failed: the current index is left as it was
//
// DomainRotation holds that rule for one request: its budget, the domain of
// the current attempt, the move to the next domain and the recording of an
// answer. rotateOverDomains runs a whole request with it on the calling
// thread; a file download, whose attempts are made one at a time on unit
// threads, keeps a DomainRotation in its unit and asks it.
//
// Thread: a DomainRotation is not locked; its owner serialises its use (the
// download unit holds it under the unit's lock). rotateOverDomains runs on
// the calling (worker) thread; `attempt` and `storeIndex` run on it.
#include "services/api/ApiConfig.hpp"
#include "services/api/ApiDomainArray.hpp"

#include <cstdint>
#include <functional>
#include <string>

namespace hexora {

/// Records the index that answered where the next run finds it; may be empty.
using StoreDomainIndex = std::function<void(std::int64_t index)>;

class DomainRotation {
public:
    /// retryCount × list.length(); 0 when either is below 1.
    static std::int64_t attemptsFor(const ApiDomainArray& list,
                                    std::int64_t retryCount = ApiConfig::Common::urlRetryCount.load());

    /// A request over `list` (absent: no domain at all) starting at its
    /// current index (0 without a list), with attemptsFor(list) attempts
    /// (none without a list).
    explicit DomainRotation(const ApiDomainArray* list);
    /// The same with `attempts` taken as given (0 or less: no attempt).
    DomainRotation(const ApiDomainArray* list, std::int64_t attempts);

    /// The index of the domain the current attempt goes to.
    std::int64_t index() const { return index_; }
    /// How many attempts are allowed after the current one; below 0 when the
    /// budget allowed no attempt at all.
    std::int64_t attemptsLeft() const { return attemptsLeft_; }
    /// Whether a failed current attempt may be followed by another.
    bool mayMoveOn() const { return attemptsLeft_ >= 1; }
    /// The current attempt failed: one attempt fewer left and the next domain
    /// of `list` (list.nextIndex(index); 0 without a list or on an empty one).
    /// The caller asks mayMoveOn() first; this does not check the budget.
    void moveOn(const ApiDomainArray* list);
    /// The current attempt answered: storeIndex(index) when given, then
    /// list.setCurrentIndex(index), so the next request starts there.
    void answered(ApiDomainArray& list, const StoreDomainIndex& storeIndex) const;

private:
    std::int64_t index_ = 0;
    std::int64_t attemptsLeft_ = -1;
};

struct RotationOutcome {
    bool succeeded = false;
    /// The index that answered; the starting index when nothing did.
    std::int64_t index = 0;
    std::int64_t attemptsSent = 0;
};

/// Sends one request to `url` (the entry at `index`; callers append their
/// path); true when it succeeded.
using DomainAttempt = std::function<bool(const std::string& url, std::int64_t index)>;

/// DomainRotation::attemptsFor, for callers that only need the budget.
inline std::int64_t rotationAttempts(const ApiDomainArray& list,
                                     std::int64_t retryCount = ApiConfig::Common::urlRetryCount.load()) {
    return DomainRotation::attemptsFor(list, retryCount);
}

/// Runs a whole request with `attempts` taken as given (0 or less: no request).
RotationOutcome rotateOverDomains(ApiDomainArray& list, std::int64_t attempts, const DomainAttempt& attempt,
                                  const StoreDomainIndex& storeIndex);

/// Runs a whole request with DomainRotation::attemptsFor(list) attempts.
RotationOutcome rotateOverDomains(ApiDomainArray& list, const DomainAttempt& attempt,
                                  const StoreDomainIndex& storeIndex);

}  // namespace hexora
