#pragma once
// Gives the Launcher driver its first workers: the boot checks
// (Worker::Launcher::LBoot) for a normal start and the opened-URL hand-off
// (Worker::Hexora::GHandleOpenUrls) for a start by URL. The program calls
// installFirstWorkers() once at start, before the shell reaches the driver.
//
// Thread: main thread, at program start.
#include "engine/LauncherFirstWorkers.hpp"

namespace hexora {

/// The factories making LBoot(thread) and GHandleOpenUrls(thread, urls).
LauncherFirstWorkers firstWorkers();

/// Installs firstWorkers() into Launcher::shared().
void installFirstWorkers();

}  // namespace hexora
