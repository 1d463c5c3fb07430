#pragma once
// Waiting in tests for something another thread or process makes happen:
// looks at the condition again and again in real time instead of sleeping a
// fixed time, and gives up at a bound.
#include <chrono>
#include <functional>

namespace hexora::test {

/// Looks at `condition` until it holds or `limit` of real time has passed,
/// pausing `pause` between looks (a costly condition, e.g. a scan of every
/// process, wants a longer pause); the last look is taken at or after the
/// limit. Returns whether the condition held.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit,
                std::chrono::milliseconds pause = std::chrono::milliseconds(2));

/// The same with a limit in seconds (10 s unless given) and looks every few
/// milliseconds.
bool eventually(const std::function<bool()>& condition, double seconds = 10.0);

}  // namespace hexora::test
