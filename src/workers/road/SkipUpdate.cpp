#include "workers/road/SkipUpdate.hpp"

#include <atomic>

namespace hexora::Worker::Launcher {
namespace {
std::atomic<bool> skipUpdateFlag{false};
}  // namespace

bool skipUpdate() { return skipUpdateFlag.load(); }

void setSkipUpdate(bool value) { skipUpdateFlag.store(value); }

void resetSkipUpdateForTesting() { skipUpdateFlag.store(false); }

}  // namespace hexora::Worker::Launcher
