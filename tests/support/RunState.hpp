#pragma once
// Process-wide state a run of the launcher's road leaves behind, put back
// between tests: the one list of what a test may find changed by an earlier
// test of the same executable. A fixture derives from RunStateFixture (or
// from RunStateFixture and ::testing::WithParamInterface<T>), which resets
// before the fixture's own members are made and again after they are gone, so
// its set-up starts from the defaults and its servers, threads and fakes have
// ended before the reset. Header-only: it reaches the workers library, which
// only the test executables link.
#include "engine/Launcher.hpp"
#include "engine/OpenedUrlFlag.hpp"
#include "engine/StateMessages.hpp"
#include "services/api/ApiConfig.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/file/LoadedSetting.hpp"
#include "services/internal/InstalledVersions.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/RumApi.hpp"
#include "workers/common/download/FileFetch.hpp"
#include "workers/common/maintenance/MaintenanceWindow.hpp"
#include "workers/launcher/LBoot.hpp"
#include "workers/launcher/SelfRestart.hpp"

#include <gtest/gtest.h>

namespace hexora::test {

/// Puts back: the network settings (ApiConfig) and the file fetch bounds, no
/// domain lists, no loaded settings record, no installed versions, the
/// default paths (no test bundle), the driver without thread or first-worker
/// factories and the opened-URL flag down, the state messages as built, no
/// maintenance window, the boot check's "skip update" flag down, no
/// self-restart fact, the telemetry stream name and upload timeout, and an
/// empty pending telemetry batch.
inline void resetRunState() {
    ApiConfig::resetToDefaults();
    Worker::Common::setFileFetchBounds({});
    ApiDomains::resetForTesting();
    resetLoadedSetting();
    resetInstalledVersions();
    Paths::resetForTesting();
    Launcher::resetForTesting();
    OpenedUrlFlag::set(false);
    StateMessages::reset();
    Worker::Common::resetMaintenanceWindow();
    Worker::Launcher::resetSkipUpdateForTesting();
    Worker::Launcher::SelfRestart::setPreviousLauncher(std::nullopt);
    Rum::Api::setStreamName("");
    Rum::Api::uploadTimeoutSec = Rum::Api::DefaultUploadTimeoutSec;
    Rum::Api::takePendingRecords();
}

/// The base of the fixtures that touch the road's process-wide state.
class RunStateFixture : public ::testing::Test {
protected:
    RunStateFixture() { resetRunState(); }
    ~RunStateFixture() override { resetRunState(); }
};

}  // namespace hexora::test
