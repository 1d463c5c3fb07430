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
// A file download makes its attempts one at a time on a unit thread, each
// retried by its worker, so it cannot run inside rotateOverDomains: it takes
// the same budget (rotationAttempts), the same order (list.nextIndex) and
// records an answer the same way (domainAnswered).
//
// Thread: the calling (worker) thread; `attempt` and `storeIndex` run on it.
#include "services/api/ApiConfig.hpp"
#include "services/api/ApiDomainArray.hpp"

#include <cstdint>
#include <functional>
#include <string>

namespace hexora {

struct RotationOutcome {
    bool succeeded = false;
    /// The index that answered; the starting index when nothing did.
    std::int64_t index = 0;
    std::int64_t attemptsSent = 0;
};

/// Sends one request to `url` (the entry at `index`; callers append their
/// path); true when it succeeded.
using DomainAttempt = std::function<bool(const std::string& url, std::int64_t index)>;
/// Records the index that answered where the next run finds it; may be empty.
using StoreDomainIndex = std::function<void(std::int64_t index)>;

/// retryCount × list.length(); 0 when either is below 1.
std::int64_t rotationAttempts(const ApiDomainArray& list,
                              std::int64_t retryCount = ApiConfig::Common::urlRetryCount.load());

/// The domain at `index` answered: storeIndex(index) when given, then
/// list.setCurrentIndex(index), so the next request starts there.
void domainAnswered(ApiDomainArray& list, std::int64_t index, const StoreDomainIndex& storeIndex);

/// Runs the rotation with `attempts` taken as given (0 or less: no request).
RotationOutcome rotateOverDomains(ApiDomainArray& list, std::int64_t attempts, const DomainAttempt& attempt,
                                  const StoreDomainIndex& storeIndex);

/// Runs the rotation with rotationAttempts(list) attempts.
RotationOutcome rotateOverDomains(ApiDomainArray& list, const DomainAttempt& attempt,
                                  const StoreDomainIndex& storeIndex);

}  // namespace hexora
