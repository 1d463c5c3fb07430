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

namespace Download {
inline constexpr double DefaultTimeoutSec = 60.0;

/// The download timeout (the remote configuration's "timeout_sec_web_download").
/// It times one request only: the idle timeout of the maintenance notice
/// fetch. File downloads, scheme downloads and the remote configuration
/// fetch do not read it.
inline std::atomic<double> timeoutSec{DefaultTimeoutSec};
}  // namespace Download

/// Tests: puts every setting back to its default.
void resetToDefaults();

}  // namespace hexora::ApiConfig
