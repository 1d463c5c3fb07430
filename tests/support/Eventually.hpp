#pragma once
// Waiting in tests for something another thread or process makes happen:
// polls the condition in real time instead of sleeping a fixed time.
#include <functional>

namespace hexora::test {

/// Polls `condition` every few milliseconds (real time, up to `seconds`);
/// returns whether it held before the deadline.
bool eventually(const std::function<bool()>& condition, double seconds = 10.0);

}  // namespace hexora::test
