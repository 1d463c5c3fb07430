#pragma once
// Gives the Launcher driver the product: its set-up (the API and file domain
// lists from the configured endpoints, the telemetry stream
// Rum::Api::ProductionStreamName) and its first workers, the boot checks
// (Worker::Launcher::LBoot) for a normal start and the opened-URL hand-off
// (Worker::Hexora::GHandleOpenUrls) for a start by URL. The program calls
// installFirstWorkers() once at start, before the shell reaches the driver.
//
// FirstWorkers.cpp is the one file that knows the workers of both products:
// it also fills in Worker::Common::RoadSuccessors, where a road crosses from
// one product to the other.
//
// Thread: main thread, at program start.
#include "engine/LauncherFirstWorkers.hpp"

namespace hexora {

/// The product set-up and the factories making LBoot(thread) and
/// GHandleOpenUrls(thread, urls).
LauncherFirstWorkers firstWorkers();

/// Installs firstWorkers() into Launcher::shared().
void installFirstWorkers();

}  // namespace hexora
