#pragma once
// Bounded waits of the end-to-end tests: look at a condition every 20 ms
// (through the clock seam) until it holds or the limit has passed. A test
// waits on the event it needs (a record, a file, a process end), never on a
// fixed time.
#include <chrono>
#include <functional>

namespace hexora::e2e {

/// True as soon as `condition` holds; false when `limit` passed first.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);

}  // namespace hexora::e2e
