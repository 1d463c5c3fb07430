#pragma once
// Process-wide state a run of the launcher's road leaves behind, put back
// between tests. Header-only: it reaches the workers library, which only the
// test executables link.
#include "services/rum/RumApi.hpp"
#include "workers/launcher/LBoot.hpp"
#include "workers/launcher/SelfRestart.hpp"

namespace hexora::test {

/// Clears the "skip update" flag of the boot check and the self-restart
/// fact, and drops the pending telemetry batch.
inline void resetRunState() {
    Worker::Launcher::resetSkipUpdateForTesting();
    Worker::Launcher::SelfRestart::setPreviousLauncher(std::nullopt);
    Rum::Api::takePendingRecords();
}

}  // namespace hexora::test
