#pragma once
// The process-wide network settings. They start at their defaults, are
// overwritten by the remote configuration and are read directly by whatever
// thread sends a request. Atomics, so a read from a download unit never races
// the worker thread's write.
#include <atomic>
#include <cstdint>

namespace hexora::ApiConfig {

namespace Common {
inline constexpr std::int64_t DefaultUrlRetryCount = 1;
inline constexpr double DefaultWebTimeoutSec = 15.0;

/// How many times each domain of a list is tried per request (below 1: no request).
inline std::atomic<std::int64_t> urlRetryCount{DefaultUrlRetryCount};
/// Idle timeout of the remote configuration fetch and the update-info requests.
inline std::atomic<double> webTimeoutSec{DefaultWebTimeoutSec};
}  // namespace Common

namespace MaintenanceNotice {
inline constexpr double DefaultTimeoutSec = 60.0;

/// Idle timeout of the maintenance notice fetch (the remote configuration's
/// web download timeout).
inline std::atomic<double> timeoutSec{DefaultTimeoutSec};
}  // namespace MaintenanceNotice

/// Tests: puts every setting back to its default.
void resetToDefaults();

}  // namespace hexora::ApiConfig
